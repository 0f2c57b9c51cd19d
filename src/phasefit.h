// The line through one phase and the bootstrap standard errors of its fit:
// Theil-Sen intercept and slope, their spread over case resamples, and the
// spread of a standard deviation over resamples.
#pragma once

#include <cstdint>
#include <vector>

#include "buffer.h"
#include "mersenne.h"

// Value standing for an unusable estimate: the slope of a pair with equal
// times, a fit without any finite pair slope, and a discarded bootstrap
// replicate.
inline constexpr float kSentinel = 999999.0f;

// Bootstrap replicates per standard error.
inline constexpr int kReplicates = 1000;

// The bootstrap fit from multiplicities.  Every point of a resample is one of
// the phase's points, so with distinct times each finite pair slope of a
// resample is the slope of a pair of distinct phase points, taken c_a * c_b
// times when the points were drawn c_a and c_b times, and every other pair
// has equal times.  When no slope, observation or time is NaN and no slope
// lies above the sentinel, the medians of a resample are read off the sorted
// phase values by counting: they equal what sorting the resample gives, up to
// the sign of a zero.  The bootstrap uses the replicates only through the
// discard test and standard deviations, which a zero's sign cannot change.
//
// The slope median walks the pairs in slope order, a chunk at a time: each
// chunk's weight is summed without a branch (the points' indices are read in
// order and their counts gathered), and only the chunk holding a middle
// position is searched pair by pair.
class ResampleFit {
public:
    // Longest phase the shortcut takes: its weights are summed in 32 bits.
    static constexpr int kMaxPoints = 10000;
    // Pairs per chunk of the walk.
    static constexpr int kChunk = 32;

    // Prepares the phase's pairs and sorted values; false when the counting
    // shortcut does not apply and every resample must be fitted directly.
    bool prepare(const float* pfX, const float* pfY, int nN);

    // Line through the resample whose point a was drawn counts[a] times;
    // counts holds nN + 1 entries, the last one 0 (the padding pairs' point).
    void fit(const int* counts, float* pfInt, float* pfSlope) const;

private:
    struct Point {
        float value;
        int index;
    };

    void sortedByValue(const float* v, std::vector<Point>& out) const;
    // The slope at weighted position pos (0-based) of the pairs in slope
    // order, searching from chunk `chunk`, whose preceding pairs weigh `seen`.
    float slopeAt(const int* counts, long long pos, std::size_t& chunk, long long& seen) const;

    int n_ = 0;
    // The pairs in slope order, padded to whole chunks with pairs of point
    // n_ (weight 0): slope and the two points' indices.
    std::vector<float> slopes_;
    std::vector<std::int32_t> first_;
    std::vector<std::int32_t> second_;
    std::vector<Point> ys_;
    std::vector<Point> xs_;
};

// Working storage of the fits and bootstraps, owned by one worker.
struct PhaseFitWorkspace {
    Buffer pairSlopes;  // the slopes of one fit
    Buffer median;      // copies for the medians
    Buffer bootInts;    // the replicates' intercepts
    Buffer bootSlopes;  // the replicates' slopes
    Buffer bootSD;      // the replicates' standard deviations
    Buffer bootX;       // one resample
    Buffer bootY;
    ResampleFit byCount;
    std::vector<int> counts;  // multiplicities of one resample, and a 0
};

// Theil-Sen line through one phase; pairs with equal x are left out of the
// slope median.  Without any finite pair slope the slope is the sentinel.
void theilSenVARDEN(const float* pfX, const float* pfY, int nN, float* pfInt, float* pfSlope,
                    PhaseFitWorkspace& ws);

// Bootstrap standard errors of the line's intercept and slope over 1000
// case resamples; draws 1000 * nN uniform values.
void theilSenStdErrVARDEN(Rng& rng, const float* pfX, const float* pfY, int nN, float* intSE,
                          float* slopeSE, PhaseFitWorkspace& ws);

// Bootstrap standard error of the standard deviation; draws 1000 * n uniform
// values.
float stdDevStdErr(Rng& rng, const float* x, int n, PhaseFitWorkspace& ws);
