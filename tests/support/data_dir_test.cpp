// Where the programs find their samples: installed beside the executable, or in the sources.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "ZULDataDir.h"

namespace {

// A tree under a scratch folder: "usr/bin/" always; the installed samples folder as
// a folder, as a plain file, or missing.
enum class Installed { Folder, File, Missing };

struct SamplesCase {
    const char* name;
    Installed installed;
    bool exeDirKnown;
    std::string expectedBelowScratch;  // empty: the source folder
};

class SamplesDirTest : public ::testing::TestWithParam<SamplesCase> {};

TEST_P(SamplesDirTest, PrefersTheInstalledFolder) {
    const SamplesCase& c = GetParam();
    ScratchDir scratch;
    std::filesystem::create_directories(scratch.File("usr/bin"));
    std::filesystem::create_directories(scratch.File("usr/share"));
    if (c.installed == Installed::Folder)
        std::filesystem::create_directory(scratch.File("usr/share/kestrun"));
    if (c.installed == Installed::File) WriteBytes(scratch.File("usr/share/kestrun"), "not a folder");

    const std::string exeDir = c.exeDirKnown ? scratch.File("usr/bin/") : "";
    const std::string found = ZULFindSamplesDir(exeDir, "../share/kestrun", "/src/kestrun/samples");
    const std::string expected =
        c.expectedBelowScratch.empty() ? "/src/kestrun/samples/" : scratch.File(c.expectedBelowScratch);
    EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SamplesDirTest,
    ::testing::Values(SamplesCase{"Installed", Installed::Folder, true, "usr/share/kestrun/"},
                      SamplesCase{"BuildTree", Installed::Missing, true, ""},
                      SamplesCase{"PlainFileIsNoFolder", Installed::File, true, ""},
                      SamplesCase{"UnknownExeDir", Installed::Folder, false, ""}),
    [](const ::testing::TestParamInfo<SamplesCase>& param) { return std::string(param.param.name); });

TEST(SamplesDirTest, ThisBuildFindsTheSampleFiles) {
    const std::string dir = ZULGetSamplesDir();
    ASSERT_EQ(dir.back(), '/');
    for (const char* name : {"demo_dynamic.scs", "demo_dynamic.bin", "demo_between.scs", "demo_fixed.bin"})
        EXPECT_TRUE(std::filesystem::is_regular_file(dir + name)) << dir << name;
}

}  // namespace
