#include "results.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

std::string floatNumber(float value) { return numberText(static_cast<double>(value), 9); }

std::string countNonFinite(const std::vector<float>& values) {
    long long n = 0;
    for (float v : values)
        if (!std::isfinite(v)) ++n;
    return std::to_string(n);
}

std::string countNaN(const std::vector<float>& values) {
    long long n = 0;
    for (float v : values)
        if (std::isnan(v)) ++n;
    return std::to_string(n);
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto comma = line.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

bool readId(const std::string& text, int& value) {
    if (text.empty() || text.size() > 10) return false;
    long long v = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    if (v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

std::string numberText(double value, int precision) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.*g", precision, value);
    return buf;
}

std::string shortestNumber(double value) {
    if (std::isnan(value) || std::isinf(value)) return numberText(value, 17);
    char buf[40];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string resultsHeader() {
    std::string header;
    for (int i = 0; i < kDesignColumnCount; ++i) header += std::string(kDesignColumns[i]) + ",";
    return header +
           "n_sim,seed,statistic,mean,se,p_sig,p_sig_mcse,q0,q25,q50,q75,q100,n_nonfinite,n_p_nan\n";
}

std::string resultLines(const Condition& c, std::uint32_t seed, const ConditionOutcome& outcome) {
    const std::string prefix =
        conditionText(c) + "," + std::to_string(outcome.nSim) + "," + std::to_string(seed) + ",";
    std::string text;
    for (const StatisticOutcome& s : outcome.statistics) {
        text += prefix + s.label + "," + shortestNumber(s.mean) + "," + floatNumber(s.se) + ",";
        if (s.hasTest) {
            const double p = s.share;
            const double mcse = std::sqrt(p * (1.0 - p) / static_cast<double>(outcome.nSim));
            text += shortestNumber(p) + "," + shortestNumber(mcse) + ",";
        } else {
            text += "NA,NA,";
        }
        for (float q : s.quantiles) text += floatNumber(q) + ",";
        text += countNonFinite(s.values) + "," + (s.hasTest ? countNaN(s.pValues) : "NA") + "\n";
    }
    return text;
}

std::string perSeriesHeader() { return "condition_id,statistic,series,value,p_value\n"; }

std::string perSeriesLines(const Condition& c, const ConditionOutcome& outcome) {
    std::string text;
    const std::string id = std::to_string(c.id) + ",";
    for (const StatisticOutcome& s : outcome.statistics) {
        const std::string head = id + s.label + ",";
        for (std::size_t i = 0; i < s.values.size(); ++i) {
            text += head + std::to_string(i + 1) + "," + floatNumber(s.values[i]) + ",";
            text += (s.hasTest && i < s.pValues.size()) ? floatNumber(s.pValues[i]) : std::string("NA");
            text += "\n";
        }
    }
    return text;
}

ResultsReading readResults(const std::string& text, const LabelsFn& labels) {
    ResultsReading r;
    const std::string header = resultsHeader();
    if (text.compare(0, header.size(), header) != 0) {
        // A header cut short by an interruption is a torn tail of an empty file.
        if (header.compare(0, text.size(), text) == 0) {
            r.tornTail = !text.empty();
            return r;
        }
        r.errorLine = 1;
        r.error = "not a results file: the header differs";
        return r;
    }

    std::size_t pos = header.size();
    int lineNo = 1;
    ResultBlock current;
    std::vector<std::string> expected;  // the current condition's labels
    bool open = false;
    while (pos < text.size()) {
        const auto end = text.find('\n', pos);
        ++lineNo;
        if (end == std::string::npos) {  // a line cut short
            r.tornTail = true;
            return r;
        }
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::vector<std::string> fields = splitFields(line);
        int id = 0;
        int option = 0;
        if (fields.size() != static_cast<std::size_t>(kResultColumnCount) || !readId(fields[0], id) ||
            !readId(fields[1], option) || (option != 1 && option != 2)) {
            r.errorLine = lineNo;
            r.error = "not a results line";
            return r;
        }
        if (!open) {
            if (!r.blocks.empty() && id <= r.blocks.back().id) {
                r.errorLine = lineNo;
                r.error = "condition " + std::to_string(id) + " is out of order or repeated";
                return r;
            }
            current = ResultBlock{id, {}, 0};
            expected = labels(static_cast<Option>(option));
            open = true;
        } else if (id != current.id) {
            r.errorLine = lineNo;
            r.error = "condition " + std::to_string(current.id) + " is incomplete";
            return r;
        }
        const std::size_t k = current.lines.size();
        if (k >= expected.size() || fields[kStatisticColumn] != expected[k]) {
            r.errorLine = lineNo;
            r.error = "unexpected statistic '" + fields[kStatisticColumn] + "' for condition " +
                      std::to_string(id);
            return r;
        }
        current.lines.push_back(line);
        if (current.lines.size() == expected.size()) {
            current.end = pos;
            r.blocks.push_back(std::move(current));
            current = ResultBlock{};
            open = false;
        }
    }
    r.tornTail = open;
    return r;
}
