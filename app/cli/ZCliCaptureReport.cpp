#include "ZCliCaptureReport.h"

#include "ZFilter.h"

std::string ZCliBaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ZCliJsonText(const nlohmann::ordered_json& value) {
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

nlohmann::ordered_json ZCliCaptureReport::ToJson() const {
    nlohmann::ordered_json json;
    json["total_bytes"] = Counters.TotalBytes;
    json["trashed_bytes"] = Counters.TrashedBytes;
    json["start_triggers"] = Counters.StartTriggers;
    json["start_trigger_bytes"] = Counters.StartTriggerBytes;
    json["stop_triggers"] = Counters.StopTriggers;
    json["stop_trigger_bytes"] = Counters.StopTriggerBytes;
    json["data_packets"] = Counters.DataPackets;
    json["data_packet_bytes"] = Counters.DataPacketBytes;
    json["data_trigger_counts"] = Counters.DataTriggerCounts;
    // Reports of settings without a checksum keep their form.
    if (ChecksumActive) {
        json["checksum"]["good"] = Counters.ChecksumGood;
        json["checksum"]["bad"] = Counters.ChecksumBad;
    }
    if (ShowSent) {
        json["bytes_sent"] = Counters.BytesSent;
        json["sends"] = Counters.Sends;
        json["sends_skipped"] = SkippedSends;
    }
    // Only a run that lost data says so: other reports keep their form.
    if (const size_t overflows = BufferOverflows(); overflows > 0) json["buffer_overflows"] = overflows;
    json["errors"] = nlohmann::ordered_json::array();
    for (const TZULError& error : Errors) {
        nlohmann::ordered_json entry;
        entry["module"] = error.Module;
        entry["function"] = error.Function;
        entry["error"] = error.Error;
        json["errors"].push_back(entry);
    }
    json["log_files"] = nlohmann::ordered_json::array();
    for (const std::string& file : LogFiles) json["log_files"].push_back(ZCliBaseName(file));
    return json;
}

void ZCliCaptureReport::PrintJson(std::ostream& out) const {
    out << ZCliJsonText(ToJson()) << '\n';
}

void ZCliCaptureReport::PrintSummary(std::ostream& out) const {
    const ZCliCounters& c = Counters;
    out << "Total bytes:     " << c.TotalBytes << '\n'
        << "Trashed bytes:   " << c.TrashedBytes << '\n'
        << "Start triggers:  " << c.StartTriggers << " (" << c.StartTriggerBytes << " bytes)\n"
        << "Stop triggers:   " << c.StopTriggers << " (" << c.StopTriggerBytes << " bytes)\n"
        << "Data packets:    " << c.DataPackets << " (" << c.DataPacketBytes << " bytes)\n";
    for (size_t i = 0; i < c.DataTriggerCounts.size(); ++i) {
        out << "Data trigger " << i << ":  " << c.DataTriggerCounts[i] << " matches\n";
    }
    if (ChecksumActive)
        out << "Checksums:       " << c.ChecksumGood << " good, " << c.ChecksumBad << " bad\n";
    if (ShowSent)
        out << "Bytes sent:      " << c.BytesSent << " (" << c.Sends << " sends, skipped: " << SkippedSends
            << ")\n";
    if (const size_t overflows = BufferOverflows(); overflows > 0) {
        out << "Buffer overflows: " << overflows << " (data lost: a frame longer than "
            << ZFilter::FilterBufferSize << " bytes cannot be parsed)\n";
    }
    if (Errors.empty()) {
        out << "Errors:          none\n";
    } else {
        out << "Errors:          " << Errors.size() << '\n';
        for (const TZULError& error : Errors) {
            out << "  " << error.Module << ", " << error.Function << ": " << error.Error << '\n';
        }
    }
    if (LogFiles.empty()) {
        out << "Log files:       none written\n";
        return;
    }
    out << "Log files:       " << LogFiles.size() << " in " << LogDir << '\n';
    for (const std::string& file : LogFiles) out << "  " << ZCliBaseName(file) << '\n';
}

size_t ZCliCaptureReport::BufferOverflows() const {
    size_t count = 0;
    for (const TZULError& error : Errors) {
        if (error.Module == "Filter" && error.Function == "FeedData") ++count;
    }
    return count;
}

bool ZCliCaptureReport::CheckLogFiles(std::ostream& err) const {
    if (LogFilesFailed == 0) return true;
    err << LogFilesFailed << (LogFilesFailed == 1 ? " log file" : " log files")
        << " could not be written into \"" << LogDir << "\"; their lines are lost.\n";
    return false;
}
