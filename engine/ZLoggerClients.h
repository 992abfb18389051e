#pragma once
// What the logger needs of the windows that show a capture. The engine has no GUI
// toolkit: the main window and the capture window (or the command-line program)
// implement these. Both are called on the capture's data thread and must return at
// once, copying what they keep; a refused message or entry is simply dropped.

#include <cstdint>
#include <string>

#include "ZBlock.h"

class TSerial;

class IZStatusReceiver {
public:
    virtual ~IZStatusReceiver() = default;
    // kind 0..6 (total bytes, trash, start triggers, stop triggers, data packets, data trigger
    // match, checksums: count the good frames, total the bad ones); 7 the port's state
    // (text); 8 sends (count the sends, total the bytes sent).
    virtual bool PostStatus(uint8_t kind, const std::string& text, double count, double total,
                            signed char priority) = 0;
};

class IZEntryReceiver {
public:
    virtual ~IZEntryReceiver() = default;
    // One block (a filter block or a send) for the live view; what it points to is
    // valid only during the call.
    virtual bool AddBlock(const sBlock& block) = 0;
};

// A receiver of the bytes of a capture as they crossed the line, in that order: every
// chunk read and every send, not cut into blocks (a terminal, say). Called on the
// capture's data thread in arrival order; it must return at once, copying what it keeps.
class IZByteObserver {
public:
    virtual ~IZByteObserver() = default;
    // count bytes received (sent false) or sent (true). timeUs: when the read that
    // brought them returned, or when they were handed to the port, in microseconds since
    // the Unix epoch; 0 when not known (a replay of a recording without times).
    virtual void OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) = 0;
    // The same with the line they crossed: 0, or 1 for the second line of a capture of
    // two. The logger calls this one; an observer of one line need not override it.
    virtual void OnLineBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs, int /*line*/) {
        OnBytes(bytes, count, sent, timeUs);
    }
};

// The extended port settings dialog, which the window program shows for the engine.
class IZPortDialog {
public:
    virtual ~IZPortDialog() = default;
    // Shows the dialog modally on port and returns whether the user confirmed it.
    // Window thread; port is a closed stand-in that carries the engine's port settings.
    virtual bool Execute(TSerial& port) = 0;
};
