#pragma once
// The ordered list of data triggers (byte patterns counted inside data blocks),
// and the parser that reports every occurrence of each pattern in a data block.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TriggerSequence.h"
#include "ZULDateTime.h"

class ZULIniFile;

class ZDataTriggers {
public:
    static constexpr const char* IniSection = "_data_triggers";

    // Appends a copy of count values as the last trigger (count 0: an empty trigger).
    void Add(const int32_t* values, int count);
    void Add(const TTriggerSequence& values) { Add(values.data(), static_cast<int>(values.size())); }
    // False for an index out of range.
    bool Delete(int index);
    // Copies the trigger's values into dest; false for an index out of range.
    bool Get(int index, TTriggerSequence& dest) const;
    int GetCount() const { return static_cast<int>(triggers_.size()); }
    // Removes all own triggers and copies the other's in order; self-assignment changes nothing.
    void Assign(const ZDataTriggers& other);
    void Clear();

    // Erases the section "_data_triggers", then writes "_trigger_<i>" for every trigger.
    void SaveToIni(ZULIniFile& ini) const;
    // Replaces all triggers by those of the section, up to the first missing index.
    void LoadFromIni(const ZULIniFile& ini);

    bool operator==(const ZDataTriggers& other) const = default;

protected:
    std::vector<TTriggerSequence> triggers_;
};

class ZDataTriggerParser : public ZDataTriggers {
public:
    // Called once per match: (time of the scan, index of the trigger).
    using Callback = std::function<void(const TDateTime& time, int index)>;

    ZDataTriggerParser(const ZDataTriggers& triggers, Callback callback);
    // Takes over a copy of the given list (only while no capture runs).
    void SetTriggers(const ZDataTriggers& triggers) { Assign(triggers); }
    // Reports every occurrence (overlapping ones included) of every trigger in one
    // data field: all of trigger 0 first, each trigger's in ascending position.
    // Empty triggers are never reported.
    void Scan(const uint8_t* data, int length);

private:
    Callback callback_;
};
