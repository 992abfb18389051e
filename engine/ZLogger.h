#pragma once
// The capture engine as the windows see it: a ZSerialCapture that owns its copy
// of the settings, the frame filter, the data trigger parser and the log file
// writer, distributes every filter block to them and to the windows (with the values
// of the settings' fields, decoded once per data block), keeps the counters, and
// loads and saves settings files.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ZDataTriggers.h"
#include "ZFieldCsv.h"
#include "ZFieldDecoder.h"
#include "ZFieldValues.h"
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
    // Receivers of every byte received and sent, in the order of the line, called on
    // the data thread before the bytes reach the frame filter or the log files. Add and
    // remove them only while no capture or replay runs; an observer must outlive its
    // membership.
    void AddByteObserver(IZByteObserver* observer);
    void RemoveByteObserver(IZByteObserver* observer);
    // Whether the next captures write log files (they do at first). Without them the
    // log folder is neither checked nor needed; the frame export, the Wireshark capture
    // and a raw recording handed over by SetRawRecorder are written as before. Only
    // while no capture or replay runs.
    void SetWriteLogFiles(bool write);
    // Writes an information for the user into the log files of the running capture or
    // replay, in order with its blocks (nothing when no log files are written). Any thread.
    void LogInformation(std::string_view text);

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
    // The CSV file of the field values: the one created on it before StartCapture or
    // BeginReplay (e.g. by the command line), else, with the fields' CsvRecording set,
    // a new file beside the log files named like the raw recording, "<first log file's
    // name>.csv". The stop steps close it. Create it only while no capture runs.
    ZFieldCsv& GetFieldCsv() { return csv_; }
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

    // Offline replay of recorded bytes (of two lines when the settings have a second line) through the same path a received chunk takes:
    // BeginReplay does what a capture start does without opening the port, FeedReplay
    // posts chunks without dropping any, EndReplay does the stop steps.
    void BeginReplay();
    // timeUs, when not 0, is the recorded time of the read (a timed recording).
    void FeedReplay(const uint8_t* bytes, int count, int64_t timeUs = 0, int line = 0);
    // Bytes a timed recording holds as sent at timeUs: a sent block again, which the
    // frame filter never sees.
    void FeedReplaySent(const uint8_t* bytes, int count, int64_t timeUs);
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

    // The counters of one line of a capture of two lines (the totals above sum them);
    // the first line's equal the totals with one line. Read them only while no capture runs.
    struct sLineCounters {
        uint32_t TotalBytes = 0;
        uint32_t TrashedBytes = 0;
        uint32_t StartTriggerCount = 0;
        uint32_t StopTriggerCount = 0;
        uint32_t DataPacketCount = 0;
        uint32_t DataPacketBytes = 0;
        uint32_t ChecksumGood = 0;
        uint32_t ChecksumBad = 0;
    };
    sLineCounters LineCounters[MaxLines];
    // Whether the running (or last) capture or replay reads two lines, and their names
    // as it started with them.
    bool CapturesTwoLines() const { return twoLines_; }
    const std::string& CapturedLineName(int line) const { return lineNames_[LineIndex(line)]; }

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
    void OnFilterBlock(int line, const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind);
    // The line's name for the blocks, with two lines; with one, none.
    void MarkLine(sBlock& block, int line) const;
    // What a capture or replay start does to the filters and the line names.
    void PrepareLines();
    // Hands a counted block to the block observers and the Wireshark capture.
    void Observe(const sBlock& block);
    void ObserveBytes(const uint8_t* bytes, int count, bool sent);
    void FeedFilter(const uint8_t* bytes, int count, TDateTime time, int64_t timeUs);
    void LogBlock(const sBlock& block, bool checksumWrong);
    // Counts the bytes of frames without payload that no block took into "Total bytes".
    void CountBytesWithoutBlock(int line);
    void OnDataTrigger(const TDateTime& time, int index);
    void PostStatus(uint8_t kind, double count, double total);
    void ZeroCounters();
    // The silence that ends a frame in capture mode 4 on the port's line; 0 in other modes.
    int64_t SilenceGapMicros(int line);
    void FinishCapture();
    // The raw recording a capture that records with its settings starts with; false
    // with startErrorText_ set when it cannot be made.
    bool CreateRawRecording(std::unique_ptr<ZRawRecorder>& recorder);
    void OnLogFileWritten(const std::string& path);
    bool CreateTimedRecording(ZRawRecorder& recorder, const std::string& path);
    // The Wireshark capture a capture that writes one by its settings starts with;
    // false with startErrorText_ set when it cannot be made.
    bool CreatePcapRecording();
    void ClosePcap();
    // The CSV file a capture that writes one by its settings starts with; false with
    // startErrorText_ set when it cannot be made.
    bool CreateCsvRecording();
    void CloseCsv();
    // Removes the CSV file this start made (a start that failed).
    void AbandonCsv();
    // The decoder and the values of the settings' fields; while no capture runs.
    void PrepareFields();

    std::unique_ptr<ZLoggerSettings> settings_;
    std::unique_ptr<ZFilter> filters_[MaxLines];  // one per line: a frame never mixes lines
    bool twoLines_ = false;                        // set only while no capture or replay runs
    std::string lineNames_[MaxLines];              // likewise
    std::unique_ptr<ZDataTriggerParser> parser_;
    std::unique_ptr<ZLogFileManager> writer_;
    IZStatusReceiver* statusReceiver_ = nullptr;
    IZEntryReceiver* entryReceiver_ = nullptr;
    std::vector<IZBlockObserver*> blockObservers_;
    std::vector<IZByteObserver*> byteObservers_;
    // Set only while no capture runs; read on the data thread and by LogInformation.
    std::atomic<bool> writeLogFiles_{true};
    std::vector<uint32_t> blockTriggerCounts_;  // matches in the block being distributed
    ZFrameLogGate logGate_;
    bool replaying_ = false;
    std::string startErrorText_;

    std::mutex rawNameLock_;  // guards rawAwaitingName_, pcapAwaitingName_ and csvAwaitingName_
    ZRawRecorder* rawAwaitingName_ = nullptr;  // named after the first log file once it is written
    bool pcapAwaitingName_ = false;            // pcap_ is, likewise
    bool csvAwaitingName_ = false;             // and csv_
    ZFramePcap pcap_;

    // Made from the settings' fields whenever the settings are set; the values are
    // those of the data block being distributed.
    ZFieldDecoder decoder_;
    ZFieldValues values_;
    ZFieldCsv csv_;
};

// The status text of kind 7 while a capture waits for its lost port.
inline constexpr const char* WaitingForPortText = "Waiting for the COM port to come back...";
