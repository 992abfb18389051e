// Writing a profile to disk: the old file is replaced only by a complete new one.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "ZULIniFile.h"

namespace {

constexpr const char* OldText = "[s]\r\nkey=old\r\n";

int FileCount(const std::string& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

mode_t ModeOf(const std::string& fileName) {
    struct stat status {};
    EXPECT_EQ(::stat(fileName.c_str(), &status), 0);
    return status.st_mode & 07777;
}

class IniUpdateFileTest : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(target_, OldText); }

    ScratchDir dir_;
    const std::string target_ = dir_.File("settings.scs");
};

TEST_F(IniUpdateFileTest, ASuccessfulUpdateReplacesTheFileAndLeavesNoTemporaryFile) {
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", "new");
    ini.WriteString("t", "other", "1");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(target_), "[s]\r\nkey=new\r\n[t]\r\nother=1\r\n");
    EXPECT_EQ(FileCount(dir_.Path()), 1);
}

TEST_F(IniUpdateFileTest, AnUnboundProfileIsWrittenToTheNamedFileAndBoundToIt) {
    ZULIniFile ini;
    EXPECT_FALSE(ini.UpdateFile());
    ini.WriteString("a", "b", "c");
    const std::string file = dir_.File("fresh.scs");
    ASSERT_TRUE(ini.UpdateFile(file));
    EXPECT_EQ(ini.FileName(), file);
    EXPECT_EQ(ReadBytes(file), "[a]\r\nb=c\r\n");
    EXPECT_EQ(ModeOf(file), 0644u);
}

TEST_F(IniUpdateFileTest, TheModeOfTheReplacedFileIsKept) {
    ASSERT_EQ(::chmod(target_.c_str(), 0600), 0);
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", "new");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ModeOf(target_), 0600u);
}

TEST_F(IniUpdateFileTest, AFolderThatCannotBeWrittenFailsAndKeepsTheOldFile) {
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0555), 0);
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", "new");
    {
        UnprivilegedFileAccess asNobody;
        EXPECT_FALSE(ini.UpdateFile());
    }
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
    EXPECT_EQ(ReadBytes(target_), OldText);
    EXPECT_EQ(FileCount(dir_.Path()), 1);
}

TEST_F(IniUpdateFileTest, AReadOnlyFileIsRefusedAndKept) {
    ASSERT_EQ(::chmod(target_.c_str(), 0444), 0);
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", "new");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(target_), OldText);
    EXPECT_EQ(ModeOf(target_), 0444u);
    EXPECT_EQ(FileCount(dir_.Path()), 1);
}

TEST_F(IniUpdateFileTest, ALinkIsFollowedAndItsTargetReplaced) {
    std::filesystem::create_directory(dir_.File("real"));
    const std::string real = dir_.File("real/settings.scs");
    WriteBytes(real, OldText);
    const std::string link = dir_.File("link.scs");
    std::filesystem::create_symlink("real/settings.scs", link);
    ZULIniFile ini(link);
    ini.WriteString("s", "key", "new");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(real), "[s]\r\nkey=new\r\n");
    EXPECT_EQ(FileCount(dir_.File("real")), 1);
}

// In a folder that others may write to, a link under the settings file's name may
// have been planted by another user to make the save overwrite one of the user's
// own files. Such a link is never followed: the save replaces the link itself with
// the new file (atomically, by rename), and where the folder's sticky bit protects
// another user's link, the save is refused. Either way the link's target is kept.
struct PlantedLinkCase {
    const char* name;
    mode_t folderMode;
    bool linkOfAnotherUser;  // saved as a third user: needs root to arrange
    bool saved;              // false: refused, the link left as it was
};

class PlantedLinkTest : public ::testing::TestWithParam<PlantedLinkCase> {};

TEST_P(PlantedLinkTest, TheLinksTargetIsNeverWritten) {
    const PlantedLinkCase& c = GetParam();
    if (c.linkOfAnotherUser && ::geteuid() != 0) GTEST_SKIP() << "giving a link away needs root";
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("victim"));
    const std::string victim = dir.File("victim/secret.txt");
    WriteBytes(victim, OldText);
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("shared"));
    const std::string name = dir.File("shared/_last_used.scs");
    std::filesystem::create_symlink(victim, name);
    constexpr uid_t ThirdUser = 12345;
    if (c.linkOfAnotherUser) {
        ASSERT_EQ(::lchown(name.c_str(), ThirdUser, ThirdUser), 0);
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    }
    ASSERT_EQ(::chmod(dir.File("shared").c_str(), c.folderMode), 0);

    ZULIniFile ini;
    ini.WriteString("s", "key", "new");
    if (c.linkOfAnotherUser) {
        // Root would pass the sticky bit's protection; the user saving is not root.
        UnprivilegedFileAccess asNobody;
        EXPECT_EQ(ini.UpdateFile(name), c.saved);
    } else {
        EXPECT_EQ(ini.UpdateFile(name), c.saved);
    }
    const bool saved = c.saved;
    EXPECT_EQ(ReadBytes(victim), OldText);
    EXPECT_EQ(ModeOf(victim), 0600u);
    if (saved) {
        EXPECT_FALSE(std::filesystem::is_symlink(name));
        EXPECT_EQ(ReadBytes(name), "[s]\r\nkey=new\r\n");
    } else {
        EXPECT_TRUE(std::filesystem::is_symlink(name));
    }
    EXPECT_EQ(FileCount(dir.File("shared")), 1);
}

INSTANTIATE_TEST_SUITE_P(Folders, PlantedLinkTest,
                         ::testing::Values(PlantedLinkCase{"WorldWritable", 0777, false, true},
                                           PlantedLinkCase{"GroupWritable", 0775, false, true},
                                           PlantedLinkCase{"StickyOwnLink", 01777, false, true},
                                           PlantedLinkCase{"StickyLinkOfAnotherUser", 01777, true, false}),
                         [](const ::testing::TestParamInfo<PlantedLinkCase>& param) {
                             return std::string(param.param.name);
                         });

// Permissions are taken over only from the user's own file: another user's choice
// (anyone may write, say) is not ours to copy; we give what we give new files.
struct TakenModeCase {
    const char* name;
    bool ofAnotherUser;  // needs root to arrange
    mode_t before;
    bool keepsMode;  // else 0666 without the umask's bits
};

class TakenModeTest : public ::testing::TestWithParam<TakenModeCase> {};

TEST_P(TakenModeTest, PermissionsComeOnlyFromTheUsersOwnFile) {
    const TakenModeCase& c = GetParam();
    if (c.ofAnotherUser && ::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
    ScratchDir dir;
    const std::string target = dir.File("settings.scs");
    WriteBytes(target, OldText);
    if (c.ofAnotherUser) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(target.c_str(), c.before), 0);
    ZULIniFile ini(target);
    ini.WriteString("s", "key", "new");
    ASSERT_TRUE(ini.UpdateFile());
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(ModeOf(target), c.keepsMode ? c.before : 0666 & ~mask);
}

INSTANTIATE_TEST_SUITE_P(Owners, TakenModeTest,
                         ::testing::Values(TakenModeCase{"OwnOpenFile", false, 0777, true},
                                           TakenModeCase{"OwnPrivateFile", false, 0600, true},
                                           TakenModeCase{"AnotherUsersOpenFile", true, 0777, false},
                                           TakenModeCase{"AnotherUsersPrivateFile", true, 0600, false}),
                         [](const ::testing::TestParamInfo<TakenModeCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(IniUpdateFileTest, TheOwnerGroupAndModeOfTheReplacedFileAreKept) {
    constexpr gid_t OtherGroup = 100;
    if (::chown(target_.c_str(), static_cast<uid_t>(-1), OtherGroup) != 0)
        GTEST_SKIP() << "cannot change groups";
    ASSERT_EQ(::chmod(target_.c_str(), 0664), 0);
    struct stat before {};
    ASSERT_EQ(::stat(target_.c_str(), &before), 0);
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", "new");
    ASSERT_TRUE(ini.UpdateFile());
    struct stat after {};
    ASSERT_EQ(::stat(target_.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, OtherGroup);
    EXPECT_EQ(after.st_mode & 07777, 0664u);
}

TEST_F(IniUpdateFileTest, AWritableFileInAFolderThatCannotBeWrittenIsRewrittenInPlace) {
    ASSERT_EQ(::chmod(target_.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0555), 0);
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", "new");
    {
        UnprivilegedFileAccess asNobody;
        EXPECT_TRUE(ini.UpdateFile());
    }
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
    EXPECT_EQ(ReadBytes(target_), "[s]\r\nkey=new\r\n");
    EXPECT_EQ(FileCount(dir_.Path()), 1);
}

TEST_F(IniUpdateFileTest, AFailedWriteRemovesTheTemporaryFileAndKeepsTheOldFile) {
    ZULIniFile ini(target_);
    ini.WriteString("s", "key", std::string(4096, 'v'));
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(ini.UpdateFile());
    }
    EXPECT_EQ(ReadBytes(target_), OldText);
    EXPECT_EQ(FileCount(dir_.Path()), 1);
}

TEST_F(IniUpdateFileTest, AFailedRenameRemovesTheTemporaryFile) {
    const std::string folderTarget = dir_.File("occupied");
    std::filesystem::create_directory(folderTarget);
    WriteBytes(folderTarget + "/inside", "x");
    ZULIniFile ini;
    ini.WriteString("s", "k", "v");
    EXPECT_FALSE(ini.UpdateFile(folderTarget));
    EXPECT_TRUE(std::filesystem::is_directory(folderTarget));
    EXPECT_EQ(ReadBytes(folderTarget + "/inside"), "x");
    EXPECT_EQ(FileCount(dir_.Path()), 2);
    EXPECT_TRUE(ini.FileName().empty());
}

TEST_F(IniUpdateFileTest, AMissingFolderFails) {
    ZULIniFile ini;
    ini.WriteString("s", "k", "v");
    EXPECT_FALSE(ini.UpdateFile(dir_.File("no/such/folder.scs")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("no")));
}

}  // namespace
