// Sample variance and standard deviation (divisor n - 1) of float arrays.
#pragma once

float variance(const float* x, int n);
float sd(const float* x, int n);

// Arrays handled side by side by sdOfLanes.
inline constexpr int kSdLanes = 8;

// The standard deviations of kSdLanes arrays of n values laid out lane by
// lane (value i of array l at laned[i * kSdLanes + l]): out[l] is sd() of
// array l, bit for bit.  The arrays' serial sums run side by side.
void sdOfLanes(const float* laned, int n, float* out);
