// The statistics of one series, as a run computes them for every simulated
// series and an analysis for an observed one: the one place that maps a
// statistic to the routine that computes it.
//
// What it promises
// - The same routines on the same float series give the same bits: a value
//   here is the value the run's row holds for a simulated series with these
//   points, and its p-value the one the run counts as significant or not.
// - out[k] is what wanted[k] found: its value and, for a statistic with a
//   test, its p-value; p is NaN for a statistic without one.  MPD-r and
//   MPD-d come from one call of mpd each time either is asked for.
// - A statistic of the other option gives NaN for both.
// - Phase lengths are the caller's business: 1 .. kMaxPhaseLengthEffectSizes
//   for the first option, 1 .. kMaxPhaseLengthVarden for the second
//   (runs.h), as the runs hold them.
#pragma once

#include <span>

#include "caseindices.h"
#include "effectsizes.h"
#include "mersenne.h"
#include "nonoverlap.h"
#include "statistic.h"
#include "varden.h"

// Working storage of the first option's statistics, owned by one worker.
struct SeriesWorkspace {
    EffectSizeWorkspace effectSizes;
    CaseIndexWorkspace indices;
};

// The first option's statistics of nA + nB points.  table: the PND and PNCD
// p-values of these lengths, or null to form each one afresh (the same
// values; a run shares one table among its series).
void effectSizeStatistics(int nA, int nB, const float* y, std::span<const Statistic> wanted,
                          std::span<Estimate> out, SeriesWorkspace& ws, const NonOverlapTable* table);

// The second option's statistics (SIM-d, SIM-r; both tested by the method's
// one p-value): one call of varden with nSim inner simulations drawing from
// rng where it stands, made only when one of them is wanted.
void vardenStatistics(Rng& rng, int nA, int nB, const float* y, int nSim, std::span<const Statistic> wanted,
                      std::span<Estimate> out, VardenWorkspace& ws);
