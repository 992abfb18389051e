#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcessHelpers.h"
#include "MailtoTestHelpers.h"
#include "ZULMail.h"
#include "ZULSpawn.h"

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

// Recipients are options of their own; subject, body and attachments travel in one
// percent-encoded URI, the last argument.
TEST_F(SendMailTest, RecipientsAsOptionsAndEverythingElseInOneEncodedUri) {
    Composer("exit 0\n");
    const Lines to{"support@kestrun.example", "second@example.org"};
    const Lines cc{"copy@example.org"};
    const std::string subject = "Kestrun \"Bugreport\" $HOME `id` 'x'; rm -rf /";
    const std::string body = "first line\n  $(id) `uname` \"quoted\" 'single' \\ back\n\n-- \nlast\n";
    const Lines attachments{"/tmp/some folder/report&attach=x.txt"};
    ASSERT_TRUE(SendMail(&to, &cc, subject, body, &attachments));
    const Lines arguments = ReadRecordedArguments(Record());
    ASSERT_EQ(arguments.size(), 8u);
    EXPECT_EQ(Lines(arguments.begin(), arguments.end() - 1),
              (Lines{"--utf8", "--to", to[0], "--to", to[1], "--cc", cc[0]}));
    const std::string& uri = arguments.back();
    EXPECT_EQ(
        uri.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%:?=&"),
        std::string::npos)
        << uri;
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(MailtoFields(uri), (Fields{{"subject", subject}, {"body", body}, {"attach", attachments[0]}}));
    EXPECT_TRUE(NoChildLeft());
}

// A recipient that looks like an option or a whole mailto URL stays a recipient; one that
// xdg-email would pass through echo changed is refused before anything starts.
TEST_F(SendMailTest, RecipientsAreNeverTakenAsOptionsAndOddOnesAreRefused) {
    Composer("exit 0\n");
    const Lines to{"--attach=/etc/shadow", "mailto:x@example.org?attach=/etc/shadow"};
    ASSERT_TRUE(SendMail(&to, nullptr, "s", "b", nullptr));
    EXPECT_EQ(ReadRecordedArguments(Record()),
              (Lines{"--utf8", "--to", to[0], "--to", to[1], "mailto:?subject=s&body=b"}));
    std::filesystem::remove(Record());
    for (const std::string odd : {"a\\c@example.org", "a@example.org\nb@example.org"}) {
        const Lines bad{odd};
        sMailOutcome outcome;
        EXPECT_FALSE(SendMail(&bad, nullptr, "s", "b", nullptr, {}, &outcome));
        EXPECT_EQ(outcome.Error, "the address '" + odd + "' holds characters no mail address has");
    }
    EXPECT_FALSE(std::filesystem::exists(Record()));
}

// More than one argument may carry cannot be started at all: refused with the reason.
TEST_F(SendMailTest, MessageTooLongToHandOverIsRefusedWithTheReason) {
    Composer("exit 0\n");
    const Lines to{"a@example.org"};
    sMailOutcome outcome;
    EXPECT_FALSE(SendMail(&to, nullptr, "s", std::string(50000, '\\'), nullptr, {}, &outcome));
    EXPECT_EQ(
        outcome.Error,
        "the message is too long to hand to the mail program (150023 bytes once encoded, at most 131071)");
    EXPECT_FALSE(std::filesystem::exists(Record()));
}

TEST_F(SendMailTest, NoRecipientGivesFalseWithoutStartingTheComposer) {
    Composer("exit 0\n");
    const Lines none;
    sMailOutcome outcome;
    EXPECT_FALSE(SendMail(&none, nullptr, "s", "b", nullptr, {}, &outcome));
    EXPECT_EQ(outcome.Error, "the mail has no recipient");
    EXPECT_FALSE(SendMail(nullptr, nullptr, "s", "b", nullptr));
    EXPECT_FALSE(std::filesystem::exists(Record()));
}

// A failure says why, in words the user can act on.
TEST_F(SendMailTest, ResultIsTheComposersExitStatusAndAFailureSaysWhy) {
    const Lines to{"a@example.org"};
    struct Case {
        std::string script;
        bool sent;
        std::string error;
    };
    const Case cases[] = {
        {"exit 0\n", true, ""},
        {"exit 1\n", false, "xdg-email ended with exit status 1: it refused its command line"},
        {"exit 3\n", false, "xdg-email ended with exit status 3: no mail program is set up on this desktop"},
        {"exit 4\n", false,
         "xdg-email ended with exit status 4: the mail program could not take the message"},
        {"exit 9\n", false, "xdg-email ended with exit status 9: it failed"},
        {"kill -TERM $$\n", false, "xdg-email was ended by signal 15 (Terminated)"},
    };
    for (const Case& c : cases) {
        Composer(c.script);
        sMailOutcome outcome;
        EXPECT_EQ(SendMail(&to, nullptr, "s", "b", nullptr, {}, &outcome), c.sent) << c.script;
        EXPECT_EQ(outcome.Error, c.error);
        EXPECT_FALSE(outcome.StillOpen);
    }
}

TEST_F(SendMailTest, EmptySubjectAndBodyAreLeftOut) {
    Composer("exit 0\n");
    const Lines to{"a@example.org"};
    ASSERT_TRUE(SendMail(&to, nullptr, "", "", nullptr));
    EXPECT_EQ(ReadRecordedArguments(Record()), (Lines{"--utf8", "--to", "a@example.org", "mailto:"}));
}

TEST_F(SendMailTest, MissingComposerSaysSo) {
    ScopedEnvironment emptyPath("PATH", dir_.File("empty"));
    const Lines to{"a@example.org"};
    sMailOutcome outcome;
    EXPECT_FALSE(SendMail(&to, nullptr, "s", "b", nullptr, {}, &outcome));
    EXPECT_EQ(outcome.Error, "xdg-email was not found (it comes with xdg-utils)");
}

// A composer that keeps the caller waiting is given up after the time-out, while the
// window keeps working, and counts as still open, not as failed; it is reaped when it ends.
TEST_F(SendMailTest, ComposerThatDoesNotReturnIsStillOpenAfterTheTimeOut) {
    Composer("echo $$ > '" + dir_.File("pid") + "'\nexec sleep 60\n");
    const Lines to{"a@example.org"};
    sMailWait wait;
    wait.TimeoutMs = 200;
    int processed = 0;
    wait.ProcessEvents = [&processed, this] {
        ++processed;
        WaitForFile(dir_.File("pid"));
    };
    sMailOutcome outcome;
    EXPECT_FALSE(SendMail(&to, nullptr, "s", "b", nullptr, wait, &outcome));
    EXPECT_TRUE(outcome.StillOpen);
    EXPECT_EQ(outcome.Error, "");
    EXPECT_GE(processed, 1);
    ASSERT_TRUE(WaitForFile(dir_.File("pid")));
    const pid_t pid = std::stoi(ReadBytes(dir_.File("pid")));
    kill(pid, SIGKILL);
    EXPECT_TRUE(NoChildLeft());
}

// A child has a session of its own, so a Ctrl+C on the caller's terminal does not reach it.
TEST(Spawn, ChildRunsInASessionOfItsOwn) {
    ScratchDir dir;
    const std::string script = dir.File("session.sh");
    WriteScript(script, "cut -d ' ' -f 6 /proc/$$/stat > '" + dir.File("sid") + "'\n");
    const pid_t pid = ZULSpawn({script}, false);
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const pid_t session = std::stoi(ReadBytes(dir.File("sid")));
    EXPECT_EQ(session, pid);
    EXPECT_NE(session, getsid(0));
}

}  // namespace
