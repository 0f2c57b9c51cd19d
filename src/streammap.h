// Where a run's draws fall in the generator's output stream, found without
// drawing them one after another.
//
// A run's iterations draw fixed counts of normal deviates and raw outputs,
// but a normal deviate takes a varying number of outputs: the polar method
// rejects some attempts.  Whether an attempt is accepted depends only on its
// two outputs, and with attempts on whole pairs of outputs (an even start and
// even runs of raw outputs between them) every attempt is one fixed pair of
// the stream.  So the stream is cut into segments: the serial part of finding
// an iteration's starting state is the generator's recurrence alone (a
// SegmentSource), the acceptance of every attempt is counted segment by
// segment in parallel (StreamSegment::count), and a StreamWalker walks the
// iterations' draws over those counts and forms the state at any point.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "mersenne.h"
#include "rnorm.h"

// One run of draws of an iteration: count standard normal deviates (rnorm)
// or count raw outputs (genrand).
struct DrawStep {
    enum class Kind { Normals, Uniforms };
    Kind kind;
    std::uint64_t count;
};

// What one iteration draws, in order.
using IterationDraws = std::vector<DrawStep>;

// Moves rng over the draws of `iterations` iterations one run at a time
// (skipNormals, skipUniforms): the replay without segments.
void skipIterations(Rng& rng, const IterationDraws& draws, std::uint64_t iterations);

// Generations (624 outputs each) in a segment.
inline constexpr int kSegmentGenerations = 32;

// kSegmentGenerations generations of the stream: the state words of the
// first, and, once counted, which attempts of each are accepted.
struct StreamSegment {
    std::array<std::uint32_t, Rng::kN> first{};
    std::array<std::uint64_t, kSegmentGenerations * kAttemptBitWords> accepted{};

    // Fills `accepted` from `first` (acceptedAttempts, generation by
    // generation): the part of finding the states that runs in parallel.
    void count();
    // The state words of the segment's generation g (0 .. kSegmentGenerations-1).
    std::array<std::uint32_t, Rng::kN> generationWords(int g) const;
};

// The segments of the stream that follows a generator state, in order:
// segment 0's first generation is the state's current one.
class SegmentSource {
public:
    explicit SegmentSource(const Rng& start) : words_(start.mt) {}
    // Writes the next segment's first generation (its attempts not counted).
    void next(StreamSegment& into);
    // Passes the next segment without writing it.
    void skip();

private:
    std::array<std::uint32_t, Rng::kN> words_;
};

// Walks draws from a starting state over counted segments.  Positions count
// outputs from the start of the starting state's current generation.
class StreamWalker {
public:
    // Returns counted segment j.  A walk asks for segments in increasing
    // order; state() may ask again for the one before the last asked.
    using Segments = std::function<const StreamSegment&(std::uint64_t j)>;

    // Whether draws from this state can be walked: a seeded generator whose
    // next output starts a pair, and even runs of raw outputs.
    static bool walkable(const Rng& start, const IterationDraws& draws);

    explicit StreamWalker(const Rng& start);

    // Moves the walk over `iterations` iterations' draws.
    void walk(const IterationDraws& draws, std::uint64_t iterations, const Segments& segment);

    // The generator state at the walk's point, equal in every draw to the
    // state the same draws leave when made one after another (its derived
    // normal coordinates are not kept).
    Rng state(const Segments& segment);

private:
    void normals(std::uint64_t n, const Segments& segment);
    void uniforms(std::uint64_t n, const Segments& segment);
    void formCachedDeviate(const Segments& segment);
    // The attempt index of the k-th (k >= 1) accepted attempt at or after
    // attempt `from`.
    std::uint64_t acceptedAttempt(std::uint64_t from, std::uint64_t k, const Segments& segment) const;
    // The two outputs of an attempt.
    void attemptOutputs(std::uint64_t attempt, const Segments& segment, std::uint32_t& u1,
                        std::uint32_t& u2) const;

    Rng start_;
    std::uint64_t position_;     // outputs from the start of generation 0
    std::uint64_t normals_ = 0;  // deviates returned since the start
    int useLast_;
    float y2_;                       // the cached deviate, once formed
    bool y2Known_ = true;
    std::uint64_t cachedAttempt_ = 0;  // the attempt that left it
};
