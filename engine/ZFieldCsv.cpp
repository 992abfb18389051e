#include "ZFieldCsv.h"

#include <string_view>

#include "ZFieldText.h"
#include "ZFieldValues.h"
#include "ZULText.h"

namespace {

constexpr std::string_view LineEnd = "\r\n";

}  // namespace

ZFieldCsv::ZFieldCsv() : file_(ZULFormat(ZUL_TEXT("TextFile", "CSV file"))) {}

bool ZFieldCsv::Create(const std::string& path, const ZFieldList& fields, std::string& errorText) {
    if (!file_.Create(path, errorText)) return false;
    rows_.store(0);
    {
        std::lock_guard guard(failureLock_);
        failure_.clear();
    }
    std::string header = FormatHeader(fields);
    header += LineEnd;
    file_.Append(header);
    return true;
}

std::string ZFieldCsv::FormatHeader(const ZFieldList& fields) {
    std::string header = "time";
    for (const ZFieldDefinition& field : fields.Items) {
        std::string title = field.Name;
        if (!field.Unit.empty()) title.append(" [").append(field.Unit).append("]");
        header += ',';
        ZAppendCsvCell(header, title);
    }
    return header;
}

std::string ZFieldCsv::FormatRow(const sBlock& block) {
    const ZFieldValues* values = block.Values;
    if (block.Kind != bkData || values == nullptr || values->PresentCount() == 0) return {};
    std::string row = ZULFormatIsoMicros(ZULToUnixMicros(block.Time));
    for (int i = 0; i < values->Count(); ++i) {
        row += ',';
        if (values->Has(i)) ZAppendFieldNumber(row, values->Get(i));
    }
    return row;
}

void ZFieldCsv::OnBlock(const sBlock& block) {
    // The logger hands every block to its CSV file, open or not: a row's time is not
    // formatted for nothing.
    if (block.Values == nullptr || !file_.IsOpen()) return;
    std::string row = FormatRow(block);
    if (row.empty()) return;
    row += LineEnd;
    file_.Append(row);
    rows_.fetch_add(1);
}

bool ZFieldCsv::Close(std::string& errorText) {
    if (file_.Close(errorText)) return true;
    std::lock_guard guard(failureLock_);
    failure_ = errorText;
    return false;
}

void ZFieldCsv::Discard() {
    if (rows_.load() == 0) {
        file_.Remove();
        return;
    }
    std::string ignored;
    Close(ignored);
}

std::string ZFieldCsv::Failure() const {
    std::lock_guard guard(failureLock_);
    return failure_;
}
