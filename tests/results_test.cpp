// The results and per-series tables: typed rows written in the table's
// columns and read back by whole conditions, torn tails told apart from
// files that are wrong.
#include "results.h"
#include "resultsread.h"
#include "resultstable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "test.h"

namespace {

Condition conditionOf(int id, Option option) {
    Condition c;
    c.id = id;
    c.option = option;
    c.model = {3, 3, 0, 0.5f, 0, 1, 1, 0, 0};
    return c;
}

// Every statistic of the option over four series, with NaN and infinite
// values and p-values.
ConditionOutcome outcomeOf(Option option) {
    ConditionOutcome o;
    o.nSim = 4;
    for (const Statistic statistic : defaultStatistics(option)) {
        StatisticOutcome s;
        s.statistic = statistic;
        s.summary.mean = 0.1;
        s.summary.sd = 0.3f;
        s.summary.share = 0.75;
        s.summary.quantiles[0] = -std::numeric_limits<float>::infinity();
        s.summary.quantiles[4] = std::numeric_limits<float>::quiet_NaN();
        s.values = {1.0f, NAN, INFINITY, 1e-8f};
        if (statisticInfo(statistic).hasTest) s.pValues = {0.01f, NAN, 0.5f, NAN};
        o.statistics.push_back(s);
    }
    return o;
}

std::string linesOf(int id, Option option, std::uint32_t seed = 99) {
    return resultLines(resultRows(conditionOf(id, option), seed, outcomeOf(option)));
}

std::vector<std::string> line(const std::string& text, int k) {
    std::size_t start = 0;
    for (int i = 0; i < k; ++i) start = text.find('\n', start) + 1;
    return csvFields(text.substr(start, text.find('\n', start) - start));
}

}  // namespace

TEST(ResultsTable, OneLinePerStatisticWithCountsAndNA) {
    const std::string text = linesOf(12, Option::EffectSizes);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    const std::vector<std::string> tau = line(text, 0);
    const std::vector<std::string> mpd = line(text, 2);
    ASSERT_EQ(tau.size(), resultColumns().size());
    EXPECT_EQ(csvFields(resultsHeader().substr(0, resultsHeader().size() - 1)).size(), resultColumns().size());
    EXPECT_EQ(resultsHeader(),
              "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1,n_sim,seed,statistic,mean,sd,"
              "p_sig,mean_mcse,p_sig_mcse,q0,q25,q50,q75,q100,n_nonfinite,n_p_nan\n");
    const auto at = [](const std::vector<std::string>& fields, ResultColumn c) {
        return fields[static_cast<std::size_t>(c)];
    };
    EXPECT_EQ(at(tau, ResultColumn::ConditionId), "12");
    EXPECT_EQ(at(tau, ResultColumn::NA), "3");
    EXPECT_EQ(at(tau, ResultColumn::Level), "0.5");
    EXPECT_EQ(at(tau, ResultColumn::NSim), "4");
    EXPECT_EQ(at(tau, ResultColumn::Seed), "99");
    EXPECT_EQ(at(tau, ResultColumn::Statistic), "PL-Tau");
    EXPECT_EQ(at(tau, ResultColumn::Mean), "0.1");
    EXPECT_EQ(at(tau, ResultColumn::Sd), "0.300000012");
    // sd / sqrt(n_sim) from the float sd: 0.300000012 / 2.
    EXPECT_EQ(at(tau, ResultColumn::MeanMcse), "0.15000000596046448");
    EXPECT_EQ(at(mpd, ResultColumn::MeanMcse), "0.15000000596046448") << "a statistic without a test has one too";
    EXPECT_EQ(at(tau, ResultColumn::PSig), "0.75");
    EXPECT_EQ(std::strtod(at(tau, ResultColumn::PSigMcse).c_str(), nullptr), std::sqrt(0.75 * 0.25 / 4));
    EXPECT_EQ(at(tau, ResultColumn::Q0), "-Inf");
    EXPECT_EQ(at(tau, ResultColumn::Q100), "NaN");
    EXPECT_EQ(at(tau, ResultColumn::NNonFinite), "2") << "NaN and Inf values";
    EXPECT_EQ(at(tau, ResultColumn::NPNaN), "2") << "NaN p-values";
    EXPECT_EQ(at(mpd, ResultColumn::Statistic), "MPD-r");
    EXPECT_EQ(at(mpd, ResultColumn::PSig), "NA");
    EXPECT_EQ(at(mpd, ResultColumn::PSigMcse), "NA");
    EXPECT_EQ(at(mpd, ResultColumn::NPNaN), "NA");
    const std::vector<std::string> header = csvFields(resultsHeader().substr(0, resultsHeader().size() - 1));
    for (std::size_t k = 0; k < resultColumns().size(); ++k) EXPECT_EQ(resultColumns()[k].name, header[k]);
}

TEST(ResultsTable, PerSeriesLines) {
    const std::string text = perSeriesLines(conditionOf(3, Option::Varden), outcomeOf(Option::Varden));
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "3,SIM-d,1,1,0.00999999978\n3,SIM-d,2,NaN,NaN\n");
    EXPECT_NE(text.find("3,SIM-r,4,9.99999994e-09,NaN\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
    const std::string mpd = perSeriesLines(conditionOf(3, Option::EffectSizes), outcomeOf(Option::EffectSizes));
    EXPECT_NE(mpd.find("\n3,MPD-r,3,Inf,NA\n"), std::string::npos);
    EXPECT_EQ(perSeriesHeader(), "condition_id,statistic,series,value,p_value\n");
}

TEST(ResultsRead, TypedRowsReadBackAsTheSameLines) {
    const std::string whole =
        resultsHeader() + linesOf(2, Option::Varden) + linesOf(5, Option::EffectSizes, 4294967295u);
    const ResultsReading r = readResults(whole);
    ASSERT_FALSE(r.error) << r.error->message;
    EXPECT_FALSE(r.tornTail);
    EXPECT_EQ(r.headerEnd, resultsHeader().size());
    ASSERT_EQ(r.blocks.size(), 2u);
    EXPECT_EQ(r.blocks[1].id(), 5);
    EXPECT_EQ(r.blocks[1].end, whole.size());
    EXPECT_EQ(r.blocks[0].rows.size(), 2u);
    const ResultRow& mpd = r.blocks[1].rows[2];
    EXPECT_EQ(mpd.statistic, "MPD-r");
    EXPECT_FALSE(mpd.pSig);
    EXPECT_EQ(mpd.seed, 4294967295u);
    EXPECT_EQ(mpd.nNonFinite, 2);
    EXPECT_TRUE(std::isnan(mpd.quantiles[4]));
    EXPECT_TRUE(sameCondition(mpd.condition, conditionOf(5, Option::EffectSizes)));
    EXPECT_EQ(resultsHeader() + resultLines(r.blocks[0].rows) + resultLines(r.blocks[1].rows), whole);
}

TEST(ResultsRead, FormatVersionOneReadsAndWritesBackAsItWas) {
    // The header of version 1 as runs before format version 2 wrote it.
    const std::string header1 =
        "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1,n_sim,seed,statistic,mean,se,"
        "p_sig,p_sig_mcse,q0,q25,q50,q75,q100,n_nonfinite,n_p_nan\n";
    EXPECT_EQ(resultsHeader(1), header1);
    const std::vector<ResultRow> rows = resultRows(conditionOf(2, Option::Varden), 99, outcomeOf(Option::Varden));
    const std::string old = header1 + resultLines(rows, 1);
    EXPECT_EQ(old.substr(header1.size(), old.find('\n', header1.size()) - header1.size()),
              "2,2,3,3,0,0.5,0,1,1,0,0,4,99,SIM-d,0.1,0.300000012,0.75,0.21650635094610965,-Inf,0,0,0,NaN,2,2");
    EXPECT_EQ(resultsFormatOf(old), 1);
    const ResultsReading r = readResults(old);
    ASSERT_FALSE(r.error) << r.error->message;
    EXPECT_EQ(r.formatVersion, 1);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(static_cast<float>(r.blocks[0].rows[0].sd), 0.3f) << "se is read as sd";
    EXPECT_EQ(header1 + resultLines(r.blocks[0].rows, 1), old);
    EXPECT_TRUE(readResults(header1.substr(0, header1.find(",se,") + 3)).tornTail) << "a version 1 header cut short";

    // The version follows the header's names, in any order; without se it is the current one.
    EXPECT_EQ(resultsFormatOf(resultsHeader()), kResultsFormatVersion);
    EXPECT_EQ(resultsFormatOf(""), kResultsFormatVersion);
    EXPECT_EQ(resultsFormatOf("statistic,se,p_sig\n"), 1);
    EXPECT_EQ(resultsFormatOf("statistic,se,sd\n"), kResultsFormatVersion);
    EXPECT_EQ(resultColumnIndex(ResultColumn::MeanMcse, 1), -1);
    EXPECT_EQ(std::string(resultColumns(1)[static_cast<std::size_t>(resultColumnIndex(ResultColumn::Q0, 1))].name),
              "q0");
    // Version 1 rows under a version 2 header are not a results file.
    const ResultsReading mixed = readResults(resultsHeader() + resultLines(rows, 1));
    ASSERT_TRUE(mixed.error);
    EXPECT_EQ(mixed.error->message, "expected 26 fields, found 25");
}

TEST(ResultsRead, ThePlotsReadEitherVersionAlike) {
    const std::vector<ResultRow> rows = resultRows(conditionOf(2, Option::Varden), 99, outcomeOf(Option::Varden));
    ResultsTable current;
    ResultsTable first;
    std::string error;
    ASSERT_TRUE(readResultsTable(resultsHeader() + resultLines(rows), "r.csv", current, error)) << error;
    ASSERT_TRUE(readResultsTable(resultsHeader(1) + resultLines(rows, 1), "r1.csv", first, error)) << error;
    ASSERT_EQ(first.rows.size(), 2u);
    EXPECT_EQ(first.rows[1].sd, current.rows[1].sd);
    EXPECT_TRUE(first.has(ResultColumn::Sd));
    EXPECT_TRUE(first.has(ResultColumn::Q100));
    EXPECT_FALSE(first.has(ResultColumn::MeanMcse));
    EXPECT_TRUE(current.has(ResultColumn::MeanMcse));
    EXPECT_EQ(resultLines(first.rows, 1), resultLines(rows, 1));

    // A subset written back by R: row names first, the columns quoted.
    ResultsTable fromR;
    ASSERT_TRUE(readResultsTable("\"\",\"statistic\",\"p_sig\",\"n_a\"\n\"7\",\"PL-Tau\",0.25,4\n", "r.csv", fromR, error))
        << error;
    ASSERT_EQ(fromR.rows.size(), 1u);
    EXPECT_EQ(fromR.rows[0].pSig, 0.25);
    EXPECT_EQ(fromR.rows[0].condition.model.nA, 4);
}

TEST(ResultsRead, WholeConditionsAndTornTails) {
    const std::string whole = resultsHeader() + linesOf(2, Option::Varden) + linesOf(5, Option::Varden);
    const ResultsReading r = readResults(whole);
    ASSERT_EQ(r.blocks.size(), 2u);
    // Every cut inside the second condition keeps the first and flags the rest.
    for (std::size_t cut = r.blocks[0].end + 1; cut < whole.size(); cut += 7) {
        const ResultsReading t = readResults(whole.substr(0, cut));
        EXPECT_FALSE(t.error) << cut << ": " << t.error->message;
        EXPECT_TRUE(t.tornTail) << cut;
        ASSERT_EQ(t.blocks.size(), 1u) << cut;
    }
    // A header cut short is an empty file that was interrupted.
    const ResultsReading h = readResults(resultsHeader().substr(0, 20));
    EXPECT_FALSE(h.error);
    EXPECT_TRUE(h.tornTail);
    EXPECT_EQ(h.headerEnd, 0u);
    const ResultsReading empty = readResults("");
    EXPECT_TRUE(empty.blocks.empty());
    EXPECT_FALSE(empty.tornTail);
    EXPECT_EQ(readResults(resultsHeader()).headerEnd, resultsHeader().size());
}

TEST(ResultsRead, AByteOrderMarkIsPassedOverAndLimitsHold) {
    const std::string whole = resultsHeader() + linesOf(2, Option::Varden) + linesOf(5, Option::Varden);
    const ResultsReading marked = readResults("\xEF\xBB\xBF" + whole);
    ASSERT_FALSE(marked.error) << marked.error->message;
    ASSERT_EQ(marked.blocks.size(), 2u);
    EXPECT_EQ(marked.blocks[1].end, whole.size() + 3) << "offsets in the file as it is";
    EXPECT_TRUE(readResults("\xEF\xBB\xBF" + resultsHeader().substr(0, 9)).tornTail);

    const ResultsReading limited = readResults(whole, defaultStatistics, CsvLimits{100, 100000});
    ASSERT_TRUE(limited.error);
    EXPECT_EQ(limited.error->line, 1);
    EXPECT_EQ(limited.error->message, "the line is longer than 100 bytes");
    const ResultsReading large = readResults(whole, defaultStatistics, CsvLimits{1000, 100});
    ASSERT_TRUE(large.error);
    EXPECT_EQ(large.error->message, "the file is larger than 100 bytes");
}

TEST(ResultsRead, RejectsWhatNoRunWrites) {
    const std::string one = linesOf(2, Option::Varden);
    const std::string firstLine = one.substr(0, one.find('\n') + 1);
    const std::string lines1 = linesOf(1, Option::Varden);
    std::string otherSeed = one;
    otherSeed.replace(otherSeed.rfind(",99,"), 4, ",98,");
    std::string badCell = one;
    badCell.replace(badCell.find(",0.1,"), 5, ",0.x,");
    struct Case {
        std::string text;
        int line;
        const char* message;
    };
    for (const Case& c : {Case{"x" + resultsHeader() + one, 1, "not a results file: unknown column 'xcondition_id'"},
                          Case{resultsHeader() + one + lines1, 4, "condition 1 is out of order or repeated"},
                          Case{resultsHeader() + one + one, 4, "condition 2 is out of order or repeated"},
                          Case{resultsHeader() + firstLine + lines1, 3, "condition 2 is incomplete"},
                          Case{resultsHeader() + firstLine + firstLine, 3, "unexpected statistic 'SIM-d' for condition 2"},
                          Case{resultsHeader() + otherSeed, 3, "the rows of condition 2 differ in their design values, "
                                                               "n_sim or seed"},
                          Case{resultsHeader() + badCell, 2, "cannot read '0.x' as a number (mean)"},
                          Case{resultsHeader() + "2,2,3\n", 2, "expected 26 fields, found 3"}}) {
        const ResultsReading r = readResults(c.text);
        ASSERT_TRUE(r.error) << c.text;
        EXPECT_EQ(r.error->line, c.line) << c.text;
        EXPECT_EQ(r.error->message, c.message);
    }
}

TEST(ResultsRead, KeptSeriesAreEverySeriesOfTheKeptConditions) {
    const ConditionOutcome o = outcomeOf(Option::Varden);
    const std::string whole = resultsHeader() + linesOf(2, Option::Varden) + linesOf(5, Option::Varden);
    const std::vector<ResultBlock> kept = readResults(whole).blocks;
    const std::string series = perSeriesHeader() + perSeriesLines(conditionOf(2, Option::Varden), o) +
                               perSeriesLines(conditionOf(5, Option::Varden), o);
    std::size_t keep = 0;
    std::string error;
    ASSERT_TRUE(keptSeries(series, kept, keep, error)) << error;
    EXPECT_EQ(keep, series.size());
    ASSERT_TRUE(keptSeries(series + "7,SIM-d,1,0.", kept, keep, error)) << "a torn line after them";
    EXPECT_EQ(keep, series.size());
    ASSERT_TRUE(keptSeries(series, {kept[0]}, keep, error));
    EXPECT_EQ(keep, series.find("\n5,SIM-d,1,") + 1);
    ASSERT_TRUE(keptSeries("condition_id,stat", {}, keep, error)) << "nothing kept, nothing needed";
    EXPECT_EQ(keep, 0u);

    EXPECT_FALSE(keptSeries(series.substr(0, series.size() - 3), kept, keep, error));
    EXPECT_EQ(error, "it does not hold every series of condition 5");
    std::string renumbered = series;
    renumbered.replace(renumbered.find("\n2,SIM-r,3,"), 10, "\n2,SIM-r,4,");
    EXPECT_FALSE(keptSeries(renumbered, kept, keep, error));
    EXPECT_EQ(error, "it does not hold every series of condition 2");
    EXPECT_FALSE(keptSeries("x" + series, kept, keep, error));
    EXPECT_EQ(error, "its header differs");
}

TEST(AnalysisResults, LongAndWideFormsWithNAWhereThereIsNoValue) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<Statistic> statistics = {Statistic::Nap, Statistic::Ecl, Statistic::Smd};
    const std::vector<CaseOutcome> cases = {
        {"S 1, left", 3, 4, 1, {{0.75f, 0.0571428575f}, {nan, 0.25f}, {-inf, nan}}},
        {"k", 1, 1, 0, {{0.5f, nan}, {0.1f, nan}, {1.0f / 3.0f, nan}}}};
    EXPECT_EQ(analysisLongText(cases, statistics),
              "case,n_a,n_b,n_missing,statistic,value,p\n"
              "\"S 1, left\",3,4,1,NAP,0.75,0.0571428575\n"
              "\"S 1, left\",3,4,1,ECL,NA,NA\n"
              "\"S 1, left\",3,4,1,SMD,-Inf,NA\n"
              "k,1,1,0,NAP,0.5,NA\n"
              "k,1,1,0,ECL,0.100000001,NA\n"
              "k,1,1,0,SMD,0.333333343,NA\n");
    EXPECT_EQ(analysisWideText(cases, statistics),
              "case,n_a,n_b,n_missing,NAP,NAP_p,ECL,SMD\n"
              "\"S 1, left\",3,4,1,0.75,0.0571428575,NA,-Inf\n"
              "k,1,1,0,0.5,NA,0.100000001,0.333333343\n");

    // The long form reads back through its columns as the same floats.
    const std::string text = analysisLongText(cases, statistics);
    TableReader<AnalysisRow> reader(text, analysisColumns(), HeaderRule::Exact);
    std::vector<TableProblem> problems;
    ASSERT_TRUE(reader.readHeader(problems));
    AnalysisRow row;
    ASSERT_EQ(reader.next(row, problems), TableReader<AnalysisRow>::RowStatus::Read);
    EXPECT_EQ(row.caseName, "S 1, left");
    EXPECT_TRUE(sameFloat(row.value, 0.75f));
    ASSERT_TRUE(row.p.has_value());
    EXPECT_TRUE(sameFloat(*row.p, 0.0571428575f));
}
