// The Theil-Sen line of a bootstrap resample of one phase, read off the
// phase's own pairs and sorted values by counting instead of refitting.
#pragma once

#include <cstdint>
#include <vector>

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
// position is searched pair by pair.  On longer phases the walk starts at a
// pivot chunk in the middle of the slope order, where a resample's median
// usually lies close by: the weight of the pairs before the pivot is counted
// from bit rows (which pairs lie before it) and bit planes of the counts,
// and the walk goes back or on from there.
class ResampleFit {
public:
    // Longest phase the shortcut takes: its weights are summed in 32 bits.
    static constexpr int kMaxPoints = 10000;
    // Pairs per chunk of the walk.
    static constexpr int kChunk = 32;
    // Chunks before the middle from which the walk starts at a pivot.
    static constexpr std::size_t kPivotFrom = 4;

    // Prepares the phase's pairs and sorted values; false when the counting
    // shortcut does not apply and every resample must be fitted directly.
    bool prepare(const float* pfX, const float* pfY, int nN);

    // Line through the resample whose point a was drawn counts[a] times;
    // counts holds nN + 1 entries, the last one 0 (the padding pairs' point).
    void fit(const int* counts, float* pfInt, float* pfSlope);

private:
    struct Point {
        float value;
        int index;
    };

    void sortedByValue(const float* v, std::vector<Point>& out) const;
    void preparePivot(std::size_t pairs);
    // Weight of the pairs before the pivot chunk.
    long long weightBeforePivot(const int* counts);
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
    // The pivot chunk (0: the walk starts at the first pair); row a of
    // pivotRows_ has bit b set when the pair (a, b), a < b, lies before it.
    std::size_t pivotChunk_ = 0;
    int words_ = 0;  // 64-bit words per row and per plane
    std::vector<std::uint64_t> pivotRows_;
    // Bit l of every count, word by word and plane by plane within a word,
    // then the points drawn at least once.
    std::vector<std::uint64_t> planes_;
};
