// The logger's own count of data trigger matches: exact whatever its status receiver
// refuses, reset by every start, and sized by the trigger list the capture began with.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ZLogger.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

// Refuses every message, as a full status pump does.
class RefusingStatusReceiver : public IZStatusReceiver {
public:
    bool PostStatus(uint8_t, const std::string&, double, double, signed char) override {
        ++refused;
        return false;
    }
    int refused = 0;
};

class FinalCountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.LogDir = logDir_.Path();
        settings_.CaptureMode = cmBetweenTriggers;
        settings_.SetTriggerStart(std::vector<int32_t>{'<'}.data(), 1);
        settings_.SetTriggerStop(std::vector<int32_t>{'>'}.data(), 1);
        settings_.DataTriggers.Add(std::vector<int32_t>{'A', 'B'});
        settings_.DataTriggers.Add(std::vector<int32_t>{'x'});
        settings_.DataTriggers.Add(std::vector<int32_t>{'A', AnyByte});
        logger_ = std::make_unique<ZLogger>(settings_);
        logger_->SetStatusReceiver(&status_);
    }

    void Replay(const Bytes& bytes) {
        logger_->BeginReplay();
        logger_->FeedReplay(bytes.data(), static_cast<int>(bytes.size()));
        logger_->EndReplay();
    }

    ScratchDir logDir_;
    ZLoggerSettings settings_;
    RefusingStatusReceiver status_;
    std::unique_ptr<ZLogger> logger_;
};

}  // namespace

TEST_F(FinalCountsTest, CountsEveryMatchAlthoughEveryStatusMessageWasRefused) {
    Bytes stream;
    for (int i = 0; i < 1000; ++i) {
        const Bytes frame = BytesOf("<ABxAC>");  // AB once, x once, A? twice
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    Replay(stream);

    EXPECT_GT(status_.refused, 3000);
    EXPECT_EQ(logger_->DataTriggerCounts, (std::vector<uint32_t>{1000, 1000, 2000}));
    EXPECT_EQ(logger_->DataPacketCount, 1000u);
    EXPECT_EQ(logger_->TotalBytes, 7000u);
}

TEST_F(FinalCountsTest, EveryReplayStartsFromZeroWithTheListItWasGiven) {
    Replay(BytesOf("<AB>"));
    EXPECT_EQ(logger_->DataTriggerCounts, (std::vector<uint32_t>{1, 0, 1}));

    settings_.DataTriggers.Delete(2);
    ASSERT_TRUE(logger_->SetSettings(settings_));
    Replay(BytesOf("<xx>"));
    EXPECT_EQ(logger_->DataTriggerCounts, (std::vector<uint32_t>{0, 2}));
}

TEST_F(FinalCountsTest, NoTriggersGiveAnEmptyList) {
    settings_.DataTriggers.Clear();
    ASSERT_TRUE(logger_->SetSettings(settings_));
    Replay(BytesOf("<AB>"));
    EXPECT_TRUE(logger_->DataTriggerCounts.empty());
    EXPECT_EQ(logger_->DataPacketCount, 1u);
}
