#include "ZTermScreen.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

constexpr uint8_t Bel = 0x07, Bs = 0x08, Tab = 0x09, Lf = 0x0A, Vt = 0x0B, Ff = 0x0C, Cr = 0x0D, Can = 0x18,
                  Sub = 0x1A, Esc = 0x1B, Del = 0x7F;

constexpr char32_t ControlPictures = 0x2400;
constexpr char32_t DeletePicture = 0x2421;

char32_t HexDigit(unsigned value) {
    return static_cast<char32_t>(value < 10 ? U'0' + value : U'A' + value - 10);
}

// The numbers of a control sequence's parameters; an empty one is 0 (which the
// sequences read as their default).
std::vector<int> Parameters(const std::string& text) {
    std::vector<int> numbers(1, 0);
    for (const char c : text) {
        if (c == ';' || c == ':') {
            numbers.push_back(0);
        } else if (c >= '0' && c <= '9') {
            numbers.back() = std::min(numbers.back() * 10 + (c - '0'), 99999);
        }
    }
    return numbers;
}

int CountOf(const std::vector<int>& parameters) {
    return std::max(parameters.front(), 1);
}

// 38;5;n and 38;2;r;g;b (48 likewise) at index i; moves i past what it took.
ZTermColour ExtendedColour(const std::vector<int>& p, size_t& i, const ZTermColour& current) {
    if (i + 2 < p.size() && p[i + 1] == 5) {
        i += 2;
        return p[i] <= 255 ? ZTermColour{ZTermColour::Palette, static_cast<uint32_t>(p[i])} : current;
    }
    if (i + 4 < p.size() && p[i + 1] == 2) {
        const size_t at = i + 2;
        i += 4;
        if (p[at] > 255 || p[at + 1] > 255 || p[at + 2] > 255) return current;
        return {ZTermColour::Rgb, static_cast<uint32_t>(p[at] << 16 | p[at + 1] << 8 | p[at + 2])};
    }
    i = p.size();  // a form not understood: the rest cannot be read safely
    return current;
}

}  // namespace

ZTermScreen::ZTermScreen(int maxLines) : maxLines_(static_cast<size_t>(std::max(maxLines, 1))) {
    sent_.Style.Flags = ZTermStyle::Sent;
}

void ZTermScreen::SetMaxLines(int maxLines) {
    maxLines_ = static_cast<size_t>(std::max(maxLines, 1));
    while (finished_.size() > maxLines_) {
        finished_.pop_front();
        ++dropped_;
    }
}

void ZTermScreen::Feed(const uint8_t* bytes, size_t count, bool sent, int64_t timeUs) {
    if (sent && !options_.ShowSent) return;
    timeUs_ = timeUs;
    Direction& direction = sent ? sent_ : received_;
    for (size_t i = 0; i < count; ++i) {
        Touch();
        FeedByte(direction, bytes[i]);
    }
}

void ZTermScreen::Touch() {
    changed_ = true;
    if (!open_.HasTime) {
        open_.TimeUs = timeUs_;
        open_.HasTime = true;
    }
}

void ZTermScreen::FeedByte(Direction& direction, uint8_t byte) {
    if (direction.BreakPending) {
        direction.BreakPending = false;
        if (byte == Lf) {
            ZTermStyle style = direction.Style;
            style.Flags |= ZTermStyle::Symbolic;
            Put(ControlPictures + Lf, style);
            NewLine(false);
            return;
        }
        NewLine(false);
        Touch();
    }
    if (direction.State != Escape::None && !options_.ShowControls) {
        EscapeByte(direction, byte);
        return;
    }
    if (options_.Charset == ZTermCharset::Latin1) {
        if (byte >= 0x80 && byte < 0xA0) {
            PutBytes(direction, &byte, 1);
        } else {
            Character(direction, byte);
        }
        return;
    }
    direction.Utf8.Feed(
        byte, [&](char32_t character) { Character(direction, character); },
        [&](uint8_t invalid) { PutBytes(direction, &invalid, 1); });
}

void ZTermScreen::Character(Direction& direction, char32_t character) {
    if (character < 0x20 || character == Del) {
        if (options_.ShowControls)
            ShownControl(direction, static_cast<uint8_t>(character));
        else
            Control(direction, static_cast<uint8_t>(character));
        return;
    }
    if (character >= 0x80 && character < 0xA0) {
        // A C1 control, which no one means to see as a character: its bytes.
        const uint8_t bytes[] = {0xC2, static_cast<uint8_t>(character)};
        PutBytes(direction, bytes, 2);
        return;
    }
    direction.AfterCr = false;
    Put(character, direction.Style);
}

void ZTermScreen::ShownControl(Direction& direction, uint8_t byte) {
    ZTermStyle style = direction.Style;
    style.Flags |= ZTermStyle::Symbolic;
    Put(byte == Del ? DeletePicture : ControlPictures + byte, style);
    const bool afterCr = direction.AfterCr;
    direction.AfterCr = byte == Cr;
    switch (options_.NewLine) {
        case ZTermNewLine::Lf:
            if (byte == Lf) NewLine(false);
            break;
        case ZTermNewLine::CrLf:
            if (byte == Lf && afterCr) NewLine(false);
            break;
        case ZTermNewLine::Cr:
            // The CR's LF, if one follows, still belongs on its line.
            direction.BreakPending = byte == Cr;
            break;
    }
}

void ZTermScreen::Control(Direction& direction, uint8_t byte) {
    const bool afterCr = direction.AfterCr;
    direction.AfterCr = false;
    switch (byte) {
        case Cr:
            if (options_.NewLine == ZTermNewLine::Cr) {
                NewLine(false);
                direction.AfterCr = true;
            } else {
                cursor_ = 0;
            }
            break;
        case Lf:
            if (options_.NewLine == ZTermNewLine::Lf) {
                NewLine(false);
            } else if (!(options_.NewLine == ZTermNewLine::Cr && afterCr)) {
                NewLine(true);
            }
            break;
        case Vt:
        case Ff:
            NewLine(options_.NewLine != ZTermNewLine::Lf);
            break;
        case Bs:
            cursor_ = std::max(cursor_ - 1, 0);
            break;
        case Tab:
            cursor_ = std::min((cursor_ / TabWidth + 1) * TabWidth, MaxLineCells - 1);
            break;
        case Bel:
            ++bells_;
            break;
        case Esc:
            direction.State = Escape::Esc;
            break;
        default:
            break;  // a control character without a meaning here
    }
}

void ZTermScreen::EscapeByte(Direction& direction, uint8_t byte) {
    Escape& state = direction.State;
    if (state == Escape::String || state == Escape::StringEsc) {
        if (state == Escape::StringEsc && byte == '\\') {
            state = Escape::None;
        } else if (state == Escape::StringEsc) {
            state = Escape::Esc;  // an escape that ends the string and begins anew
            EscapeByte(direction, byte);
        } else if (byte == Bel || byte == Can || byte == Sub) {
            state = Escape::None;
        } else if (byte == Esc) {
            state = Escape::StringEsc;
        } else if (++direction.StringBytes >= MaxStringBytes) {
            state = Escape::None;
        }
        return;
    }
    if (byte == Can || byte == Sub) {
        state = Escape::None;
        return;
    }
    if (byte == Esc) {
        state = Escape::Esc;
        return;
    }
    if (byte < 0x20) {
        Control(direction, byte);  // executed in the middle of a sequence, as terminals do
        return;
    }
    if (byte >= Del) {
        // No sequence goes on like that: it is dropped, the byte is text.
        state = Escape::None;
        FeedByte(direction, byte);
        return;
    }
    switch (state) {
        case Escape::Esc:
            if (byte == '[') {
                state = Escape::Csi;
                direction.Sequence.clear();
                direction.SequenceTooLong = false;
            } else if (byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_') {
                state = Escape::String;
                direction.StringBytes = 0;
            } else {
                state = byte < 0x30 ? Escape::EscIntermediate : Escape::None;
            }
            break;
        case Escape::EscIntermediate:
            if (byte >= 0x30) state = Escape::None;
            break;
        case Escape::Csi:
            if (byte >= 0x40) {
                state = Escape::None;
                if (!direction.SequenceTooLong) RunSequence(direction, static_cast<char>(byte));
            } else if (direction.Sequence.size() < MaxSequenceBytes) {
                direction.Sequence += static_cast<char>(byte);
            } else {
                direction.SequenceTooLong = true;
            }
            break;
        default:
            state = Escape::None;
            break;
    }
}

void ZTermScreen::RunSequence(Direction& direction, char final) {
    const std::string& text = direction.Sequence;
    // Private forms (ESC [ ? ...) and intermediates belong to other commands.
    const bool plain = text.find_first_of("<=>?!\"#$%&'()*+,-./ ") == std::string::npos;
    if (!plain) return;
    const std::vector<int> parameters = Parameters(text);
    std::u32string& cells = open_.Text;
    std::vector<ZTermStyle>& styles = open_.Styles;
    const auto length = static_cast<int>(cells.size());
    const int count = CountOf(parameters);
    switch (final) {
        case 'm':
            SelectGraphicRendition(direction.Style, parameters);
            break;
        case 'C':
            cursor_ = std::min(cursor_ + count, MaxLineCells - 1);
            break;
        case 'D':
            cursor_ = std::max(cursor_ - count, 0);
            break;
        case 'G':
        case '`':
            cursor_ = std::min(count, MaxLineCells) - 1;
            break;
        case 'K':
            if (parameters.front() == 0 && cursor_ < length) {
                cells.resize(static_cast<size_t>(cursor_));
                styles.resize(static_cast<size_t>(cursor_));
            } else if (parameters.front() == 1) {
                const int end = std::min(cursor_ + 1, length);
                std::fill_n(cells.begin(), end, U' ');
                std::fill_n(styles.begin(), end, ZTermStyle{});
            } else if (parameters.front() == 2) {
                cells.clear();
                styles.clear();
            }
            break;
        case 'X':
            for (int i = cursor_; i < std::min(cursor_ + count, length); ++i) {
                cells[static_cast<size_t>(i)] = U' ';
                styles[static_cast<size_t>(i)] = ZTermStyle{};
            }
            break;
        case 'P':
            if (cursor_ < length) {
                const int gone = std::min(count, length - cursor_);
                cells.erase(static_cast<size_t>(cursor_), static_cast<size_t>(gone));
                styles.erase(styles.begin() + cursor_, styles.begin() + cursor_ + gone);
            }
            break;
        case '@':
            if (cursor_ < length) {
                const int room = std::min(count, MaxLineCells - length);
                cells.insert(static_cast<size_t>(cursor_), static_cast<size_t>(room), U' ');
                styles.insert(styles.begin() + cursor_, static_cast<size_t>(room), ZTermStyle{});
            }
            break;
        default:
            break;  // cursor moves to other lines, erasing the screen, modes: dropped
    }
}

void ZTermScreen::SelectGraphicRendition(ZTermStyle& style, const std::vector<int>& p) {
    const uint8_t kept = style.Flags & ZTermStyle::Sent;
    for (size_t i = 0; i < p.size(); ++i) {
        const int code = p[i];
        if (code == 0) {
            style = ZTermStyle{};
            style.Flags = kept;
        } else if (code == 1) {
            style.Flags |= ZTermStyle::Bold;
        } else if (code == 2) {
            style.Flags |= ZTermStyle::Faint;
        } else if (code == 3) {
            style.Flags |= ZTermStyle::Italic;
        } else if (code == 4 || code == 21) {
            style.Flags |= ZTermStyle::Underline;
        } else if (code == 7) {
            style.Flags |= ZTermStyle::Inverse;
        } else if (code == 9) {
            style.Flags |= ZTermStyle::CrossedOut;
        } else if (code == 22) {
            style.Flags &= static_cast<uint8_t>(~(ZTermStyle::Bold | ZTermStyle::Faint));
        } else if (code == 23) {
            style.Flags &= static_cast<uint8_t>(~ZTermStyle::Italic);
        } else if (code == 24) {
            style.Flags &= static_cast<uint8_t>(~ZTermStyle::Underline);
        } else if (code == 27) {
            style.Flags &= static_cast<uint8_t>(~ZTermStyle::Inverse);
        } else if (code == 29) {
            style.Flags &= static_cast<uint8_t>(~ZTermStyle::CrossedOut);
        } else if (code >= 30 && code <= 37) {
            style.Foreground = {ZTermColour::Palette, static_cast<uint32_t>(code - 30)};
        } else if (code >= 90 && code <= 97) {
            style.Foreground = {ZTermColour::Palette, static_cast<uint32_t>(code - 90 + 8)};
        } else if (code >= 40 && code <= 47) {
            style.Background = {ZTermColour::Palette, static_cast<uint32_t>(code - 40)};
        } else if (code >= 100 && code <= 107) {
            style.Background = {ZTermColour::Palette, static_cast<uint32_t>(code - 100 + 8)};
        } else if (code == 38) {
            style.Foreground = ExtendedColour(p, i, style.Foreground);
        } else if (code == 48) {
            style.Background = ExtendedColour(p, i, style.Background);
        } else if (code == 39) {
            style.Foreground = {};
        } else if (code == 49) {
            style.Background = {};
        }
    }
}

void ZTermScreen::PutBytes(Direction& direction, const uint8_t* bytes, size_t count) {
    direction.AfterCr = false;
    ZTermStyle style = direction.Style;
    style.Flags |= ZTermStyle::Symbolic;
    for (size_t i = 0; i < count; ++i) {
        for (const char32_t c : {U'\\', U'x', HexDigit(bytes[i] >> 4u), HexDigit(bytes[i] & 0x0Fu)})
            Put(c, style);
    }
}

void ZTermScreen::Put(char32_t character, ZTermStyle style) {
    if (cursor_ >= MaxLineCells) NewLine(false);
    const auto at = static_cast<size_t>(cursor_);
    if (at < open_.Text.size()) {
        open_.Text[at] = character;
        open_.Styles[at] = style;
    } else {
        open_.Text.resize(at, U' ');
        open_.Styles.resize(at);
        open_.Text += character;
        open_.Styles.push_back(style);
    }
    ++cursor_;
}

void ZTermScreen::NewLine(bool keepColumn) {
    finished_.push_back(std::move(open_));
    if (finished_.size() > maxLines_) {
        finished_.pop_front();
        ++dropped_;
    }
    open_ = ZTermLine();
    if (!keepColumn) cursor_ = 0;
    changed_ = true;
}

void ZTermScreen::PutNotice(const std::u32string& text, int64_t timeUs) {
    if (!open_.Text.empty()) NewLine(false);
    cursor_ = 0;
    timeUs_ = timeUs;
    Touch();
    for (const char32_t c : text) Put(c, ZTermStyle{{}, {}, ZTermStyle::Symbolic});
    NewLine(false);
}

void ZTermScreen::Clear() {
    finished_.clear();
    dropped_ = 0;
    open_ = ZTermLine();
    cursor_ = 0;
    received_.BreakPending = sent_.BreakPending = false;
    changed_ = true;
}

ZTermScreen::Update ZTermScreen::TakeUpdate() {
    Update update;
    update.Finished.assign(std::make_move_iterator(finished_.begin()), std::make_move_iterator(finished_.end()));
    finished_.clear();
    update.Dropped = std::exchange(dropped_, 0);
    update.Bells = std::exchange(bells_, 0);
    changed_ = false;
    return update;
}

std::u32string ZTermScreen::Prefix(const ZTermLine& line) const {
    if (!line.HasTime) return {};
    const std::string prefix = ZTermStampPrefix(line.TimeUs, options_.Stamps);
    return std::u32string(prefix.begin(), prefix.end());
}
