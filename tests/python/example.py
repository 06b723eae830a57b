# The README's example: fuel against mass on the WLTC, plotted.
import sys
import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
import tralvik

masses = [1000, 1200, 1400, 1600, 1800]
runs = tralvik.study("data", sweep={"Massa": masses},
                     constants={"Cykeltyp": "T", "Ttidd": "cykler\\WLTC3B.CYK"})
fuel = [r["summary"]["fuel_l_per_100km"] for r in runs]
plt.plot(masses, fuel, "o-")
plt.xlabel("massa (kg)"); plt.ylabel("bränsle (l/100 km)")
plt.savefig(sys.argv[1] if len(sys.argv) > 1 else "massa.png")
