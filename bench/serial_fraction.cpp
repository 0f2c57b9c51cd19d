// The serial fraction of a run: the share of a parallel run's work that the
// block runner's replay does on the calling thread before it can hand out a
// block (see blockrunner.h).  For each case it times, on this thread's CPU
// clock:
//   work    the whole run on one thread (blocks computed in order, no replay)
//   replay  skipSeries over every series of the run (what the replay adds)
// and prints serial = replay / (work + replay), the speed-up that fraction
// allows on 16 and 64 cores by Amdahl's law, and the wall time of the run on
// all hardware threads.  CPU clocks are steadier than wall clocks on a shared
// machine, but a loaded core still runs slower: pair runs, take medians.
//
//   zelkor_serial_fraction [runs]     runs per case, median reported (default 3)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runs.h"

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Case {
    const char* name;
    Option option;
    int n;
};

ModelParameters whiteNoise(int n) {
    ModelParameters m;
    m.nA = m.nB = n;
    m.fSA = m.fSB = 1.0f;
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const Case cases[] = {{"option 2, 10/10", Option::Varden, 10},
                          {"option 2, 20/20", Option::Varden, 20},
                          {"option 1, 10/10", Option::EffectSizes, 10}};
    Simulator one(1);
    Simulator all(0);
    std::printf("%-17s %9s %9s %8s %8s %8s %9s\n", "case", "work s", "replay s", "serial", "max x16",
                "max x64", "wall s");
    for (const Case& c : cases) {
        const ModelParameters m = whiteNoise(c.n);
        const RunSettings settings = defaultSettings(c.option);
        std::vector<double> work, replay, wall;
        for (int r = 0; r < runs; ++r) {
            Rng rng;
            double t0 = threadSeconds();
            one.run(c.option, m, rng, settings, [] {});
            work.push_back(threadSeconds() - t0);

            Rng skipped;
            sgenrand(skipped, settings.seed);
            t0 = threadSeconds();
            skipSeries(c.option, m, skipped, settings.iterations);
            replay.push_back(threadSeconds() - t0);
            if (!(skipped == rng)) {
                std::fprintf(stderr, "serial_fraction: the replay of %s ends elsewhere than the run\n", c.name);
                return 1;
            }

            const auto w0 = std::chrono::steady_clock::now();
            all.run(c.option, m, rng, settings, [] {});
            wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count());
        }
        const double w = median(work), s = median(replay);
        const double f = s / (w + s);
        const auto bound = [f](double cores) { return 1.0 / (f + (1.0 - f) / cores); };
        std::printf("%-17s %9.3f %9.4f %7.2f%% %8.1f %8.1f %9.3f\n", c.name, w, s, 100.0 * f, bound(16),
                    bound(64), median(wall));
    }
    return 0;
}
