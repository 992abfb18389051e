// The terminal window of the main window: shown by its button, silent without a
// capture, and talking to the device through the running capture.

#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "MainWindowTestSupport.h"
#include "Tfrm_Term.h"
#include "ZLogger.h"

using namespace maintest;

namespace {

constexpr int WaitMs = 20000;

class MainTerminalTest : public MainWindowTest {};

TEST_F(MainTerminalTest, TalksThroughTheRunningCapture) {
    LinkPtyPort();
    char junk[4096];
    while (read(TestPty().Master(), junk, sizeof junk) > 0) {
    }
    Tfrm_Term* terminal = Window().GetTerminalWindow();
    ASSERT_NE(terminal, nullptr);
    Click("btn_ShowTerminal");
    EXPECT_TRUE(terminal->isVisible());
    auto* status = terminal->findChild<QLabel*>(QStringLiteral("lbl_Status"));
    auto* input = terminal->findChild<QLineEdit*>(QStringLiteral("ed_Input"));
    ASSERT_NE(status, nullptr);
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(status->text(), "Start capture to talk to the device");

    ZLoggerSettings settings;
    settings.LogDir = Home();
    Window().ShowSettings(settings);
    ASSERT_TRUE(Window().GetLogger()->SetSettings(Window().CollectSettings()));
    auto* ports = Find<QComboBox>("cb_COMPorts");
    ports->lineEdit()->clear();
    QTest::keyClicks(ports->lineEdit(), "COM98");
    QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
    boxes_.clear();
    Click("btn_StartCapture");
    ASSERT_TRUE(boxes_.empty()) << boxes_[0];
    EXPECT_EQ(status->text(), "");

    input->setText(QStringLiteral("AT"));
    QTest::keyClick(input, Qt::Key_Return);
    std::string received;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            char buffer[64];
            const ssize_t got = read(TestPty().Master(), buffer, sizeof buffer);
            if (got > 0) received.append(buffer, static_cast<size_t>(got));
            return received.size() >= 3;
        },
        WaitMs))
        << status->text().toStdString();
    EXPECT_EQ(received, "AT\r");
    ASSERT_EQ(write(TestPty().Master(), "OK\r\n", 4), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return terminal->ShownText() == "OK\n"; }, WaitMs))
        << terminal->ShownText().toStdString();
    // The keystrokes are a send of the capture, counted as the Send page's are.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Find<QLabel>("lbl_BytesSent")->text() == "3"; }, WaitMs));

    Click("btn_StopCapture");
    EXPECT_EQ(status->text(), "Start capture to talk to the device");
}

}  // namespace
