#include "ZViewSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "ZULIniFile.h"

namespace {

// The shortest text that reads back as the same number, whatever the locale.
std::string NumberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// "PlotMin_3" and the like. Appended, not added to a literal: GCC 12 reports a false
// -Wrestrict on a literal added in front of a temporary at -O3.
std::string RangeKey(const char* name, int field) {
    std::string key = name;
    key += '_';
    key += std::to_string(field);
    return key;
}

// The key as a number; NaN when it is missing or is not a number in full.
double ReadNumber(const ZULIniFile& ini, const std::string& key) {
    const std::string text = ini.ReadString(ZViewSettings::IniSection, key, "");
    double value = NAN;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() ? value : NAN;
}

}  // namespace

int32_t ZViewSettings::ClampHistoryEntries(int64_t entries) {
    return static_cast<int32_t>(std::clamp<int64_t>(entries, MinHistoryEntries, MaxHistoryEntries));
}

void ZViewSettings::WriteToIni(ZULIniFile& ini) const {
    const char* section = IniSection;
    ini.EraseSection(section);
    const ZViewSettings defaults;
    if (HistoryEntries != defaults.HistoryEntries)
        ini.WriteInteger(section, "HistoryEntries", HistoryEntries);
    if (ShowMilliseconds != defaults.ShowMilliseconds)
        ini.WriteBool(section, "ShowMilliseconds", ShowMilliseconds);
    if (TerminalLines != defaults.TerminalLines) ini.WriteInteger(section, "TerminalLines", TerminalLines);
    if (PlotSeconds != defaults.PlotSeconds) ini.WriteInteger(section, "PlotSeconds", PlotSeconds);
    if (PlotShared != defaults.PlotShared) ini.WriteBool(section, "PlotShared", PlotShared);
    if (PlotPoints != defaults.PlotPoints) ini.WriteInteger(section, "PlotPoints", PlotPoints);
    for (const sPlotRange& range : PlotRanges) {
        ini.WriteString(section, RangeKey("PlotMin", range.Field), NumberText(range.Min));
        ini.WriteString(section, RangeKey("PlotMax", range.Field), NumberText(range.Max));
    }
}

void ZViewSettings::ReadFromIni(const ZULIniFile& ini) {
    const char* section = IniSection;
    // A key left out means its default: keeping what an earlier file set would make
    // the same file read differently by what was loaded before it.
    const ZViewSettings defaults;
    HistoryEntries = ClampHistoryEntries(ini.ReadInteger(section, "HistoryEntries", defaults.HistoryEntries));
    ShowMilliseconds = ini.ReadBool(section, "ShowMilliseconds", defaults.ShowMilliseconds);
    TerminalLines = static_cast<int32_t>(std::clamp<int64_t>(
        ini.ReadInteger(section, "TerminalLines", defaults.TerminalLines), MinTerminalLines, MaxTerminalLines));
    PlotSeconds = static_cast<int32_t>(std::clamp<int64_t>(
        ini.ReadInteger(section, "PlotSeconds", defaults.PlotSeconds), MinPlotSeconds, MaxPlotSeconds));
    PlotShared = ini.ReadBool(section, "PlotShared", defaults.PlotShared);
    PlotPoints = static_cast<int32_t>(
        std::clamp<int64_t>(ini.ReadInteger(section, "PlotPoints", defaults.PlotPoints), MinPlotPoints, MaxPlotPoints));
    PlotRanges.clear();
    for (int field = 0; field < MaxPlotRanges; ++field) {
        const double low = ReadNumber(ini, RangeKey("PlotMin", field));
        const double high = ReadNumber(ini, RangeKey("PlotMax", field));
        // A range that cannot be drawn (missing, not a number, empty) means autoscale.
        if (std::isfinite(low) && std::isfinite(high) && low < high) PlotRanges.push_back({field, low, high});
    }
}
