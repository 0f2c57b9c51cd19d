#include "seriesstatistics.h"

#include <algorithm>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A routine of the form f(nA, nB, y, &value, &p, ...) as one estimate.
template <class F>
Estimate tested(F f) {
    Estimate e{kNaN, kNaN};
    f(&e.value, &e.p);
    return e;
}

Estimate effectSize(Statistic s, int nA, int nB, const float* y, SeriesWorkspace& ws, const NonOverlapTable* table) {
    EffectSizeWorkspace& es = ws.effectSizes;
    switch (s) {
        case Statistic::PlTau: return tested([&](float* x, float* p) { pltau(nA, nB, y, x, p, es); });
        case Statistic::TauU: return tested([&](float* x, float* p) { tauu(nA, nB, y, x, p, es); });
        case Statistic::MpdR:
        case Statistic::MpdD: {
            float d, r;
            mpd(nA, nB, y, &d, &r, es);
            return {s == Statistic::MpdR ? r : d, kNaN};
        }
        case Statistic::Ecl: {
            float x;
            ecl(nA, nB, y, &x, es);
            return {x, kNaN};
        }
        case Statistic::Pnd: return tested([&](float* x, float* p) { pnd(nA, nB, y, x, p, table); });
        case Statistic::Pncd: return tested([&](float* x, float* p) { pncd(nA, nB, y, x, p, es, table); });
        case Statistic::Nap: return nap(nA, nB, y, ws.indices);
        case Statistic::TauAB: return tauAB(nA, nB, y, ws.indices);
        case Statistic::Pem: return pem(nA, nB, y, ws.indices);
        case Statistic::Smd: return {smd(nA, nB, y), kNaN};
        case Statistic::SimD:
        case Statistic::SimR: break;
    }
    return {kNaN, kNaN};
}

}  // namespace

void effectSizeStatistics(int nA, int nB, const float* y, std::span<const Statistic> wanted,
                          std::span<Estimate> out, SeriesWorkspace& ws, const NonOverlapTable* table) {
    for (std::size_t k = 0; k < wanted.size() && k < out.size(); ++k)
        out[k] = effectSize(wanted[k], nA, nB, y, ws, table);
}

void vardenStatistics(Rng& rng, int nA, int nB, const float* y, int nSim, std::span<const Statistic> wanted,
                      std::span<Estimate> out, VardenWorkspace& ws) {
    const auto method = [](Statistic s) { return s == Statistic::SimD || s == Statistic::SimR; };
    VardenResult v;
    if (std::any_of(wanted.begin(), wanted.end(), method)) v = varden(rng, nA, nB, y, nSim, ws);
    for (std::size_t k = 0; k < wanted.size() && k < out.size(); ++k) {
        const Statistic s = wanted[k];
        if (!method(s))
            out[k] = {kNaN, kNaN};
        else
            out[k] = {s == Statistic::SimD ? v.esResults.smd : v.esResults.r, v.esResults.p};
    }
}
