// The real waits, woken by an interruption from another thread.
#include "platform/Interruption.h"
#include "platform/SystemClock.h"
#include "platform/posix/PollWait.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace kalo::platform;

namespace {

constexpr int kInterruptAfterMs = 20;
constexpr int kWaitMs = 300;
// The promise is 100 ms; the rest is for a machine four builds share.
constexpr int kWokenWithinMs = kInterruptAfterMs + 100 + 150;

enum class Wait { Sleep, Poll };

struct Row {
    const char* name;
    Wait wait;
    bool held;
};

class InterruptionTest : public testing::TestWithParam<Row> {
protected:
    void SetUp() override { ClearInterruption(); }
    void TearDown() override { ClearInterruption(); }
};

TEST_P(InterruptionTest, WakesTheWaitUnlessHeld)
{
    const Row& row = GetParam();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0); // nobody writes: a poll on it only times out
    std::thread interrupter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kInterruptAfterMs));
        Interrupt(SIGTERM);
    });
    const auto start = std::chrono::steady_clock::now();
    Result result = kOk;
    {
        std::optional<InterruptionHold> hold;
        if (row.held)
            hold.emplace();
        if (row.wait == Wait::Sleep)
            SystemClock::Instance().SleepMs(kWaitMs);
        else
            result = PollWait(fds[0], POLLIN, kWaitMs * 1000);
        EXPECT_EQ(Interrupted(), !row.held);
    }
    const auto tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const int savedErrno = errno;
    interrupter.join();
    close(fds[0]);
    close(fds[1]);

    EXPECT_TRUE(Interrupted()); // a hold only puts it off
    EXPECT_EQ(InterruptingSignal(), SIGTERM);
    if (row.held) {
        EXPECT_GE(tookMs, kWaitMs);
        EXPECT_EQ(result, row.wait == Wait::Poll ? kErrTimeout : kOk);
    } else {
        EXPECT_LT(tookMs, kWokenWithinMs);
        if (row.wait == Wait::Poll) {
            EXPECT_EQ(result, kErrInterrupted);
            EXPECT_EQ(savedErrno, EINTR); // the device layers describe it from errno
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Waits, InterruptionTest,
                         testing::Values(Row{"Sleep", Wait::Sleep, false}, Row{"Poll", Wait::Poll, false},
                                         Row{"HeldSleep", Wait::Sleep, true}, Row{"HeldPoll", Wait::Poll, true}),
                         [](const testing::TestParamInfo<Row>& param) { return std::string(param.param.name); });

} // namespace
