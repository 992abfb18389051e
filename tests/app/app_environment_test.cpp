// The process-wide setting every kestrun-cli test runs in: an application folder
// of its own (KESTRUN_HOME), the C locale for the times in log files, and a
// pseudo-terminal reachable as COM98 and COM99 through override links. The links
// must exist before the first port scan of the process, which happens once.

#include <stdlib.h>
#include <unistd.h>

#include "CliTestSupport.h"

namespace clitest {

std::string& TestHome() {
    static std::string home;
    return home;
}

ZPseudoTerminal& TestPty() {
    static ZPseudoTerminal pty;
    return pty;
}

namespace {

class AppTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        char pattern[] = "/tmp/kestrun_app_tests_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        TestHome() = std::string(pattern) + "/";
        setenv("KESTRUN_HOME", pattern, 1);
        ASSERT_TRUE(TestPty().Open());
        std::filesystem::create_directories(TestHome() + "ports");
        for (const char* name : {"com98", "com99"}) {
            std::filesystem::create_symlink(TestPty().SlavePath(), TestHome() + "ports/" + name);
        }
    }

    void TearDown() override {
        TestPty().Close();
        std::error_code ignored;
        std::filesystem::remove_all(TestHome(), ignored);
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

}  // namespace
}  // namespace clitest
