// The device control block's flag fields and the mode-text parser: both plain
// data, checked without any window.

#include "DCB.h"

#include <gtest/gtest.h>

#include <cstring>

#include "BuildCommDCB.h"

namespace {

TEST(DcbFlags, EachFieldHasItsBitsAndWidth) {
    struct Row {
        DCB::TFlag Field;
        uint32_t Value;
        uint32_t Word;  // the flag word after writing Value into a clear word
    };
    const Row rows[] = {
        {DCB::fBinary, 1, 0x0001},      {DCB::fParity, 1, 0x0002},       {DCB::fOutxCtsFlow, 1, 0x0004},
        {DCB::fOutxDsrFlow, 1, 0x0008}, {DCB::fDtrControl, 2, 0x0020},   {DCB::fDtrControl, 3, 0x0030},
        {DCB::fOutX, 1, 0x0100},        {DCB::fInX, 1, 0x0200},          {DCB::fRtsControl, 1, 0x1000},
        {DCB::fRtsControl, 2, 0x2000},  {DCB::fAbortOnError, 1, 0x4000}, {DCB::fBinary, 2, 0x0000},
        {DCB::fDtrControl, 6, 0x0020},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "field at bit " << int{row.Field} << " := " << row.Value);
        DCB clear;
        clear.Set(row.Field, row.Value);
        EXPECT_EQ(clear.Flags, row.Word);
        EXPECT_EQ(clear.Get(row.Field), row.Value & DCB::Mask(row.Field));

        // Writing a field never disturbs its neighbours.
        DCB full;
        full.Flags = 0xFFFFFFFF;
        full.Set(row.Field, row.Value);
        EXPECT_EQ(full.Flags & ~(DCB::Mask(row.Field) << row.Field), ~(DCB::Mask(row.Field) << row.Field));
        EXPECT_EQ(full.Get(row.Field), row.Value & DCB::Mask(row.Field));
    }
}

// A record whose every member is distinct, so that a member changed by mistake shows.
DCB Sentinel() {
    DCB dcb;
    dcb.DCBlength = 99;
    dcb.BaudRate = 1234;
    dcb.Flags = 0x8000;
    dcb.XonLim = 11;
    dcb.XoffLim = 22;
    dcb.ByteSize = 3;
    dcb.Parity = 9;
    dcb.StopBits = 9;
    dcb.XonChar = 'a';
    dcb.XoffChar = 'b';
    dcb.ErrorChar = 'c';
    dcb.EofChar = 'd';
    dcb.EvtChar = 'e';
    return dcb;
}

TEST(BuildCommDCB, ReadsTheNewAndTheOldForm) {
    struct Row {
        const char* Text;
        uint32_t BaudRate;
        uint8_t Parity;
        uint8_t ByteSize;
        uint8_t StopBits;
        uint32_t Flags;
    };
    constexpr uint32_t Old = 0x8000 | 0x0010 | 0x1000;  // DTR and RTS enabled, no flow control
    const Row rows[] = {
        {"baud=9600 parity=N data=8 stop=1", 9600, 0, 8, 0, 0x8000},
        {"BAUD=57600 PARITY=e DATA=7 STOP=2", 57600, 2, 7, 2, 0x8000},
        {"stop=1.5 data=5 parity=m baud=110", 110, 3, 5, 1, 0x8000},
        {"baud=1200   parity=s", 1200, 4, 3, 0, 0x8000},  // unnamed: kept, stop bits 1
        {"baud=110", 110, 9, 3, 2, 0x8000},               // 110 baud without stop=: two
        {"parity=o", 1234, 1, 3, 0, 0x8000},
        {"COM3: baud=4800", 4800, 9, 3, 0, 0x8000},
        {"baud=921600 xon=on octs=on odsr=on", 921600, 9, 3, 0, 0x8000 | 0x0300 | 0x0004 | 0x0008},
        {"dtr=hs rts=hs idsr=on to=on", 1234, 9, 3, 0, 0x8000 | 0x0020 | 0x2000 | 0x0040},
        {"rts=tg dtr=off", 1234, 9, 3, 0, 0x8000 | 0x3000},
        {"9600,n,8,1", 9600, 0, 8, 0, Old},
        {"96,E,7,2", 9600, 2, 7, 2, Old},
        {"19, o , 6 , 1.5", 19200, 1, 6, 1, Old},
        {"11,n,8,2", 110, 0, 8, 2, Old},
        {"COM1:2400,n,8,1,x", 2400, 0, 8, 0, Old | 0x0300},
        {"baud=99999999999999999999", UINT32_MAX, 9, 3, 0, 0x8000},  // saturates, never wraps
        {"38400,n,8,1,P", 38400, 0, 8, 0, 0x8000 | 0x0004 | 0x0008 | 0x0020 | 0x2000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Text);
        DCB dcb = Sentinel();
        ASSERT_TRUE(BuildCommDCB(row.Text, dcb));
        EXPECT_EQ(dcb.BaudRate, row.BaudRate);
        EXPECT_EQ(dcb.Parity, row.Parity);
        EXPECT_EQ(dcb.ByteSize, row.ByteSize);
        EXPECT_EQ(dcb.StopBits, row.StopBits);
        EXPECT_EQ(dcb.Flags, row.Flags);
        // What no text names stays.
        DCB untouched = Sentinel();
        untouched.BaudRate = dcb.BaudRate;
        untouched.Parity = dcb.Parity;
        untouched.ByteSize = dcb.ByteSize;
        untouched.StopBits = dcb.StopBits;
        untouched.Flags = dcb.Flags;
        EXPECT_EQ(std::memcmp(&dcb, &untouched, sizeof(DCB)), 0);
    }
}

TEST(BuildCommDCB, RefusesWhatItCannotReadAndChangesNothing) {
    const char* const texts[] = {
        "baud=",
        "baud=fast",
        "baud=9600 parity=X",
        "data=9",
        "data=4",
        "stop=3",
        "speed=9600",
        "baud=9600parity=N",
        "baud=9600,",
        "xon=maybe",
        "rts=hs2",
        "dtr=tg",
        " baud=9600",
        "COM1",
        "COMx: baud=9600",
        "COM0: baud=1",
        "9600,n,8",
        "9600,n,8,1,q",
        "9600,n,8,1,x y",
        "9600;n;8;1",
        "9600,z,8,1",
        "baud=9600 stop=1 parity=N data=8 extra",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        DCB dcb = Sentinel();
        // Half-parsed texts must not leave the members read before the fault.
        EXPECT_FALSE(BuildCommDCB(text, dcb));
        const DCB before = Sentinel();
        EXPECT_EQ(std::memcmp(&dcb, &before, sizeof(DCB)), 0);
    }
}

}  // namespace
