#pragma once
// The operating system behind the serial components: one small interface, one
// implementation file per system (SerialPlatformPosix.cpp on Linux), and fakes in
// the tests. The components never call the system directly.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The line settings an open applies, in the layout of the Win32 device control
// block that the components were first written against.
struct TSerialDcb {
    // Bits of Flags.
    static constexpr uint32_t fBinary = 0x0001;
    static constexpr uint32_t fParity = 0x0002;
    static constexpr uint32_t fOutxCtsFlow = 0x0004;
    static constexpr uint32_t fOutxDsrFlow = 0x0008;
    static constexpr int DtrControlShift = 4;  // two bits: DTR_CONTROL_*
    static constexpr uint32_t fDsrSensitivity = 0x0040;
    static constexpr uint32_t fTXContinueOnXoff = 0x0080;
    static constexpr uint32_t fOutX = 0x0100;
    static constexpr uint32_t fInX = 0x0200;
    static constexpr uint32_t fErrorChar = 0x0400;
    static constexpr uint32_t fNull = 0x0800;
    static constexpr int RtsControlShift = 12;  // two bits: RTS_CONTROL_*
    static constexpr uint32_t fAbortOnError = 0x4000;

    static constexpr uint32_t CONTROL_DISABLE = 0;
    static constexpr uint32_t CONTROL_ENABLE = 1;
    static constexpr uint32_t CONTROL_HANDSHAKE = 2;

    uint32_t DCBlength = 28;
    int32_t BaudRate = 9600;
    uint32_t Flags = fBinary | (CONTROL_ENABLE << DtrControlShift) | (CONTROL_ENABLE << RtsControlShift);
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;  // 4 to 8
    uint8_t Parity = 0;    // TParityBit
    uint8_t StopBits = 0;  // TStopBits
    uint8_t XonChar = 17;
    uint8_t XoffChar = 19;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;

    uint32_t DtrControl() const { return (Flags >> DtrControlShift) & 3; }
    uint32_t RtsControl() const { return (Flags >> RtsControlShift) & 3; }
    bool Has(uint32_t flag) const { return (Flags & flag) != 0; }
};

// Time-outs of the completing reads and writes, in milliseconds; 0 means none.
struct TSerialTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// One open port. Made by ISerialPlatform::Open, released by Close or destruction.
// Thread rules: one thread may sit in WaitEvent while another reads, writes, asks
// the queue counts, purges or changes the mask; everything else is for the thread
// that owns the component. Close must not race with a running call.
// The device whose every open is a new pseudo-terminal master (ISerialHandle::PeerDevice
// names its slave).
inline constexpr const char* PtyMasterDevice = "/dev/ptmx";

class ISerialHandle {
public:
    virtual ~ISerialHandle() = default;

    // The driver buffer sizes.
    virtual bool SetupBuffers(int32_t receiveSize, int32_t transmitSize) = 0;
    // Applies the line settings; 0 on success, otherwise an errno value (EINVAL:
    // settings the device cannot take).
    virtual int SetState(const TSerialDcb& dcb) = 0;
    // After SetState refused settings (EINVAL): which value the device kept instead,
    // as words for the user ("the server set baud rate 9600 instead of 115200");
    // "" when the device cannot tell.
    virtual std::string RefusalText() const { return {}; }
    virtual void SetTimeouts(const TSerialTimeouts& timeouts) = 0;
    // Sets the events WaitEvent waits for; any change makes a pending wait return.
    virtual bool SetMask(uint32_t mask) = 0;
    // Blocks until events of the mask occur (true, events set) or the mask changes
    // after the wait began, is 0 or the handle closes (false).
    virtual bool WaitEvent(uint32_t& events) = 0;
    // Reads up to count bytes. Without complete it never blocks and returns what was
    // there; with complete it waits for the rest as the read time-outs allow (no
    // time-outs: until all arrived), ending early at a hang-up or a purge.
    virtual uint32_t Read(void* buffer, uint32_t count, bool complete) = 0;
    // Writes count bytes. With complete it waits until they are sent, as the write
    // time-outs allow (no time-outs: until all went out), ending early at a hang-up
    // or a purge, and returns how many went. Without complete it returns at once:
    // what the device does not take now is sent in the background, in order, and
    // counts as written; only what cannot even be queued (a hang-up, a full
    // background queue) is left out of the result.
    virtual uint32_t Write(const void* data, uint32_t count, bool complete) = 0;
    // errno of the first write that was accepted but could not be sent in full
    // (EIO: the device hung up; ETIMEDOUT: the write time-outs ran out); 0 while
    // every accepted byte went out or is still on its way. Also reported once as
    // EV_ERR to a wait whose mask asks for it.
    virtual int WriteError() const = 0;
    // Bytes waiting to be read and bytes still to be sent (the background queue
    // included); false when the driver cannot tell (for instance after a hang-up).
    virtual bool QueueCounts(int& inQueue, int& outQueue) = 0;
    virtual bool Purge(uint32_t flags) = 0;
    // The input lines as MS_*_ON bits; false when the device has no modem lines.
    virtual bool ModemStatus(uint32_t& status) = 0;
    // SETRTS, CLRRTS, SETDTR, CLRDTR, SETBREAK, CLRBREAK.
    virtual bool EscapeFunction(uint32_t function) = 0;
    // The device went away (unplugged, or the other side of a pseudo-terminal closed).
    virtual bool HungUp() const = 0;
    // Received bytes the driver dropped since it started (the UART's overruns and
    // its receive buffer's): a counter that only grows, wrapping at 2^32. False when
    // the driver keeps no such count (a pseudo-terminal, a network port). Any thread.
    virtual bool ReceiveLosses(uint32_t& /*lost*/) { return false; }
    // Bytes the handle holds in memory: received and not read yet, and answers to the
    // peer not sent yet. Any thread.
    virtual size_t HeldBytes() const { return 0; }
    // Blocks up to timeoutMs until bytes can be read or the device hangs up, and returns
    // true: the caller then reads at once. False, without waiting, from a handle that
    // cannot wait so (the caller sleeps the time itself): the default, which lets a
    // handle without a descriptor to poll leave it out. Called by the thread that reads.
    virtual bool WaitReadable(int /*timeoutMs*/) { return false; }
    // The descriptor WaitReadable polls, so that one thread can wait on several ports
    // at once; -1 for a handle that has none.
    virtual int PollDescriptor() const { return -1; }
    // For a pseudo-terminal master: the path of its slave, which a program opens as if
    // it were a serial device; "" for every other handle.
    virtual std::string PeerDevice() const { return {}; }
    // Lets the output drain (bounded in time: what is still unsent then is
    // discarded), restores the device's previous settings and releases it; later
    // calls fail.
    virtual void Close() = 0;
};

// Asked while an open waits (a network port's connect and greeting): true gives the
// open up at once. Called on the opening thread; may be empty.
using TOpenAbandoned = std::function<bool()>;

class ISerialPlatform {
public:
    virtual ~ISerialPlatform() = default;
    // Opens and takes the device exclusively; on failure returns null and sets
    // errorNumber to an errno value (EBUSY when another program holds the device).
    // A network port's address (rfc2217://, tcp://) connects to it instead, which
    // may block for up to NetConnectLimitMs (SerialPlatformNet.h), unless abandoned
    // says to give up (ECANCELED).
    virtual std::unique_ptr<ISerialHandle> Open(const std::string& device, int& errorNumber,
                                                const TOpenAbandoned& abandoned) = 0;
    // Reads and writes complete (wait for the time-outs) rather than return at once.
    virtual bool CompletesIo() const = 0;
    // The device for port number n (1 to 99); "" when n has none.
    virtual std::string PortDevicePath(int n) const = 0;
    // Whether port n is there, decided without opening it.
    virtual bool PortPresent(int n) const = 0;
};

// The platform of the running system.
ISerialPlatform& DefaultSerialPlatform();
