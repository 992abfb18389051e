#pragma once
// What a screen reader is told of the terminal's new lines: politely, at most once
// every IntervalMs, the text of the lines finished since the last announcement; of
// more than MaxChars characters only the newest MaxChars, cut at a line's start where
// one lies within them. The caller hands in the time, so that nothing here waits or
// reads a clock. One thread at a time (the window's).

#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

class ZTermAnnouncer {
public:
    static constexpr int64_t IntervalMs = 500;
    static constexpr size_t MaxChars = 400;

    // A line the terminal finished; an empty one adds nothing.
    void AddLine(const std::u32string& text);
    // The text to announce at nowMs, lines separated by '\n'; empty when nothing new
    // came or the last announcement was less than IntervalMs before.
    std::u32string Take(int64_t nowMs);
    // Forgets the lines not yet announced.
    void Clear();

private:
    std::deque<std::u32string> lines_;  // oldest first, at most MaxChars characters in all
    size_t chars_ = 0;                  // of lines_, with a separator after each but the last
    int64_t lastMs_ = INT64_MIN / 2;    // of the last announcement
};
