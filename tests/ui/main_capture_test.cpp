// Captures driven from the main window: a whole capture through a pseudo-terminal
// port, closing while a capture runs, and the counts a finished capture shows when
// the status pump has dropped messages.

#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "LogFileOrder.h"
#include "MainWindowTestSupport.h"
#include "Termios2Speed.h"
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

TEST_F(CaptureFromWindowTest, ALogFolderThatCannotTakeFilesRefusesTheStart) {
    std::filesystem::create_directories(Home() + "readonly");
    chmod((Home() + "readonly").c_str(), 0555);
    std::ofstream(Home() + "afile") << "a file where a folder should go";
    const struct {
        const char* Folder;  // below the application folder
        bool Raw;            // "Also record the raw bytes"
        const char* Reason;  // null: the capture starts
    } table[] = {
        {"made/on/start/", false, nullptr},
        {"readonly/", false, "the folder is read-only."},
        {"readonly/", true, "the folder is read-only."},
        {"afile/", false, "it is not a folder."},
        {"afile/sub/", false, "it cannot be made ("},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Folder);
        ZLoggerSettings settings = FrameSettings();
        settings.LogDir = Home() + row.Folder;
        settings.RawRecording = row.Raw;
        Window().ShowSettings(settings);
        ChoosePtyPort();
        Click("btn_StartCapture");
        if (!row.Reason) {
            EXPECT_TRUE(boxes_.empty());
            EXPECT_TRUE(Window().GetLogger()->IsCapturing());
            EXPECT_TRUE(std::filesystem::is_directory(settings.LogDir));
            Click("btn_StopCapture");
            continue;
        }
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Error);
        const QString expected = "Log files cannot be written into the folder \"" +
                                 QString::fromStdString(settings.LogDir) + "\": " + row.Reason;
        EXPECT_TRUE(boxes_[0].Text.startsWith(expected)) << boxes_[0];
        EXPECT_FALSE(Window().GetLogger()->IsCapturing());
        EXPECT_TRUE(Find<QPushButton>("btn_StartCapture")->isEnabled());
        boxes_.clear();
    }
}

TEST_F(CaptureFromWindowTest, ATypedRateReachesTheDevice) {
    const struct {
        const char* Typed;
        uint32_t Rate;
    } table[] = {{"250000", 250000}, {"12345", 12345}, {"115200 Baud", 115200}, {"31250 Baud", 31250}};
    Window().ShowSettings(FrameSettings());
    ChoosePtyPort();
    for (const auto& row : table) {
        SCOPED_TRACE(row.Typed);
        auto* rates = Find<QComboBox>("cb_Baudrates");
        rates->lineEdit()->selectAll();
        QTest::keyClicks(rates->lineEdit(), row.Typed);
        Click("btn_StartCapture");
        ASSERT_TRUE(boxes_.empty()) << boxes_[0];
        ASSERT_TRUE(Window().GetLogger()->IsCapturing());
        uint32_t rate = 0;
        ASSERT_TRUE(Termios2GetSpeed(TestPty().Master(), rate));
        EXPECT_EQ(rate, row.Rate);
        EXPECT_EQ(rates->currentText(), QString::number(row.Rate) + " Baud");
        Click("btn_StopCapture");
    }
}

TEST_F(CaptureFromWindowTest, TheStatusLineSaysWhileLogFilesAreNotWritten) {
    Window().ShowSettings(FrameSettings());
    ChoosePtyPort();
    Click("btn_StartCapture");
    ASSERT_TRUE(Window().GetLogger()->IsCapturing());
    auto* stati = Find<QGroupBox>("grp_Stati");
    std::string frames;
    for (int i = 0; i < 100; ++i) frames += "<ABxAB>";
    // The folder goes away under the running capture, and comes back.
    std::filesystem::rename(logDir_, Home() + "moved");
    Send(frames);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return stati->title().startsWith(
                QStringLiteral("Stati (capture in progress \u2014 log files are NOT written: "));
        },
        WaitMs))
        << stati->title().toStdString();
    std::filesystem::rename(Home() + "moved", logDir_);
    Send(frames);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stati->title() == "Stati (capture in progress...)"; }, WaitMs))
        << stati->title().toStdString();
    Click("btn_StopCapture");
}

TEST_F(CaptureFromWindowTest, LineSettingsTheDeviceRefusesGiveABoxNamingTheRate) {
    Window().ShowSettings(FrameSettings());
    ChoosePtyPort();
    auto* rates = Find<QComboBox>("cb_Baudrates");
    rates->lineEdit()->selectAll();
    QTest::keyClicks(rates->lineEdit(), "12345");
    // A pseudo-terminal takes any rate but refuses four data bits.
    Window().GetLogger()->GetPort().SetDataBits(db_4);
    Click("btn_StartCapture");
    EXPECT_FALSE(Window().GetLogger()->IsCapturing());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].Text.startsWith("The COM port could not be opened...")) << boxes_[0];
    EXPECT_TRUE(boxes_[0].Text.endsWith(" The rate asked for is 12345 baud.")) << boxes_[0];
}

// A network port connects on a thread of its own: the window goes on with its events
// while the server has not answered yet, and the start is decided by what the server does.
TEST_F(CaptureFromWindowTest, ANetworkPortConnectsWhileTheWindowGoesOn) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    const std::string network = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    Window().ShowSettings(FrameSettings());
    auto* ports = Find<QComboBox>("cb_COMPorts");
    ports->lineEdit()->selectAll();
    QTest::keyClicks(ports->lineEdit(), QString::fromStdString(network));
    QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(Window().GetLogger()->GetNetworkPort(), network);

    bool acceptedDuringStart = false;
    bool closed = false;
    QObject::connect(&Window(), &Tfrm_Main::FormClosed, [&] { closed = true; });
    QTimer::singleShot(0, &Window(), [&] {
        // A close asked for meanwhile waits for the start to be decided.
        Window().close();
        EXPECT_FALSE(closed);
        // The server takes the connection and hangs up without a word.
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, WaitMs) != 1) return;
        const int client = accept(listener, nullptr, nullptr);
        acceptedDuringStart = client >= 0;
        close(client);
    });
    Click("btn_StartCapture");
    close(listener);
    EXPECT_TRUE(acceptedDuringStart);
    EXPECT_FALSE(Window().GetLogger()->IsCapturing());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Text,
              QString::fromStdString("The COM port could not be opened...\n\nCannot connect to " + network +
                                     ": the server closed the connection."))
        << boxes_[0];
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, WaitMs));
}

// A capture without reconnect stays open on a port that hung up; the status line says
// that nothing more is captured instead of claiming the capture runs.
TEST_F(CaptureFromWindowTest, ALostPortWithoutReconnectIsNotShownAsRunning) {
    // COM98 is a device of this test's own, which can hang up.
    ZPseudoTerminal device;
    ASSERT_TRUE(device.Open());
    std::filesystem::remove(Home() + "ports/com98");
    std::filesystem::create_symlink(device.SlavePath(), Home() + "ports/com98");
    Window().ShowSettings(FrameSettings());
    ChoosePtyPort();
    Click("btn_StartCapture");
    ASSERT_TRUE(Window().GetLogger()->IsCapturing());
    auto* stati = Find<QGroupBox>("grp_Stati");
    device.Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stati->title() != "Stati (capture in progress...)"; }, WaitMs));
    EXPECT_EQ(stati->title(), "Stati (the COM port was lost \u2014 nothing more is captured until Stop)");
    Click("btn_StopCapture");
}
