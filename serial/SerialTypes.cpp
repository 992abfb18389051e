#include "SerialTypes.h"

const int32_t Baudrates[20] = {50,    110,   150,   300,   600,    1200,   2400,   4800,   9600,   14400,
                               19200, 38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};
const char* const ParityNames[5] = {"none", "odd", "even", "mark", "space"};
const char* const StopbitsNames[3] = {"1", "1,5", "2"};
