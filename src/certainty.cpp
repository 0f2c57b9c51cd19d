#include "certainty.h"

#include <algorithm>
#include <boost/math/distributions/beta.hpp>

RateJudgement judgeRate(long long rejections, long long replications, double target,
                        double confidence) {
    const double x = static_cast<double>(rejections);
    const double n = static_cast<double>(replications);
    const boost::math::beta_distribution<double> posterior(x + 0.5, n - x + 0.5);
    RateJudgement j;
    j.rate = x / n;
    j.lower = quantile(posterior, 1.0 - confidence);
    j.upper = quantile(posterior, confidence);
    j.probabilityAbove = cdf(complement(posterior, target));
    if (j.probabilityAbove >= confidence)
        j.side = Side::Above;
    else if (j.probabilityAbove <= 1.0 - confidence)
        j.side = Side::Below;
    return j;
}

std::string certaintyProblem(double target, double confidence) {
    // Written so that NaN fails both tests.
    if (!(target > 0.0 && target < 1.0)) return "the target must lie strictly between 0 and 1";
    if (!(confidence > 0.5 && confidence < 1.0))
        return "the confidence must lie strictly between 0.5 and 1";
    return {};
}

int nextLook(int current, int cap) {
    if (current <= 0) return std::min(kFirstLook, cap);
    // current < cap <= INT_MAX, so the doubling is taken in 64 bits.
    return static_cast<int>(std::min<long long>(2LL * current, cap));
}
