#include "ZTermAnnouncer.h"

void ZTermAnnouncer::AddLine(const std::u32string& text) {
    if (text.empty()) return;  // nothing to say
    if (!lines_.empty()) ++chars_;
    lines_.push_back(text.size() > MaxChars ? text.substr(text.size() - MaxChars) : text);
    chars_ += lines_.back().size();
    // Old lines go whole: what a listener hears starts at the start of a line.
    while (chars_ > MaxChars && lines_.size() > 1) {
        chars_ -= lines_.front().size() + 1;
        lines_.pop_front();
    }
}

std::u32string ZTermAnnouncer::Take(int64_t nowMs) {
    if (lines_.empty() || nowMs - lastMs_ < IntervalMs) return {};
    lastMs_ = nowMs;
    std::u32string text;
    text.reserve(chars_);
    for (const std::u32string& line : lines_) {
        if (&line != &lines_.front()) text += U'\n';
        text += line;
    }
    Clear();
    return text;
}

void ZTermAnnouncer::Clear() {
    lines_.clear();
    chars_ = 0;
}
