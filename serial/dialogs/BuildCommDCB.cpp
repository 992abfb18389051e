#include "BuildCommDCB.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

// A cursor over the text; every parse step either advances it and succeeds or fails.
class TModeText {
public:
    explicit TModeText(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    void SkipSpaces() {
        while (Peek() == ' ') ++pos_;
    }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }
    // Takes prefix when the text continues with it, in any case.
    bool TakeWord(std::string_view prefix) {
        if (text_.size() - pos_ < prefix.size()) return false;
        for (size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(text_[pos_ + i])) != prefix[i]) return false;
        pos_ += prefix.size();
        return true;
    }
    bool Contains(char c) const { return text_.find(c, pos_) != std::string_view::npos; }

    std::optional<uint32_t> Number() {
        if (!std::isdigit(static_cast<unsigned char>(Peek()))) return std::nullopt;
        uint64_t value = 0;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) {
            // Saturate rather than wrap: an absurd rate must not become a plausible one.
            value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(Peek() - '0'), UINT32_MAX);
            ++pos_;
        }
        return static_cast<uint32_t>(value);
    }
    // N, O, E, M, S in the order of the parity codes.
    std::optional<uint8_t> Parity() {
        constexpr std::string_view letters = "NOEMS";
        const size_t code = letters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(Peek()))));
        if (code == std::string_view::npos) return std::nullopt;
        ++pos_;
        return static_cast<uint8_t>(code);
    }
    std::optional<uint8_t> ByteSize() {
        const auto bits = Number();
        if (!bits || *bits < 5 || *bits > 8) return std::nullopt;
        return static_cast<uint8_t>(*bits);
    }
    std::optional<uint8_t> StopBits() {
        if (TakeWord("1.5")) return DCB::ONE5STOPBITS;
        if (Take('1')) return DCB::ONESTOPBIT;
        if (Take('2')) return DCB::TWOSTOPBITS;
        return std::nullopt;
    }
    // "on", "off", and where allowed "hs" (handshake, 2) and "tg" (toggle, 3).
    std::optional<uint32_t> Switch(bool handshake = false, bool toggle = false) {
        if (TakeWord("on")) return 1;
        if (TakeWord("off")) return 0;
        if (handshake && TakeWord("hs")) return 2;
        if (toggle && TakeWord("tg")) return 3;
        return std::nullopt;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// An optional "COM<n>" device name, followed by spaces and/or a colon.
bool SkipDeviceName(TModeText& text) {
    if (!text.TakeWord("com")) return text.Peek() != ' ';
    if (text.Peek() < '1' || text.Peek() > '9') return false;
    text.Number();
    if (text.Peek() != ':' && text.Peek() != ' ') return false;
    text.SkipSpaces();
    if (text.Take(':')) text.SkipSpaces();
    return true;
}

// The old form allows the first digits of the common rates.
uint32_t ExpandAbbreviatedRate(uint32_t rate) {
    constexpr std::pair<uint32_t, uint32_t> abbreviations[] = {
        {11, 110}, {30, 300}, {60, 600}, {12, 1200}, {24, 2400}, {48, 4800}, {96, 9600}, {19, 19200}};
    for (const auto& [abbreviated, full] : abbreviations)
        if (rate == abbreviated) return full;
    return rate;
}

bool SkipComma(TModeText& text) {
    text.SkipSpaces();
    if (!text.Take(',')) return false;
    text.SkipSpaces();
    return true;
}

bool ParseOldForm(TModeText& text, DCB& dcb) {
    const auto rate = text.Number();
    if (!rate || !SkipComma(text)) return false;
    const auto parity = text.Parity();
    if (!parity || !SkipComma(text)) return false;
    const auto byteSize = text.ByteSize();
    if (!byteSize || !SkipComma(text)) return false;
    const auto stopBits = text.StopBits();
    if (!stopBits) return false;
    text.SkipSpaces();
    char flow = '\0';
    if (text.Take(',')) {
        text.SkipSpaces();
        if (!text.AtEnd()) flow = static_cast<char>(std::toupper(static_cast<unsigned char>(text.Peek())));
        if (flow != '\0') text.Take(text.Peek());
        text.SkipSpaces();
    }
    if (flow != '\0' && flow != 'X' && flow != 'P') return false;
    if (!text.AtEnd()) return false;

    dcb.BaudRate = ExpandAbbreviatedRate(*rate);
    dcb.Parity = *parity;
    dcb.ByteSize = *byteSize;
    dcb.StopBits = *stopBits;
    const bool xon = flow == 'X';
    const bool hardware = flow == 'P';
    dcb.Set(DCB::fInX, xon);
    dcb.Set(DCB::fOutX, xon);
    dcb.Set(DCB::fOutxCtsFlow, hardware);
    dcb.Set(DCB::fOutxDsrFlow, hardware);
    dcb.Set(DCB::fDtrControl, hardware ? DCB::DTR_CONTROL_HANDSHAKE : DCB::DTR_CONTROL_ENABLE);
    dcb.Set(DCB::fRtsControl, hardware ? DCB::RTS_CONTROL_HANDSHAKE : DCB::RTS_CONTROL_ENABLE);
    return true;
}

// Works on a copy so that a failure half-way leaves the caller's record alone.
bool ParseNewForm(TModeText& text, DCB& dcb) {
    bool rateGiven = false;
    bool stopGiven = false;
    while (!text.AtEnd()) {
        text.SkipSpaces();
        if (text.AtEnd()) break;
        if (text.TakeWord("baud=")) {
            const auto rate = text.Number();
            if (!rate) return false;
            dcb.BaudRate = *rate;
            rateGiven = true;
        } else if (text.TakeWord("parity=")) {
            const auto parity = text.Parity();
            if (!parity) return false;
            dcb.Parity = *parity;
        } else if (text.TakeWord("data=")) {
            const auto byteSize = text.ByteSize();
            if (!byteSize) return false;
            dcb.ByteSize = *byteSize;
        } else if (text.TakeWord("stop=")) {
            const auto stopBits = text.StopBits();
            if (!stopBits) return false;
            dcb.StopBits = *stopBits;
            stopGiven = true;
        } else if (text.TakeWord("to=")) {
            // Time-outs are not part of the control block.
            if (!text.Switch()) return false;
        } else if (text.TakeWord("xon=")) {
            const auto on = text.Switch();
            if (!on) return false;
            dcb.Set(DCB::fOutX, *on);
            dcb.Set(DCB::fInX, *on);
        } else if (text.TakeWord("odsr=")) {
            const auto on = text.Switch();
            if (!on) return false;
            dcb.Set(DCB::fOutxDsrFlow, *on);
        } else if (text.TakeWord("octs=")) {
            const auto on = text.Switch();
            if (!on) return false;
            dcb.Set(DCB::fOutxCtsFlow, *on);
        } else if (text.TakeWord("idsr=")) {
            const auto on = text.Switch();
            if (!on) return false;
            dcb.Set(DCB::fDsrSensitivity, *on);
        } else if (text.TakeWord("dtr=")) {
            const auto mode = text.Switch(true);
            if (!mode) return false;
            dcb.Set(DCB::fDtrControl, *mode);
        } else if (text.TakeWord("rts=")) {
            const auto mode = text.Switch(true, true);
            if (!mode) return false;
            dcb.Set(DCB::fRtsControl, *mode);
        } else {
            return false;
        }
        if (!text.AtEnd() && text.Peek() != ' ') return false;
    }
    if (!stopGiven) dcb.StopBits = rateGiven && dcb.BaudRate == 110 ? DCB::TWOSTOPBITS : DCB::ONESTOPBIT;
    return true;
}

}  // namespace

bool BuildCommDCB(std::string_view definition, DCB& dcb) {
    TModeText text(definition);
    if (!SkipDeviceName(text)) return false;
    DCB result = dcb;
    const bool ok = text.Contains(',') ? ParseOldForm(text, result) : ParseNewForm(text, result);
    if (ok) dcb = result;
    return ok;
}
