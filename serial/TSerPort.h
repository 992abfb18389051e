#pragma once
// The modem-line component: drives the two output lines (DTR, RTS) and reports the
// four input lines (DCD, DSR, CTS, RI), kept current by its own thread or read on
// each access in polling mode. All six line properties have inverted sense: true
// means the line is off.
//
// Threads: configure, open and close from one thread; the line getters may be
// called from any thread. Handlers run in the polling thread; CloseIt joins it,
// except when a handler closes its own component.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "EventThreadSlot.h"
#include "TCustomSerial.h"

class TSerPort;
class TSerPortThread;

using TSerPortNotify = std::function<void(TSerPort&)>;

class TSerPort : public TCustomSerial {
public:
    explicit TSerPort(void* owner = nullptr);
    TSerPort(void* owner, ISerialPlatform& platform, TPortTable& ports);
    ~TSerPort() override;

    void SetActive(bool b);
    // False when already open or when the device cannot be opened.
    bool OpenIt();
    void CloseIt();
    virtual bool OpenComm();
    virtual void CloseComm();

    bool GetOutDtr() const { return outDtr_; }
    void SetOutDtr(bool b);  // true drives DTR off; acts at once when open
    bool GetOutRts() const { return outRts_; }
    void SetOutRts(bool b);  // true drives RTS off; acts at once when open
    // True while the line is off. Fresh from the device in polling mode, otherwise
    // as the thread last saw it (kept after the close).
    bool GetInDCD();
    bool GetInDSR();
    bool GetInCTS();
    bool GetInRI();
    // Takes effect at the next open.
    bool GetPollingMode() const { return pollingMode_; }
    void SetPollingMode(bool b) { pollingMode_ = b; }

    TSerPortNotify GetOnCts() const;
    void SetOnCts(TSerPortNotify fn);
    TSerPortNotify GetOnDsr() const;
    void SetOnDsr(TSerPortNotify fn);
    TSerPortNotify GetOnRing() const;
    void SetOnRing(TSerPortNotify fn);
    TSerPortNotify GetOnDcd() const;
    void SetOnDcd(TSerPortNotify fn);

    // For the polling thread: reads the modem status into the four input lines
    // (keeping them when the device cannot tell).
    void RefreshInputs(ISerialHandle& handle);
    // For the polling thread: the handler of a line event.
    TSerPortNotify HandlerForEvent(uint32_t eventBit) const;

private:
    // In polling mode: reads the input lines fresh, unless the port is closed.
    void RefreshIfPolling();

    bool outDtr_ = false;
    bool outRts_ = false;
    std::atomic<bool> inDcd_{false};
    std::atomic<bool> inDsr_{false};
    std::atomic<bool> inCts_{false};
    std::atomic<bool> inRi_{false};
    bool pollingMode_ = false;
    std::atomic<bool> pollingInEffect_{false};
    // Guards the open device between the owner, which opens and closes it, and the
    // line getters, which read it from any thread in polling mode.
    std::mutex deviceLock_;

    mutable std::mutex handlersLock_;  // guards the four handlers between the owner and the thread
    TSerPortNotify onCts_, onDsr_, onRing_, onDcd_;

    TEventThreadSlot<TSerPortThread> thread_;
};
