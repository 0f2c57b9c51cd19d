// The statistics a run can report: one description of each (its label, its
// test, the option whose runs produce it and whether the option's table
// shows it by default), and the rows a run hands to its readers.
//
// Every reader of statistics (the dialogue's table, the study's results,
// resume and merge, the plots, the tests) takes labels, tests and row order
// from here.  Adding a statistic is one entry in statistic.cpp plus its
// computation in the option's run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The two analyses; chosen once per dialogue, per condition in a study.
enum class Option { EffectSizes = 1, Varden = 2 };

// The statistics, one per row of a table.
enum class Statistic { PlTau, TauU, MpdR, Ecl, Pnd, Pncd, SimD, SimR, MpdD, Nap, TauAB, Pem, Smd };

struct StatisticInfo {
    Statistic statistic;
    const char* label;  // as the table prints it, at most six characters: "PL-Tau"
    bool hasTest;       // a p-value per series, so a share of significant series
    Option option;      // the option whose runs compute it
    bool byDefault;     // a row of the option's table unless a run asks otherwise
};

// The statistics of the first option that no table shows by default (MPD's
// d, NAP, Tau-AB, PEM, SMD) are computed only where a study or an analysis
// names them.

// Every statistic, in table order within each option.
std::span<const StatisticInfo> allStatistics();

const StatisticInfo& statisticInfo(Statistic statistic);

// The rows of an option's table, in order: what the dialogue prints and a
// study's results hold for a condition of that option.
std::vector<Statistic> defaultStatistics(Option option);

// The statistic with this label, exactly as the table prints it.
std::optional<Statistic> statisticNamed(std::string_view label);

// Every statistic of an option, in table order: the defaults first, then
// those that are computed only on request.
std::vector<Statistic> statisticsOf(Option option);

// The rows of an option when a run names its statistics: those of the list
// that belong to the option, in the list's order; the option's table when
// the list is empty.
std::vector<Statistic> chosenStatistics(const std::vector<Statistic>& list, Option option);

// A list of labels, separated by commas ("PL-Tau,NAP"), as the statistics in
// the list's order.  False with a message naming the first label that is
// unknown or named twice, or an empty list.
bool parseStatisticList(std::string_view text, std::vector<Statistic>& out, std::string& error);

// One statistic's row: its per-iteration values and, for a statistic with a
// test, per-iteration p-values; the running sum behind the mean (see
// runningSum in summary.h) and the exact count of significant iterations.
struct StatisticRow {
    Statistic statistic = Statistic::PlTau;
    std::vector<float> values;   // in iteration order
    std::vector<float> pValues;  // in iteration order; empty without a test
    float sum = 0.0f;
    std::int64_t significant = 0;
};
