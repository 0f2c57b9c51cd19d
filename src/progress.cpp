#include "progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

std::string clockText(double seconds) {
    const auto s = static_cast<long long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    return buf;
}

Progress::Progress(std::ostream& err, bool enabled, std::size_t total, std::size_t done, std::string label)
    : err_(err), enabled_(enabled), total_(total), done_(done), resumed_(done), label_(std::move(label)),
      start_(std::chrono::steady_clock::now()) {
    show();
}

void Progress::detail(std::string text) {
    detail_ = std::move(text);
    show();
}

void Progress::step() {
    ++done_;
    show();
}

void Progress::finish() {
    if (enabled_) err_ << "\n" << std::flush;
}

void Progress::show() {
    if (!enabled_) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string line = label_;
    line += ": ";
    line += std::to_string(done_);
    if (total_ > 0) {
        line += '/';
        line += std::to_string(total_);
    }
    line += total_ == 0 && done_ == 1 ? " condition, " : " conditions, ";
    line += clockText(elapsed) + " elapsed";
    const std::size_t ran = done_ - resumed_;
    if (total_ > 0 && ran > 0 && done_ < total_)
        line += ", about " + clockText(elapsed / static_cast<double>(ran) * static_cast<double>(total_ - done_)) +
                " left";
    if (!detail_.empty()) {
        line += "; ";
        line += detail_;
    }
    const std::size_t width = std::max(line.size(), width_);
    width_ = line.size();
    line.resize(width, ' ');
    err_ << "\r" << line << std::flush;
}
