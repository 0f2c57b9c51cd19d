// The summary `zelkor plan` prints: the question, how the search ended (the
// answer and its neighbour on the other side of the target, each with its
// rejection rate, counts and Monte-Carlo interval; or what stopped it), the
// lengths evaluated, the series spent and the time taken.
#pragma once

#include <string>

#include "powersearch.h"

struct PlanDescription {
    std::string statistic;  // its label
    std::string factor;     // the searched length: "n_b", "n_a" or "n_a = n_b"
    std::string fixed;      // the fixed factors: "option 1, n_a 5, trend 0, ..."
    double alpha = 0.05;
    SearchQuestion question;
};

// The summary's lines, each with its line end; the last one gives the time.
std::string planSummary(const PlanDescription& d, const PlanResult& r, double seconds);
