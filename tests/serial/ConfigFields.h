#pragma once

#include <tuple>

#include "SerialTypes.h"

// Every setting of a record (not Valid), to compare records as a whole.
inline auto ConfigFields(const TSerialConfig& c) {
    return std::make_tuple(c.COMPort, c.Baudrate, c.DataBits, c.ParityBit, c.StopBits, c.BufSizeTrm,
                           c.BufSizeRec, c.HandshakeRtsCts, c.HandshakeDtrDsr, c.HandshakeXOnXOff,
                           c.RTSActive, c.DTRActive, c.XOnChar, c.XOffChar, c.XOffLimit, c.XOnLimit,
                           c.ErrorChar, c.EofChar, c.EventChar, c.ContinueOnXOff, c.UseErrorChar,
                           c.EliminateNullChar, c.AbortOnError, c.RecTimeOut, c.TrmTimeOut);
}

// The component's defaults on port 1, and a record with every field away from them.
// clang-format off
inline const TSerialConfig DefaultsOnPort1{
    .Valid = true, .COMPort = 1, .Baudrate = br_009600, .DataBits = db_8, .ParityBit = none, .StopBits = sb_1,
    .BufSizeTrm = 2048, .BufSizeRec = 2048, .HandshakeRtsCts = false, .HandshakeDtrDsr = false,
    .HandshakeXOnXOff = false, .RTSActive = false, .DTRActive = false, .XOnChar = 17, .XOffChar = 19,
    .XOffLimit = 1600, .XOnLimit = 400, .ErrorChar = 63, .EofChar = 26, .EventChar = 13, .ContinueOnXOff = false,
    .UseErrorChar = false, .EliminateNullChar = false, .AbortOnError = false, .RecTimeOut = 0, .TrmTimeOut = 0,
    .CustomRate = 0};
inline const TSerialConfig Unusual{
    .Valid = true, .COMPort = 12, .Baudrate = br_921600, .DataBits = db_5, .ParityBit = space, .StopBits = sb_2,
    .BufSizeTrm = 4096, .BufSizeRec = 99999999, .HandshakeRtsCts = true, .HandshakeDtrDsr = true,
    .HandshakeXOnXOff = true, .RTSActive = true, .DTRActive = true, .XOnChar = 255, .XOffChar = 0,
    .XOffLimit = 3000, .XOnLimit = 7, .ErrorChar = 200, .EofChar = 1, .EventChar = 10, .ContinueOnXOff = true,
    .UseErrorChar = true, .EliminateNullChar = true, .AbortOnError = true, .RecTimeOut = 2147483647,
    .TrmTimeOut = 5, .CustomRate = 0};
// clang-format on
