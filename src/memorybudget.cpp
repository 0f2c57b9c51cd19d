#include "memorybudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "boundedread.h"
#include "messagetext.h"

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
// /proc and /sys files read here are a few lines long.
constexpr std::uint64_t kSmallFile = 64 * 1024;

// a * b + c, or nullopt past 64 bits.
std::optional<std::uint64_t> mulAdd(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    std::uint64_t product = 0;
    std::uint64_t sum = 0;
    if (__builtin_mul_overflow(a, b, &product) || __builtin_add_overflow(product, c, &sum)) return std::nullopt;
    return sum;
}

// The least memory.max of the control group and its ancestors (cgroup v2).
std::uint64_t controlGroupLimit() {
    std::string text;
    std::string error;
    if (!readBoundedFile("/proc/self/cgroup", kSmallFile, text, error)) return kUnlimited;
    std::string group;
    bool found = false;
    for (std::size_t start = 0; start < text.size() && !found;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (text.compare(start, 3, "0::") == 0) group = text.substr(start + 3, end - start - 3), found = true;
        start = end + 1;
    }
    if (!found) return kUnlimited;
    std::uint64_t least = kUnlimited;
    for (;;) {
        std::string value;
        if (readBoundedFile("/sys/fs/cgroup" + group + "/memory.max", kSmallFile, value, error) &&
            value.rfind("max", 0) != 0) {
            const std::uint64_t bytes = std::strtoull(value.c_str(), nullptr, 10);
            if (bytes > 0) least = std::min(least, bytes);
        }
        if (group.empty() || group == "/") break;
        group.erase(group.rfind('/'));
    }
    return least;
}

}  // namespace

std::optional<std::uint64_t> runMemory(const RunShape& shape, std::uint64_t replications) {
    const auto statistics = static_cast<std::uint64_t>(std::max(shape.statistics, 0));
    const auto tests = static_cast<std::uint64_t>(std::max(shape.tests, 0));
    std::uint64_t perSeries = 4 * (statistics + tests) + 4;
    if (shape.perSeries) perSeries += 2 * kPerSeriesLineBytes * statistics;
    return mulAdd(replications, perSeries, 0);
}

MemoryCeiling memoryCeiling() {
    MemoryCeiling ceiling{kUnlimited, "the memory available (unknown)"};
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        if (const auto physical = mulAdd(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(pageSize), 0))
            ceiling = {*physical, "the machine's physical memory"};
    }
    rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<std::uint64_t>(limit.rlim_cur) < ceiling.bytes)
        ceiling = {static_cast<std::uint64_t>(limit.rlim_cur), "the address-space limit (ulimit -v)"};
    if (const std::uint64_t group = controlGroupLimit(); group < ceiling.bytes)
        ceiling = {group, "the control group's memory limit (memory.max)"};
    return ceiling;
}

std::string memoryRefusal(std::uint64_t need, const MemoryCeiling& ceiling) {
    if (need <= ceiling.bytes) return {};
    return "the run needs at least " + sizeText(need) + " of memory for its per-series arrays; " + ceiling.source +
           " is " + sizeText(ceiling.bytes);
}

bool parseMemorySize(std::string_view text, std::uint64_t& bytes) {
    std::size_t digits = 0;
    while (digits < text.size() && ((text[digits] >= '0' && text[digits] <= '9') || text[digits] == '.')) ++digits;
    const std::string number(text.substr(0, digits));
    std::string unit(text.substr(digits));
    for (char& c : unit) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (number.empty() || number == "." || number.find('.') != number.rfind('.')) return false;
    int power = -1;
    static const char* const kUnits[][3] = {{"", "B", "B"}, {"K", "KB", "KIB"}, {"M", "MB", "MIB"},
                                            {"G", "GB", "GIB"}, {"T", "TB", "TIB"}};
    for (int p = 0; p < 5 && power < 0; ++p) {
        for (const char* name : kUnits[p]) {
            if (unit == name) power = p;
        }
    }
    if (power < 0 || (power == 0 && number.find('.') != std::string::npos)) return false;
    const long double value = std::strtold(number.c_str(), nullptr) * std::pow(1024.0L, power);
    if (!(value >= 1.0L) || value >= 18446744073709551616.0L) return false;
    bytes = static_cast<std::uint64_t>(value);
    return true;
}
