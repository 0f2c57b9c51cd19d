// Pictures ready for a paper: grids of rows and columns, the statistics and
// the look asked for, Type-I and power panels, the factors' labels; and the
// scripts' safety: no text from a results file adds a command, and extreme
// values still give a drawable range.
#include "distributionfigure.h"
#include "plot.h"
#include "powerfigure.h"
#include "resultstable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "test.h"

namespace {

namespace fs = std::filesystem;
using plot::InputError;

const std::string kHeader =
    "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1,n_sim,seed,statistic,mean,se,"
    "p_sig,p_sig_mcse,q0,q25,q50,q75,q100,n_nonfinite,n_p_nan\n";

ResultsTable tableOf(const std::string& text, const std::string& name = "r.csv") {
    ResultsTable table;
    std::string error;
    if (!readResultsTable(text, name, table, error)) throw InputError(error);
    return table;
}

std::string messageOf(const std::function<void()>& action) { return thrownMessage<InputError>(action); }

// A row of condition id with the factors given, the statistic and its share.
std::string row(int id, int nA, const std::string& level, const std::string& sdA, const std::string& ar1,
                const std::string& statistic, const std::string& pSig, const std::string& q = "-1,0.25,0.5,0.75,1") {
    return std::to_string(id) + ",1," + std::to_string(nA) + ",10,0," + level + ",0," + sdA + ",1," + ar1 +
           ",0,1000,7487," + statistic + ",0.5,0.2," + pSig + ",0.01," + q + ",0,0\n";
}

// Levels by SD of A 1 and 2 by AR(1) values by N_A values (by default 0
// and 1, 0, 0.3 and 0.6, 5 and 10: 24 conditions); PL-Tau and PND with a
// test, ECL without; a share of 0.07 without an effect, 0.6 with one.
std::string design3(const std::vector<std::string>& levels = {"0", "1"},
                    const std::vector<std::string>& ar1s = {"0", "0.3", "0.6"}, const std::vector<int>& nAs = {5, 10}) {
    std::string text = kHeader;
    int id = 0;
    for (const auto& level : levels)
        for (const char* sdA : {"1", "2"})
            for (const auto& ar1 : ar1s)
                for (const int nA : nAs) {
                    ++id;
                    const std::string share = level == "0" ? "0.07" : "0.6";
                    text += row(id, nA, level, sdA, ar1, "PL-Tau", share);
                    text += row(id, nA, level, sdA, ar1, "PND", share);
                    text += row(id, nA, level, sdA, ar1, "ECL", "NA");
                }
    return text;
}

plot::PowerRequest power(const std::string& x, const std::string& rows, const std::string& columns,
                         std::vector<std::string> statistics = {}) {
    plot::PowerRequest r;
    r.x = x;
    r.rows = rows;
    r.columns = columns;
    r.statistics = std::move(statistics);
    return r;
}

}  // namespace

// ---- Grid, statistics, labels ---------------------------------------------------

TEST(PowerGrid, RowsAndColumnsMakeATrueGrid) {
    const auto t = tableOf(design3({"1"}));
    const auto f = plot::buildPowerFigure(t, power("n_a", "sd_a", "ar1"));
    EXPECT_EQ(f.rows, 2);
    EXPECT_EQ(f.columns, 3);
    ASSERT_EQ(f.panels.size(), 6u);
    EXPECT_EQ(f.panels[4].row, 1);
    EXPECT_EQ(f.panels[4].column, 1);
    EXPECT_EQ(f.panels[4].title, "SD of A = 2, AR(1) \xCF\x86 = 0.3");
    EXPECT_EQ(f.notes[0], "Same in every condition: option = 1, N_B = 10,");
    EXPECT_EQ(f.notes[1].rfind("baseline trend \xCE\xB2\xE2\x82\x81 = 0, level change \xCE\xB2\xE2\x82\x82 = 1", 0), 0u)
        << f.notes[1];
    // A cell without conditions stays empty; the others keep their places.
    std::string holes = design3({"1"});
    holes.erase(holes.find("\n11,1,") + 1);
    const auto g = plot::buildPowerFigure(tableOf(holes), power("n_a", "sd_a", "ar1"));
    ASSERT_EQ(g.panels.size(), 5u);
    EXPECT_EQ(g.rows, 2);
    EXPECT_EQ(g.columns, 3);
    EXPECT_EQ(g.panels[4].column, 1);
}

TEST(PowerGrid, OneSideNamedTheOtherFactorsMakeTheOtherSide) {
    const auto t = tableOf(design3());
    const auto f = plot::buildPowerFigure(t, power("n_a", "ar1", ""));
    EXPECT_EQ(f.rows, 3);
    EXPECT_EQ(f.columns, 4) << "level by SD of A";
    ASSERT_EQ(f.panels.size(), 12u);
    EXPECT_EQ(f.panels[5].row, 1);
    EXPECT_EQ(f.panels[5].column, 1);
    EXPECT_EQ(f.panels[5].title, "AR(1) \xCF\x86 = 0.3, level change \xCE\xB2\xE2\x82\x82 = 0, SD of A = 2");
    const auto g = plot::buildPowerFigure(t, power("n_a", "", "ar1"));
    EXPECT_EQ(g.rows, 4);
    EXPECT_EQ(g.columns, 3);
    EXPECT_EQ(g.panels[1].column, 1);
    EXPECT_EQ(g.panels[1].row, 0);
}

TEST(PowerGrid, WrappedPanelsKeepEachRowToOneValueOfTheLeadingFactors) {
    int rows = 0, columns = 0;
    plot::layoutPanels(18, {3, 2, 3}, rows, columns);
    EXPECT_EQ(std::pair(rows, columns), std::pair(3, 6)) << "18 panels: not five wide";
    plot::layoutPanels(24, {2, 3, 4}, rows, columns);
    EXPECT_EQ(std::pair(rows, columns), std::pair(6, 4));
    plot::layoutPanels(14, {2, 7}, rows, columns);
    EXPECT_EQ(std::pair(rows, columns), std::pair(4, 4)) << "seven across is too wide: wrapped";
    plot::layoutPanels(11, {3, 4}, rows, columns);
    EXPECT_EQ(std::pair(rows, columns), std::pair(3, 4)) << "not every combination: wrapped";
    const auto f = plot::buildPowerFigure(tableOf(design3()), power("n_a", "", ""));
    EXPECT_EQ(std::pair(f.rows, f.columns), std::pair(2, 6));
    EXPECT_EQ(f.panels[6].title.rfind("level change \xCE\xB2\xE2\x82\x82 = 1", 0), 0u) << "the second row: level 1";
}

TEST(PowerGrid, RefusesAThirdVaryingFactorAndClashingNames) {
    const auto t = tableOf(design3());
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "level", "ar1")); }),
              "r.csv: besides --x, --rows and --columns, sd_a (2 values) varies; a grid shows two factors: give "
              "only --rows or only --columns (the others then make the other side), or plot a results file cut "
              "down to one value of each");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "ar1", "ar1")); }),
              "r.csv: --columns and --rows both name ar1");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("ar1", "ar1", "")); }),
              "r.csv: --rows and --x both name ar1");
    auto facet = power("n_a", "level", "");
    facet.facet = "ar1";
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, facet); }),
              "r.csv: --facet orders wrapped panels; with --rows or --columns leave it out");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "phi", "")); }).substr(0, 35),
              "r.csv: unknown --rows column 'phi';");
}

TEST(PowerGrid, StatisticsChooseAndOrderTheLines) {
    const auto t = tableOf(design3({"1"}));
    const auto f = plot::buildPowerFigure(t, power("n_a", "sd_a", "ar1", {"PND", "PL-Tau"}));
    EXPECT_EQ(f.statistics, (std::vector<std::string>{"PND", "PL-Tau"}));
    EXPECT_EQ(f.panels[0].lines.front().statistic, "PND");
    EXPECT_EQ(plot::buildPowerFigure(t, power("n_a", "sd_a", "ar1", {"PND"})).panels[0].lines.size(), 1u);
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "", "", {"PNX"})); }),
              "r.csv: unknown statistic 'PNX' in --statistics; choose from PL-Tau, Tau-U, PND, PNCD, NAP, Tau-AB, PEM, SIM-d, SIM-r");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "", "", {"ECL"})); }).substr(0, 76),
              "r.csv: ECL in --statistics has no test, so no share of p < alpha; choose fro");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "", "", {"PND", "PND"})); }),
              "r.csv: PND is named twice in --statistics");
    EXPECT_EQ(messageOf([&] { plot::buildPowerFigure(t, power("n_a", "", "", {"PND", "Tau-U"})); }),
              "r.csv: no Tau-U row with a finite p_sig for --statistics");
}

TEST(PowerGrid, TypeIPanelsScaleToTheDataAndDrawOnlyTheAlphaLine) {
    const auto t = tableOf(design3({"0", "1"}, {"0"}));
    const auto f = plot::buildPowerFigure(t, power("n_a", "level", "sd_a"));
    ASSERT_EQ(f.panels.size(), 4u);
    EXPECT_TRUE(f.panels[0].typeI);
    EXPECT_FALSE(f.panels[2].typeI);
    // 0.07 + 1.96 x 0.01 = 0.0896, above 2 alpha: a round top above it.
    EXPECT_DOUBLE_EQ(f.typeITop, 0.1);
    const std::string s = plot::powerScript(f, plot::ImageFormat::Svg, "p.svg");
    EXPECT_EQ(occurrences(s, "set yrange [0:0.1]\n"), 2u);
    EXPECT_EQ(occurrences(s, "set yrange [0:1]\n"), 2u + 1u) << "and the legend's";
    EXPECT_EQ(occurrences(s, "0.05 with lines ls 101 notitle"), 4u) << "alpha in every panel";
    EXPECT_EQ(occurrences(s, "0.8 with lines ls 102 notitle"), 2u) << "0.80 only where there is an effect";
    EXPECT_EQ(occurrences(s, "set ylabel 'Type-I error rate (p < 0.05)'"), 1u);
    EXPECT_EQ(occurrences(s, "set ylabel 'Power (p < 0.05)'"), 1u);
    EXPECT_NE(s.find("set label 2 '0.80' at graph 1, first 0.8"), std::string::npos) << "the lines are labelled";
    EXPECT_NE(s.find("title '\xCE\xB1 = 0.05'"), std::string::npos);
    EXPECT_NE(s.find("title '0.80 power'"), std::string::npos);
    EXPECT_NE(s.find("set style line 101 lc rgb '#B2182B' lw 1.5 dt (10,6)"), std::string::npos);
    EXPECT_NE(s.find("set style line 102 lc rgb '#4D4D4D' lw 2 dt (2,5)"), std::string::npos);

    // Every panel without an effect: a Type-I figure, titled so, with no 0.80 line at all.
    auto nulls = power("n_a", "sd_a", "ar1");
    const std::string only = kHeader + row(1, 5, "0", "1", "0", "PND", "0.3") + row(2, 10, "0", "1", "0", "PND", "0.02");
    const auto g = plot::buildPowerFigure(tableOf(only), nulls);
    EXPECT_EQ(g.title, "Type-I error rate: share of series with p < 0.05 by N_A (length of phase A)");
    EXPECT_DOUBLE_EQ(g.typeITop, 0.4);
    const std::string gs = plot::powerScript(g, plot::ImageFormat::Png, "p.png");
    EXPECT_EQ(occurrences(gs, "ls 102"), 0u) << "the style alone, never drawn";
}

TEST(PowerGrid, HumanLabelsWithOrWithoutGreekAndAGivenTitle) {
    const auto t = tableOf(design3({"0", "1"}, {"0", "0.3"}, {5}));
    auto r = power("level", "sd_a", "ar1");
    r.x = "ar1";
    r.rows = "level";
    r.columns = "sd_a";
    const auto f = plot::buildPowerFigure(t, r);
    EXPECT_EQ(f.xLabel, "AR(1) \xCF\x86");
    EXPECT_EQ(f.panels[0].title, "level change \xCE\xB2\xE2\x82\x82 = 0, SD of A = 1");
    r.greek = false;
    r.title = "Figure 2";
    const auto g = plot::buildPowerFigure(t, r);
    EXPECT_EQ(g.xLabel, "AR(1)");
    EXPECT_EQ(g.panels[0].title, "level change = 0, SD of A = 1");
    EXPECT_EQ(g.title, "Figure 2");
    EXPECT_NE(plot::powerScript(g, plot::ImageFormat::Svg, "p.svg").find("title 'alpha = 0.05'"), std::string::npos);
    EXPECT_EQ(plot::factorTitle(ResultColumn::Trend, true), "Baseline trend \xCE\xB2\xE2\x82\x81");
    EXPECT_EQ(plot::factorLabel(ResultColumn::Ma1, true), "MA(1) \xCE\xB8");
    EXPECT_EQ(plot::factorLabel(ResultColumn::SdB, true), "SD of B");
    EXPECT_EQ(plot::factorTitle(ResultColumn::NB, false), "N_B (length of phase B)");
}

TEST(PowerGrid, SizeAndFontSizeShapeTheCanvas) {
    const auto f = plot::buildPowerFigure(tableOf(design3({"1"})), power("n_a", "sd_a", "ar1"));
    plot::Look look;
    look.width = 1600;
    look.height = 900;
    look.fontSize = 16;
    EXPECT_EQ(plot::powerFitProblem(f, plot::ImageFormat::Png, look), "");
    const std::string s = plot::powerScript(f, plot::ImageFormat::Png, "p.png", look);
    EXPECT_NE(s.find("set terminal pngcairo size 1600,900 font 'DejaVu Sans,16'"), std::string::npos);
    EXPECT_NE(s.find("font ',18'"), std::string::npos) << "the title a little larger";
    look.width = 500;
    EXPECT_EQ(plot::powerFitProblem(f, plot::ImageFormat::Png, look).substr(0, 10), "panels of ");
}

// ---- Distribution grid -------------------------------------------------------------

TEST(DistributionGrid, StatisticsAndFactorsOnEitherSide) {
    const auto t = tableOf(design3());
    plot::DistributionRequest r;
    r.columns = "level";
    auto f = plot::buildDistributionFigure(t, r);
    EXPECT_EQ(f.rows, 3) << "one row per statistic";
    EXPECT_EQ(f.columns, 2);
    EXPECT_EQ(f.conditions.size(), 12u) << "N_A by SD of A by AR(1) within each panel";
    EXPECT_EQ(f.panels[1].title, "PL-Tau, level change \xCE\xB2\xE2\x82\x82 = 1");
    EXPECT_EQ(f.conditions[1], "N_A = 10, SD of A = 1, AR(1) \xCF\x86 = 0");

    r.rows = "ar1";
    r.columns = "statistic";
    r.statistics = {"PND", "ECL"};
    f = plot::buildDistributionFigure(t, r);
    EXPECT_EQ(f.rows, 3);
    EXPECT_EQ(f.columns, 2);
    EXPECT_EQ(f.panels[0].statistic, "PND");
    EXPECT_EQ(f.panels[1].statistic, "ECL");
    EXPECT_EQ(f.conditions.size(), 8u);

    r = {};
    r.rows = "ar1";
    r.columns = "sd_a";
    EXPECT_EQ(messageOf([&] { plot::buildDistributionFigure(t, r); }),
              "r.csv: --rows and --columns both name design columns, which leaves 3 statistics to place; choose "
              "one with --statistics, or name statistic in --rows or --columns");
    r.statistics = {"PND"};
    f = plot::buildDistributionFigure(t, r);
    EXPECT_EQ(f.title, "Distribution of PND per condition");
    EXPECT_EQ(f.panels[0].title, "AR(1) \xCF\x86 = 0, SD of A = 1");
    EXPECT_EQ(f.panels.size(), 6u);
    r.rows = "seed";
    EXPECT_EQ(messageOf([&] { plot::buildDistributionFigure(t, r); }),
              "r.csv: unknown --rows 'seed'; choose one of statistic, n_a, level, sd_a, ar1");
}

TEST(DistributionGrid, LargeDesignsAreRefusedWithTheOptionsThatFit) {
    std::string text = kHeader;
    for (int id = 1; id <= 72; ++id)
        text += row(id, 3 + id % 6, std::to_string(id / 6 % 3), std::to_string(1 + id / 18), "0", "PND", "0.1");
    const auto t = tableOf(text);
    EXPECT_EQ(messageOf([&] { plot::buildDistributionFigure(t); }),
              "r.csv: each panel would hold 72 rows of boxes, more than the 60 that print legibly; spread them "
              "over a grid with --rows and --columns (statistic, n_a, level, sd_a)");
    plot::DistributionRequest r;
    r.rows = "sd_a";
    const auto f = plot::buildDistributionFigure(t, r);
    EXPECT_EQ(f.conditions.size(), 18u);
    EXPECT_EQ(plot::distributionFitProblem(f, plot::ImageFormat::Png, {}), "");
}

TEST(DistributionGrid, TheLegendNamesTheWhiskersAndRepeatsKeepTheirConditions) {
    const auto t = tableOf(design3());
    const auto f = plot::buildDistributionFigure(t);
    const std::string s = plot::distributionScript(f, plot::ImageFormat::Svg, "d.svg");
    EXPECT_NE(s.find("title 'whiskers: min to max'"), std::string::npos);
    EXPECT_NE(s.find("title 'box: 25 % to 75 %'"), std::string::npos);
    const std::string twice = kHeader + row(1, 5, "0", "1", "0", "PND", "0.1") + row(2, 5, "0", "1", "0", "PND", "0.1") +
                              row(3, 6, "0", "1", "0", "PND", "0.1");
    const auto g = plot::buildDistributionFigure(tableOf(twice));
    EXPECT_EQ(g.conditions, (std::vector<std::string>{"N_A = 5 (condition 1)", "N_A = 5 (condition 2)",
                                                      "N_A = 6 (condition 3)"}));
}

// ---- Extreme values ----------------------------------------------------------------

TEST(PlotRanges, ExtremeFiniteValuesGiveAFiniteScaledRange) {
    const std::string text = kHeader + row(1, 5, "0", "1", "0", "PND", "0.1", "-1e308,-1e308,0,1e308,1e308") +
                             row(1, 5, "0", "1", "0", "ECL", "NA", "-1.7976931348623157e308,0,0,0,1.7976931348623157e308") +
                             row(1, 5, "0", "1", "0", "PL-Tau", "0.1", "NaN,-Inf,0,Inf,1");
    const auto f = plot::buildDistributionFigure(tableOf(text));
    EXPECT_EQ(f.panels[0].scale, 1e308);
    EXPECT_EQ(f.panels[2].scale, 1.0);
    EXPECT_TRUE(f.nonFinite);
    const std::string s = plot::distributionScript(f, plot::ImageFormat::Svg, "d.svg");
    EXPECT_EQ(s.find("NaN:"), std::string::npos) << s;
    EXPECT_EQ(s.find(":NaN"), std::string::npos);
    EXPECT_EQ(s.find("set xtics NaN"), std::string::npos);
    EXPECT_NE(s.find("set xlabel 'values \xC3\x97 1e+308'"), std::string::npos);
    EXPECT_NE(s.find("$d1 << EOD\n1 -1 -1 0 1 1 "), std::string::npos) << "drawn in units of the scale";
    double lower = 0, upper = 0;
    plot::paddedRange(-1.7976931348623157e308, 1.7976931348623157e308, lower, upper);
    EXPECT_TRUE(std::isfinite(lower) && std::isfinite(upper));
    EXPECT_TRUE(std::isfinite(plot::ticStep(lower, upper, 5)));
}

// ---- Text from the file never becomes a command -----------------------------------

// Statistic names built to break out of a comment, a string or a line, and
// to reach gnuplot's macro, datablock and command substitution.
const std::vector<std::string> kHostileNames = {
    "X\nsystem(\"touch PWNED\")",
    "Y\\",
    "Z\r\nset title 'hijacked'",
    "`touch PWNED`",
    "@macro",
    "$p1s1",
    "it's \"quoted\" \\n",
    "'",
    "''' ; system('touch PWNED') #",
    "\x1b[31mred\x1b[0m",
    "\xff\xfe bad bytes",
};

std::string csvField(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + '"';
}

// The same results with hostile or plain names.
std::string namedResults(const std::vector<std::string>& names) {
    std::string text = kHeader;
    for (int id = 1; id <= 4; ++id)
        for (const auto& name : names)
            text += row(id, 4 + id % 2, id > 2 ? "1" : "0", "1", "0", csvField(name), "0.1");
    return text;
}

TEST(PlotScriptSafety, StringsAreReadAsGnuplotReadsThem) {
    const plot::ScriptStrings s = plot::splitStrings("set title 'a''b'.\"'\".'c' # x\nplot 1 title ''''\n");
    EXPECT_EQ(s.commands, "set title '' # x\nplot 1 title ''''\n");
    EXPECT_EQ(s.texts, (std::vector<std::string>{"a'b'c", "", ""})) << "'''' is two empty strings";
    for (const std::string text : {"it's", "'", "''x'''", "a\\", "`x` @m $d"}) {
        const plot::ScriptStrings back = plot::splitStrings("set title " + plot::gnuplotString(text) + "\n");
        EXPECT_EQ(back.commands, "set title ''\n") << text;
        EXPECT_EQ(back.texts, std::vector<std::string>{text});
    }
}

TEST(PlotScriptSafety, HostileNamesChangeOnlyTheTextOfQuotedStrings) {
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) plain.push_back("S" + std::to_string(i));
    const auto hostile = tableOf(namedResults(kHostileNames));
    const auto benign = tableOf(namedResults(plain));
    const auto check = [](const std::string& bad, const std::string& good) {
        const plot::ScriptStrings b = plot::splitStrings(bad);
        const plot::ScriptStrings g = plot::splitStrings(good);
        EXPECT_EQ(b.commands, g.commands) << "the command lines are the program's own";
        for (const auto& text : b.texts) EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_EQ(occurrences(bad, "\n"), occurrences(good, "\n"));
    };
    for (const auto format : {plot::ImageFormat::Svg, plot::ImageFormat::Png}) {
        const auto hp = plot::buildPowerFigure(hostile, power("n_a", "", ""));
        const auto bp = plot::buildPowerFigure(benign, power("n_a", "", ""));
        check(plot::powerScript(hp, format, "/dev/fd/3"), plot::powerScript(bp, format, "/dev/fd/3"));
        const auto hd = plot::buildDistributionFigure(hostile);
        const auto bd = plot::buildDistributionFigure(benign);
        check(plot::distributionScript(hd, format, "/dev/fd/3"), plot::distributionScript(bd, format, "/dev/fd/3"));
    }
}

TEST(PlotScriptSafety, TheProgramRunsNoCommandFromAResultsFile) {
    if (std::system("command -v gnuplot >/dev/null 2>&1") != 0) GTEST_SKIP() << "gnuplot is not installed";
    ScratchDirectory dir;
    std::vector<std::string> names;
    for (std::string name : kHostileNames) {
        for (std::size_t at = name.find("PWNED"); at != std::string::npos; at = name.find("PWNED", at + 1)) {
            name.replace(at, 5, dir.path("PWNED"));
            at += dir.path("PWNED").size() - 5;
        }
        names.push_back(name);
    }
    const std::string results = dir.write("r.csv", namedResults(names));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"plot", "distribution", results, "-o", dir.path("d.svg")},
          std::vector<std::string>{"plot", "power", results, "--x", "n_a", "-o", dir.path("p.png")}}) {
        const ProgramRun r = runBinary(args, "", Stdout::Capture, dir.path(""));
        EXPECT_TRUE(r.exited && r.status == 0) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.path("PWNED")));
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"d.svg", "p.png", "r.csv"}));
    // The would-be command is drawn as the text of its panel's title.
    EXPECT_NE(readFile(dir.path("d.svg")).find("Z  set title"), std::string::npos);
}

// ---- Command line: the look and the time limit -------------------------------------

TEST(PlotOptions, BadLookOptionsAreRefusedAndASlowEngineIsStopped) {
    ScratchDirectory dir;
    const std::string results = dir.write("r.csv", design3());
    const std::string earlier = dir.write("p.svg", "earlier picture");
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--size", "100"}, "--size '100' is not WIDTHxHEIGHT in pixels"},
             {{"--size", "0x10"}, "--size '0x10' is not WIDTHxHEIGHT"},
             {{"--font-size", "200"}, "--font-size 200 is not from 4 to 72 points"},
             {{"--timeout", "0"}, "--timeout must be more than 0"},
             {{"--size", "400x300", "--rows", "level"}, "--size 400x300 leaves panels of"}}) {
        std::vector<std::string> full = {"plot", "power", results, "--x", "n_a", "-o", earlier};
        full.insert(full.end(), args.begin(), args.end());
        const ProgramRun r = runBinary(full);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(occurrences(r.err, "\n"), 1u) << r.err;
    }
    const std::string engine = dir.write("engine.sh", "#!/bin/sh\nexec sleep 30\n");
    fs::permissions(engine, fs::perms::owner_all);
    PlotDistributionOptions o;
    o.results = results;
    o.output = earlier;
    o.gnuplot = engine;
    o.timeout = 0.3;
    std::ostringstream err;
    EXPECT_EQ(plotDistribution(o, err), 1);
    EXPECT_NE(err.str().find("gnuplot did not finish within"), std::string::npos) << err.str();
    EXPECT_EQ(readFile(earlier), "earlier picture");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"engine.sh", "p.svg", "r.csv"}));
}
