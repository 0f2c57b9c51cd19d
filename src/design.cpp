#include "design.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

namespace {

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// The canonical bits of a parameter: a negative zero is the same
// coefficient as zero, and every NaN one NaN (designs refuse them; results
// files of older runs may hold them).
std::string bitsText(float value) {
    if (value == 0.0f) value = 0.0f;
    if (std::isnan(value)) value = std::numeric_limits<float>::quiet_NaN();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(bits(value)));
    return buf;
}

constexpr std::size_t kIdColumn = 0;

// The value problems of a condition: (design column index, message).
std::vector<std::pair<std::size_t, std::string>> problems(const Condition& c) {
    std::vector<std::pair<std::size_t, std::string>> found;
    const int option = static_cast<int>(c.option);
    if (option != 1 && option != 2) {
        found.emplace_back(1, "option must be 1 or 2, found " + std::to_string(option));
        return found;
    }
    const int limit = maxPhaseLength(c.option);
    const auto length = [&](std::size_t column, const char* name, int n) {
        if (n < 1 || n > limit)
            found.emplace_back(column, std::string(name) + " must be from 1 to " + std::to_string(limit) +
                                           " with option " + std::to_string(option) + ", found " +
                                           std::to_string(n));
    };
    length(2, "n_a", c.model.nA);
    length(3, "n_b", c.model.nB);
    // NaN or an infinity describes no model.
    const std::pair<const char*, float> parameters[] = {
        {"trend", c.model.fB1}, {"level", c.model.fB2}, {"slope", c.model.fB3}, {"sd_a", c.model.fSA},
        {"sd_b", c.model.fSB},  {"ar1", c.model.fAR1},  {"ma1", c.model.fMA1}};
    for (std::size_t k = 0; k < std::size(parameters); ++k)
        if (!std::isfinite(parameters[k].second))
            found.emplace_back(4 + k, std::string(parameters[k].first) + " must be a finite number, found " +
                                          parameterText(parameters[k].second));
    // Not zero, as the dialogue tests it: NaN counts as non-zero.
    if (!(c.model.fAR1 == 0.0f) && !(c.model.fMA1 == 0.0f))
        found.emplace_back(10, "ar1 and ma1 are both non-zero; a condition has an AR(1) or an MA(1) "
                               "coefficient, not both");
    return found;
}

// A first line without a comma that holds semicolons or tabs: a file of
// another separator, told in one message rather than one per missing
// column.  Empty otherwise.
std::string otherSeparator(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
    if (first.find(',') != std::string_view::npos) return "";
    const char* what = first.find(';') != std::string_view::npos    ? "semicolons (as R's write.csv2 writes them)"
                       : first.find('\t') != std::string_view::npos ? "tabs"
                                                                    : nullptr;
    if (what == nullptr) return "";
    return std::string("the fields are separated by ") + what +
           "; a design file separates them by commas (in R: write.csv)";
}

// Reads the rows below the header, checking each condition as it comes.
class DesignRows {
public:
    DesignRows(TableReader<Condition>& reader, std::vector<DesignError>& errors)
        : reader_(reader), errors_(errors) {}

    void readAll(std::vector<Condition>& design) {
        Condition c;
        while (errors_.size() < kDesignProblemLimit) {
            const std::size_t before = errors_.size();
            c = Condition{};
            const auto status = reader_.next(c, errors_);
            if (status == TableReader<Condition>::RowStatus::End) break;
            if (reader_.record().fields.size() != reader_.headerSize()) continue;  // counted already
            const bool readable = status == TableReader<Condition>::RowStatus::Read;
            bool valid = checkId(c, idRead(before)) && readable;
            if (!readable) continue;
            for (const auto& [k, message] : problems(c)) {
                fail(k, message);
                valid = false;
            }
            if (valid) design.push_back(c);
        }
    }

private:
    int columnOf(std::size_t k) const {
        return reader_.record().fields[static_cast<std::size_t>(reader_.position(k) - 1)].column;
    }

    void fail(std::size_t k, std::string message) {
        errors_.push_back({reader_.record().line, columnOf(k), std::move(message)});
    }

    // Whether the row's identifier was read: no problem since `before` at its cell.
    bool idRead(std::size_t before) const {
        return std::none_of(errors_.begin() + static_cast<std::ptrdiff_t>(before), errors_.end(),
                            [&](const DesignError& e) { return e.column == columnOf(kIdColumn); });
    }

    // A positive identifier, not seen before; true when there is nothing to say.
    bool checkId(const Condition& c, bool read) {
        if (!read) return true;
        if (c.id <= 0) {
            fail(kIdColumn, "condition_id must be a positive whole number, found " + std::to_string(c.id));
            return false;
        }
        const auto [it, inserted] = firstLineOf_.emplace(c.id, reader_.record().line);
        if (inserted) return true;
        fail(kIdColumn, "duplicate condition_id " + std::to_string(c.id) + " (first on line " +
                            std::to_string(it->second) + ")");
        return false;
    }

    TableReader<Condition>& reader_;
    std::vector<DesignError>& errors_;
    std::map<int, int> firstLineOf_;  // condition_id -> line
};

}  // namespace

bool sameCondition(const Condition& a, const Condition& b) {
    const ModelParameters& x = a.model;
    const ModelParameters& y = b.model;
    return a.id == b.id && a.option == b.option && x.nA == y.nA && x.nB == y.nB && bits(x.fB1) == bits(y.fB1) &&
           bits(x.fB2) == bits(y.fB2) && bits(x.fB3) == bits(y.fB3) && bits(x.fSA) == bits(y.fSA) &&
           bits(x.fSB) == bits(y.fSB) && bits(x.fAR1) == bits(y.fAR1) && bits(x.fMA1) == bits(y.fMA1);
}

const Columns<Condition>& designColumns() {
    static const Columns<Condition> columns = conditionColumns<Condition>();
    return columns;
}

std::string designText(const std::vector<Condition>& design) {
    std::string text = headerLine(designColumns());
    for (const Condition& c : design) appendLine(designColumns(), c, text);
    return text;
}

// ---- Reading ---------------------------------------------------------------

std::vector<DesignError> parseDesign(std::string_view text, std::vector<Condition>& design, CsvLimits limits,
                                     std::string* note) {
    design.clear();
    if (const std::string other = otherSeparator(text); !other.empty()) return {{1, 1, other}};
    std::vector<DesignError> errors;
    TableReader<Condition> reader(text, designColumns(), HeaderRule::Complete, limits);
    reader.passOverUnnamedFirstColumn();
    const bool header = reader.readHeader(errors);
    if (!header && errors.empty() && reader.csvError() == nullptr)
        errors.push_back({1, 1, "the design is empty: no header line"});
    if (header && reader.passedOverFirstColumn() && note != nullptr)
        *note = "the first column has no name: row names, as R's write.csv writes them; passed over";
    if (header) DesignRows(reader, errors).readAll(design);
    if (const CsvError* e = reader.csvError()) errors.push_back({e->line, e->column, e->message});
    if (errors.empty() && design.empty())
        errors.push_back({reader.record().line + 1, 1, "the design has no conditions"});
    if (!errors.empty()) design.clear();
    // A header or a row can tell several problems at once; no more than the
    // limit are reported.
    if (errors.size() > kDesignProblemLimit)
        errors.erase(errors.begin() + static_cast<std::ptrdiff_t>(kDesignProblemLimit), errors.end());
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
