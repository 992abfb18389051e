#pragma once
// The base of the serial components: the port number, the list of existing ports,
// the driver buffer sizes, the thread priority and the open device.
//
// Not thread-safe: one thread at a time configures, opens and closes a component.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SerialPlatform.h"
#include "SerialTypes.h"
#include "TPortTable.h"

class TCustomSerial {
public:
    // Uses the running system and the process-wide port table (scanning COM1 to
    // COM4 if no scan ran yet); COMPort becomes the lowest existing of COM1 to COM4.
    explicit TCustomSerial(void* owner = nullptr);
    // The same over another platform and port table (tests, tools).
    TCustomSerial(void* owner, ISerialPlatform& platform, TPortTable& ports);
    virtual ~TCustomSerial();
    TCustomSerial(const TCustomSerial&) = delete;
    TCustomSerial& operator=(const TCustomSerial&) = delete;

    void* GetOwner() const { return owner_; }
    bool GetActive() const { return active_; }

    int32_t GetCOMPort() const { return comPort_; }
    // n outside 0..99 is ignored; a port that does not exist gives 0 (no port).
    void SetCOMPort(int32_t n);
    // COMPort becomes the i-th existing port; an index out of range does nothing.
    void PortByIndex(int i);
    // "COM<n>" for every existing port, ascending, taken at construction.
    const std::vector<std::string>& PortList() const { return portList_; }

    TThreadPriority GetThreadPriority() const { return threadPriority_; }
    void SetThreadPriority(TThreadPriority priority) { threadPriority_ = priority; }

    // An explicit device to open instead of the port number's device; "" goes back
    // to the port number. Takes effect at the next open.
    void SetDevicePath(const std::string& path) { devicePath_ = path; }
    // The device the next (or current) open uses; "" when there is none.
    std::string GetDevicePath() const;
    // The open port's device hung up (unplugged, or the other end of a
    // pseudo-terminal closed). False while closed; a new open starts afresh.
    bool IsHungUp() const;
    // Waits up to timeoutMs for bytes to read or a hang-up (ISerialHandle::WaitReadable);
    // false at once while closed or when the device cannot be waited for so.
    bool WaitReadable(int timeoutMs);
    // The descriptor the open port's WaitReadable polls (ISerialHandle::PollDescriptor);
    // -1 while closed or when it has none.
    int GetPollDescriptor() const;
    // The open pseudo-terminal master's slave (ISerialHandle::PeerDevice); "" otherwise.
    std::string GetPeerDevice() const;
    // Received bytes the open port's driver dropped since it started, wrapping at 2^32
    // (ISerialHandle::ReceiveLosses); false while closed or when the driver keeps no count.
    bool GetReceiveLosses(uint32_t& lost);
    // Bytes the open port's handle holds in memory (ISerialHandle::HeldBytes); 0 while closed.
    size_t GetHeldBytes() const;
    // Asked while an open waits for a network port (connect and greeting): true gives
    // the open up at once, failing with ECANCELED. Set it while closed.
    void SetOpenAbandoned(TOpenAbandoned abandoned) { openAbandoned_ = std::move(abandoned); }
    // The device (or network address) the last open tried, link names as given.
    const std::string& GetLastOpenDevice() const { return lastOpenDevice_; }
    // errno of the last failed open; 0 after a successful one.
    int GetLastOpenError() const { return lastOpenError_; }
    // Why the last open failed, as a sentence the user can act on; "" after success.
    std::string GetLastOpenErrorText() const;

protected:
    // Opens the device of GetDevicePath; false (reason recorded) on failure.
    bool OpenHandle();
    // Records errorNumber as the reason of a failed open and releases the device.
    void FailOpen(int errorNumber);
    // Restores and releases the device; harmless when there is none.
    void CloseHandle();
    bool HandleValid() const { return handle_ != nullptr; }
    ISerialHandle& Handle() const { return *handle_; }
    const std::shared_ptr<ISerialHandle>& SharedHandle() const { return handle_; }
    ISerialPlatform& Platform() const { return platform_; }

    std::atomic<bool> active_{false};  // read by any thread, written by the owner's
    int32_t bufSizeTrm_ = 2048;
    int32_t bufSizeRec_ = 2048;
    TThreadPriority threadPriority_ = tpIdle;

private:
    void* owner_;
    ISerialPlatform& platform_;
    TPortTable& ports_;
    std::vector<std::string> portList_;
    int32_t comPort_ = 0;
    std::string devicePath_;
    std::string lastOpenDevice_;
    int lastOpenError_ = 0;
    std::string lastRefusal_;  // what the device set instead, when it said
    TOpenAbandoned openAbandoned_;
    std::shared_ptr<ISerialHandle> handle_;
};
