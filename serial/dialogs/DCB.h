#pragma once
// The device control block and the port configuration record of the Win32 serial
// interface, with the same members and meanings, so that the dialogs edit the
// settings the way the serial library was first written against. Nothing here
// touches a device: the component applies its own settings when it opens.

#include <cstdint>

struct DCB {
    // Fields of the flag word, named by their first bit. fDtrControl and
    // fRtsControl are two bits wide, every other field one bit.
    enum TFlag : uint8_t {
        fBinary = 0,
        fParity = 1,
        fOutxCtsFlow = 2,
        fOutxDsrFlow = 3,
        fDtrControl = 4,
        fDsrSensitivity = 6,
        fTXContinueOnXoff = 7,
        fOutX = 8,
        fInX = 9,
        fErrorChar = 10,
        fNull = 11,
        fRtsControl = 12,
        fAbortOnError = 14,
    };

    // Values of fDtrControl and fRtsControl.
    static constexpr uint32_t DTR_CONTROL_DISABLE = 0;
    static constexpr uint32_t DTR_CONTROL_ENABLE = 1;
    static constexpr uint32_t DTR_CONTROL_HANDSHAKE = 2;
    static constexpr uint32_t RTS_CONTROL_DISABLE = 0;
    static constexpr uint32_t RTS_CONTROL_ENABLE = 1;
    static constexpr uint32_t RTS_CONTROL_HANDSHAKE = 2;
    static constexpr uint32_t RTS_CONTROL_TOGGLE = 3;

    // Parity and StopBits codes.
    static constexpr uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
    static constexpr uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

    uint32_t DCBlength = 0;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    uint8_t XonChar = 0;
    uint8_t XoffChar = 0;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;
    uint16_t wReserved1 = 0;

    // The value of one field of the flag word.
    uint32_t Get(TFlag field) const { return (Flags >> field) & Mask(field); }
    // Replaces one field of the flag word; bits of value beyond the field's width
    // are dropped, the other fields stay.
    void Set(TFlag field, uint32_t value) {
        Flags = (Flags & ~(Mask(field) << field)) | ((value & Mask(field)) << field);
    }

    static constexpr uint32_t Mask(TFlag field) {
        return field == fDtrControl || field == fRtsControl ? 3u : 1u;
    }
};
static_assert(sizeof(DCB) == 28, "the record keeps the size the serial library knows (DCBlength 28)");

// A port's configuration as the platform's port dialog takes and returns it.
struct COMMCONFIG {
    uint32_t dwSize = 0;
    uint16_t wVersion = 0;
    uint16_t wReserved = 0;
    DCB dcb;
    uint32_t dwProviderSubType = 0;
    uint32_t dwProviderOffset = 0;
    uint32_t dwProviderSize = 0;
    uint16_t wcProviderData[1] = {};
};
static_assert(sizeof(COMMCONFIG) == 52, "the record keeps the size the serial library knows (52)");
