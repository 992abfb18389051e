#pragma once
// The program's side of a proxy between a program and its device: the capture's
// second line is a new pseudo-terminal whose other end a program opens, through a
// symbolic link, as if it were the device. Every chunk read on one line is forwarded
// to the other by the capture thread; device to program is line 0 ("device"),
// program to device line 1 ("program"). This class holds the program's end open
// (so that the program may close and reopen it, and so that its settings can be
// read), makes and removes the link, and applies the rate and stop bits the program
// sets to the device. Linux's pseudo-terminal forces 8 data bits and no parity on
// every change and has no modem lines: those of the device stay as configured.
//
// One thread at a time (the one that starts and stops the capture).

#include <chrono>
#include <cstdint>
#include <string>

#include "ZULIniFile.h"

class ZLogger;

class ZProxyProgramSide {
public:
    static constexpr const char* DeviceLineName = "device";
    static constexpr const char* ProgramLineName = "program";
    // How often FollowProgram should be called: a change reaches the device well within 50 ms.
    static constexpr std::chrono::milliseconds FollowInterval{10};

    // logger must outlive this object.
    explicit ZProxyProgramSide(ZLogger& logger);
    // Ends serving (End).
    ~ZProxyProgramSide();
    ZProxyProgramSide(const ZProxyProgramSide&) = delete;
    ZProxyProgramSide& operator=(const ZProxyProgramSide&) = delete;

    // False, with the reason for the user, when something is at path already (a
    // symbolic link included, whether it leads anywhere or not): it is never replaced.
    static bool CheckLinkPath(const std::string& path, std::string& errorText);

    // Turns the logger's second line into the program's side (a new pseudo-terminal),
    // forwarding on, the lines named "device" and "program". What the lines were is
    // kept for RestoreLines. Only while no capture runs.
    void ConfigureLines();
    // The lines and their names as they were before ConfigureLines, forwarding off
    // (nothing when ConfigureLines was not called). Only while no capture runs.
    void RestoreLines();

    // Once the capture runs: opens and holds the program's end, makes it raw, and makes
    // path a symbolic link to it. False, with the reason for the user, when the end
    // cannot be opened or the link cannot be made (an existing path included); no link
    // is left behind then.
    bool Serve(const std::string& path, std::string& errorText);
    // The program's end ("/dev/pts/N"), once Serve has opened it; "" before.
    const std::string& ProgramDevice() const { return programDevice_; }
    // Applies the rate and stop bits the program set on its end to the device when they
    // changed since the last look, and records the change as information in the error
    // history and the log files ("The program set 57600 baud, 2 stop bits"); a change the
    // device refuses is recorded as an error. True when there was a change; recorded
    // then holds the text recorded. Call it every FollowInterval while serving.
    bool FollowProgram(std::string& recorded);
    // Removes the link (only while it is still the one made here); the program's end
    // stays open, so that the capture does not see its second line hang up.
    void RemoveLink();
    // Removes the link and lets the program's end go. At once when not serving.
    void End();

private:
    // What a pseudo-terminal shows of the program's settings.
    struct sProgramLine {
        uint32_t Rate = 0;
        bool TwoStopBits = false;
        bool operator==(const sProgramLine&) const = default;
    };
    bool ReadProgramLine(sProgramLine& line) const;

    ZLogger& logger_;
    ZULIniFile previousLines_;
    bool configured_ = false;
    bool previousSecondLine_ = false;
    int programEnd_ = -1;
    std::string programDevice_;
    std::string linkPath_;  // "" while no link is made
    sProgramLine known_;
};
