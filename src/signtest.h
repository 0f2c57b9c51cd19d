// The exact one-sided sign test: the upper tail of the binomial distribution
// with probability 1/2.
//
// What it promises
// - signTestP(n, x) = P(X >= x) for X binomial with n >= 0 trials and
//   probability 1/2: 1 for x <= 0, 0 for x > n.
// - Up to kSignTestExactLimit trials the value is exact: the integer
//   S = sum over j = x .. n of C(n, j) is formed in multi-word integer
//   arithmetic (for x <= n / 2 as 2^n minus the tail from n - x + 1), and
//   S / 2^n is rounded once to the nearest float, ties to even, subnormal
//   results included.  Tail probabilities are dyadic fractions that often
//   lie exactly halfway between two floats, which no double evaluation
//   would round reliably.
// - Beyond that, in double: the central term C(n, c) / 2^n, c = floor(n / 2),
//   as the product over i = 1 .. c of (2i - 1) / (2i) (times
//   (2c + 1) / (2c + 2) for odd n), then upward term by term by the ratio
//   (n - j) / (j + 1), each step formed as (t * a) / b; the tail is summed
//   in ascending j (for x <= c: 1 minus the tail from n - x + 1), clamped to
//   [0, 1] and rounded to float.  Near-halfway tails need some 200 trials
//   or fewer, so this rounds like the exact value in practice.
// - No allocation; O((n - x) n / 32) word operations for the exact value
//   (under 0.1 ms at n = 1000, about 2 ms at the limit), O(n) beyond.
#pragma once

inline constexpr int kSignTestExactLimit = 4096;

float signTestP(int n, int x);
