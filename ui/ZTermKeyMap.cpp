#include "ZTermKeyMap.h"

#include <QList>

namespace {

struct NamedKey {
    int QtKey;
    ZTermKey Key;
};

constexpr NamedKey NamedKeys[] = {
    {Qt::Key_Return, ZTermKey::Enter},     {Qt::Key_Enter, ZTermKey::Enter},   {Qt::Key_Backspace, ZTermKey::Backspace},
    {Qt::Key_Tab, ZTermKey::Tab},          {Qt::Key_Escape, ZTermKey::Escape}, {Qt::Key_Backtab, ZTermKey::BackTab},
    {Qt::Key_Up, ZTermKey::Up},            {Qt::Key_Down, ZTermKey::Down},     {Qt::Key_Right, ZTermKey::Right},
    {Qt::Key_Left, ZTermKey::Left},        {Qt::Key_Home, ZTermKey::Home},     {Qt::Key_End, ZTermKey::End},
    {Qt::Key_Insert, ZTermKey::Insert},    {Qt::Key_Delete, ZTermKey::Delete}, {Qt::Key_PageUp, ZTermKey::PageUp},
    {Qt::Key_PageDown, ZTermKey::PageDown}, {Qt::Key_F1, ZTermKey::F1},        {Qt::Key_F2, ZTermKey::F2},
    {Qt::Key_F3, ZTermKey::F3},            {Qt::Key_F4, ZTermKey::F4},         {Qt::Key_F5, ZTermKey::F5},
    {Qt::Key_F6, ZTermKey::F6},            {Qt::Key_F7, ZTermKey::F7},         {Qt::Key_F8, ZTermKey::F8},
    {Qt::Key_F9, ZTermKey::F9},            {Qt::Key_F10, ZTermKey::F10},       {Qt::Key_F11, ZTermKey::F11},
    {Qt::Key_F12, ZTermKey::F12},
};

// The character a key with Ctrl stands for: Qt gives the key of the unshifted
// keyboard, and the text of Ctrl+letter is already the control code.
char32_t ControlCharacter(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char32_t>('a' + (key - Qt::Key_A));
    switch (key) {
        case Qt::Key_At:
        case Qt::Key_Space:
        case Qt::Key_2:
            return '@';
        case Qt::Key_BracketLeft:
            return '[';
        case Qt::Key_Backslash:
            return '\\';
        case Qt::Key_BracketRight:
            return ']';
        case Qt::Key_AsciiCircum:
            return '^';
        case Qt::Key_Underscore:
        case Qt::Key_Minus:
            return '_';
        case Qt::Key_Question:
            return '?';
        default:
            return 0;
    }
}

}  // namespace

std::string ZTermKeyBytes(int key, Qt::KeyboardModifiers modifiers, const QString& text, ZTermLineEnd enter,
                          ZTermCharset charset) {
    std::string bytes;
    for (const NamedKey& named : NamedKeys) {
        if (named.QtKey == key) {
            bytes = ZTermEncodeKey(named.Key, enter);
            break;
        }
    }
    if (bytes.empty() && (modifiers & Qt::ControlModifier)) {
        if (const char32_t character = ControlCharacter(key)) bytes = ZTermControlCode(character);
    }
    if (bytes.empty() && !text.isEmpty()) {
        const QList<uint> codes = text.toUcs4();
        bytes = ZTermEncodeText(std::u32string(codes.begin(), codes.end()), charset);
    }
    if (!bytes.empty() && (modifiers & Qt::AltModifier)) bytes = ZTermWithAlt(bytes);
    return bytes;
}
