// Whole console sessions driven through runDialogue: what is written, in
// which order, and how a session ends.
#include "dialogue.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "test.h"

namespace {

struct Session {
    int status;
    std::string out;
};

Session runSession(const std::string& input, int threads = 2) {
    StringInput in(input);
    StringOutput out;
    const int status = runDialogue(in, out, threads);
    return {status, out.text()};
}

// Expected texts, written out from the dialogue's definition.
const std::string kMenu =
    "Simulation Options:\n\n"
    "  1: Plenar Tau\n     Tau-U\n     MPD (r)\n     ECL\n     PND\n     PNCD\n\n"
    "  2: VARDEN\n\n"
    "Select effect sizes for analysis (enter 1 or 2): ";
const std::string kPressEnter = "Press ENTER to input simulation parameters...";
const std::string kSimulating = "\nSimulating cases";
const std::string kFootnote = "\n*Not currently available\n\n";
const std::string kMaPrompt = "autocorr (MA1) \t\xE9" "1 =\t";
const std::string kWarning =
    "WARNING: You may specify ONLY \xED OR \xE9. The \nautoregressive coefficient \xED was used. "
    "To model \na moving average process, set \xED to zero.\n";

// The opening up to and including the option prompt.  The banner's two
// information lines are free text: only their presence is checked.
void expectOpening(const std::string& out, std::string& rest) {
    const std::string head = "ZELKOR: Orvanthe\nVersion 0.1 (May 2017)\n\n";
    ASSERT_EQ(out.substr(0, head.size()), head);
    std::size_t pos = head.size();
    for (int line = 0; line < 2; ++line) {
        const std::size_t end = out.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        EXPECT_GT(end, pos) << "information line " << line + 1 << " is empty";
        pos = end + 1;
    }
    const std::string after = "\n\n\n" + kMenu;
    ASSERT_EQ(out.substr(pos, after.size()), after);
    rest = out.substr(pos + after.size());
}

// Output pieces that follow each "Press ENTER" prompt; element 0 is the
// opening, the last element what came after the final prompt.
std::vector<std::string> splitRuns(const std::string& out) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t at = out.find(kPressEnter, pos);
        parts.push_back(out.substr(pos, at == std::string::npos ? std::string::npos : at - pos));
        if (at == std::string::npos) return parts;
        pos = at + kPressEnter.size();
    }
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos;
         pos = text.find(what, pos + what.size()))
        ++n;
    return n;
}

// The report part of a run: from "Simulating cases" to the end of the piece.
std::string reportOf(const std::string& run) {
    const std::size_t at = run.find(kSimulating);
    return at == std::string::npos ? std::string() : run.substr(at);
}

const std::string kRunMa = "\n4 3\n0.1 1 0\n1 1\n0\n0.4\n";  // AR 0, MA 0.4
const std::string kRunAr = "\n4 3\n0.1 1 0\n1 1\n0.5\n";     // AR 0.5, no MA entry

TEST(Dialogue, InvalidOptionPrintsMenuAndErrorOnly) {
    // Complete parameter lines follow the option: none of them may be read.
    // 4294967297 would be 1 if wrapped to 32 bits; the empty input has no option.
    for (const std::string input : {"0\n\n4 3 0 0 0 1 1 0 0\n", "3\n", "-1\n\n4 3\n", "x\n\n4 3\n",
                                    "4294967297\n\n4 3\n", "99999999999\n", ""}) {
        SCOPED_TRACE("input '" + input + "'");
        const Session s = runSession(input);
        EXPECT_EQ(s.status, 0);
        std::string rest;
        expectOpening(s.out, rest);
        EXPECT_EQ(rest, "\nERROR: You must select 1 or 2");
    }
}

TEST(Dialogue, EndOfInputAtPressEnterWritesNothingMore) {
    Session s = runSession("1\n");
    EXPECT_EQ(s.status, 0);
    std::string rest;
    expectOpening(s.out, rest);
    EXPECT_EQ(rest, "\n" + kPressEnter);

    // After a complete run the session ends at the next prompt as well.
    s = runSession("1\n" + kRunAr);
    EXPECT_EQ(s.status, 0);
    const std::string tail = kFootnote + kPressEnter;
    ASSERT_GE(s.out.size(), tail.size());
    EXPECT_EQ(s.out.substr(s.out.size() - tail.size()), tail);
}

TEST(Dialogue, EndOfInputAmongParametersSimulatesNothing) {
    const std::string full = "1\n" + kRunMa;
    const std::string lastPrompts[] = {
        "A phase length \tN_A =\t", "B phase length \tN_B =\t",
        "\nbaseline trend\t\xE1" "1 =\t", "level-change   \t\xE1" "2 =\t",
        "slope-change   \t\xE1" "3 =\t", "\nA phase SD     \tSD_A =\t",
        "B phase SD     \tSD_B =\t", "\nautocorr (AR1) \t\xED" "1 =\t", kMaPrompt};
    // Cut after the ENTER, then after each entry but the last.
    std::vector<std::size_t> cuts = {3};
    for (std::size_t i = 3; i < full.size() - 1; ++i)
        if (full[i] == ' ' || full[i] == '\n') cuts.push_back(i + 1);
    ASSERT_EQ(cuts.size(), 9u);
    for (std::size_t k = 0; k < cuts.size(); ++k) {
        SCOPED_TRACE("input cut after " + std::to_string(cuts[k]) + " bytes");
        const Session s = runSession(full.substr(0, cuts[k]));
        EXPECT_EQ(s.status, 0);
        EXPECT_EQ(count(s.out, "Simulating"), 0);
        const std::string& prompt = lastPrompts[k];
        ASSERT_GE(s.out.size(), prompt.size());
        EXPECT_EQ(s.out.substr(s.out.size() - prompt.size()), prompt);
    }
}

TEST(Dialogue, MovingAveragePromptOnlyWhenAutoregressionIsZero) {
    struct Case {
        const char* ar;
        int prompts;
    };
    for (const Case c : {Case{"0", 1}, Case{"-0", 1}, Case{"0.0e5", 1}, Case{"0.5", 0},
                         Case{"-0.2", 0}, Case{"1e-30", 0}}) {
        SCOPED_TRACE(std::string("AR(1) entry ") + c.ar);
        const std::string ma = c.prompts ? " 0.25" : "";
        const Session s = runSession("1\n\n4 3 0 0 0 1 1 " + std::string(c.ar) + ma + "\n");
        EXPECT_EQ(count(s.out, kMaPrompt), c.prompts);
        EXPECT_EQ(count(s.out, kFootnote), 1);
        if (c.prompts) {
            EXPECT_NE(s.out.find("\xE9" "1\t 0.25\tMA(1) coefficient\n"), std::string::npos);
        }
    }
}

TEST(Dialogue, MovingAverageThenAutoregressionWarns) {
    const Session s = runSession("1\n" + kRunMa + kRunAr);
    const std::vector<std::string> runs = splitRuns(s.out);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(count(runs[1], kMaPrompt), 1);
    EXPECT_EQ(count(runs[1], "WARNING"), 0);
    EXPECT_EQ(count(runs[2], kMaPrompt), 0);
    // The second run shows the MA(1) value it kept from the first.
    EXPECT_NE(runs[2].find("\n\xED" "1\t 0.50\tAR(1) coefficient\n"
                           "\xE9" "1\t 0.40\tMA(1) coefficient\n\n"),
              std::string::npos);
    const std::string tail = kFootnote + kWarning;
    ASSERT_GE(runs[2].size(), tail.size());
    EXPECT_EQ(runs[2].substr(runs[2].size() - tail.size()), tail);

    // The product of the coefficients is not rounded to single precision:
    // 1e-30 * 1e-30 underflows in float but not in double.
    const Session tiny = runSession("1\n\n4 3 0 0 0 1 1 0 1e-30\n\n4 3 0 0 0 1 1 1e-30\n");
    const std::vector<std::string> tinyRuns = splitRuns(tiny.out);
    ASSERT_EQ(tinyRuns.size(), 4u);
    EXPECT_EQ(count(tinyRuns[1], kWarning), 0);
    EXPECT_EQ(count(tinyRuns[2], kWarning), 1);
}

TEST(Dialogue, RunWritesThreeDotsAndTheSameReportEachTime) {
    const Session s = runSession("1\n" + kRunMa + kRunMa);
    const std::vector<std::string> runs = splitRuns(s.out);
    ASSERT_EQ(runs.size(), 4u);
    for (int r = 1; r <= 2; ++r) {
        const std::string report = reportOf(runs[r]);
        ASSERT_FALSE(report.empty());
        // Nothing but the three dots between "Simulating cases" and the report.
        EXPECT_EQ(report.substr(0, kSimulating.size() + 5), kSimulating + "...\n\n");
    }
    EXPECT_EQ(reportOf(runs[1]), reportOf(runs[2]));
    EXPECT_EQ(runs[3], "");
}

TEST(Dialogue, CharactersBeforeEnterAfterTheFirstFeedTheFirstPrompt) {
    // The ENTER wait takes '9'; "4" is then the A phase length.
    const Session s = runSession("1\n94 3 0 0 0 1 1 0.5\n");
    EXPECT_NE(s.out.find("N_A\t 4\tA phase length\nN_B\t 3\tB phase length\n"), std::string::npos);
}

TEST(Dialogue, UnreadableEntryKeepsValuesUntilTheLineIsDiscarded) {
    // Run 2 reads N_A = 5, then stops at "abc": every later read of the run
    // fails, so "7 8" on the same line are never read.  Run 3 reads normally.
    const Session s = runSession("1\n\n4 3\n0.1 1 0\n1 1\n0\n0.4\n"
                                 "\n5 abc 7 8\n"
                                 "\n6 2 0 0.5 0 2 2 0.2\n");
    const std::vector<std::string> runs = splitRuns(s.out);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(count(runs[2], kMaPrompt), 1) << "prompts are written even when reads fail";
    const std::string echo2 =
        "N_A\t 5\tA phase length\nN_B\t 3\tB phase length\n\n"
        "\xE1" "1\t 0.10\tbaseline trend\n\xE1" "2\t 1.00\tlevel change\n"
        "\xE1" "3\t 0.00\tslope change\n\n"
        "SD_A\t 1.00\tA phase SD\nSD_B\t 1.00\tB phase SD\n\n"
        "\xED" "1\t 0.00\tAR(1) coefficient\n\xE9" "1\t 0.40\tMA(1) coefficient\n";
    EXPECT_NE(runs[2].find(echo2), std::string::npos) << runs[2];
    EXPECT_NE(runs[3].find("N_A\t 6\tA phase length\nN_B\t 2\tB phase length\n\n"
                           "\xE1" "1\t 0.00\tbaseline trend\n\xE1" "2\t 0.50\tlevel change\n"),
              std::string::npos)
        << runs[3];
    EXPECT_NE(runs[3].find("\xED" "1\t 0.20\tAR(1) coefficient\n"), std::string::npos);
}

TEST(Dialogue, NanAndInfinityEntriesAreNumbers) {
    const Session s = runSession("1\n\n4 3 nan infinity -inf 1 1 0 nan(7)\n\n4 3 0 0 0 1 1 0.5\n");
    const std::vector<std::string> runs = splitRuns(s.out);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_NE(runs[1].find("\xE1" "1\t nan\tbaseline trend\n\xE1" "2\t inf\tlevel change\n"
                           "\xE1" "3\t-inf\tslope change\n"),
              std::string::npos)
        << runs[1];
    EXPECT_NE(runs[1].find("\xE9" "1\t nan\tMA(1) coefficient\n"), std::string::npos);
    // A NaN MA(1) coefficient times a non-zero AR(1) coefficient is not zero.
    EXPECT_EQ(count(runs[2], kWarning), 1);
}

TEST(Dialogue, InvalidPhaseLengthsReturnToPressEnter) {
    const std::string arPrompt = "\nautocorr (AR1) \t\xED" "1 =\t";
    for (const std::string lengths : {"0 3", "-3 3", "4 0", "4 -3", "1001 3", "4 1001", "abc"}) {
        SCOPED_TRACE("lengths '" + lengths + "'");
        // The first run has no valid lengths, the second uses lengths from 1.
        const Session s = runSession("1\n\n" + lengths + " 0 0 0 1 1 0.5\n\n1 2 0 0 0 1 1 0.5\n");
        EXPECT_EQ(s.status, 0);
        const std::vector<std::string> runs = splitRuns(s.out);
        ASSERT_EQ(runs.size(), 4u);
        EXPECT_EQ(count(runs[1], "Simulating"), 0);
        // The last prompt is the AR(1) one, or the MA(1) one when the AR(1)
        // entry was never read and so is still 0.
        const std::size_t ar = runs[1].rfind(arPrompt);
        const std::size_t ma = runs[1].rfind(kMaPrompt);
        ASSERT_NE(ar, std::string::npos);
        const std::size_t end = ma != std::string::npos && ma > ar ? ma + kMaPrompt.size()
                                                                   : ar + arPrompt.size();
        std::string message = runs[1].substr(end);
        message.erase(0, message.find_first_not_of('\n'));
        message.erase(message.find_last_not_of('\n') + 1);
        EXPECT_EQ(message.rfind("ERROR: ", 0), 0u) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << "one line only: " << message;
        EXPECT_EQ(count(runs[2], kFootnote), 1) << "the next run simulates";
    }
}

struct RecordedRun {
    Option option;
    ModelParameters model;
};

// Stands in for the simulation: records what it was asked to run and returns
// one row of zeros, so that long series cost nothing.
RunFn recorder(std::vector<RecordedRun>& runs) {
    return [&runs](Option option, const ModelParameters& model, Rng&, int, const ProgressFn& dot) {
        runs.push_back({option, model});
        for (int i = 0; i < 3; ++i) dot();
        StatisticRow row;
        row.statistic = Statistic::PlTau;
        row.values.assign(static_cast<std::size_t>(iterationsOf(option)), 0.0f);
        return std::vector<StatisticRow>{row};
    };
}

// The dialogue owns its stand-in: a temporary one serves every run, and the
// dialogue's copy (with what it holds) is gone when the dialogue returns.
TEST(Dialogue, KeepsItsOwnCopyOfAStandIn) {
    std::vector<RecordedRun> runs;
    auto held = std::make_shared<int>(0);
    StringInput in("1\n\n3 3 0 0 0 1 1 0.5\n\n4 4 0 0 0 1 1 0.5\n\n5 5 0 0 0 1 1 0.5\n");
    StringOutput out;
    EXPECT_EQ(runDialogue(in, out, 1,
                          [&runs, held, inner = recorder(runs)](Option o, const ModelParameters& m, Rng& r,
                                                                int t, const ProgressFn& dot) {
                              ++*held;
                              return inner(o, m, r, t, dot);
                          }),
              0);
    EXPECT_EQ(runs.size(), 3u);
    EXPECT_EQ(*held, 3);
    EXPECT_EQ(held.use_count(), 1) << "no copy of the stand-in outlives the dialogue";
}

// A decimal comma turns every later entry of the run unreadable: the output
// stays as it was, and one line on standard error says what was read.
TEST(Dialogue, EntriesThatAreNotOneNumberGetOneNoteEach) {
    const std::string input = "1\n\n4 3 0 0,5 0 1 1 0 0\n\n4 3 0 0.5 0 1 1 0 0\n\n4 3 0 1 0 1 1 0.2 junk\n";
    std::vector<RecordedRun> quiet;
    StringInput in1(input);
    StringOutput out1;
    EXPECT_EQ(runDialogue(in1, out1, 1, recorder(quiet)), 0);
    std::vector<RecordedRun> runs;
    StringInput in2(input);
    StringOutput out2;
    std::ostringstream notes;
    EXPECT_EQ(runDialogue(in2, out2, 1, recorder(runs), &notes), 0);
    EXPECT_EQ(out2.text(), out1.text()) << "standard output is the same with notes";
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].model.fB2, 0.0f);
    EXPECT_EQ(runs[0].model.fSA, 0.0f);
    EXPECT_EQ(notes.str(),
              "zelkor: note: '0,5' (level-change) was read as 0: a number ends at ','; the decimal point is '.'. "
              "Not read, so kept as they were: slope-change = 0, SD_A = 0, SD_B = 0, AR(1) = 0, MA(1) = 0\n")
        << "the second run reads every entry; the third drops text after its last entry without a note";
}

TEST(Dialogue, PhaseLengthLimitsDependOnTheOption) {
    struct Case {
        const char* option;
        int nA;
        int nB;
        bool accepted;
    };
    for (const Case c : {Case{"1", 1, 1, true}, Case{"1", 1000, 1000, true}, Case{"1", 1001, 1, false},
                         Case{"1", 1, 1001, false}, Case{"2", 1, 1, true}, Case{"2", 100, 100, true},
                         Case{"2", 101, 1, false}, Case{"2", 1, 101, false}, Case{"2", 0, 5, false}}) {
        const std::string lengths = std::to_string(c.nA) + " " + std::to_string(c.nB);
        SCOPED_TRACE(std::string("option ") + c.option + ", lengths " + lengths);
        std::vector<RecordedRun> runs;
        StringInput in(std::string(c.option) + "\n\n" + lengths + " 0 0 0 1 1 0.5\n");
        StringOutput out;
        EXPECT_EQ(runDialogue(in, out, 1, recorder(runs)), 0);
        ASSERT_EQ(runs.size(), c.accepted ? 1u : 0u);
        if (c.accepted) {
            EXPECT_EQ(runs[0].option, c.option[0] == '1' ? Option::EffectSizes : Option::Varden);
            EXPECT_EQ(runs[0].model.nA, c.nA);
            EXPECT_EQ(runs[0].model.nB, c.nB);
            const std::string nSim = c.option[0] == '1' ? "10000" : "1000";
            EXPECT_NE(out.text().find(kSimulating + "...\n\nN_SIM\t " + nSim + "\t"), std::string::npos);
        } else {
            EXPECT_EQ(count(out.text(), "\nERROR: "), 1);
        }
    }
}

TEST(Dialogue, ThreadCountDoesNotChangeTheOutput) {
    const std::string input = "1\n" + kRunMa + "\n7 5 -0.2 2 0.3 1.5 0.5 0.6\n" + kRunAr;
    const std::string reference = runSession(input, 1).out;
    EXPECT_EQ(count(reference, kFootnote), 3);
    for (int threads : {2, 3, 8}) EXPECT_EQ(runSession(input, threads).out, reference) << threads;
}

// A complete two-run session cut at every byte: each prefix must end cleanly.
const std::string kTwoRuns = "1\n\n4 3\n0.1 1 0\n1 1\n0\n0.4\n\n4 3\n0.1 1 0\n1 1\n0.3\n";

TEST(Dialogue, EveryPrefixOfASessionEndsCleanly) {
    const std::string full = runSession(kTwoRuns).out;
    ASSERT_EQ(count(full, kFootnote), 2);
    for (std::size_t n = 0; n <= kTwoRuns.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        const Session s = runSession(kTwoRuns.substr(0, n));
        EXPECT_EQ(s.status, 0);
        // A simulation once started always completes its report.
        EXPECT_EQ(count(s.out, "Simulating"), count(s.out, kFootnote));
        // Cut between entries, the session is the start of the full one.
        if (n == kTwoRuns.size() || kTwoRuns[n] == '\n' || kTwoRuns[n] == ' ') {
            EXPECT_EQ(s.out, full.substr(0, s.out.size()));
        }
    }
}

#ifdef ZELKOR_BINARY
TEST(Program, PrefixesEndWithStatusZeroAndTheSameOutput) {
    const std::size_t n = kTwoRuns.size();
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3},
                            std::size_t{9}, n / 2, n - 3, n - 1, n}) {
        SCOPED_TRACE("first " + std::to_string(cut) + " bytes");
        const ProgramRun run = runBinary({}, kTwoRuns.substr(0, cut));
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, runSession(kTwoRuns.substr(0, cut)).out);
    }
}
#endif

}  // namespace
