#include "statistic.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr StatisticInfo kStatistics[] = {
    {Statistic::PlTau, "PL-Tau", true, Option::EffectSizes, true},
    {Statistic::TauU, "Tau-U", true, Option::EffectSizes, true},
    {Statistic::MpdR, "MPD-r", false, Option::EffectSizes, true},
    {Statistic::Ecl, "ECL", false, Option::EffectSizes, true},
    {Statistic::Pnd, "PND", true, Option::EffectSizes, true},
    {Statistic::Pncd, "PNCD", true, Option::EffectSizes, true},
    // Both rows of the method are tested by the one p-value of its
    // standardised difference.
    {Statistic::SimD, "SIM-d", true, Option::Varden, true},
    {Statistic::SimR, "SIM-r", true, Option::Varden, true},
};

}  // namespace

std::span<const StatisticInfo> allStatistics() { return kStatistics; }

const StatisticInfo& statisticInfo(Statistic statistic) {
    const auto* found = std::find_if(std::begin(kStatistics), std::end(kStatistics),
                                     [statistic](const StatisticInfo& s) { return s.statistic == statistic; });
    // Every enumerator has its entry (a test checks it).
    return found != std::end(kStatistics) ? *found : kStatistics[0];
}

std::vector<Statistic> defaultStatistics(Option option) {
    std::vector<Statistic> rows;
    for (const StatisticInfo& s : kStatistics)
        if (s.option == option && s.byDefault) rows.push_back(s.statistic);
    return rows;
}

std::optional<Statistic> statisticNamed(std::string_view label) {
    for (const StatisticInfo& s : kStatistics)
        if (label == s.label) return s.statistic;
    return std::nullopt;
}
