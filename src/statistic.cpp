#include "statistic.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

constexpr StatisticInfo kStatistics[] = {
    {Statistic::PlTau, "PL-Tau", true, Option::EffectSizes, true},
    {Statistic::TauU, "Tau-U", true, Option::EffectSizes, true},
    {Statistic::MpdR, "MPD-r", false, Option::EffectSizes, true},
    {Statistic::Ecl, "ECL", false, Option::EffectSizes, true},
    {Statistic::Pnd, "PND", true, Option::EffectSizes, true},
    {Statistic::Pncd, "PNCD", true, Option::EffectSizes, true},
    // On request only: every table and results file of the six stays as it was.
    {Statistic::MpdD, "MPD-d", false, Option::EffectSizes, false},
    {Statistic::Nap, "NAP", true, Option::EffectSizes, false},
    {Statistic::TauAB, "Tau-AB", true, Option::EffectSizes, false},
    {Statistic::Pem, "PEM", true, Option::EffectSizes, false},
    {Statistic::Smd, "SMD", false, Option::EffectSizes, false},
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

std::vector<Statistic> statisticsOf(Option option) {
    std::vector<Statistic> rows = defaultStatistics(option);
    for (const StatisticInfo& s : kStatistics)
        if (s.option == option && !s.byDefault) rows.push_back(s.statistic);
    return rows;
}

std::vector<Statistic> chosenStatistics(const std::vector<Statistic>& list, Option option) {
    if (list.empty()) return defaultStatistics(option);
    std::vector<Statistic> rows;
    for (const Statistic s : list)
        if (statisticInfo(s).option == option) rows.push_back(s);
    return rows;
}

bool parseStatisticList(std::string_view text, std::vector<Statistic>& out, std::string& error) {
    std::vector<Statistic> list;
    for (std::size_t at = 0;;) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string_view label = text.substr(at, comma - at);
        const std::optional<Statistic> s = statisticNamed(label);
        if (!s) {
            std::string known;
            for (const StatisticInfo& k : kStatistics) known += std::string(known.empty() ? "" : ", ") + k.label;
            error = (label.empty() ? std::string("an empty name") : "unknown statistic '" + std::string(label) + "'") +
                    " in the list of statistics; known: " + known;
            return false;
        }
        if (std::find(list.begin(), list.end(), *s) != list.end()) {
            error = "statistic '" + std::string(label) + "' is named twice";
            return false;
        }
        list.push_back(*s);
        if (comma == text.size()) break;
        at = comma + 1;
    }
    out = std::move(list);
    return true;
}
