#include "ZULText.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex usedLock;                // guards used
std::vector<ZULTextTemplate> used;  // in the order first filled

void Remember(const ZULTextTemplate& text) {
    const std::lock_guard<std::mutex> hold(usedLock);
    const auto same = [&text](const ZULTextTemplate& known) {
        return std::string_view(known.Source) == text.Source &&
               std::string_view(known.Context) == text.Context;
    };
    if (std::none_of(used.begin(), used.end(), same)) used.push_back(text);
}

}  // namespace

std::string ZULFormat(const ZULTextTemplate& text, std::initializer_list<std::string_view> args) {
    Remember(text);
    std::string out;
    const std::string_view source(text.Source);
    for (size_t at = 0; at < source.size(); ++at) {
        const char c = source[at];
        const size_t index = at + 1 < source.size() ? static_cast<size_t>(source[at + 1] - '1') : args.size();
        if (c == '%' && index < args.size() && index < 9) {
            out.append(args.begin()[index]);
            ++at;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<ZULTextTemplate> ZULUsedTextTemplates() {
    const std::lock_guard<std::mutex> hold(usedLock);
    return used;
}
