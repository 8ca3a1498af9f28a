#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/WorkerThreads.h"

using velm::CpuHeldBeside;
using velm::WorkerThreads;

TEST(WorkerThreads, ACpuHeldBesideCountsOnTheThreadThatHoldsItAlone) {
    const int all = WorkerThreads(64);
    {
        const CpuHeldBeside held;
        EXPECT_EQ(WorkerThreads(64), std::max(1, all - 1));
        int elsewhere = 0;
        std::thread([&] { elsewhere = WorkerThreads(64); }).join();
        EXPECT_EQ(elsewhere, all);
        {
            const CpuHeldBeside again;
            EXPECT_EQ(WorkerThreads(64), std::max(1, all - 2));
        }
        EXPECT_EQ(WorkerThreads(64), std::max(1, all - 1));
    }
    EXPECT_EQ(WorkerThreads(64), all);
}

// The thread kept beside takes work while it is free, after its first work
// when handed during it; work handed while it is busy, or by the work it
// runs, gets a thread of its own, and a handle's end asks its work to stop.
// Once released, it takes no more.
TEST(WorkerThreads, TheStandbyTakesWorkWhileFreeAndOthersGetThreadsOfTheirOwn) {
    if (WorkerThreads() < 2) GTEST_SKIP() << "one CPU: no thread is kept";
    std::atomic<bool> firstMayEnd{false};
    std::thread::id standby, ran;
    EXPECT_FALSE(velm::StandbyBusy());
    ASSERT_TRUE(velm::KeepThreadBeside([&] {
        standby = std::this_thread::get_id();
        while (!firstMayEnd.load()) std::this_thread::yield();
    }));
    EXPECT_FALSE(velm::KeepThreadBeside([] { ADD_FAILURE() << "a second standby's work ran"; }));

    std::atomic<bool> began{false};
    velm::BesideWork afterFirst = velm::StartBeside([&](std::stop_token) {
        began = true;
        ran = std::this_thread::get_id();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(began.load());
    EXPECT_TRUE(velm::StandbyBusy());
    firstMayEnd = true;
    afterFirst.Join();
    EXPECT_FALSE(afterFirst.Joinable());
    EXPECT_EQ(ran, standby);

    std::atomic<bool> busyMayEnd{false};
    std::thread::id nested, alongside;
    velm::BesideWork busy = velm::StartBeside([&](std::stop_token) {
        ran = std::this_thread::get_id();
        velm::StartBeside([&](std::stop_token) { nested = std::this_thread::get_id(); }).Join();
        while (!busyMayEnd.load()) std::this_thread::yield();
    });
    velm::StartBeside([&](std::stop_token) { alongside = std::this_thread::get_id(); }).Join();
    EXPECT_TRUE(velm::StandbyBusy());
    busyMayEnd = true;
    busy.Join();
    EXPECT_FALSE(velm::StandbyBusy());
    EXPECT_EQ(ran, standby);
    EXPECT_NE(nested, standby);
    EXPECT_NE(alongside, standby);

    std::atomic<bool> stopped{false};
    {
        const velm::BesideWork endless = velm::StartBeside([&](std::stop_token stop) {
            ran = std::this_thread::get_id();
            while (!stop.stop_requested()) std::this_thread::yield();
            stopped = true;
        });
    }
    EXPECT_TRUE(stopped.load());
    EXPECT_EQ(ran, standby);

    velm::ReleaseThreadBeside();
    EXPECT_FALSE(velm::StandbyBusy());
    velm::StartBeside([&](std::stop_token) { ran = std::this_thread::get_id(); }).Join();
    EXPECT_NE(ran, standby);
}
