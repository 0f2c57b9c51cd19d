// Sample variance and standard deviation (divisor n - 1) of float arrays.
#pragma once

float variance(const float* x, int n);
float sd(const float* x, int n);
