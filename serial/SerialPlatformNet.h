#pragma once
// Serial ports served over the network: "rfc2217://HOST:PORT" (a Telnet
// COM-PORT-OPTION server, RFC 2217) and "tcp://HOST:PORT" (the data alone, as a
// raw TCP stream). HOST is an IPv4 address, an IPv6 address in brackets or a host
// name. Such an address opens through the same platform interface as a device.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "SerialPlatform.h"

struct TNetPortAddress {
    bool Rfc2217 = false;  // false: raw TCP
    std::string Host;      // without the brackets of an IPv6 address
    uint16_t Port = 0;
};

// Connecting, name resolution included, fails after this long.
constexpr int NetConnectLimitMs = 5000;

// Whether text has the form of a network port's address (it may still be malformed).
bool IsNetworkPortAddress(std::string_view text);
// Splits a network port's address; false when it is malformed (no host, a port
// outside 1..65535, an unclosed bracket).
bool ParseNetworkPortAddress(std::string_view text, TNetPortAddress& address);
// Whether text has the form of a network port's address but does not parse: an open
// refuses it at once (EINVAL).
bool IsMalformedNetworkPortAddress(std::string_view text);

// Connects to a network port, within NetConnectLimitMs (blocking the caller at most
// that long, a host name's resolution included), and for RFC 2217 waits until the
// server agreed to COM-PORT-OPTION. abandoned (may be empty) is asked every few
// milliseconds meanwhile and ends the wait at once. On failure returns null and sets
// errorNumber: ECONNREFUSED, EHOSTUNREACH, ENETUNREACH, ETIMEDOUT, ENOENT (no such
// host), EPROTO (the server speaks no RFC 2217), EINVAL (a malformed address),
// ECANCELED (abandoned) or another errno. The handle's fd-free operations follow
// ISerialHandle; a closed or reset connection is a hang-up.
std::unique_ptr<ISerialHandle> OpenNetworkPort(const std::string& address, int& errorNumber,
                                               const TOpenAbandoned& abandoned);
