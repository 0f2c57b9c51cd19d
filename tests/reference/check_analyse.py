#!/usr/bin/env python3
"""Checks `zelkor analyse` against caseindices.py on random observed cases.

Usage: check_analyse.py ZELKOR [CASES [SEED]]

Writes random cases (continuous values, integer values with many ties,
constant phases, one-point and long phases) to a long CSV in a scratch
directory, runs `ZELKOR analyse` on it in long form, and compares NAP,
Tau-AB, PEM and SMD (values and p-values) and PND's value with the
definitions computed here apart from the program (caseindices.py: mid-ranks,
the exact rank-sum distribution by recursion, exact binomial tails).  The
values written are single-precision floats, so both sides see the same
series.  Every value and p-value must agree to the bit; SMD, formed in
double by both, may differ by one unit in the last place of its float
(Python's x**2 against a product).  Prints a summary; exits 1 on any
disagreement.
"""
import csv
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from caseindices import f32, rank_sum_p, pem, smd  # noqa: E402


def nan_on_error(f, *args):
    try:
        return f(*args)
    except (ZeroDivisionError, ValueError):
        return float('nan')


def reference(a, b):
    out = {}
    w, p, _ = nan_on_error(rank_sum_p, b, a) if len(set(a + b)) > 1 else (None, float('nan'), '')
    m = len(a) * len(b)
    if w is None:
        w = m / 2  # every value equal: U = m / 2
    out['NAP'] = (f32(w / m), p)
    out['Tau-AB'] = (f32((2 * w - m) / m), p)
    _, value, pp = pem(a, b)
    out['PEM'] = (value, pp)
    out['SMD'] = (nan_on_error(smd, a, b) if len(a) >= 3 else float('nan'), None)
    top = max(a)
    out['PND'] = (f32(sum(1 for x in b if x > top) / len(b)), 'skip')  # its p-value: nonoverlap tests
    return out


def ulps(x, y):
    def key(v):
        i = struct.unpack('<i', struct.pack('<f', v))[0]
        return i if i >= 0 else -(i & 0x7FFFFFFF)
    return abs(key(x) - key(y))


def random_case(rng, kind):
    short = rng.choice([1, 2, 3, 4, 5, 8, 12, 20, 35, 49])
    n_a = short if kind != 'long' else rng.randint(50, 1000)
    n_b = rng.choice([1, 2, 3, 5, 10, 25, 49]) if kind != 'long' else rng.randint(50, 1000)
    if kind == 'continuous':
        a = [f32(rng.gauss(0, 1)) for _ in range(n_a)]
        b = [f32(rng.gauss(0.8, 1)) for _ in range(n_b)]
    elif kind == 'integer':
        a = [float(rng.randint(0, 4)) for _ in range(n_a)]
        b = [float(rng.randint(1, 5)) for _ in range(n_b)]
    elif kind == 'constant':
        level = float(rng.randint(0, 3))
        a = [level] * n_a
        b = [level + rng.choice([0.0, 0.0, 1.0, -1.0])] * n_b
        if rng.random() < 0.5:
            b = [level + float(rng.randint(-1, 1)) for _ in range(n_b)]
    else:
        a = [f32(rng.gauss(0, 1)) if rng.random() < 0.7 else float(rng.randint(0, 3)) for _ in range(n_a)]
        b = [f32(rng.gauss(0.2, 1)) if rng.random() < 0.7 else float(rng.randint(0, 3)) for _ in range(n_b)]
    return a, b


def main():
    zelkor = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 17)
    kinds = ['continuous', 'integer', 'constant', 'long']
    cases = {}
    with tempfile.TemporaryDirectory() as tmp:
        data = os.path.join(tmp, 'data.csv')
        with open(data, 'w') as f:
            f.write('case,phase,value\n')
            for k in range(count):
                kind = kinds[k % len(kinds)]
                a, b = random_case(rng, kind)
                name = f'{kind}{k}'
                cases[name] = (a, b)
                for v in a:
                    f.write(f'{name},A,{v!r}\n')
                for v in b:
                    f.write(f'{name},B,{v!r}\n')
        out = os.path.join(tmp, 'r.csv')
        subprocess.run([zelkor, 'analyse', data, '-o', out, '--statistics', 'NAP,Tau-AB,PEM,SMD,PND'],
                       check=True)
        with open(out) as f:
            rows = list(csv.DictReader(f))

    def number(text):
        return float('nan') if text == 'NA' else f32(float(text))

    checked = bad = smd_ulp = 0
    refs = {}
    for row in rows:
        a, b = cases[row['case']]
        assert int(row['n_a']) == len(a) and int(row['n_b']) == len(b)
        ref = refs.setdefault(row['case'], reference(a, b))[row['statistic']]
        got_v, got_p = number(row['value']), number(row['p'])
        for got, want, what in ((got_v, ref[0], 'value'), (got_p, ref[1], 'p')):
            if want == 'skip':
                continue
            if want is None:
                if not math.isnan(got):
                    bad += 1
                    print(f'{row["case"]} {row["statistic"]} {what}: {got!r}, expected NA')
                continue
            checked += 1
            if math.isnan(got) and math.isnan(want):
                continue
            if got == want or (math.isinf(got) and got == want):
                continue
            if row['statistic'] == 'SMD' and not math.isnan(got) and not math.isnan(want) and ulps(got, want) <= 1:
                smd_ulp += 1
                continue
            bad += 1
            print(f'{row["case"]} {row["statistic"]} {what}: {got!r}, expected {want!r} '
                  f'(nA={len(a)} nB={len(b)})')
    print(f'{len(cases)} cases, {checked} numbers compared, {bad} disagree, '
          f'{smd_ulp} SMD values one ulp apart')
    sys.exit(1 if bad else 0)


if __name__ == '__main__':
    main()
