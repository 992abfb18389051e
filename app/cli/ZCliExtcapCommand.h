#pragma once
// kestrun-cli extcap: Wireshark's extcap interface, so that Wireshark and "tshark -i"
// capture Kestrun's frames live. Each present COM port is one interface,
// "kestrun-com<N>"; a capture writes the frames as a pcapng stream of link type
// LINKTYPE_WIRESHARK_UPPER_PDU into the FIFO Wireshark names, until Wireshark closes
// it or stops the program.

#include <string>

#include "ZCliContext.h"

struct ZCliExtcapOptions {
    bool Interfaces = false;   // --extcap-interfaces
    std::string Version;       // --extcap-version: the asking Wireshark's version
    std::string Interface;     // --extcap-interface
    bool Dlts = false;         // --extcap-dlts
    bool Config = false;       // --extcap-config
    bool Capture = false;      // --capture
    std::string Fifo;          // --fifo
    std::string SettingsFile;  // empty: the defaults (every chunk read is one packet)
    int Port = 0;              // 0: the interface's port
    int Baudrate = 0;          // 0: the settings' rate
    std::string Protocol;      // empty: the settings' PcapProtocol
};

// Answers Wireshark's question or runs the capture; returns the exit code.
int ZCliRunExtcap(const ZCliExtcapOptions& options, ZCliContext& context);

// The interface name of a COM port, and the port of an interface name (0: none).
std::string ZCliExtcapInterfaceName(int port);
int ZCliExtcapInterfacePort(const std::string& name);
