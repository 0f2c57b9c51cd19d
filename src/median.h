// Median of a float array.
#pragma once

// Median of pfX[0 .. nN-1] without changing the array: the middle value of the
// sorted values, or the mean of the two middle values (formed in double and
// rounded once).  An empty array has no median: NaN.
float median(const float* pfX, int nN);

// The same value for an array the caller may reorder; avoids the copy.
float medianInPlace(float* arr, int nN);
