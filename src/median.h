// Medians of float arrays.
#pragma once

#include "buffer.h"

// Median of pfX[0 .. nN-1] without changing the array: the middle value of the
// sorted values, or the mean of the two middle values (formed in double and
// rounded once).  An empty array has no median: NaN.  The values are copied
// into copy.
float median(const float* pfX, int nN, Buffer& copy);

// The same value for an array the caller may reorder; avoids the copy.
float medianInPlace(float* arr, int nN);

// Median of the k smallest of the n values of arr (1 <= k <= n), for an array
// whose sorted order is unique (see orderIsUnique); arr is reordered.
float medianOfSmallestUnique(float* arr, int n, int k);
