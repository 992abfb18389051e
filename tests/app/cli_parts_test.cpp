// The parts behind the commands: the status collector, the report, the paced
// writer and the demonstration frames.

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "CliTestSupport.h"
#include "ZCliCaptureReport.h"
#include "ZCliStatusCollector.h"
#include "ZDemoFrameSource.h"
#include "ZPacedWriter.h"

namespace clitest {
namespace {

TEST(StatusCollectorTest, FollowsEachKindIntoItsCounter) {
    ZCliStatusCollector collector;
    collector.Reset(3);
    collector.PostStatus(0, "", 0, 10, 2);
    collector.PostStatus(2, "", 1, 2, 2);
    collector.PostStatus(5, "", 2, 0, 2);
    collector.PostStatus(5, "", 2, 0, 2);
    collector.PostStatus(5, "", 0, 0, 2);
    collector.PostStatus(4, "", 1, 6, 2);
    collector.PostStatus(0, "", 0, 13, 2);
    collector.PostStatus(1, "", 0, 3, 2);
    collector.PostStatus(3, "", 1, 1, 2);
    const ZCliCounters c = collector.Snapshot();
    EXPECT_EQ(c.TotalBytes, 13u);
    EXPECT_EQ(c.TrashedBytes, 3u);
    EXPECT_EQ(c.StartTriggers, 1u);
    EXPECT_EQ(c.StartTriggerBytes, 2u);
    EXPECT_EQ(c.StopTriggers, 1u);
    EXPECT_EQ(c.StopTriggerBytes, 1u);
    EXPECT_EQ(c.DataPackets, 1u);
    EXPECT_EQ(c.DataPacketBytes, 6u);
    EXPECT_EQ(c.DataTriggerCounts, (std::vector<uint64_t>{1, 0, 2}));
}

TEST(StatusCollectorTest, CountsOnPastTheWrapOfTheEngineCounters) {
    ZCliStatusCollector collector;
    collector.Reset(0);
    collector.PostStatus(0, "", 0, 4294967290.0, 2);
    collector.PostStatus(0, "", 0, 4.0, 2);  // 10 more bytes, wrapped
    collector.PostStatus(0, "", 0, 9.0, 2);
    EXPECT_EQ(collector.Snapshot().TotalBytes, 4294967305u);
}

TEST(StatusCollectorTest, IndexOutsideTheTriggersIsIgnoredAndResetStartsAfresh) {
    ZCliStatusCollector collector;
    collector.Reset(1);
    collector.PostStatus(5, "", 1, 0, 2);
    collector.PostStatus(5, "", -1, 0, 2);
    collector.PostStatus(0, "", 0, 50, 2);
    EXPECT_EQ(collector.Snapshot().DataTriggerCounts, std::vector<uint64_t>{0});
    collector.Reset(2);
    collector.PostStatus(0, "", 0, 7, 2);
    EXPECT_EQ(collector.Snapshot().TotalBytes, 7u) << "the engine zeroes its counters at a start too";
    EXPECT_EQ(collector.Snapshot().DataTriggerCounts, (std::vector<uint64_t>{0, 0}));
}

TEST(CaptureReportTest, JsonNamesErrorsAndFilesAsDocumented) {
    ZCliCaptureReport report;
    report.Counters.TotalBytes = 5;
    report.Counters.DataTriggerCounts = {4, 0};
    report.Errors.push_back({"Filter", "FeedData", "Input buffer overflow"});
    report.LogFiles = {"/x/y/2005_3_7___14_5_9_312_log.txt", "/x/y/2005_3_7___14_5_9_313_log.txt"};
    const auto json = nlohmann::ordered_json::parse(ZCliJsonText(report.ToJson()));
    EXPECT_EQ(json["total_bytes"], 5);
    EXPECT_EQ(json["data_trigger_counts"], nlohmann::ordered_json({4, 0}));
    EXPECT_EQ(json["errors"][0].dump(),
              R"({"module":"Filter","function":"FeedData","error":"Input buffer overflow"})");
    EXPECT_EQ(json["log_files"],
              nlohmann::ordered_json({"2005_3_7___14_5_9_312_log.txt", "2005_3_7___14_5_9_313_log.txt"}));
}

ZPacedWriter::Refill Pieces(size_t size) {
    return [size](std::vector<uint8_t>& out) {
        out.assign(size, 0x55);
        return true;
    };
}

std::vector<uint8_t> ReadAvailable(int fd) {
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

TEST(PacedWriterTest, KeepsToTheRateAndMakesUpNoMoreThanAQuarterSecondAfterAStall) {
    // The writer goes by the clock, so the checks do too, but only with bounds that hold
    // however late the test thread runs: the time is taken before the writer starts and
    // after each call, and a sleep gives the least time that passes.
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK), 0);
    const double rate = 100000;
    const auto start = std::chrono::steady_clock::now();
    ZPacedWriter writer(pipeFds[1], rate, Pieces(1000));
    auto dueByNow = [&] {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return static_cast<uint64_t>(rate * elapsed) + 1;
    };
    ASSERT_TRUE(writer.WriteDue());
    EXPECT_LE(writer.BytesWritten(), dueByNow()) << "ahead of the rate at the start";

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(writer.WriteDue());
    EXPECT_LE(writer.BytesWritten(), dueByNow());
    EXPECT_GE(writer.BytesWritten(), static_cast<uint64_t>(rate * 0.1));

    // A second without a call: only a quarter second of it is made up. The pipe is
    // emptied first, so that it has room for that quarter second.
    ReadAvailable(pipeFds[0]);
    const uint64_t before = writer.BytesWritten();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(writer.WriteDue());
    EXPECT_LE(writer.BytesWritten() - before, static_cast<uint64_t>(rate / 4 + 1));
    EXPECT_GE(writer.BytesWritten() - before, static_cast<uint64_t>(rate / 4 - 100));
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST(PacedWriterTest, FullDescriptorIsNoErrorAndTheStreamGoesOnWhereItStopped) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK), 0);
    uint8_t next = 0;
    ZPacedWriter writer(pipeFds[1], 1e9, [&next](std::vector<uint8_t>& out) {
        for (int i = 0; i < 1000; ++i) out.push_back(next++);
        return true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(writer.WriteDue());
    EXPECT_TRUE(writer.IsBlocked());
    std::vector<uint8_t> received = ReadAvailable(pipeFds[0]);
    EXPECT_EQ(received.size(), writer.BytesWritten());

    ASSERT_TRUE(writer.WriteDue());
    const std::vector<uint8_t> more = ReadAvailable(pipeFds[0]);
    EXPECT_FALSE(more.empty());
    received.insert(received.end(), more.begin(), more.end());
    ASSERT_EQ(received.size(), writer.BytesWritten());
    for (size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i], static_cast<uint8_t>(i)) << i;
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST(PacedWriterTest, EndsWhenTheStreamEnds) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK), 0);
    int pieces = 3;
    ZPacedWriter writer(pipeFds[1], 1e9, [&pieces](std::vector<uint8_t>& out) {
        if (pieces == 0) return false;
        --pieces;
        out.assign(10, 0x01);
        return true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(writer.WriteDue());
    EXPECT_TRUE(writer.Finished());
    EXPECT_EQ(writer.BytesWritten(), 30u);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST(DemoFrameSourceTest, FramesHaveTheDocumentedLayout) {
    for (const ZDemoModeInfo& mode : kDemoModes) {
        SCOPED_TRACE(mode.Name);
        ZDemoFrameSource source(mode.Mode);
        for (int n = 1; n <= 16; ++n) {
            std::vector<uint8_t> frame;
            source.AppendFrame(frame);
            ASSERT_GE(frame.size(), 25u);
            EXPECT_EQ(frame[0], 0x7E);
            EXPECT_EQ(frame[1], 0xA5);
            const size_t length = frame[2];
            EXPECT_EQ(length, mode.Mode == ZDemoMode::Fixed ? 20u : 20u + n % 4);
            ASSERT_GE(frame.size(), 5 + length);
            const std::string text(frame.begin() + 3, frame.begin() + 3 + static_cast<long>(length));
            char shape[32];
            std::snprintf(shape, sizeof shape, "#%06d T=99.9 %s", n, n % 8 == 0 ? "ALARM" : "OK   ");
            std::string expected = shape;
            expected.append(length - 20, '*');
            EXPECT_TRUE(MatchesShape(text, expected)) << text;
            EXPECT_TRUE(text.substr(10, 4) >= "10.0" && text.substr(10, 4) <= "39.9") << text;
            EXPECT_EQ(frame[3 + length], 0x0D);
            EXPECT_EQ(frame[4 + length], 0x0A);
            EXPECT_LE(frame.size(), 5 + length + 3) << "at most three noise bytes";
            for (size_t i = 5 + length; i < frame.size(); ++i) {
                EXPECT_TRUE(frame[i] >= 0x20 && frame[i] < 0x7E) << "noise byte " << int(frame[i]);
            }
        }
    }
}

}  // namespace
}  // namespace clitest
