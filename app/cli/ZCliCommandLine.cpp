#include "ZCliCommandLine.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "Serial.h"
#include "VerInfo.h"
#include "ZCliCaptureCommand.h"
#include "ZCliPortsCommand.h"
#include "ZCliReplayCommand.h"
#include "ZCliSettingsCommand.h"
#include "ZCliSimulateCommand.h"
#include "ZDemoFrameSource.h"
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
            if (ParseWhole(text, rate)) {
                for (int32_t valid : Baudrates) {
                    if (rate == valid) return {};
                }
            }
            std::ostringstream message;
            message << "This is not a valid baudrate! Valid rates:";
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
    {"replay", "kestrun-cli replay --settings S.scs --input IN.bin [--out DIR] [--chunk N] [--json]"},
    {"capture",
     "kestrun-cli capture --settings S.scs [--port N | --device PATH] [--baud RATE]\n"
     "                           [--duration SECONDS] [--out DIR] [--json]"},
    {"ports", "kestrun-cli ports"},
    {"settings", "kestrun-cli settings S.scs [--json]"},
    {"simulate",
     "kestrun-cli simulate [--port N] [--rate BYTES_PER_S] [--mode dynamic|between|fixed]\n"
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
}

void AddCapture(CLI::App& app, ZCliCaptureOptions& options) {
    app.add_option("--settings", options.SettingsFile, "Settings file (.scs) to capture with")->required();
    auto* port = app.add_option("--port", options.Port, "COM port number (default: the settings' port)")
                     ->check(PortValidator());
    app.add_option("--device", options.Device, "Capture from this device path instead of a COM port")
        ->excludes(port);
    app.add_option("--baud", options.Baudrate, "Baud rate (default: the settings' rate)")
        ->check(BaudrateValidator());
    app.add_option("--duration", options.DurationSeconds, "Stop after this many seconds (default: Ctrl+C)")
        ->check(PositiveFiniteValidator("duration"));
    app.add_option("--out", options.OutDir,
                   "Folder for the log files (default: the settings' log directory)");
    app.add_flag("--json", options.Json, "Print the result as one JSON object");
    app.add_option("--frames", options.FramesFile,
                   "Write every block as one JSON object per line into this new file");
    app.add_flag("--reconnect", options.Reconnect, "Wait for a lost port to come back instead of ending");
    app.add_option("--raw", options.RawFile, "Also record every byte read into this new file");
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

    ZCliCaptureOptions capture;
    CLI::App* captureCommand = app.add_subcommand("capture", "Capture live from a COM port or a device");
    AddCapture(*captureCommand, capture);

    CLI::App* portsCommand = app.add_subcommand("ports", "List the COM ports present and their devices");

    ZCliSettingsOptions settings;
    CLI::App* settingsCommand = app.add_subcommand("settings", "Show what a settings file holds");
    settingsCommand->add_option("file", settings.SettingsFile, "Settings file (.scs)")->required();
    settingsCommand->add_flag("--json", settings.Json, "Print the settings as one JSON object");

    ZCliSimulateOptions simulate;
    CLI::App* simulateCommand =
        app.add_subcommand("simulate", "Run a demonstration device that a capture can read without hardware");
    AddSimulate(*simulateCommand, simulate);
    app.footer("Run \"kestrun-cli COMMAND --help\" for the options of a command.\n" + exitStatus);

    if (IsUnknownCommand(argc, argv, app)) {
        context.Err
            << "Unknown command \"" << argv[1]
            << "\". The commands are replay, capture, ports, settings and simulate; run \"kestrun-cli "
               "--help\" for more.\n";
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
    if (*portsCommand) return ZCliRunPorts(context);
    if (*settingsCommand) return ZCliRunSettings(settings, context);
    return ZCliRunSimulate(simulate, context);
}
