#include "TTelnetCodec.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr uint8_t CR = 13;
constexpr size_t ControlAnswerLimit = 16;
}  // namespace

std::vector<uint8_t> TTelnetCodec::Greeting() {
    usAsked_[OptBinary] = true;
    himAsked_[OptBinary] = true;
    usAsked_[OptComPort] = true;
    return {IAC, WILL, OptBinary, IAC, DO, OptBinary, IAC, WILL, OptComPort};
}

bool TTelnetCodec::WeAccept(uint8_t option) {
    return option == OptBinary || option == OptSuppressGoAhead || option == OptComPort;
}

bool TTelnetCodec::HeMayEnable(uint8_t option) {
    return option == OptBinary || option == OptSuppressGoAhead;
}

void TTelnetCodec::Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& data,
                          std::vector<uint8_t>& reply) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        switch (state_) {
            case TState::Cr:
                state_ = TState::Data;
                // NVT sends a bare CR as CR NUL.
                if (byte == 0) break;
                [[fallthrough]];
            case TState::Data:
                if (byte == IAC) {
                    state_ = TState::Iac;
                } else {
                    data.push_back(byte);
                    if (byte == CR && !him_[OptBinary]) state_ = TState::Cr;
                }
                break;
            case TState::Iac:
                switch (byte) {
                    case IAC:
                        data.push_back(IAC);
                        state_ = TState::Data;
                        break;
                    case WILL:
                        state_ = TState::Will;
                        break;
                    case WONT:
                        state_ = TState::Wont;
                        break;
                    case DO:
                        state_ = TState::Do;
                        break;
                    case DONT:
                        state_ = TState::Dont;
                        break;
                    case SB:
                        sub_.clear();
                        subOverflow_ = false;
                        state_ = TState::Sub;
                        break;
                    default:  // NOP, GA, DM and the other two-byte commands carry nothing for a port
                        state_ = TState::Data;
                        break;
                }
                break;
            case TState::Will:
            case TState::Wont:
            case TState::Do:
            case TState::Dont: {
                const uint8_t verb = state_ == TState::Will   ? WILL
                                     : state_ == TState::Wont ? WONT
                                     : state_ == TState::Do   ? DO
                                                              : DONT;
                state_ = TState::Data;
                Negotiate(verb, byte, reply);
                break;
            }
            case TState::Sub:
                if (byte == IAC) {
                    state_ = TState::SubIac;
                } else if (sub_.size() < SubnegotiationLimit) {
                    sub_.push_back(byte);
                } else {
                    subOverflow_ = true;
                }
                break;
            case TState::SubIac:
                if (byte == IAC) {
                    if (sub_.size() < SubnegotiationLimit)
                        sub_.push_back(IAC);
                    else
                        subOverflow_ = true;
                    state_ = TState::Sub;
                } else if (byte == SE) {
                    if (!subOverflow_) Subnegotiation(data.size());
                    state_ = TState::Data;
                } else {
                    // An unterminated subnegotiation (RFC 855 leaves it to the receiver):
                    // dropped, and the byte read as the command it would otherwise be.
                    state_ = TState::Iac;
                    --i;
                }
                break;
        }
    }
}

void TTelnetCodec::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
    const auto send = [&reply, option](uint8_t answer) { reply.insert(reply.end(), {IAC, answer, option}); };
    // A refusal changes no state, so one still waiting answers every repetition of
    // the request. Answers are three bytes that start with IAC and IAC is no verb:
    // the three bytes match nowhere but at an answer's start.
    const auto refuse = [&reply, option](uint8_t answer) {
        const uint8_t wanted[] = {IAC, answer, option};
        if (std::search(reply.begin(), reply.end(), std::begin(wanted), std::end(wanted)) == reply.end())
            reply.insert(reply.end(), std::begin(wanted), std::end(wanted));
    };
    switch (verb) {
        case WILL:
            if (him_[option]) break;
            if (HeMayEnable(option)) {
                him_[option] = true;
                if (!himAsked_[option]) send(DO);
            } else {
                refuse(DONT);
            }
            himAsked_[option] = false;
            break;
        case WONT:
            if (him_[option]) {
                him_[option] = false;
                if (!himAsked_[option]) send(DONT);
            }
            himAsked_[option] = false;
            break;
        case DO:
            if (us_[option]) break;
            if (WeAccept(option)) {
                us_[option] = true;
                if (!usAsked_[option]) send(WILL);
            } else {
                refuse(WONT);
            }
            usAsked_[option] = false;
            break;
        default:  // DONT
            if (option == OptComPort) comPortRefused_ = true;
            if (us_[option]) {
                us_[option] = false;
                if (!usAsked_[option]) send(WONT);
            }
            usAsked_[option] = false;
            break;
    }
}

void TTelnetCodec::Subnegotiation(size_t dataBefore) {
    if (sub_.size() < 2 || sub_[0] != OptComPort || sub_[1] < ServerOffset) return;
    const int command = sub_[1] - ServerOffset;
    if (command >= CommandCount) return;
    uint32_t value = 0;
    for (size_t i = 2; i < sub_.size() && i < 6; ++i) value = (value << 8) | sub_[i];
    switch (command) {
        case NotifyLineState:
            lineState_ |= static_cast<uint8_t>(value);
            break;
        case NotifyModemState:
            modemState_ = static_cast<uint8_t>(value);
            modemSeen_ = true;
            break;
        case FlowControlSuspend:
            suspended_ = true;
            break;
        case FlowControlResume:
            suspended_ = false;
            break;
        case SetControl:
            if (controlAnswers_.size() < ControlAnswerLimit)
                controlAnswers_.push_back(static_cast<uint8_t>(value));
            [[fallthrough]];
        default:
            answers_[static_cast<size_t>(command)] = {true, value, dataBefore};
            break;
    }
}

void TTelnetCodec::Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out) const {
    for (size_t i = 0; i < count; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == IAC) out.push_back(IAC);
        if (bytes[i] == CR && !us_[OptBinary]) out.push_back(0);
    }
}

void TTelnetCodec::ComPortCommand(uint8_t command, const uint8_t* value, size_t size,
                                  std::vector<uint8_t>& out) {
    out.insert(out.end(), {IAC, SB, OptComPort, command});
    for (size_t i = 0; i < size; ++i) {
        out.push_back(value[i]);
        if (value[i] == IAC) out.push_back(IAC);
    }
    out.insert(out.end(), {IAC, SE});
}

void TTelnetCodec::ForgetAnswer(uint8_t command) {
    if (command >= CommandCount) return;
    answers_[command] = {};
    if (command == SetControl) controlAnswers_.clear();
}

bool TTelnetCodec::ModemState(uint8_t& state) const {
    state = modemState_;
    return modemSeen_;
}

uint8_t TTelnetCodec::TakeLineState() {
    const uint8_t state = lineState_;
    lineState_ = 0;
    return state;
}
