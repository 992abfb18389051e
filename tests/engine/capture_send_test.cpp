// Sends through the capture: a record of every send reaches the pump in order with the
// reads, and one that a full queue drops is counted as what it is.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "ZSerialCapture.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

// Holds the pump in its first record of a send until released.
class HeldSendRecorder : public ZSerialCapture {
public:
    HeldSendRecorder() : ZSerialCapture(20, 500) {}
    ~HeldSendRecorder() override {
        Release();
        StopCaptureThread();
    }

    void ProcessData(const uint8_t*, int) override {}
    void ProcessSent(const uint8_t*, int, TDateTime) override {
        std::unique_lock guard(lock_);
        ++seen_;
        changed_.notify_all();
        changed_.wait(guard, [this] { return released_; });
    }
    bool WaitUntilHeld() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(10), [this] { return seen_ > 0; });
    }
    void Release() {
        std::lock_guard guard(lock_);
        released_ = true;
        changed_.notify_all();
    }
    int Seen() {
        std::lock_guard guard(lock_);
        return seen_;
    }

private:
    std::mutex lock_;  // guards seen_ and released_
    std::condition_variable changed_;
    int seen_ = 0;
    bool released_ = false;
};

std::vector<std::string> LossTexts(TZULErrorHistory& errors) {
    std::vector<std::string> texts;
    for (int i = 0; i < errors.GetCount(); ++i) {
        const TZULError error = errors.GetError(i);
        if (error.Error.find("lost (queue full)") != std::string::npos)
            texts.push_back(error.Function + ": " + error.Error);
    }
    return texts;
}

TEST(CaptureSendTest, ARecordOfASendThatAFullQueueDropsCountsAsSentBytesLost) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    HeldSendRecorder capture;
    capture.GetPort().SetDevicePath(pty.SlavePath());
    ASSERT_TRUE(capture.OpenPort());
    std::string error;
    ASSERT_EQ(capture.SendBytes({0x01}, false, error), ZSendResult::Sent) << error;
    ASSERT_TRUE(capture.WaitUntilHeld());
    // Far more than the pump holds; every one of them still goes out.
    constexpr int Sends = 1500;
    for (int i = 0; i < Sends; ++i)
        ASSERT_EQ(capture.SendBytes({0x02}, false, error), ZSendResult::Sent) << error;
    capture.Release();
    capture.DrainChunks();
    EXPECT_TRUE(capture.ClosePort());
    const int lost = Sends + 1 - capture.Seen();
    ASSERT_GT(lost, 0) << "the queue never filled";
    const std::vector<std::string> expected{"SendBytes: " + std::to_string(lost) +
                                            " sent bytes lost (queue full)"};
    EXPECT_EQ(LossTexts(capture.GetErrorHistory()), expected);
}

}  // namespace
