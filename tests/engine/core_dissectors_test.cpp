// The dissector names asked of tshark: the real one where it is installed, and
// stand-ins on the PATH for the ways a tshark can fail.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "ZPcapDissectors.h"

namespace {

// PATH names only folder for as long as it lives.
class PathOnly {
public:
    explicit PathOnly(const std::string& folder) : saved_(getenv("PATH") ? getenv("PATH") : "") {
        setenv("PATH", folder.c_str(), 1);
    }
    ~PathOnly() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

TEST(Dissectors, StandInsForEveryWayATsharkAnswers) {
    const struct {
        const char* Name;
        const char* Script;  // null: no tshark at all
        bool Listed;
        std::vector<std::string> Names;
    } rows[] = {
        {"dissectors, sorted and each once",
         "[ \"$2\" = dissectors ] && printf 'mbrtu\\tModbus RTU\\ndata\\tData\\nmbrtu\\tModbus RTU\\n'",
         true,
         {"data", "mbrtu"}},
        {"no dissectors report: the protocols' filter names",
         "[ \"$2\" = dissectors ] && exit 1\nprintf 'Modbus RTU\\tModbus "
         "RTU\\tmbrtu\\nData\\tData\\tdata\\nodd line\\n'",
         true,
         {"data", "mbrtu"}},
        {"fails on both", "exit 2", false, {}},
        {"answers nothing", "exit 0", false, {}},
        {"a name but a failing exit", "echo mbrtu; exit 3", false, {}},
        // Ended at the limit: waiting for them would outlast the test's own time limit.
        {"closes its output and stays", "exec >&-; exec /bin/sleep 3600", false, {}},
        {"says nothing and stays", "exec /bin/sleep 3600", false, {}},
        {"more than 4 MiB", "exec /usr/bin/yes mbrtu", false, {}},
        {"missing", nullptr, false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        ScratchDir folder;
        if (row.Script != nullptr) {
            const std::string tshark = folder.Path() + "tshark";
            std::ofstream(tshark) << "#!/bin/sh\n" << row.Script << '\n';
            ASSERT_EQ(chmod(tshark.c_str(), 0700), 0);
        }
        const PathOnly path(folder.Path());
        std::vector<std::string> names{"left over"};
        EXPECT_EQ(ZListDissectors(names, std::chrono::seconds(1)), row.Listed);
        EXPECT_EQ(names, row.Names);
    }
}

TEST(Dissectors, TheInstalledTsharkKnowsModbusRtu) {
    std::vector<std::string> names;
    ASSERT_TRUE(ZListDissectors(names)) << "tshark is installed by scripts/install-deps.sh";
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "mbrtu"));
    EXPECT_EQ(ZCheckDissector("no-such-dissector"), ZDissectorCheck::Unknown);
}

}  // namespace
