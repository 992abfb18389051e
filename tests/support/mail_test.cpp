#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcessHelpers.h"
#include "ZULMail.h"

namespace {

using Lines = std::vector<std::string>;

// A stand-in xdg-email, first on the PATH, that records its arguments.
class SendMailTest : public ::testing::Test {
protected:
    SendMailTest() : path_("PATH", dir_.File("bin") + ":" + std::getenv("PATH")) {
        std::filesystem::create_directory(dir_.File("bin"));
    }
    void Composer(const std::string& tail) {
        WriteScript(dir_.File("bin/xdg-email"), "printf '%s\\0' \"$@\" > '" + Record() + "'\n" + tail);
    }
    std::string Record() const { return dir_.File("args"); }

    ScratchDir dir_;
    ScopedEnvironment path_;
};

TEST_F(SendMailTest, EveryTextArrivesUnchangedAsItsOwnArgument) {
    Composer("exit 0\n");
    const Lines to{"support@kestrun.example", "second@example.org"};
    const Lines cc{"copy@example.org"};
    const std::string subject = "Kestrun \"Bugreport\" $HOME `id` 'x'; rm -rf /";
    const std::string body = "first line\n  $(id) `uname` \"quoted\" 'single' \\ back\n\n-- \nlast\n";
    const Lines attachments{"/tmp/some folder/report.txt"};
    ASSERT_TRUE(SendMail(&to, &cc, subject, body, &attachments));
    EXPECT_EQ(ReadRecordedArguments(Record()),
              (Lines{"--utf8", "--to", to[0], "--to", to[1], "--cc", cc[0], "--subject", subject, "--body",
                     body, "--attach", attachments[0]}));
    EXPECT_TRUE(NoChildLeft());
}

// A recipient that looks like an option or a whole mailto URL stays a recipient.
TEST_F(SendMailTest, RecipientsAreNeverTakenAsOptions) {
    Composer("exit 0\n");
    const Lines to{"--attach=/etc/shadow", "mailto:x@example.org?attach=/etc/shadow"};
    ASSERT_TRUE(SendMail(&to, nullptr, "s", "b", nullptr));
    EXPECT_EQ(ReadRecordedArguments(Record()),
              (Lines{"--utf8", "--to", to[0], "--to", to[1], "--subject", "s", "--body", "b"}));
}

TEST_F(SendMailTest, NoRecipientGivesFalseWithoutStartingTheComposer) {
    Composer("exit 0\n");
    const Lines none;
    EXPECT_FALSE(SendMail(&none, nullptr, "s", "b", nullptr));
    EXPECT_FALSE(SendMail(nullptr, nullptr, "s", "b", nullptr));
    EXPECT_FALSE(std::filesystem::exists(Record()));
}

TEST_F(SendMailTest, ResultIsTheComposersExitStatus) {
    const Lines to{"a@example.org"};
    Composer("exit 0\n");
    EXPECT_TRUE(SendMail(&to, nullptr, "s", "b", nullptr));
    Composer("exit 3\n");
    EXPECT_FALSE(SendMail(&to, nullptr, "s", "b", nullptr));
    Composer("kill -TERM $$\n");
    EXPECT_FALSE(SendMail(&to, nullptr, "s", "b", nullptr));
}

TEST_F(SendMailTest, EmptySubjectAndBodyAreLeftOut) {
    Composer("exit 0\n");
    const Lines to{"a@example.org"};
    ASSERT_TRUE(SendMail(&to, nullptr, "", "", nullptr));
    EXPECT_EQ(ReadRecordedArguments(Record()), (Lines{"--utf8", "--to", "a@example.org"}));
}

TEST_F(SendMailTest, MissingComposerGivesFalse) {
    ScopedEnvironment emptyPath("PATH", dir_.File("empty"));
    const Lines to{"a@example.org"};
    EXPECT_FALSE(SendMail(&to, nullptr, "s", "b", nullptr));
}

// A composer that keeps the caller waiting is given up after the time-out, while the
// window keeps working; it is reaped when it ends.
TEST_F(SendMailTest, ComposerThatDoesNotReturnGivesFalseAfterTheTimeOut) {
    Composer("echo $$ > '" + dir_.File("pid") + "'\nexec sleep 60\n");
    const Lines to{"a@example.org"};
    sMailWait wait;
    wait.TimeoutMs = 200;
    int processed = 0;
    wait.ProcessEvents = [&processed, this] {
        ++processed;
        WaitForFile(dir_.File("pid"));
    };
    EXPECT_FALSE(SendMail(&to, nullptr, "s", "b", nullptr, wait));
    EXPECT_GE(processed, 1);
    ASSERT_TRUE(WaitForFile(dir_.File("pid")));
    const pid_t pid = std::stoi(ReadBytes(dir_.File("pid")));
    kill(pid, SIGKILL);
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
