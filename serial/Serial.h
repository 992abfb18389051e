#pragma once
// The serial port library: the port table, the serial port component with its
// configuration text, its event thread, and the modem-line component.

#include "SerialConfigText.h"
#include "SerialTypes.h"
#include "TCustomSerial.h"
#include "TPortTable.h"
#include "TSerPort.h"
#include "TSerPortThread.h"
#include "TSerThread.h"
#include "TSerial.h"
