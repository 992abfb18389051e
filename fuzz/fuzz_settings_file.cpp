// A settings file as both programs load it: the profile file read from disk, the
// capture settings with their data triggers, and the port section. Whatever the
// file holds, loading ends, and what was loaded saves and loads back unchanged.

#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "FuzzPortConfig.h"
#include "FuzzScratchFile.h"
#include "SerialConfigText.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchFile file("settings.scs");
    const ZULIniFile ini(file.Hold(data, size));

    const TSerialConfig port =
        SerialConfigFromText(ini.ReadString("_serial_capture", "_settings", ""), FuzzDefaultPortConfig());
    if (port.Valid) (void)SerialConfigToText(port);

    ZLoggerSettings settings;
    std::string refusal;
    (void)ZLoggerSettings::CheckIni(ini, refusal);
    settings.ReadFromIni(ini);

    // Saved into a profile and loaded back, in memory and through the file text.
    ZULIniFile saved;
    settings.WriteToIni(saved);
    ZLoggerSettings again;
    again.ReadFromIni(saved);
    Require(again == settings, "settings written to a profile read back unchanged");

    const std::string text = saved.ToText();
    const ZULIniFile reread(file.Hold(text.data(), text.size()));
    ZLoggerSettings fromText;
    fromText.ReadFromIni(reread);
    Require(fromText == settings, "settings saved as text load back unchanged");

    // The profile's own text form is stable once written.
    const std::string first = ini.ToText();
    const ZULIniFile firstAgain(file.Hold(first.data(), first.size()));
    Require(firstAgain.ToText() == first, "a profile's text reads back to the same text");
    return 0;
}
