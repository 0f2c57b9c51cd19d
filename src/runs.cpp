#include "runs.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "effectsizes.h"
#include "rnorm.h"
#include "scratch.h"
#include "simulate.h"
#include "varden.h"

int defaultThreadCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

int iterationsOf(Option option) {
    return option == Option::EffectSizes ? kEffectSizeIterations : kVardenIterations;
}

namespace {

// Runs nIter iterations in blocks of consecutive iterations.
//   compute(rng, first, count): the block's iterations from the generator
//     state at the block's start; writes results at the iterations' indices.
//   advance(rng, count): moves the generator over the draws of count
//     iterations without computing them.
//   collect(i): takes iteration i's results, called in iteration order.
// With one thread the blocks run in order on rng itself.  With more, this
// thread replays the draws and hands each block its starting state; workers
// compute blocks in any order; results are still collected in order.
template <class Compute, class Advance, class Collect>
void runBlocks(Rng& rng, int nIter, int blockSize, int threads, Compute compute, Advance advance,
               Collect collect) {
    const int nBlocks = (nIter + blockSize - 1) / blockSize;
    const auto firstOf = [&](int b) { return b * blockSize; };
    const auto countOf = [&](int b) { return std::min(blockSize, nIter - b * blockSize); };

    const auto sequential = [&] {
        for (int b = 0; b < nBlocks; ++b) {
            compute(rng, firstOf(b), countOf(b));
            for (int i = firstOf(b); i < firstOf(b) + countOf(b); ++i) collect(i);
        }
    };
    if (threads <= 1 || nBlocks <= 1) {
        sequential();
        return;
    }

    std::vector<Rng> starts(static_cast<std::size_t>(nBlocks));
    std::vector<unsigned char> done(static_cast<std::size_t>(nBlocks), 0);
    std::mutex mutex;
    std::condition_variable published;
    std::condition_variable finished;
    int nPublished = 0;
    std::atomic<int> nextBlock{0};

    const auto worker = [&] {
        for (;;) {
            const int b = nextBlock.fetch_add(1);
            if (b >= nBlocks) return;
            Rng local;
            {
                std::unique_lock lock(mutex);
                published.wait(lock, [&] { return nPublished > b; });
                local.restore(starts[static_cast<std::size_t>(b)]);
            }
            compute(local, firstOf(b), countOf(b));
            {
                std::lock_guard lock(mutex);
                done[static_cast<std::size_t>(b)] = 1;
            }
            finished.notify_all();
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads));
    try {
        for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
    } catch (const std::system_error&) {
        // Fewer workers only take longer; without any, the run is sequential.
    }
    if (pool.empty()) {
        sequential();
        return;
    }

    int nCollected = 0;  // blocks whose iterations have been collected
    const auto collectReady = [&](bool wait) {
        while (nCollected < nBlocks) {
            {
                std::unique_lock lock(mutex);
                if (wait)
                    finished.wait(lock, [&] { return done[static_cast<std::size_t>(nCollected)] != 0; });
                else if (done[static_cast<std::size_t>(nCollected)] == 0)
                    return;
            }
            const int b = nCollected++;
            for (int i = firstOf(b); i < firstOf(b) + countOf(b); ++i) collect(i);
        }
    };

    for (int b = 0; b < nBlocks; ++b) {
        {
            std::lock_guard lock(mutex);
            starts[static_cast<std::size_t>(b)] = rng.snapshot();
            ++nPublished;
        }
        published.notify_all();
        advance(rng, countOf(b));
        collectReady(false);
    }
    collectReady(true);
    for (auto& t : pool) t.join();
}

StatisticRow row(const char* format, int nSim, bool hasTest) {
    StatisticRow r;
    r.format = format;
    r.values.assign(static_cast<std::size_t>(nSim), 0.0f);
    r.hasTest = hasTest;
    return r;
}

// Adds iteration i's value to the row's running sum, and its test to the count.
void accumulate(StatisticRow& r, const std::vector<unsigned char>& significant, int i) {
    const auto at = static_cast<std::size_t>(i);
    r.sum = r.sum + r.values[at];
    if (r.hasTest && significant[at] != 0) r.significant = r.significant + 1.0f;
}

std::vector<StatisticRow> effectSizeRun(const ModelParameters& m, Rng& rng, int threads,
                                        const ProgressFn& dot) {
    const int nSim = kEffectSizeIterations;
    std::vector<StatisticRow> rows;
    rows.push_back(row("PL-Tau\t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, true));
    rows.push_back(row("Tau-U \t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, true));
    rows.push_back(row("MPD-r \t% .2f\t%.2f\t*   \t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, false));
    rows.push_back(row("ECL   \t% .2f\t%.2f\t*   \t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, false));
    rows.push_back(row("PND   \t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, true));
    rows.push_back(row("PNCD  \t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, true));
    std::vector<std::vector<unsigned char>> sig(rows.size(),
                                                std::vector<unsigned char>(static_cast<std::size_t>(nSim)));

    const NonOverlapTable pTable(m.nA, m.nB);
    const int n = m.nA + m.nB;
    const int drawsPerSeries = seriesDrawCount(m.nA, m.nB, m.fAR1);

    const auto compute = [&](Rng& r, int first, int count) {
        float* pfY = scratch(Slot::RunSeries, static_cast<std::size_t>(n));
        for (int i = first; i < first + count; ++i) {
            const auto at = static_cast<std::size_t>(i);
            simABTimeSeries(r, m.nA, m.nB, m.fB1, m.fB2, m.fB3, m.fSA, m.fSB, m.fAR1, m.fMA1, pfY);
            float x, p, d;
            pltau(m.nA, m.nB, pfY, &x, &p);
            rows[0].values[at] = x;
            sig[0][at] = p < 0.05;
            tauu(m.nA, m.nB, pfY, &x, &p);
            rows[1].values[at] = x;
            sig[1][at] = p < 0.05;
            mpd(m.nA, m.nB, pfY, &d, &x);
            rows[2].values[at] = x;
            ecl(m.nA, m.nB, pfY, &x);
            rows[3].values[at] = x;
            pnd(m.nA, m.nB, pfY, &x, &p, &pTable);
            rows[4].values[at] = x;
            sig[4][at] = p < 0.05;
            pncd(m.nA, m.nB, pfY, &x, &p, &pTable);
            rows[5].values[at] = x;
            sig[5][at] = p < 0.05;
        }
    };
    const auto advance = [&](Rng& r, int count) {
        skipNormals(r, static_cast<std::uint64_t>(drawsPerSeries) * static_cast<std::uint64_t>(count));
    };
    const auto collect = [&](int i) {
        if (i != 0 && i % kEffectSizeDotInterval == 0) dot();
        for (std::size_t s = 0; s < rows.size(); ++s) accumulate(rows[s], sig[s], i);
    };
    runBlocks(rng, nSim, 250, threads, compute, advance, collect);
    return rows;
}

std::vector<StatisticRow> vardenRun(const ModelParameters& m, Rng& rng, int threads,
                                    const ProgressFn& dot) {
    const int nSim = kVardenIterations;
    std::vector<StatisticRow> rows;
    rows.push_back(row("SIM-d \t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, true));
    rows.push_back(row("SIM-r \t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n", nSim, true));
    std::vector<unsigned char> sig(static_cast<std::size_t>(nSim));

    const int n = m.nA + m.nB;
    const auto seriesDraws = static_cast<std::uint64_t>(seriesDrawCount(m.nA, m.nB, m.fAR1));
    const auto uniforms = static_cast<std::uint64_t>(vardenUniformCount(m.nA, m.nB));
    const auto normals = static_cast<std::uint64_t>(vardenNormalCount(m.nB, kVardenInnerSimulations));

    const auto compute = [&](Rng& r, int first, int count) {
        float* pfY = scratch(Slot::RunSeries, static_cast<std::size_t>(n));
        float fNullModel[6], fExpModel[6], fAutocorrModel[2], fSimResults[4], fESResults[6];
        for (int i = first; i < first + count; ++i) {
            const auto at = static_cast<std::size_t>(i);
            simABTimeSeries(r, m.nA, m.nB, m.fB1, m.fB2, m.fB3, m.fSA, m.fSB, m.fAR1, m.fMA1, pfY);
            varden(r, m.nA, m.nB, pfY, fNullModel, fExpModel, fAutocorrModel, fSimResults,
                   fESResults, kVardenInnerSimulations);
            rows[0].values[at] = fESResults[1];
            rows[1].values[at] = fESResults[3];
            sig[at] = fESResults[5] < 0.05;
        }
    };
    const auto advance = [&](Rng& r, int count) {
        for (int c = 0; c < count; ++c) {
            skipNormals(r, seriesDraws);
            skipUniforms(r, uniforms);
            skipNormals(r, normals);
        }
    };
    const auto collect = [&](int i) {
        if (i != 0 && i % kVardenDotInterval == 0) dot();
        // Both rows are counted by the one p-value of d.
        accumulate(rows[0], sig, i);
        accumulate(rows[1], sig, i);
    };
    runBlocks(rng, nSim, 1, threads, compute, advance, collect);
    return rows;
}

}  // namespace

std::vector<StatisticRow> simulateRun(Option option, const ModelParameters& model, Rng& rng,
                                      int threads, const ProgressFn& dot) {
    sgenrand(rng, kRunSeed);
    if (option == Option::EffectSizes) return effectSizeRun(model, rng, threads, dot);
    return vardenRun(model, rng, threads, dot);
}
