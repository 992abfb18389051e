#include "ZDataTriggers.h"

#include <utility>

#include "ZULIniFile.h"

namespace {

constexpr int DigitsPerValue = 8;
constexpr char HexDigits[] = "0123456789ABCDEF";

std::string KeyOf(int index) {
    return "_trigger_" + std::to_string(index);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Eight hex digits as the 32-bit two's complement value they spell (FFFFFFFF is -1);
// anything else, even a sign or a blank, gives 0.
int32_t ParseValue(const char* group) {
    uint32_t value = 0;
    for (int i = 0; i < DigitsPerValue; ++i) {
        const int digit = HexDigitValue(group[i]);
        if (digit < 0) return 0;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value);
}

std::string FormatValues(const TTriggerSequence& values) {
    std::string text(values.size() * DigitsPerValue, '0');
    for (size_t i = 0; i < values.size(); ++i) {
        auto value = static_cast<uint32_t>(values[i]);
        for (int digit = DigitsPerValue - 1; digit >= 0; --digit) {
            text[i * DigitsPerValue + static_cast<size_t>(digit)] = HexDigits[value & 0x0F];
            value >>= 4;
        }
    }
    return text;
}

TTriggerSequence ParseValues(const std::string& text) {
    TTriggerSequence values(text.size() / DigitsPerValue);
    for (size_t i = 0; i < values.size(); ++i) values[i] = ParseValue(text.data() + i * DigitsPerValue);
    return values;
}

}  // namespace

void ZDataTriggers::Add(const int32_t* values, int count) {
    triggers_.emplace_back(values, values + (count > 0 ? count : 0));
}

bool ZDataTriggers::Delete(int index) {
    if (index < 0 || index >= GetCount()) return false;
    triggers_.erase(triggers_.begin() + index);
    return true;
}

bool ZDataTriggers::Get(int index, TTriggerSequence& dest) const {
    if (index < 0 || index >= GetCount()) return false;
    dest = triggers_[static_cast<size_t>(index)];
    return true;
}

void ZDataTriggers::Assign(const ZDataTriggers& other) {
    if (this == &other) return;
    triggers_ = other.triggers_;
}

void ZDataTriggers::Clear() {
    triggers_.clear();
}

void ZDataTriggers::SaveToIni(ZULIniFile& ini) const {
    ini.EraseSection(IniSection);
    for (int i = 0; i < GetCount(); ++i)
        ini.WriteString(IniSection, KeyOf(i), FormatValues(triggers_[static_cast<size_t>(i)]));
}

void ZDataTriggers::LoadFromIni(const ZULIniFile& ini) {
    Clear();
    for (int i = 0; ini.ValueExists(IniSection, KeyOf(i)); ++i)
        triggers_.push_back(ParseValues(ini.ReadString(IniSection, KeyOf(i), "00000000")));
}

ZDataTriggerParser::ZDataTriggerParser(const ZDataTriggers& triggers, Callback callback)
    : callback_(std::move(callback)) {
    Assign(triggers);
}

void ZDataTriggerParser::Scan(const uint8_t* data, int length) {
    if (triggers_.empty() || length <= 0) return;
    const TDateTime now = ZULNow();
    for (size_t index = 0; index < triggers_.size(); ++index) {
        const TTriggerSequence& trigger = triggers_[index];
        // An empty trigger would "occur" at every offset; it counts nothing and is skipped.
        if (trigger.empty()) continue;
        const auto size = static_cast<int>(trigger.size());
        int start = 0;
        while (length - start >= size) {
            const int found = FindTrigger(data + start, length - start, trigger.data(), size);
            if (found < 0) break;
            if (callback_) callback_(now, static_cast<int>(index));
            start += found + 1;
        }
    }
}
