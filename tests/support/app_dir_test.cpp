#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "ZULAppDir.h"

namespace {

// Sets an environment variable for one test and puts the old state back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name), hadOld_(std::getenv(name) != nullptr) {
        if (hadOld_) old_ = std::getenv(name);
        setenv(name, value, 1);
    }
    ~ScopedEnv() { hadOld_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    bool hadOld_;
    std::string old_;
};

struct ChoiceCase {
    const char* name;
    ZULAppDirInputs inputs;
    std::string expected;
};

class AppDirChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(AppDirChoiceTest, PicksTheFirstUsableCandidate) {
    EXPECT_EQ(ZULChooseAppDir(GetParam().inputs), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Candidates, AppDirChoiceTest,
    ::testing::Values(
        ChoiceCase{"HomeVariableWins", {"/opt/k", "/usr/bin/", true, "/x", "/home/u"}, "/opt/k/"},
        ChoiceCase{"HomeVariableKeepsItsSlash", {"/opt/k/", "/usr/bin/", false, "", "/home/u"}, "/opt/k/"},
        ChoiceCase{"WritableExeDir", {"", "/srv/kestrun/", true, "/x", "/home/u"}, "/srv/kestrun/"},
        ChoiceCase{"ExeDirGetsASlash", {"", "/srv/kestrun", true, "", "/home/u"}, "/srv/kestrun/"},
        ChoiceCase{"ReadOnlyExeDirUsesXdg", {"", "/usr/bin/", false, "/data", "/home/u"}, "/data/kestrun/"},
        ChoiceCase{"XdgWithSlash", {"", "/usr/bin/", false, "/data/", "/home/u"}, "/data/kestrun/"},
        ChoiceCase{"NoXdgUsesHome", {"", "/usr/bin/", false, "", "/home/u"}, "/home/u/.local/share/kestrun/"},
        ChoiceCase{
            "HomeWithSlash", {"", "/usr/bin/", false, "", "/home/u/"}, "/home/u/.local/share/kestrun/"},
        ChoiceCase{"RelativeXdgIgnored",
                   {"", "/usr/bin/", false, "data", "/home/u"},
                   "/home/u/.local/share/kestrun/"},
        ChoiceCase{"UnknownExeDirUsesXdg", {"", "", true, "/data", "/home/u"}, "/data/kestrun/"}),
    [](const ::testing::TestParamInfo<ChoiceCase>& param) { return std::string(param.param.name); });

std::string SelfDirIndependently() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return "";
    const std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

TEST(AppDir, ExeDirIsTheFolderOfThisTestProgram) {
    const std::string dir = ZULGetExeDir();
    EXPECT_EQ(dir, SelfDirIndependently());
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + program_invocation_short_name));
}

TEST(AppDir, EnvironmentVariableIsHonouredWithATrailingSlash) {
    ScopedEnv home("KESTRUN_HOME", "/var/lib/kestrun-test");
    EXPECT_EQ(ZULGetAppDir(), "/var/lib/kestrun-test/");
}

TEST(AppDir, EmptyEnvironmentVariableCountsAsUnset) {
    ScopedEnv home("KESTRUN_HOME", "");
    ScopedEnv xdg("XDG_DATA_HOME", "/xdg-test");
    const std::string dir = ZULGetAppDir();
    if (access(SelfDirIndependently().c_str(), W_OK) == 0)
        EXPECT_EQ(dir, SelfDirIndependently());
    else
        EXPECT_EQ(dir, "/xdg-test/kestrun/");
}

TEST(AppDir, ForceDirectoriesCreatesParentsAndAcceptsExisting) {
    ScratchDir scratch;
    const std::string nested = scratch.File("a/b/c/");
    EXPECT_TRUE(ZULForceDirectories(nested));
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(ZULForceDirectories(nested));
    EXPECT_TRUE(ZULForceDirectories(scratch.File("a/b")));
}

TEST(AppDir, ForceDirectoriesFailsWhereNoDirectoryCanBe) {
    ScratchDir scratch;
    WriteBytes(scratch.File("plain_file"), "x");
    // The caller explains the failure from errno.
    errno = 0;
    EXPECT_FALSE(ZULForceDirectories(scratch.File("plain_file")));
    EXPECT_TRUE(errno == ENOTDIR || errno == EEXIST) << errno;
    errno = 0;
    EXPECT_FALSE(ZULForceDirectories(scratch.File("plain_file/below")));
    EXPECT_EQ(errno, ENOTDIR);
    errno = 0;
    EXPECT_FALSE(ZULForceDirectories(""));
    EXPECT_NE(errno, 0);
}

}  // namespace
