// Field definitions typed key by key (as the settings file or the window gives them)
// and a data block to read them from. Whatever the texts and the bytes, a refused text
// leaves the field as it was, decoding and trying agree, every value present is
// finite, a field that the list check refuses is never present, and the outputs of
// the values can be written. A decimal number is read as strtod reads it in the C locale.

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ZBlock.h"
#include "ZFieldCsv.h"
#include "ZFieldDecoder.h"
#include "ZFieldText.h"

namespace {

constexpr int MaxFields = 4;
constexpr size_t MaxKeyText = 24;

std::string TakeText(TFuzzInput& input) {
    size_t taken = 0;
    const uint8_t* at = input.Take(input.Byte() % (MaxKeyText + 1), taken);
    return std::string(reinterpret_cast<const char*>(at), taken);
}

ZFieldDefinition TakeField(TFuzzInput& input, int index) {
    ZFieldDefinition field;
    field.Name = "f" + std::to_string(index);
    for (int keys = input.Byte() % 8; keys > 0; --keys) {
        const auto key = static_cast<TFieldKey>(input.Byte() % FieldKeyCount);
        const std::string text = TakeText(input);
        const ZFieldDefinition before = field;
        std::string reason;
        if (!field.SetKeyText(key, text, ZFieldDefinition::KeyName(key), reason)) {
            Require(field == before, "a refused text leaves the field as it was");
            Require(!reason.empty(), "a refused text says why");
        }
    }
    return field;
}

// Whatever ZParseFieldDecimal takes, strtod takes whole and reads as the same double.
void CheckDecimal(const uint8_t* bytes, size_t length) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string text(reinterpret_cast<const char*>(bytes), length);
    double parsed = 0;
    if (!ZParseFieldDecimal(text, parsed)) return;
    char* end = nullptr;
    const double expected = strtod_l(text.c_str(), &end, cLocale);
    Require(end == text.c_str() + text.size(), "strtod reads all of a decimal number");
    Require(parsed == expected && std::signbit(parsed) == std::signbit(expected),
            "a decimal number reads as strtod reads it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    ZFieldList list;
    const int count = 1 + input.Byte() % MaxFields;
    for (int i = 0; i < count; ++i) list.Items.push_back(TakeField(input, i));
    std::vector<bool> readable;
    for (const ZFieldDefinition& field : list.Items) {
        std::string reason;
        readable.push_back(field.Check("", reason));
    }

    size_t length = 0;
    const uint8_t* block = input.Take(input.Left(), length);
    const ZFieldDecoder decoder(list);
    ZFieldValues values = decoder.MakeValues();
    decoder.Decode(block, static_cast<int>(length), values);
    const std::vector<ZFieldTry> tried = decoder.Try(block, static_cast<int>(length));
    Require(tried.size() == list.Items.size(), "Try answers for every field");
    for (int i = 0; i < values.Count(); ++i) {
        const auto at = static_cast<size_t>(i);
        Require(values.Has(i) == tried[at].Present, "decoding and trying agree on presence");
        Require(!values.Has(i) || readable[at], "a refused field is never present");
        Require(!values.Has(i) || std::isfinite(values.Get(i)), "a value present is finite");
        Require(!values.Has(i) || values.Get(i) == tried[at].Value, "decoding and trying agree on the value");
        Require(values.Has(i) || !tried[at].Why.empty(), "an absent field says why");
    }

    CheckDecimal(block, length);
    sBlock decoded{0, block, static_cast<int>(length), bkData};
    decoded.Values = &values;
    std::string text;
    ZAppendFieldValues(text, values, '=');
    ZAppendFieldsJson(text, values);
    text += ZFieldCsv::FormatHeader(list);
    text += ZFieldCsv::FormatRow(decoded);
    return 0;
}
