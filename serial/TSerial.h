#pragma once
// The serial port component: opens one port, configures it completely from its
// properties, and reads and writes it through four slots bound at every open.
// Handlers assigned before an open make the open start an event thread.
//
// Threads: configure, open, close, read and write from one thread at a time (the
// owner's). Handlers run in the event thread, or in the main thread through the
// dispatcher when SyncEventHandling is set. CloseIt joins the event thread, so no
// handler runs after it returns; a handler may close its own component (the
// thread then ends after the handler returns), but must not destroy it.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "EventThreadSlot.h"
#include "TCustomSerial.h"
#include "ZULMainThread.h"

class TSerial;
class TSerThread;

using TSerialNotify = std::function<void(TSerial&)>;

class TSerial : public TCustomSerial {
public:
    // Slot types: each slot is a bound operation of the component.
    using TTData = uint32_t (TSerial::*)(const void* data, uint32_t dataSize);
    using TRData = uint32_t (TSerial::*)(void* buf, uint32_t bufSize);
    using TTText = uint32_t (TSerial::*)(const std::string& s);
    using TRText = std::string (TSerial::*)();

    explicit TSerial(void* owner = nullptr);
    TSerial(void* owner, ISerialPlatform& platform, TPortTable& ports);
    ~TSerial() override;

    void SetActive(bool b);
    // Opens and configures the port; false when already open, when there is no port
    // or device, or when a step fails (nothing then stays open).
    bool OpenIt();
    void CloseIt();
    virtual bool OpenComm();
    // Applies the line settings (rate, character, handshake) to the open port at once;
    // false while closed or when the device refuses them.
    bool ApplyLineSettings();
    virtual void CloseComm();

    // Settings. Apart from Active they take effect at the next open.
    // The table rate; choosing one ends a custom rate.
    TBaudrate GetBaudrate() const { return baudrate_; }
    void SetBaudrate(TBaudrate value) {
        baudrate_ = value;
        customRate_ = 0;
    }
    // A rate in baud outside the table, used instead of the table rate; 0 for none.
    // 0 or less ends a custom rate. Whether the device accepts it shows at the open.
    int32_t GetCustomRate() const { return customRate_; }
    void SetCustomRate(int32_t rate) { customRate_ = rate > 0 ? rate : 0; }
    // The rate in baud the next open asks for.
    int32_t GetRate() const;
    TDataBits GetDataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value) { dataBits_ = value; }
    TParityBit GetParityBit() const { return parityBit_; }
    void SetParityBit(TParityBit value);  // also sets ParityCheck
    TStopBits GetStopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value) { stopBits_ = value; }
    int32_t GetBufSizeTrm() const { return bufSizeTrm_; }
    void SetBufSizeTrm(int32_t value);  // at least 16
    int32_t GetBufSizeRec() const { return bufSizeRec_; }
    void SetBufSizeRec(int32_t value);  // at least 16; lowers the limits to fit
    bool GetHandshakeRtsCts() const { return handshakeRtsCts_; }
    void SetHandshakeRtsCts(bool value) { handshakeRtsCts_ = value; }
    bool GetHandshakeDtrDsr() const { return handshakeDtrDsr_; }
    void SetHandshakeDtrDsr(bool value) { handshakeDtrDsr_ = value; }
    bool GetHandshakeXOnXOff() const { return handshakeXOnXOff_; }
    void SetHandshakeXOnXOff(bool value) { handshakeXOnXOff_ = value; }
    bool GetRTSActive() const { return rtsActive_; }
    void SetRTSActive(bool value) { rtsActive_ = value; }
    bool GetDTRActive() const { return dtrActive_; }
    void SetDTRActive(bool value) { dtrActive_ = value; }
    uint8_t GetXOnChar() const { return xOnChar_; }
    void SetXOnChar(uint8_t value) { xOnChar_ = value; }
    uint8_t GetXOffChar() const { return xOffChar_; }
    void SetXOffChar(uint8_t value) { xOffChar_ = value; }
    int32_t GetXOffLimit() const { return xOffLimit_; }
    void SetXOffLimit(int32_t value);  // above XOnLimit, at most BufSizeRec
    int32_t GetXOnLimit() const { return xOnLimit_; }
    void SetXOnLimit(int32_t value);  // below XOffLimit, at least 0
    uint8_t GetErrorChar() const { return errorChar_; }
    void SetErrorChar(uint8_t value) { errorChar_ = value; }
    uint8_t GetEofChar() const { return eofChar_; }
    void SetEofChar(uint8_t value) { eofChar_ = value; }
    uint8_t GetEventChar() const { return eventChar_; }
    void SetEventChar(uint8_t value) { eventChar_ = value; }
    bool GetParityCheck() const { return parityCheck_; }
    bool GetContinueOnXOff() const { return continueOnXOff_; }
    void SetContinueOnXOff(bool value) { continueOnXOff_ = value; }
    bool GetUseErrorChar() const { return useErrorChar_; }
    void SetUseErrorChar(bool value) { useErrorChar_ = value; }
    bool GetEliminateNullChar() const { return eliminateNullChar_; }
    void SetEliminateNullChar(bool value) { eliminateNullChar_ = value; }
    bool GetAbortOnError() const { return abortOnError_; }
    void SetAbortOnError(bool value) { abortOnError_ = value; }
    int32_t GetRecTimeOut() const { return recTimeOut_; }
    void SetRecTimeOut(int32_t value);  // ms, at least 0
    int32_t GetTrmTimeOut() const { return trmTimeOut_; }
    void SetTrmTimeOut(int32_t value);  // ms, at least 0

    // Event settings, read by the event thread at every event.
    bool GetSyncEventHandling() const { return syncEventHandling_; }
    void SetSyncEventHandling(bool value) { syncEventHandling_ = value; }
    bool GetEnableEvents() const { return enableEvents_; }
    void SetEnableEvents(bool value) { enableEvents_ = value; }
    // Completing reads and writes wait for the full count (within the time-outs).
    bool GetSyncWait() const { return syncWait_; }
    void SetSyncWait(bool value) { syncWait_ = value; }
    // The main thread for synchronised handlers. Without one, handlers run in the
    // event thread even when SyncEventHandling is set.
    IZULMainThreadDispatcher* GetDispatcher() const { return dispatcher_; }
    void SetDispatcher(IZULMainThreadDispatcher* dispatcher) { dispatcher_ = dispatcher; }

    // Handlers (the component is the sender). Assign them before the open: only
    // the events of handlers assigned at the open are waited for. A handler
    // unassigned while open is skipped.
    TSerialNotify GetOnBreak() const { return GetHandler(HandlerBreak); }
    void SetOnBreak(TSerialNotify fn) { SetHandler(HandlerBreak, std::move(fn)); }
    TSerialNotify GetOnCts() const { return GetHandler(HandlerCts); }
    void SetOnCts(TSerialNotify fn) { SetHandler(HandlerCts, std::move(fn)); }
    TSerialNotify GetOnDsr() const { return GetHandler(HandlerDsr); }
    void SetOnDsr(TSerialNotify fn) { SetHandler(HandlerDsr, std::move(fn)); }
    TSerialNotify GetOnError() const { return GetHandler(HandlerError); }
    void SetOnError(TSerialNotify fn) { SetHandler(HandlerError, std::move(fn)); }
    TSerialNotify GetOnRing() const { return GetHandler(HandlerRing); }
    void SetOnRing(TSerialNotify fn) { SetHandler(HandlerRing, std::move(fn)); }
    TSerialNotify GetOnDcd() const { return GetHandler(HandlerDcd); }
    void SetOnDcd(TSerialNotify fn) { SetHandler(HandlerDcd, std::move(fn)); }
    TSerialNotify GetOnRxChar() const { return GetHandler(HandlerRxChar); }
    void SetOnRxChar(TSerialNotify fn) { SetHandler(HandlerRxChar, std::move(fn)); }
    TSerialNotify GetOnEventChar() const { return GetHandler(HandlerEventChar); }
    void SetOnEventChar(TSerialNotify fn) { SetHandler(HandlerEventChar, std::move(fn)); }
    TSerialNotify GetOnTxEmpty() const { return GetHandler(HandlerTxEmpty); }
    void SetOnTxEmpty(TSerialNotify fn) { SetHandler(HandlerTxEmpty, std::move(fn)); }

    // Queue counts of the open port (0 when closed). The receive count is a hint:
    // a pseudo-terminal never reports more than 4095 even when more waits.
    int GetBufRec();
    int GetBufTrm();
    void DataInBuffer(int& inQueue, int& outQueue);
    // errno of the first write since the open that was accepted but could not be
    // sent in full (EIO: the device hung up; ETIMEDOUT: TrmTimeOut ran out); 0 when
    // none, and while closed. Such a failure also calls OnError once, when assigned.
    int GetWriteError() const;
    // Whether the flow control lets data out now; false when closed.
    bool GetCanTransmitt();
    // SETRTS, CLRRTS, SETDTR, CLRDTR, SETBREAK or CLRBREAK on the open port; false
    // when closed or when the device refused.
    bool EscapeFunction(uint32_t function);
    // The input lines as MS_*_ON bits; false when closed or the device has no lines.
    bool GetModemStatus(uint32_t& status);
    // False when closed; otherwise whether the purge succeeded.
    bool Purge(bool txAbort, bool rxAbort, bool txClear, bool rxClear);

    // The four slots, bound at every open: they do nothing while closed.
    uint32_t RData(void* buf, uint32_t bufSize) { return (this->*rData_)(buf, bufSize); }
    uint32_t TData(const void* data, uint32_t size) { return (this->*tData_)(data, size); }
    uint32_t TText(const std::string& s) { return (this->*tText_)(s); }
    std::string RText() { return (this->*rText_)(); }

    virtual TSerialConfig GetConfig() const;
    // Applies a valid record through the setters (it does not reopen the port);
    // ignores an invalid one.
    virtual void SetConfig(const TSerialConfig& config);
    // The settings as a 91-character text; "" for an invalid record.
    virtual std::string ConfigToStr(const TSerialConfig& config) const;
    // The settings a text holds, over the current ones; Valid tells whether the
    // text was accepted. Changes nothing in the component.
    virtual TSerialConfig StrToConfig(const std::string& text) const;

    // The event thread's view of the handlers.
    TSerialNotify HandlerForEvent(uint32_t eventBit) const;

protected:
    virtual std::string RText_00();
    virtual std::string RText_95();
    virtual std::string RText_NT();
    virtual uint32_t TData_00(const void* data, uint32_t size);
    virtual uint32_t TData_95(const void* data, uint32_t size);
    virtual uint32_t TData_NT(const void* data, uint32_t size);
    virtual uint32_t RData_00(void* buf, uint32_t bufSize);
    virtual uint32_t RData_95(void* buf, uint32_t bufSize);
    virtual uint32_t RData_NT(void* buf, uint32_t bufSize);
    virtual uint32_t TText_00(const std::string& s);
    virtual uint32_t TText_95(const std::string& s);
    virtual uint32_t TText_NT(const std::string& s);

    // The line settings the open applies, from the properties.
    TSerialDcb BuildDcb() const;
    // The DCB flag word from the properties.
    uint32_t DcbFlags() const;
    // The time-outs the open applies when RecTimeOut or TrmTimeOut is set.
    TSerialTimeouts BuildTimeouts() const;
    // The events of the handlers assigned now.
    uint32_t EventMask() const;

private:
    // In the order of SerialEventOrder.
    enum THandlerIndex {
        HandlerBreak,
        HandlerCts,
        HandlerDsr,
        HandlerError,
        HandlerRing,
        HandlerDcd,
        HandlerRxChar,
        HandlerEventChar,
        HandlerTxEmpty,
        HandlerCount
    };

    TSerialNotify GetHandler(THandlerIndex index) const;
    void SetHandler(THandlerIndex index, TSerialNotify fn);
    void ConfigureOpenHandle(uint32_t mask);
    void BindSlots();
    void BindInactiveSlots();
    void StopEventThread();

    bool ntFamily_;
    TBaudrate baudrate_ = br_009600;
    int32_t customRate_ = 0;
    TDataBits dataBits_ = db_8;
    TParityBit parityBit_ = none;
    TStopBits stopBits_ = sb_1;
    bool handshakeRtsCts_ = false;
    bool handshakeDtrDsr_ = false;
    bool handshakeXOnXOff_ = false;
    bool rtsActive_ = false;
    bool dtrActive_ = false;
    uint8_t xOnChar_ = 17;
    uint8_t xOffChar_ = 19;
    int32_t xOffLimit_ = 1600;
    int32_t xOnLimit_ = 400;
    uint8_t errorChar_ = '?';
    uint8_t eofChar_ = 26;
    uint8_t eventChar_ = 13;
    bool parityCheck_ = false;
    bool continueOnXOff_ = false;
    bool useErrorChar_ = false;
    bool eliminateNullChar_ = false;
    bool abortOnError_ = false;
    int32_t recTimeOut_ = 0;
    int32_t trmTimeOut_ = 0;
    std::atomic<bool> syncEventHandling_{false};
    std::atomic<bool> enableEvents_{true};
    bool syncWait_ = true;
    std::atomic<IZULMainThreadDispatcher*> dispatcher_{nullptr};

    mutable std::mutex handlersLock_;  // guards handlers_ between the owner and the event thread
    std::array<TSerialNotify, HandlerCount> handlers_;

    TEventThreadSlot<TSerThread> thread_;

    TRText rText_;
    TTData tData_;
    TRData rData_;
    TTText tText_;
};
