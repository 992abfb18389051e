#pragma once
// What a script drives besides its frames: the port of a live capture (sends and the
// modem lines) and the capture's error history. A replay has no port. Called on the
// script's thread only.

#include <cstdint>
#include <string>
#include <vector>

class IZScriptTarget {
public:
    virtual ~IZScriptTarget() = default;
    // Whether sends and the modem lines reach a port (false for a replay).
    virtual bool HasPort() const = 0;
    // Hands the bytes to the port as the Send page does; false with the reason.
    virtual bool Send(const std::vector<uint8_t>& bytes, std::string& errorText) = 0;
    // SETDTR, CLRDTR, SETRTS, CLRRTS, SETBREAK or CLRBREAK; false with the reason.
    virtual bool SetOutputLine(uint32_t escapeFunction, std::string& errorText) = 0;
    // An information entry for the user: the capture's error history and log files.
    virtual void Log(const std::string& text) = 0;
    // An error of the script, for the error history.
    virtual void LogError(const std::string& text) = 0;
};
