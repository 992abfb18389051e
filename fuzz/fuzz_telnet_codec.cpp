// The Telnet codec on whatever a peer sends: decoding does not depend on how the
// bytes are split into reads (the same data, answers and state), and data encoded
// for the peer decodes back to itself, with and without binary agreed. The first
// input byte picks the reads, the second whether binary is agreed.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzInput.h"
#include "TTelnetCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Feeds bytes to codec in reads whose sizes (1 to 16) follow seed.
void DecodeInReads(TTelnetCodec& codec, const uint8_t* bytes, size_t count, uint32_t seed, Bytes& data,
                   Bytes& reply) {
    for (size_t at = 0; at < count;) {
        seed = seed * 1103515245u + 12345u;
        const size_t size = std::min<size_t>(1 + (seed >> 16) % 16, count - at);
        codec.Decode(bytes + at, size, data, reply);
        at += size;
    }
}

bool SameState(TTelnetCodec& a, TTelnetCodec& b) {
    for (uint8_t command = 0; command < TTelnetCodec::CommandCount; ++command) {
        const TTelnetCodec::TAnswer& x = a.Answer(command);
        const TTelnetCodec::TAnswer& y = b.Answer(command);
        if (x.Seen != y.Seen || x.Value != y.Value || x.DataBefore != y.DataBefore) return false;
    }
    uint8_t modemA = 0, modemB = 0;
    return a.ComPortAccepted() == b.ComPortAccepted() && a.ComPortRefused() == b.ComPortRefused() &&
           a.PeerSendsBinary() == b.PeerSendsBinary() && a.WeSendBinary() == b.WeSendBinary() &&
           a.ControlAnswers() == b.ControlAnswers() && a.ModemState(modemA) == b.ModemState(modemB) &&
           modemA == modemB && a.TakeLineState() == b.TakeLineState() &&
           a.SendingSuspended() == b.SendingSuspended();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    TFuzzInput fuzz(input, size);
    const uint32_t seed = fuzz.Byte();
    const bool binary = fuzz.Flag();
    // The answers pile up here as nobody sends them, and each refusal looks through
    // them: past a few KB a run would measure that, not the codec.
    constexpr size_t MaxStream = 16 * 1024;
    size_t count = 0;
    const uint8_t* bytes = fuzz.Take(MaxStream, count);

    TTelnetCodec whole, split;
    whole.Greeting();
    split.Greeting();
    Bytes wholeData, wholeReply, splitData, splitReply;
    whole.Decode(bytes, count, wholeData, wholeReply);
    DecodeInReads(split, bytes, count, seed, splitData, splitReply);
    Require(splitData == wholeData, "the data do not depend on how the bytes are split");
    Require(splitReply == wholeReply, "the answers do not depend on how the bytes are split");
    Require(SameState(whole, split), "the state does not depend on how the bytes are split");

    // A sender whose peer asked for binary (or not), a receiver whose peer agreed to send it.
    TTelnetCodec sender, receiver;
    Bytes ignored, encoded, decoded;
    const Bytes asked = {TTelnetCodec::IAC, TTelnetCodec::DO, TTelnetCodec::OptBinary};
    const Bytes agreed = {TTelnetCodec::IAC, TTelnetCodec::WILL, TTelnetCodec::OptBinary};
    if (binary) {
        sender.Decode(asked.data(), asked.size(), ignored, ignored);
        receiver.Decode(agreed.data(), agreed.size(), ignored, ignored);
    }
    sender.Encode(bytes, count, encoded);
    DecodeInReads(receiver, encoded.data(), encoded.size(), seed, decoded, ignored);
    Require(decoded == Bytes(bytes, bytes + count), "encoded data decode back to themselves");
    return 0;
}
