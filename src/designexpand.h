// A design from factor specifications: every combination of the factors'
// values, as `grid expand` writes it.
#pragma once

#include <string>
#include <vector>

#include "design.h"

// The most conditions an expansion may give.
inline constexpr long long kMaxConditions = 10000000;

// The values of one factor: "a,b,c", "from:to:step" (inclusive, step > 0)
// or "from:to" (step 1).
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

struct Expansion {
    std::vector<Condition> design;
    long double combinations = 0;  // the product of the lists' sizes
    long long skipped = 0;         // combinations left out: both ar1 and ma1 non-zero
    bool tooMany = false;          // more than kMaxConditions combinations: nothing was expanded
};

// The Cartesian product, n_a varying slowest and ma1 fastest, numbered from 1.
// Combinations with both ar1 and ma1 non-zero are left out and counted.
Expansion expandDesign(const FactorLists& factors);
