#pragma once
// What a key pressed in the terminal window's "Type straight to the device" mode
// sends: the bytes a terminal sends for it (ZTermInput), or "" for a key that sends
// nothing (a modifier alone). Ctrl with a letter or @ [ \ ] ^ _ sends its control
// code (Ctrl+C is 03), Alt puts ESC before the key's bytes, Enter sends the line end
// chosen. Window thread; no state.

#include <QString>
#include <Qt>
#include <string>

#include "ZTermInput.h"

std::string ZTermKeyBytes(int key, Qt::KeyboardModifiers modifiers, const QString& text, ZTermLineEnd enter,
                          ZTermCharset charset);
