// kestrun-cli ports: the present ports with the devices they open.

#include <map>

#include "CliTestSupport.h"

namespace clitest {
namespace {

std::map<std::string, std::string> ParsePortLines(const std::string& out) {
    std::map<std::string, std::string> ports;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        // "COM98 — pts/3<TAB>/path/of/the/device"
        const size_t blank = line.find_first_of(" \t");
        const size_t tab = line.rfind('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        EXPECT_EQ(line.rfind("COM", 0), 0u) << line;
        ports[line.substr(0, blank)] = line.substr(tab + 1);
    }
    return ports;
}

TEST(PortsCommandTest, OverrideLinkToAPseudoTerminalIsListed) {
    const CliResult result = RunCli({"ports"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const auto ports = ParsePortLines(result.Out);
    ASSERT_EQ(ports.count("COM98"), 1u) << result.Out;
    EXPECT_EQ(std::filesystem::canonical(ports.at("COM98")),
              std::filesystem::canonical(TestPty().SlavePath()));
    EXPECT_EQ(ports.count("COM97"), 0u) << "COM97 has neither a device nor an override";
}

}  // namespace
}  // namespace clitest
