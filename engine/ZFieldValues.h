#pragma once
// The values decoded from one data block: one slot per defined field, read by index
// or by name. A field that is absent from the block has no value (Has is false).
// The names and units come from the field list the values were decoded with and are
// shared, not copied, by every block's values; copying values (to keep them past the
// call that handed them on) copies the numbers only. Not thread-safe: a copy per thread.

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ZFieldLayout.h"

class ZFieldValues {
public:
    // Values of no field.
    ZFieldValues() = default;
    // Every field of layout, none of them present.
    explicit ZFieldValues(std::shared_ptr<const ZFieldLayout> layout);

    // The number of defined fields (present or not).
    int Count() const { return static_cast<int>(values_.size()); }
    // Whether field index has a value in this block.
    bool Has(int index) const { return !std::isnan(values_[static_cast<size_t>(index)]); }
    // The value of field index; NaN when it is absent (a value present is always finite).
    double Get(int index) const { return values_[static_cast<size_t>(index)]; }
    // How many fields have a value.
    int PresentCount() const { return present_; }
    const std::string& Name(int index) const { return layout_->Name(index); }
    const std::string& Unit(int index) const { return layout_->Unit(index); }
    const std::string& JsonName(int index) const { return layout_->JsonName(index); }
    // The index of the field of that name; -1 when no field has it.
    int IndexOf(std::string_view name) const { return layout_ ? layout_->IndexOf(name) : -1; }
    // The value of the field of that name; NaN when there is no such field or it is absent.
    double Find(std::string_view name) const;

    // For the decoder: every field absent, then the values of those present.
    void Clear();
    void Set(int index, double value) {
        values_[static_cast<size_t>(index)] = value;
        ++present_;
    }
    // For a decoder that writes every slot of a block, NaN where a field is absent,
    // then how many it found.
    double* Slots() { return values_.data(); }
    void SetPresentCount(int present) { present_ = present; }

private:
    static constexpr double Absent = std::numeric_limits<double>::quiet_NaN();

    std::shared_ptr<const ZFieldLayout> layout_;
    std::vector<double> values_;
    int present_ = 0;
};
