#include "variance.h"

#include <cmath>

float variance(const float* x, int n) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum = sum + x[i];
    const float mean = sum / static_cast<float>(n);
    sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float z = x[i] - mean;
        sum = static_cast<float>(static_cast<double>(sum) + static_cast<double>(z) * static_cast<double>(z));
    }
    return sum / static_cast<float>(n - 1);
}

float sd(const float* x, int n) {
    const float var = variance(x, n);
    return static_cast<float>(std::sqrt(static_cast<double>(var)));
}
