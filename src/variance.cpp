#include "variance.h"

#include <cmath>

#include "clones.h"

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

namespace {
ZELKOR_AVX2_CLONES void sdOfLanesCloned(const float* laned, int n, float* out) {
    constexpr int k = kSdLanes;
    float sum[k] = {};
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < k; ++l) sum[l] = sum[l] + laned[i * k + l];
    float mean[k];
    for (int l = 0; l < k; ++l) mean[l] = sum[l] / static_cast<float>(n);
    float squares[k] = {};
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < k; ++l) {
            const float z = laned[i * k + l] - mean[l];
            squares[l] = static_cast<float>(static_cast<double>(squares[l]) +
                                            static_cast<double>(z) * static_cast<double>(z));
        }
    for (int l = 0; l < k; ++l) {
        const float var = squares[l] / static_cast<float>(n - 1);
        out[l] = static_cast<float>(std::sqrt(static_cast<double>(var)));
    }
}
}  // namespace

void sdOfLanes(const float* laned, int n, float* out) { sdOfLanesCloned(laned, n, out); }
