#pragma once
// The capture engine as the windows see it: a ZSerialCapture that owns its copy
// of the settings, the frame filter, the data trigger parser and the log file
// writer, distributes every filter block to them and to the windows, keeps the
// counters, and loads and saves settings files.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ZDataTriggers.h"
#include "ZFilter.h"
#include "ZFrameExport.h"
#include "ZFrameLogGate.h"
#include "ZFramePcap.h"
#include "ZLogFileManager.h"
#include "ZLoggerClients.h"
#include "ZLoggerSettings.h"
#include "ZSerialCapture.h"

class ZLogger : public ZSerialCapture {
public:
    explicit ZLogger(const ZLoggerSettings& settings);
    ~ZLogger() override;

    // Receivers of status messages and live entries; either may be null (nothing sent).
    // Set them only while no capture runs.
    void SetStatusReceiver(IZStatusReceiver* receiver) { statusReceiver_ = receiver; }
    void SetEntryReceiver(IZEntryReceiver* receiver) { entryReceiver_ = receiver; }
    // Receivers of every block with its verdict and data trigger matches (the frame
    // export and the like), called in the order added. Add and remove them only while
    // no capture or replay runs; an observer must outlive its membership.
    void AddBlockObserver(IZBlockObserver* observer);
    void RemoveBlockObserver(IZBlockObserver* observer);

    // Opens the port for a capture, once the log folder has passed
    // ZLogFileManager::CheckLogFolder (made when missing). The raw recording of this capture is the one
    // handed over by SetRawRecorder, else, with RawRecording set, a new file beside
    // the log files, named "<first log file's name>.bin" once the first log file is
    // written (until then, and when none is, after the start's time in the same
    // form). False when the port does not open (the recording is removed again if it
    // is empty) or when the log folder or the recording cannot be used (GetStartErrorText
    // says why; the port was not touched then).
    bool StartCapture();
    // The Wireshark capture of the frames: the one created on it before StartCapture
    // (e.g. by the command line), else, with PcapRecording set, a new file beside the
    // log files named like the raw recording, "<first log file's name>.pcapng". The
    // stop steps close it. Create it only while no capture runs.
    ZFramePcap& GetFramePcap() { return pcap_; }
    // Why the last StartCapture failed, when not for the port; "" otherwise.
    const std::string& GetStartErrorText() const { return startErrorText_; }
    bool StopCapture();
    bool SetSettings(const ZLoggerSettings& settings);
    void GetSettings(ZLoggerSettings& settings) const;
    bool LoadSettings(const std::string& fileName, std::string& errorText);
    bool SaveSettings(const std::string& fileName, bool overwrite, std::string& errorText);
    // The error history as lines for the user, informational entries marked as such;
    // returns the number of errors (informational entries are not counted).
    int GetErrorList(std::vector<std::string>& list);

    // Offline replay of recorded bytes through the same path a received chunk takes:
    // BeginReplay does what a capture start does without opening the port, FeedReplay
    // posts chunks without dropping any, EndReplay does the stop steps.
    void BeginReplay();
    // timeUs, when not 0, is the recorded time of the read (a timed recording).
    void FeedReplay(const uint8_t* bytes, int count, int64_t timeUs = 0);
    void EndReplay();

    // The log file writer, e.g. to learn which files it wrote.
    ZLogFileManager& GetLogFileManager() { return *writer_; }

    // Counters of the running (or last) capture.
    uint32_t TrashedBytes = 0;
    uint32_t TotalBytes = 0;
    uint32_t StartTriggerCount = 0;
    uint32_t StartTriggerBytes = 0;
    uint32_t StopTriggerCount = 0;
    uint32_t StopTriggerBytes = 0;
    uint32_t DataPacketCount = 0;
    uint32_t DataPacketBytes = 0;
    // Frames whose checksum was right and wrong (flush blocks are never counted).
    uint32_t ChecksumGood = 0;
    uint32_t ChecksumBad = 0;
    // Sends and the bytes they held, in the running (or last) capture.
    uint32_t SendCount = 0;
    uint32_t SentBytes = 0;
    // Matches of each data trigger, by trigger index, in the running (or last) capture
    // or replay: as many entries as the trigger list the capture started with. Exact
    // even when status messages were dropped; read it only while no capture runs.
    std::vector<uint32_t> DataTriggerCounts;
    // The matches of one data trigger counted so far (0 for an index outside the list);
    // the thread that starts captures may call it while one runs, e.g. to take the base
    // from which a count that the user reset counts again.
    uint32_t DataTriggerMatchesSoFar(int index) const;

protected:
    void ProcessData(const uint8_t* bytes, int count) override;
    void ProcessTimedData(const uint8_t* bytes, int count, TDateTime time, int64_t timeUs) override;
    void SilenceSince(int64_t lastReadUs) override;
    // At the loss the partial frame goes out as the flush block and the filter starts
    // afresh; both changes are shown as status kind 7 (text "" when the port is back).
    void PortStateChanged(bool waiting) override;
    // The Wireshark capture reaches its file within a second even when nothing arrives.
    void PollDone() override;
    // A send is a block of its own (bkSent) for the live view, the log files and the
    // frame export; it never reaches the filter, the data triggers or the received counts.
    void ProcessSent(const uint8_t* bytes, int count, TDateTime time) override;

private:
    void OnFilterBlock(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind);
    // Hands a counted block to the block observers and the Wireshark capture.
    void Observe(const sBlock& block);
    // Counts the bytes of frames without payload that no block took into "Total bytes".
    void CountBytesWithoutBlock();
    void OnDataTrigger(const TDateTime& time, int index);
    void PostStatus(uint8_t kind, double count, double total);
    void ZeroCounters();
    // The silence that ends a frame in capture mode 4 on the port's line; 0 in other modes.
    int64_t SilenceGapMicros();
    void FinishCapture();
    // The raw recording a capture that records with its settings starts with; false
    // with startErrorText_ set when it cannot be made.
    bool CreateRawRecording(std::unique_ptr<ZRawRecorder>& recorder);
    void OnLogFileWritten(const std::string& path);
    // The Wireshark capture a capture that writes one by its settings starts with;
    // false with startErrorText_ set when it cannot be made.
    bool CreatePcapRecording();
    void ClosePcap();

    std::unique_ptr<ZLoggerSettings> settings_;
    std::unique_ptr<ZFilter> filter_;
    std::unique_ptr<ZDataTriggerParser> parser_;
    std::unique_ptr<ZLogFileManager> writer_;
    IZStatusReceiver* statusReceiver_ = nullptr;
    IZEntryReceiver* entryReceiver_ = nullptr;
    std::vector<IZBlockObserver*> blockObservers_;
    std::vector<uint32_t> blockTriggerCounts_;  // matches in the block being distributed
    ZFrameLogGate logGate_;
    bool replaying_ = false;
    std::string startErrorText_;

    std::mutex rawNameLock_;                   // guards rawAwaitingName_ and pcapAwaitingName_
    ZRawRecorder* rawAwaitingName_ = nullptr;  // named after the first log file once it is written
    bool pcapAwaitingName_ = false;            // pcap_ is, likewise
    ZFramePcap pcap_;
};

// The status text of kind 7 while a capture waits for its lost port.
inline constexpr const char* WaitingForPortText = "Waiting for the COM port to come back...";
