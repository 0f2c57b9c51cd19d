// The design of a study: a list of conditions, each one model of the dialogue
// with an option and an identifier; the design file (a table of the CSV
// dialect) that holds them; and each condition's identity and seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model.h"
#include "numbertext.h"
#include "runs.h"
#include "table.h"

// One condition of a study: the option and the model parameters of one run.
struct Condition {
    int id = 0;
    Option option = Option::EffectSizes;
    ModelParameters model;
};

// Whether a and b are the same condition: the same identifier, option,
// lengths and the same bits in every parameter (so NaN equals NaN, and -0
// is not 0).
bool sameCondition(const Condition& a, const Condition& b);

// ---- The design columns ----------------------------------------------------

// The condition a row of a table holds; tables whose rows hold a condition
// overload it, so that their columns start with the condition's.
inline Condition& conditionOf(Condition& c) { return c; }
inline const Condition& conditionOf(const Condition& c) { return c; }

namespace design_detail {

template <class Row, int ModelParameters::*Member>
TableColumn<Row> lengthColumn(const char* name, const char* title) {
    return {name, [](const Row& r, std::string& out) { out += std::to_string(conditionOf(r).model.*Member); },
            [](std::string_view t, Row& r) { return readWhole(t, conditionOf(r).model.*Member); }, "a whole number",
            [](const Row& r) { return static_cast<double>(conditionOf(r).model.*Member); }, title};
}

template <class Row, float ModelParameters::*Member>
TableColumn<Row> parameterColumn(const char* name, const char* title) {
    return {name, [](const Row& r, std::string& out) { out += parameterText(conditionOf(r).model.*Member); },
            [](std::string_view t, Row& r) { return readParameter(t, conditionOf(r).model.*Member); }, "a number",
            [](const Row& r) { return static_cast<double>(conditionOf(r).model.*Member); }, title};
}

}  // namespace design_detail

// The columns of a condition, in file order: condition_id, option, n_a,
// n_b, trend, level, slope, sd_a, sd_b, ar1 and ma1.  Whole numbers as
// decimals, the parameters as their shortest text; read as the dialogue
// reads its entries.  Every column after condition_id is a factor of the
// design.
template <class Row>
Columns<Row> conditionColumns() {
    using namespace design_detail;
    return {
        {"condition_id", [](const Row& r, std::string& out) { out += std::to_string(conditionOf(r).id); },
         [](std::string_view t, Row& r) { return readWhole(t, conditionOf(r).id); }, "a whole number",
         [](const Row& r) { return static_cast<double>(conditionOf(r).id); }, "Condition"},
        {"option",
         [](const Row& r, std::string& out) { out += std::to_string(static_cast<int>(conditionOf(r).option)); },
         [](std::string_view t, Row& r) {
             int v = 0;
             if (!readWhole(t, v)) return false;
             conditionOf(r).option = static_cast<Option>(v);
             return true;
         },
         "a whole number", [](const Row& r) { return static_cast<double>(conditionOf(r).option); }, "Option"},
        lengthColumn<Row, &ModelParameters::nA>("n_a", "A phase length"),
        lengthColumn<Row, &ModelParameters::nB>("n_b", "B phase length"),
        parameterColumn<Row, &ModelParameters::fB1>("trend", "Baseline trend"),
        parameterColumn<Row, &ModelParameters::fB2>("level", "Level change"),
        parameterColumn<Row, &ModelParameters::fB3>("slope", "Slope change"),
        parameterColumn<Row, &ModelParameters::fSA>("sd_a", "A phase SD"),
        parameterColumn<Row, &ModelParameters::fSB>("sd_b", "B phase SD"),
        parameterColumn<Row, &ModelParameters::fAR1>("ar1", "AR(1) coefficient"),
        parameterColumn<Row, &ModelParameters::fMA1>("ma1", "MA(1) coefficient"),
    };
}

// The design file's table: the condition's columns.
const Columns<Condition>& designColumns();

// The header line and one line per condition.
std::string designText(const std::vector<Condition>& design);

// ---- Reading ---------------------------------------------------------------

// One problem of a design file, at a 1-based line and column.
using DesignError = TableProblem;

// parseDesign stops reading rows once it has found this many problems.
inline constexpr std::size_t kDesignProblemLimit = 100;

// Reads a design from CSV text: every column once, in any order.  Values
// are checked as a run checks them: option 1 or 2, lengths within the
// option's limits, not both coefficients non-zero, identifiers positive and
// unique.  Every problem found is returned (the design is then empty).  A
// first column without a name (the row names R's write.csv writes) is
// passed over, and note says so.  A file separated by semicolons or tabs
// gets one problem that says so.
std::vector<DesignError> parseDesign(std::string_view text, std::vector<Condition>& design, CsvLimits limits = {},
                                     std::string* note = nullptr);

// The first value problem of a condition (option, lengths within the
// option's limits, not both coefficients non-zero) as parseDesign words it;
// empty when the condition is valid.
std::string conditionProblem(const Condition& c);

// ---- Identity and seeds ----------------------------------------------------

// 64-bit FNV-1a of a text.
std::uint64_t fnv1a64(const std::string& text);

// The canonical text of a condition's parameters: option, lengths and the
// seven floats by their bit patterns (a negative zero counts as zero).  The
// identifier and the row position are not part of it.
std::string canonicalParameters(const Condition& c);

// The design's fingerprint: FNV-1a 64 over the canonical parameters and
// identifiers of all conditions in ascending identifier order, as 16 hex
// digits.  Every shard of one design file has the same fingerprint, and so
// does a reordering of its rows.
std::string designHash(const std::vector<Condition>& design);

// A condition's own seed in per-condition mode: FNV-1a 64 over the text
// "zelkor-seed-1;base=<base seed>;" followed by the canonical parameters,
// folded to 32 bits as (h >> 32) ^ (h & 0xffffffff).  It depends on the base
// seed and the parameters only, so neither the row order, nor the sharding,
// nor rows added later change it.
std::uint32_t conditionSeed(std::uint32_t baseSeed, const Condition& c);
