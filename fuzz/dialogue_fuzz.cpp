// Whole console sessions from arbitrary bytes, with a recorder in place of the
// simulation: every run returns at once, with values derived from the entered
// parameters (infinities and NaNs included) so that the report still formats
// them.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue.h"
#include "report.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos;
         pos = text.find(what, pos + what.size()))
        ++n;
    return n;
}

StatisticRow makeRow(Statistic statistic, const ModelParameters& m, int k, int nSim) {
    const bool hasTest = statisticInfo(statistic).hasTest;
    const float p[7] = {m.fB1, m.fB2, m.fB3, m.fSA, m.fSB, m.fAR1, m.fMA1};
    const float a = p[k % 7];
    const float b = p[(k + 3) % 7];
    const float shift = static_cast<float>(m.nA - m.nB) / static_cast<float>(m.nB);
    StatisticRow r;
    r.statistic = statistic;
    r.values.resize(static_cast<std::size_t>(nSim));
    if (hasTest) r.pValues.resize(static_cast<std::size_t>(nSim));
    for (int i = 0; i < nSim; ++i) {
        // inf * 0, inf - inf and overflowing products give NaNs and infinities.
        const float v = a * static_cast<float>(i % 11 - 5) + b * 0.25f + shift;
        r.values[static_cast<std::size_t>(i)] = v;
        r.sum = r.sum + v;
        if (hasTest) {
            r.pValues[static_cast<std::size_t>(i)] = v;
            if (static_cast<double>(v) < kAlpha) r.significant = r.significant + 1.0f;
        }
    }
    return r;
}

struct Recorder {
    std::vector<ModelParameters> calls;
    Option option = Option::EffectSizes;

    std::vector<StatisticRow> operator()(Option opt, const ModelParameters& m, Rng&, int threads,
                                         const ProgressFn& dot) {
        if (!calls.empty()) check(opt == option, "option changed between runs");
        option = opt;
        check(threads == 1, "thread count not passed on");
        const int limit = opt == Option::EffectSizes ? 1000 : 100;
        check(m.nA >= 1 && m.nA <= limit && m.nB >= 1 && m.nB <= limit,
              "run called with phase lengths outside the limits");
        calls.push_back(m);
        for (int d = 0; d < 3; ++d) dot();

        std::vector<StatisticRow> rows;
        const Statistic effectSizes[] = {Statistic::PlTau, Statistic::TauU, Statistic::MpdR,
                                         Statistic::Ecl,   Statistic::Pnd,  Statistic::Pncd};
        const Statistic method[] = {Statistic::SimD, Statistic::SimR};
        const int n = iterationsOf(opt);
        int k = 0;
        if (opt == Option::EffectSizes)
            for (Statistic s : effectSizes) rows.push_back(makeRow(s, m, k++, n));
        else
            for (Statistic s : method) rows.push_back(makeRow(s, m, k++, n));
        return rows;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every run ends a line or the input, so the line count bounds the runs of
    // an input; longer sessions only add time.
    int lines = 0;
    for (std::size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    if (lines > 16) return 0;

    Recorder recorder;
    const RunFn run = [&recorder](Option o, const ModelParameters& m, Rng& r, int t,
                                  const ProgressFn& dot) { return recorder(o, m, r, t, dot); };
    StringInput in(std::string(reinterpret_cast<const char*>(data), size));
    StringOutput out;
    std::ostringstream notes;
    check(runDialogue(in, out, 1, run, &notes) == 0, "exit status not 0");
    const std::string& text = out.text();
    // Notes and warnings: whole lines, each one of its own, at most a note and
    // four warnings for every run's parameters read (and a run that stopped).
    const std::string noted = notes.str();
    check(noted.empty() || noted.back() == '\n', "a note without its line end");
    check(count(noted, "zelkor: ") == count(noted, "\n"), "a note of more than one line");
    check(count(noted, "\n") <= 5 * (static_cast<int>(recorder.calls.size()) + lines + 1), "too many notes");

    check(text.rfind("ZELKOR: Orvanthe\nVersion 0.1 (May 2017)\n", 0) == 0, "banner missing");
    const int runs = static_cast<int>(recorder.calls.size());
    check(count(text, "Simulating cases") == runs, "runs and progress lines differ");
    check(count(text, "Simulating cases...\n\nN_SIM\t") == runs, "a run without exactly three dots");

    int warnings = 0;
    std::size_t pos = 0;
    for (const ModelParameters& m : recorder.calls) {
        char echo[64];
        std::snprintf(echo, sizeof echo, "N_A\t% d\tA phase length\nN_B\t% d\tB phase length\n",
                      m.nA, m.nB);
        pos = text.find(echo, pos);
        check(pos != std::string::npos, "echo of the phase lengths missing or out of order");
        warnings += static_cast<double>(m.fAR1) * static_cast<double>(m.fMA1) != 0.0;
    }
    check(count(text, "WARNING: You may specify ONLY") == warnings, "warnings and coefficients differ");
    return 0;
}
