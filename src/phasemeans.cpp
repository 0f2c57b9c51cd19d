#include "phasemeans.h"

#include <cmath>
#include <limits>
#include <vector>

#include "clones.h"
#include "rnorm.h"
#include "variance.h"

namespace {
constexpr int kBurnIn = 50;
}  // namespace

int phaseMeanDrawCount(int n) { return n + kBurnIn + 4; }

namespace {
constexpr int kLanes = PhaseMeanBatch::kLanes;

// One batch's perturbed lines, lane by lane.
struct Lines {
    float intercept[kLanes], slope[kLanes], SD[kLanes], r1[kLanes];
};

// The single-simulation arithmetic after the draws, for every lane at once:
// the AR(1) noise from the deviates dev, its standardisation over the last n
// steps, and the sum of the line plus the scaled noise at the times t (all
// laid out step by step, lane by lane; e receives the noise).
ZELKOR_AVX2_CLONES void laneTotals(const float* __restrict dev, const float* __restrict t,
                                   float* __restrict e, int n, const Lines& given, float* out) {
    const Lines lines = given;  // local, so that no store to e can change it
    const int steps = n + kBurnIn;
    for (int l = 0; l < kLanes; ++l) e[l] = dev[l];
    for (int i = 1; i < steps; ++i)
        for (int l = 0; l < kLanes; ++l) {
            const float carried = e[(i - 1) * kLanes + l] * lines.r1[l];
            e[i * kLanes + l] = carried + dev[i * kLanes + l];
        }

    const float fn = static_cast<float>(n);
    float sum[kLanes] = {};
    for (int i = kBurnIn; i < steps; ++i)
        for (int l = 0; l < kLanes; ++l) sum[l] = sum[l] + e[i * kLanes + l];
    float mean[kLanes];
    for (int l = 0; l < kLanes; ++l) mean[l] = sum[l] / fn;
    // The standard deviation's first pass is the same sum, so its mean is
    // the same value.
    float squares[kLanes] = {};
    for (int i = kBurnIn; i < steps; ++i)
        for (int l = 0; l < kLanes; ++l) {
            const float z = e[i * kLanes + l] - mean[l];
            squares[l] = static_cast<float>(static_cast<double>(squares[l]) +
                                            static_cast<double>(z) * static_cast<double>(z));
        }
    // A standard deviation that is zero or undefined leaves the noise only
    // centred: dividing by 1 changes nothing.
    double scale[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        const float var = squares[l] / static_cast<float>(n - 1);
        const float fSD = static_cast<float>(std::sqrt(static_cast<double>(var)));
        scale[l] = fSD > 0.0f ? static_cast<double>(fSD) : 1.0;
    }

    float total[kLanes] = {};
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < kLanes; ++l) {
            const double centred =
                static_cast<double>(e[(kBurnIn + i) * kLanes + l]) - static_cast<double>(mean[l]);
            const float noise = static_cast<float>(centred / scale[l]);
            const float y = static_cast<float>(
                (static_cast<double>(t[i * kLanes + l]) * static_cast<double>(lines.slope[l]) +
                 static_cast<double>(lines.intercept[l])) +
                static_cast<double>(noise) * static_cast<double>(lines.SD[l]));
            total[l] = total[l] + y;
        }
    for (int l = 0; l < kLanes; ++l) out[l] = total[l];
}
}  // namespace

void PhaseMeanBatch::run(Rng& rng, int n, const Model* models, int lanes, float r1, float r1SE,
                         float* means) {
    const int perSim = n + kBurnIn + 4;
    const int steps = n + kBurnIn;
    float* deviates = deviates_.floats(lanes * perSim);
    fillNormals(rng, deviates, lanes * perSim);
    float* dev = laneDeviates_.floats(steps * kLanes);
    float* t = laneTimes_.floats(n * kLanes);
    float* e = noise_.floats(steps * kLanes);

    Lines lines;
    for (int l = 0; l < kLanes; ++l) {
        if (l >= lanes) {
            lines.intercept[l] = lines.slope[l] = lines.SD[l] = lines.r1[l] = 0.0f;
            for (int i = 0; i < steps; ++i) dev[i * kLanes + l] = 0.0f;
            for (int i = 0; i < n; ++i) t[i * kLanes + l] = 0.0f;
            continue;
        }
        const float* d = deviates + l * perSim;
        const Model& m = models[l];
        const double z1 = static_cast<double>(d[0]), z2 = static_cast<double>(d[1]);
        const double z3 = static_cast<double>(d[2]), z4 = static_cast<double>(d[3]);
        const double shifted = static_cast<double>(m.intercept) + z1 * static_cast<double>(m.intSE);
        const double spread = z2 * static_cast<double>(m.slopeSE);
        lines.intercept[l] = static_cast<float>(shifted + std::sqrt(static_cast<double>(n)) * spread);
        lines.slope[l] = static_cast<float>(static_cast<double>(m.slope) - z1 * static_cast<double>(m.slopeSE));
        lines.SD[l] = static_cast<float>(static_cast<double>(m.SD) + z3 * static_cast<double>(m.SDSE));
        float r = static_cast<float>(static_cast<double>(r1) + z4 * static_cast<double>(r1SE));
        if (static_cast<double>(r) > 1.0) r = 1.0f;
        if (static_cast<double>(r) < -1.0) r = -1.0f;
        lines.r1[l] = r;
        for (int i = 0; i < steps; ++i) dev[i * kLanes + l] = d[4 + i];
        for (int i = 0; i < n; ++i) t[i * kLanes + l] = m.t[i];
    }

    float total[kLanes];
    laneTotals(dev, t, e, n, lines, total);
    const float fn = static_cast<float>(n);
    for (int l = 0; l < lanes; ++l) means[l] = total[l] / fn;
}

float simTimeSeriesMean(Rng& rng, int n, const float* t, float intercept, float intSE,
                        float slope, float slopeSE, float SD, float SDSE, float r1, float r1SE) {
    if (n < 1) return std::numeric_limits<float>::quiet_NaN();
    const PhaseMeanBatch::Model model{t, intercept, intSE, slope, slopeSE, SD, SDSE};
    float mean;
    PhaseMeanBatch().run(rng, n, &model, 1, r1, r1SE, &mean);
    return mean;
}

void simAutocorrVARDEN(Rng& rng, float r1, int n, float* y) {
    if (n < 1) return;
    std::vector<float> deviates(static_cast<std::size_t>(n + kBurnIn));
    fillNormals(rng, deviates.data(), n + kBurnIn);
    std::vector<float> e(static_cast<std::size_t>(n + kBurnIn));
    e[0] = deviates[0];
    for (int i = 1; i < n + kBurnIn; ++i) {
        const float carried = e[i - 1] * r1;
        e[i] = carried + deviates[i];
    }
    float sum = 0.0f;
    for (int i = kBurnIn; i < n + kBurnIn; ++i) sum = sum + e[i];
    const float mean = sum / static_cast<float>(n);
    const float fSD = sd(e.data() + kBurnIn, n);
    // A standard deviation that is zero or undefined (a single value) cannot
    // standardise: the noise is then only centred.
    const bool scale = fSD > 0.0f;
    for (int i = 0; i < n; ++i) {
        const double centred = static_cast<double>(e[kBurnIn + i]) - static_cast<double>(mean);
        e[kBurnIn + i] = static_cast<float>(scale ? centred / static_cast<double>(fSD) : centred);
        y[i] = e[kBurnIn + i];
    }
}

