// Kendall's pair counts and tie groups of two paired samples: the pairwise
// scan that defines the counts, and a count in O(n log n) that gives the same
// integers wherever it provably can.
#pragma once

#include <cstdint>
#include <vector>

#include "buffer.h"

// Kendall's pair counts of two paired samples: S (concordant minus
// discordant pairs), n1 (pairs not tied in data1) and n2 (pairs not tied in
// data2).
struct KendallCounts {
    int is = 0;
    int n1 = 0;
    int n2 = 0;
};

// Working storage of the counts, reused from call to call.
struct KendallWorkspace {
    std::vector<std::uint64_t> pairKeys;   // (first, second) order keys
    std::vector<std::uint64_t> pairSpare;  // and their merge buffer
    std::vector<int> runStarts;            // runs of the first variable
    std::vector<std::uint32_t> firstKeys;
    std::vector<std::uint32_t> secondKeys;
    std::vector<std::uint32_t> mergeKeys;
    Buffer copy1;  // sorted copies (tie groups), padded copies (scan)
    Buffer copy2;
    Buffer ties1;  // tie group sizes
    Buffer ties2;
    // The tie groups of the last two variables that had ties, by their bits:
    // the phase indicator and Tau-U's ordering recur from series to series.
    struct RecentTies {
        std::vector<float> values;
        std::vector<float> groups;
    } recent[2];
    int nextRecent = 0;
    // kendl2's outputs, which depend on n, the counts and the tie groups
    // alone, remembered by S for the last few (n, n1, n2, groups) met: the
    // series of a run ask again and again for the same few (the phase
    // indicator and Tau-U's ordering keep their ties from series to series).
    struct TestMemo {
        int n = -1;
        int n1 = 0;
        int n2 = 0;
        std::vector<float> groups1;
        std::vector<float> groups2;
        std::vector<float> outputs;        // tau, z and prob at 3 * (S + pairs)
        std::vector<unsigned char> known;  // at S + pairs
    } tests[4];
    int nextTest = 0;
    // Which count to take; the tests and benchmarks hold the others against
    // the reference.
    enum class Method {
        Auto,       // as described at kendallCounts
        Reference,  // the scalar scan, and a sort of each variable for its ties
        Sorted,     // the sorted count at every length where it is exact
    } method = Method::Auto;
};

// The counts by the pairwise scan, which defines them: for every pair j < k
// the float differences a1 = data1[j] - data1[k] and a2 = data2[j] - data2[k]
// and their float product aa; a pair with aa != 0 (a NaN included) counts in
// n1 and n2 and moves S by +1 when aa > 0 and by -1 otherwise; a pair with
// aa == 0 counts in n1 when a1 != 0 and in n2 when a2 != 0.  O(n^2).
KendallCounts kendallPairScan(const float* data1, const float* data2, int n);

// The same counts.  Up to 96 pairs of values take the scan (eight pairs at a
// time on x86-64 with AVX2); longer ones a merge-sort count of discordant pairs
// (Knight's method) where that provably gives the scan's answer: every value
// finite, no float difference of two values of a variable overflowing, and
// no product of two non-zero differences rounding to zero.  Other inputs (a
// NaN or an infinity among them) take the scan.
KendallCounts kendallCounts(const float* data1, const float* data2, int n, KendallWorkspace& ws);

// kendallCounts, and the tie groups of each variable: the sizes of its runs
// of two or more equal values (as == compares them) in the array quicksort
// makes of it (ascending; where NaNs occur they stay where quicksort puts
// them and split runs), as floats, written to groups1 and groups2 (room for
// n each), their numbers to count1 and count2.
KendallCounts kendallCountsAndTies(const float* data1, const float* data2, int n,
                                   KendallWorkspace& ws, float* groups1, int& count1,
                                   float* groups2, int& count2);
