#include "design.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "runs.h"

namespace {

// More values than anyone studies, but few enough to hold in memory.
constexpr long long kMaxFactorValues = 100000;
constexpr long long kMaxConditions = 10000000;

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

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

// A whole decimal integer, optional sign, nothing else.
bool readWhole(const std::string& text, int& value) {
    const std::string t = trim(text);
    if (t.empty()) return false;
    const char* begin = t.c_str();
    if (*begin == '+') ++begin;
    long long v = 0;
    const auto [end, ec] = std::from_chars(begin, t.c_str() + t.size(), v);
    if (ec != std::errc() || end != t.c_str() + t.size() || v < INT_MIN || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

// The whole text as strtof (or strtod) reads it.
template <class T, class Parse>
bool readReal(const std::string& text, T& value, Parse parse) {
    const std::string t = trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    const T v = parse(t.c_str(), &end);
    if (end != t.c_str() + t.size()) return false;
    value = v;
    return true;
}

bool readFloat(const std::string& text, float& value) {
    return readReal(text, value, [](const char* s, char** e) { return std::strtof(s, e); });
}

bool readDouble(const std::string& text, double& value) {
    return readReal(text, value, [](const char* s, char** e) { return std::strtod(s, e); });
}

std::string bitsText(float value) {
    if (value == 0.0f) value = 0.0f;  // a negative zero is the same coefficient
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(std::bit_cast<std::uint32_t>(value)));
    return buf;
}

// The value problems of a condition: (design column index, message).
std::vector<std::pair<int, std::string>> problems(const Condition& c) {
    std::vector<std::pair<int, std::string>> found;
    const int option = static_cast<int>(c.option);
    if (option != 1 && option != 2) {
        found.emplace_back(1, "option must be 1 or 2, found " + std::to_string(option));
        return found;
    }
    const int limit = maxPhaseLength(c.option);
    const auto length = [&](int column, const char* name, int n) {
        if (n < 1 || n > limit)
            found.emplace_back(column, std::string(name) + " must be from 1 to " + std::to_string(limit) +
                                           " with option " + std::to_string(option) + ", found " +
                                           std::to_string(n));
    };
    length(2, "n_a", c.model.nA);
    length(3, "n_b", c.model.nB);
    // Not zero, as the dialogue tests it: NaN counts as non-zero.
    if (!(c.model.fAR1 == 0.0f) && !(c.model.fMA1 == 0.0f))
        found.emplace_back(10, "ar1 and ma1 are both non-zero; a condition has an AR(1) or an MA(1) "
                               "coefficient, not both");
    return found;
}

}  // namespace

std::string floatText(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string conditionText(const Condition& c) {
    const ModelParameters& m = c.model;
    std::string s = std::to_string(c.id) + "," + std::to_string(static_cast<int>(c.option)) + "," +
                    std::to_string(m.nA) + "," + std::to_string(m.nB);
    for (float f : {m.fB1, m.fB2, m.fB3, m.fSA, m.fSB, m.fAR1, m.fMA1}) {
        s += ',';
        s += floatText(f);
    }
    return s;
}

std::string designText(const std::vector<Condition>& design) {
    std::string text;
    for (int i = 0; i < kDesignColumnCount; ++i) {
        if (i > 0) text += ",";
        text += kDesignColumns[i];
    }
    text += "\n";
    for (const Condition& c : design) text += conditionText(c) + "\n";
    return text;
}

// ---- Expansion -------------------------------------------------------------

bool parseIntList(const std::string& list, std::vector<int>& values, std::string& error) {
    values.clear();
    const std::vector<std::string> range = splitOn(list, ':');
    if (range.size() == 3) {
        int from = 0, to = 0, step = 0;
        if (!readWhole(range[0], from) || !readWhole(range[1], to) || !readWhole(range[2], step)) {
            error = "'" + list + "' is not a range of whole numbers from:to:step";
            return false;
        }
        if (step <= 0) {
            error = "the step of '" + list + "' must be positive";
            return false;
        }
        if (from > to) {
            error = "the range '" + list + "' is empty";
            return false;
        }
        if ((static_cast<long long>(to) - from) / step + 1 > kMaxFactorValues) {
            error = "the range '" + list + "' has too many values";
            return false;
        }
        for (long long v = from; v <= to; v += step) values.push_back(static_cast<int>(v));
        return true;
    }
    if (range.size() != 1) {
        error = "'" + list + "' is neither a list a,b,c nor a range from:to:step";
        return false;
    }
    for (const std::string& item : splitOn(list, ',')) {
        int v = 0;
        if (!readWhole(item, v)) {
            error = "cannot read '" + trim(item) + "' in '" + list + "' as a whole number";
            return false;
        }
        values.push_back(v);
    }
    return true;
}

bool parseFloatList(const std::string& list, std::vector<float>& values, std::string& error) {
    values.clear();
    const std::vector<std::string> range = splitOn(list, ':');
    if (range.size() == 3) {
        double from = 0, to = 0, step = 0;
        float fromF = 0, toF = 0;
        if (!readDouble(range[0], from) || !readDouble(range[1], to) || !readDouble(range[2], step) ||
            !readFloat(range[0], fromF) || !readFloat(range[1], toF) || !std::isfinite(from) ||
            !std::isfinite(to) || !std::isfinite(step)) {
            error = "'" + list + "' is not a range of finite numbers from:to:step";
            return false;
        }
        if (!(step > 0)) {
            error = "the step of '" + list + "' must be positive";
            return false;
        }
        if (from > to) {
            error = "the range '" + list + "' is empty";
            return false;
        }
        // The end counts when it is reached up to a small share of a step, so
        // that 0:1:0.1 ends at 1 despite the decimal step's binary rounding.
        const double steps = (to - from) / step;
        if (steps + 1 > static_cast<double>(kMaxFactorValues)) {
            error = "the range '" + list + "' has too many values";
            return false;
        }
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
    if (range.size() != 1) {
        error = "'" + list + "' is neither a list a,b,c nor a range from:to:step";
        return false;
    }
    for (const std::string& item : splitOn(list, ',')) {
        float v = 0;
        if (!readFloat(item, v)) {
            error = "cannot read '" + trim(item) + "' in '" + list + "' as a number";
            return false;
        }
        values.push_back(v);
    }
    return true;
}

std::vector<Condition> expandDesign(const FactorLists& f, long long& skipped) {
    std::vector<Condition> design;
    skipped = 0;
    long double total = 1;
    for (std::size_t n : {f.nA.size(), f.nB.size(), f.trend.size(), f.level.size(), f.slope.size(),
                          f.sdA.size(), f.sdB.size(), f.ar1.size(), f.ma1.size()})
        total *= static_cast<long double>(n);
    if (total > static_cast<long double>(kMaxConditions)) return design;
    Condition c;
    c.option = f.option;
    ModelParameters& m = c.model;
    for (int nA : f.nA)
        for (int nB : f.nB)
            for (float trend : f.trend)
                for (float level : f.level)
                    for (float slope : f.slope)
                        for (float sdA : f.sdA)
                            for (float sdB : f.sdB)
                                for (float ar1 : f.ar1)
                                    for (float ma1 : f.ma1) {
                                        if (!(ar1 == 0.0f) && !(ma1 == 0.0f)) {
                                            ++skipped;
                                            continue;
                                        }
                                        m = ModelParameters{nA, nB, trend, level, slope, sdA, sdB, ar1, ma1};
                                        c.id = static_cast<int>(design.size()) + 1;
                                        design.push_back(c);
                                    }
    return design;
}

// ---- Reading ---------------------------------------------------------------

namespace {

struct Field {
    std::string text;
    int column = 1;  // 1-based byte column of the field's first character
};

// Splits one CSV line; a field may be enclosed in double quotes, with "" for
// a quote inside.  False when a quote is left open or followed by text.
bool splitFields(const std::string& line, std::vector<Field>& fields) {
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        Field f;
        f.column = static_cast<int>(i) + 1;
        std::size_t j = i;
        while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
        if (j < line.size() && line[j] == '"') {
            ++j;
            for (;;) {
                if (j >= line.size()) return false;
                if (line[j] == '"') {
                    if (j + 1 < line.size() && line[j + 1] == '"') {
                        f.text += '"';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                f.text += line[j++];
            }
            while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
            if (j < line.size() && line[j] != ',') return false;
        } else {
            const auto end = line.find(',', i);
            j = end == std::string::npos ? line.size() : end;
            f.text = line.substr(i, j - i);
        }
        fields.push_back(f);
        if (j >= line.size()) return true;
        i = j + 1;
    }
}

}  // namespace

std::vector<DesignError> parseDesign(const std::string& text, std::vector<Condition>& design) {
    design.clear();
    std::vector<DesignError> errors;
    const auto fail = [&](int line, int column, std::string message) {
        errors.push_back({line, column, std::move(message)});
    };

    int lineNo = 0;
    std::size_t pos = 0;
    const auto nextLine = [&](std::string& line) {
        if (pos >= text.size()) return false;
        const auto end = text.find('\n', pos);
        line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++lineNo;
        return true;
    };

    std::string line;
    bool haveHeader = false;
    while (nextLine(line)) {
        if (!trim(line).empty()) {
            haveHeader = true;
            break;
        }
    }
    if (!haveHeader) {
        fail(1, 1, "the design is empty: no header line");
        return errors;
    }

    // Header: every design column exactly once, in any order.
    std::vector<Field> fields;
    if (!splitFields(line, fields)) {
        fail(lineNo, 1, "unbalanced quotes in the header");
        return errors;
    }
    const int headerLine = lineNo;
    std::vector<int> columnOf(kDesignColumnCount, -1);  // design column -> field index
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = trim(fields[i].text);
        const auto* known = std::find_if(std::begin(kDesignColumns), std::end(kDesignColumns),
                                         [&](const char* c) { return name == c; });
        if (known == std::end(kDesignColumns)) {
            fail(headerLine, fields[i].column, "unknown column '" + name + "'");
            continue;
        }
        int& slot = columnOf[static_cast<std::size_t>(known - std::begin(kDesignColumns))];
        if (slot >= 0)
            fail(headerLine, fields[i].column, "column '" + name + "' appears twice");
        else
            slot = static_cast<int>(i);
    }
    for (int k = 0; k < kDesignColumnCount; ++k)
        if (columnOf[static_cast<std::size_t>(k)] < 0)
            fail(headerLine, 1, std::string("missing column '") + kDesignColumns[k] + "'");
    if (!errors.empty()) return errors;

    std::map<int, int> firstLineOf;  // condition_id -> line
    while (nextLine(line)) {
        if (trim(line).empty()) continue;
        if (!splitFields(line, fields)) {
            fail(lineNo, 1, "unbalanced quotes");
            continue;
        }
        if (fields.size() != static_cast<std::size_t>(kDesignColumnCount)) {
            fail(lineNo, 1,
                 "expected " + std::to_string(kDesignColumnCount) + " fields, found " +
                     std::to_string(fields.size()));
            continue;
        }
        const auto field = [&](int k) -> const Field& {
            return fields[static_cast<std::size_t>(columnOf[static_cast<std::size_t>(k)])];
        };
        bool readable = true;
        int ints[4] = {0, 0, 0, 0};
        bool idRead = false;
        for (int k = 0; k < 4; ++k) {
            if (readWhole(field(k).text, ints[k])) {
                idRead = idRead || k == 0;
                continue;
            }
            fail(lineNo, field(k).column,
                 std::string("cannot read '") + trim(field(k).text) + "' as a whole number (" +
                     kDesignColumns[k] + ")");
            readable = false;
        }
        float floats[7] = {};
        for (int k = 4; k < kDesignColumnCount; ++k) {
            if (!readFloat(field(k).text, floats[k - 4])) {
                fail(lineNo, field(k).column,
                     std::string("cannot read '") + trim(field(k).text) + "' as a number (" +
                         kDesignColumns[k] + ")");
                readable = false;
            }
        }
        bool valid = readable;
        if (idRead && ints[0] <= 0) {
            fail(lineNo, field(0).column,
                 "condition_id must be a positive whole number, found " + std::to_string(ints[0]));
            valid = false;
        } else if (idRead) {
            if (const auto [it, inserted] = firstLineOf.emplace(ints[0], lineNo); !inserted) {
                fail(lineNo, field(0).column,
                     "duplicate condition_id " + std::to_string(ints[0]) + " (first on line " +
                         std::to_string(it->second) + ")");
                valid = false;
            }
        }
        if (!readable) continue;
        Condition c;
        c.id = ints[0];
        c.option = static_cast<Option>(ints[1]);
        c.model = ModelParameters{ints[2],   ints[3],   floats[0], floats[1], floats[2],
                                  floats[3], floats[4], floats[5], floats[6]};
        for (const auto& [k, message] : problems(c)) {
            fail(lineNo, field(k).column, message);
            valid = false;
        }
        if (valid) design.push_back(c);
    }
    if (errors.empty() && design.empty()) fail(headerLine + 1, 1, "the design has no conditions");
    if (!errors.empty()) design.clear();
    return errors;
}

std::string conditionProblem(const Condition& c) {
    const auto found = problems(c);
    return found.empty() ? std::string() : found.front().second;
}

// ---- Identity and seeds ----------------------------------------------------

std::uint64_t fnv1a64(const std::string& text) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char byte : text) {
        h ^= byte;
        h *= 1099511628211ULL;
    }
    return h;
}

std::string canonicalParameters(const Condition& c) {
    const ModelParameters& m = c.model;
    return "option=" + std::to_string(static_cast<int>(c.option)) + ";n_a=" + std::to_string(m.nA) +
           ";n_b=" + std::to_string(m.nB) + ";trend=" + bitsText(m.fB1) + ";level=" + bitsText(m.fB2) +
           ";slope=" + bitsText(m.fB3) + ";sd_a=" + bitsText(m.fSA) + ";sd_b=" + bitsText(m.fSB) +
           ";ar1=" + bitsText(m.fAR1) + ";ma1=" + bitsText(m.fMA1);
}

std::string designHash(const std::vector<Condition>& design) {
    std::vector<const Condition*> byId;
    byId.reserve(design.size());
    for (const Condition& c : design) byId.push_back(&c);
    std::sort(byId.begin(), byId.end(), [](const Condition* a, const Condition* b) { return a->id < b->id; });
    std::string text;
    for (const Condition* c : byId) text += "id=" + std::to_string(c->id) + ";" + canonicalParameters(*c) + "\n";
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(fnv1a64(text)));
    return buf;
}

std::uint32_t conditionSeed(std::uint32_t baseSeed, const Condition& c) {
    const std::uint64_t h =
        fnv1a64("zelkor-seed-1;base=" + std::to_string(baseSeed) + ";" + canonicalParameters(c));
    return static_cast<std::uint32_t>((h >> 32) ^ (h & 0xffffffffULL));
}
