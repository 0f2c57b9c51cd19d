#include "designexpand.h"

#include <array>
#include <cmath>

namespace {

// More values than anyone studies, but few enough to hold in memory.
constexpr long long kMaxFactorValues = 100000;

std::vector<std::string> splitOn(const std::string& s, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = s.find(separator, start);
        parts.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// A list a,b,c of values read by `read`; false with a message.
template <class T, class Read>
bool parseList(const std::string& list, std::vector<T>& values, std::string& error, Read read, const char* what) {
    for (const std::string& item : splitOn(list, ',')) {
        T v{};
        if (!read(item, v)) {
            error = "cannot read '" + trim(item) + "' in '" + list + "' as " + what;
            return false;
        }
        values.push_back(v);
    }
    return true;
}

// The checks every range from:to:step makes once its ends and step are read.
bool rangeUsable(const std::string& list, bool stepPositive, bool empty, double steps, std::string& error) {
    if (!stepPositive) {
        error = "the step of '" + list + "' must be positive";
        return false;
    }
    if (empty) {
        error = "the range '" + list + "' is empty";
        return false;
    }
    if (steps + 1 > static_cast<double>(kMaxFactorValues)) {
        error = "the range '" + list + "' has too many values";
        return false;
    }
    return true;
}

bool intRange(const std::vector<std::string>& range, const std::string& list, std::vector<int>& values,
              std::string& error) {
    int from = 0, to = 0, step = 0;
    if (!readWhole(range[0], from) || !readWhole(range[1], to) || !readWhole(range[2], step)) {
        error = "'" + list + "' is not a range of whole numbers from:to[:step]";
        return false;
    }
    const double steps = step > 0 ? static_cast<double>((static_cast<long long>(to) - from) / step) : 0.0;
    if (!rangeUsable(list, step > 0, from > to, steps, error)) return false;
    for (long long v = from; v <= to; v += step) values.push_back(static_cast<int>(v));
    return true;
}

bool floatRange(const std::vector<std::string>& range, const std::string& list, std::vector<float>& values,
                std::string& error) {
    double from = 0, to = 0, step = 0;
    float fromF = 0, toF = 0;
    if (!readReal(range[0], from) || !readReal(range[1], to) || !readReal(range[2], step) ||
        !readParameter(range[0], fromF) || !readParameter(range[1], toF) || !std::isfinite(from) ||
        !std::isfinite(to) || !std::isfinite(step)) {
        error = "'" + list + "' is not a range of finite numbers from:to[:step]";
        return false;
    }
    const double steps = step > 0 ? (to - from) / step : 0.0;
    if (!rangeUsable(list, step > 0, from > to, steps, error)) return false;
    // The end counts when it is reached up to a small share of a step, so
    // that 0:1:0.1 ends at 1 despite the decimal step's binary rounding.
    const auto count = static_cast<long long>(std::floor(steps + 1e-6)) + 1;
    for (long long k = 0; k < count; ++k) {
        const double v = from + static_cast<double>(k) * step;
        if (k == 0)
            values.push_back(fromF);
        else if (std::fabs(v - to) <= 1e-6 * step)
            values.push_back(toF);
        else
            values.push_back(static_cast<float>(v));
    }
    return true;
}

template <class T, class Range, class Read>
bool parseValues(const std::string& list, std::vector<T>& values, std::string& error, Range range, Read read,
                 const char* what) {
    values.clear();
    std::vector<std::string> parts = splitOn(list, ':');
    if (parts.size() == 2) parts.emplace_back("1");  // from:to steps by 1
    if (parts.size() == 3) return range(parts, list, values, error);
    if (parts.size() != 1) {
        error = "'" + list + "' is neither a list a,b,c nor a range from:to or from:to:step";
        return false;
    }
    return parseList(list, values, error, read, what);
}

}  // namespace

bool parseIntList(const std::string& list, std::vector<int>& values, std::string& error) {
    return parseValues(
        list, values, error, intRange, [](const std::string& s, int& v) { return readWhole(s, v); },
        "a whole number");
}

// A design describes models, so its values are finite: grid run refuses a
// NaN or an infinity, and expand does not write one.
bool parseFloatList(const std::string& list, std::vector<float>& values, std::string& error) {
    return parseValues(
        list, values, error, floatRange,
        [](const std::string& s, float& v) { return readParameter(s, v) && std::isfinite(v); }, "a finite number");
}

Expansion expandDesign(const FactorLists& f) {
    Expansion e;
    const std::array<std::size_t, 9> sizes = {f.nA.size(),  f.nB.size(),  f.trend.size(),
                                              f.level.size(), f.slope.size(), f.sdA.size(),
                                              f.sdB.size(),   f.ar1.size(),   f.ma1.size()};
    e.combinations = 1;
    for (const std::size_t n : sizes) e.combinations *= static_cast<long double>(n);
    if (e.combinations > static_cast<long double>(kMaxConditions)) {
        e.tooMany = true;
        return e;
    }
    // An odometer over the lists' indices, the last factor turning fastest.
    std::array<std::size_t, 9> at{};
    const auto total = static_cast<long long>(e.combinations);
    for (long long n = 0; n < total; ++n) {
        const ModelParameters m{f.nA[at[0]],  f.nB[at[1]],  f.trend[at[2]], f.level[at[3]], f.slope[at[4]],
                                f.sdA[at[5]], f.sdB[at[6]], f.ar1[at[7]],   f.ma1[at[8]]};
        if (!(m.fAR1 == 0.0f) && !(m.fMA1 == 0.0f)) {
            ++e.skipped;
        } else {
            e.design.push_back(Condition{static_cast<int>(e.design.size()) + 1, f.option, m});
        }
        for (std::size_t k = at.size(); k-- > 0;) {
            if (++at[k] < sizes[k]) break;
            at[k] = 0;
        }
    }
    return e;
}
