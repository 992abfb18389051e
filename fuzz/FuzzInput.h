#pragma once
// What every fuzz target shares: reading settings and sizes off the front of the
// input, and stopping the run when a promise of the code under test is broken.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Takes values off the front of the fuzzer's input; past its end every value is 0,
// so any input, however short, drives a whole run.
class TFuzzInput {
public:
    TFuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }
    int16_t Int16() {
        const auto high = Byte();
        return static_cast<int16_t>((high << 8) | Byte());
    }
    int32_t Int32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
        return static_cast<int32_t>(value);
    }
    bool Flag() { return (Byte() & 1) != 0; }
    // Up to count bytes (fewer when the input runs out), as a pointer into the input.
    const uint8_t* Take(size_t count, size_t& taken) {
        taken = count < size_ - used_ ? count : size_ - used_;
        const uint8_t* at = data_ + used_;
        used_ += taken;
        return at;
    }
    size_t Left() const { return size_ - used_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

// A broken promise: said on stderr, then abort(), which the fuzzer records as a crash.
inline void Require(bool holds, const char* promise) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}
