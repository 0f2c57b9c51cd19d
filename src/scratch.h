// Per-thread scratch arrays for the statistics.
//
// Every routine that needs working storage takes it from its own slot; the
// slot grows to the largest size asked for and is then reused, so a run
// allocates nothing per statistic call after its first iteration.  Routines
// that call one another use different slots.
#pragma once

#include <cstddef>

enum class Slot : int {
    RunSeries,
    ErrorProcess,
    SeriesErrors,
    Median,
    KendallCopy1,
    KendallCopy2,
    KendallTies1,
    KendallTies2,
    TheilSlopes,
    TheilIntercepts,
    PlTauTime,
    PlTauIndicator,
    PlTauCorrected,
    TauUDummy,
    MpdPrediction,
    MpdDifference,
    PncdCorrected,
    EclTime,
    EclT1,
    EclY1,
    EclT2,
    EclY2,
    VardenSlopes,
    BootX,
    BootY,
    BootInts,
    BootSlopes,
    BootSD,
    AutocorrNoise,
    SimMeanDeviates,
    BatchDeviates,
    BatchNoise,
    SeriesDeviates,
    VardenTA,
    VardenTB,
    VardenTB2,
    VardenYA,
    VardenYB,
    VardenEA,
    VardenEB,
    VardenStdE,
    VardenNullMeans,
    VardenExpMeans,
    ResidT,
    ResidY,
    ResidD,
    ResidSC,
    AutocorrLag1,
    AutocorrLag2,
    Count
};

// At least n floats (n may be 0), valid until the next call for the same slot
// on this thread.
float* scratch(Slot slot, std::size_t n);
