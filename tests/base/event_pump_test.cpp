#include "base/event_pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace trasslo {
namespace {

struct PumpGuard {
    ~PumpGuard() { install_event_pump({}); }
};

TEST(EventPump, PumpsOnlyOnTheInstallingThreadAndIsThrottled) {
    PumpGuard guard;
    int pumped = 0;
    install_event_pump([&] { ++pumped; });
    process_pending_events();
    EXPECT_EQ(pumped, 1);
    process_pending_events();  // within 2 ms of the last one
    EXPECT_EQ(pumped, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    process_pending_events();
    EXPECT_EQ(pumped, 2);
    std::thread other([] { process_pending_events(); });
    other.join();
    EXPECT_EQ(pumped, 2);
}

TEST(EventPump, PauseEndsWhenAPumpedHandlerSetsTheStopFlag) {
    PumpGuard guard;
    bool stop = false;
    int pumped = 0;
    install_event_pump([&] {
        if (++pumped == 3) stop = true;
    });
    auto begin = std::chrono::steady_clock::now();
    pause(10'000, stop);
    auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(pumped, 3);
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(EventPump, PauseCountsTenMillisecondsPerStep) {
    PumpGuard guard;
    int pumped = 0;
    install_event_pump([&] { ++pumped; });
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
