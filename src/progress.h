// The progress line of a long run on a terminal: conditions done, time
// elapsed and an estimate of what remains from the pace of the conditions
// this process has run.  A run whose number of conditions is not known
// beforehand (a planning search) gives a total of 0: the line then counts
// the conditions done without an estimate, and may carry a detail on the
// condition in hand.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

class Progress {
public:
    // Shows the first line at once when enabled; writes nothing otherwise.
    // The line starts with "<label>: ".
    Progress(std::ostream& err, bool enabled, std::size_t total, std::size_t done, std::string label = "grid");

    // Text after the counts ("n_b 17 at 4000 series"); empty for none.
    void detail(std::string text);

    // One more condition done.
    void step();

    // Ends the line.
    void finish();

private:
    void show();

    std::ostream& err_;
    bool enabled_;
    std::size_t total_;
    std::size_t done_;
    std::size_t resumed_;
    std::size_t width_ = 0;
    std::string label_;
    std::string detail_;
    std::chrono::steady_clock::time_point start_;
};

// "1:05" or "2:03:07" for a number of seconds.
std::string clockText(double seconds);
