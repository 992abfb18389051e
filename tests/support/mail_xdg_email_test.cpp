// SendMail through the real xdg-email, with a MAILER that records the URI a composer
// would get: whatever the texts hold, they arrive byte for byte and add nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcessHelpers.h"
#include "MailtoTestHelpers.h"
#include "ZULMail.h"

namespace {

using namespace std::string_literals;
using Fields = std::vector<std::pair<std::string, std::string>>;

class RealXdgEmailTest : public ::testing::Test {
protected:
    RealXdgEmailTest() : mailer_("MAILER", dir_.File("mailer.sh")) {
        WriteScript(dir_.File("mailer.sh"), "printf '%s' \"$1\" > '" + dir_.File("uri") + "'\n");
    }
    void SetUp() override {
        bool found = false;
        for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
            found = found || access((std::string(folder) + "xdg-email").c_str(), X_OK) == 0;
        ASSERT_TRUE(found) << "xdg-email is missing: scripts/install-deps.sh installs xdg-utils";
    }
    std::string Uri() const { return ReadBytes(dir_.File("uri")); }

    ScratchDir dir_;
    ScopedEnvironment mailer_;
};

TEST_F(RealXdgEmailTest, EveryBodyArrivesByteForByteAndAddsNothing) {
    struct Case {
        const char* name;
        std::string body;
    };
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
    const Case cases[] = {
        {"backslashes", "C:\\captures\\today\\new.log\n\\\\server\\share\\x\n"},
        {"echo's stop sequence", "before \\c after, and the report that follows\n"},
        {"echo's other sequences", "\\n \\t \\0101 \\x41 \\e \\\\ %41 %%"},
        {"NUL", "a\0b\0\0end"s},
        {"quotes and shell", "\"double\" 'single' `id` $(id) $HOME ; | & > /tmp/x *\n"},
        {"line ends", "one\ntwo\r\nthree\rfour\n\n\n"},
        {"non-ASCII", "caf\xC3\xA9 \xE2\x84\xA2 \xF0\x9F\x98\x80 \xFF\xFE broken\n"},
        {"crafted fields",
         "x&attach=/etc/passwd&to=evil@example.org\n?attach=/etc/passwd\n"
         "',attachment='/etc/passwd',to='evil@example.org\n"},
        {"every byte", everyByte},
        {"30 KB", std::string(30 * 1024, '\\')},
    };
    const std::vector<std::string> to{"support@kestrun.example"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_.File("uri"));
        sMailOutcome outcome;
        ASSERT_TRUE(SendMail(&to, nullptr, "Kestrun Bugreport", c.body, nullptr, {}, &outcome))
            << outcome.Error;
        EXPECT_EQ(
            MailtoFields(Uri()),
            (Fields{{"subject", "Kestrun Bugreport"}, {"body", c.body}, {"to", "support@kestrun.example"}}));
    }
}

TEST_F(RealXdgEmailTest, AttachmentsAndCopiesArriveAsGiven) {
    const std::string report = dir_.File("kestrun-system-report-Ab12Cd.txt");
    WriteBytes(report, "report\n");
    const std::vector<std::string> to{"support@kestrun.example"};
    const std::vector<std::string> cc{"copy@example.org"};
    const std::vector<std::string> attachments{report};
    ASSERT_TRUE(SendMail(&to, &cc, "s", "see the file", &attachments));
    EXPECT_EQ(MailtoFields(Uri()), (Fields{{"subject", "s"},
                                           {"body", "see the file"},
                                           {"attach", report},
                                           {"to", "support@kestrun.example"},
                                           {"cc", "copy@example.org"}}));
}

}  // namespace
