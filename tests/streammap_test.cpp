// Where draws fall in the stream: the counted attempts against the polar
// method's own test, and the walk's states against the draws made one after
// another, from awkward starting states and over awkward runs of draws.
#include "streammap.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "blockrunner.h"
#include "test.h"

namespace {

using Kind = DrawStep::Kind;

// Counted segments kept for a walk, produced and counted as asked.
struct CountedStream {
    explicit CountedStream(const Rng& start) : source(start) {}
    SegmentSource source;
    std::vector<StreamSegment> segments;
    std::uint64_t lowestAsked = 0;
    bool askedBackwards = false;  // more than one segment before the last asked

    const StreamSegment& at(std::uint64_t j) {
        askedBackwards = askedBackwards || j + 1 < lowestAsked;
        lowestAsked = std::max(lowestAsked, j);
        while (segments.size() <= j) {
            segments.emplace_back();
            source.next(segments.back());
            segments.back().count();
        }
        return segments[j];
    }
    StreamWalker::Segments accessor() {
        return [this](std::uint64_t j) -> const StreamSegment& { return at(j); };
    }
};

// Walks `blocks` blocks of `perBlock` iterations and checks the state at
// every block start and at the end against the serial replay, and that both
// go on to draw the same deviates and outputs.
void expectWalkMatchesReplay(const Rng& start, const IterationDraws& draws, int blocks, int perBlock,
                             const std::string& what) {
    ASSERT_TRUE(StreamWalker::walkable(start, draws)) << what;
    CountedStream stream(start);
    const StreamWalker::Segments segment = stream.accessor();
    StreamWalker walker(start);
    Rng serial = start;
    for (int b = 0; b <= blocks; ++b) {
        Rng walked = walker.state(segment);
        ASSERT_TRUE(walked == serial) << what << ", block " << b << ": mti " << walked.mti << " vs "
                                      << serial.mti << ", normals " << walked.nNormals << " vs "
                                      << serial.nNormals;
        Rng a = walked, c = serial;
        for (int k = 0; k < 3; ++k) EXPECT_BITS(rnorm(a, 0.0f, 1.0f), rnorm(c, 0.0f, 1.0f)) << what;
        EXPECT_EQ(genrand(a), genrand(c)) << what;
        if (b == blocks) break;
        walker.walk(draws, static_cast<std::uint64_t>(perBlock), segment);
        skipIterations(serial, draws, static_cast<std::uint64_t>(perBlock));
    }
    EXPECT_FALSE(stream.askedBackwards) << what;
}

}  // namespace

TEST(StreamMap, CountedAttemptsAreThePolarMethodsAcceptances) {
    // 3000 generations hold some attempts inside the band where the quick
    // test defers to the rounded coordinates; the attempts at the edges of
    // the coordinate range are forced in the first generation.
    Rng rng;
    sgenrand(rng, 20261209);
    std::vector<std::uint32_t> edges = {0U, 0U, 0xffffffffU, 0U, 0x80000000U, 0x7fffffffU, 0U, 0x80000000U};
    Rng scripted = scriptedRng(edges);
    int accepted = 0, band = 0;
    for (int g = 0; g < 3000; ++g) {
        const std::uint32_t* words = g == 0 ? scripted.mt.data() : rng.mt.data();
        std::uint64_t bits[kAttemptBitWords];
        acceptedAttempts(words, bits);
        for (int k = 0; k < kAttemptsPerGeneration; ++k) {
            const float x1 = polarCoordinate(mt_detail::temper(words[2 * k]));
            const float x2 = polarCoordinate(mt_detail::temper(words[2 * k + 1]));
            const double exact = static_cast<double>(x1) * x1 + static_cast<double>(x2) * x2;
            band += std::fabs(exact - 1.0) <= 1e-5 ? 1 : 0;
            const bool expected = polarRadius(x1, x2) < 1.0f;
            const bool got = (bits[k / 64] >> (k % 64)) & 1U;
            ASSERT_EQ(got, expected) << "generation " << g << ", attempt " << k;
            accepted += got ? 1 : 0;
        }
        EXPECT_EQ(bits[kAttemptBitWords - 1] >> (kAttemptsPerGeneration % 64), 0U);
        if (g > 0) mt_detail::regenerate(rng);
    }
    EXPECT_GT(band, 0);
    EXPECT_NEAR(accepted / (3000.0 * kAttemptsPerGeneration), 0.785398, 0.005);
}

TEST(StreamMap, WalkedStatesAreTheReplaysStates) {
    Rng fresh;
    sgenrand(fresh, 7487);
    // Part of a generation drawn, and a deviate left cached.
    Rng midway = fresh;
    skipUniforms(midway, 400);
    rnorm(midway, 0.0f, 1.0f);
    ASSERT_EQ(midway.use_last, 1);
    ASSERT_EQ(midway.mti % 2, 0);
    // At the very end of a generation, and at its start.
    Rng ended = fresh;
    skipUniforms(ended, 624);
    Rng started = fresh;
    mt_detail::regenerate(started);

    const std::map<std::string, IterationDraws> patterns = {
        {"odd deviates", {{Kind::Normals, 71}}},
        {"option 2 shaped", {{Kind::Normals, 61}, {Kind::Uniforms, 40000}, {Kind::Normals, 256}}},
        {"odd, raw, odd", {{Kind::Normals, 3}, {Kind::Uniforms, 2}, {Kind::Normals, 1}}},
        {"empty runs", {{Kind::Normals, 0}, {Kind::Uniforms, 0}, {Kind::Normals, 5}}},
        {"raw only", {{Kind::Uniforms, 1248}}},
        // A cached deviate carried over a jump of many segments.
        {"long jump", {{Kind::Normals, 1}, {Kind::Uniforms, 60000}, {Kind::Normals, 2}}},
        {"one deviate", {{Kind::Normals, 1}}},
    };
    const std::map<std::string, Rng> starts = {
        {"fresh", fresh}, {"midway", midway}, {"ended", ended}, {"started", started}};
    for (const auto& [pattern, draws] : patterns)
        for (const auto& [name, start] : starts)
            expectWalkMatchesReplay(start, draws, 6, 37, pattern + " from " + name);
}

TEST(StreamMap, OnlyWholePairsOfOutputsAreWalked) {
    Rng rng;
    sgenrand(rng, 5);
    const IterationDraws normals = {{Kind::Normals, 4}};
    EXPECT_TRUE(StreamWalker::walkable(rng, normals));
    EXPECT_FALSE(StreamWalker::walkable(Rng{}, normals)) << "unseeded";
    EXPECT_FALSE(StreamWalker::walkable(rng, {{Kind::Normals, 4}, {Kind::Uniforms, 3}})) << "odd raw run";
    genrand(rng);
    EXPECT_FALSE(StreamWalker::walkable(rng, normals)) << "odd next output";
}

TEST(StreamMap, TheRunnerGivesEveryBlockTheReplaysStateForAnyThreadCount) {
    // Each block records its starting state's draws; the walked runs (even
    // raw runs) and the replayed ones (odd) must agree with one thread.
    const std::vector<IterationDraws> patterns = {
        {{Kind::Normals, 61}, {Kind::Uniforms, 4000}, {Kind::Normals, 1001}},
        {{Kind::Normals, 7}, {Kind::Uniforms, 300001}},
        {{Kind::Normals, 1}, {Kind::Uniforms, 100000}, {Kind::Normals, 3}},
    };
    for (std::size_t p = 0; p < patterns.size(); ++p) {
        std::vector<std::vector<float>> firstDeviates;
        std::vector<Rng> ends;
        for (const int threads : {1, 2, 3, 5}) {
            BlockRunner runner(threads);
            Rng rng;
            sgenrand(rng, 99);
            std::vector<float> first(60);
            const auto compute = [&](int, Rng& r, int firstIteration, int count) {
                for (int i = firstIteration; i < firstIteration + count; ++i) {
                    first[static_cast<std::size_t>(i)] = rnorm(r, 0.0f, 1.0f);
                    // The rest of the iteration's draws, as the replay makes them.
                    IterationDraws remaining = patterns[p];
                    remaining[0].count -= 1;
                    skipIterations(r, remaining, 1);
                }
            };
            std::vector<int> collected;
            runner.run(rng, 60, 4, compute, patterns[p], [&](int i) { collected.push_back(i); });
            ASSERT_EQ(collected.size(), 60U);
            for (int i = 0; i < 60; ++i) ASSERT_EQ(collected[static_cast<std::size_t>(i)], i);
            firstDeviates.push_back(first);
            ends.push_back(rng);
        }
        for (std::size_t t = 1; t < ends.size(); ++t) {
            EXPECT_EQ(firstDeviates[t], firstDeviates[0]) << "pattern " << p << ", run " << t;
            EXPECT_TRUE(ends[t] == ends[0]) << "pattern " << p << ", run " << t;
        }
    }
}
