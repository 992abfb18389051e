// kestrun-cli script and replay --script: the samples against the simulated Modbus
// server and the demonstration recording, exit codes and errors.

#include <thread>

#include "CliTestSupport.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

struct ScriptRow {
    const char* Name;
    std::string Script;  // a sample's file name, or the text of a script written for the row
    std::string Settings;
    std::string Input;  // a replay's recording; empty: a live capture of the simulated Modbus server
    int Code;
    std::string Out;  // the start of standard output
    std::string Err = {};  // a line standard error holds; empty: not checked
    std::string Log = {};  // the text of an information line the log files hold; empty: not checked
};

// Whether a log file in dir holds the line "Information at HH:MM:SS: <text>".
bool LogFilesHoldInformation(const std::string& dir, const std::string& text) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        for (const std::string& line : ReadLogLines(entry.path().string()))
            if (MatchesShape(line, "Information at 99:99:99: " + text)) return true;
    return false;
}

const std::vector<ScriptRow> Rows = {
    {"StayInRangeOverTheDemonstrationRecording", "stay_in_range.lua", "demo_dynamic.scs", "demo_dynamic.bin", 0,
     "100 reports, every temperature within 20 to 40 \xC2\xB0""C\n"},
    {"AReportOutOfRangeFails", "local f = read_frame(0)\nif f.fields.temperature < 25 then exit(1) end",
     "demo_dynamic.scs", "demo_dynamic.bin", 1, ""},
    {"ExitCodeOfAReplay", "exit(7)", "demo_dynamic.scs", "demo_dynamic.bin", 7, ""},
    {"ErrorOfAReplayNamesFileAndLine", "\nerror('wrong')", "demo_dynamic.scs", "demo_dynamic.bin", 1, "",
     "script.lua:2: wrong"},
    {"LogWritesAnInformationIntoTheLogFiles", "log('checked\\n' .. 3)", "demo_dynamic.scs",
     "demo_dynamic.bin", 0, "", "", "checked 3"},
    {"OnFrameCountsTheRecording", "n = 0 on_frame(function(f) n = n + 1 if n == 100 then print(n) end end)",
     "demo_dynamic.scs", "demo_dynamic.bin", 0, "100\n"},
    {"ModbusCheckAgainstTheSimulator", "modbus_check.lua", "demo_modbus.scs", "", 0,
     "ok    registers 0 to 3 answered\nok    register 0 = 0 (expected 0)\n"},
    {"SendOnLiveCapture", "send(hex('11 03 00 00 00 01'), {checksum = 'CRC-16/MODBUS'})\n"
                          "print(expect('11 03 02 00 00', 5000).checksum)",
     "demo_modbus.scs", "", 0, "good\n"},
};

bool WaitForLink(const std::string& link) {
    for (int i = 0; i < 1000; ++i) {
        std::error_code error;
        if (!std::filesystem::read_symlink(link, error).empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class ScriptCommandTest : public testing::TestWithParam<ScriptRow> {};

TEST_P(ScriptCommandTest, RunsAsTheRowSays) {
    const ScriptRow& row = GetParam();
    ScratchDir dir;
    std::string script = ZULGetSamplesDir() + row.Script;
    if (row.Script.find(".lua") == std::string::npos) {
        script = dir / "script.lua";
        WriteFile(script, row.Script);
    }
    const std::string settings = ZULGetSamplesDir() + row.Settings;
    CliResult result;
    if (!row.Input.empty()) {
        result = RunCli({"replay", "--settings", settings, "--input", ZULGetSamplesDir() + row.Input, "--out",
                         dir / "logs", "--script", script});
    } else {
        std::atomic<bool> stop{false};
        std::thread simulator([&] { RunCli({"simulate", "--port", "93", "--mode", "modbus"}, &stop); });
        // The ports are scanned once per process, before this link came: its path is given.
        const std::string link = TestHome() + "ports/com93";
        const bool linked = WaitForLink(link);
        if (linked)
            result = RunCli({"script", script, "--settings", settings, "--device", link, "--out", dir / "logs",
                             "--duration", "60"});
        stop = true;
        simulator.join();
        ASSERT_TRUE(linked);
    }
    EXPECT_EQ(result.Code, row.Code) << result.Out << result.Err;
    EXPECT_EQ(result.Out.substr(0, row.Out.size()), row.Out) << result.Out;
    EXPECT_NE(result.Err.find(row.Err), std::string::npos) << result.Err;
    if (!row.Log.empty()) {
        EXPECT_TRUE(LogFilesHoldInformation(dir / "logs", row.Log)) << row.Log;
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptCommandTest, testing::ValuesIn(Rows),
                         [](const testing::TestParamInfo<ScriptRow>& row) { return std::string(row.param.Name); });

TEST(ScriptCommandTest, AScriptThatCannotBeReadIsBadUsage) {
    ScratchDir dir;
    const CliResult result = RunCli({"replay", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--input",
                                     ZULGetSamplesDir() + "demo_dynamic.bin", "--out", dir / "logs", "--script",
                                     dir / "missing.lua"});
    EXPECT_EQ(result.Code, 2);
    EXPECT_EQ(result.Err, "The script \"" + dir / "missing.lua" + "\" cannot be read: No such file or directory.\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "logs")) << "a run that never started made its log folder";
}

}  // namespace
}  // namespace clitest
