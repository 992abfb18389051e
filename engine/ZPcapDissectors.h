#pragma once
// The dissector names Wireshark decodes packets by, asked of tshark where it is
// installed: what the command line warns about and the window program offers.

#include <chrono>
#include <string>
#include <vector>

enum class ZDissectorCheck { Known, Unknown, Unchecked };

// The names tshark lists ("-G dissectors", or the protocols' filter names where
// tshark has no such report), sorted, each once. False, with names empty, when tshark
// is missing, fails or does not answer: it runs without a shell in a session of its
// own, at most limit (each report asked for) and 4 MiB of output, and what it left
// running is killed. Blocks the caller while tshark runs; any thread.
bool ZListDissectors(std::vector<std::string>& names,
                     std::chrono::milliseconds limit = std::chrono::seconds(15));

// Whether tshark lists name; Unchecked when it cannot tell. Blocks as ZListDissectors.
ZDissectorCheck ZCheckDissector(const std::string& name);
