// "Run script..." on the Send page: a Lua script against the running capture, its
// output in the pane below, Stop, and the script offered again from the settings.

#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "MainWindowTestSupport.h"
#include "ZFileDialog.h"
#include "ZLogger.h"

using namespace maintest;

namespace {

constexpr int WaitMs = 20000;

class ScriptPaneTest : public MainWindowTest {
protected:
    // A capture of lines (frames ending with 0D 0A) from the pseudo-terminal.
    void StartCapture() {
        if (!std::filesystem::exists(Home() + "ports/com98")) LinkPtyPort();
        char junk[4096];
        while (read(TestPty().Master(), junk, sizeof junk) > 0) {
        }
        ZLoggerSettings settings;
        settings.LogDir = Home();
        settings.CaptureMode = cmUntilStopTrigger;
        settings.TriggerStop = {0x0D, 0x0A};
        Window().ShowSettings(settings);
        ASSERT_TRUE(Window().GetLogger()->SetSettings(Window().CollectSettings()));
        auto* ports = Find<QComboBox>("cb_COMPorts");
        ports->lineEdit()->clear();
        QTest::keyClicks(ports->lineEdit(), "COM98");
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
        Click("btn_StartCapture");
        ASSERT_TRUE(Find<QPushButton>("btn_RunScript")->isEnabled());
    }
    // Runs the script text through the file dialog, as a user chooses it.
    std::string RunScript(const std::string& text) {
        const std::string path = Home() + "check.lua";
        std::ofstream(path) << text;
        ZFileDialog::SetNextAnswer(QString::fromStdString(path));
        Click("btn_RunScript");
        ZFileDialog::Reset();
        return path;
    }
    QString Output() { return Find<QPlainTextEdit>("txt_ScriptOutput")->toPlainText(); }
    bool WaitForOutput(const QString& text) {
        return QTest::qWaitFor([&] { return Output().contains(text); }, WaitMs);
    }
};

TEST_F(ScriptPaneTest, RunsAgainstTheCaptureShowsItsOutputAndIsOfferedAgain) {
    EXPECT_FALSE(Find<QPushButton>("btn_RunScript")->isEnabled()) << "no capture runs";
    StartCapture();
    const std::string path = RunScript("send('Q')\nprint('got ' .. expect('41 42', 20000).hex)\nexit(5)");
    EXPECT_FALSE(Find<QPushButton>("btn_RunScript")->isEnabled()) << "a script runs";
    EXPECT_TRUE(Find<QPushButton>("btn_StopScript")->isEnabled());
    std::string received;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            char byte = 0;
            if (read(TestPty().Master(), &byte, 1) == 1) received += byte;
            return received == "Q";
        },
        WaitMs));
    ASSERT_EQ(write(TestPty().Master(), "AB\r\n", 4), 4);
    ASSERT_TRUE(WaitForOutput("The script ended with exit code 5.")) << Output().toStdString();
    EXPECT_EQ(Output(), "Running check.lua\ngot 41 42 0D 0A\nThe script ended with exit code 5.");
    EXPECT_TRUE(Find<QPushButton>("btn_RunScript")->isEnabled());
    EXPECT_EQ(Window().CollectSettings().Send.ScriptFile, path);
}

TEST_F(ScriptPaneTest, StopAndTheEndOfTheCaptureEndAScriptAndErrorsShowTheirLine) {
    StartCapture();
    RunScript("sleep(3600000)");
    Click("btn_StopScript");
    EXPECT_TRUE(Output().endsWith("The script ended with exit code 0.")) << Output().toStdString();
    RunScript("\nexpect('AA', 3600000)");
    Click("btn_StopCapture");
    EXPECT_FALSE(Find<QPushButton>("btn_StopScript")->isEnabled());
    EXPECT_TRUE(Output().endsWith("The script ended with exit code 0.")) << Output().toStdString();
    StartCapture();
    RunScript("\nlocal x = nil + 1");
    ASSERT_TRUE(WaitForOutput("The script ended with exit code 1.")) << Output().toStdString();
    EXPECT_TRUE(Output().contains(QString::fromStdString(Home() + "check.lua:2: attempt to perform arithmetic on a nil value")))
        << Output().toStdString();
}

}  // namespace
