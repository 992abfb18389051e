#pragma once
// Whether Wireshark knows a dissector name, asked of tshark when it is installed.

#include <ostream>
#include <string>

enum class ZCliDissectorCheck { Known, Unknown, Unchecked };

// Asks tshark for the names it decodes by ("-G dissectors", or the protocols' filter
// names where tshark has no such report). Unchecked when tshark is missing, fails or
// does not answer: it runs without a shell in a session of its own, at most
// 15 seconds and 4 MiB of output. Blocks the caller while tshark runs.
ZCliDissectorCheck ZCliCheckDissector(const std::string& name);

// Writes one warning to err when tshark does not list name; nothing otherwise (also
// when tshark cannot tell). "data", which every Wireshark has, is not asked about.
void ZCliWarnUnknownDissector(const std::string& name, std::ostream& err);
