#include "numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

const char* nonFiniteText(double value) {
    if (std::isnan(value)) return "NaN";
    return value > 0 ? "Inf" : "-Inf";
}

template <class T>
std::string shortest(T value) {
    if (!std::isfinite(value)) return nonFiniteText(static_cast<double>(value));
    char buf[40];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

// A decimal integer, optional sign, in [low, high].
template <class T>
bool readInteger(std::string_view text, T& value, long long low, long long high) {
    const std::string_view t = trimmed(text);
    if (t.empty()) return false;
    const char* begin = t.data();
    const char* end = t.data() + t.size();
    if (*begin == '+') ++begin;
    long long v = 0;
    const auto [stop, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || stop != end || v < low || v > high) return false;
    value = static_cast<T>(v);
    return true;
}

// The whole text as strtof or strtod reads it.
template <class T, class Parse>
bool readFloating(std::string_view text, T& value, Parse parse) {
    const std::string t(trimmed(text));
    if (t.empty()) return false;
    char* end = nullptr;
    const T v = parse(t.c_str(), &end);
    if (end != t.c_str() + t.size()) return false;
    value = v;
    return true;
}

}  // namespace

std::string parameterText(float value) { return shortest(value); }

std::string floatText(float value) {
    if (!std::isfinite(value)) return nonFiniteText(static_cast<double>(value));
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
    return buf;
}

std::string doubleText(double value) { return shortest(value); }

bool readWhole(std::string_view text, int& value) {
    return readInteger(text, value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

bool readSeed(std::string_view text, std::uint32_t& value) {
    return readInteger(text, value, 0, std::numeric_limits<std::uint32_t>::max());
}

bool readCount(std::string_view text, long long& value) {
    return readInteger(text, value, 0, std::numeric_limits<long long>::max());
}

bool readParameter(std::string_view text, float& value) {
    return readFloating(text, value, [](const char* s, char** e) { return std::strtof(s, e); });
}

bool readReal(std::string_view text, double& value) {
    return readFloating(text, value, [](const char* s, char** e) { return std::strtod(s, e); });
}

bool isNotAvailable(std::string_view text) { return trimmed(text) == kNotAvailable; }
