// The event pump: only the installing thread pumps, calls close together are throttled, and a
// pause pumps once per 10 ms step until it is counted off or stopped.
#include "base/event_pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/test_hooks.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using support::TestHooks;

// Whatever the machine's load: a call after a quiet spell longer than the throttle's 2 ms pumps,
// a stream of calls pumps at most once per 2 ms of the time it took, and no other thread pumps.
TEST(EventPump, PumpsOnlyOnTheInstallingThreadAndIsThrottled) {
    int pumped = 0;
    TestHooks hooks([&] { ++pumped; });
    std::this_thread::sleep_for(3ms);
    process_pending_events();
    EXPECT_EQ(pumped, 1);

    std::this_thread::sleep_for(3ms);
    const auto start = Clock::now();
    for (int i = 0; i < 100000; ++i) process_pending_events();
    const auto took = Clock::now() - start;
    EXPECT_GE(pumped, 2) << "the first call of the stream came after a quiet spell";
    EXPECT_LE(pumped - 1, 1 + took / 2ms) << "in " << took / 1us << " us";

    const int before = pumped;
    std::this_thread::sleep_for(3ms);
    std::thread other([] { process_pending_events(); });
    other.join();
    EXPECT_EQ(pumped, before);
}

TEST(EventPump, PauseEndsWhenAPumpedHandlerSetsTheStopFlag) {
    bool stop = false;
    int pumped = 0;
    TestHooks hooks([&] {
        if (++pumped == 3) stop = true;
    });
    auto begin = Clock::now();
    pause(10'000, stop);
    auto took = Clock::now() - begin;
    EXPECT_EQ(pumped, 3);
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(EventPump, PauseCountsTenMillisecondsPerStep) {
    int pumped = 0;
    TestHooks hooks([&] { ++pumped; });
    pause(50);
    EXPECT_EQ(pumped, 5);
    pumped = 0;
    pause(0);
    pause(-5);
    bool stopped = true;
    pause(1000, stopped);
    EXPECT_EQ(pumped, 0);
}

}  // namespace
}  // namespace trasslo
