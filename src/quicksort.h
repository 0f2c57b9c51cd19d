// In-place ascending sort of floats.
#pragma once

// Hoare-partition quicksort with the middle element as pivot.  Its exact steps
// decide where NaNs and zeros of either sign end up.
void quicksort(float* a, int n);

// Sorts into exactly the order quicksort gives.  When every pair of equal
// values has equal bits any correct sort yields the same array; otherwise
// the quicksort steps themselves are taken.
void sortAscending(float* a, int n);

// True when a[0 .. n-1] holds no NaN and not zeros of both signs: the arrays
// on which every ascending order of the values is the same sequence of bits.
bool orderIsUnique(const float* a, int n);
