#!/usr/bin/env python3
"""How much of the fleet rules' remaining error could any rule on the list's columns remove?

Reads the comparison `testcar LIST --all --csv FILE` wrote and the list
itself, and fits a linear correction of log(simulated / measured) on
figures every row of the list carries (displacement, cylinders, power,
mass, road load, gears, gearbox, drive, the rules' engine choice; each also
for the city test alone), on one half of the vehicles, then applies it to
the other half. A correction that helps only the half it was fitted on is
the fitted cars' own scatter, not a rule. Printed as Markdown:

- the ratios as they are;
- a correction by a few figures and by all of them, fitted on the odd
  vehicles and checked on the even ones, and the other way round;
- all figures fitted on all vehicles (no check: the most any such rule
  could reach on this list, an upper bound);
- the city test divided by the same car's highway ratio: what the city
  figures would be if every car's own level were known, leaving only the
  split between the two tests.

Shares of ratios within 5 and 10 % and the spread (standard deviation, as
testcar prints it) are taken after each row's ratios are scaled to a mean
of 1: the level is set by the indicated efficiencies, so a bound on the
scatter must not count it.

  tools/testcar/bound.py COMPARISON.csv [--list CSV]
"""
import argparse
import csv
import math
import os
import statistics
import sys

# A few figures the residuals follow most (road load per mass, the city
# test with a CVT or a manual, turbo, rear drive in the city), chosen from the
# whole list's residuals, so their check is a little flattering; and all of them.
FEW = ["F25m", "ftp*cvt", "ftp*manual", "turbo", "ftp*rwd"]
BASE = ["F10m", "F25m", "Am", "Cm", "lcyl", "kwl", "ldisp", "lmass", "kwt", "cvt", "manual", "dct",
        "turbo", "rwd", "awd", "cyl", "gears", "nv"]
ALL = BASE + ["ftp"] + ["ftp*" + f for f in BASE]

LB, LBF, MPH = 0.45359237, 4.4482216152605, 0.44704


def features(row, test):
    """The list's figures of one test as a dict."""
    f = lambda k: float(row[k])
    mass = f("Equivalent Test Weight (lbs.)") * LB
    a = f("Target Coef A (lbf)") * LBF
    b = f("Target Coef B (lbf/mph)") * LBF / MPH
    c = f("Target Coef C (lbf/mph**2)") * LBF / MPH ** 2
    kw = f("Rated Horsepower") * 0.745699872
    disp = f("Test Veh Displacement (L)")
    cyl = f("# of Cylinders and Rotors")
    try:
        nv = f("N/V Ratio")
    except ValueError:
        nv = 0.0
    code = row.get("Tested Transmission Type Code", "")
    drive = row.get("Drive System Code", "")
    x = {
        "F10m": (a + 10 * b + 100 * c) / mass, "F25m": (a + 25 * b + 625 * c) / mass,
        "Am": a / mass, "Cm": c / mass, "lcyl": disp / cyl, "kwl": kw / disp / 100,
        "ldisp": math.log(disp), "lmass": math.log(mass), "kwt": kw / mass * 10, "cyl": cyl / 10,
        "gears": f("# of Gears") / 10, "nv": nv / 100,
        "cvt": float(code in ("CVT", "SCV") or "Continuously" in row["Tested Transmission Type"]),
        "manual": float(code == "M"), "dct": float(code in ("AM", "AMS")),
        "turbo": float(test["engine"] != "naturally aspirated"),
        "rwd": float(drive == "R"), "awd": float(drive not in ("F", "R", "")),
        "ftp": float(test["test"] == "FTP"),
    }
    for k in BASE:
        x["ftp*" + k] = x["ftp"] * x[k]
    return x


def solve(xs, ys):
    """Least squares with an intercept, the columns scaled to unit spread;
    a tiny ridge keeps collinear columns (drive and gearbox dummies) solvable."""
    n, m = len(xs), len(xs[0])
    mu = [statistics.mean(x[j] for x in xs) for j in range(m)]
    sd = [statistics.pstdev([x[j] for x in xs]) or 1.0 for j in range(m)]
    z = [[1.0] + [(x[j] - mu[j]) / sd[j] for j in range(m)] for x in xs]
    k = m + 1
    a = [[sum(r[i] * r[j] for r in z) + (1e-6 * n if i == j and i > 0 else 0.0) for j in range(k)]
         + [sum(r[i] * y for r, y in zip(z, ys))] for i in range(k)]
    for i in range(k):
        p = max(range(i, k), key=lambda r: abs(a[r][i]))
        a[i], a[p] = a[p], a[i]
        for r in range(k):
            if r != i:
                g = a[r][i] / a[i][i]
                a[r] = [u - g * v for u, v in zip(a[r], a[i])]
    w = [a[i][k] / a[i][i] for i in range(k)]
    return lambda x: w[0] + sum(w[j + 1] * (x[j] - mu[j]) / sd[j] for j in range(m))


def shares(ratios):
    mean = statistics.mean(ratios)
    r = [x / mean for x in ratios]
    return (sum(abs(x - 1) <= 0.05 for x in r) / len(r), sum(abs(x - 1) <= 0.10 for x in r) / len(r),
            statistics.pstdev(r))


def line(what, fitted, checked, ratios):
    w5, w10, s = shares(ratios)
    print(f"| {what} | {fitted} | {checked} | {len(ratios)} | {100 * w5:.0f} % | {100 * w10:.0f} % | {s:.3f} |")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("comparison", help="the CSV testcar --all --csv wrote")
    p.add_argument("--list", default=os.path.join(here, "..", "..", "..", "shared", "reference",
                                                  "test-cars-calibration.csv"))
    args = p.parse_args()
    try:
        with open(args.list, newline="") as f:
            listed = list(csv.DictReader(f))
        with open(args.comparison, newline="") as f:
            tests = list(csv.DictReader(f))
    except OSError as e:
        sys.exit(f"bound.py: {e}")
    if not tests:
        sys.exit(f"bound.py: {args.comparison} holds no compared test")
    lines = sorted({int(t["line"]) for t in tests})
    half = {ln: i % 2 for i, ln in enumerate(lines)}  # 0: odd-numbered vehicle
    data = []
    for t in tests:
        ln = int(t["line"])
        if not 2 <= ln <= len(listed) + 1:
            sys.exit(f"bound.py: {args.comparison}: line {ln} is not a row of {args.list}")
        try:
            x = features(listed[ln - 2], t)
        except (KeyError, ValueError, ZeroDivisionError) as e:
            sys.exit(f"bound.py: {args.list} line {ln}: {e}")
        data.append((half[ln], x, float(t["ratio"]), t))

    print("| correction | fitted on | checked on | tests | within ±5 % | within ±10 % | spread |")
    print("|---|---|---|---|---|---|---|")
    line("none", "-", "all", [d[2] for d in data])
    for h in (0, 1):
        line("none", "-", ("odd", "even")[h], [d[2] for d in data if d[0] == h])
    for names, label in ((FEW, "a few figures"), (ALL, "all figures")):
        for fit, check in ((0, 1), (1, 0)):
            train = [d for d in data if d[0] == fit]
            model = solve([[d[1][k] for k in names] for d in train], [math.log(d[2]) for d in train])
            held = [d for d in data if d[0] == check]
            line(label, ("odd", "even")[fit], ("odd", "even")[check],
                 [d[2] / math.exp(model([d[1][k] for k in names])) for d in held])
    model = solve([[d[1][k] for k in ALL] for d in data], [math.log(d[2]) for d in data])
    line("all figures (upper bound)", "all", "the same", [d[2] / math.exp(model([d[1][k] for k in ALL])) for d in data])
    hw = {int(d[3]["line"]): d[2] for d in data if d[3]["test"] != "FTP"}
    ftp = [d for d in data if d[3]["test"] == "FTP"]
    line("none, city test only", "-", "all", [d[2] for d in ftp])
    line("the car's own highway ratio", "each car", "its city test",
         [d[2] / hw[int(d[3]["line"])] for d in ftp if int(d[3]["line"]) in hw])


if __name__ == "__main__":
    main()
