"""The Python module against tralvik-batch: the same summary, the same files
byte for byte, cars and their keys, a study, and refusals."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import tralvik

BATCH = os.environ["TRALVIK_BATCH"]
SRC = os.environ["TRALVIK_SOURCE"]
DATA = os.path.join(SRC, "data")
WLTC = {"Cykeltyp": "T", "Ttidd": "cykler\\WLTC3B.CYK"}


def batch(*args):
    out = subprocess.run([BATCH, *args], check=True, capture_output=True, text=True).stdout
    return json.loads(out.strip().splitlines()[-1])


class Module(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def test_summary_is_the_batch_runners(self):
        r = tralvik.run(DATA, constants=dict(WLTC, Massa=1300))
        b = batch("--no-draw", "--json", "--quiet", "--set", "Cykeltyp=T", "--set", "Ttidd=cykler\\WLTC3B.CYK",
                  "--set", "Massa=1300", DATA)
        for key in ("run", "set", "status"):
            b.pop(key, None)
        self.assertEqual(r["summary"], b)
        self.assertEqual(len(r["summary"]["phases"]), 4)  # the WLTC's phases

    def test_files_are_the_same_bytes(self):
        # A folder of its own with the cycle in its constants file, so that
        # tralvik-batch runs it as a single run, in place.
        folder = os.path.join(self.tmp, "data")
        shutil.copytree(DATA, folder)
        cons = os.path.join(folder, "CONS.VAL")
        lines = open(cons, "rb").read().split(b"\r\n")
        lines[0], lines[36] = b"cykler\\FTP75.CYK", b"T"
        open(cons, "wb").write(b"\r\n".join(lines))
        series, csv = os.path.join(self.tmp, "py.csv"), os.path.join(self.tmp, "py-run.csv")
        r = tralvik.run(folder, series=True, series_file=series, csv_file=csv)
        batch("--no-draw", "--json", "--quiet", "--series", os.path.join(self.tmp, "b.csv"),
              "--csv", os.path.join(self.tmp, "b-run.csv"), folder)
        self.assertEqual(open(series, "rb").read(), open(os.path.join(self.tmp, "b.csv"), "rb").read())
        self.assertEqual(open(csv, "rb").read(), open(os.path.join(self.tmp, "b-run.csv"), "rb").read())
        # The arrays are the file's columns.
        rows = open(series).read().splitlines()[1:]
        self.assertEqual(len(r["series"]["t_s"]), len(rows))
        self.assertEqual(repr(float(r["series"]["v_kmh"][100])), repr(float(rows[100].split(",")[1])))

    def test_a_car_and_its_keys(self):
        car = os.path.join(SRC, "tools", "cars", "mellanbil.txt")
        plain = tralvik.run(DATA, constants=WLTC, car=car)
        warm = tralvik.run(DATA, constants=dict(WLTC, Uppehall=1), car=car, car_keys={"catalyst": "yes"},
                           series=True)
        cold = tralvik.run(DATA, constants=WLTC, car=car, car_keys={"catalyst": "yes"})
        self.assertNotIn("co_engine_g", plain["summary"])
        self.assertGreater(cold["summary"]["hc_g"], 2 * warm["summary"]["hc_g"])
        self.assertGreater(warm["summary"]["co_engine_g"], warm["summary"]["co_g"])
        self.assertEqual(len(warm["series"]["catalyst_c"]), warm["summary"]["ticks"])
        shorter = tralvik.run(DATA, constants=WLTC, car=car, car_keys={"final_drive": 3.5})
        self.assertLess(shorter["summary"]["fuel_l"], plain["summary"]["fuel_l"])

    def test_a_study_sweeps_in_order(self):
        runs = tralvik.study(DATA, sweep={"Massa": [1100, 1500]}, constants=WLTC)
        self.assertEqual([r["set"]["Massa"] for r in runs], [1100, 1500])
        self.assertGreater(runs[1]["summary"]["fuel_l"], runs[0]["summary"]["fuel_l"])
        self.assertEqual(runs[0]["summary"], tralvik.run(DATA, constants=dict(WLTC, Massa=1100))["summary"])

    def test_refusals_leave_everything_as_it_was(self):
        before = sorted(os.listdir(DATA))
        cwd = os.getcwd()
        with self.assertRaises(ValueError):
            tralvik.run(DATA, constants={"Nosuchline": 1})
        with self.assertRaises(ValueError):
            tralvik.run(os.path.join(self.tmp, "none"))
        with self.assertRaises(ValueError):
            tralvik.run(DATA, car_keys={"final_drive": 3})  # keys need a car
        with self.assertRaises(RuntimeError):
            tralvik.run(DATA, constants={"Tforb": "NOSUCH.TAB"})
        tralvik.run(DATA, constants={"Fulltid": 5})
        self.assertEqual(os.getcwd(), cwd)
        self.assertEqual(sorted(os.listdir(DATA)), before)


if __name__ == "__main__":
    unittest.main()
