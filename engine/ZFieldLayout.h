#pragma once
// The names and units of a field list, in field order, shared by the values of every
// block decoded with it, and the index of each name. Made once; const afterwards, so
// any number of threads may read it.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ZFieldLayout {
public:
    ZFieldLayout(std::vector<std::string> names, std::vector<std::string> units);
    // The name index points into the names: a layout stays where it was made.
    ZFieldLayout(const ZFieldLayout&) = delete;
    ZFieldLayout& operator=(const ZFieldLayout&) = delete;

    int Count() const { return static_cast<int>(names_.size()); }
    const std::string& Name(int index) const { return names_[static_cast<size_t>(index)]; }
    const std::string& Unit(int index) const { return units_[static_cast<size_t>(index)]; }
    // The name as a JSON string, quotes included, made once.
    const std::string& JsonName(int index) const { return jsonNames_[static_cast<size_t>(index)]; }
    // The index of the field of that name; -1 when there is none.
    int IndexOf(std::string_view name) const;

private:
    std::vector<std::string> names_;
    std::vector<std::string> units_;
    std::vector<std::string> jsonNames_;
    std::vector<std::pair<std::string_view, int>> byName_;  // sorted; views into names_
};
