#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/work_pool.h"

namespace {

TEST(WorkPool, RunsEveryPartOnceAndReturnsWhenAllAreDone) {
    WorkPool pool(3);
    for (const int parts : {1, 2, 4, 17}) {
        std::vector<std::atomic<int>> calls(static_cast<std::size_t>(parts));
        pool.run(parts, [&](int part) {
            // A slow part still has to finish before run returns.
            if (part == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            calls[static_cast<std::size_t>(part)].fetch_add(1);
        });
        for (int part = 0; part < parts; ++part) EXPECT_EQ(calls[static_cast<std::size_t>(part)].load(), 1) << parts << " parts, part " << part;
    }
}

TEST(WorkPool, UsesItsHelpers) {
    WorkPool pool(1);
    ASSERT_EQ(pool.helpers(), 1);
    // Two parts that each wait for the other can only finish on two threads.
    std::atomic<int> arrived{0};
    std::atomic<bool> timedOut{false};
    pool.run(2, [&](int) {
        arrived.fetch_add(1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (arrived.load() < 2)
            if (std::chrono::steady_clock::now() > end) {
                timedOut = true;
                return;
            }
    });
    EXPECT_FALSE(timedOut);
}

TEST(WorkPool, APartsExceptionReachesTheCallerAfterTheOtherParts) {
    WorkPool pool(2);
    std::atomic<int> finished{0};
    EXPECT_THROW(pool.run(6,
                          [&](int part) {
                              if (part == 3) throw std::runtime_error("part 3");
                              std::this_thread::sleep_for(std::chrono::milliseconds(5));
                              finished.fetch_add(1);
                          }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 5);
    // The pool still works afterwards.
    std::atomic<int> calls{0};
    pool.run(4, [&](int) { calls.fetch_add(1); });
    EXPECT_EQ(calls.load(), 4);
}

TEST(WorkPool, ARunInsideAPartRunsOnItsOwnThread) {
    WorkPool pool(2);
    std::atomic<int> inner{0};
    pool.run(3, [&](int) { pool.run(4, [&](int) { inner.fetch_add(1); }); });
    EXPECT_EQ(inner.load(), 12);
}

TEST(SplitRows, CoversTheRangeOnceInContiguousPieces) {
    struct Case {
        int count, parts;
    };
    const Case cases[] = {{10, 3}, {2, 8}, {1, 0}, {1000, 0}, {7, 7}, {0, 4}};
    for (const Case& c : cases) {
        std::vector<std::atomic<int>> covered(static_cast<std::size_t>(c.count));
        std::atomic<int> pieces{0};
        splitRows(c.count, c.parts, [&](std::int32_t begin, std::int32_t end) {
            EXPECT_LT(begin, end);
            pieces.fetch_add(1);
            for (std::int32_t i = begin; i < end; ++i) covered[static_cast<std::size_t>(i)].fetch_add(1);
        });
        for (int i = 0; i < c.count; ++i) EXPECT_EQ(covered[static_cast<std::size_t>(i)].load(), 1) << c.count << "/" << c.parts << " row " << i;
        if (c.parts > 0) {
            EXPECT_EQ(pieces.load(), std::min(c.count, c.parts)) << c.count << "/" << c.parts;
        }
    }
}

}  // namespace
