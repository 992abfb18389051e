#pragma once
// kestrun-cli settings: what a settings file holds once the engine has loaded it.

#include <nlohmann/json.hpp>
#include <string>

#include "Serial.h"
#include "ZCliContext.h"
#include "ZLoggerSettings.h"

struct ZCliSettingsOptions {
    std::string SettingsFile;
    bool Json = false;
};

// A settings file as a freshly constructed engine holds it after loading it.
struct ZCliDecodedSettings {
    TSerialConfig Port{};          // as the port holds it (the port's rules and the present ports applied)
    bool StoredTextValid = false;  // whether the stored port text was accepted
    uint32_t CustomBaudrate = 0;   // a typed rate that is none of the listed ones; 0: none
    std::string NetworkPort;       // the network port captured instead of the COM port; "": none
    ZLoggerSettings Logger;

    nlohmann::ordered_json ToJson() const;
    void PrintListing(std::ostream& out) const;
};

// Returns the exit code; kCliExitUsage when the file cannot be loaded.
int ZCliRunSettings(const ZCliSettingsOptions& options, ZCliContext& context);
