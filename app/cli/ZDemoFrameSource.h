#pragma once
// The frames of the demonstration device, as one readable sensor report each:
//
//   7E A5 <length> "#000042 T=21.5 OK   " ["*"...] 0D 0A <0..3 bytes of noise>
//
// The same stream fits three capture modes, each with its bundled settings file:
// "dynamic" (start trigger 7E A5 ?? whose last byte is the length of the text),
// "between" (start trigger 7E A5, stop trigger 0D 0A: length byte and text are the
// data) and "fixed" (start trigger 7E A5, then 21 bytes: the text never varies in
// length in this mode). Frame n reports "ALARM" instead of "OK   " when n is a
// multiple of 8; texts in the other modes carry n % 4 stars. Noise is printable
// and never holds a trigger byte. Header-only: the benchmarks use it as well.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class ZDemoMode : uint8_t { Dynamic, Between, Fixed };

struct ZDemoModeInfo {
    ZDemoMode Mode;
    const char* Name;          // the value of --mode
    const char* SettingsFile;  // in the samples folder
};

inline constexpr ZDemoModeInfo kDemoModes[] = {
    {ZDemoMode::Dynamic, "dynamic", "demo_dynamic.scs"},
    {ZDemoMode::Between, "between", "demo_between.scs"},
    {ZDemoMode::Fixed, "fixed", "demo_fixed.scs"},
};

class ZDemoFrameSource {
public:
    static constexpr uint8_t kSync0 = 0x7E;
    static constexpr uint8_t kSync1 = 0xA5;
    static constexpr int kBaseTextLength = 20;

    explicit ZDemoFrameSource(ZDemoMode mode, uint32_t seed = 1) : mode_(mode), random_(seed) {}

    // Appends the next frame and the noise that follows it.
    void AppendFrame(std::vector<uint8_t>& out) {
        ++frames_;
        const std::string text = NextText();
        out.push_back(kSync0);
        out.push_back(kSync1);
        out.push_back(static_cast<uint8_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0x0D);
        out.push_back(0x0A);
        for (uint32_t noise = Next() % 4; noise > 0; --noise) {
            // 0x20..0x7D: printable, and neither a sync byte nor CR or LF.
            out.push_back(static_cast<uint8_t>(0x20 + Next() % 0x5E));
        }
    }

    uint64_t FramesMade() const { return frames_; }

private:
    std::string NextText() {
        // A slow random walk between 10.0 and 39.9 degrees, in tenths.
        tenths_ += static_cast<int>(Next() % 7) - 3;
        if (tenths_ < 100) tenths_ = 100;
        if (tenths_ > 399) tenths_ = 399;
        char text[32];
        std::snprintf(text, sizeof text, "#%06u T=%d.%d %s", static_cast<unsigned>(frames_ % 1000000),
                      tenths_ / 10, tenths_ % 10, frames_ % 8 == 0 ? "ALARM" : "OK   ");
        std::string result = text;
        if (mode_ != ZDemoMode::Fixed) result.append(frames_ % 4, '*');
        return result;
    }

    uint32_t Next() {
        random_ = random_ * 1664525u + 1013904223u;
        return random_ >> 16;
    }

    ZDemoMode mode_;
    uint32_t random_;
    uint64_t frames_ = 0;
    int tenths_ = 215;
};
