#include "modelcheck.h"

#include <cmath>

namespace {

const ModelSlipInfo kSlips[] = {
    {"ar1", "AR(1)", "|AR(1)| >= 1: the errors are not stationary and grow along the series"},
    {"ma1", "MA(1)", "|MA(1)| >= 1: the MA(1) process is not invertible"},
    {"sd_a", "SD_A", "SD_A < 0: the phase-A errors are scaled by it as given, with their sign flipped"},
    {"sd_b", "SD_B", "SD_B < 0: the phase-B errors are scaled by it as given, with their sign flipped"},
};

bool isSlip(ModelSlip kind, float value) {
    switch (kind) {
        case ModelSlip::ArNotStationary:
        case ModelSlip::MaNotInvertible:
            return std::fabs(value) >= 1.0f;
        case ModelSlip::NegativeSdA:
        case ModelSlip::NegativeSdB:
            return value < 0.0f;
    }
    return false;
}

}  // namespace

const ModelSlipInfo& slipInfo(ModelSlip slip) { return kSlips[static_cast<int>(slip)]; }

std::vector<ModelSlip> modelSlips(const ModelParameters& m) {
    std::vector<ModelSlip> slips;
    if (isSlip(ModelSlip::ArNotStationary, m.fAR1)) slips.push_back(ModelSlip::ArNotStationary);
    if (m.fAR1 == 0.0f && isSlip(ModelSlip::MaNotInvertible, m.fMA1)) slips.push_back(ModelSlip::MaNotInvertible);
    if (isSlip(ModelSlip::NegativeSdA, m.fSA)) slips.push_back(ModelSlip::NegativeSdA);
    if (isSlip(ModelSlip::NegativeSdB, m.fSB)) slips.push_back(ModelSlip::NegativeSdB);
    return slips;
}

float slipValue(const ModelParameters& m, ModelSlip slip) {
    switch (slip) {
        case ModelSlip::ArNotStationary: return m.fAR1;
        case ModelSlip::MaNotInvertible: return m.fMA1;
        case ModelSlip::NegativeSdA: return m.fSA;
        case ModelSlip::NegativeSdB: return m.fSB;
    }
    return 0.0f;
}
