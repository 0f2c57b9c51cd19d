// The small JSON file beside every results file: where the results come from
// (design fingerprint, shard, seeds, replications, alpha, command line), so
// that parts of one study can be checked before they are merged and an
// interrupted run before it is resumed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kSidecarFormatVersion = 1;

struct Sidecar {
    int formatVersion = kSidecarFormatVersion;
    std::string programVersion;
    std::string designHash;
    long long designConditions = 0;  // conditions in the whole design
    int shard = 1;                   // K of --shard K/N
    int shards = 1;                  // N
    std::vector<int> conditions;     // condition ids in this file, ascending
    std::string seedMode;            // "fixed" or "per-condition"
    std::uint32_t seed = 0;          // the fixed seed or the base seed
    int replications = 0;            // 0: each option's default
    double alpha = 0.05;
    std::string perSeries;           // the per-series file, empty without one
    std::string commandLine;
};

// The sidecar as JSON text, one field per line.
std::string sidecarJson(const Sidecar& s);

// Reads a sidecar; false with a message when the text is not one.
bool parseSidecar(const std::string& text, Sidecar& s, std::string& error);

// A string as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);

// The name of the first field (in the order above) in which two sidecars
// describe different studies or settings: everything but the shard, the
// conditions, the per-series file and the command line.  Empty when none.
std::string studyDifference(const Sidecar& a, const Sidecar& b);
