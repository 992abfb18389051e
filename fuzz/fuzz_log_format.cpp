// The log writer's formatting of blocks, with the layout settings taken from the
// input: the lines hold exactly the block's bytes, in HEX and as characters, cut
// to the line width, and the line count and block ends match the text. Splitting
// the lines for the queue loses and repeats nothing.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "ZFilter.h"
#include "ZLogFileManager.h"
#include "ZLoggerSettings.h"

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find("\r\n");
        Require(end != std::string_view::npos, "every line ends with CR LF");
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return lines;
}

char AsciiOf(uint8_t b) {
    return b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
}

bool Written(uint8_t kind, const ZLoggerSettings& settings) {
    switch (kind) {
        case bkStartTrigger:
            return settings.LogStartTrigger;
        case bkData:
            return settings.LogDataField;
        case bkStopTrigger:
            return settings.LogStopTrigger;
        case bkTrash:
            return false;
        default:
            return true;
    }
}

// Checks the lines of one block that starts at lines[at]; returns the index after it.
size_t CheckBlock(const std::vector<std::string_view>& lines, size_t at, const uint8_t* bytes, int length,
                  const ZLoggerSettings& settings) {
    Require(at + 2 <= lines.size(), "a block has its separator and header");
    Require(lines[at].size() == 56, "the separator is 56 characters");
    const std::string count = " (" + std::to_string(length) + " bytes)";
    Require(lines[at + 1].size() >= count.size() &&
                lines[at + 1].substr(lines[at + 1].size() - count.size()) == count,
            "the header ends with the byte count");
    at += 2;
    const auto perLine = static_cast<size_t>(settings.MaxBytesInLogLine < 1 ? 1 : settings.MaxBytesInLogLine);
    for (int pass = 0; pass < 2; ++pass) {
        const bool hex = pass == 0;
        if (hex ? !settings.ShowHexOutput : !settings.ShowASCIIOutput) continue;
        const std::string_view prefix = hex ? "HEX:   " : "ASCII: ";
        size_t done = 0;
        while (done < static_cast<size_t>(length)) {
            Require(at < lines.size(), "every byte has its line");
            const std::string_view line = lines[at++];
            Require(line.substr(0, 7) == prefix, "a byte line starts with its prefix");
            const std::string_view body = line.substr(7);
            const size_t inLine = (body.size() + 2) / 3;
            Require(inLine >= 1 && inLine <= perLine, "a line holds one to the line width of bytes");
            for (size_t i = 0; i < inLine; ++i, ++done) {
                Require(done < static_cast<size_t>(length), "a line holds no byte beyond the block");
                const uint8_t b = bytes[done];
                if (hex) {
                    const unsigned value = static_cast<unsigned>(
                        std::strtoul(std::string(body.substr(3 * i, 2)).c_str(), nullptr, 16));
                    Require(value == b && body[3 * i] == "0123456789ABCDEF"[b >> 4],
                            "a HEX pair is its byte in upper case");
                } else {
                    Require(body[3 * i] == AsciiOf(b), "a character stands for its byte");
                }
            }
            const bool last = done == static_cast<size_t>(length);
            Require(last || inLine == perLine, "only the last line of a block is short");
            Require(!last || !hex || body.size() == 3 * inLine - 1, "a HEX line has no trailing blank");
        }
    }
    return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    ZLoggerSettings settings;
    const int32_t width = input.Int32();
    // Widths far beyond a block only cost time; the limits of int still come through.
    settings.MaxBytesInLogLine = width > 70000 || width < -70000 ? width : width % 300;
    const uint8_t switches = input.Byte();
    settings.ShowHexOutput = (switches & 1) != 0;
    settings.ShowASCIIOutput = (switches & 2) != 0;
    settings.LogStartTrigger = (switches & 4) != 0;
    settings.LogDataField = (switches & 8) != 0;
    settings.LogStopTrigger = (switches & 16) != 0;
    const TDateTime timestamp = 45000.0 + input.Int16() / 86400.0;
    const size_t split = input.Byte();

    sLogString lines;
    struct Block {
        const uint8_t* bytes;
        int length;
        uint8_t kind;
        bool checksumWrong;
    };
    std::vector<Block> blocks;
    while (input.Left() > 0) {
        const uint8_t kind = input.Byte();
        const bool checksumWrong = (input.Byte() & 1) != 0;
        size_t taken = 0;
        const uint8_t* bytes = input.Take(input.Byte(), taken);
        blocks.push_back({bytes, static_cast<int>(taken), kind, checksumWrong});
        ZLogFileManager::FormatBlock(sBlock{timestamp, bytes, static_cast<int>(taken), kind}, checksumWrong,
                                     settings, lines);
    }

    const std::vector<std::string_view> all = Lines(lines.Text);
    Require(all.size() == lines.LineCount, "the line count is the lines in the text");
    size_t at = 0;
    size_t ends = 0;
    for (const Block& block : blocks) {
        if (!Written(block.kind, settings)) continue;
        at = CheckBlock(all, at, block.bytes, block.length, settings);
        if (block.checksumWrong) {
            Require(at < all.size() && all[at] == "*** checksum wrong ***",
                    "a wrong checksum is marked after its block");
            ++at;
        }
        const bool hasEnd = block.length > 0 && (settings.ShowHexOutput || settings.ShowASCIIOutput);
        if (!hasEnd) continue;
        Require(ends < lines.BlockEnds.size() && lines.BlockEnds[ends].Lines == at,
                "a block end marks the block's last line");
        ++ends;
    }
    Require(at == all.size() && ends == lines.BlockEnds.size(), "the text holds the blocks and nothing else");

    const std::string text = lines.Text;
    const size_t count = lines.LineCount;
    const sLogString first = lines.TakeFirst(split);
    Require(first.Text + lines.Text == text && first.LineCount + lines.LineCount == count,
            "splitting the lines loses and repeats nothing");
    return 0;
}
