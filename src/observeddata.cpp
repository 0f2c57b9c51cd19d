#include "observeddata.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "messagetext.h"
#include "numbertext.h"
#include "table.h"

namespace {

// One row as the table reader fills it.
struct ObservedRow {
    std::string caseName;
    std::string phase;
    std::optional<float> value;  // none: NA or empty
    double session = 0.0;
};

enum ObservedColumn : std::size_t { kCase, kPhase, kValue, kSession };

bool readValue(std::string_view text, ObservedRow& row) {
    row.value.reset();
    if (isNotAvailable(text) || text.empty()) return true;
    float v = 0.0f;
    if (!readParameter(text, v) || !std::isfinite(v)) return false;
    row.value = v;
    return true;
}

bool readSession(std::string_view text, ObservedRow& row) {
    double v = 0.0;
    if (!readReal(text, v) || !std::isfinite(v)) return false;
    row.session = v;
    return true;
}

const Columns<ObservedRow>& observedColumns() {
    // Only read: the writers are never called.
    static const Columns<ObservedRow> columns = {
        {"case", [](const ObservedRow& r, std::string& out) { out += r.caseName; },
         [](std::string_view t, ObservedRow& r) { return r.caseName = t, true; }, "a name"},
        {"phase", [](const ObservedRow& r, std::string& out) { out += r.phase; },
         [](std::string_view t, ObservedRow& r) { return r.phase = t, true; }, "a phase"},
        {"value", [](const ObservedRow&, std::string&) {}, readValue, "a finite number, NA or empty"},
        {"session", [](const ObservedRow&, std::string&) {}, readSession, "a finite number"},
    };
    return columns;
}

bool sameLetters(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

struct Point {
    int line = 1;
    bool phaseB = false;
    std::optional<float> value;
    double session = 0.0;
};

struct CaseRows {
    std::string name;
    int line = 1;
    std::vector<Point> points;  // in file order until sorted
};

class Reader {
public:
    Reader(std::string_view text, const PhaseLabels& labels, CsvLimits limits, ObservedData& data)
        : table_(text, observedColumns(), HeaderRule::Known, limits), labels_(labels), data_(data) {}

    void read() {
        if (header()) rows();
        if (const CsvError* e = table_.csvError()) problem(e->line, {}, e->message);
        if (data_.problems.empty() && cases_.empty())
            problem(table_.record().line + 1, {}, "no rows under the header");
        for (CaseRows& c : cases_)
            if (!spoiled_.contains(c.name)) finish(c);
        std::stable_sort(data_.problems.begin(), data_.problems.end(),
                         [](const DataProblem& a, const DataProblem& b) { return a.line < b.line; });
        if (!data_.problems.empty()) data_.cases.clear();
    }

private:
    void problem(int line, const std::string& caseName, std::string message) {
        data_.problems.push_back({line, caseName, std::move(message)});
    }

    bool header() {
        std::vector<TableProblem> found;
        const bool read = table_.readHeader(found);
        for (TableProblem& p : found) problem(p.line, {}, std::move(p.message));
        if (!read) {
            if (found.empty() && table_.csvError() == nullptr)
                problem(1, {}, "the file is empty: a header with the columns case, phase and value comes first");
            return false;
        }
        for (const std::size_t k : {kCase, kPhase, kValue})
            if (!table_.has(k))
                problem(table_.record().line, {},
                        std::string("missing column '") + observedColumns()[k].name +
                            "': the header needs case, phase and value");
        session_ = table_.has(kSession);
        return data_.problems.empty();
    }

    void rows() {
        std::vector<TableProblem> found;
        for (;;) {
            ObservedRow row;
            found.clear();
            const auto status = table_.next(row, found);
            if (status == TableReader<ObservedRow>::RowStatus::End) return;
            const int line = table_.record().line;
            for (TableProblem& p : found) problem(p.line, row.caseName, std::move(p.message));
            if (status == TableReader<ObservedRow>::RowStatus::Read)
                add(line, row);
            else
                spoiled_.insert(row.caseName);  // its order and phases would only repeat this
        }
    }

    void add(int line, const ObservedRow& row) {
        if (row.caseName.empty()) return problem(line, {}, "a row without a case name");
        const bool a = sameLetters(row.phase, labels_.a);
        if (!a && !sameLetters(row.phase, labels_.b)) {
            spoiled_.insert(row.caseName);
            return problem(line, row.caseName,
                           "unknown phase " + quotedExcerpt(row.phase) + " (the phases are " + labels_.a + " and " +
                               labels_.b + "; --phases names others)");
        }
        const auto [at, added] = index_.emplace(row.caseName, cases_.size());
        if (added) cases_.push_back({row.caseName, line, {}});
        cases_[at->second].points.push_back({line, !a, row.value, row.session});
    }

    // Checks one case in time order and hands it over.
    void finish(CaseRows& c) {
        if (session_) {
            std::stable_sort(c.points.begin(), c.points.end(),
                             [](const Point& x, const Point& y) { return x.session < y.session; });
            for (std::size_t i = 1; i < c.points.size(); ++i)
                if (c.points[i].session == c.points[i - 1].session)
                    return problem(c.points[i].line, c.name,
                                   "session " + doubleText(c.points[i].session) + " appears twice (first on line " +
                                       std::to_string(c.points[i - 1].line) + ")");
        }
        const Point* lastB = nullptr;
        for (const Point& p : c.points) {
            if (p.phaseB) lastB = &p;
            else if (lastB != nullptr)
                return problem(p.line, c.name,
                               "only AB designs are supported: phase " + labels_.a + " follows phase " + labels_.b +
                                   " (line " + std::to_string(lastB->line) + ") in time order");
        }
        ObservedCase out{c.name, c.line, 0, 0, 0, {}};
        for (const Point& p : c.points) {
            if (!p.value) ++out.nMissing;
            else {
                ++(p.phaseB ? out.nB : out.nA);
                out.values.push_back(*p.value);
            }
        }
        if (!phaseHasValue(c, false, out.nA) || !phaseHasValue(c, true, out.nB)) return;
        data_.cases.push_back(std::move(out));
    }

    // Whether the phase has a value; a problem naming the case otherwise.
    bool phaseHasValue(const CaseRows& c, bool phaseB, int values) {
        if (values > 0) return true;
        const std::string& label = phaseB ? labels_.b : labels_.a;
        const bool points = std::any_of(c.points.begin(), c.points.end(), [&](const Point& p) { return p.phaseB == phaseB; });
        problem(c.line, c.name,
                points ? "every value of phase " + label + " is NA or empty: each phase needs a value"
                       : "no point of phase " + label + ": only AB designs are supported");
        return false;
    }

    TableReader<ObservedRow> table_;
    const PhaseLabels& labels_;
    ObservedData& data_;
    bool session_ = false;
    std::vector<CaseRows> cases_;
    std::unordered_map<std::string, std::size_t> index_;
    std::unordered_set<std::string> spoiled_;  // cases with a row that could not be read
};

}  // namespace

ObservedData readObservedData(std::string_view text, const PhaseLabels& labels, CsvLimits limits) {
    ObservedData data;
    Reader(text, labels, limits, data).read();
    return data;
}

bool parsePhaseLabels(std::string_view text, PhaseLabels& labels, std::string& error) {
    const std::size_t comma = text.find(',');
    const std::string_view a = text.substr(0, comma);
    const std::string_view b = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (comma == std::string_view::npos || a.empty() || b.empty() || b.find(',') != std::string_view::npos) {
        error = "expected two phase labels separated by a comma, as A_LABEL,B_LABEL";
        return false;
    }
    if (sameLetters(a, b)) {
        error = "the two phase labels are the same";
        return false;
    }
    labels = {std::string(a), std::string(b)};
    return true;
}
