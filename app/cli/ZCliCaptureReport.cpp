#include "ZCliCaptureReport.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "ZFieldText.h"
#include "ZFilter.h"

namespace {

using Json = nlohmann::ordered_json;

// nlohmann writes a whole double as 42.0 and 1e15 as 1000000000000000.0; every
// number it writes with a point or an exponent is a double, written here as
// std::to_chars writes it. Strings are copied as they are.
std::string WithShortestDoubles(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    for (size_t at = 0; at < json.size();) {
        const char c = json[at];
        size_t end = at + 1;
        if (c == '"') {
            while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, json.size());
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const std::string_view numberCharacters = "+-0123456789.eE";
            while (end < json.size() && numberCharacters.find(json[end]) != std::string_view::npos) ++end;
            const std::string_view number(json.data() + at, end - at);
            double value = 0;
            const auto read = std::from_chars(number.data(), number.data() + number.size(), value);
            if (number.find_first_of(".eE") != std::string_view::npos && read.ec == std::errc() &&
                read.ptr == number.data() + number.size()) {
                ZAppendFieldNumber(out, value);
                at = end;
                continue;
            }
        }
        out.append(json, at, end - at);
        at = end;
    }
    return out;
}

Json NumberOrNull(bool present, double value) {
    return present ? Json(value) : Json(nullptr);
}

Json FieldsJson(const std::vector<ZFieldSummary>& fields) {
    Json json = Json::object();
    for (const ZFieldSummary& field : fields) {
        const bool seen = field.Count > 0;
        Json entry;
        entry["count"] = field.Count;
        entry["min"] = NumberOrNull(seen, field.Min);
        entry["max"] = NumberOrNull(seen, field.Max);
        entry["mean"] = NumberOrNull(seen, field.Mean);
        entry["last"] = NumberOrNull(seen, field.Last);
        json[field.Name] = std::move(entry);
    }
    return json;
}

Json LinesJson(const std::vector<ZCliLineReport>& lines, bool checksumActive) {
    Json json = Json::array();
    for (const ZCliLineReport& line : lines) {
        Json entry;
        entry["name"] = line.Name;
        entry["total_bytes"] = line.TotalBytes;
        entry["trashed_bytes"] = line.TrashedBytes;
        entry["start_triggers"] = line.StartTriggers;
        entry["stop_triggers"] = line.StopTriggers;
        entry["data_packets"] = line.DataPackets;
        entry["data_packet_bytes"] = line.DataPacketBytes;
        if (checksumActive) {
            entry["checksum"]["good"] = line.ChecksumGood;
            entry["checksum"]["bad"] = line.ChecksumBad;
        }
        json.push_back(std::move(entry));
    }
    return json;
}

void PrintLine(std::ostream& out, const ZCliLineReport& line, bool checksumActive) {
    out << "Line " << line.Name << ": " << line.TotalBytes << " bytes, " << line.DataPackets
        << " data packets (" << line.DataPacketBytes << " bytes), " << line.TrashedBytes << " trashed, "
        << line.StartTriggers << " start triggers, " << line.StopTriggers << " stop triggers";
    if (checksumActive) out << ", checksums " << line.ChecksumGood << " good, " << line.ChecksumBad << " bad";
    out << '\n';
}

void PrintField(std::ostream& out, const ZFieldSummary& field) {
    out << "Field " << field.Name;
    if (!field.Unit.empty()) out << " [" << field.Unit << "]";
    if (field.Count == 0) {
        out << ": no values\n";
        return;
    }
    out << ": " << field.Count << (field.Count == 1 ? " value" : " values") << ", min "
        << ZFieldNumberText(field.Min) << ", max " << ZFieldNumberText(field.Max) << ", mean "
        << ZFieldNumberText(field.Mean) << ", last " << ZFieldNumberText(field.Last) << '\n';
}

}  // namespace

std::string ZCliBaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ZCliJsonText(const nlohmann::ordered_json& value) {
    return WithShortestDoubles(value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
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
    // Reports of settings without fields keep their form.
    if (!Fields.empty()) json["fields"] = FieldsJson(Fields);
    // Reports of one line keep their form.
    if (!Lines.empty()) json["lines"] = LinesJson(Lines, ChecksumActive);
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
    for (const ZCliLineReport& line : Lines) PrintLine(out, line, ChecksumActive);
    for (const ZFieldSummary& field : Fields) PrintField(out, field);
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
