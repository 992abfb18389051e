#include "ZFieldLayout.h"

#include <algorithm>

#include "ZFieldText.h"

ZFieldLayout::ZFieldLayout(std::vector<std::string> names, std::vector<std::string> units)
    : names_(std::move(names)), units_(std::move(units)) {
    units_.resize(names_.size());
    jsonNames_.resize(names_.size());
    byName_.reserve(names_.size());
    for (size_t i = 0; i < names_.size(); ++i) {
        ZAppendJsonString(jsonNames_[i], names_[i]);
        byName_.emplace_back(names_[i], static_cast<int>(i));
    }
    // The first of equal names wins (a checked list has none).
    std::stable_sort(byName_.begin(), byName_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

int ZFieldLayout::IndexOf(std::string_view name) const {
    const auto found =
        std::lower_bound(byName_.begin(), byName_.end(), name,
                         [](const auto& entry, std::string_view key) { return entry.first < key; });
    return found != byName_.end() && found->first == name ? found->second : -1;
}
