#pragma once
// The value types of the serial library: line settings, the settings record and
// the event bits a port reports.

#include <cstdint>

enum TBaudrate : uint8_t {
    br_000050,
    br_000110,
    br_000150,
    br_000300,
    br_000600,
    br_001200,
    br_002400,
    br_004800,
    br_009600,
    br_014400,
    br_019200,
    br_038400,
    br_056000,
    br_057600,
    br_115200,
    br_128000,
    br_230400,
    br_256000,
    br_460800,
    br_921600
};
// The number of data bits is the value plus 4.
enum TDataBits : uint8_t { db_4, db_5, db_6, db_7, db_8 };
enum TParityBit : uint8_t { none, odd, even, mark, space };
enum TStopBits : uint8_t { sb_1, sb_15, sb_2 };

// Rates in baud, texts for the parity and stop-bit choices; indexed by the enumerations.
extern const int32_t Baudrates[20];
extern const char* const ParityNames[5];
extern const char* const StopbitsNames[3];

// All settings of a port as one record, to copy them as a whole and to store them
// as text. Valid false means the record holds nothing and is to be ignored.
struct TSerialConfig {
    bool Valid;
    int32_t COMPort;
    TBaudrate Baudrate;
    TDataBits DataBits;
    TParityBit ParityBit;
    TStopBits StopBits;
    int32_t BufSizeTrm, BufSizeRec;
    bool HandshakeRtsCts, HandshakeDtrDsr, HandshakeXOnXOff, RTSActive, DTRActive;
    uint8_t XOnChar, XOffChar;
    int32_t XOffLimit, XOnLimit;
    uint8_t ErrorChar, EofChar, EventChar;
    bool ContinueOnXOff, UseErrorChar, EliminateNullChar, AbortOnError;
    int32_t RecTimeOut, TrmTimeOut;
    // A rate in baud outside the table, used instead of Baudrate; 0 for none. The text
    // form has no field for it: whoever stores the record stores it beside the text.
    int32_t CustomRate;
};

// Events of a port, as bits of an event word.
constexpr uint32_t EV_RXCHAR = 0x0001;   // a character was received
constexpr uint32_t EV_RXFLAG = 0x0002;   // the event character was received
constexpr uint32_t EV_TXEMPTY = 0x0004;  // the last character of the transmit buffer was sent
constexpr uint32_t EV_CTS = 0x0008;      // CTS changed
constexpr uint32_t EV_DSR = 0x0010;      // DSR changed
constexpr uint32_t EV_RLSD = 0x0020;     // DCD changed
constexpr uint32_t EV_BREAK = 0x0040;    // a break was received
constexpr uint32_t EV_ERR = 0x0080;      // a line error: framing, overrun or parity
constexpr uint32_t EV_RING = 0x0100;     // ring indicator
// The order in which the handlers of one wake-up run.
constexpr uint32_t SerialEventOrder[9] = {EV_BREAK, EV_CTS,    EV_DSR,    EV_ERR,    EV_RING,
                                          EV_RLSD,  EV_RXCHAR, EV_RXFLAG, EV_TXEMPTY};

// Modem status bits (input lines that are on).
constexpr uint32_t MS_CTS_ON = 0x0010;
constexpr uint32_t MS_DSR_ON = 0x0020;
constexpr uint32_t MS_RING_ON = 0x0040;
constexpr uint32_t MS_RLSD_ON = 0x0080;

// Purge flags.
constexpr uint32_t PURGE_TXABORT = 0x0001;
constexpr uint32_t PURGE_RXABORT = 0x0002;
constexpr uint32_t PURGE_TXCLEAR = 0x0004;
constexpr uint32_t PURGE_RXCLEAR = 0x0008;

// Output line functions.
constexpr uint32_t SETRTS = 3;
constexpr uint32_t CLRRTS = 4;
constexpr uint32_t SETDTR = 5;
constexpr uint32_t CLRDTR = 6;
constexpr uint32_t SETBREAK = 8;
constexpr uint32_t CLRBREAK = 9;

// Priority of an event or polling thread.
enum TThreadPriority : uint8_t { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
