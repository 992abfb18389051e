// Captures driven from the main window: a whole capture through a pseudo-terminal
// port, closing while a capture runs, and the counts a finished capture shows when
// the status pump has dropped messages.

#include <poll.h>
#include <sys/ioctl.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "LogFileOrder.h"
#include "MainWindowTestSupport.h"
#include "ZCliCommandLine.h"
#include "ZLogger.h"

using namespace maintest;

namespace {

constexpr int WaitMs = 20000;

// The log files of a folder in the order written, each line with its time of day masked.
std::vector<std::string> LogLines(const std::string& folder, size_t* fileCount = nullptr) {
    std::vector<std::string> names;
    for (const auto& file : LogFilesInWrittenOrder(folder)) names.push_back(file.string());
    if (fileCount) *fileCount = names.size();
    std::vector<std::string> lines;
    for (const std::string& name : names) {
        std::ifstream file(name, std::ios::binary);
        std::string line;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            for (size_t i = 0; i + 8 <= line.size(); ++i) {
                const auto digit = [&](size_t k) {
                    return std::isdigit(static_cast<unsigned char>(line[i + k])) != 0;
                };
                if (digit(0) && digit(1) && line[i + 2] == ':' && digit(3) && digit(4) &&
                    line[i + 5] == ':' && digit(6) && digit(7))
                    line.replace(i, 8, "HH:MM:SS");
            }
            lines.push_back(line);
        }
    }
    return lines;
}

class CaptureFromWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        LinkPtyPort();
        logDir_ = Home() + "live/";
        std::filesystem::create_directories(logDir_);
        // Bytes of an earlier test must not reach this one.
        char junk[4096];
        while (read(TestPty().Master(), junk, sizeof junk) > 0) {
        }
        tcflush(TestPty().Slave(), TCIFLUSH);
    }

    // Between '<' and '>', counting "AB" and "x".
    ZLoggerSettings FrameSettings() const {
        ZLoggerSettings settings;
        settings.LogDir = logDir_;
        settings.CaptureMode = cmBetweenTriggers;
        settings.TriggerStart = {'<'};
        settings.TriggerStop = {'>'};
        settings.MaxBytesInLogLine = 8;
        settings.MaxLinesInLogFile = 50;
        settings.DataTriggers.Add(TTriggerSequence{'A', 'B'});
        settings.DataTriggers.Add(TTriggerSequence{'x'});
        return settings;
    }

    void ChoosePtyPort() {
        auto* ports = Find<QComboBox>("cb_COMPorts");
        ports->lineEdit()->clear();
        QTest::keyClicks(ports->lineEdit(), "COM98");
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
        boxes_.clear();
        ASSERT_EQ(Window().GetLogger()->GetCOMPort(), PtyPort);
    }

    // Writes all bytes into the device side, waiting while the pair is full.
    static void Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = write(TestPty().Master(), bytes.data() + done, bytes.size() - done);
            if (put > 0) {
                done += static_cast<size_t>(put);
                continue;
            }
            ASSERT_TRUE(errno == EAGAIN || errno == EINTR) << strerror(errno);
            pollfd fd{TestPty().Master(), POLLOUT, 0};
            poll(&fd, 1, 100);
            QApplication::processEvents();
        }
    }

    // Bytes written but not yet read by the capture.
    static int Unread() {
        int waiting = 0;
        ioctl(TestPty().Slave(), FIONREAD, &waiting);
        return waiting;
    }

    QString Text(const char* label) { return Find<QLabel>(label)->text(); }

    std::string logDir_;
};

}  // namespace

TEST_F(CaptureFromWindowTest, AWholeCaptureCountsAndLogsWhatReplayMakesOfTheSameBytes) {
    Window().ShowSettings(FrameSettings());
    ChoosePtyPort();
    Click("btn_StartCapture");
    ASSERT_TRUE(boxes_.empty()) << boxes_[0];
    ASSERT_TRUE(Window().GetLogger()->IsCapturing());
    EXPECT_EQ(Find<QGroupBox>("grp_Stati")->title(), "Stati (capture in progress...)");
    EXPECT_FALSE(Find<QPushButton>("btn_StartCapture")->isEnabled());

    // The running capture keeps its port: the field is not offered.
    EXPECT_FALSE(Find<QComboBox>("cb_COMPorts")->isEnabled());

    std::string stream;
    for (int i = 0; i < 300; ++i) stream += "<ABxAB>";
    Send(stream);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("lbl_TotalBytes") != "0"; }, WaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Unread() == 0; }, WaitMs));
    Click("btn_StopCapture");
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(Window().GetLogger()->IsCapturing());

    EXPECT_EQ(Text("lbl_TotalBytes"), "2100");
    EXPECT_EQ(Text("lbl_StartTriggers"), "300 (300 bytes)");
    EXPECT_EQ(Text("lbl_StopTriggers"), "300 (300 bytes)");
    EXPECT_EQ(Text("lbl_DataPackets"), "300 (1500 bytes)");
    EXPECT_EQ(Text("lbl_BytesThrown"), "0");
    auto* grid = Find<QTableWidget>("DTrgList");
    EXPECT_EQ(grid->item(0, 1)->text(), "600");
    EXPECT_EQ(grid->item(1, 1)->text(), "300");
    EXPECT_EQ(Find<QGroupBox>("grp_Stati")->title(), "Stati (capture stopped)");
    EXPECT_TRUE(Find<QPushButton>("btn_StartCapture")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("btn_StopCapture")->isEnabled());

    // The same bytes through kestrun-cli replay, with the settings the capture ran on.
    const std::string settingsFile = Home() + "capture.scs";
    std::string errorText;
    ASSERT_TRUE(Window().GetLogger()->SaveSettings(settingsFile, true, errorText)) << errorText;
    const std::string input = Home() + "capture.bin";
    WriteBytes(input, stream);
    const std::string replayDir = Home() + "replayed/";
    std::filesystem::create_directories(replayDir);
    std::ostringstream out, err;
    ZCliContext context{out, err};
    const std::vector<std::string> args{"kestrun-cli", "replay", "--settings", settingsFile,
                                        "--input",     input,    "--out",      replayDir};
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    ASSERT_EQ(ZCliRun(static_cast<int>(argv.size()), argv.data(), context), kCliExitOk) << err.str();

    size_t liveFiles = 0, replayFiles = 0;
    const std::vector<std::string> live = LogLines(logDir_, &liveFiles);
    const std::vector<std::string> replayed = LogLines(replayDir, &replayFiles);
    EXPECT_GT(liveFiles, 1u);
    EXPECT_EQ(liveFiles, replayFiles);
    // Nobody asks the window for the names of its files; a long capture must not pile them up.
    EXPECT_TRUE(Window().GetLogger()->GetLogFileManager().TakeWrittenFiles().empty());
    ASSERT_FALSE(live.empty());
    EXPECT_EQ(live.size(), replayed.size());
    const auto differ = std::mismatch(live.begin(), live.end(), replayed.begin(), replayed.end());
    EXPECT_TRUE(differ.first == live.end())
        << "first difference at line " << (differ.first - live.begin()) << ": " << *differ.first;
}

TEST_F(CaptureFromWindowTest, ClosingDuringACaptureStopsItWritesTheLastBlockAndSaves) {
    Window().ShowSettings(FrameSettings());
    ChoosePtyPort();
    Click("btn_StartCapture");
    ASSERT_TRUE(Window().GetLogger()->IsCapturing());
    Send("<AB><unfinished");
    // A pseudo-terminal hands written bytes on a moment later: the count of the frame
    // and the next start trigger shows they arrived.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("lbl_TotalBytes") == "5"; }, WaitMs))
        << Text("lbl_TotalBytes").toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Unread() == 0; }, WaitMs));
    Window().close();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Window().GetLogger(), nullptr);
    ASSERT_TRUE(std::filesystem::exists(Home() + "_last_used.scs"));
    size_t files = 0;
    const std::vector<std::string> lines = LogLines(logDir_, &files);
    EXPECT_EQ(files, 1u);

    // The unfinished frame's start trigger was handed out when it came; the rest is flushed.
    const auto flushed = std::find(lines.begin(), lines.end(), "Flushed data at HH:MM:SS (10 bytes)");
    ASSERT_NE(flushed, lines.end());
    ASSERT_LT(flushed + 1, lines.end());
    EXPECT_EQ(flushed[1], "HEX:   75 6E 66 69 6E 69 73 68");
}

TEST_F(CaptureFromWindowTest, AFinishedCaptureShowsWhatTheEngineCountedThoughTheStatusPumpOverflowed) {
    Window().ShowSettings(FrameSettings());
    Window().SetCaptureState(true);
    ZLogger& logger = *Window().GetLogger();
    ASSERT_TRUE(logger.SetSettings(Window().CollectSettings()));
    // The window thread is kept busy here, so the status pump fills up and refuses
    // nearly all of the several thousand messages.
    std::string stream = "trash";
    for (int i = 0; i < 1000; ++i) stream += "<ABxAB>";
    logger.BeginReplay();
    logger.FeedReplay(reinterpret_cast<const uint8_t*>(stream.data()), static_cast<int>(stream.size()));
    logger.EndReplay();

    Click("btn_StopCapture");
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Text("lbl_TotalBytes"), "7005");
    EXPECT_EQ(Text("lbl_BytesThrown"), "5");
    EXPECT_EQ(Text("lbl_StartTriggers"), "1000 (1000 bytes)");
    EXPECT_EQ(Text("lbl_StopTriggers"), "1000 (1000 bytes)");
    EXPECT_EQ(Text("lbl_DataPackets"), "1000 (5000 bytes)");
    auto* grid = Find<QTableWidget>("DTrgList");
    EXPECT_EQ(grid->item(0, 1)->text(), "2000");
    EXPECT_EQ(grid->item(1, 1)->text(), "1000");
    EXPECT_EQ(Find<QGroupBox>("grp_Stati")->title(), "Stati (capture stopped)");
}

// A count the user reset (or the grid rebuilt by an added trigger) while capturing
// counts from there on in the final counts too.
TEST_F(CaptureFromWindowTest, AFinishedCaptureCountsEachDataTriggerFromItsLastReset) {
    enum class Action { None, ResetAll, ResetSecond, AddTrigger };
    const struct {
        Action Between;
        const char* AB;
        const char* X;
        int Rows;
    } table[] = {
        {Action::None, "16", "8", 2},
        {Action::ResetAll, "6", "3", 2},
        {Action::ResetSecond, "16", "3", 2},
        {Action::AddTrigger, "6", "3", 3},
    };
    for (const auto& row : table) {
        Window().ShowSettings(FrameSettings());
        Window().SetCaptureState(true);
        ZLogger& logger = *Window().GetLogger();
        ASSERT_TRUE(logger.SetSettings(Window().CollectSettings()));
        const auto feed = [&](int frames) {
            std::string stream;
            for (int i = 0; i < frames; ++i) stream += "<ABxAB>";
            logger.FeedReplay(reinterpret_cast<const uint8_t*>(stream.data()),
                              static_cast<int>(stream.size()));
        };
        logger.BeginReplay();
        feed(5);
        ASSERT_TRUE(QTest::qWaitFor([&] { return logger.DataTriggerMatchesSoFar(1) == 5; }, WaitMs));
        auto* grid = Find<QTableWidget>("DTrgList");
        switch (row.Between) {
            case Action::None:
                break;
            case Action::ResetAll:
                Click("btn_ResetAllDT");
                break;
            case Action::ResetSecond:
                grid->setCurrentCell(1, 0);
                Click("btn_ResetSelDT");
                break;
            case Action::AddTrigger: {
                ModalDriver driver([](QDialog& editor) { editor.accept(); });
                Click("btn_AddDTASCII");
                ASSERT_TRUE(driver.Ran());
                break;
            }
        }
        feed(3);
        logger.EndReplay();
        Click("btn_StopCapture");
        EXPECT_TRUE(boxes_.empty());
        ASSERT_EQ(grid->rowCount(), row.Rows);
        EXPECT_EQ(grid->item(0, 1)->text(), row.AB) << static_cast<int>(row.Between);
        EXPECT_EQ(grid->item(1, 1)->text(), row.X) << static_cast<int>(row.Between);
        if (row.Rows > 2) {
            EXPECT_EQ(grid->item(2, 1)->text(), "0");
        }
    }
}
