#pragma once
// Reading the captures the tests write with tshark, the program users read them with.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include "ZULSpawn.h"

namespace clitest {

struct TsharkResult {
    int Code = -1;
    std::string Out;
};

// Runs tshark with args; its standard error is left out.
inline TsharkResult RunTshark(const std::vector<std::string>& args) {
    std::vector<std::string> command{"tshark"};
    command.insert(command.end(), args.begin(), args.end());
    TsharkResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return result;
    const pid_t pid = ZULSpawn(command, true, fds[1]);
    ::close(fds[1]);
    char buffer[65536];
    for (ssize_t got;
         pid > 0 && ((got = ::read(fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR));)
        if (got > 0) result.Out.append(buffer, static_cast<size_t>(got));
    ::close(fds[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.Code = WEXITSTATUS(status);
    return result;
}

// One packet as tshark reads it: the epb_flags, the comment, the dissector named by the
// exported-PDU tag, the bytes after the tags, and the Modbus unit and function (when
// decoded as Modbus).
struct TsharkPacket {
    std::string Flags;
    std::string Comment;
    std::string Protocol;
    std::string Hex;
    std::string Unit;
    std::string Function;
};

// The packets of a capture; with mustRead, fails the test when tshark cannot read it.
inline std::vector<TsharkPacket> ReadPackets(const std::string& path, bool mustRead = true) {
    const TsharkResult read =
        RunTshark({"-r", path, "-T", "fields", "-E", "separator=/t", "-e", "frame.packet_flags", "-e",
                   "frame.comment", "-e", "exported_pdu.prot_name", "-e", "exported_pdu.exported_pdu", "-e",
                   "mbrtu.unit_id", "-e", "modbus.func_code"});
    if (mustRead) {
        EXPECT_EQ(read.Code, 0) << "tshark could not read " << path;
    }
    std::vector<TsharkPacket> packets;
    std::istringstream lines(read.Out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        fields.resize(6);
        packets.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
    }
    return packets;
}

}  // namespace clitest
