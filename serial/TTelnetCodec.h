#pragma once
// The Telnet side of a network serial port (RFC 854, RFC 855 and the
// COM-PORT-OPTION of RFC 2217), free of any socket so that every rule can be
// checked: what the peer sends is split into data, option negotiation and
// subnegotiations, and the answers Telnet requires are collected for the owner
// to send.
//
// The client asks for BINARY in both directions and offers COM-PORT-OPTION; it
// agrees to SUPPRESS-GO-AHEAD and refuses every other option. Negotiation keeps
// a state per option and answers only requests that would change it, so two
// peers never loop.
//
// Not thread-safe: one owner decodes and encodes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class TTelnetCodec {
public:
    static constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
    static constexpr uint8_t OptBinary = 0, OptSuppressGoAhead = 3, OptComPort = 44;

    // COM-PORT-OPTION commands as the client sends them; the server answers with
    // the same code plus ServerOffset.
    enum TComPortCommand : uint8_t {
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        NotifyLineState = 6,
        NotifyModemState = 7,
        FlowControlSuspend = 8,
        FlowControlResume = 9,
        SetLineStateMask = 10,
        SetModemStateMask = 11,
        PurgeData = 12,
    };
    static constexpr uint8_t ServerOffset = 100;
    static constexpr int CommandCount = 13;

    // The server's last answer to one command; Seen false until one came.
    // DataBefore: the size of Decode's data when the answer was decoded, so that data
    // the server sent before its answer can be told from data it sent after.
    struct TAnswer {
        bool Seen = false;
        uint32_t Value = 0;
        size_t DataBefore = 0;
    };

    // What opens the negotiation: IAC WILL/DO BINARY, IAC WILL COM-PORT-OPTION.
    std::vector<uint8_t> Greeting();

    // Splits bytes received from the peer: data bytes are appended to data, the
    // answers Telnet requires to reply, which holds what still waits to be sent (its
    // owner takes sent bytes off the front): a refusal that waits there already is not
    // added again, so a peer that repeats a request cannot make it grow. A command
    // split across calls is completed by the next call. A subnegotiation longer than
    // SubnegotiationLimit is dropped whole: the peer cannot make the codec hold more.
    void Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& data, std::vector<uint8_t>& reply);

    // Appends count data bytes for the peer to out: IAC doubled, and CR followed by
    // NUL while the peer has not agreed to receive binary.
    void Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out) const;
    // Appends IAC SB COM-PORT-OPTION command value IAC SE to out, the value's bytes
    // (most significant first) with IAC doubled.
    static void ComPortCommand(uint8_t command, const uint8_t* value, size_t size, std::vector<uint8_t>& out);

    // The server agreed to COM-PORT-OPTION (IAC DO 44) / refused it (IAC DONT 44).
    bool ComPortAccepted() const { return us_[OptComPort]; }
    bool ComPortRefused() const { return comPortRefused_; }
    bool PeerSendsBinary() const { return him_[OptBinary]; }
    bool WeSendBinary() const { return us_[OptBinary]; }

    // The server's answers; ForgetAnswer(command) before asking again.
    const TAnswer& Answer(uint8_t command) const { return answers_[command < CommandCount ? command : 0]; }
    void ForgetAnswer(uint8_t command);
    // Every SET-CONTROL answer since ForgetAnswer(SetControl), oldest first: one
    // command code answers flow control, DTR, RTS and break alike.
    const std::vector<uint8_t>& ControlAnswers() const { return controlAnswers_; }
    // The modem lines of the last NOTIFY-MODEMSTATE (the RFC 2217 bits: 0x10 CTS,
    // 0x20 DSR, 0x40 RI, 0x80 DCD); false before the first.
    bool ModemState(uint8_t& state) const;
    // The line-state bits of every NOTIFY-LINESTATE since the last call, or-ed.
    uint8_t TakeLineState();
    // Whether the server asked the client to pause sending (FLOWCONTROL-SUSPEND).
    bool SendingSuspended() const { return suspended_; }

    static constexpr size_t SubnegotiationLimit = 64;

private:
    enum class TState : uint8_t { Data, Iac, Will, Wont, Do, Dont, Sub, SubIac, Cr };

    void Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);
    void Subnegotiation(size_t dataBefore);
    static bool WeAccept(uint8_t option);
    static bool HeMayEnable(uint8_t option);

    TState state_ = TState::Data;
    std::array<bool, 256> us_{};        // options in effect on our side
    std::array<bool, 256> him_{};       // options in effect on the peer's side
    std::array<bool, 256> usAsked_{};   // we sent WILL/WONT and await DO/DONT
    std::array<bool, 256> himAsked_{};  // we sent DO/DONT and await WILL/WONT
    bool comPortRefused_ = false;
    std::vector<uint8_t> sub_;
    bool subOverflow_ = false;
    std::array<TAnswer, CommandCount> answers_{};
    std::vector<uint8_t> controlAnswers_;
    bool modemSeen_ = false;
    uint8_t modemState_ = 0;
    uint8_t lineState_ = 0;
    bool suspended_ = false;
};
