// The second line and the program served, driven from the General page: what the
// settings file keeps, which controls each leaves open, and captures that read two
// pseudo-terminals or serve the port to a program through a link.

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <fstream>
#include <iterator>

#include "MainWindowTestSupport.h"
#include "Tfrm_Log.h"
#include "ZLogger.h"
#include "ZULIniFile.h"

using namespace maintest;

namespace {

constexpr int WaitMs = 20000;

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

class SecondLineTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        LinkPtyPort();
        char junk[4096];
        while (read(TestPty().Master(), junk, sizeof junk) > 0) {
        }
    }

    QLineEdit* Field(const char* name) {
        auto* list = Window().findChild<QComboBox*>(QString::fromLatin1(name));
        return list != nullptr ? list->lineEdit() : Find<QLineEdit>(name);
    }
    // Types text into a field (a list's too) and confirms it with Enter.
    void Type(const char* name, const QString& text) {
        Field(name)->clear();
        QTest::keyClicks(Field(name), text);
        QTest::keyClick(Field(name), Qt::Key_Return);
    }
    void SetUpCapture() {
        ZLoggerSettings settings;
        settings.LogDir = Home() + "logs/";
        Window().ShowSettings(settings);
        Type("cb_COMPorts", "COM98");
    }
    // The settings file "Save to file" writes.
    ZULIniFile Saved() {
        const std::string path = Home() + "saved.scs";
        std::filesystem::remove(path);
        ZFileDialog::SetNextAnswer(QString::fromStdString(path));
        Click("btn_SaveSettings");
        return ZULIniFile(path);
    }
    bool Enabled(const char* name) { return Window().findChild<QWidget*>(QString::fromLatin1(name))->isEnabled(); }
    // Whether the error history holds text as information.
    bool HistoryHolds(const std::string& text) {
        const TZULErrorHistory& history = Window().GetLogger()->GetErrorHistory();
        for (int i = 0; i < history.GetCount(); ++i)
            if (history.GetError(i).Error == text && history.GetError(i).Informational) return true;
        return false;
    }
};

}  // namespace

TEST_F(SecondLineTest, TheSettingsFileKeepsTheSecondLineTheNamesAndTheProgramServed) {
    const struct {
        const char* Name;
        bool SecondLine;
        const char* FirstName;
        const char* Link;
        bool Enabled;
        const char* Name0;  // "": no key
        const char* Rate2;  // "": no section
    } rows[] = {
        {"nothing new: the file is as it was", false, "", "", false, "", ""},
        {"a second line with names", true, "Master", "", true, "Master", "57600"},
        {"a name cleared is the port's again", true, "", "", true, "", "57600"},
        {"a program served", false, "", "/tmp/kestrun-served", false, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        SetUpCapture();
        Find<QCheckBox>("chk_SecondLine")->setChecked(row.SecondLine);
        if (row.SecondLine) {
            Type("cb_COMPorts2", "COM98");
            Type("cb_Baudrates2", "57600");
            Type("ed_LineName1", "Slave");
        }
        Type("ed_LineName0", row.FirstName);
        Type("ed_ProxyLink", row.Link);
        ASSERT_TRUE(boxes_.empty()) << boxes_[0];
        const ZULIniFile saved = Saved();
        EXPECT_EQ(saved.ReadBool("_serial_capture2", "Enabled", false), row.Enabled);
        EXPECT_EQ(saved.ReadString("_serial_capture", "Name", ""), row.Name0);
        EXPECT_EQ(saved.ReadString("_serial_capture2", "Name", ""), row.SecondLine ? "Slave" : "");
        EXPECT_EQ(saved.ValueExists("_serial_capture2", "_settings"), row.SecondLine);
        EXPECT_EQ(saved.ReadString("_serial_capture2", "ProxyLink", ""), row.Link);
        if (row.SecondLine) {
            EXPECT_EQ(Window().GetLogger()->GetBaudrate(1), 57600);
            EXPECT_EQ(Window().GetLogger()->GetCOMPort(1), PtyPort);
        }
        // Read back, the page shows what was saved.
        Type("ed_ProxyLink", "");
        ASSERT_TRUE(Window().LoadSettingsFile(Home() + "saved.scs"));
        EXPECT_EQ(Find<QCheckBox>("chk_SecondLine")->isChecked(), row.SecondLine);
        EXPECT_EQ(Field("ed_ProxyLink")->text(), row.Link);
        EXPECT_EQ(Field("ed_LineName0")->text(), row.Name0);
        Find<QCheckBox>("chk_SecondLine")->setChecked(false);
    }
}

TEST_F(SecondLineTest, TheSecondLineAndTheProgramServedExcludeEachOtherAndACaptureLocksBoth) {
    const struct {
        const char* Name;
        bool SecondLine;
        const char* Link;
        bool Capturing;
        bool CheckOpen, PortOpen, LinkOpen, NamesOpen;
    } rows[] = {
        {"neither", false, "", false, true, false, true, true},
        {"a second line", true, "", false, true, true, false, true},
        {"a program served", false, "/tmp/kestrun-served", false, false, false, true, false},
        {"both, from a file: either can be taken back", true, "/tmp/kestrun-served", false, true, true, true,
         true},
        {"capturing", true, "", true, false, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        Field("ed_ProxyLink")->setText(row.Link);
        Find<QCheckBox>("chk_SecondLine")->setChecked(row.SecondLine);
        Window().SetCaptureState(row.Capturing);
        EXPECT_EQ(Enabled("chk_SecondLine"), row.CheckOpen);
        EXPECT_EQ(Enabled("cb_COMPorts2"), row.PortOpen);
        EXPECT_EQ(Enabled("btn_PortSettings2"), row.PortOpen);
        EXPECT_EQ(Enabled("ed_ProxyLink"), row.LinkOpen);
        EXPECT_EQ(Enabled("ed_LineName1"), row.NamesOpen);
        // A control the other one closed says why.
        if (!row.Capturing) {
            EXPECT_EQ(Field("ed_ProxyLink")->accessibleDescription().isEmpty(), row.LinkOpen);
        }
        EXPECT_EQ(Enabled("cb_COMPorts"), !row.Capturing);
        Window().SetCaptureState(false);
    }
}

TEST_F(SecondLineTest, StartingServesTheProgramOrSaysWhyNot) {
    const struct {
        const char* Name;
        bool PathExists;
        bool SecondLine;
        const char* Refusal;  // nullptr: served
    } rows[] = {
        {"served, following the program's settings", false, false, nullptr},
        {"an existing path is refused", true, false, "The link path exists already: \"%1\". Choose a path that does not."},
        {"a second line as well is refused", false, true,
         "A program can be served only without a second line of its own: the program's side is the second "
         "line. Take one of the two back."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        boxes_.clear();
        const std::string link = Home() + "served";
        std::filesystem::remove(link);
        if (row.PathExists) std::ofstream(link) << "mine";
        SetUpCapture();
        Find<QCheckBox>("chk_SecondLine")->setChecked(row.SecondLine);
        if (row.SecondLine) Type("cb_COMPorts2", "COM98");
        Field("ed_ProxyLink")->setText(QString::fromStdString(link));
        Click("btn_StartCapture");
        ZLogger& logger = *Window().GetLogger();
        if (row.Refusal != nullptr) {
            ASSERT_EQ(boxes_.size(), 1u);
            const QString refusal = QString::fromLatin1(row.Refusal).replace("%1", QString::fromStdString(link));
            EXPECT_EQ(boxes_[0], (Box{ZMessageBox::Kind::Error, refusal}));
            EXPECT_FALSE(logger.IsCapturing());
            if (row.PathExists) {
                std::ifstream file(link);
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "mine");
            }
            Find<QCheckBox>("chk_SecondLine")->setChecked(false);
            continue;
        }
        ASSERT_TRUE(boxes_.empty()) << boxes_[0];
        ASSERT_TRUE(logger.IsCapturing());
        EXPECT_EQ(logger.GetLineName(1), "program");
        const int program = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(program, 0) << strerror(errno);
        termios settings{};
        ASSERT_EQ(tcgetattr(program, &settings), 0);
        cfmakeraw(&settings);
        cfsetspeed(&settings, B57600);
        settings.c_cflag |= CSTOPB;
        ASSERT_EQ(tcsetattr(program, TCSANOW, &settings), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return HistoryHolds("The program set 57600 baud, 2 stop bits"); }, WaitMs));
        // What the program writes reaches the device.
        ASSERT_EQ(write(program, "Q", 1), 1);
        char got = 0;
        EXPECT_TRUE(QTest::qWaitFor([&] { return read(TestPty().Master(), &got, 1) == 1; }, WaitMs));
        EXPECT_EQ(got, 'Q');
        close(program);
        Click("btn_StopCapture");
        EXPECT_FALSE(Exists(link)) << "the link goes with the capture";
        // The lines are the user's again.
        EXPECT_FALSE(logger.HasSecondLine());
        EXPECT_EQ(logger.GetSetLineName(0), "");
        EXPECT_EQ(Field("ed_ProxyLink")->text(), QString::fromStdString(link));
    }
}

TEST_F(SecondLineTest, ACaptureOfTwoLinesShowsBothInTheLiveView) {
    ZPseudoTerminal other;
    ASSERT_TRUE(other.Open());
    Tfrm_Log log;
    Window().SetCaptureWindow(&log, &log);
    SetUpCapture();
    Find<QCheckBox>("chk_SecondLine")->setChecked(true);
    Type("ed_LineName0", "Master");
    Type("ed_LineName1", "Slave");
    Window().GetLogger()->GetPort(1).SetDevicePath(other.SlavePath());
    Click("btn_StartCapture");
    ASSERT_TRUE(boxes_.empty()) << boxes_[0];
    ASSERT_TRUE(Window().GetLogger()->CapturesTwoLines());
    ASSERT_EQ(write(TestPty().Master(), "M", 1), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ShownRows() == 1; }, WaitMs));
    ASSERT_EQ(write(other.Master(), "S", 1), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ShownRows() == 2; }, WaitMs));
    Click("btn_StopCapture");
    const QAbstractItemModel* rows = log.findChild<QTableView*>("Grid")->model();
    ASSERT_EQ(rows->columnCount(), Tfrm_Log::ColumnCount + 1);
    EXPECT_EQ(rows->index(0, Tfrm_Log::LineColumn).data().toString(), "Master");
    EXPECT_EQ(rows->index(1, Tfrm_Log::LineColumn).data().toString(), "Slave");
    EXPECT_EQ(rows->index(1, 2).data().toString(), "S");
}
