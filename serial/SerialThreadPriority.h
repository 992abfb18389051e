#pragma once

#include "SerialTypes.h"

// Gives the calling thread the priority, as far as the system lets an ordinary
// user: lowering always works, raising may not.
void ApplyThreadPriority(TThreadPriority priority);
