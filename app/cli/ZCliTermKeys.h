#pragma once
// What the keys typed at `kestrun-cli term` do. They go to the device as typed:
// Enter (a typed CR) with the line end chosen (--map), characters in Latin-1 when
// the device speaks it (--latin1: a typed character beyond U+00FF is '?', a byte that
// is no UTF-8 goes as it is). Ctrl+T begins a command, which the next key names;
// Ctrl+T twice sends Ctrl+T (14) itself. Main thread only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ZTermInput.h"
#include "ZUtf8Decoder.h"

enum class ZCliTermCommand : uint8_t { Quit, Break, ToggleDtr, ToggleRts, Clear, CycleStamps, Help };

// Bytes to send, or a command, in the order typed.
struct ZCliTermStep {
    bool IsCommand = false;
    ZCliTermCommand Command = ZCliTermCommand::Help;
    std::string Bytes;
    bool operator==(const ZCliTermStep&) const = default;
};

class ZCliTermKeys {
public:
    static constexpr uint8_t Prefix = 0x14;  // Ctrl+T

    // enter: the line end a typed CR becomes (None: it stays a CR).
    ZCliTermKeys(ZTermLineEnd enter, ZTermCharset charset) : enter_(enter), charset_(charset) {}

    // Appends the steps of the typed bytes to steps; a key after Ctrl+T that names no
    // command asks for the help line.
    void Feed(const uint8_t* bytes, size_t count, std::vector<ZCliTermStep>& steps);
    // The keys Ctrl+T leads to, in one line.
    static std::string_view HelpText();

private:
    void Key(uint8_t byte, std::vector<ZCliTermStep>& steps);
    static void Send(std::string_view bytes, std::vector<ZCliTermStep>& steps);

    ZTermLineEnd enter_;
    ZTermCharset charset_;
    ZUtf8Decoder utf8_;
    bool afterPrefix_ = false;
};
