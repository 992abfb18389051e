#pragma once
// The values of the fields as a CSV file (RFC 4180, lines ended by CR LF): the header
// "time,<name> [<unit>],..." (the brackets only where a unit is set), then one row per
// data block with at least one value: its time as the frame export writes it (local
// ISO 8601 with microseconds), then each field's value, an empty cell where it is
// absent. The file is always a new one, and its rows reach it at least once a second
// while blocks arrive or FlushIfDue is called. Every operation may be called from any
// thread.

#include <atomic>
#include <cstdint>
#include <string>

#include "ZFieldList.h"
#include "ZFrameExport.h"
#include "ZTextFile.h"

class ZFieldCsv : public IZBlockObserver {
public:
    ZFieldCsv();
    ZFieldCsv(const ZFieldCsv&) = delete;
    ZFieldCsv& operator=(const ZFieldCsv&) = delete;

    // Creates path as a new file with the header of fields. False with the text the
    // user reads when it cannot be created (GetCreateError: EEXIST when the name is taken).
    bool Create(const std::string& path, const ZFieldList& fields, std::string& errorText);
    int GetCreateError() const { return file_.GetCreateError(); }
    // A row for a data block with values; nothing for any other block.
    void OnBlock(const sBlock& block) override;
    void FlushIfDue() { file_.FlushIfDue(); }
    // Flushes and closes; false with the text the user reads when a row was lost,
    // which Failure then keeps until the next Create.
    bool Close(std::string& errorText);
    // Closes the open file and removes it when it holds no row (a run that never
    // started); nothing when no file is open.
    void Discard();
    bool MoveTo(const std::string& newPath) { return file_.MoveTo(newPath); }

    bool IsOpen() const { return file_.IsOpen(); }
    std::string Path() const { return file_.Path(); }
    uint64_t RowsWritten() const { return rows_.load(); }
    // Why the last file could not be written in full; "" when it could (or none was closed).
    std::string Failure() const;

    // The header line of fields, without its line end.
    static std::string FormatHeader(const ZFieldList& fields);
    // The row of one block's values, without its line end; "" for a block without values.
    static std::string FormatRow(const sBlock& block);

private:
    ZTextFile file_;
    std::atomic<uint64_t> rows_{0};
    mutable std::mutex failureLock_;  // guards failure_
    std::string failure_;
};
