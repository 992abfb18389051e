#include "ZCliTermKeys.h"

namespace {

constexpr uint8_t Cr = 0x0D;

bool Command(uint8_t key, ZCliTermCommand& command) {
    switch (key | 0x20) {  // either case
        case 'q':
            command = ZCliTermCommand::Quit;
            return true;
        case 'b':
            command = ZCliTermCommand::Break;
            return true;
        case 'd':
            command = ZCliTermCommand::ToggleDtr;
            return true;
        case 'r':
            command = ZCliTermCommand::ToggleRts;
            return true;
        case 'l':
            command = ZCliTermCommand::Clear;
            return true;
        case 't':
            command = ZCliTermCommand::CycleStamps;
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string_view ZCliTermKeys::HelpText() {
    return "Ctrl+T then: q quit, b send a break, d toggle DTR, r toggle RTS, l clear the screen, "
           "t time stamps (off, s, ms, us), h this help, Ctrl+T send Ctrl+T (14) itself.";
}

void ZCliTermKeys::Feed(const uint8_t* bytes, size_t count, std::vector<ZCliTermStep>& steps) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        if (afterPrefix_) {
            afterPrefix_ = false;
            ZCliTermStep step;
            step.IsCommand = true;
            if (byte == Prefix) {
                Send(std::string_view("\x14", 1), steps);
                continue;
            }
            if (!Command(byte, step.Command)) step.Command = ZCliTermCommand::Help;
            steps.push_back(step);
        } else if (byte == Prefix) {
            afterPrefix_ = true;
        } else {
            Key(byte, steps);
        }
    }
}

void ZCliTermKeys::Key(uint8_t byte, std::vector<ZCliTermStep>& steps) {
    const auto typed = [this, &steps](char32_t character) {
        if (character == Cr)
            Send(ZTermEncodeKey(ZTermKey::Enter, enter_), steps);
        else
            Send(ZTermEncodeText(std::u32string_view(&character, 1), ZTermCharset::Latin1), steps);
    };
    const auto raw = [&steps](uint8_t invalid) {
        Send(std::string_view(reinterpret_cast<const char*>(&invalid), 1), steps);
    };
    if (charset_ == ZTermCharset::Latin1) {
        utf8_.Feed(byte, typed, raw);
    } else if (byte == Cr) {
        typed(Cr);
    } else {
        raw(byte);
    }
}

void ZCliTermKeys::Send(std::string_view bytes, std::vector<ZCliTermStep>& steps) {
    if (steps.empty() || steps.back().IsCommand) steps.emplace_back();
    steps.back().Bytes += bytes;
}
