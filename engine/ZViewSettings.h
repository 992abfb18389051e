#pragma once
// How the capture window shows a capture: how many entries its history keeps and
// whether its time column shows milliseconds; how many lines the terminal
// window keeps; and what the plot window shows: its span of time, one shared axis or
// a strip per field, fixed Y ranges per field and the points each field keeps. Stored in the INI section "_view",
// each key written only when it differs from its default, so a file saved with the
// defaults is the file saved before these settings existed.

#include <cstdint>
#include <vector>

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

    static constexpr int32_t DefaultPlotSeconds = 10;
    static constexpr int32_t MinPlotSeconds = 1;
    static constexpr int32_t MaxPlotSeconds = 3600;
    static constexpr int32_t DefaultPlotPoints = 1000000;
    static constexpr int32_t MinPlotPoints = 1000;
    static constexpr int32_t MaxPlotPoints = 10000000;
    // Fields whose Y range may be fixed (the plot shows at most 16 at once, of up to
    // 256 defined).
    static constexpr int MaxPlotRanges = 256;

    // A fixed Y range of the plot, PlotMin_i and PlotMax_i of field i; a field without
    // both keys (or with min not below max) is autoscaled.
    struct sPlotRange {
        int Field = 0;
        double Min = 0;
        double Max = 0;
        bool operator==(const sPlotRange&) const = default;
    };

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
    int32_t PlotSeconds = DefaultPlotSeconds;      // brought into MinPlotSeconds..MaxPlotSeconds when read
    bool PlotShared = false;                       // all fields on one Y axis
    int32_t PlotPoints = DefaultPlotPoints;        // brought into MinPlotPoints..MaxPlotPoints when read
    std::vector<sPlotRange> PlotRanges;            // by field, ascending
};
