// The small JSON file beside every results file: where the results come from
// (design fingerprint, shard, seeds, replications, alpha, command line), so
// that parts of one study can be checked before they are merged, an
// interrupted run before it is resumed, and a plot can take the run's alpha.
//
// Read and written with nlohmann/json.  Fields, in this order: format
// ("zelkor-grid-results"), format_version (the results file's format,
// results.h; versions 1 and 2 read), program_version, design_hash,
// design_conditions, shard, shards, conditions (the ids in the file),
// seed_mode, seed, replications (a number, or "default"), alpha, per_series
// (a path, or null), statistics (the labels of --statistics; absent when a
// run computed each option's table) and command_line; per_series_bytes and
// command_line_bytes beside those two when their bytes are not UTF-8; last
// rows_digest (partcheck.h) in the sidecar of a finished file (version 0.1
// wrote none).
//
// The reader refuses, naming the field, values no run writes: a format
// other than this one, a design hash that is not 16 hex digits, fewer than
// one condition in the design, a shard outside 1..shards, condition ids
// that are not positive and ascending or more than the design has, a seed
// mode other than the two, a replication count below 1, an alpha outside
// (0, 1), a rows_digest that is not "sha256:" and 64 hex digits.
//
// To add a field: a member here, one line in sidecarJson, and its reading in
// parseSidecar with a default when it is absent (so that sidecars written
// before still read); studyDifference names it when it describes the study.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results.h"

struct Sidecar {
    int formatVersion = kResultsFormatVersion;
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
    std::vector<std::string> statistics;  // labels of --statistics; empty: each option's table
    std::string commandLine;
    std::string rowsDigest;          // "sha256:..." of a finished file; empty before, and from version 0.1
};

// The sidecar as JSON text.  A text that is not UTF-8 (a path in another
// encoding) is stored readable (jsonText) with its exact bytes in a field
// NAME_bytes beside it (exactText), so the file is always valid JSON and
// reads back as the very bytes.
std::string sidecarJson(const Sidecar& s);

// Reads a sidecar; false with a message when the text is not one.  A
// sidecar that holds raw bytes that are not UTF-8 in its strings, as
// version 0.1 wrote them, reads back as those bytes.
bool parseSidecar(const std::string& text, Sidecar& s, std::string& error);

// The name of the first field (in the order above) in which two sidecars
// describe different studies or settings: everything but the shard, the
// conditions, the per-series file and the command line.  Empty when none.
std::string studyDifference(const Sidecar& a, const Sidecar& b);

// The sidecar of an analysis of observed data (zelkor analyse): fields
// format ("zelkor-analysis-results"), format_version, program_version, data
// (the input file), statistics (their labels, in the results' order), seed
// (of the method's inner simulations, the same for every case), wide and
// command_line; NAME_bytes beside a text whose bytes are not UTF-8.
struct AnalysisSidecar {
    std::string programVersion;
    std::string data;
    std::vector<std::string> statistics;
    std::uint32_t seed = 0;
    bool wide = false;
    std::string commandLine;
};

std::string analysisSidecarJson(const AnalysisSidecar& s);
