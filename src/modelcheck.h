// Models that run but are usually a slip of the hand: an AR(1) coefficient
// of magnitude 1 or more (the errors are not stationary and grow along the
// series), an MA(1) coefficient of magnitude 1 or more (the process is not
// invertible), a negative standard deviation (the errors are scaled by it
// as given, so their sign flips).  The dialogue and the study commands take
// them as given and warn; nothing here refuses a model.
#pragma once

#include <string>
#include <vector>

#include "model.h"

enum class ModelSlip { ArNotStationary, MaNotInvertible, NegativeSdA, NegativeSdB };

struct ModelSlipInfo {
    const char* column;  // the design's column: "ar1"
    const char* label;   // as the dialogue names it: "AR(1)"
    const char* what;    // "|AR(1)| >= 1: the errors are not stationary and grow along the series"
};

const ModelSlipInfo& slipInfo(ModelSlip slip);

// The slips of a model, in the order above.  An MA(1) coefficient counts
// only where it is used (the AR(1) coefficient is 0).  NaN is no slip.
std::vector<ModelSlip> modelSlips(const ModelParameters& m);

// The parameter a slip is about.
float slipValue(const ModelParameters& m, ModelSlip slip);
