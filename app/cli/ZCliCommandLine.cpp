#include "ZCliCommandLine.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "Serial.h"
#include "VerInfo.h"
#include "ZCliCaptureCommand.h"
#include "ZCliProxyCommand.h"
#include "ZCliExtcapCommand.h"
#include "ZCliPortsCommand.h"
#include "ZCliReplayCommand.h"
#include "ZCliScriptCommand.h"
#include "ZCliSendCommand.h"
#include "ZCliSettingsCommand.h"
#include "ZCliSimulateCommand.h"
#include "ZCliTermCommand.h"
#include "ZCliTermKeys.h"
#include "ZDemoFrameSource.h"
#include "ZDemoRecordSource.h"
#include "ZULAppDir.h"

namespace {

// Whole decimal numbers only: "9600x" or "1e3" are not rates or port numbers.
bool ParseWhole(const std::string& text, long long& value) {
    std::istringstream in(text);
    return static_cast<bool>(in >> value) && in.peek() == std::char_traits<char>::eof();
}

CLI::Validator BaudrateValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            long long rate = 0;
            // Linux sets any rate; whether the device takes it shows when the port opens.
            if (ParseWhole(text, rate) && rate > 0 && rate <= INT32_MAX) return {};
            std::ostringstream message;
            message
                << "This is not a valid baudrate! A rate is a whole number of baud above 0; the usual ones:";
            for (int32_t valid : Baudrates) message << ' ' << valid;
            return message.str();
        },
        "RATE");
}

CLI::Validator PortValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            long long port = 0;
            if (ParseWhole(text, port) && port >= 1 && port <= 99) return {};
            return "This is not a valid COM port! Ports are numbered 1 to 99.";
        },
        "1..99");
}

// A finite number above zero. CLI11's own range check lets "nan" through and would
// print the whole range of a double.
CLI::Validator PositiveFiniteValidator(const char* what) {
    return CLI::Validator(
        [what](std::string& text) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (!text.empty() && end == text.c_str() + text.size() && std::isfinite(value) && value > 0)
                return {};
            return std::string("This is not a valid ") + what + "! Give a number above 0.";
        },
        "NUMBER");
}

struct ZCliSynopsis {
    const char* Command;
    const char* Text;
};

const ZCliSynopsis kSynopses[] = {
    {"kestrun-cli",
     "kestrun-cli COMMAND [OPTIONS]\n"
     "       kestrun-cli --help | --version"},
    {"replay",
     "kestrun-cli replay --settings S.scs --input IN.bin|IN.pcapng [--out DIR] [--chunk N] [--json]\n"
     "                          [--frames FILE.jsonl] [--pcap FILE.pcapng] [--csv FILE.csv] [--script FILE.lua]"},
    {"script",
     "kestrun-cli script FILE.lua --settings S.scs [--port N | --device PATH | rfc2217://HOST:PORT]\n"
     "                          [--baud RATE] [--out DIR] [--frames FILE.jsonl] [--csv FILE.csv]\n"
     "                          [--pcap FILE.pcapng] [--raw FILE|FILE.pcapng] [--json] [--duration SECONDS]"},
    {"capture",
     "kestrun-cli capture --settings S.scs [--port N | --device PATH] [--baud RATE]\n"
     "                           [--port2 N | --device2 PATH] [--baud2 RATE]\n"
     "                           [--duration SECONDS] [--out DIR] [--json] [--reconnect] [--precise-time]\n"
     "                           [--raw FILE|FILE.pcapng] [--frames FILE.jsonl] [--pcap FILE.pcapng]\n"
     "                           [--csv FILE.csv] [--send DATA... [--every MS] [--wait-answer MS]]\n"
     "                           [--send-file S.scs] [--text] [--checksum ALG] [--checksum-order lsb|msb]\n"
     "                           [--checksum-skip N] [--line-end cr|lf|crlf | --encode slip|cobs]"},
    {"proxy",
     "kestrun-cli proxy --settings S.scs [--port N | --device PATH|rfc2217://HOST:PORT] [--baud RATE]\n"
     "                           --link PATH [--duration SECONDS] [--out DIR] [--json] [--reconnect]\n"
     "                           [--raw FILE.pcapng] [--frames FILE.jsonl] [--pcap FILE.pcapng]"},
    {"send",
     "kestrun-cli send [--settings S.scs] [--port N | --device PATH] [--baud RATE] [--text]\n"
     "                        [--checksum ALG] [--checksum-order lsb|msb] [--checksum-skip N]\n"
     "                        [--line-end cr|lf|crlf | --encode slip|cobs] [--wait-answer MS]\n"
     "                        [--listen SECONDS [--out DIR] [--json] [--frames FILE] [--raw FILE]\n"
     "                        [--pcap FILE.pcapng]] DATA..."},
    {"term",
     "kestrun-cli term --port N | --device PATH | rfc2217://HOST:PORT [--baud RATE] [--settings S.scs]\n"
     "                        [--out DIR] [--frames FILE] [--pcap FILE] [--raw FILE] [--reconnect]\n"
     "                        [--timestamps s|ms|us] [--map crlf|lf|cr] [--local-echo] [--latin1]\n"
     "                        [--linger SECONDS]"},
    {"ports", "kestrun-cli ports [--json]"},
    {"settings", "kestrun-cli settings S.scs [--json]"},
    {"extcap",
     "kestrun-cli extcap --extcap-interfaces | --extcap-interface IF (--extcap-dlts | --extcap-config)\n"
     "       kestrun-cli extcap --capture --extcap-interface IF --fifo FIFO [--settings S.scs] [--port N]\n"
     "                          [--baud RATE] [--protocol NAME]"},
    {"simulate",
     "kestrun-cli simulate [--port N] [--rate BYTES_PER_S]\n"
     "                            [--mode dynamic|between|fixed|lines|slip|cobs|modbus]\n"
     "                            [--duration SECONDS]"},
};

// Help that opens as a manual page does: the synopsis first, then what the command does
// and its options.
class SynopsisFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        for (const ZCliSynopsis& synopsis : kSynopses) {
            if (app->get_name() == synopsis.Command) return std::string("Usage: ") + synopsis.Text + "\n";
        }
        return CLI::Formatter::make_usage(app, std::move(name));
    }
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::string help = make_usage(app, std::move(name));
        help += '\n';
        help += make_description(app);
        help += make_positionals(app);
        help += make_groups(app, mode);
        help += make_subcommands(app, mode);
        help += '\n';
        help += make_footer(app);
        return help;
    }
};

std::vector<std::string> ModeNames() {
    std::vector<std::string> names;
    for (const ZDemoModeInfo& mode : kDemoModes) names.emplace_back(mode.Name);
    for (const ZDemoFramingInfo& framing : kDemoFramings) names.emplace_back(framing.Name);
    names.emplace_back("modbus");
    return names;
}

void AddReplay(CLI::App& app, ZCliReplayOptions& options) {
    app.add_option("--settings", options.SettingsFile, "Settings file (.scs) to parse with")->required();
    app.add_option("--input", options.InputFile, "Recorded bytes to parse")->required();
    app.add_option("--out", options.OutDir,
                   "Folder for the log files (default: the settings' log directory)");
    app.add_option("--chunk", options.ChunkSize, "Bytes fed per chunk, as a capture receives them")
        ->check(CLI::Range(1, 1 << 20))
        ->capture_default_str();
    app.add_flag("--json", options.Json, "Print the result as one JSON object");
    app.add_option("--frames", options.FramesFile,
                   "Write every block as one JSON object per line into this new file");
    app.add_option("--pcap", options.PcapFile,
                   "Also write every frame as a packet into this new .pcapng file");
    app.add_option("--csv", options.CsvFile,
                   "Also write the values of the settings' fields, a row per data block, into this new "
                   "CSV file");
    app.add_option("--script", options.ScriptFile,
                   "Run this Lua script on the frames of the recording (its exit code is the command's)");
}

void AddCapture(CLI::App& app, ZCliCaptureOptions& options) {
    app.add_option("--settings", options.SettingsFile, "Settings file (.scs) to capture with")->required();
    auto* port = app.add_option("--port", options.Port, "COM port number (default: the settings' port)")
                     ->check(PortValidator());
    app.add_option("--device", options.Device, "Capture from this device path instead of a COM port")
        ->excludes(port);
    app.add_option("--baud", options.Baudrate, "Baud rate (default: the settings' rate)")
        ->check(BaudrateValidator());
    auto* port2 = app.add_option("--port2", options.Port2,
                                 "Also capture this COM port number as the second line (the other direction)")
                      ->check(PortValidator());
    app.add_option("--device2", options.Device2, "The second line's device path instead of a COM port")
        ->excludes(port2);
    app.add_option("--baud2", options.Baudrate2, "The second line's baud rate (default: the settings')")
        ->check(BaudrateValidator());
    app.add_option("--duration", options.DurationSeconds, "Stop after this many seconds (default: Ctrl+C)")
        ->check(PositiveFiniteValidator("duration"));
    app.add_option("--out", options.OutDir,
                   "Folder for the log files (default: the settings' log directory)");
    app.add_flag("--json", options.Json, "Print the result as one JSON object");
    app.add_option("--frames", options.FramesFile,
                   "Write every block as one JSON object per line into this new file");
    app.add_flag("--reconnect", options.Reconnect, "Wait for a lost port to come back instead of ending");
    app.add_option("--raw", options.RawFile,
                   "Also record every byte read into this new file (a name ending in .pcapng keeps the "
                   "time of every read)");
    app.add_flag("--precise-time", options.PreciseTime,
                 "Wait for the port and stamp every read with the time to the microsecond");
    app.add_option("--pcap", options.PcapFile,
                   "Also write every frame as a packet into this new .pcapng file");
    app.add_option("--csv", options.CsvFile,
                   "Also write the values of the settings' fields, a row per data block, into this new "
                   "CSV file");
}

void AddScript(CLI::App& app, ZCliScriptOptions& options) {
    app.add_option("file", options.ScriptFile, "The Lua script (.lua)")->required();
    AddCapture(app, options.Capture);
    auto* port = app.get_option("--port");
    auto* device = app.get_option("--device");
    app.add_option("address", options.Address, "A network port (rfc2217://HOST:PORT, tcp://HOST:PORT) or device")
        ->excludes(port)
        ->excludes(device);
}

void AddProxy(CLI::App& app, ZCliProxyOptions& options) {
    ZCliCaptureOptions& capture = options.Capture;
    app.add_option("--settings", capture.SettingsFile, "Settings file (.scs) to capture with")->required();
    auto* port = app.add_option("--port", capture.Port, "The device's COM port number (default: the settings' port)")
                     ->check(PortValidator());
    app.add_option("--device", capture.Device, "The device's path or network address instead of a COM port")
        ->excludes(port);
    app.add_option("--baud", capture.Baudrate, "Baud rate (default: the settings' rate)")->check(BaudrateValidator());
    app.add_option("--link", options.Link, "Make this new symbolic link to the program's side")->required();
    app.add_option("--duration", capture.DurationSeconds, "Stop after this many seconds (default: Ctrl+C)")
        ->check(PositiveFiniteValidator("duration"));
    app.add_option("--out", capture.OutDir, "Folder for the log files (default: the settings' log directory)");
    app.add_flag("--json", capture.Json, "Print the result as one JSON object");
    app.add_option("--frames", capture.FramesFile, "Write every block as one JSON object per line into this new file");
    app.add_flag("--reconnect", capture.Reconnect, "Wait for a lost device to come back instead of ending");
    app.add_option("--raw", capture.RawFile, "Also record both directions into this new .pcapng file");
    app.add_option("--pcap", capture.PcapFile, "Also write every frame as a packet into this new .pcapng file");
}

void AddExtcap(CLI::App& app, ZCliExtcapOptions& options) {
    app.add_flag("--extcap-interfaces", options.Interfaces, "List the COM ports present as interfaces");
    app.add_option("--extcap-version", options.Version, "The asking Wireshark's version")->expected(0, 1);
    app.add_option("--extcap-interface", options.Interface, "The interface, kestrun-com<N>");
    app.add_flag("--extcap-dlts", options.Dlts, "List the interface's link type");
    app.add_flag("--extcap-config", options.Config, "List the interface's options");
    app.add_flag("--capture", options.Capture, "Capture into the FIFO");
    app.add_option("--fifo", options.Fifo, "The FIFO Wireshark reads the capture from");
    app.add_option("--settings", options.SettingsFile,
                   "Settings file (.scs) (default: every chunk is a packet)");
    app.add_option("--port", options.Port, "COM port number (default: the interface's)")
        ->check(PortValidator());
    app.add_option("--baud", options.Baudrate, "Baud rate (default: the settings' rate)")
        ->check(CLI::IsMember({0}) | BaudrateValidator());
    app.add_option("--protocol", options.Protocol,
                   "Wireshark dissector (default: the settings' PcapProtocol)");
    // Wireshark passes options of later extcap versions and a capture filter, which
    // have no meaning here.
    app.allow_extras();
}

// How DATA becomes bytes; the same for `send` and `capture --send`.
void AddSequenceOptions(CLI::App& app, ZCliSendOptions& options) {
    app.add_flag("--text", options.Text,
                 "DATA is text with the escapes \\r \\n \\t \\\\ \\xNN (default: HEX)");
    app.add_option("--checksum", options.Checksum,
                   "Append this checksum (number or name as \"kestrun-cli settings\" prints it)");
    app.add_option("--checksum-order", options.ChecksumOrder,
                   "Checksum byte order (default: lsb for CRC-16/MODBUS, else msb)")
        ->check(CLI::IsMember({"lsb", "msb"}));
    app.add_option("--checksum-skip", options.ChecksumSkip,
                   "Leading bytes the checksum leaves out (default: NMEA's $, UBX's B5 62, else none)")
        ->check(CLI::Range(0, static_cast<int>(MaxSendBytes)));
    app.add_option("--wait-answer", options.WaitAnswerMs,
                   "After sending DATA, send nothing else until a frame comes back, at most MS milliseconds")
        ->check(CLI::Range(1, MaxWaitAnswerMs));
    auto* lineEnd = app.add_option("--line-end", options.LineEnd, "Append a line end after the checksum")
                        ->check(CLI::IsMember({"cr", "lf", "crlf"}));
    app.add_option("--encode", options.Encode,
                   "Send the bytes and their checksum as one SLIP or COBS frame, with its delimiters")
        ->check(CLI::IsMember({"slip", "cobs"}))
        ->excludes(lineEnd);
}

void AddCaptureSends(CLI::App& app, ZCliSendOptions& options) {
    auto* send = app.add_option("--send", options.Data, "Send DATA once the port is open (HEX pairs or text)")
                     ->expected(1, -1);
    app.add_option("--every", options.EveryMs, "Repeat the --send DATA every MS milliseconds")
        ->check(CLI::Range(1, MaxSendEveryMs))
        ->needs(send);
    app.add_option(
        "--send-file", options.SendFile,
        "Send the [_send] sequences of this settings file, each once, then repeat those with an interval");
    AddSequenceOptions(app, options);
}

void AddSend(CLI::App& app, ZCliSendCommandOptions& options) {
    ZCliCaptureOptions& capture = options.Capture;
    app.add_option("--settings", capture.SettingsFile,
                   "Settings file (.scs) for the line settings and --listen");
    auto* port = app.add_option("--port", capture.Port, "COM port number (default: the settings' port)")
                     ->check(PortValidator());
    app.add_option("--device", capture.Device, "Send to this device path instead of a COM port")
        ->excludes(port);
    app.add_option("--baud", capture.Baudrate, "Baud rate (default: the settings' rate)")
        ->check(BaudrateValidator());
    auto* listen = app.add_option("--listen", options.ListenSeconds,
                                  "Then capture the answer for this many seconds, as capture does")
                       ->check(CLI::PositiveNumber);
    app.add_option("--out", capture.OutDir, "Folder for the log files of --listen")->needs(listen);
    app.add_flag("--json", capture.Json, "Print the result of --listen as one JSON object")->needs(listen);
    app.add_option("--frames", capture.FramesFile,
                   "Write every block of --listen as JSON lines into this new file")
        ->needs(listen);
    app.add_option("--raw", capture.RawFile, "Also record every byte read during --listen into this new file")
        ->needs(listen);
    app.add_option("--pcap", capture.PcapFile,
                   "Also write every frame of --listen as a packet into this new .pcapng file")
        ->needs(listen);
    AddSequenceOptions(app, options.Send);
    app.add_option("data", options.Send.Data, "The bytes to send, joined into one sequence")->required();
}

void AddTerm(CLI::App& app, ZCliTermOptions& options) {
    ZCliCaptureOptions& capture = options.Capture;
    auto* port = app.add_option("--port", capture.Port, "COM port number (default: the settings' port)")
                     ->check(PortValidator());
    auto* device = app.add_option("--device", capture.Device, "Talk to this device path or network port")
                       ->excludes(port);
    app.add_option("address", options.Address, "A network port (rfc2217://HOST:PORT, tcp://HOST:PORT) or device")
        ->excludes(port)
        ->excludes(device);
    app.add_option("--baud", capture.Baudrate, "Baud rate (default: the settings' rate)")
        ->check(BaudrateValidator());
    app.add_option("--settings", capture.SettingsFile,
                   "Settings file (.scs) to frame and log with (default: every byte, no log files)");
    app.add_option("--out", capture.OutDir, "Folder for the log files (default: the settings' log directory)");
    app.add_option("--frames", capture.FramesFile,
                   "Write every block as one JSON object per line into this new file");
    app.add_option("--pcap", capture.PcapFile, "Also write every frame as a packet into this new .pcapng file");
    app.add_option("--raw", capture.RawFile,
                   "Also record every byte read into this new file (a name ending in .pcapng keeps the "
                   "time of every read)");
    app.add_flag("--reconnect", capture.Reconnect, "Wait for a lost port to come back instead of ending");
    app.add_option("--timestamps", options.Timestamps, "Put the time before each line received")
        ->check(CLI::IsMember({"s", "ms", "us"}));
    app.add_option("--map", options.Map, "The line end that Enter sends (default: keys go out unchanged)")
        ->check(CLI::IsMember({"crlf", "lf", "cr"}));
    app.add_flag("--local-echo", options.LocalEcho, "Show what is sent as well");
    app.add_flag("--latin1", options.Latin1, "The device speaks Latin-1 (default: UTF-8)");
    app.add_option("--linger", options.LingerSeconds,
                   "After the end of piped input, listen this many seconds before ending")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.footer(std::string(ZCliTermKeys::HelpText()) + '\n' + app.get_footer());
}

void AddSimulate(CLI::App& app, ZCliSimulateOptions& options) {
    app.add_option("--port", options.Port, "COM port number to serve")
        ->check(PortValidator())
        ->capture_default_str();
    app.add_option("--rate", options.Rate, "Bytes per second")
        ->check(PositiveFiniteValidator("rate"))
        ->capture_default_str();
    app.add_option("--mode", options.Mode, "Frame format, matching a sample settings file")
        ->check(CLI::IsMember(ModeNames()))
        ->capture_default_str();
    app.add_option("--duration", options.DurationSeconds, "Stop after this many seconds (default: Ctrl+C)")
        ->check(PositiveFiniteValidator("duration"));
}

// CLI11 takes an unknown first word for a stray argument and asks for a command;
// the user should learn which word was not understood.
bool IsUnknownCommand(int argc, const char* const* argv, const CLI::App& app) {
    if (argc < 2 || argv[1][0] == '-' || argv[1][0] == '\0') return false;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == argv[1]) return false;
    }
    return true;
}

// "replay, capture, ... and simulate": the commands in the order they were added.
std::string CommandList(const CLI::App& app) {
    const std::vector<const CLI::App*> commands = app.get_subcommands({});
    std::string list;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (i > 0) list += i + 1 == commands.size() ? " and " : ", ";
        list += commands[i]->get_name();
    }
    return list;
}

}  // namespace

int ZCliRun(int argc, const char* const* argv, ZCliContext& context) {
    CLI::App app("Records and parses serial data streams, without a window.", "kestrun-cli");
    // Set before the commands are added: they take the formatter and the footer over.
    const std::string exitStatus =
        "Exit status: 0 success, 1 the work failed, 2 bad usage or a settings file that cannot be loaded.";
    app.formatter(std::make_shared<SynopsisFormatter>());
    app.footer(exitStatus);
    app.set_version_flag("--version", "kestrun-cli " + VerInfo().GetVersionString(8));
    app.require_subcommand(1);

    ZCliReplayOptions replay;
    CLI::App* replayCommand =
        app.add_subcommand("replay", "Parse a recorded dump with the settings of a file");
    AddReplay(*replayCommand, replay);

    ZCliCaptureCommandOptions capture;
    CLI::App* captureCommand = app.add_subcommand("capture", "Capture live from a COM port or a device");
    AddCapture(*captureCommand, capture.Capture);
    AddCaptureSends(*captureCommand, capture.Send);

    ZCliScriptOptions script;
    CLI::App* scriptCommand = app.add_subcommand(
        "script", "Capture live and run a Lua script that sends, waits for frames and checks them");
    AddScript(*scriptCommand, script);
    ZCliProxyOptions proxy;
    CLI::App* proxyCommand =
        app.add_subcommand("proxy", "Stand between a program and its device, passing on and capturing both ways");
    AddProxy(*proxyCommand, proxy);

    ZCliSendCommandOptions send;
    CLI::App* sendCommand =
        app.add_subcommand("send", "Send bytes to a COM port or a device, and listen for the answer");
    AddSend(*sendCommand, send);

    ZCliTermOptions term;
    CLI::App* termCommand =
        app.add_subcommand("term", "Type to a device and read its answer, while the capture logs in the background");
    AddTerm(*termCommand, term);

    CLI::App* portsCommand = app.add_subcommand("ports", "List the COM ports present and their devices");
    bool portsJson = false;
    portsCommand->add_flag("--json", portsJson, "Print the ports as one JSON array");

    ZCliSettingsOptions settings;
    CLI::App* settingsCommand = app.add_subcommand("settings", "Show what a settings file holds");
    settingsCommand->add_option("file", settings.SettingsFile, "Settings file (.scs)")->required();
    settingsCommand->add_flag("--json", settings.Json, "Print the settings as one JSON object");

    ZCliSimulateOptions simulate;
    CLI::App* simulateCommand =
        app.add_subcommand("simulate", "Run a demonstration device that a capture can read without hardware");
    AddSimulate(*simulateCommand, simulate);

    ZCliExtcapOptions extcap;
    CLI::App* extcapCommand =
        app.add_subcommand("extcap", "Wireshark's extcap interface: capture live into Wireshark");
    AddExtcap(*extcapCommand, extcap);
    app.footer("Run \"kestrun-cli COMMAND --help\" for the options of a command.\n" + exitStatus);

    if (IsUnknownCommand(argc, argv, app)) {
        context.Err
            << "Unknown command \"" << argv[1]
            << "\". The commands are " << CommandList(app) << "; run \"kestrun-cli --help\" for more.\n";
        return kCliExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, context.Out, context.Err);
        return code == 0 ? kCliExitOk : kCliExitUsage;
    }
    // Log folders, port links and recordings go there: a folder others may write
    // could redirect them.
    if (std::string refused; !*settingsCommand && !ZULCheckAppDir(refused)) {
        context.Err << refused << '\n';
        return kCliExitFailed;
    }
    if (*replayCommand) return ZCliRunReplay(replay, context);
    if (*captureCommand) return ZCliRunCapture(capture, context);
    if (*scriptCommand) return ZCliRunScript(script, context);
    if (*proxyCommand) return ZCliRunProxy(proxy, context);
    if (*sendCommand) return ZCliRunSend(send, context);
    if (*termCommand) return ZCliRunTerm(term, context);
    if (*portsCommand) return ZCliRunPorts(context, portsJson);
    if (*extcapCommand) return ZCliRunExtcap(extcap, context);
    if (*settingsCommand) return ZCliRunSettings(settings, context);
    return ZCliRunSimulate(simulate, context);
}
