// Checks the normal generator's quick factor against the library's on every
// float an accepted polar attempt can have as its squared radius: 0, the
// subnormals and every normal float below 1.  Where quickPolarFactor calls
// itself decided, its factor must be the float polarFactor forms from
// std::log; the check also prints the largest relative error of quickLog
// against std::log on the normal floats and how many factors were left to
// the library.  Exits 1 on any difference.
//
//   zelkor_polar_factor_check [threads]     (default: all hardware threads)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "rnorm.h"

namespace {

struct Tally {
    std::uint64_t checked = 0;
    std::uint64_t undecided = 0;
    std::uint64_t differing = 0;
    std::uint32_t firstDiffering = 0;
    double worstLog = 0.0;  // relative error of quickLog
};

constexpr std::uint32_t kBelowOne = 0x3f800000U;  // the bits of 1.0f

void check(std::uint32_t from, std::uint32_t to, Tally& t) {
    for (std::uint32_t bits = from; bits < to; ++bits) {
        float w;
        std::memcpy(&w, &bits, sizeof w);
        ++t.checked;
        bool decided = false;
        const float quick = quickPolarFactor(w, decided);
        if (!decided) {
            ++t.undecided;
            continue;
        }
        const double exact = std::log(static_cast<double>(w));
        t.worstLog = std::max(t.worstLog, std::fabs((quickLog(w) - exact) / exact));
        const float defined = polarFactor(exact, w);
        if (std::memcmp(&quick, &defined, sizeof quick) != 0) {
            if (t.differing == 0) t.firstDiffering = bits;
            ++t.differing;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned hardware = std::max(1U, std::thread::hardware_concurrency());
    const unsigned threads = argc > 1 ? static_cast<unsigned>(std::max(1, std::atoi(argv[1]))) : hardware;
    std::vector<Tally> tallies(threads);
    std::vector<std::thread> pool;
    const std::uint32_t share = kBelowOne / threads + 1;
    for (unsigned k = 0; k < threads; ++k) {
        const std::uint32_t from = std::min(kBelowOne, k * share);
        const std::uint32_t to = std::min(kBelowOne, from + share);
        pool.emplace_back([from, to, &t = tallies[k]] { check(from, to, t); });
    }
    for (auto& p : pool) p.join();
    Tally all;
    for (const Tally& t : tallies) {
        all.checked += t.checked;
        all.undecided += t.undecided;
        if (t.differing > 0 && all.differing == 0) all.firstDiffering = t.firstDiffering;
        all.differing += t.differing;
        all.worstLog = std::max(all.worstLog, t.worstLog);
    }
    std::printf("floats checked: %llu (0 to the largest below 1)\n", static_cast<unsigned long long>(all.checked));
    std::printf("left to the library: %llu\n", static_cast<unsigned long long>(all.undecided));
    std::printf("largest relative error of quickLog: %.3g (2^%.1f)\n", all.worstLog, std::log2(all.worstLog));
    if (all.differing > 0) {
        float w;
        std::memcpy(&w, &all.firstDiffering, sizeof w);
        std::printf("DIFFERENT factors: %llu, the first at w = %a\n", static_cast<unsigned long long>(all.differing),
                    static_cast<double>(w));
        return 1;
    }
    std::printf("Every decided factor is the library's float.\n");
    return 0;
}
