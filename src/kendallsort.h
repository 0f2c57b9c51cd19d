// Kendall's pair counts by sorting (Knight's method), for the counts of
// kendallcounts.h: the discordant pairs counted while merge-sorting one
// variable in the order of the other.
#pragma once

#include "kendallcounts.h"

// The counts of data1 and data2 and the tie groups of both (as
// kendallCountsAndTies describes them), in O(n log n), where they provably
// equal the pairwise scan's: every value finite, no float difference of two
// values of a variable overflowing, and no product of two non-zero
// differences rounding to zero.  False, with nothing promised about the
// outputs, where the scan must decide.
bool sortedCounts(const float* data1, const float* data2, int n, KendallWorkspace& ws,
                  KendallCounts& c, float* groups1, int& count1, float* groups2, int& count2);
