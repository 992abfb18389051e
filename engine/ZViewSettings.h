#pragma once
// How the capture window shows a capture: how many entries its history keeps and
// whether its time column shows milliseconds; and how many lines the terminal
// window keeps. Stored in the INI section "_view",
// each key written only when it differs from its default, so a file saved with the
// defaults is the file saved before these settings existed.

#include <cstdint>

class ZULIniFile;

class ZViewSettings {
public:
    static constexpr const char* IniSection = "_view";
    static constexpr int32_t DefaultHistoryEntries = 100000;
    static constexpr int32_t MinHistoryEntries = 80;
    static constexpr int32_t MaxHistoryEntries = 1000000;

    static constexpr int32_t DefaultTerminalLines = 100000;
    static constexpr int32_t MinTerminalLines = 100;
    static constexpr int32_t MaxTerminalLines = 1000000;

    // A history size brought into MinHistoryEntries..MaxHistoryEntries.
    static int32_t ClampHistoryEntries(int64_t entries);

    // Erases the section, then writes the keys that differ from their defaults.
    void WriteToIni(ZULIniFile& ini) const;
    // Each key read on its own: a missing or non-integer key means its default, a
    // history size out of range is brought into it.
    void ReadFromIni(const ZULIniFile& ini);

    bool operator==(const ZViewSettings& other) const = default;

    int32_t HistoryEntries = DefaultHistoryEntries;
    bool ShowMilliseconds = false;
    int32_t TerminalLines = DefaultTerminalLines;  // brought into MinTerminalLines..MaxTerminalLines when read
};
