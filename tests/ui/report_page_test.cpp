// The "Bugreport" page, driven by object name, with a stand-in report tool and a
// stand-in mail composer.
#include <gtest/gtest.h>
#include <signal.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/MailtoTestHelpers.h"
#include "TestFiles.h"
#include "VerInfo.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZReportPage.h"

namespace {

using Lines = std::vector<std::string>;

void WriteScript(const std::string& path, const std::string& body) {
    WriteBytes(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

Lines ReadArguments(const std::string& path) {
    Lines arguments;
    std::string current;
    for (char c : ReadBytes(path)) {
        if (c != '\0') {
            current += c;
            continue;
        }
        arguments.push_back(current);
        current.clear();
    }
    return arguments;
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value)
        : name_(name), had_(std::getenv(name) != nullptr) {
        if (had_) old_ = std::getenv(name);
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    bool had_;
    std::string old_;
};

struct Box {
    ZMessageBox::Kind Kind;
    QString Text;
};

class ReportPageTest : public ::testing::Test {
protected:
    ReportPageTest()
        : home_("KESTRUN_HOME", dir_.Path()),
          path_("PATH", dir_.File("bin") + ":" + std::getenv("PATH")),
          logger_(ZLoggerSettings()),
          page_(logger_) {
        std::filesystem::create_directory(dir_.File("bin"));
        ZMessageBox::SetRecorder([this](ZMessageBox::Kind kind, const QString& text) {
            boxes_.push_back({kind, text});
        });
        sysRep_ = page_.findChild<QPlainTextEdit*>("mem_SysRep");
        additional_ = page_.findChild<QPlainTextEdit*>("mem_Additional");
        report_ = page_.findChild<QPushButton*>("btn_SystemReport");
        send_ = page_.findChild<QPushButton*>("btn_SendMail");
        version_ = page_.findChild<QLabel*>("lbl_Version");
        page_.resize(800, 500);
        page_.show();
    }
    ~ReportPageTest() override { ZMessageBox::SetRecorder({}); }

    // A composer that records its arguments and ends with the given status.
    void Composer(int status) {
        WriteScript(dir_.File("bin/xdg-email"), "printf '%s\\0' \"$@\" > '" + dir_.File("mail") + "'\nexit " +
                                                    std::to_string(status) + "\n");
    }
    // The mailto: URI handed to xdg-email.
    std::string SentUri() {
        const Lines arguments = ReadArguments(dir_.File("mail"));
        return arguments.empty() ? "<none>" : arguments.back();
    }
    std::string SentBody() { return MailtoField(SentUri(), "body"); }
    std::string ErrorListText() {
        Lines errors;
        logger_.GetErrorList(errors);
        std::string text;
        for (const std::string& line : errors) text += "\n" + line;
        return text;
    }

    ScratchDir dir_;
    ScopedEnvironment home_;
    ScopedEnvironment path_;
    ZLogger logger_;
    ZReportPage page_;
    std::vector<Box> boxes_;
    QPlainTextEdit* sysRep_ = nullptr;
    QPlainTextEdit* additional_ = nullptr;
    QPushButton* report_ = nullptr;
    QPushButton* send_ = nullptr;
    QLabel* version_ = nullptr;
};

TEST_F(ReportPageTest, StartsWithTheDesignedTextsAndSendingImpossible) {
    ASSERT_TRUE(sysRep_ && additional_ && report_ && send_ && version_);
    const QString indent(16, ' ');
    const QString address = ZReportPage::SupportAddress();
    EXPECT_EQ(sysRep_->toPlainText(),
              "\n\n\n" + indent + "In order to send a bugreport to " + address + ", \n" + indent +
                  "you have to create a system report first.\n" + indent +
                  "To do this, simply click on the button below. This will take some seconds... \n" + indent +
                  "please be patient. Only needed information is collected from your system.");
    EXPECT_EQ(additional_->toPlainText(), "Type in your error description here...");
    EXPECT_EQ(report_->text(), "Create system report");
    EXPECT_EQ(send_->text(), "Send to " + address);
    EXPECT_EQ(version_->text(), QString::fromStdString("v " + VerInfo().GetVersionString(2)));
    const auto* banner = page_.findChild<QLabel*>("img_Banner");
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->size(), QSize(281, 48));
    // Sending before a report is impossible.
    Composer(0);
    EXPECT_FALSE(send_->isEnabled());
    QTest::mouseClick(send_, Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("mail")));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ReportPageTest, FinishedReportShowsTheLinesAndTheErrorListAndAllowsSending) {
    page_.ReportFinished({"line one", "line two"}, false);
    EXPECT_TRUE(send_->isEnabled());
    EXPECT_TRUE(report_->isEnabled());
    // Even an empty error history has its header lines, so they always follow three empty lines.
    EXPECT_EQ(sysRep_->toPlainText().toStdString(), "line one\nline two\n\n\n" + ErrorListText());
    page_.ReportFinished({"Timout exceeded"}, true);
    EXPECT_FALSE(send_->isEnabled());
    EXPECT_EQ(sysRep_->toPlainText(), "Timout exceeded");
}

TEST_F(ReportPageTest, AReportArrivingAfterTheLoggerWasForgottenComesWithoutTheErrorList) {
    page_.ForgetLogger();
    page_.ReportFinished({"line one"}, false);
    EXPECT_TRUE(send_->isEnabled());
    EXPECT_EQ(sysRep_->toPlainText(), "line one");
}

TEST_F(ReportPageTest, CreateSystemReportRunsTheToolAndKeepsTheButtonOffUntilItHasFinished) {
    const std::string tool = dir_.File("tool.sh");
    WriteScript(tool, "printf '%s\\0' \"$@\" > '" + dir_.File("args") +
                          "'\nprintf '\\377\\376p\\000o\\000r\\000t\\000\\015\\000\\012\\000' > \"$2\"\n");
    page_.SetReportTool(tool);
    QTest::mouseClick(report_, Qt::LeftButton);
    EXPECT_FALSE(report_->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return report_->isEnabled(); }, 30000));
    EXPECT_TRUE(send_->isEnabled());
    EXPECT_EQ(sysRep_->toPlainText().toStdString(), "port\n\n\n" + ErrorListText());
    // The tool writes into a file of its own beside "__sys_rep.tmp", under a random name.
    Lines arguments = ReadArguments(dir_.File("args"));
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments[1].substr(0, arguments[1].size() - 6), dir_.File("__sys_rep.tmp."));
    arguments[1] = "<file>";
    EXPECT_EQ(arguments,
              (Lines{"/report", "<file>", "/categories",
                     "+Resources+ResourcesConflicts+ResourcesDMA+ResourcesForcedHardware+ResourcesIO+"
                     "ResourcesIRQS+ResourcesMemory"}));
}

TEST_F(ReportPageTest, MissingToolShowsItsLineAndLeavesSendingImpossible) {
    page_.SetReportTool(dir_.File("no-such-tool"));
    QTest::mouseClick(report_, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return report_->isEnabled(); }, 30000));
    EXPECT_EQ(sysRep_->toPlainText(), "Missing 'kestrun-sysinfo'");
    EXPECT_FALSE(send_->isEnabled());
}

TEST_F(ReportPageTest, EmptyDescriptionGivesABodyThatStartsWithTheRule) {
    Composer(0);
    page_.ReportFinished({"report", "", "end"}, false);
    additional_->clear();
    QTest::mouseClick(send_, Qt::LeftButton);
    const std::string version = version_->text().toStdString();
    EXPECT_EQ(SentBody(), "\n\n\n" + std::string(55, '#') + "\n" + version + "\n\nreport\n\nend\n\n\n\n" +
                              ErrorListText().substr(1) + "\n");
    const Lines arguments = ReadArguments(dir_.File("mail"));
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(Lines(arguments.begin(), arguments.begin() + 3),
              (Lines{"--utf8", "--to", ZReportPage::SupportAddress().toStdString()}));
    EXPECT_EQ(MailtoField(SentUri(), "subject"), "Kestrun Bugreport");
    EXPECT_EQ(MailtoField(SentUri(), "attach"), "<none>");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Information);
    EXPECT_EQ(boxes_[0].Text, "Bugreport successfully sent to " + ZReportPage::SupportAddress());
    EXPECT_TRUE(send_->isEnabled());
}

TEST_F(ReportPageTest, DescriptionAndEditedReportGoIntoTheBodyWithLineFeeds) {
    Composer(0);
    page_.ReportFinished({"x"}, false);
    additional_->setPlainText("It stops after \"START\" — $HOME `x`\nsecond line\n");
    sysRep_->setPlainText("edited report");
    QTest::mouseClick(send_, Qt::LeftButton);
    EXPECT_EQ(SentBody(), "It stops after \"START\" \xE2\x80\x94 $HOME `x`\nsecond line\n\n\n\n" +
                              std::string(55, '#') + "\n" + version_->text().toStdString() +
                              "\n\nedited report\n");
}

TEST_F(ReportPageTest, FailedMailSaysWhyAndKeepsEverything) {
    Composer(3);
    page_.ReportFinished({"kept"}, false);
    additional_->setPlainText("my words");
    QTest::mouseClick(send_, Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Error);
    EXPECT_EQ(boxes_[0].Text,
              "Error: xdg-email ended with exit status 3: no mail program is set up on this desktop");
    EXPECT_EQ(additional_->toPlainText(), "my words");
    EXPECT_TRUE(sysRep_->toPlainText().startsWith("kept\n"));
    EXPECT_TRUE(send_->isEnabled());
}

// The composer may hold xdg-email until the user has sent the message: that is no error.
TEST_F(ReportPageTest, ComposerStillOpenAfterTheWaitIsNoError) {
    WriteScript(dir_.File("bin/xdg-email"), "echo $$ > '" + dir_.File("pid") + "'\nexec sleep 60\n");
    page_.SetMailTimeout(100);
    page_.ReportFinished({"x"}, false);
    QTest::mouseClick(send_, Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Information);
    EXPECT_EQ(boxes_[0].Text, "the mail program is still open");
    EXPECT_TRUE(send_->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ReadBytes(dir_.File("pid")).empty(); }, 30000));
    kill(std::stoi(ReadBytes(dir_.File("pid"))), SIGKILL);
}

// A report too long for the message text goes as a file of its own, named in the body.
TEST_F(ReportPageTest, LongReportGoesAsAnAttachmentNamedInTheBody) {
    Composer(0);
    Lines report;
    for (int i = 0; i < 1000; ++i) report.push_back("line " + std::to_string(i) + std::string(40, '.'));
    page_.ReportFinished(report, false);
    additional_->setPlainText("my words");
    QTest::mouseClick(send_, Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Information);
    const std::string attached = MailtoField(SentUri(), "attach");
    ASSERT_EQ(std::filesystem::path(attached).parent_path(),
              std::filesystem::path(dir_.File("")).parent_path());
    EXPECT_EQ(std::filesystem::path(attached).filename().string().rfind("kestrun-system-report-", 0), 0u);
    EXPECT_EQ(ReadBytes(attached), sysRep_->toPlainText().toStdString() + "\n");
    EXPECT_EQ(std::filesystem::status(attached).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(SentBody(),
              "my words\n\n\n\n" + std::string(55, '#') + "\n" + version_->text().toStdString() +
                  "\n\nThe system report is too long for the message text; it is attached as " + attached +
                  "\nIf your mail program did not attach it, please attach that file yourself.\n");
}

// The report is mailed: the user's home folder shows as "~", also in the error list.
TEST_F(ReportPageTest, HomeFolderShowsAsTilde) {
    const std::string home = dir_.File("ann");
    ScopedEnvironment homeVariable("HOME", home);
    logger_.GetErrorHistory().AddError("Writer", "Open", "Could not open '" + home + "/logs/a.log'");
    page_.ReportFinished({home + "/captures/x", home + "a/not-the-home", home}, false);
    const std::string text = sysRep_->toPlainText().toStdString();
    EXPECT_EQ(text.find(home + "/"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("~/captures/x\n" + home + "a/not-the-home\n~\n", 0), 0u) << text;
    EXPECT_NE(text.find("Could not open '~/logs/a.log'"), std::string::npos) << text;
}

TEST_F(ReportPageTest, ControlsAreReachableByKeyboardInOrderAndNamed) {
    QApplication::setActiveWindow(&page_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page_));
    page_.ReportFinished({"x"}, false);
    sysRep_->setFocus();
    QWidget* const expected[] = {sysRep_, additional_, report_, send_};
    for (QWidget* widget : expected) {
        ASSERT_EQ(QApplication::focusWidget(), widget) << widget->objectName().toStdString();
        QTest::keyClick(widget, Qt::Key_Tab);
    }
    // The memos have no caption of their own.
    EXPECT_EQ(sysRep_->accessibleName(), "System report");
    EXPECT_EQ(additional_->accessibleName(), "Error description");
}

}  // namespace
