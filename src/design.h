// The design of a study: a list of conditions, each one model of the dialogue
// with an option and an identifier, expanded from factor specifications or
// read from a design CSV file, and the seed each condition runs with.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "runs.h"

// One condition of a study: the option and the model parameters of one run.
struct Condition {
    int id = 0;
    Option option = Option::EffectSizes;
    ModelParameters model;
};

// The design CSV's header, column for column.
inline constexpr const char* kDesignColumns[] = {"condition_id", "option", "n_a",   "n_b",
                                                  "trend",        "level",  "slope", "sd_a",
                                                  "sd_b",         "ar1",    "ma1"};
inline constexpr int kDesignColumnCount = 11;

// A number that R reads back as the same value: the shortest text that reads
// back as the same float, and NaN, Inf and -Inf for the non-finite values.
std::string floatText(float value);

// The design columns of one condition, comma-separated, without a line end.
std::string conditionText(const Condition& c);

// The header line and one line per condition.
std::string designText(const std::vector<Condition>& design);

// ---- Expansion -------------------------------------------------------------

// The values of one factor: "a,b,c" or "from:to:step" (inclusive, step > 0).
// Integers for the phase lengths, floats (strtof grammar) for the others.
// False with a message on an unreadable list or range.
bool parseIntList(const std::string& list, std::vector<int>& values, std::string& error);
bool parseFloatList(const std::string& list, std::vector<float>& values, std::string& error);

struct FactorLists {
    Option option = Option::EffectSizes;
    std::vector<int> nA, nB;
    std::vector<float> trend{0.0f}, level{0.0f}, slope{0.0f};
    std::vector<float> sdA{1.0f}, sdB{1.0f};
    std::vector<float> ar1{0.0f}, ma1{0.0f};
};

// The Cartesian product, n_a varying slowest and ma1 fastest, numbered from 1.
// Combinations with both ar1 and ma1 non-zero are left out; skipped counts them.
std::vector<Condition> expandDesign(const FactorLists& factors, long long& skipped);

// ---- Reading ---------------------------------------------------------------

// One problem of a design file, at a 1-based line and column.
struct DesignError {
    int line = 0;
    int column = 0;
    std::string message;
};

// Reads a design from CSV text.  The columns may stand in any order; fields
// may be quoted; a CR before the line end and blank lines are ignored.  Every
// problem found is returned (the design is then unusable).
std::vector<DesignError> parseDesign(const std::string& text, std::vector<Condition>& design);

// Problems of one condition's values: option, lengths within the option's
// limits, not both coefficients non-zero.  Empty when the condition is valid.
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
