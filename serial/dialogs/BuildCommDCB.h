#pragma once
// Fills a device control block from a mode text, the way the Win32 call of the
// same name does:
//   new form: "baud=9600 parity=N data=8 stop=1", keys in any order and case,
//             separated by spaces; also to=, xon=, odsr=, octs=, idsr= (on/off),
//             dtr= (on/off/hs) and rts= (on/off/hs/tg). Without stop= the stop
//             bits become 1 (2 at 110 baud).
//   old form: "9600,n,8,1" with an optional ",x" (XOn/XOff) or ",p" (hardware
//             handshake); the flow control members follow the last field. Rates
//             may be abbreviated (96 = 9600, 19 = 19200, ...).
// Either form may begin with a device name such as "COM1:".
// Only the members the text names change (DCBlength never does). A text that
// cannot be read returns false and leaves the record exactly as it was.

#include <string_view>

#include "DCB.h"

bool BuildCommDCB(std::string_view definition, DCB& dcb);
