// Models that run but are usually a slip: which ones, and the warnings of
// the study commands and the dialogue about them.
#include "modelcheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "dialogue.h"
#include "grid.h"
#include "test.h"

namespace {

ModelParameters model(float ar1, float ma1, float sdA = 1.0f, float sdB = 1.0f) {
    ModelParameters m;
    m.nA = 5;
    m.nB = 5;
    m.fAR1 = ar1;
    m.fMA1 = ma1;
    m.fSA = sdA;
    m.fSB = sdB;
    return m;
}

using Slips = std::vector<ModelSlip>;

}  // namespace

TEST(ModelCheck, BoundariesAndWhatIsNoSlip) {
    EXPECT_EQ(modelSlips(model(0.99f, 0)), Slips{});
    EXPECT_EQ(modelSlips(model(1.0f, 0)), Slips{ModelSlip::ArNotStationary}) << "a unit root";
    EXPECT_EQ(modelSlips(model(-1.5f, 0)), Slips{ModelSlip::ArNotStationary});
    EXPECT_EQ(modelSlips(model(INFINITY, 0)), Slips{ModelSlip::ArNotStationary});
    EXPECT_EQ(modelSlips(model(NAN, 0)), Slips{}) << "NaN is a degenerate entry, not a slip";
    EXPECT_EQ(modelSlips(model(0, -1.0f)), Slips{ModelSlip::MaNotInvertible});
    EXPECT_EQ(modelSlips(model(0.5f, 2.0f)), Slips{}) << "an MA(1) coefficient that is not used";
    EXPECT_EQ(modelSlips(model(0, 0, 0.0f, -0.0f)), Slips{}) << "SDs of zero, of either sign";
    EXPECT_EQ(modelSlips(model(2.0f, 0, -1.0f, -2.0f)),
              (Slips{ModelSlip::ArNotStationary, ModelSlip::NegativeSdA, ModelSlip::NegativeSdB}));
    EXPECT_EQ(slipValue(model(0, 0, -1.0f, -2.0f), ModelSlip::NegativeSdB), -2.0f);
}

TEST(ModelCheck, StudiesWarnOncePerKindWithTheConditions) {
    std::vector<Condition> design;
    for (int id = 1; id <= 12; ++id) {
        Condition c;
        c.id = id;
        c.model = model(id <= 10 ? 1.5f : 0.2f, 0, id == 12 ? -1.0f : 1.0f);
        design.push_back(c);
    }
    std::ostringstream err;
    warnModelSlips(design, "zelkor: grid run: d.csv: ", err);
    EXPECT_EQ(err.str(),
              "zelkor: grid run: d.csv: warning: |AR(1)| >= 1: the errors are not stationary and grow along the "
              "series; 10 conditions (1, 2, 3, 4, 5, 6, 7, 8, ...) run as given\n"
              "zelkor: grid run: d.csv: warning: SD_A < 0: the phase-A errors are scaled by it as given, with "
              "their sign flipped; 1 condition (12) run as given\n");
    std::ostringstream none;
    warnModelSlips({design[10]}, "x: ", none);
    EXPECT_EQ(none.str(), "");
}

TEST(ModelCheck, TheDialogueWarnsOnStandardErrorAndRunsOn) {
    const std::string input = "1\n\n4 3 0 1 0 -1 1 1.5\n";
    StringInput in(input);
    StringOutput out;
    std::ostringstream notes;
    int runs = 0;
    const RunFn stand = [&runs](Option option, const ModelParameters&, Rng&, int, const ProgressFn&) {
        ++runs;
        StatisticRow row;
        row.statistic = Statistic::PlTau;
        row.values.assign(static_cast<std::size_t>(iterationsOf(option)), 0.0f);
        return std::vector<StatisticRow>{row};
    };
    EXPECT_EQ(runDialogue(in, out, 1, stand, &notes), 0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(notes.str(),
              "zelkor: warning: |AR(1)| >= 1: the errors are not stationary and grow along the series "
              "(AR(1) = 1.5); the run goes on\n"
              "zelkor: warning: SD_A < 0: the phase-A errors are scaled by it as given, with their sign flipped "
              "(SD_A = -1); the run goes on\n");
    StringInput again(input);
    StringOutput quiet;
    EXPECT_EQ(runDialogue(again, quiet, 1, stand), 0);
    EXPECT_EQ(out.text(), quiet.text());
}
