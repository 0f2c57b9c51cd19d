// Pictures of a results file: reading and checking the CSV, the figures built
// from it, the gnuplot scripts, and whole plot runs with their exit statuses.
#include "plot.h"

#include "cli.h"
#include "distributionfigure.h"
#include "powerfigure.h"
#include "resultstable.h"
#include "sidecar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "test.h"

namespace {

namespace fs = std::filesystem;
using plot::InputError;

const std::string kFixture = std::string(ZELKOR_TEST_DATA) + "/plot/results_small.csv";
const std::string kHeader =
    "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1,n_sim,seed,statistic,mean,se,"
    "p_sig,p_sig_mcse,q0,q25,q50,q75,q100,n_nonfinite,n_p_nan\n";

// The table of a results text; an InputError as the plots raise one when it
// cannot be read.
ResultsTable tableOf(const std::string& text, const std::string& name = "r.csv") {
    ResultsTable table;
    std::string error;
    if (!readResultsTable(text, name, table, error)) throw InputError(error);
    return table;
}

ResultsTable fixture() { return tableOf(readFile(kFixture), "results_small.csv"); }

// One option-1 row: condition, n_a, level, ar1, statistic, p_sig and its error.
std::string row(int id, const char* nA, const char* level, const char* ar1, const char* statistic,
                const char* pSig, const char* mcse = "0.005", const char* nSim = "10000") {
    return std::to_string(id) + ",1," + nA + ",10,0," + level + ",0,1,1," + ar1 + ",0," + nSim + ",7487," +
           statistic + ",0.5,0.2," + pSig + "," + mcse + ",-1,0.25,0.5,0.75,1,0,0\n";
}

// Two levels by two AR(1) values by two A phase lengths, two statistics
// with a test and one without; the AR(1) value written as a float's %.9g.
std::string grid2x2() {
    std::string text = kHeader;
    int id = 0;
    for (const char* level : {"0", "1"}) {
        for (const char* ar1 : {"0", "0.300000012"}) {
            for (const char* nA : {"5", "10"}) {
                ++id;
                text += row(id, nA, level, ar1, "PL-Tau", "0.2");
                text += row(id, nA, level, ar1, "MPD-r", "NA", "NA");
                text += row(id, nA, level, ar1, "Tau-U", "0.3");
            }
        }
    }
    return text;
}

plot::PowerRequest request(const std::string& x, const std::string& facet = "", double alpha = 0.05) {
    return {x, facet, alpha};
}

PlotPowerOptions powerOptions(const std::string& x) {
    PlotPowerOptions o;
    o.x = x;
    return o;
}

std::vector<std::string> panelTitles(const plot::PowerFigure& f) {
    std::vector<std::string> titles;
    for (const auto& p : f.panels) titles.push_back(p.title);
    return titles;
}

std::string messageOf(const std::function<void()>& action) { return thrownMessage<InputError>(action); }

bool gnuplotInstalled() {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/gnuplot").c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace

// ---- Reading ---------------------------------------------------------------------

TEST(ResultsTable, FindsColumnsByNameWhateverTheirOrderAndQuoting) {
    const auto t = tableOf("\"statistic\",p_sig,n_a,x\r\n\"PL-Tau\",0.5,3,?\r\n\r\n\"Tau, U\",NA,\"6\",?\r\n");
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_TRUE(t.has(ResultColumn::NA));
    EXPECT_FALSE(t.has(ResultColumn::Q0));
    EXPECT_EQ(t.rows[1].statistic, "Tau, U");
    EXPECT_EQ(t.lines[1], 4) << "the blank line still counts";
    EXPECT_EQ(t.rows[1].condition.model.nA, 6);
    EXPECT_EQ(t.rows[0].pSig, 0.5);
    EXPECT_FALSE(t.rows[1].pSig.has_value());
}

TEST(ResultsTable, ReadsNaAndTheNonFiniteSpellings) {
    const auto t = tableOf("p_sig,mean\nNA,NaN\n-Inf,inf\n1e999,-1.5e-05\n");
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_FALSE(t.rows[0].pSig.has_value());
    EXPECT_TRUE(std::isnan(t.rows[0].mean));
    EXPECT_EQ(*t.rows[1].pSig, -INFINITY);
    EXPECT_EQ(t.rows[1].mean, INFINITY);
    EXPECT_EQ(*t.rows[2].pSig, INFINITY);
    EXPECT_EQ(t.rows[2].mean, -1.5e-05);
}

TEST(ResultsTable, ErrorsNameTheFileAndWhereTheyCanTheLineAndColumn) {
    EXPECT_EQ(messageOf([] { tableOf(""); }), "r.csv: the file is empty (no header line)");
    EXPECT_EQ(messageOf([] { tableOf("\n\n"); }), "r.csv: the file is empty (no header line)");
    EXPECT_EQ(messageOf([] { tableOf("a,b\n1,2\n1\n"); }), "r.csv:3:1: expected 2 fields, found 1");
    EXPECT_EQ(messageOf([] { tableOf("a,a\n"); }), "r.csv:1:3: column 'a' appears twice in the header");
    EXPECT_EQ(messageOf([] { tableOf("a,,b\n"); }), "r.csv:1:3: empty column name in the header");
    EXPECT_EQ(messageOf([] { tableOf("a,b\n\"x,1\n"); }),
              "r.csv:2:1: a quoted field is not closed before the end of the file");
    EXPECT_EQ(messageOf([] { tableOf("p_sig,n_a\n0.1,2\nx,3\n"); }),
              "r.csv:3:1: cannot read 'x' as a number or NA (p_sig)");
    EXPECT_EQ(messageOf([] { tableOf("p_sig,n_a\n0.1,NA\n"); }), "r.csv:2:5: cannot read 'NA' as a whole number (n_a)");
    EXPECT_EQ(messageOf([] { tableOf("statistic,n_a\n,2\n"); }),
              "r.csv:2:1: cannot read '' as a statistic's label (statistic)");
}

TEST(ResultsTable, FactorsPrintAsTheShortestFloatText) {
    EXPECT_EQ(plot::factorText(0.300000012), "0.3");
    EXPECT_EQ(plot::factorText(10.0), "10");
    EXPECT_EQ(plot::factorText(-1e-05), "-1e-05");
    EXPECT_EQ(plot::factorText(NAN), "NaN");
    EXPECT_EQ(plot::factorText(-INFINITY), "-Inf");
}

// ---- Power figure ------------------------------------------------------------------

TEST(PowerFigure, OneLinePerStatisticWithATestOnePanelPerLevel) {
    const auto f = plot::buildPowerFigure(fixture(), request("n_a"));
    EXPECT_EQ(f.statistics, (std::vector<std::string>{"PL-Tau", "Tau-U", "PND", "PNCD"}));
    EXPECT_EQ(panelTitles(f), (std::vector<std::string>{"level change \xCE\xB2\xE2\x82\x82 = 0", "level change \xCE\xB2\xE2\x82\x82 = 1"}));
    EXPECT_EQ(f.rows, 1);
    EXPECT_EQ(f.columns, 2);
    EXPECT_EQ(f.xValues, (std::vector<double>{3, 6, 9}));
    EXPECT_EQ(f.xLabel, "N_A (length of phase A)");
    EXPECT_EQ(f.title, "Share of series with p < 0.05 by N_A (length of phase A)");
    EXPECT_TRUE(f.panels[0].typeI) << "no level change: a Type-I panel";
    EXPECT_FALSE(f.panels[1].typeI);
    // PL-Tau at level 1: 0.5, 0.65, 0.8 at n_a 3, 6, 9 (the fixture's rows).
    const auto& line = f.panels[1].lines[0];
    EXPECT_EQ(line.statistic, "PL-Tau");
    ASSERT_EQ(line.points.size(), 3u);
    EXPECT_EQ(line.points[0].x, 3.0);
    EXPECT_EQ(line.points[2].share, 0.8);
    EXPECT_DOUBLE_EQ(line.points[0].mcse, 0.005);
    ASSERT_FALSE(f.notes.empty());
    EXPECT_NE(f.notes[0].find("N_B = 10"), std::string::npos);
    EXPECT_EQ(f.notes[0].find("level"), std::string::npos) << "level varies; it is no note";
}

TEST(PowerFigure, EveryOtherVaryingFactorGetsItsOwnPanels) {
    const auto f = plot::buildPowerFigure(tableOf(grid2x2()), request("n_a"));
    EXPECT_EQ(panelTitles(f), (std::vector<std::string>{"level change \xCE\xB2\xE2\x82\x82 = 0, AR(1) \xCF\x86 = 0", "level change \xCE\xB2\xE2\x82\x82 = 0, AR(1) \xCF\x86 = 0.3",
                                                         "level change \xCE\xB2\xE2\x82\x82 = 1, AR(1) \xCF\x86 = 0", "level change \xCE\xB2\xE2\x82\x82 = 1, AR(1) \xCF\x86 = 0.3"}));
    EXPECT_EQ(f.rows, 2);
    EXPECT_EQ(f.columns, 2);
    for (const auto& panel : f.panels) {
        ASSERT_EQ(panel.lines.size(), 2u) << panel.title;
        EXPECT_EQ(panel.lines[1].statistic, "Tau-U");
        EXPECT_EQ(panel.lines[1].points.size(), 2u) << "one point per n_a, nothing pooled";
    }
}

TEST(PowerFigure, FacetColumnLeadsThePanelGrid) {
    const auto f = plot::buildPowerFigure(tableOf(grid2x2()), request("n_a", "ar1"));
    EXPECT_EQ(panelTitles(f), (std::vector<std::string>{"AR(1) \xCF\x86 = 0, level change \xCE\xB2\xE2\x82\x82 = 0", "AR(1) \xCF\x86 = 0, level change \xCE\xB2\xE2\x82\x82 = 1",
                                                         "AR(1) \xCF\x86 = 0.3, level change \xCE\xB2\xE2\x82\x82 = 0", "AR(1) \xCF\x86 = 0.3, level change \xCE\xB2\xE2\x82\x82 = 1"}));
    // A factor that does not vary still heads one panel when named.
    const auto g = plot::buildPowerFigure(fixture(), request("n_a", "n_b"));
    EXPECT_EQ(panelTitles(g), (std::vector<std::string>{"N_B = 10, level change \xCE\xB2\xE2\x82\x82 = 0", "N_B = 10, level change \xCE\xB2\xE2\x82\x82 = 1"}));
    // Nothing else varies: one untitled panel.
    const auto h = plot::buildPowerFigure(tableOf(grid2x2()), request("level"));
    EXPECT_EQ(h.panels.size(), 4u) << "ar1 and n_a still vary";
}

TEST(PowerFigure, RepeatedConditionsArePooledByTheirSeriesCounts) {
    const std::string text = kHeader + row(1, "5", "1", "0", "PND", "0.2", "0.004", "1000") +
                             row(2, "5", "1", "0", "PND", "0.5", "0.005", "3000") +
                             row(3, "7", "1", "0", "PND", "NaN", "NaN", "3000");
    const auto f = plot::buildPowerFigure(tableOf(text), request("n_a"));
    ASSERT_EQ(f.panels.size(), 1u);
    EXPECT_EQ(f.panels[0].title, "");
    const auto& points = f.panels[0].lines.at(0).points;
    ASSERT_EQ(points.size(), 1u) << "a NaN share is not drawn";
    EXPECT_DOUBLE_EQ(points[0].share, (0.2 * 1000 + 0.5 * 3000) / 4000);
    EXPECT_DOUBLE_EQ(points[0].mcse, std::sqrt(4.0 * 4.0 + 15.0 * 15.0) / 4000);
    EXPECT_NE(f.notes.back().find("1000 to 3000 series per condition"), std::string::npos);
}

TEST(PowerFigure, RefusesWhatItCannotDraw) {
    const auto t = fixture();
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, request("n_c")); }),
              "results_small.csv: unknown --x column 'n_c'; choose one of n_a, n_b, trend, level, slope, "
              "sd_a, sd_b, ar1, ma1");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, request("statistic")); }).substr(0, 40),
              "results_small.csv: unknown --x column 's");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, request("n_a", "n_a")); }),
              "results_small.csv: --facet and --x both name n_a");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, request("n_a", "seed")); }).substr(0, 46),
              "results_small.csv: unknown --facet column 'see");
    EXPECT_EQ(messageOf([] { plot::buildPowerFigure(tableOf("statistic,p_sig\n"), request("n_a")); }),
              "r.csv: no column 'n_a' in the header (named by --x)");
    EXPECT_EQ(messageOf([] { plot::buildPowerFigure(tableOf("statistic,n_a\nX,3\n"), request("n_a")); }),
              "r.csv: no column 'p_sig' in the header (a power plot needs the share of p < alpha)");
    EXPECT_EQ(messageOf([] { plot::buildPowerFigure(tableOf(kHeader), request("n_a")); }),
              "r.csv: no result rows below the header");
    const std::string untested = kHeader + row(1, "5", "1", "0", "ECL", "NA", "NA");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(tableOf(untested), request("n_a")); }),
              "r.csv: no statistic has a test (p_sig is NA in every row)");
    const std::string badShare = kHeader + row(1, "5", "1", "0", "PND", "0.2") + row(2, "5", "1", "0", "PND", "high");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(tableOf(badShare), request("n_a")); }),
              "r.csv:3:47: cannot read 'high' as a number or NA (p_sig)");
    const std::string naFactor = kHeader + row(1, "NA", "1", "0", "PND", "0.2");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(tableOf(naFactor), request("n_a")); }),
              "r.csv:2:5: cannot read 'NA' as a whole number (n_a)");
}

// ---- Power script ------------------------------------------------------------------

TEST(PowerScript, DrawsEveryLineInItsPanelWithDashedReferenceLines) {
    const auto f = plot::buildPowerFigure(tableOf(grid2x2()), request("n_a"));
    const std::string s = plot::powerScript(f, plot::ImageFormat::Svg, "/tmp/it's here.svg");
    EXPECT_NE(s.find("set terminal svg "), std::string::npos);
    EXPECT_NE(s.find("set output '/tmp/it''s here.svg'\n"), std::string::npos);
    EXPECT_NE(s.find("noenhanced"), std::string::npos) << "n_a must not become a subscript";
    // Four panels of two lines each, plus the legend's two.
    EXPECT_EQ(occurrences(s, "with yerrorlines"), 4u * 2u + 2u);
    EXPECT_EQ(occurrences(s, "set title 'level change "), 4u);
    EXPECT_NE(s.find("set title 'level change \xCE\xB2\xE2\x82\x82 = 1, AR(1) \xCF\x86 = 0.3'\n"), std::string::npos);
    EXPECT_EQ(occurrences(s, "0.05 with lines ls 101 notitle"), 4u);
    EXPECT_EQ(occurrences(s, "0.8 with lines ls 102 notitle"), 2u) << "not in the Type-I panels (level 0)";
    EXPECT_NE(s.find("title '\xCE\xB1 = 0.05'"), std::string::npos);
    EXPECT_NE(s.find("title '0.80 power'"), std::string::npos);
    EXPECT_NE(s.find("title 'PL-Tau'"), std::string::npos);
    EXPECT_EQ(s.find("MPD-r"), std::string::npos) << "no test, no line";
    EXPECT_NE(s.find("set yrange [0:1]\n"), std::string::npos);
    EXPECT_NE(s.find("set xtics ('5' 5, '10' 10)\n"), std::string::npos);
    // Panel 4's Tau-U: x, share, share -/+ 1.96 x 0.005.
    EXPECT_NE(s.find("$p4s2 << EOD\n5 0.3 0.2902 0.3098\n10 0.3 0.2902 0.3098\nEOD\n"), std::string::npos);
    EXPECT_EQ(occurrences(s, "\nset multiplot"), 1u);
    EXPECT_EQ(occurrences(s, "unset multiplot"), 1u);
}

TEST(PowerScript, FollowsTheAlphaAndThePictureFormat) {
    const auto f = plot::buildPowerFigure(fixture(), request("n_a", "", 0.1));
    const std::string s = plot::powerScript(f, plot::ImageFormat::Png, "out.png");
    EXPECT_NE(s.find("set terminal pngcairo "), std::string::npos);
    EXPECT_NE(s.find("0.1 with lines ls 101 notitle"), std::string::npos);
    EXPECT_NE(s.find("set ylabel 'Type-I error rate (p < 0.1)'"), std::string::npos);
    EXPECT_NE(s.find("title '\xCE\xB1 = 0.1'"), std::string::npos);
}

TEST(GnuplotString, QuotesAreDoubledAndLineEndsDropped) {
    EXPECT_EQ(plot::gnuplotString("a'b"), "'a''b'");
    EXPECT_EQ(plot::gnuplotString("x\ny"), "'x y'");
    EXPECT_EQ(plot::gnuplotString("$HOME \\n"), "'$HOME \\n'");
}

// ---- Distribution ---------------------------------------------------------------

TEST(DistributionFigure, OneRowPerConditionOnePanelPerStatistic) {
    const auto f = plot::buildDistributionFigure(fixture());
    ASSERT_EQ(f.panels.size(), 6u);
    EXPECT_EQ(f.panels[2].statistic, "MPD-r") << "statistics without a test are drawn too";
    EXPECT_EQ(f.conditions.front(), "N_A = 3, level change \xCE\xB2\xE2\x82\x82 = 0");
    EXPECT_EQ(f.conditions.back(), "N_A = 9, level change \xCE\xB2\xE2\x82\x82 = 1");
    EXPECT_EQ(f.rows, 2);
    EXPECT_EQ(f.columns, 3);
    const auto& first = f.panels[0];
    ASSERT_EQ(first.rows.size(), 6u);
    // PL-Tau, condition 1: q0 .. q100 and mean as in the fixture's line 2.
    EXPECT_EQ(first.spreads[0].q[0], -0.59);
    EXPECT_EQ(first.spreads[0].q[4], 0.51);
    EXPECT_EQ(first.spreads[0].mean, 0.01);
    EXPECT_FALSE(f.nonFinite);
}

TEST(DistributionFigure, MarksValuesItCannotDrawAndLabelsALoneCondition) {
    const std::string text =
        kHeader + "4,1,1,10,0,1,0,1,1,0,0,10000,7487,ECL,NaN,NaN,NA,NA,NaN,-Inf,0,1,Inf,12,NA\n";
    const auto f = plot::buildDistributionFigure(tableOf(text));
    EXPECT_TRUE(f.nonFinite);
    EXPECT_EQ(f.conditions, (std::vector<std::string>{"condition 4"}));
    EXPECT_NE(f.notes.back().find("not drawn"), std::string::npos);
    const std::string s = plot::distributionScript(f, plot::ImageFormat::Svg, "d.svg");
    EXPECT_NE(s.find("$d1 << EOD\n1 NaN NaN 0 1 NaN NaN\nEOD\n"), std::string::npos);
}

TEST(DistributionFigure, RefusesDuplicatesAndMissingColumns) {
    const std::string twice = kHeader + row(1, "5", "1", "0", "PND", "0.2") + row(1, "5", "1", "0", "PND", "0.2");
    EXPECT_EQ(messageOf([&] { plot::buildDistributionFigure(tableOf(twice)); }),
              "r.csv:3: a second PND row for condition 1");
    const std::string clash = kHeader + row(1, "5", "1", "0", "PND", "0.2") + row(1, "6", "1", "0", "ECL", "NA");
    EXPECT_EQ(messageOf([&] { plot::buildDistributionFigure(tableOf(clash)); }),
              "r.csv:3: condition 1 appears with other design values on an earlier line");
    EXPECT_EQ(messageOf([] { plot::buildDistributionFigure(tableOf("statistic,mean,q0,q25,q50,q75\n")); }),
              "r.csv: no column 'q100' in the header (the quantiles of each statistic)");
}

TEST(DistributionScript, BoxesWhiskersMediansAndMeansWithConditionLabels) {
    const auto f = plot::buildDistributionFigure(fixture());
    const std::string s = plot::distributionScript(f, plot::ImageFormat::Svg, "d.svg");
    EXPECT_EQ(occurrences(s, "with boxxyerror"), 6u + 1u) << "six panels and the legend";
    EXPECT_EQ(occurrences(s, "with xerrorbars"), 7u);
    EXPECT_EQ(occurrences(s, "with vectors nohead"), 7u);
    EXPECT_NE(s.find("set title 'PNCD'\n"), std::string::npos);
    EXPECT_NE(s.find("set ytics ('N_A = 3, level change \xCE\xB2\xE2\x82\x82 = 0' 1, 'N_A = 3, level change \xCE\xB2\xE2\x82\x82 = 1' 2,"), std::string::npos);
    EXPECT_EQ(occurrences(s, "set ytics ('' 1, '' 2,"), 4u) << "labels only left of each row of panels";
    EXPECT_NE(s.find("$d1 << EOD\n1 -0.59 -0.11 0.01 0.13 0.51 0.01\n"), std::string::npos);
    EXPECT_NE(s.find("title 'box: 25 % to 75 %'"), std::string::npos);
    EXPECT_NE(s.find("set yrange [6.7:0.3]\n"), std::string::npos) << "first condition on top";
}

// ---- Whole runs --------------------------------------------------------------------

TEST(PlotRun, BadInputExitsTwoWithOneLineAndLeavesNothing) {
    ScratchDirectory dir;
    const std::string empty = dir.write("empty.csv", "");
    const std::string noP = dir.write("nop.csv", "statistic,n_a\nPND,3\n");
    struct Case {
        std::string results, x, output, expected;
    } cases[] = {
        {empty, "n_a", "a.svg", "empty.csv: the file is empty"},
        {noP, "n_a", "b.svg", "nop.csv: no column 'p_sig'"},
        {kFixture, "n_q", "c.png", "results_small.csv: unknown --x column 'n_q'"},
        {kFixture, "n_a", "d.pdf", "d.pdf: cannot tell the picture format"},
        {dir.path("missing.csv"), "n_a", "e.svg", "missing.csv: cannot be opened"},
    };
    for (const auto& c : cases) {
        PlotPowerOptions o = powerOptions(c.x);
        o.results = c.results;
        o.output = dir.path(c.output);
        std::ostringstream err;
        EXPECT_EQ(plotPower(o, err), 2) << c.expected;
        EXPECT_NE(err.str().find(c.expected), std::string::npos) << err.str();
        EXPECT_EQ(err.str().rfind("zelkor plot power: ", 0), 0u) << err.str();
        EXPECT_EQ(occurrences(err.str(), "\n"), 1u) << err.str();
        EXPECT_FALSE(fs::exists(o.output)) << c.expected;
    }
    PlotPowerOptions o = powerOptions("n_a");
    o.results = kFixture;
    o.output = dir.path("f.svg");
    o.alpha = 1.0;
    std::ostringstream err;
    EXPECT_EQ(plotPower(o, err), 2);
    EXPECT_EQ(err.str(), "zelkor plot power: --alpha must lie between 0 and 1\n");

    PlotDistributionOptions d;
    d.results = empty;
    d.output = dir.path("g.svg");
    std::ostringstream derr;
    EXPECT_EQ(plotDistribution(d, derr), 2);
    EXPECT_EQ(derr.str(), "zelkor plot distribution: " + empty + ": the file is empty (no header line)\n");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"empty.csv", "nop.csv"}));
}

TEST(PlotRun, MissingOrFailingEngineExitsOneAndKeepsAnEarlierPicture) {
    ScratchDirectory dir;
    PlotPowerOptions o = powerOptions("n_a");
    o.results = kFixture;
    o.output = dir.write("power.svg", "earlier picture");
    o.gnuplot = dir.path("no-such-gnuplot");
    std::ostringstream err;
    EXPECT_EQ(plotPower(o, err), 1);
    EXPECT_NE(err.str().find("install the Debian package gnuplot-nox"), std::string::npos) << err.str();
    EXPECT_EQ(occurrences(err.str(), "\n"), 1u) << err.str();

    o.gnuplot = "false";  // runs, reads nothing and fails
    std::ostringstream err2;
    EXPECT_EQ(plotPower(o, err2), 1);
    EXPECT_NE(err2.str().find("gnuplot failed (exit status 1); no picture was written"), std::string::npos)
        << err2.str();
    EXPECT_EQ(readFile(o.output), "earlier picture");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"power.svg"})) << "no temporary file is left";
}

// A run at --alpha 0.01 is drawn at 0.01 without being told; a --alpha that
// says otherwise is refused.
TEST(PlotRun, TakesTheRunsAlphaFromItsSidecar) {
    ScratchDirectory dir;
    // Stands in for gnuplot: keeps the script and writes a picture.
    const std::string engine = dir.write("engine.sh",
                                         "#!/bin/sh\ncat > \"$(dirname \"$0\")/script.gp\"\n"
                                         "sed -n \"s/^set output '\\(.*\\)'$/\\1/p\" \"$(dirname \"$0\")/script.gp\" |"
                                         " while read -r out; do echo '<svg></svg>' > \"$out\"; done\n");
    fs::permissions(engine, fs::perms::owner_all);
    Sidecar run;
    run.programVersion = "0.1";
    run.designHash = "0123456789abcdef";
    run.designConditions = 1;
    run.seedMode = "fixed";
    run.alpha = 0.01;
    PlotPowerOptions o = powerOptions("n_a");
    o.results = dir.write("r.csv", readFile(kFixture));
    dir.write("r.csv.json", sidecarJson(run));
    o.output = dir.path("power.svg");
    o.gnuplot = engine;
    std::ostringstream err;
    ASSERT_EQ(plotPower(o, err), 0) << err.str();
    const std::string script = dir.read("script.gp");
    EXPECT_NE(script.find("0.01 with lines ls 101 notitle"), std::string::npos) << script;
    EXPECT_NE(script.find("set ylabel 'Type-I error rate (p < 0.01)'"), std::string::npos);
    EXPECT_NE(script.find("title '\xCE\xB1 = 0.01'"), std::string::npos);

    o.alpha = 0.01;
    ASSERT_EQ(plotPower(o, err), 0) << "the same alpha again: " << err.str();
    o.alpha = 0.05;
    std::ostringstream refused;
    EXPECT_EQ(plotPower(o, refused), 2);
    EXPECT_EQ(refused.str(), "zelkor plot power: --alpha 0.05 differs from the alpha 0.01 the results were run with (" +
                                 dir.path("r.csv.json") + "); leave --alpha out\n");

    dir.write("r.csv.json", "{ not json");
    o.alpha.reset();
    std::ostringstream broken;
    EXPECT_EQ(plotPower(o, broken), 2);
    EXPECT_EQ(broken.str().rfind("zelkor plot power: " + dir.path("r.csv.json") + ": not JSON: ", 0), 0u)
        << broken.str();
}

TEST(PlotRun, RendersAnSvgPowerPlotWithItsReferenceLines) {
    if (!gnuplotInstalled()) GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)";
    ScratchDirectory dir;
    PlotPowerOptions o = powerOptions("n_a");
    o.results = dir.write("grid.csv", grid2x2());
    o.output = dir.path("power.svg");
    std::ostringstream err;
    ASSERT_EQ(plotPower(o, err), 0) << err.str();
    const std::string svg = readFile(o.output);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
    EXPECT_NE(svg.find("stroke-dasharray"), std::string::npos) << "dashed reference lines";
    EXPECT_NE(svg.find("\xCE\xB1 = 0.05"), std::string::npos);
    EXPECT_NE(svg.find("0.80 power"), std::string::npos);
    EXPECT_NE(svg.find("level change \xCE\xB2\xE2\x82\x82 = 1, AR(1) \xCF\x86 = 0.3"), std::string::npos);
    EXPECT_NE(svg.find("N_A (length of phase A)"), std::string::npos);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"grid.csv", "power.svg"}));
}

TEST(PlotRun, RendersPngAndDistributionPictures) {
    if (!gnuplotInstalled()) GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)";
    ScratchDirectory dir;
    PlotPowerOptions o = powerOptions("n_a");
    o.results = kFixture;
    o.output = dir.path("power.PNG");
    std::ostringstream err;
    ASSERT_EQ(plotPower(o, err), 0) << err.str();
    EXPECT_EQ(readFile(o.output).substr(0, 8), "\x89PNG\r\n\x1a\n");

    PlotDistributionOptions d;
    d.results = kFixture;
    d.output = dir.path("dist.svg");
    ASSERT_EQ(plotDistribution(d, err), 0) << err.str();
    const std::string svg = readFile(d.output);
    EXPECT_NE(svg.find("N_A = 9, level change \xCE\xB2\xE2\x82\x82 = 1"), std::string::npos);
    EXPECT_NE(svg.find("PNCD"), std::string::npos);
    EXPECT_NE(svg.find("whiskers: min to max"), std::string::npos);
}

// ---- Command line ------------------------------------------------------------------

TEST(PlotCommand, ParsesBothCommandsIntoTheirOptions) {
    Invocation invocation;
    ParseResult r = parseCommandLine({"plot", "power", "missing.csv", "--x", "n_b", "--facet", "level", "--alpha",
                                      "0.1", "-o", "p.svg", "--threads", "2"},
                                     invocation);
    ASSERT_TRUE(r.proceed) << r.err;
    ASSERT_TRUE(invocation.command);
    EXPECT_EQ(invocation.threads, 2) << "global options still work after the command";
    StringInput in("");
    StringOutput out;
    CommandContext context{in, out, 1};
    testing::internal::CaptureStderr();
    EXPECT_EQ(invocation.command(context), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("zelkor plot power: missing.csv: cannot be opened", 0),
              0u);

    Invocation distribution;
    r = parseCommandLine({"plot", "distribution", "missing.csv", "--output", "d.png"}, distribution);
    ASSERT_TRUE(r.proceed) << r.err;
    testing::internal::CaptureStderr();
    EXPECT_EQ(distribution.command(context), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("zelkor plot distribution: missing.csv", 0), 0u);
}

TEST(PlotCommand, RefusesIncompleteCommandLines) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"plot"},
             {"plot", "power", "r.csv", "-o", "p.svg"},
             {"plot", "power", "--x", "n_a", "-o", "p.svg"},
             {"plot", "power", "r.csv", "--x", "n_a"},
             {"plot", "power", "r.csv", "--x", "n_a", "--alpha", "small", "-o", "p.svg"},
             {"plot", "distribution", "r.csv"},
             {"plot", "bars", "r.csv"}}) {
        Invocation invocation;
        const ParseResult r = parseCommandLine(args, invocation);
        EXPECT_FALSE(r.proceed) << args.size();
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("zelkor: ", 0), 0u) << r.err;
    }
}

// The built program: exit statuses and what is left on disk.
TEST(PlotCommand, TheProgramDrawsOrRefuses) {
    ScratchDirectory dir;
    std::string err;
    const auto run = [&](const std::vector<std::string>& args) {
        const ProgramRun r = runBinary(args);
        err = r.err;
        return r.exited ? r.status : -1;
    };
    EXPECT_EQ(run({"plot", "power", kFixture, "--x", "n_c", "-o", dir.path("bad.png")}), 2);
    EXPECT_EQ(occurrences(err, "\n"), 1u) << err;
    EXPECT_FALSE(fs::exists(dir.path("bad.png")));
    if (!gnuplotInstalled()) GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)";
    EXPECT_EQ(run({"plot", "power", kFixture, "--x", "n_a", "-o", dir.path("p.png")}), 0) << err;
    EXPECT_EQ(run({"plot", "distribution", kFixture, "-o", dir.path("d.svg")}), 0) << err;
    EXPECT_GT(fs::file_size(dir.path("p.png")), 1000u);
    EXPECT_GT(fs::file_size(dir.path("d.svg")), 1000u);
    EXPECT_EQ(err, "");
}
