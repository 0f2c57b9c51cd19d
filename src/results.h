// The results of a study: the results table (one row per condition and
// statistic: the condition, its series count and seed, and the statistic's
// summary) and the per-series table (every series' value and p-value), each
// declared once as typed rows and their columns, written and read back in
// the one CSV dialect.
//
// Results columns (format version 2): the design's (condition_id .. ma1),
// n_sim, seed, statistic, mean, sd, p_sig, mean_mcse, p_sig_mcse, q0, q25,
// q50, q75, q100, n_nonfinite, n_p_nan.  mean, p_sig and the two Monte-Carlo
// standard errors are doubles written as their shortest exact text, sd and
// the quantiles floats with 9 significant digits; NA where a statistic has
// no test.  Version 1 named sd "se" and had no mean_mcse; its files are
// still read (and merged as version 1).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "caseindices.h"
#include "design.h"
#include "statistic.h"
#include "summary.h"

// The results format this program writes, and the oldest it reads.  The
// sidecar records it as format_version.
inline constexpr int kResultsFormatVersion = 2;
inline constexpr int kOldestResultsFormatVersion = 1;

// ---- What a condition's run gives ------------------------------------------

// One statistic of one simulated condition: its summary and every series'
// value and p-value in series order.
struct StatisticOutcome {
    Statistic statistic = Statistic::PlTau;
    RowSummary summary;
    std::vector<float> values;
    std::vector<float> pValues;  // empty without a test
};

struct ConditionOutcome {
    int nSim = 0;
    std::vector<StatisticOutcome> statistics;  // in the table's row order
};

// ---- The results table ------------------------------------------------------

struct ResultRow {
    Condition condition;
    int nSim = 0;
    std::uint32_t seed = 0;
    std::string statistic;  // its label
    double mean = 0.0;      // the running sum over n_sim, as the table divides it
    double sd = 0.0;        // a float: the standard deviation across the series (version 1: "se")
    std::optional<double> pSig;      // share of series with p < alpha; none without a test
    double meanMcse = 0.0;           // the Monte-Carlo standard error of mean (version 2)
    std::optional<double> pSigMcse;  // the Monte-Carlo standard error of p_sig
    std::array<double, 5> quantiles{};  // floats: 0, 25, 50, 75 and 100 %
    long long nNonFinite = 0;           // series whose value is not finite
    std::optional<long long> nPNaN;     // series whose p-value is NaN; none without a test
};

inline Condition& conditionOf(ResultRow& r) { return r.condition; }
inline const Condition& conditionOf(const ResultRow& r) { return r.condition; }

// The results table's columns, in the file order of the current version.
enum class ResultColumn {
    ConditionId, Option, NA, NB, Trend, Level, Slope, SdA, SdB, Ar1, Ma1,  // the design's
    NSim, Seed, Statistic, Mean, Sd, PSig, MeanMcse, PSigMcse, Q0, Q25, Q50, Q75, Q100, NNonFinite, NPNaN
};

// The columns of a format version (kOldestResultsFormatVersion ..
// kResultsFormatVersion), in file order.  Version 1's are the current ones
// without mean_mcse, with sd named "se".
const Columns<ResultRow>& resultColumns(int version = kResultsFormatVersion);
const TableColumn<ResultRow>& resultColumn(ResultColumn column);

// Where the column stands among the version's columns; -1 when that version
// has no such column.
int resultColumnIndex(ResultColumn column, int version);

// The format version of a results file, told by its header: 1 when it names
// "se" and neither "sd" nor "mean_mcse", else the current one.  A text
// without a header is of the current version.
int resultsFormatOf(std::string_view text, CsvLimits limits = {});

// The header line, with its line end.
std::string resultsHeader(int version = kResultsFormatVersion);

// The rows of a condition run with this seed, one per statistic in order.
// mean_mcse is sd / sqrt(n_sim), p_sig_mcse sqrt(p (1 - p) / n_sim).
std::vector<ResultRow> resultRows(const Condition& c, std::uint32_t seed, const ConditionOutcome& outcome);

// Lines of rows in the version's columns, each with its line end.
std::string resultLines(const std::vector<ResultRow>& rows, int version = kResultsFormatVersion);

// ---- The per-series table ---------------------------------------------------

struct SeriesRow {
    int conditionId = 0;
    std::string statistic;
    int series = 0;  // from 1
    float value = 0.0f;
    std::optional<float> pValue;  // none without a test
};

const Columns<SeriesRow>& seriesColumns();

std::string perSeriesHeader();

// One line per statistic and series of the condition, in that order.
std::string perSeriesLines(const Condition& c, const ConditionOutcome& outcome);

// ---- The results of an analysis of observed cases --------------------------
//
// Long form, one row per case and statistic: case, n_a, n_b, n_missing,
// statistic, value, p.  Wide form, one row per case: case, n_a, n_b,
// n_missing, then per statistic its label (the value) and, for a statistic
// with a test, LABEL_p.  Values and p-values are floats with 9 significant
// digits; NA where a statistic has no test or its routine gives NaN (the
// value cannot be computed for this case).

// What the analysis of one case gives: an estimate per statistic, in the
// order of the analysis' statistics.
struct CaseOutcome {
    std::string name;
    int nA = 0;
    int nB = 0;
    int nMissing = 0;
    std::vector<Estimate> estimates;
};

struct AnalysisRow {
    std::string caseName;
    int nA = 0;
    int nB = 0;
    int nMissing = 0;
    std::string statistic;      // its label
    float value = 0.0f;         // NaN: NA
    std::optional<float> p;     // none (or NaN): NA
};

const Columns<AnalysisRow>& analysisColumns();

// The whole file, header first, every line with its line end.
std::string analysisLongText(const std::vector<CaseOutcome>& cases, const std::vector<Statistic>& statistics);
std::string analysisWideText(const std::vector<CaseOutcome>& cases, const std::vector<Statistic>& statistics);
