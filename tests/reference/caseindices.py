#!/usr/bin/env python3
"""Reference values for tests/ranksum_test.cpp and tests/caseindices_test.cpp.

An implementation of the definitions apart from the library: mid-ranks for
the rank-sum statistic, exact integer arithmetic (math.comb, fractions) for
the exact null distribution and the binomial tail, math.erfc for the normal
approximation.  Run once; its output is copied into the tests.
"""
import math
from collections import Counter
from fractions import Fraction


def f32(x):
    """Round a Python float (double) to the nearest single-precision value."""
    import struct
    return struct.unpack('f', struct.pack('f', x))[0]


def f32exact(fr):
    """Nearest float to a non-negative rational, ties to even, subnormals
    included (f32(float(fr)) would round twice)."""
    fr = Fraction(fr)
    if fr == 0:
        return 0.0
    e = fr.numerator.bit_length() - fr.denominator.bit_length()
    while Fraction(2) ** e > fr:
        e -= 1
    while Fraction(2) ** (e + 1) <= fr:
        e += 1
    q = max(e - 23, -149)
    m = fr / Fraction(2) ** q
    kept = m.numerator // m.denominator
    rest = m - kept
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and kept % 2 == 1):
        kept += 1
    return float(kept * Fraction(2) ** q)


def midrank_w(x, y):
    """Rank sum of x with mid-ranks, minus nX (nX + 1) / 2, and the tie term."""
    values = sorted(x + y)
    first = {}
    for i, v in enumerate(values):
        first.setdefault(v, i)
    counts = Counter(values)
    rank = {v: first[v] + (counts[v] + 1) / 2 for v in counts}
    w = sum(rank[v] for v in x) - len(x) * (len(x) + 1) / 2
    ties = sum(t ** 3 - t for t in counts.values())
    return w, ties


def exact_counts(nx, ny):
    """Number of splits with U = j, by the recurrence on the largest value."""
    memo = {}

    def f(m, n):  # list of counts for samples of m and n distinct values
        if (m, n) in memo:
            return memo[(m, n)]
        if m == 0 or n == 0:
            r = [1]
        else:
            a = f(m - 1, n)  # largest value in y: U unchanged
            b = f(m, n - 1)  # largest value in x: it beats all n of y
            r = [0] * (m * n + 1)
            for j, c in enumerate(a):
                r[j + n] += c
            for j, c in enumerate(b):
                r[j] += c
        memo[(m, n)] = r
        return r

    return f(nx, ny)


def rank_sum_p(x, y):
    nx, ny = len(x), len(y)
    w, ties = midrank_w(x, y)
    m = nx * ny
    if nx < 50 and ny < 50 and ties == 0:
        counts = exact_counts(nx, ny)
        total = sum(counts)
        w = int(w)
        lower = Fraction(sum(counts[: w + 1]), total)
        upper = Fraction(sum(counts[w:]), total)
        return w, f32exact(min(Fraction(1), 2 * min(lower, upper))), 'exact'
    d = w - m / 2
    corr = 0.5 if d > 0 else (-0.5 if d < 0 else 0.0)
    n = nx + ny
    sigma = math.sqrt(m / 12 * ((n + 1) - ties / (n * (n - 1))))
    z = (d - corr) / sigma
    return w, f32(math.erfc(abs(z) / math.sqrt(2))), 'normal z=%.17g' % z


def binomial_upper(n, x):
    return f32exact(Fraction(sum(math.comb(n, j) for j in range(max(x, 0), n + 1)), 2 ** n))


def pem(a, b):
    """Share of b above the median of a (ties one half), and its sign test."""
    v = sorted(a)
    k = len(v)
    med = v[k // 2] if k % 2 else f32((v[k // 2 - 1] + v[k // 2]) / 2)
    above = sum(1 for x in b if x > med)
    equal = sum(1 for x in b if x == med)
    n = len(b) - equal
    return med, f32exact(Fraction(2 * above + equal, 2 * len(b))), binomial_upper(n, above)


def smd(a, b):
    ma = sum(a) / len(a)
    mb = sum(b) / len(b)
    sda = math.sqrt(sum((v - ma) ** 2 for v in a) / (len(a) - 1))
    j = 1 - 3 / (4 * (len(a) - 1) - 1)
    return f32((mb - ma) / sda * j)


def show(name, a, b):
    w, p, how = rank_sum_p(b, a)
    m = len(a) * len(b)
    print(f'{name}: nA={len(a)} nB={len(b)} u={w} NAP={f32(w / m)!r} '
          f'TauAB={f32((2 * w - m) / m)!r} p={p!r} ({how})')


def main():
    d1a, d1b = [1, 2, 2, 3], [2, 3, 4, 4, 5]
    d2a, d2b = [1, 2, 3], [3, 4, 5]
    d3a, d3b = [i * 0.5 for i in range(10)], [j + 0.25 for j in range(50)]
    d4a = [float((i * 7919 + 13) % 23) for i in range(1000)]
    d4b = [float((j * 104729 + 7) % 29 - 2) for j in range(1000)]
    perm98 = [float((k * 37) % 98) for k in range(98)]
    perm75 = [float((k * 13) % 75) for k in range(75)]
    d7a, d7b = [0.0, 1.0, 2.0], [-0.0, 3.0]  # -0.0 ties with 0.0

    show('D1', d1a, d1b)
    show('D2', d2a, d2b)
    show('D3', d3a, d3b)
    show('D4', d4a, d4b)
    show('D5', perm98[:49], perm98[49:])
    show('D6', perm75[:30], perm75[30:])
    show('D7', d7a, d7b)
    show('D8', perm98[:49], [v + 20.5 for v in perm98[49:]])
    for n, x in [(1000, 500), (1000, 501), (1000, 530), (1000, 560), (1000, 480), (1000, 650), (1000, 690), (1000, 1000), (61, 40), (0, 0)]:
        print(f'binomial n={n} x={x}: {binomial_upper(n, x)!r}')
    for n, x in [(4097, 2049), (4097, 2100), (4097, 2300)]:
        print(f'binomial n={n} x={x}: {binomial_upper(n, x)!r}')
    print('PEM D4 (median, value, p):', pem(d4a, d4b))
    print('PEM D1 (median, value, p):', pem(d1a, d1b))
    print('SMD D4:', repr(smd(d4a, d4b)))
    print('SMD D1 (nA=4):', repr(smd(d1a, d1b)))


if __name__ == '__main__':
    main()
