// In-place ascending sort of floats, and of 32-bit words.
#pragma once

#include <cstdint>

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

// True when a[0 .. n-1] holds neither a NaN nor an infinity.
bool allFinite(const float* a, int n);

// Sorts n 32-bit words ascending, a byte at a time from the lowest: four
// stable counting passes, skipping bytes that all words share.  spare has
// room for n words.
void sortWords(std::uint32_t* words, std::uint32_t* spare, int n);
