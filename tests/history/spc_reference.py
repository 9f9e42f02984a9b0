#!/usr/bin/env python3
"""Reference figures for SpcTest.cpp, computed from the formulas alone (brute force, no sliding
counts): run it and paste its output into the test's tables when a data set changes."""
import math
import statistics


def figures(xs, usl=None, lsl=None):
    n = len(xs)
    mean = math.fsum(xs) / n
    s = statistics.stdev(xs)
    mrs = [abs(xs[i] - xs[i - 1]) for i in range(1, n)]
    mr_bar = math.fsum(mrs) / len(mrs)
    sw = mr_bar / 1.128
    out = dict(n=n, mean=mean, stdDev=s, sigmaWithin=sw, mrBar=mr_bar, ucl=mean + 3 * sw, lcl=mean - 3 * sw,
               mrUcl=3.267 * mr_bar)
    if usl is not None:
        room = usl - mean if lsl is None else min(usl - mean, mean - lsl)
        out['cpk'] = room / (3 * sw)
        out['ppk'] = room / (3 * s)
        if lsl is not None:
            out['cp'] = (usl - lsl) / (6 * sw)
            out['pp'] = (usl - lsl) / (6 * s)
        if n >= 30:
            half = 1.959964 * math.sqrt(1 / (9 * n) + out['cpk'] ** 2 / (2 * (n - 1)))
            out['cpkLower95'] = out['cpk'] - half
            out['cpkUpper95'] = out['cpk'] + half
    return out


def flags(xs):
    n = len(xs)
    mean = math.fsum(xs) / n
    sw = math.fsum(abs(xs[i] - xs[i - 1]) for i in range(1, n)) / (n - 1) / 1.128
    result = []
    for i in range(n):
        rules = []
        d = lambda j: xs[j] - mean
        if abs(d(i)) > 3 * sw:
            rules.append(1)
        for rule, length, k, needed in ((2, 3, 2, 2), (3, 5, 1, 4)):
            if i + 1 >= length:
                window = range(i + 1 - length, i + 1)
                if sum(d(j) > k * sw for j in window) >= needed or sum(d(j) < -k * sw for j in window) >= needed:
                    rules.append(rule)
        if i >= 7 and (all(d(j) > 0 for j in range(i - 7, i + 1)) or all(d(j) < 0 for j in range(i - 7, i + 1))):
            rules.append(4)
        if rules:
            result.append((i, rules))
    return result


def gauge(xs, reference, tolerance):
    mean = math.fsum(xs) / len(xs)
    s = statistics.stdev(xs)
    cg = 0.2 * tolerance / (6 * s)
    cgk = (0.1 * tolerance - abs(mean - reference)) / (3 * s)
    return dict(n=len(xs), mean=mean, stdDev=s, bias=mean - reference, cg=cg, cgk=cgk,
                passed=cg >= 1.33 and cgk >= 1.33)


if __name__ == '__main__':
    import json, sys
    for line in sys.stdin:
        case = json.loads(line)
        kind = case.pop('kind')
        if kind == 'flags':
            print(case['name'], flags(case['xs']))
        elif kind == 'figures':
            print(case['name'], {k: repr(v) for k, v in figures(case['xs'], case.get('usl'), case.get('lsl')).items()})
        else:
            print(case['name'], {k: repr(v) for k, v in gauge(case['xs'], case['ref'], case['tol']).items()})
