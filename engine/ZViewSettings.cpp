#include "ZViewSettings.h"

#include <algorithm>

#include "ZULIniFile.h"

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
}
