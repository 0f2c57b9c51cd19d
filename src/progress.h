// The progress line of a long grid run on a terminal: conditions done, time
// elapsed and an estimate of what remains from the pace of the conditions
// this process has run.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

class Progress {
public:
    // Shows the first line at once when enabled; writes nothing otherwise.
    Progress(std::ostream& err, bool enabled, std::size_t total, std::size_t done);

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
    std::chrono::steady_clock::time_point start_;
};

// "1:05" or "2:03:07" for a number of seconds.
std::string clockText(double seconds);
