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
        ChoiceCase{"HomeVariableWins", {"/opt/k", "/usr/bin/", true, "/x", "/home/u", ""}, "/opt/k/"},
        ChoiceCase{
            "HomeVariableKeepsItsSlash", {"/opt/k/", "/usr/bin/", false, "", "/home/u", ""}, "/opt/k/"},
        ChoiceCase{"WritableExeDir", {"", "/srv/kestrun/", true, "/x", "/home/u", ""}, "/srv/kestrun/"},
        ChoiceCase{"ExeDirGetsASlash", {"", "/srv/kestrun", true, "", "/home/u", ""}, "/srv/kestrun/"},
        ChoiceCase{
            "ReadOnlyExeDirUsesXdg", {"", "/usr/bin/", false, "/data", "/home/u", ""}, "/data/kestrun/"},
        ChoiceCase{"XdgWithSlash", {"", "/usr/bin/", false, "/data/", "/home/u", ""}, "/data/kestrun/"},
        ChoiceCase{
            "NoXdgUsesHome", {"", "/usr/bin/", false, "", "/home/u", ""}, "/home/u/.local/share/kestrun/"},
        ChoiceCase{
            "HomeWithSlash", {"", "/usr/bin/", false, "", "/home/u/", ""}, "/home/u/.local/share/kestrun/"},
        ChoiceCase{"RelativeXdgIgnored",
                   {"", "/usr/bin/", false, "data", "/home/u", ""},
                   "/home/u/.local/share/kestrun/"},
        ChoiceCase{"UnknownExeDirUsesXdg", {"", "", true, "/data", "/home/u", ""}, "/data/kestrun/"},
        // An installed program never writes beside itself, whoever runs it.
        ChoiceCase{"SystemFolderUsr", {"", "/usr/bin/", true, "/data", "/root", ""}, "/data/kestrun/"},
        ChoiceCase{
            "SystemFolderUsrLocal", {"", "/usr/local/bin", true, "/data", "/root", ""}, "/data/kestrun/"},
        ChoiceCase{
            "SystemFolderOpt", {"", "/opt/kestrun/", true, "", "/root", ""}, "/root/.local/share/kestrun/"},
        ChoiceCase{"SystemFolderBin", {"", "/bin", true, "/data", "/root", ""}, "/data/kestrun/"},
        ChoiceCase{"SystemFolderSbin", {"", "/sbin/", true, "/data", "/root", ""}, "/data/kestrun/"},
        ChoiceCase{"SystemFolderLib", {"", "/lib/kestrun/", true, "/data", "/root", ""}, "/data/kestrun/"},
        ChoiceCase{"SystemFolderEtc", {"", "/etc/kestrun", true, "/data", "/root", ""}, "/data/kestrun/"},
        ChoiceCase{
            "ANameThatOnlyStartsLikeOne", {"", "/usrdata/k/", true, "/data", "/root", ""}, "/usrdata/k/"},
        // A leading "~" is the home folder, never a folder named "~".
        ChoiceCase{"TildeAlone", {"~", "/srv/k/", true, "", "/home/u", ""}, "/home/u/"},
        ChoiceCase{"TildeSlashPath", {"~/kestrun", "/srv/k/", true, "", "/home/u/", ""}, "/home/u/kestrun/"},
        ChoiceCase{"TildeWithoutHome", {"~/k", "/srv/k/", true, "/data", "", ""}, "/srv/k/"},
        ChoiceCase{"RelativeFromCurrentDir",
                   {"k/home", "/srv/k/", true, "", "/home/u", "/work/dir"},
                   "/work/dir/k/home/"},
        ChoiceCase{"RelativeWithoutCurrentDir",
                   {"k/home", "/srv/k/", false, "/data", "/home/u", ""},
                   "/data/kestrun/"},
        // Without an absolute home there is no folder: never one below the current folder or "/".
        ChoiceCase{"RelativeHomeGivesNone", {"", "/usr/bin/", false, "", "home/u", ""}, ""},
        ChoiceCase{"NoHomeGivesNone", {"", "/usr/bin/", false, "", "", ""}, ""}),
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

// The folder itself, not what a link of its name points to, decides.
bool PrivateIndependently(const std::string& dir) {
    struct stat info {};
    const std::string path = dir.substr(0, dir.size() - 1);
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 022) == 0;
}

TEST(AppDir, EmptyEnvironmentVariableCountsAsUnset) {
    ScopedEnv home("KESTRUN_HOME", "");
    ScopedEnv xdg("XDG_DATA_HOME", "/xdg-test");
    const std::string dir = ZULGetAppDir();
    if (PrivateIndependently(SelfDirIndependently()) && SelfDirIndependently().rfind("/usr/", 0) != 0)
        EXPECT_EQ(dir, SelfDirIndependently());
    else
        EXPECT_EQ(dir, "/xdg-test/kestrun/");
}

TEST(AppDir, ARelativeHomeVariableIsTakenFromTheCurrentFolder) {
    ScopedEnv home("KESTRUN_HOME", "relative/home");
    EXPECT_EQ(ZULGetAppDir(), std::filesystem::current_path().string() + "/relative/home/");
}

// The application directory, wherever it was chosen from, is refused when another
// user could create or replace names in it (or, before it exists, where it would be made).
struct AppFolderCase {
    const char* name;
    // Prepares the scratch folder and returns what KESTRUN_HOME names, below it.
    std::string (*prepare)(const std::string& scratch);
    std::string refusal;  // empty when usable; else the message after the folder's name
};

std::string Made(const std::string& path, mode_t mode) {
    std::filesystem::create_directory(path);
    ::chmod(path.c_str(), mode);
    return path;
}

class AppFolderCheckTest : public ::testing::TestWithParam<AppFolderCase> {};

TEST_P(AppFolderCheckTest, AFolderOthersMayWriteIsRefusedWithTheReason) {
    ScratchDir scratch;
    const std::string home = GetParam().prepare(scratch.Path());
    ScopedEnv variable("KESTRUN_HOME", home.c_str());
    std::string errorText;
    const bool usable = ZULCheckAppDir(errorText);
    EXPECT_EQ(usable, GetParam().refusal.empty()) << errorText;
    if (!usable) {
        const std::string begin = "The application directory \"" + home + "/\" cannot be used: ";
        std::string refusal = GetParam().refusal;
        for (size_t at; (at = refusal.find("<scratch>")) != std::string::npos;)
            refusal.replace(at, 9, scratch.Path());
        EXPECT_EQ(errorText, begin + refusal + ". Another user could plant files there.");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, AppFolderCheckTest,
    ::testing::Values(
        AppFolderCase{"OwnClosedFolder", [](const std::string& s) { return Made(s + "k", 0700); }, ""},
        AppFolderCase{"NotMadeYetInAnOwnFolder", [](const std::string& s) { return s + "new/k"; }, ""},
        AppFolderCase{"StickyForEveryone", [](const std::string& s) { return Made(s + "k", 01777); },
                      "others may write to it"},
        AppFolderCase{"GroupWritable", [](const std::string& s) { return Made(s + "k", 0770); },
                      "others may write to it"},
        AppFolderCase{"LinkToAFolderForEveryone",
                      [](const std::string& s) {
                          Made(s + "open", 01777);
                          std::filesystem::create_directory_symlink(s + "open", s + "k");
                          return s + "k";
                      },
                      "others may write to it (<scratch>open)"},
        AppFolderCase{"NotMadeYetInAFolderForEveryone",
                      [](const std::string& s) { return Made(s + "open", 01777) + "/k"; },
                      "the folder \"<scratch>open\" it would be made in: others may write to it"}),
    [](const ::testing::TestParamInfo<AppFolderCase>& param) { return std::string(param.param.name); });

// Who may write to the executable's folder decides whether it may hold our files.
struct FolderCase {
    const char* name;
    mode_t mode;
    bool ofAnotherUser;  // needs root to arrange
    bool viaLink;        // the name is a link to such a folder
    bool isPrivate;
};

class PrivateFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(PrivateFolderTest, OnlyTheUsersOwnClosedFolderIsPrivate) {
    const FolderCase& c = GetParam();
    if (c.ofAnotherUser && ::geteuid() != 0) GTEST_SKIP() << "giving a folder away needs root";
    ScratchDir scratch;
    const std::string folder = scratch.File("bin");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ASSERT_EQ(::chmod(folder.c_str(), c.mode), 0);
    if (c.ofAnotherUser) {
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    }
    std::string name = folder;
    if (c.viaLink) {
        name = scratch.File("link");
        std::filesystem::create_symlink(folder, name);
    }
    EXPECT_EQ(ZULIsPrivateFolder(name), c.isPrivate);
    EXPECT_EQ(ZULIsPrivateFolder(name + "/"), c.isPrivate);
}

INSTANTIATE_TEST_SUITE_P(Folders, PrivateFolderTest,
                         ::testing::Values(FolderCase{"Own0755", 0755, false, false, true},
                                           FolderCase{"Own0700", 0700, false, false, true},
                                           FolderCase{"GroupWritable", 0775, false, false, false},
                                           FolderCase{"OthersWritable", 0757, false, false, false},
                                           FolderCase{"StickyForEveryone", 01777, false, false, false},
                                           FolderCase{"AnotherUsers", 0755, true, false, false},
                                           FolderCase{"LinkToOwnFolder", 0755, false, true, false}),
                         [](const ::testing::TestParamInfo<FolderCase>& param) {
                             return std::string(param.param.name);
                         });

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
