// A finished results file (a run's output, a shard's part) checked against
// the sidecar beside it, so that a merge takes only rows that the run its
// sidecar describes wrote, unchanged:
//
// - rowsDigest(s, text) seals a results file: SHA-256 (Nettle) over a
//   line naming the digest's version, the sidecar's settings (format
//   version, design hash and size, shard K/N, seed mode, seed,
//   replications, alpha) and every byte after the file's header line,
//   written "sha256:" and 64 lower-case hex digits.  A run records it in
//   the sidecar's rows_digest when it finishes; any later change of a row
//   byte or of a setting gives another digest.  It guards against accidents
//   (an edited cell, parts and sidecars mixed up, rows of another run), not
//   against someone who recomputes it.
// - rowsProblem(blocks, s) is the first row whose n_sim or seed is not the
//   one the settings give its condition (the replications, or the option's
//   default; the fixed seed, or the condition's own seed from the base
//   seed), or whose condition is not the next one the sidecar lists.
// - designProblem(conditions, s) tells whether conditions (every condition
//   of the study, as the parts' rows hold them) make the design the
//   sidecars name: the same count and the same design_hash.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resultsread.h"
#include "sidecar.h"

std::string rowsDigest(const Sidecar& s, std::string_view resultsText);

// Sets s.rowsDigest from the results file at path, as a run does before it
// writes its finished sidecar; false with "PATH: why" when it cannot be read.
bool sealSidecar(const std::string& resultsPath, Sidecar& s, std::string& error);

std::optional<TableProblem> rowsProblem(const std::vector<ResultBlock>& blocks, const Sidecar& s);

// The first row whose condition is not in the design (by id) or differs
// from it in a design column (bit for bit, as the run wrote it); designName
// names the design in the message.
std::optional<TableProblem> conditionsProblem(const std::vector<ResultBlock>& blocks,
                                              const std::vector<Condition>& design, const std::string& designName);

// Empty when the conditions are the design; otherwise why not.
std::string designProblem(const std::vector<Condition>& conditions, const Sidecar& s);
