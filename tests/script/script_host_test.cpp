// The script host: a table of scripts, the frames they are given and what they do.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "SerialTypes.h"
#include "TriggerSequence.h"
#include "ZBlock.h"
#include "ZScriptFrameQueue.h"
#include "ZScriptHost.h"
#include "ZSendSequence.h"
#include "ZULDateTime.h"

namespace {

// A block as the engine hands it on: its kind, its bytes in HEX, its verdict and its
// line (-1: a capture of one line).
struct Block {
    uint8_t Kind;
    std::string Hex;
    TFrameVerdict Verdict = fvNone;
    int8_t Line = -1;
};

// The names of the two lines, as a capture of two lines marks its blocks.
const std::string_view LineNames[2] = {"host", "device"};

std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ParseSendHex(hex, bytes, error)) << error;
    return bytes;
}

void Feed(ZScriptFrameQueue& queue, const std::vector<Block>& blocks) {
    for (const Block& block : blocks) {
        const std::vector<uint8_t> bytes = Bytes(block.Hex);
        // 2026-01-01 00:00:00.25 UTC, as a capture stamps a read.
        const TDateTime time = ZULFromUnixMicros(1767225600250000);
        sBlock handed(time, bytes.data(), static_cast<int>(bytes.size()), block.Kind, block.Verdict);
        handed.Line = block.Line;
        if (block.Line >= 0) handed.LineName = LineNames[block.Line];
        queue.OnBlock(handed);
    }
}

// Records what the script drives; a send may be answered at once with blocks.
class FakeTarget : public IZScriptTarget {
public:
    FakeTarget(ZScriptFrameQueue& queue, bool port, std::vector<Block> answer)
        : queue_(queue), port_(port), answer_(std::move(answer)) {}
    bool HasPort() const override { return port_; }
    bool Send(const std::vector<uint8_t>& bytes, std::string&) override {
        Record += "send " + BytesToHex(bytes.data(), static_cast<int>(bytes.size())) + "\n";
        Feed(queue_, answer_);
        return true;
    }
    bool SetOutputLine(uint32_t function, std::string&) override {
        Record += "line " + std::to_string(function) + "\n";
        return true;
    }
    void Log(const std::string& text) override { Record += "log " + text + "\n"; }
    void LogError(const std::string& text) override { Record += "error " + text + "\n"; }

    std::string Record;

private:
    ZScriptFrameQueue& queue_;
    bool port_;
    std::vector<Block> answer_;
};

enum Source { Live, Replay };

struct Row {
    const char* Name;
    Source From;
    std::string Script;
    std::vector<Block> Frames;  // queued before the script starts
    std::string Printed = {};   // every print(), then the target's record
    int ExitCode = 0;
    std::string Error = {};  // the failure's message; empty: none
    std::vector<Block> Answer = {};
    bool StopTriggerEndsFrame = true;
};

const Block Start{bkStartTrigger, "7E"};
const Block Stop{bkStopTrigger, "0D 0A"};

// The clock of the no-yield limit: a second passes at every look, so a script that
// calls no API function trips the limit after a few instruction counts, whatever the machine.
ZScriptLimits SteppingClock() {
    ZScriptLimits limits;
    auto now = std::make_shared<ZScriptLimits::Clock::time_point>();
    limits.Now = [now] { return *now += std::chrono::seconds(1); };
    limits.MemoryBytes = size_t{8} << 20;
    return limits;
}

const std::vector<Row> Rows = {
    {"SendWithModbusCrcLowByteFirst", Live, "send(hex('11 03 00 6B 00 03'), {checksum = 'CRC-16/MODBUS'})", {},
     "send 11 03 00 6B 00 03 76 87\n"},
    {"SendWithChecksumNumberAndOrder", Live, "send('\\1\\2', {checksum = 2, order = 'lsb'})", {},
     "send 01 02 03\n"},
    {"SendWithLineEnd", Live, "send('AT', {line_end = 'crlf'})", {}, "send 41 54 0D 0A\n"},
    {"SendSlipEncoded", Live, "send(hex('C0 01'), {encode = 'slip'})", {}, "send C0 DB DC 01 C0\n"},
    {"SendCobsEncoded", Live, "send(hex('11 22 00 33'), {encode = 'cobs'})", {}, "send 03 11 22 02 33 00\n"},
    {"LineEndWithEncodeIsAnError", Live, "\nsend('A', {line_end = 'cr', encode = 'cobs'})", {}, "", 1,
     "test.lua:2: send: line_end and encode exclude each other"},
    {"UnknownChecksumIsAnError", Live, "send('A', {checksum = 'CRC-99'})", {}, "", 1,
     "test.lua:1: send: unknown checksum \"CRC-99\""},
    {"SendInAReplayIsAnError", Replay, "send('A')", {}, "", 1,
     "test.lua:1: send is not possible in a replay: a recording has no port"},
    {"ModemLinesInAReplayAreErrors", Replay, "set_dtr(true)", {}, "", 1,
     "test.lua:1: set_dtr is not possible in a replay: a recording has no port"},
    {"ModemLinesAndBreak", Live, "set_dtr(true) set_rts(false) send_break(0)", {},
     "line 5\nline 4\nline 8\nline 9\n"},
    {"HexErrorIsALuaError", Live, "hex('1G')", {}, "", 1,
     "test.lua:1: hex: \"G\" at position 2 is not a HEX digit (0-9, A-F)."},
    {"ToHex", Live, "print(tohex('\\0\\255a'))", {}, "00 FF 61\n"},
    {"ExpectHexWithWildcardSkipsOthers", Live, "print(expect('11 ?? 02', 50).hex)",
     {{bkData, "01 02"}, {bkData, "11 83 02"}}, "11 83 02\n", 0, "", {}, false},
    {"ExpectFunction", Live, "print(expect(function(f) return f.data == '\\2' end, 50).hex)",
     {{bkData, "01"}, {bkData, "02"}}, "02\n", 0, "", {}, false},
    {"ExpectTimesOutWithNil", Live, "print(expect('AA', 20), read_frame(0))", {{bkData, "01"}}, "nil\tnil\n", 0,
     "", {}, false},
    {"ExpectSeesAnAnswerThatCameBeforeIt", Live, "send('Q') print(expect('41', 20000).hex)", {},
     "41 42\nsend 51\n", 0, "", {{bkData, "41 42"}}, false},
    {"SendForgetsTheFramesBeforeIt", Live, "send('Q') print(expect('41', 0))", {{bkData, "41"}}, "nil\nsend 51\n",
     0, "", {}, false},
    {"BadPatternIsAnError", Live, "expect('1?', 0)", {}, "", 1,
     "test.lua:1: expect: \"?\" at position 2 is not a HEX digit (0-9, A-F) or \"??\"."},
    {"FrameTable", Replay,
     "local f = read_frame(0) print(f.hex, f.data, f.checksum, f.time, #f.bytes) print(read_frame(0))",
     {Start, {bkData, "41 42"}, {bkStopTrigger, "0D 0A", fvBad}}, "7E 41 42 0D 0A\tAB\tbad\t1767225600.25\t5\nnil\n"},
    {"TwoLinesInterleavedStayApart", Replay,
     "while true do local f = read_frame(0) if not f then break end print(f.hex, f.line, f.line_name) end",
     {{bkStartTrigger, "7E", fvNone, 0}, {bkStartTrigger, "7E", fvNone, 1}, {bkData, "31", fvNone, 1},
      {bkTrash, "FF", fvNone, 1}, {bkData, "30", fvNone, 0}, {bkStopTrigger, "0D 0A", fvNone, 0},
      {bkStartTrigger, "7E", fvNone, 1}, {bkData, "32", fvNone, 1}, {bkStopTrigger, "0D 0A", fvNone, 1},
      Start, {bkData, "33"}, Stop},
     "7E 30 0D 0A\t0\thost\n7E 32 0D 0A\t1\tdevice\n7E 33 0D 0A\tnil\tnil\n"},
    {"TrashAndFlushAreNoFrames", Replay, "while true do local f = read_frame(0) if not f then break end print(f.hex) end",
     {{bkTrash, "FF"}, {bkData, "01"}, {bkFlush, "03"}, {bkData, "02"}, {bkStartTrigger, "7E", fvBad}, {bkData, "04"}},
     "01\n02\n04\n", 0, "", {}, false},
    {"OnFrameSeesEveryFrameInOrder", Replay, "on_frame(function(f) print(f.data) end)",
     {{bkData, "31"}, {bkData, "32"}, {bkData, "33"}}, "1\n2\n3\n", 0, "", {}, false},
    {"OnFrameErrorEndsTheScript", Replay, "on_frame(function(f)\n error('bad ' .. f.data) end)",
     {{bkData, "31"}, {bkData, "32"}}, "", 1, "test.lua:2: bad 1", {}, false},
    {"SandboxRefusals", Live,
     "print(io, os.execute, os.exit, os.getenv, dofile, loadfile, require, package)\n"
     "print(load(string.dump(function() end)))\n"
     "print(load('return 1 + 1')(), type(os.time()), type(os.clock()), type(os.date()))",
     {}, "nil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\nnil\tattempt to load a binary chunk (mode is 't')\n2\tnumber\tnumber\tstring\n"},
    {"NoYieldLimit", Live, "local n = 0\nwhile true do n = n + 1 end", {}, "", 1,
     "test.lua:2: the script did not yield for 5 s"},
    {"ApiCallsKeepTheScriptGoing", Live, "for i = 1, 20000 do tohex('a') end print('done')", {}, "done\n"},
    {"MemoryCap", Live, "local t = {} for i = 1, 1e7 do t[i] = hex('41') .. string.rep('x', 64) .. i end", {}, "", 1,
     "test.lua: the script used more than its memory cap of 8 MB"},
    {"ErrorWithLine", Live, "local x\n\nx.y = 1", {}, "", 1, "test.lua:3: attempt to index a nil value (local 'x')"},
    {"SyntaxError", Live, "print(", {}, "", 1, "test.lua:1: unexpected symbol near <eof>"},
    {"ExitCode", Live, "print('a') exit(3) print('b')", {}, "a\n", 3},
    {"ExitWithoutCode", Live, "exit()", {}, "", 0},
    {"ExitCaughtByPcallStillEnds", Live, "pcall(exit, 4) print('not reached')", {}, "", 4},
    {"ExitCodeOutOfRange", Live, "exit(256)", {}, "", 1,
     "test.lua:1: bad argument #1 to 'exit' (an exit code is 0 to 255)"},
    {"LogGoesToTheTarget", Live, "log('checked ' .. 3)", {}, "log checked 3\n"},
};

class ScriptHostTest : public testing::TestWithParam<Row> {};

TEST_P(ScriptHostTest, RunsAsTheRowSays) {
    const Row& row = GetParam();
    ZScriptFrameQueue queue(row.StopTriggerEndsFrame, row.From == Replay);
    FakeTarget target(queue, row.From == Live, row.Answer);
    std::string printed;
    ZScriptHost host(queue, target, SteppingClock(), [&](const std::string& line) { printed += line; });
    Feed(queue, row.Frames);
    if (row.From == Replay) queue.Close();
    host.LoadSource("test.lua", row.Script);
    host.Begin();
    ASSERT_TRUE(host.WaitDone(std::chrono::minutes(2)));
    EXPECT_EQ(host.ErrorText(), row.Error);
    EXPECT_EQ(host.Failed(), !row.Error.empty());
    EXPECT_EQ(host.ExitCode(), row.ExitCode);
    const std::string errorRecord = row.Error.empty() ? "" : "error " + row.Error + "\n";
    EXPECT_EQ(printed + target.Record, row.Printed + errorRecord);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptHostTest, testing::ValuesIn(Rows),
                         [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.Name); });

}  // namespace

namespace {

// A live capture never waits for the script: one frame past the queue's bound ends it
// with an error instead of a silent loss; a replay waits for it and loses nothing.
TEST(ScriptQueueTest, OverrunEndsALiveScriptAndAReplayWaits) {
    for (const bool replay : {false, true}) {
        ZScriptFrameQueue queue(false, replay);
        FakeTarget target(queue, !replay, {});
        std::string printed;
        ZScriptHost host(queue, target, ZScriptLimits(), [&](const std::string& line) { printed += line; });
        host.LoadSource("test.lua", "local n = 0 while read_frame(0) do n = n + 1 end print(n)");
        std::thread feeder;
        if (replay) {
            host.Begin();
            feeder = std::thread([&] {
                for (size_t i = 0; i <= ZScriptFrameQueue::MaxFrames; ++i) Feed(queue, {{bkData, "01"}});
                queue.Close();
            });
        } else {
            for (size_t i = 0; i <= ZScriptFrameQueue::MaxFrames; ++i) Feed(queue, {{bkData, "01"}});
            host.Begin();
        }
        ASSERT_TRUE(host.WaitDone(std::chrono::minutes(2)));
        if (feeder.joinable()) feeder.join();
        if (replay) {
            EXPECT_FALSE(host.Failed()) << host.ErrorText();
            EXPECT_EQ(printed, std::to_string(ZScriptFrameQueue::MaxFrames + 1) + "\n");
        } else {
            EXPECT_EQ(host.ErrorText(),
                      "test.lua:1: more than 100000 frames waited for the script; it ends so that none is lost unseen");
        }
    }
}

// Stop ends a script wherever it waits or runs, and that end is no failure.
TEST(ScriptQueueTest, StopEndsWaitsAndLoopsWithoutFailure) {
    for (const char* script : {"sleep(3600000)", "expect('AA', 3600000)", "on_frame(print)", "while true do end"}) {
        ZScriptFrameQueue queue(false, false);
        FakeTarget target(queue, true, {});
        ZScriptHost host(queue, target, ZScriptLimits(), [](const std::string&) {});
        host.LoadSource("test.lua", script);
        host.Begin();
        host.Stop();
        EXPECT_TRUE(host.IsDone()) << script;
        EXPECT_FALSE(host.Failed()) << script << ": " << host.ErrorText();
        EXPECT_EQ(host.ExitCode(), 0) << script;
    }
}

}  // namespace
