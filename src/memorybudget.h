// The memory a study run will need, known before it starts, and the memory
// the process can have: so that a count of replications that cannot fit
// (--replications 2147483647) is refused at once with the figure, instead
// of driving the machine into the kernel's out-of-memory killer.
//
// Contract:
// - runMemory(shape, replications) is the bytes that scale with the
//   replications of one condition's run, for the largest condition of a
//   design; nullopt when the figure does not fit in 64 bits.  Per series:
//     4 bytes per statistic (its value) and per test (its p-value), kept
//       for the whole condition;
//     4 bytes for the sorted copy that summarising one statistic makes;
//     with per-series output, kPerSeriesLineBytes per statistic, twice (the
//       condition's lines are built as one string, which grows by doubling).
//   The figure is a floor: workspaces, threads, the block runner's starting
//   states (a few per worker) and the program itself come on top, and do
//   not grow with the replications.
// - memoryCeiling() is the least of the machine's physical memory
//   (sysconf), the address-space limit (RLIMIT_AS, ulimit -v) and the
//   memory limit of the process's control group (cgroup v2 memory.max,
//   which Slurm and containers set), with the name of the one that binds.
//   Never zero: an unknown ceiling is the largest 64-bit count, "unknown".
// - memoryRefusal(need, ceiling) is empty when need fits under the ceiling;
//   otherwise one phrase for a command's prefix, e.g.
//       "the run needs at least 80.0 GiB of memory for its per-series
//        arrays; the machine's physical memory is 23.4 GiB"
//   (the command exits with status 2).  A ceiling of the command's own
//   ({bytes, "--max-memory"}) reads "...; --max-memory is 4 GiB".
// - parseMemorySize("4G") reads a size for an option such as --max-memory:
//   a whole number of bytes, or a number (decimals allowed) with K, M, G or T
//   (binary units; "KiB", "MB" and the like read the same); false for
//   anything else, zero, or a size past 64 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct RunShape {
    int statistics = 0;      // rows of the run (6 for option 1, 2 for option 2)
    int tests = 0;           // rows with p-values (4 and 2)
    bool perSeries = false;  // per-series lines are written
};

// Bytes of one per-series line at most: "id,statistic,series,value,p\n".
inline constexpr std::uint64_t kPerSeriesLineBytes = 64;

std::optional<std::uint64_t> runMemory(const RunShape& shape, std::uint64_t replications);

struct MemoryCeiling {
    std::uint64_t bytes = 0;
    std::string source;  // what sets it: "the machine's physical memory", ...
};

MemoryCeiling memoryCeiling();

std::string memoryRefusal(std::uint64_t need, const MemoryCeiling& ceiling);

bool parseMemorySize(std::string_view text, std::uint64_t& bytes);
