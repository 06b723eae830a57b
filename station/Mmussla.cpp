#include "station/Mmussla.h"

#include <cmath>
#include <limits>

#include "core/stages.h"
#include "core/ttabr1.h"

namespace tralvik {

void RecomputeTorqueAxis(Sim& s) {
    const double nmax = s.Nmax;
    if (!(nmax > 10)) {
        // No sample could be taken and the search would never end.
        s.Mommax = 50;
        return;
    }
    s.Mommax = 1000;
    bool searching = true;
    while (searching) {
        s.Mommax = s.Mommax - 50;
        if (s.Mommax <= 0 || s.Mommax > 1e7) break; // no round axis holds the curve
        for (double n = 10; n < nmax; n = n + 100) {
            double T = TABR1(s, s.Tforb, "1", 'i', n, 1);
            if (T > s.Mommax - 51) searching = false;
            if (T > s.Mommax) {
                s.Mommax = s.Mommax + 100;
                searching = true;
                break;
            }
        }
    }
    // An axis of zero or below (every sampled torque negative) cannot be divided by.
    if (!(s.Mommax > 0) || s.Mommax > 1e7) s.Mommax = 50;
}


void MarkerStage(Sim& s) {
    if (s.Uppdat) RecomputeTorqueAxis(s);
    s.Momskala = s.Mommax / 200;
    // 20 rpm a pixel; an electric motor's map 40 (it turns twice as fast).
    s.Mussx = Trunc32(s.nic / (HasElectricDrive(s) ? 40 : 20));
    s.Mussy = s.Momskala != 0 ? Trunc32(200 - s.mic / s.Momskala) : 0;
}

} // namespace tralvik
