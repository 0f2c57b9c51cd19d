// The ordered block runner with a toy body: the order in which iterations
// are collected, the generator state each block starts from and the state
// the generator is left in, for any thread count and for a reused runner.
#include "blockrunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// Iteration i draws 1 + i % 3 outputs and records the first of them.
int drawsOf(int i) { return 1 + i % 3; }

struct ToyRun {
    std::vector<std::uint32_t> firstDraw;  // per iteration
    std::vector<int> collected;            // iteration indices, in collection order
    Rng after;
    int maxWorker = -1;
};

ToyRun runToy(BlockRunner& runner, int nIter, int blockSize, std::uint32_t seed) {
    ToyRun t;
    t.firstDraw.assign(static_cast<std::size_t>(nIter), 0);
    sgenrand(t.after, seed);
    std::atomic<int> maxWorker{-1};
    const auto compute = [&](int worker, Rng& rng, int first, int count) {
        int seen = maxWorker.load();
        while (worker > seen && !maxWorker.compare_exchange_weak(seen, worker)) {
        }
        for (int i = first; i < first + count; ++i) {
            t.firstDraw[static_cast<std::size_t>(i)] = genrand(rng);
            for (int k = 1; k < drawsOf(i); ++k) genrand(rng);
        }
    };
    // The replay is told only the block's size; blocks are replayed in order,
    // so it counts the iterations it has passed.
    int next = 0;
    const auto advance = [&](Rng& rng, int count) {
        std::uint64_t draws = 0;
        for (int c = 0; c < count; ++c) draws += static_cast<std::uint64_t>(drawsOf(next++));
        skipUniforms(rng, draws);
    };
    const auto collect = [&](int i) { t.collected.push_back(i); };
    runner.run(t.after, nIter, blockSize, compute, advance, collect);
    t.maxWorker = maxWorker.load();
    return t;
}

// The same body run plainly, iteration after iteration.
ToyRun reference(int nIter, std::uint32_t seed) {
    ToyRun t;
    sgenrand(t.after, seed);
    for (int i = 0; i < nIter; ++i) {
        t.firstDraw.push_back(genrand(t.after));
        for (int k = 1; k < drawsOf(i); ++k) genrand(t.after);
        t.collected.push_back(i);
    }
    return t;
}

}  // namespace

TEST(BlockRunner, CollectsInOrderAndEndsInTheSameStateForAnyThreadCount) {
    // Blocks of 7 do not divide 100: the last block is shorter.
    const ToyRun expected = reference(100, 11);
    for (int threads = 1; threads <= 8; ++threads) {
        BlockRunner runner(threads);
        const ToyRun got = runToy(runner, 100, 7, 11);
        EXPECT_EQ(got.collected, expected.collected) << threads << " threads";
        EXPECT_EQ(got.firstDraw, expected.firstDraw) << threads << " threads";
        EXPECT_TRUE(got.after == expected.after) << threads << " threads";
        EXPECT_LT(got.maxWorker, runner.workerSlots()) << threads << " threads";
    }
}

TEST(BlockRunner, ARunnerServesManyRunsOfDifferentShapes) {
    BlockRunner runner(4);
    const struct { int nIter, blockSize; std::uint32_t seed; } runs[] = {
        {50, 1, 3}, {1, 5, 4}, {0, 3, 5}, {640, 64, 6}, {9, 2, 7}, {50, 1, 3}};
    for (const auto& r : runs) {
        const ToyRun expected = reference(r.nIter, r.seed);
        const ToyRun got = runToy(runner, r.nIter, r.blockSize, r.seed);
        EXPECT_EQ(got.collected, expected.collected) << r.nIter << " by " << r.blockSize;
        EXPECT_EQ(got.firstDraw, expected.firstDraw) << r.nIter << " by " << r.blockSize;
        EXPECT_TRUE(got.after == expected.after) << r.nIter << " by " << r.blockSize;
    }
}

TEST(BlockRunner, OneThreadComputesOnTheCallersSlot) {
    BlockRunner runner(1);
    EXPECT_EQ(runner.workerSlots(), 1);
    const ToyRun got = runToy(runner, 30, 4, 9);
    EXPECT_EQ(got.maxWorker, 0);
}

TEST(BlockRunner, AbsurdThreadCountsAreCapped) {
    BlockRunner runner(100000);
    EXPECT_EQ(runner.workerSlots(), 256);
    BlockRunner reference(1);
    const ToyRun got = runToy(runner, 40, 3, 5), expected = runToy(reference, 40, 3, 5);
    EXPECT_EQ(got.collected, expected.collected);
    EXPECT_TRUE(got.after == expected.after);
}

TEST(BlockRunner, PendingBlocksAreBoundedByTheWorkersNotTheRun) {
    // The replay runs once per published block; a block stays pending until
    // its last iteration is collected.  A slow first block must hold the
    // replay back instead of letting every later block's state pile up.
    for (const int threads : {2, 3}) {
        BlockRunner runner(threads);
        Rng rng;
        sgenrand(rng, 5);
        std::atomic<bool> firstDone{false};
        int published = 0, collectedBlocks = 0, mostPending = 0;
        const auto compute = [&](int, Rng& r, int first, int) {
            if (first == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50)), firstDone = true;
            genrand(r);
        };
        const auto advance = [&](Rng& r, int) {
            mostPending = std::max(mostPending, ++published - collectedBlocks);
            skipUniforms(r, 1);
        };
        const auto collect = [&](int) { ++collectedBlocks; };
        runner.run(rng, 2000, 1, compute, advance, collect);
        EXPECT_EQ(collectedBlocks, 2000);
        EXPECT_LE(mostPending, 4 * threads) << threads << " threads";
        EXPECT_TRUE(firstDone);
    }
}

// Every task runs once, on a slot the runner has, whatever the thread count,
// and a runner goes on to serve runs afterwards.
TEST(BlockRunner, ForEachRunsEveryTaskOnce) {
    for (const int threads : {1, 2, 3, 8}) {
        BlockRunner runner(threads);
        for (const int count : {0, 1, 2, 7, 100}) {
            std::vector<std::atomic<int>> calls(static_cast<std::size_t>(count));
            std::atomic<bool> slotsValid{true};
            runner.forEach(count, [&](int worker, int i) {
                if (worker < 0 || worker >= runner.workerSlots()) slotsValid = false;
                ++calls[static_cast<std::size_t>(i)];
            });
            EXPECT_TRUE(slotsValid) << threads << " threads, " << count << " tasks";
            for (int i = 0; i < count; ++i)
                EXPECT_EQ(calls[static_cast<std::size_t>(i)].load(), 1) << threads << " threads, task " << i;
        }
        const ToyRun after = runToy(runner, 500, 7, 11u);
        EXPECT_EQ(after.firstDraw, reference(500, 11u).firstDraw) << threads << " threads";
    }
}
