#include "ZFieldValues.h"

#include <algorithm>

ZFieldValues::ZFieldValues(std::shared_ptr<const ZFieldLayout> layout)
    : layout_(std::move(layout)), values_(static_cast<size_t>(layout_ ? layout_->Count() : 0), Absent) {}

double ZFieldValues::Find(std::string_view name) const {
    const int index = IndexOf(name);
    return index < 0 ? Absent : values_[static_cast<size_t>(index)];
}

void ZFieldValues::Clear() {
    std::fill(values_.begin(), values_.end(), Absent);
    present_ = 0;
}
