#pragma once
// The part of the capture engine that talks to the serial port: a thread that
// wakes every poll interval and, while the port is open, reads what the driver
// holds and posts it in chunks of at most ReadSize bytes to a pump, whose thread
// hands each chunk to ProcessData. While the pump is full the thread reads nothing
// and waits for room: the driver keeps the bytes (a pseudo-terminal, a USB CDC
// device, an RTS/CTS line or a network peer is held back meanwhile), and what the
// driver itself has to drop is read from its counters and recorded. It also opens
// and closes the port with a time limit, keeps the engine's error history and
// stores the port configuration in the settings file.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Serial.h"
#include "ZLineTiming.h"
#include "ZLoggerClients.h"
#include "ZRawRecorder.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"
#include "ZULIniFile.h"
#include "ZULLossCounter.h"
#include "ZULMsgPump.h"
#include "ZULThread.h"

// What travels from the capture thread to the pump thread besides the bytes: the
// port's coming and going, in order with the chunks read before and after.
// Silence: nothing was read for the silence gap since the read at TimeUs.
enum class ZPortEvent : uint8_t { None, Lost, Back, Silence };

// One received chunk on its way from the capture thread to ProcessData.
struct sReceivedData {
    std::vector<uint8_t> Data;
    int32_t Size = 0;  // at least 1, but 0 for an event
    ZPortEvent Event = ZPortEvent::None;
    // When the read returned, in microseconds since the Unix epoch (0: not stamped),
    // and as local time (0: not asked for, see SetPreciseTime).
    int64_t TimeUs = 0;
    TDateTime Time = 0;
    bool Sent = false;  // Data went out to the port rather than came in
    uint8_t Line = 0;   // the line it was read from (or sent to): 0, or 1 for the second line
};

// How a send ended.
enum class ZSendResult : uint8_t {
    Sent,     // handed to the port in full; it goes out in order with earlier sends
    Skipped,  // a repeat whose previous send has not left yet: nothing handed over
    Refused,  // no port open, too long, the port gone, or the write failed (see the text)
};

// Pairs of TBaudrate value and rate in baud, in TBaudrate order.
struct ZRateTableEntry {
    TBaudrate Value;
    int32_t Rate;
};
extern const ZRateTableEntry RateTable[20];

class ZSerialCapture {
public:
    static constexpr const char* IniSection = "_serial_capture";
    static constexpr const char* IniKey = "_settings";
    // A rate outside the table, beside the port's text, which cannot hold one.
    static constexpr const char* CustomRateKey = "CustomBaudrate";
    static constexpr const char* IniNetworkPortKey = "NetworkPort";
    // The second line of a capture of two lines, and the keys only it has or both have.
    static constexpr const char* IniSection2 = "_serial_capture2";
    static constexpr const char* IniEnabledKey = "Enabled";
    static constexpr const char* IniNameKey = "Name";
    // A capture reads one line, or two at once (both directions of a conversation).
    static constexpr int MaxLines = 2;

    // Scans the ports 1 to 99 once per process, creates the chunk pump and the port,
    // and starts the capture thread (idle while the port is closed).
    ZSerialCapture(int pollIntervalMs, int readSize);
    // The same on another serial platform (tests).
    ZSerialCapture(int pollIntervalMs, int readSize, ISerialPlatform& platform);
    virtual ~ZSerialCapture();
    ZSerialCapture(const ZSerialCapture&) = delete;
    ZSerialCapture& operator=(const ZSerialCapture&) = delete;

    // Called on the pump thread for every chunk, in the order read (of both lines, in
    // one timeline; ChunkLine tells which line it came from).
    virtual void ProcessData(const uint8_t* bytes, int count) = 0;
    // Called instead of ProcessData for a chunk that carries its read time (precise
    // time, or a replay of a timed recording); the default forgets the time.
    virtual void ProcessTimedData(const uint8_t* bytes, int count, TDateTime /*time*/, int64_t /*timeUs*/) {
        ProcessData(bytes, count);
    }
    // Called on the pump thread, in order with the chunks, when nothing was read for
    // the silence gap after the read at lastReadUs.
    virtual void SilenceSince(int64_t /*lastReadUs*/) {}
    // Called on the pump thread when a capture that reconnects has lost its port
    // (waiting true: every chunk read before the loss has been processed) and when
    // the port is back (false: before any chunk read after it).
    virtual void PortStateChanged(bool /*waiting*/) {}
    // Called on the capture thread after every poll cycle of a running capture (the
    // port open or waited for), with the port lock held.
    virtual void PollDone() {}
    // Called on the pump thread for every send, in order with the chunks read.
    virtual void ProcessSent(const uint8_t* /*bytes*/, int /*count*/, TDateTime /*time*/) {}

    // False when already open, or not open within 2 s; a network port may take up to
    // its connect limit (5 s) before it fails. A malformed network address, and an
    // open given up for the stop flag, fail at once.
    // With two lines, both open or neither: the first is closed again when the second fails.
    bool OpenPort();
    // True when closed (at once when it was not open). Ends a wait for a lost port at
    // once, gives up a reopen in progress, and closes the raw recording after writing
    // out all it holds. Any chunk read before it returns still reaches ProcessData.
    bool ClosePort();
    // A flag another thread (a signal handler, say) sets to stop: an open in progress
    // (a network port's connect and greeting) gives up as soon as it is set. Not owned;
    // null for none. Only while closed.
    void SetStopFlag(const std::atomic<bool>* flag) { stopFlag_ = flag; }
    // Whether a capture runs: the port is open, or lost and waited for.
    bool IsCapturing() const;
    // Whether the next captures wait for a lost port to come back: the same device
    // path (for a port number, the device it resolves to at each try), tried every
    // ReconnectInterval, reopened with the line settings of the capture's start.
    // Without it a lost port stays lost until the capture stops. Only while closed.
    void SetReconnect(bool reconnect);
    // Whether the next captures wait for the port to become readable (the poll interval
    // at most) instead of sleeping, and stamp every chunk with its local time; and the
    // silence after the last read (0: none) that sends a ZPortEvent::Silence. Every
    // read is stamped in microseconds either way. Only while closed.
    void SetPreciseTime(bool precise, int64_t silenceGapUs);
    // A port was lost and the capture waits for it to come back.
    bool IsWaitingForPort() const;
    // Every port was lost and none is waited for: the capture reads nothing more until it
    // stops. With two lines, the loss of one (recorded with its name) leaves the other going.
    bool IsPortLost() const;
    // The line's port was lost and is not waited for.
    bool IsLineLost(int line) const;
    // Whether the next captures forward every chunk read on one line to the other line's
    // port as soon as it is read, on the capture thread (a proxy between a program and
    // its device); what the other port cannot take, or a port that is gone, is counted
    // as lost and recorded. Only while closed.
    void SetForwarding(bool forward);
    // Sets the line's rate and stop bits and applies them to its open port at once;
    // false while the port is closed or when the device refuses them. Any thread.
    bool ChangeLine(int line, int32_t rate, TStopBits stopBits);
    // Whether the next captures read a second line, configured on GetPort(1) and
    // through the line-taking calls below. Only while closed.
    void SetSecondLine(bool enabled);
    bool HasSecondLine() const;
    // The line's name as logs and exports show it: the one set, else its port's name
    // (COM3, or a device path's file name, ttyUSB0). An empty name goes back to the default.
    void SetLineName(int line, const std::string& name);
    std::string GetLineName(int line) const;
    // The name set for the line; "" when it takes its port's.
    std::string GetSetLineName(int line) const;
    // The file that receives every byte read, for the next capture (null: none).
    // Only while closed; ClosePort writes out and closes it.
    void SetRawRecorder(std::unique_ptr<ZRawRecorder> recorder);
    // The raw recording of the running or last capture (null: none). Path and
    // BytesRecorded may be read while it runs.
    ZRawRecorder* GetRawRecorder() { return raw_.get(); }
    int32_t GetCOMPort(int line = 0) const;
    void SetCOMPort(int32_t port, int line = 0);
    int32_t GetBaudrate(int line = 0) const;
    // Any positive rate is kept as given (one outside RateTable as the port's custom
    // rate, which the device may still refuse at the open); 0 or less changes nothing.
    void SetBaudrate(int32_t rate, int line = 0);
    // The line the port is set to: its rate and its character (start, data, parity
    // and stop bits), which tell how long bytes take on it.
    ZLineTiming GetLineTiming(int line = 0) const;
    void GetPortList(std::vector<std::string>& list) const;
    void GetBaudrateList(std::vector<std::string>& list) const;
    // Runs the extended port settings dialog on the port's settings and writes what the
    // user confirmed back to the port (taking effect at the next open); returns the
    // dialog's result. The dialog works on a stand-in, so a running capture is never
    // held up while it is shown. Main thread.
    bool ShowPortDialog(IZPortDialog& dialog, int line = 0);
    // A network port's address (rfc2217://HOST:PORT, tcp://HOST:PORT) to capture
    // instead of the port number's device; "" goes back to the port number. Saved
    // with the port settings only when set. Only while closed.
    void SetNetworkPort(const std::string& address, int line = 0);
    std::string GetNetworkPort(int line = 0) const;
    // The first line in [_serial_capture]; the second, when enabled, in [_serial_capture2].
    // Each line's name is saved only when set, so a file of one line reads as it always did.
    void SavePortSettings(ZULIniFile& ini) const;
    // A file without [_serial_capture2] (or with Enabled=0) captures one line.
    bool LoadPortSettings(const ZULIniFile& ini, std::string& errorText);

    // Hands bytes (at most MaxSendBytes) to the open port without waiting for them
    // to leave, and posts them to ProcessSent in order with the chunks read. With
    // skipWhenBusy a send is skipped (and counted) while earlier bytes still wait to
    // go out, so a repeat that outruns the line never queues without bound; without
    // it the bytes waiting may grow to twice MaxSendBytes before a send is refused.
    // Any thread; errorText says why a send was refused.
    ZSendResult SendBytes(const std::vector<uint8_t>& bytes, bool skipWhenBusy, std::string& errorText);
    // Whether every byte handed over has left the port (also when it is closed).
    bool SendsDone();
    // Sends skipped since the capture started.
    uint64_t SkippedSends() const { return skippedSends_.load(); }
    // Sets (SETDTR, SETRTS, SETBREAK) or clears an output line of the open port;
    // false when no port is open or the device refused. Any thread.
    bool SetOutputLine(uint32_t escapeFunction);
    // The input lines of the open port as MS_CTS_ON, MS_DSR_ON, MS_RING_ON and
    // MS_RLSD_ON bits; false while no port is open or the device has no lines.
    bool GetInputLines(uint32_t& status);

    // The port, for the port dialog of the window program and for choosing a device
    // path; configure it only while the port is closed.
    TSerial& GetPort(int line = 0) { return *lines_[LineIndex(line)].Port; }
    // Why the last OpenPort failed, for the user ("" when nothing is known): the
    // port's reason and, when the device refused the line settings, the rate asked,
    // since a typed rate is the usual cause. Only while closed.
    std::string GetOpenFailureText() const;
    TZULErrorHistory& GetErrorHistory() { return errors_; }

    // Posts bytes as if they had been read from the port (offline replays), in chunks of
    // at most ReadSize bytes. With waitWhenFull the call waits while the pump refuses
    // instead of dropping. False when a chunk was dropped (counted as a loss) or the
    // pump has ended.
    // timeUs, when not 0, is the time of the read the bytes stand for.
    // line: the line they stand for (0, or 1 for the second line).
    bool PostReceivedChunk(const uint8_t* bytes, int count, bool waitWhenFull, int64_t timeUs = 0, int line = 0);
    // Posts bytes as if they had been sent at timeUs (a replay of a timed recording):
    // one record for ProcessSent, in order with the chunks, waiting while the pump
    // refuses. False when the pump has ended.
    bool PostSentRecord(const uint8_t* bytes, int count, int64_t timeUs);
    // Waits until every posted chunk has been through ProcessData; at once when the pump
    // has ended. Main thread.
    void DrainChunks();
    // Whether the chunks of one poll reach ProcessData spread over the poll interval
    // (they do at first); a replay, which no window watches live, wants them at once.
    void SpreadChunks(bool spread);
    // Whether a chunk read after a pause reaches ProcessData at once instead of after the
    // pump's interval (it does at first: a script waits for its frame); a replay, which
    // posts faster than the chunks are processed, has them gathered instead.
    void DeliverPromptly(bool prompt);

protected:
    // Ends the capture thread (closing the port) and the pump; no ProcessData call
    // happens afterwards. A derived class calls it first in its destructor.
    void StopCaptureThread();
    // Records a still-open loss episode of the chunk pump.
    void CloseLossEpisode() { chunkLoss_.Close(); }
    // Within ProcessData, ProcessTimedData and ProcessSent: the microseconds since the
    // Unix epoch at which the read of these bytes returned (or the send was handed to
    // the port); 0 when not known. Pump thread only.
    int64_t ChunkTimeUs() const { return chunkTimeUs_; }
    // Within the same calls and SilenceSince and PortStateChanged: the line of the chunk,
    // the send or the event (0, or 1 for the second line). Pump thread only.
    int ChunkLine() const { return chunkLine_; }
    static int LineIndex(int line) { return line == 1 ? 1 : 0; }

    // Poll cycles under a caller's control, so that a test can tell exactly which bytes
    // one cycle read instead of guessing from the clock. HoldCycles returns once no cycle
    // is running; from then on the capture thread waits before each cycle until
    // RunCycles grants it. RunCycles grants count cycles and returns when they have run
    // (all the chunks they read are posted by then); false when they did not run within
    // limit or the thread ended; while cycles are not held it only waits for count more.
    void HoldCycles();
    bool RunCycles(int count, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // How long the capture thread waits between two tries to reopen a lost port;
    // a test sets it to 0 and lets held cycles decide when it tries. Only while closed.
    void SetReconnectInterval(std::chrono::milliseconds interval) { reconnectIntervalMs_ = interval.count(); }
    // The longest wait the capture thread began since the last call (waits for held
    // cycles left out): no wait may outlast a poll interval, or the reconnect interval
    // while a lost port is waited for. Any thread.
    std::chrono::microseconds TakeLongestWait() {
        return std::chrono::microseconds(longestWaitUs_.exchange(0));
    }

private:
    // A cycle stops after this many chunks even when bytes keep arriving, so that a
    // flooding device cannot keep ClosePort waiting for the port lock.
    static constexpr int MaxChunksPerCycle = 1000;
    static constexpr int ChunkPriority = 2;
    // From this rate on (over a poll interval) a line is read as its bytes come, not polled.
    static constexpr int BusyBytesPerSecond = 200'000;

    // What the capture keeps of one line; all of it under portLock_ but Port's own
    // thread safety, as the port table hands it out.
    struct sLine {
        std::unique_ptr<TSerial> Port;
        std::string Name;  // "": the port's name
        bool LostReported = false;
        bool WaitingForPort = false;
        std::chrono::steady_clock::time_point NextTry{};  // the next try to reopen a lost port
        TSerialConfig OpenConfig{};             // the line settings the capture started with
        std::vector<ZPortEvent> PendingEvents;  // not yet accepted by the pump, oldest first
        std::string NetworkPort;
        // The time of the last read, the line time of its bytes, and whether bytes were
        // read since the last silence event; SetPreciseTime resets them with the line
        // they are timed on.
        int64_t LastReadUs = 0;
        int64_t LastReadLineUs = 0;
        ZLineTiming Timing;
        bool SilenceDue = false;
        // A chunk read that the full pump refused, and whether the last cycle stopped
        // reading for a full pump.
        std::unique_ptr<sReceivedData> HeldChunk;
        bool HeldBack = false;
        // The last cycle read the port dry: its handle holds no byte that a poll of the
        // device would not show.
        bool Drained = false;
        // The device that was opened as the user knows it, and the driver's loss counter
        // at the last look (DriverCounts: the driver keeps one).
        std::string OpenDevice;
        bool DriverCounts = false;
        uint32_t DriverLost = 0;
        ZULLossCounter DriverLoss{"SerialCapture", "DriverCounters",
                                  ZULFormat(ZUL_TEXT("LossCounter", "received bytes")),
                                  ZULFormat(ZUL_TEXT("LossCounter", "driver overrun"))};
    };

    void Execute();
    // Waits for the next cycle: for a port to become readable (precise time), for
    // room in the pump (while it holds the reading back), or until next, but never
    // longer than one poll interval; while every port is waited for, until next or a
    // stop. False when the thread is to end.
    bool WaitForNextCycle(std::chrono::steady_clock::time_point next);
    void NoteWait(std::chrono::steady_clock::duration length);
    // Waits while cycles are held and none is granted; false when the thread is to end.
    bool EnterCycle();
    void LeaveCycle();
    void PollPort();
    void PollLine(int line);  // caller holds portLock_
    // Reads until the port is empty, a stop, or the pump is full; caller holds portLock_.
    void ReadWhatWaits(int line);
    // Posts count bytes as one chunk; a chunk the pump refuses is held and offered
    // again before anything more is read. False when it was held.
    bool PostChunk(int line, const uint8_t* bytes, int count, int64_t timeUs);
    // Posts a record of bytes sent at timeUs, waiting while the pump refuses or
    // counting the refusal as sent bytes lost.
    bool PostSent(const uint8_t* bytes, int count, int64_t timeUs, bool waitWhenFull);
    // Posts item to the pump, waiting for room while it is full when waitWhenFull
    // (until the capture stops); false when the pump refused it.
    bool PostItem(std::unique_ptr<sReceivedData>& item, bool waitWhenFull);
    // Offers the held chunk again, waiting for room until `until` at most (an `until`
    // that has passed: not at all). True when no chunk is held any more. Caller holds portLock_.
    bool PostHeldChunk(sLine& line, std::chrono::steady_clock::time_point until);
    // Records what the driver dropped since the last look. Caller holds portLock_.
    void CheckDriverLosses(sLine& line);
    // Precise time, or a busy line: waits for the ports instead of sleeping; false when
    // it cannot.
    bool WaitForBytes();
    // Once per poll interval: whether the interval's reads made the lines busy. Capture thread.
    void NoteLineLoad(std::chrono::steady_clock::time_point now);
    // Precise time: the silence event once the gap after the end of the last read's
    // bytes on the line has passed.
    void PostSilenceIfDue(int line);
    int64_t SilenceDueUs(const sLine& line) const;  // caller holds portLock_
    // The earliest silence due on a line read since its last one; 0: none.
    int64_t NextSilenceDueUs() const;  // caller holds portLock_
    ZLineTiming LineTimingLocked(int line) const;
    void ChunkArrived(std::unique_ptr<sReceivedData> item);
    void ReportPortLost(int line);
    // The rest of PollPort's business: the lost port's release, a try to reopen it,
    // the events it sends and the raw recording's regular flush. Caller holds portLock_.
    void BeginWaitingForPort(int line);
    void TryReconnect(int line);
    bool PostPendingEvents(int line);
    std::string DeviceName(int line) const;  // caller holds portLock_
    // Takes what a capture keeps of the port it opened. Caller holds portLock_.
    void NoteOpened(int line);
    // The lines the next or running capture reads: 1 or 2. Caller holds portLock_.
    int LineCount() const { return secondLine_ ? 2 : 1; }
    bool AnyActiveLocked() const;      // a line's port is open or waited for
    bool AllWaitingLocked() const;     // every line's port is waited for
    // "The COM port" with one line, "The COM port of line NAME" with two.
    std::string NameOfLine(int line) const;  // the set name or the default; caller holds portLock_
    std::string DefaultLineName(int line) const;  // caller holds portLock_
    void CloseLine(sLine& line);  // caller holds portLock_
    // After asking the line's port for its queue counts, which may move bytes the driver
    // held back into the port's handle, where no poll sees them. Caller holds portLock_.
    void ForgetDrained(int line);
    // Forwarding: hands count bytes read on line from to the other line's port.
    void Forward(int from, const uint8_t* bytes, int count);  // caller holds portLock_
    static void SetRate(TSerial& port, int32_t rate);          // caller holds portLock_
    // Opens one line's port with the time limit OpenPort promises.
    bool OpenLine(int line);
    bool AllWaiting() const;
    void SaveLineSettings(ZULIniFile& ini, int line, const char* section) const;  // caller holds portLock_
    void LoadLineSettings(const ZULIniFile& ini, int line, const char* section);  // caller holds portLock_
    // "link (device)" for a device path that is a link, else the path as it is.
    static std::string WithLinkTarget(const std::string& device);

    const int pollInterval_;
    const int readSize_;
    TZULErrorHistory errors_;
    ZULLossCounter chunkLoss_;
    ZULLossCounter sentLoss_;
    ZULLossCounter forwardLoss_;  // capture thread only, but for Close
    std::vector<uint8_t> readBuffer_;  // capture thread only
    // Set by ClosePort before it waits for the port lock: the reading stops between
    // chunks and an open in progress gives up. Cleared by OpenPort.
    std::atomic<bool> closing_{false};
    const std::atomic<bool>* stopFlag_ = nullptr;
    std::atomic<int64_t> longestWaitUs_{0};

    // Guards the lines and with them the capture's state: the fields up to portWake_.
    mutable std::mutex portLock_;
    sLine lines_[MaxLines];
    bool secondLine_ = false;
    bool forwarding_ = false;
    bool reconnect_ = false;
    std::unique_ptr<ZRawRecorder> raw_;
    std::condition_variable portWake_;  // a wait for the port ends: stopped or terminated
    // Also under portLock_, set while closed: see SetPreciseTime.
    bool precise_ = false;
    int64_t silenceGapUs_ = 0;
    std::atomic<int64_t> reconnectIntervalMs_{500};
    // Also under portLock_: the bytes read since loadIntervalStart_, and whether the last
    // poll interval read so many that the ports are waited on (see NoteLineLoad).
    uint64_t loadIntervalBytes_ = 0;
    std::chrono::steady_clock::time_point loadIntervalStart_{};
    bool busy_ = false;
    std::atomic<uint64_t> skippedSends_{0};

    std::mutex cycleLock_;  // guards cyclesHeld_, cyclesGranted_, cyclesRun_, inCycle_
    std::condition_variable cycleChanged_;
    bool cyclesHeld_ = false;
    int cyclesGranted_ = 0;
    uint64_t cyclesRun_ = 0;
    bool inCycle_ = false;

    std::unique_ptr<TZULMsgPump<std::unique_ptr<sReceivedData>>> pump_;
    int64_t chunkTimeUs_ = 0;  // pump thread only: the chunk being processed, see ChunkTimeUs
    int chunkLine_ = 0;        // pump thread only: see ChunkLine
    std::atomic<bool> stopped_{false};  // the capture thread and the pump have ended
    ZULThread thread_;
};
