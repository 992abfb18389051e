// What `kestrun-cli term` spends on the device's text beyond what `capture` spends:
// the bytes of 1 MB/s handed over by the data thread in reads of 4 KiB, taken and
// formatted by the main thread and written to a terminal (/dev/null here, so that
// the terminal's own drawing is not measured), with and without time stamps. The
// counter "core_share_at_1MBps" is the share of a core that costs at 1 MB/s (printed
// as a time: the CPU time one second of the stream takes).
//
//   bench_term_output [--benchmark_repetitions=5 ...]

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "ZCliTermOutput.h"

namespace {

constexpr int BytesPerSecond = 1 << 20;
constexpr int ReadBytes = 4096;

void BM_TermOutputSecond(benchmark::State& state) {
    std::string text;
    for (int line = 0; static_cast<int>(text.size()) < ReadBytes; ++line) {
        std::string body = "line " + std::to_string(line) + ": ";
        body.resize(62, 'x');
        text += body + "\r\n";
    }
    text.resize(ReadBytes);
    const int terminal = open("/dev/null", O_WRONLY | O_CLOEXEC);
    ZCliTermOutput output;
    output.SetStamps(state.range(0) != 0 ? ZTermStampFormat::Milliseconds : ZTermStampFormat::Off);
    std::string shown;
    for (auto _ : state) {
        // One second of 1 MB/s, taken every 16 reads as the main loop wakes.
        for (int read = 0; read < BytesPerSecond / ReadBytes; ++read) {
            output.OnBytes(reinterpret_cast<const uint8_t*>(text.data()), ReadBytes, false, 1700000000000000 + read);
            if (read % 16 == 15) {
                shown.clear();
                output.Render(shown);
                benchmark::DoNotOptimize(write(terminal, shown.data(), shown.size()));
            }
        }
    }
    close(terminal);
    state.SetBytesProcessed(state.iterations() * BytesPerSecond);
    state.counters["core_share_at_1MBps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate |
                                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_TermOutputSecond)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
