#include "ZFieldList.h"

#include "ZFieldText.h"
#include "ZULIniFile.h"
#include "ZULText.h"

namespace {

// Appended, not added to a literal: GCC 12 at -O3 takes "_" + temporary for an overlapping copy.
std::string Suffix(size_t index) {
    std::string suffix = "_";
    suffix += std::to_string(index);
    return suffix;
}

// Keys a field needs whatever its type; every other key may be left out.
bool IsRequired(TFieldKey key) {
    return key == fkName || key == fkType;
}

// Keys written even when they hold their default, so that a file shows them.
bool IsAlwaysWritten(TFieldKey key) {
    return key != fkBits && key != fkPrefix && key != fkUnit && key != fkMatch;
}

}  // namespace

void ZFieldList::WriteToIni(ZULIniFile& ini) const {
    const char* section = IniSection;
    ini.EraseSection(section);
    if (Items.empty()) return;
    ini.WriteInteger(section, "Count", static_cast<int32_t>(Items.size()));
    ini.WriteBool(section, "LogFields", LogFields);
    ini.WriteBool(section, "CsvRecording", CsvRecording);
    for (size_t i = 0; i < Items.size(); ++i) {
        const ZFieldDefinition& field = Items[i];
        for (int k = 0; k < FieldKeyCount; ++k) {
            const auto key = static_cast<TFieldKey>(k);
            if (!field.UsesKey(key)) continue;
            const std::string text = field.KeyText(key);
            if (text.empty() && !IsAlwaysWritten(key)) continue;
            ini.WriteString(section, ZFieldDefinition::KeyName(key) + Suffix(i), text);
        }
    }
}

void ZFieldList::ReadFromIni(const ZULIniFile& ini) {
    std::string ignored;
    if (!Parse(ini, *this, ignored)) *this = ZFieldList();
}

bool ZFieldList::CheckIni(const ZULIniFile& ini, std::string& reason) {
    ZFieldList list;
    return Parse(ini, list, reason);
}

bool ZFieldList::Parse(const ZULIniFile& ini, ZFieldList& list, std::string& reason) {
    const char* section = IniSection;
    list = ZFieldList();
    if (!ini.SectionExists(section)) return true;
    const std::string countText = ini.ReadString(section, "Count", "0");
    int64_t count = 0;
    if (!ZParseFieldWhole(countText, count) || count < 0 || count > static_cast<int64_t>(MaxFields)) {
        reason =
            ZULFormat(ZUL_TEXT("Fields", "Count \"%1\" is no number of fields: a whole number from 0 to %2"),
                      {countText, std::to_string(MaxFields)});
        return false;
    }
    // The switches are written only with fields: without any they are at their defaults.
    if (count == 0) return true;
    list.LogFields = ini.ReadBool(section, "LogFields", list.LogFields);
    list.CsvRecording = ini.ReadBool(section, "CsvRecording", list.CsvRecording);
    for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
        ZFieldDefinition field;
        // Name and Type come first: the type decides which other keys are read.
        for (int k = 0; k < FieldKeyCount; ++k) {
            const auto key = static_cast<TFieldKey>(k);
            const std::string keyName = ZFieldDefinition::KeyName(key) + Suffix(i);
            if (!ini.ValueExists(section, keyName)) {
                if (!IsRequired(key)) continue;
                reason = ZULFormat(ZUL_TEXT("Fields", "%1 is missing: every field needs a name and a type"),
                                   {keyName});
                return false;
            }
            // Bits on a type without them is refused by Check rather than ignored: the
            // user meant a slice that will never be taken.
            if (!field.UsesKey(key) && key != fkBits) continue;
            if (!field.SetKeyText(key, ini.ReadString(section, keyName, ""), keyName, reason)) return false;
        }
        list.Items.push_back(std::move(field));
    }
    return list.Check(reason);
}

bool ZFieldList::Check(std::string& reason) const {
    if (Items.size() > MaxFields) {
        reason = ZULFormat(ZUL_TEXT("Fields", "%1 fields are more than the %2 a settings file may define"),
                           {std::to_string(Items.size()), std::to_string(MaxFields)});
        return false;
    }
    for (size_t i = 0; i < Items.size(); ++i) {
        const ZFieldDefinition& field = Items[i];
        if (field.Name.empty()) {
            reason = ZULFormat(ZUL_TEXT("Fields", "Name%1 is empty: every field needs a name"), {Suffix(i)});
            return false;
        }
        if (!field.Check(Suffix(i), reason)) return false;
        for (size_t earlier = 0; earlier < i; ++earlier) {
            if (Items[earlier].Name != field.Name) continue;
            reason = ZULFormat(
                ZUL_TEXT("Fields",
                         "Name%1 \"%2\" is the name of field %3 too: every field needs a name of its own"),
                {Suffix(i), field.Name, std::to_string(earlier)});
            return false;
        }
    }
    return true;
}
