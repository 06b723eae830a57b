// The driver stage: throttle keys, cruise control, mouse, demand modes and the
// cycle-following driver. Sets the power demand Pdrag and Idrag.
#include <cctype>

#include "core/stages.h"
#include "core/ttabr1.h"
#include "station/Steering.h"

namespace tralvik {

static void ThrottleKeys(Sim& s) {
    char k = s.Tangent;
    s.Motorstyrf = s.Motorstyr;
    if (k != '0') s.Motorstyr = static_cast<char>(std::toupper(static_cast<unsigned char>(k)));
    if (k == '>') s.vb = s.vb + 1;
    if (k == '<') s.vb = s.vb - 1;
    if (k == 'I' || k == 'i') {
        double step = k == 'I' ? 5 * s.Imax : -(5 * s.Imax);
        if (s.Stegtid < 0.001) {
            s.Pdrag = s.Pdrag + step;
        } else if (s.Tsteg + s.Stegtid < s.ttot) {
            // Tsteg advances by Stegtid, not to ttot: after a pause one step per
            // tick is accepted until it has caught up.
            s.Pdrag = s.Pdrag + step;
            s.Tsteg = s.Tsteg + s.Stegtid;
        }
    }
    if (k == 'P') s.Pdrag = s.Pdrag + 500;
    if (k == 'p') s.Pdrag = s.Pdrag - 500;
    if (k == 'Q' || k == 'q') s.Fulltid = s.ttot - 1;
    if (s.vb > 50) s.vb = 50;
    if (s.vb < 0.01) s.vb = 0.01;
    if (s.Pdrag > s.Imax * s.U) s.Pdrag = s.Imax * s.U;
    if (s.Pdrag < 0.005) s.Pdrag = 0.005;
    if (k == '0') s.Pdrag = 0.5;
    s.Idrag = s.Pdrag / s.U;
    if (s.Motorstyr == 'Q') s.Motorstyr = s.Motorstyrf;
}

static void Mouse(Sim& s) {
    s.Broms = 0;
    int32_t y = s.MusY;
    if (y < 125) {
        s.Idrag = s.Imax - y * s.Imax / 125;
        s.Pdrag = s.Idrag * s.U;
    } else {
        if (y > 250) y = 250;
        s.MusY = y;
        s.Idrag = 0;
        s.Pdrag = 0;
        s.Ppic = 0;
        s.Broms = s.Fbmax - (250 - y) * s.Fbmax / 125;
        if (s.Broms > s.Fbmax) s.Broms = s.Fbmax;
    }
    MouseSteering(s);
}

static void CycleFollowingDriver(Sim& s) {
    double vm = (s.vb + s.v) / 2;
    s.Fbehov = TABR1(s, s.Tford, "1", 'i', vm, 1) + s.Massa * 9.81 * s.Lutn / 100;
    if (s.Fextramod == 'K')
        s.Fbehov = s.Fbehov - s.Fextra * (1 + 0.73 * (s.v - 2.8) / (s.v + 20.8));
    else
        s.Fbehov = s.Fbehov - s.Fextra;
    s.Fbehov = s.Fbehov - s.CdAtab * ((s.vb + s.v) * (s.vb + s.v)) / 4;
    double T = s.Dt > 0.5 ? s.Dt : 0.5;
    s.Pdrag = vm * (s.Fbehov + (s.vb - s.v) * s.Massa / (s.Kacc * T));
    if (s.Pdrag < 5) s.Pdrag = 5;
}

bool FollowsTraceAhead(const Sim& s) {
    return s.Sparfoljning == 1 && s.Cykeltyp == 'T' && FollowsRequestedSpeed(s) && s.vbmal == s.vbrad &&
           s.Mod != 21;
}

// The trace between the current row and the next, `ahead` seconds after the
// cycle's time, carried on at the same slope past the next row (the driver
// sees the trace's course, not only its rows); never below standstill.
double TraceSpeed(const Sim& s, double ahead) {
    const double span = s.Nastarad.X - s.Aktrad.X;
    if (!(span > 0)) return s.vbrad;
    const double slope = (s.Nastarad.v - s.Aktrad.v) / span;
    const double v = s.Aktrad.v + slope * (s.tcykel + ahead - s.Aktrad.X);
    return v > 0 ? v : 0;
}

void DriverStage(Sim& s) {
    s.Vmfakt = 1;
    if (InSet(s.Tangent, "0Ii<>PpQq")) ThrottleKeys(s);
    char up = static_cast<char>(std::toupper(static_cast<unsigned char>(s.Tangent)));
    if (up == 'F' || up == 'K' || up == 'T') s.Motorstyr = ' ';
    if (s.Motorstyr == 'M') Mouse(s);
    if (!InSet(s.Motorstyr, "<>JW")) s.vb = s.vbmal;
    if (InSet(s.Motorstyr, "IJPW")) {
        s.vb = 0;
        if (s.Motorstyr == 'J') s.Idrag = s.vbmal;
        if (s.Motorstyr == 'W') s.Pdrag = 1000 * s.vbmal;
        if (s.Motorstyr == 'P' || s.Motorstyr == 'W') s.Idrag = s.Pdrag / s.U;
        if (s.Motorstyr == 'I' || s.Motorstyr == 'J') s.Pdrag = s.Idrag * s.U;
    }
    // Half a second ahead is the built-in driver's own reaction time (Kacc 1
    // x 0.5 s): aiming there, it holds a steady acceleration without lag.
    if (FollowsTraceAhead(s)) s.vb = TraceSpeed(s, (s.Dt > 0.5 ? s.Dt : 0.5) * s.Kacc);
    if (FollowsRequestedSpeed(s)) CycleFollowingDriver(s);
    if (s.Pdrag > s.Imax * s.U) s.Pdrag = s.Imax * s.U;
    s.Idrag = s.Pdrag / s.U;
}

} // namespace tralvik
