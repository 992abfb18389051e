// A long live capture of the demonstration device through a pseudo-terminal, to see
// whether anything is lost or grows over time. Frames of the "dynamic" sample are
// written into the master at a steady rate while the engine captures the slave with
// the sample's settings and writes log files into a folder of its own (give a tmpfs
// folder, so the engine is measured and not the disk).
//
//   soak [--rate BYTES_PER_S] [--seconds N] [--dir FOLDER]
//
// A checker thread takes the log files as they are written, adds up the byte counts
// of their block headers and removes them. At the end it prints the bytes sent, the
// bytes the engine counted, the bytes the log files hold (everything but trash), the
// files written, the resident memory at the start, after the first minute and at the
// end (and once a minute in between), and the processor time of the capture: the
// process's time without the writer's and the checker's threads.

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "SoakSupport.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    double Rate = 500000;
    double Seconds = 1800;
    std::string Dir = "/dev/shm";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rate" && hasValue) {
            options.Rate = std::atof(argv[++i]);
        } else if (arg == "--seconds" && hasValue) {
            options.Seconds = std::atof(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            options.Dir = argv[++i];
        } else {
            return false;
        }
    }
    return options.Rate > 0 && options.Seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: soak [--rate BYTES_PER_S] [--seconds N] [--dir FOLDER]\n");
        return 2;
    }
    std::string logDir = options.Dir + "/kestrun_soak_XXXXXX";
    if (mkdtemp(logDir.data()) == nullptr) {
        std::perror("soak: cannot make a folder for the log files");
        return 1;
    }
    logDir += "/";

    ZPseudoTerminal pty;
    if (!pty.Open()) {
        std::perror("soak: no pseudo-terminal");
        return 1;
    }
    ZLogger logger{ZLoggerSettings()};
    std::string error;
    if (!logger.LoadSettings(std::string(KESTRUN_SAMPLES_DIR) + "/demo_dynamic.scs", error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 1;
    }
    ZLoggerSettings settings;
    logger.GetSettings(settings);
    settings.LogDir = logDir;
    logger.SetSettings(settings);
    logger.GetPort().SetDevicePath(pty.SlavePath());

    const double residentAtStart = ResidentMB();
    const double cpuAtStart = ProcessCpuSeconds();
    if (!logger.StartCapture()) {
        std::fprintf(stderr, "soak: the capture did not start: %s\n",
                     logger.GetPort().GetLastOpenErrorText().c_str());
        return 1;
    }
    std::printf("soak: %.0f bytes/s for %.0f s into %s\n", options.Rate, options.Seconds, logDir.c_str());
    std::printf("resident at start: %.1f MB\n", residentAtStart);
    std::fflush(stdout);

    SoakFeeder feeder(pty.Master(), options.Rate);

    SoakLogChecker checker(logger.GetLogFileManager());
    double checkerCpu = 0;
    double residentAfterMinute = 0;
    const auto start = Clock::now();
    const auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.Seconds));
    auto nextReport = start + std::chrono::minutes(1);
    while (Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double before = ThreadCpuSeconds();
        checker.CheckWritten();
        checkerCpu += ThreadCpuSeconds() - before;
        if (Clock::now() >= nextReport) {
            const double minutes = std::chrono::duration<double>(Clock::now() - start).count() / 60;
            const double resident = ReportMinute(minutes, feeder.Sent(), checker.Files());
            if (residentAfterMinute == 0) residentAfterMinute = resident;
            nextReport += std::chrono::minutes(1);
        }
    }
    feeder.Stop();
    const uint64_t sent = feeder.Sent();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The last bytes written are read within a few poll cycles; the stop takes only
    // what has been read.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    logger.StopCapture();
    const double before = ThreadCpuSeconds();
    checker.CheckWritten();
    checkerCpu += ThreadCpuSeconds() - before;
    const double residentAtEnd = ResidentMB();
    const double captureCpu = ProcessCpuSeconds() - cpuAtStart - feeder.CpuSeconds() - checkerCpu;

    std::vector<std::string> errors;
    logger.GetErrorList(errors);
    const uint64_t total = logger.TotalBytes;
    const uint64_t logged = checker.Bytes();
    std::printf("seconds: %.1f\n", seconds);
    std::printf("bytes sent: %llu (%.1f KB/s)\n", static_cast<unsigned long long>(sent),
                static_cast<double>(sent) / seconds / 1000);
    std::printf("bytes counted by the engine: %llu (lost %lld)\n", static_cast<unsigned long long>(total),
                static_cast<long long>(sent) - static_cast<long long>(total));
    std::printf("bytes in the log files: %llu (counted %llu minus trash %u: %s)\n",
                static_cast<unsigned long long>(logged), static_cast<unsigned long long>(total),
                logger.TrashedBytes, logged + logger.TrashedBytes == total ? "equal" : "DIFFERENT");
    std::printf("frames: %u start triggers, %u data packets\n", logger.StartTriggerCount,
                logger.DataPacketCount);
    std::printf("files written: %llu\n", static_cast<unsigned long long>(checker.Files()));
    std::printf("resident: start %.1f MB, after 1 min %.1f MB, end %.1f MB\n", residentAtStart,
                residentAfterMinute, residentAtEnd);
    std::printf("capture CPU: %.1f s = %.1f %% of one core (writer %.1f s, checker %.1f s left out)\n",
                captureCpu, 100 * captureCpu / seconds, feeder.CpuSeconds(), checkerCpu);
    for (const std::string& line : errors) std::printf("%s\n", line.c_str());
    rmdir(logDir.c_str());
    return sent == total && logged + logger.TrashedBytes == total ? 0 : 1;
}
