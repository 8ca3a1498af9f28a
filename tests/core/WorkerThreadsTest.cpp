#include <gtest/gtest.h>

#include <algorithm>
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
