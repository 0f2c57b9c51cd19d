// The results of a study: the results table (one row per condition and
// statistic: the condition, its series count and seed, and the statistic's
// summary) and the per-series table (every series' value and p-value), each
// declared once as typed rows and their columns, written and read back in
// the one CSV dialect.
//
// Results columns: the design's (condition_id .. ma1), n_sim, seed,
// statistic, mean, se, p_sig, p_sig_mcse, q0, q25, q50, q75, q100,
// n_nonfinite, n_p_nan.  mean, p_sig and p_sig_mcse are doubles written as
// their shortest exact text, se and the quantiles floats with 9 significant
// digits; NA where a statistic has no test.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "design.h"
#include "statistic.h"
#include "summary.h"

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
    double sd = 0.0;        // a float: the standard deviation (column "se")
    std::optional<double> pSig;      // share of series with p < alpha; none without a test
    std::optional<double> pSigMcse;  // its Monte-Carlo standard error
    std::array<double, 5> quantiles{};  // floats: 0, 25, 50, 75 and 100 %
    long long nNonFinite = 0;           // series whose value is not finite
    std::optional<long long> nPNaN;     // series whose p-value is NaN; none without a test
};

inline Condition& conditionOf(ResultRow& r) { return r.condition; }
inline const Condition& conditionOf(const ResultRow& r) { return r.condition; }

// The results table's columns, in file order.
enum class ResultColumn {
    ConditionId, Option, NA, NB, Trend, Level, Slope, SdA, SdB, Ar1, Ma1,  // the design's
    NSim, Seed, Statistic, Mean, Se, PSig, PSigMcse, Q0, Q25, Q50, Q75, Q100, NNonFinite, NPNaN
};

const Columns<ResultRow>& resultColumns();
const TableColumn<ResultRow>& resultColumn(ResultColumn column);

// The header line, with its line end.
std::string resultsHeader();

// The rows of a condition run with this seed, one per statistic in order.
// p_sig_mcse is sqrt(p (1 - p) / n_sim).
std::vector<ResultRow> resultRows(const Condition& c, std::uint32_t seed, const ConditionOutcome& outcome);

// Lines of rows, each with its line end.
std::string resultLines(const std::vector<ResultRow>& rows);

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
