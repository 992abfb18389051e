#pragma once
// The fields a settings file defines, in the section "[_fields]": Count, LogFields
// (the log files get a "Values:" line after a data block with values), CsvRecording
// (a capture writes the values beside its log files as "<first log file's name>.csv")
// and the keys of each field (ZFieldDefinition), suffixed "_0", "_1", ...
// The section is written only when there are fields, so files without stay as they
// were. Plain values; any thread.

#include <cstddef>
#include <string>
#include <vector>

#include "ZFieldDefinition.h"

class ZULIniFile;

class ZFieldList {
public:
    static constexpr const char* IniSection = "_fields";
    static constexpr size_t MaxFields = 256;

    // Erases the section, then writes it when there are fields: Count, LogFields,
    // CsvRecording, then each field's keys that its type reads (optional ones only
    // when set).
    void WriteToIni(ZULIniFile& ini) const;
    // Replaces the list with the section's: no fields and the switches at their
    // defaults without the section, with a Count of 0, or when CheckIni refuses it.
    void ReadFromIni(const ZULIniFile& ini);
    // False, with a reason for the user that names the key, when the section holds a
    // definition that can never be read (see Check) or a Count that is no whole
    // number from 0 to MaxFields. Only the keys a field's type reads are checked, and
    // Bits, which only integer types may have.
    static bool CheckIni(const ZULIniFile& ini, std::string& reason);
    // Whether every field can be read: at most MaxFields of them, each one's keys fit
    // its type (ZFieldDefinition::Check), no two share a name. False with a reason
    // that names the key ("Name_3", ...).
    bool Check(std::string& reason) const;

    bool operator==(const ZFieldList&) const = default;

    std::vector<ZFieldDefinition> Items;
    bool LogFields = true;
    bool CsvRecording = false;

private:
    static bool Parse(const ZULIniFile& ini, ZFieldList& list, std::string& reason);
};
