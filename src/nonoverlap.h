// The exact one-sided p-value of the non-overlap indices (PND, PNCD): the
// chance that at least k of nB phase-B points lie above the maximum of nA
// phase-A points when all N = nA + nB values are independent and uniform over
// the whole numbers 1 .. N, ties allowed.
//
// Up to 26 points it is the definition's single-precision term-by-term sum
// (N^N is finite in float), rounded as that sum rounds.  From 27 points,
// where N^N overflows a float and the float sum would give 0 or NaN, the same
// probability is evaluated in double precision and rounded once:
//   p(k) = sum over m = 1 .. N of w_m * T_m(k),
//   w_m = (m/N)^nA - ((m-1)/N)^nA, the chance that the phase-A maximum is m,
//   T_m(k) = sum over i = k .. nB of C(nB, i) q^i (1-q)^(nB-i), q = (N-m)/N,
// each binomial term exp(lgamma and log terms) (a zero power is the factor 1,
// a term with q = 0 and i > 0 is 0); i and m ascend, the sum is clamped to
// [0, 1] and rounded to float once.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

// The p-value of one k (0 <= k <= nB), formed afresh.
float pndPValue(int nA, int nB, int k);

// The p-values of one design, for a run whose threads read them many times.
//
// Up to 26 points every value is formed when the table is made.  From 27
// points a value is formed when it is first read, exactly once however many
// threads ask at the same time, so only the k that occur cost anything.  The
// first read builds the binomial terms of the design once (at most N by
// nB + 1 doubles: 16 MB for two phases of 1000 points); each k then sums its
// tails from them, and a tail stops adding where no later term can change it
// (every later term below 2^-54 of the tail, which the rounding of the next
// addition would drop).
class NonOverlapTable {
public:
    NonOverlapTable(int nA, int nB);
    ~NonOverlapTable();
    NonOverlapTable(const NonOverlapTable&) = delete;
    NonOverlapTable& operator=(const NonOverlapTable&) = delete;

    int nA() const { return nA_; }
    int nB() const { return nB_; }
    // 0 <= k <= nB.  Safe to call from several threads at once.
    float p(int k) const;

private:
    struct Terms;

    const Terms& terms() const;

    int nA_;
    int nB_;
    mutable std::vector<float> p_;  // the values formed so far
    // From 27 points: the terms, built on first use, and one flag per k.
    mutable std::once_flag termsBuilt_;
    mutable std::unique_ptr<Terms> terms_;
    mutable std::unique_ptr<std::once_flag[]> formed_;
};
