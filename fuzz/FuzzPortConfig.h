// The port configuration the fuzz targets start from: what a new port holds.
#pragma once

#include "SerialTypes.h"

inline TSerialConfig FuzzDefaultPortConfig() {
    TSerialConfig config{};
    config.Valid = true;
    config.COMPort = 1;
    config.Baudrate = br_009600;
    config.DataBits = db_8;
    return config;
}
