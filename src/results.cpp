#include "results.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Row = ResultRow;

template <class T>
void writeOptional(const std::optional<T>& value, std::string& out, std::string (*text)(T)) {
    out += value ? text(*value) : std::string(kNotAvailable);
}

// A cell that is NA or a value of the kind `read` reads.
template <class T>
bool readOptional(std::string_view text, std::optional<T>& value, bool (*read)(std::string_view, T&)) {
    if (isNotAvailable(text)) {
        value.reset();
        return true;
    }
    T v{};
    if (!read(text, v)) return false;
    value = v;
    return true;
}

std::string floatOf(double value) { return floatText(static_cast<float>(value)); }

std::string countText(long long n) { return std::to_string(n); }

// A float column of the row, held as a double.
template <double Row::*Member>
TableColumn<Row> floatColumn(const char* name) {
    return {name, [](const Row& r, std::string& out) { out += floatOf(r.*Member); },
            [](std::string_view t, Row& r) { return readReal(t, r.*Member); }, "a number"};
}

template <int K>
TableColumn<Row> quantileColumn(const char* name) {
    return {name, [](const Row& r, std::string& out) { out += floatOf(r.quantiles[K]); },
            [](std::string_view t, Row& r) { return readReal(t, r.quantiles[K]); }, "a number"};
}

// A double column that is NA for statistics without a test.
template <std::optional<double> Row::*Member>
TableColumn<Row> testedColumn(const char* name) {
    return {name, [](const Row& r, std::string& out) { writeOptional(r.*Member, out, doubleText); },
            [](std::string_view t, Row& r) { return readOptional(t, r.*Member, readReal); }, "a number or NA"};
}

bool readLabel(std::string_view text, std::string& label) {
    if (text.empty()) return false;
    label.assign(text);
    return true;
}

Columns<Row> makeResultColumns() {
    Columns<Row> columns = conditionColumns<Row>();
    const Columns<Row> own = {
        {"n_sim", [](const Row& r, std::string& out) { out += std::to_string(r.nSim); },
         [](std::string_view t, Row& r) { return readWhole(t, r.nSim); }, "a whole number",
         [](const Row& r) { return static_cast<double>(r.nSim); }},
        {"seed", [](const Row& r, std::string& out) { out += std::to_string(r.seed); },
         [](std::string_view t, Row& r) { return readSeed(t, r.seed); }, "a seed (0 to 4294967295)"},
        {"statistic", [](const Row& r, std::string& out) { out += csvField(r.statistic); },
         [](std::string_view t, Row& r) { return readLabel(t, r.statistic); }, "a statistic's label"},
        {"mean", [](const Row& r, std::string& out) { out += doubleText(r.mean); },
         [](std::string_view t, Row& r) { return readReal(t, r.mean); }, "a number"},
        floatColumn<&Row::sd>("sd"),
        testedColumn<&Row::pSig>("p_sig"),
        {"mean_mcse", [](const Row& r, std::string& out) { out += doubleText(r.meanMcse); },
         [](std::string_view t, Row& r) { return readReal(t, r.meanMcse); }, "a number"},
        testedColumn<&Row::pSigMcse>("p_sig_mcse"),
        quantileColumn<0>("q0"),
        quantileColumn<1>("q25"),
        quantileColumn<2>("q50"),
        quantileColumn<3>("q75"),
        quantileColumn<4>("q100"),
        {"n_nonfinite", [](const Row& r, std::string& out) { out += countText(r.nNonFinite); },
         [](std::string_view t, Row& r) { return readCount(t, r.nNonFinite); }, "a count"},
        {"n_p_nan", [](const Row& r, std::string& out) { writeOptional(r.nPNaN, out, countText); },
         [](std::string_view t, Row& r) { return readOptional(t, r.nPNaN, readCount); }, "a count or NA"},
    };
    columns.insert(columns.end(), own.begin(), own.end());
    return columns;
}

// Version 1: the columns of version 2 without mean_mcse, sd named "se".
Columns<Row> firstVersionColumns(const Columns<Row>& current) {
    Columns<Row> columns = current;
    columns[static_cast<std::size_t>(ResultColumn::Sd)].name = "se";
    columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(ResultColumn::MeanMcse));
    return columns;
}

long long countIf(const std::vector<float>& values, bool (*test)(float)) {
    long long n = 0;
    for (const float v : values)
        if (test(v)) ++n;
    return n;
}

std::string optionalFloatText(float value) { return floatText(value); }

Columns<SeriesRow> makeSeriesColumns() {
    using S = SeriesRow;
    return {
        {"condition_id", [](const S& r, std::string& out) { out += std::to_string(r.conditionId); },
         [](std::string_view t, S& r) { return readWhole(t, r.conditionId); }, "a whole number"},
        {"statistic", [](const S& r, std::string& out) { out += csvField(r.statistic); },
         [](std::string_view t, S& r) { return readLabel(t, r.statistic); }, "a statistic's label"},
        {"series", [](const S& r, std::string& out) { out += std::to_string(r.series); },
         [](std::string_view t, S& r) { return readWhole(t, r.series); }, "a whole number"},
        {"value", [](const S& r, std::string& out) { out += floatText(r.value); },
         [](std::string_view t, S& r) { return readParameter(t, r.value); }, "a number"},
        {"p_value", [](const S& r, std::string& out) { writeOptional(r.pValue, out, optionalFloatText); },
         [](std::string_view t, S& r) { return readOptional(t, r.pValue, readParameter); }, "a number or NA"},
    };
}

}  // namespace

const Columns<ResultRow>& resultColumns(int version) {
    static const Columns<ResultRow> current = makeResultColumns();
    static const Columns<ResultRow> first = firstVersionColumns(current);
    return version == 1 ? first : current;
}

const TableColumn<ResultRow>& resultColumn(ResultColumn column) {
    return resultColumns()[static_cast<std::size_t>(column)];
}

int resultColumnIndex(ResultColumn column, int version) {
    const int k = static_cast<int>(column);
    const int mcse = static_cast<int>(ResultColumn::MeanMcse);
    if (version != 1 || k < mcse) return k;
    return k == mcse ? -1 : k - 1;
}

int resultsFormatOf(std::string_view text, CsvLimits limits) {
    CsvReader reader(text, limits);
    CsvRecord header;
    if (!reader.next(header)) return kResultsFormatVersion;
    const auto named = [&](std::string_view name) {
        return std::any_of(header.fields.begin(), header.fields.end(),
                           [&](const CsvField& f) { return f.text == name; });
    };
    return named("se") && !named("sd") && !named("mean_mcse") ? 1 : kResultsFormatVersion;
}

std::string resultsHeader(int version) { return headerLine(resultColumns(version)); }

std::vector<ResultRow> resultRows(const Condition& c, std::uint32_t seed, const ConditionOutcome& outcome) {
    std::vector<ResultRow> rows;
    for (const StatisticOutcome& s : outcome.statistics) {
        const StatisticInfo& info = statisticInfo(s.statistic);
        ResultRow r;
        r.condition = c;
        r.nSim = outcome.nSim;
        r.seed = seed;
        r.statistic = info.label;
        r.mean = s.summary.mean;
        r.sd = static_cast<double>(s.summary.sd);
        r.meanMcse = r.sd / std::sqrt(static_cast<double>(outcome.nSim));
        if (info.hasTest) {
            const double p = s.summary.share;
            r.pSig = p;
            r.pSigMcse = std::sqrt(p * (1.0 - p) / static_cast<double>(outcome.nSim));
            r.nPNaN = countIf(s.pValues, [](float v) { return std::isnan(v); });
        }
        for (int k = 0; k < 5; ++k) r.quantiles[static_cast<std::size_t>(k)] = static_cast<double>(s.summary.quantiles[k]);
        r.nNonFinite = countIf(s.values, [](float v) { return !std::isfinite(v); });
        rows.push_back(std::move(r));
    }
    return rows;
}

std::string resultLines(const std::vector<ResultRow>& rows, int version) {
    std::string text;
    for (const ResultRow& r : rows) appendLine(resultColumns(version), r, text);
    return text;
}

const Columns<SeriesRow>& seriesColumns() {
    static const Columns<SeriesRow> columns = makeSeriesColumns();
    return columns;
}

std::string perSeriesHeader() { return headerLine(seriesColumns()); }

std::string perSeriesLines(const Condition& c, const ConditionOutcome& outcome) {
    std::string text;
    SeriesRow row;
    row.conditionId = c.id;
    for (const StatisticOutcome& s : outcome.statistics) {
        row.statistic = statisticInfo(s.statistic).label;
        const bool tested = statisticInfo(s.statistic).hasTest;
        for (std::size_t i = 0; i < s.values.size(); ++i) {
            row.series = static_cast<int>(i) + 1;
            row.value = s.values[i];
            row.pValue.reset();
            if (tested && i < s.pValues.size()) row.pValue = s.pValues[i];
            appendLine(seriesColumns(), row, text);
        }
    }
    return text;
}

// ---- The results of an analysis ----------------------------------------------

namespace {

using CaseRow = AnalysisRow;

// NA for a value that cannot be computed, the float's text otherwise.
std::string estimateText(float value) {
    return std::isnan(value) ? std::string(kNotAvailable) : floatText(value);
}

bool readEstimate(std::string_view text, float& value) {
    if (isNotAvailable(text)) {
        value = std::numeric_limits<float>::quiet_NaN();
        return true;
    }
    double v = 0.0;
    if (!readReal(text, v)) return false;
    value = static_cast<float>(v);
    return true;
}

template <int CaseRow::*Member>
TableColumn<CaseRow> countColumn(const char* name) {
    return {name, [](const CaseRow& r, std::string& out) { out += std::to_string(r.*Member); },
            [](std::string_view t, CaseRow& r) { return readWhole(t, r.*Member) && r.*Member >= 0; },
            "a whole number"};
}

Columns<CaseRow> makeAnalysisColumns() {
    return {
        {"case", [](const CaseRow& r, std::string& out) { out += csvField(r.caseName); },
         [](std::string_view t, CaseRow& r) { return readLabel(t, r.caseName); }, "a name"},
        countColumn<&CaseRow::nA>("n_a"),
        countColumn<&CaseRow::nB>("n_b"),
        countColumn<&CaseRow::nMissing>("n_missing"),
        {"statistic", [](const CaseRow& r, std::string& out) { out += r.statistic; },
         [](std::string_view t, CaseRow& r) { return readLabel(t, r.statistic); }, "a statistic's label"},
        {"value", [](const CaseRow& r, std::string& out) { out += estimateText(r.value); },
         [](std::string_view t, CaseRow& r) { return readEstimate(t, r.value); }, "a number or NA"},
        {"p", [](const CaseRow& r, std::string& out) { out += estimateText(r.p.value_or(std::nanf(""))); },
         [](std::string_view t, CaseRow& r) {
             float p = 0.0f;
             if (!readEstimate(t, p)) return false;
             r.p = std::isnan(p) ? std::nullopt : std::optional<float>(p);
             return true;
         },
         "a number or NA"},
    };
}

// The case's columns before its statistics, as both forms write them.
void appendCaseCells(const CaseOutcome& c, std::string& out) {
    out += csvField(c.name) + ',' + std::to_string(c.nA) + ',' + std::to_string(c.nB) + ',' +
           std::to_string(c.nMissing);
}

}  // namespace

const Columns<AnalysisRow>& analysisColumns() {
    static const Columns<AnalysisRow> columns = makeAnalysisColumns();
    return columns;
}

std::string analysisLongText(const std::vector<CaseOutcome>& cases, const std::vector<Statistic>& statistics) {
    std::string text = headerLine(analysisColumns());
    for (const CaseOutcome& c : cases)
        for (std::size_t k = 0; k < statistics.size() && k < c.estimates.size(); ++k) {
            const StatisticInfo& info = statisticInfo(statistics[k]);
            const Estimate& e = c.estimates[k];
            const AnalysisRow row{c.name, c.nA, c.nB, c.nMissing, info.label, e.value,
                                  info.hasTest ? std::optional<float>(e.p) : std::nullopt};
            appendLine(analysisColumns(), row, text);
        }
    return text;
}

std::string analysisWideText(const std::vector<CaseOutcome>& cases, const std::vector<Statistic>& statistics) {
    std::string text;
    for (std::size_t k = 0; k < 4; ++k) text += std::string(k > 0 ? "," : "") + analysisColumns()[k].name;
    for (const Statistic s : statistics) {
        const StatisticInfo& info = statisticInfo(s);
        text += std::string(",") + info.label;
        if (info.hasTest) text += std::string(",") + info.label + "_p";
    }
    text += '\n';
    for (const CaseOutcome& c : cases) {
        appendCaseCells(c, text);
        for (std::size_t k = 0; k < statistics.size() && k < c.estimates.size(); ++k) {
            text += ',' + estimateText(c.estimates[k].value);
            if (statisticInfo(statistics[k]).hasTest) text += ',' + estimateText(c.estimates[k].p);
        }
        text += '\n';
    }
    return text;
}
