// The serial fraction of a run: the share of a parallel run's work that the
// block runner does on the calling thread before it can hand out a block (see
// blockrunner.h and streammap.h).  For each case it times, on this thread's
// CPU clock:
//   work    the whole run on one thread (blocks computed in order, no replay)
//   replay  what the calling thread of a parallel run does besides
//           collecting: the generator's recurrence over the run's segments,
//           the walk of every block's draws over the counted segments and
//           each block's starting state
//   count   the counting of the segments' accepted attempts, which the
//           workers share (the old replay, skipSeries, is printed beside it)
// and prints serial = replay / (work + count + replay), the speed-up that
// fraction allows on 16 and 64 cores by Amdahl's law, and the wall time of
// the run on all hardware threads.  CPU clocks are steadier than wall clocks
// on a shared machine, but a loaded core still runs slower: pair runs, take
// medians.
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

struct MappedRun {
    double serialSeconds = 0.0;
    double countSeconds = 0.0;
    Rng end;
};

// The calling thread's part of a mapped replay, timed apart from the
// counting: every segment the run needs is produced and counted first, then
// the recurrence is run again over them (timed) and the blocks are walked.
MappedRun mapRun(Option option, const ModelParameters& m, const Rng& start, int nIter) {
    const int block = seriesPerBlock(option);
    const IterationDraws draws = seriesDraws(option, m);
    Rng end = start;
    skipIterations(end, draws, static_cast<std::uint64_t>(nIter));
    const std::uint64_t generations = end.generation - start.generation + 1;
    std::vector<StreamSegment> segments(static_cast<std::size_t>(generations / kSegmentGenerations + 1));
    MappedRun r;
    SegmentSource source(start);
    for (StreamSegment& s : segments) source.next(s);
    double t0 = threadSeconds();
    for (StreamSegment& s : segments) s.count();
    r.countSeconds = threadSeconds() - t0;

    StreamSegment produced;
    SegmentSource again(start);
    StreamWalker walker(start);
    const StreamWalker::Segments segment = [&](std::uint64_t j) -> const StreamSegment& { return segments[j]; };
    t0 = threadSeconds();
    for (std::size_t j = 0; j < segments.size(); ++j) again.next(produced);
    for (int first = 0; first < nIter; first += block) {
        r.end = walker.state(segment);
        walker.walk(draws, static_cast<std::uint64_t>(std::min(block, nIter - first)), segment);
    }
    r.end = walker.state(segment);
    r.serialSeconds = threadSeconds() - t0;
    return r;
}

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
    std::printf("%-17s %9s %9s %9s %9s %8s %8s %8s %9s\n", "case", "work s", "replay s", "count s",
                "old rpl s", "serial", "max x16", "max x64", "wall s");
    for (const Case& c : cases) {
        const ModelParameters m = whiteNoise(c.n);
        const RunSettings settings = defaultSettings(c.option);
        std::vector<double> work, replay, count, oldReplay, wall;
        for (int r = 0; r < runs; ++r) {
            Rng rng;
            double t0 = threadSeconds();
            one.run(c.option, m, rng, settings, [] {});
            work.push_back(threadSeconds() - t0);

            Rng skipped;
            sgenrand(skipped, settings.seed);
            t0 = threadSeconds();
            skipSeries(c.option, m, skipped, settings.iterations);
            oldReplay.push_back(threadSeconds() - t0);

            Rng start;
            sgenrand(start, settings.seed);
            const MappedRun mapped = mapRun(c.option, m, start, settings.iterations);
            replay.push_back(mapped.serialSeconds);
            count.push_back(mapped.countSeconds);
            if (!(skipped == rng) || !(mapped.end == rng)) {
                std::fprintf(stderr, "serial_fraction: the replay of %s ends elsewhere than the run\n", c.name);
                return 1;
            }

            const auto w0 = std::chrono::steady_clock::now();
            all.run(c.option, m, rng, settings, [] {});
            wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count());
        }
        const double w = median(work), s = median(replay), k = median(count);
        const double f = s / (w + k + s);
        const auto bound = [f](double cores) { return 1.0 / (f + (1.0 - f) / cores); };
        std::printf("%-17s %9.3f %9.4f %9.4f %9.4f %7.2f%% %8.1f %8.1f %9.3f\n", c.name, w, s, k,
                    median(oldReplay), 100.0 * f, bound(16), bound(64), median(wall));
    }
    return 0;
}
