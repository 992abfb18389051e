// The platform layer itself over a pseudo-terminal pair.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "PtyPair.h"
#include "SerialPlatform.h"
#include "SerialTypes.h"

namespace {

// Whether thread id of this process is blocked (in a wait, a poll or a sleep).
bool Sleeping(pid_t id) {
    std::ifstream stat("/proc/self/task/" + std::to_string(id) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t end = line.rfind(')');  // the state follows the command name
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'S';
}

// The mask set at the open has taken effect before anyone waits: its wake-up must
// not end the first wait (which cost a failed wait and a pause).
TEST(SerialPlatformPty, TheFirstWaitAfterSettingTheMaskReportsEvents) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    int error = 0;
    const std::unique_ptr<ISerialHandle> handle = DefaultSerialPlatform().Open(pty.SlavePath(), error, {});
    ASSERT_TRUE(handle) << error;
    ASSERT_EQ(handle->SetState(TSerialDcb()), 0);
    ASSERT_TRUE(handle->SetMask(EV_RXCHAR));
    // The wait starts with nothing to report, so it meets the wake-up of the mask; the
    // byte comes only once the waiter sleeps (or has given up).
    uint32_t events = 0;
    bool reported = false;
    std::atomic<pid_t> waiterId{0};
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        waiterId = gettid();
        reported = handle->WaitEvent(events);
        returned = true;
    });
    EXPECT_TRUE(Eventually([&] { return returned || (waiterId != 0 && Sleeping(waiterId)); }));
    ASSERT_TRUE(pty.Send("x"));
    waiter.join();
    EXPECT_TRUE(reported);
    EXPECT_EQ(events, static_cast<uint32_t>(EV_RXCHAR));
}

}  // namespace
