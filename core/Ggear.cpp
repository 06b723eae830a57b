// The gear stage: gear table, manual and automatic gearbox, engine speed and
// the engine power needed for the demand.
#include "core/numread.h"
#include "core/stages.h"
#include "core/ttabr1.h"

namespace tralvik {

static void ReadGearTable(Sim& s) {
    NumberReader f(s.Tvx);
    GearColumn upp{}, ned{}, eta1{}, kvot{}, eta2{};
    for (int g = 1; g <= 10; ++g) {
        upp[g] = f.Next();
        ned[g] = f.Next();
        eta1[g] = f.Next();
        kvot[g] = f.Next();
        eta2[g] = f.Next();
    }
    // Taken only once the whole table has been read.
    s.Vxupp = upp;
    s.Vxned = ned;
    s.Vxeta1 = eta1;
    s.Vxkvot = kvot;
    s.Vxeta2 = eta2;
}

// The engine's full-load power in gear g at the present speed (W), -1 where
// the engine would turn too fast.
static double FullLoadPower(Sim& s, int g) {
    double n = s.v * s.Vxkvot[g];
    if (n > 0.95 * s.Nmax) return -1;
    if (n < kIdleRpm) n = kIdleRpm;
    return TABR1(s, s.Tforb, "1", 'i', n, 1) * n * 2 * 3.14 / 60;
}

// Whether gear g gives the engine power the driver's demand asks for.
static bool GearServes(Sim& s, int g) {
    const double e1 = s.Vxeta1[g] < 1 ? 1 : s.Vxeta1[g], e2 = s.Vxeta2[g] < 1 ? 1 : s.Vxeta2[g];
    return s.Pdrag * 10000 / (e1 * e2) + s.Phjalp <= FullLoadPower(s, g);
}

void GearStage(Sim& s) {
    s.Imaxflagga = '+';
    if (s.Nsteg == 1 || s.gearTableDue) {
        ReadGearTable(s);
        s.Vaxel = 1;
        s.gearTableDue = false;
    }

    int32_t r;
    if (s.Tangent == 'G') {
        r = 2;
        s.Vaxelmod = 10;
    } else if (s.Tangent == 'g') {
        r = 1;
        s.Vaxelmod = 10;
    } else {
        r = s.Vaxelmod == 20 ? 20 : 0;
    }
    if (r != s.Vaxelmod) {
        s.Vaxelmod = r;
        int g = s.Vaxel;
        if (r == 1) g = g - 1;
        if (r == 2) g = g + 1;
        s.Vaxel = static_cast<uint8_t>(g < 1 ? 1 : (g > 10 ? 10 : g));
    }
    if (s.Tangent == 'A' || s.Tangent == 'a') {
        s.Vaxelmod = 20;
        s.Tangent = '.'; // used up: no later stage sees it
    }
    // The table is indexed by the gear; a gear outside 1..10 (a snapshot, or a
    // manual hold entered with it) must not read outside it.
    if (s.Vaxel < 1) s.Vaxel = 1;
    if (s.Vaxel > 10) s.Vaxel = 10;

    if (s.Vaxelmod == 20) {
        int g = s.Vaxel;
        if (s.v > s.Vxupp[g] && g < 10) s.Vaxel = static_cast<uint8_t>(g + 1);
        if (s.v < s.Vxned[g] && g > 1) s.Vaxel = static_cast<uint8_t>(g - 1); // downshift wins
        if (FollowsTraceAhead(s)) {
            // The test driver's full pedal: where the gear does not give the
            // power asked for, the automatic does not change up into less
            // power, and kicks down one gear a step while the lower gear
            // gives more.
            const int now = s.Vaxel;
            if (now > g && !GearServes(s, now) && FullLoadPower(s, g) > FullLoadPower(s, now))
                s.Vaxel = static_cast<uint8_t>(g);
            const int k = s.Vaxel;
            if (k > 1 && !GearServes(s, k) && FullLoadPower(s, k - 1) > FullLoadPower(s, k))
                s.Vaxel = static_cast<uint8_t>(k - 1);
        }
    }

    int g = s.Vaxel;
    s.Kvot = s.Vxkvot[g];
    s.nic = s.v * s.Kvot;
    if (s.nic > s.Nmax) s.nic = s.Nmax;
    if (s.nic < kIdleRpm) s.nic = kIdleRpm;
    if (s.Vxeta1[g] < 1) s.Vxeta1[g] = 1;
    if (s.Vxeta2[g] < 1) s.Vxeta2[g] = 1;
    s.Ppic = s.Pdrag * 10000 / (s.Vxeta1[g] * s.Vxeta2[g]) + s.Phjalp;
    if (s.Ppic < s.Phjalp) s.Ppic = s.Phjalp;
    s.nel = s.nic;
    s.mic = s.Ppic / (s.nic * 2 * 3.14 / 60);
    s.converterShare = 1;
    if (s.Omvandlare > 0 && s.Omvandlare < 100 && s.Vaxelmod == 20 && g >= 3 &&
        s.mic > 0.7 * TABR1(s, s.Tforb, "1", 'i', s.nic, 1)) {
        // Asked for much, the automatic opens its lock-up clutch: the torque
        // converter slips and the engine must give that much more.
        s.converterShare = 1 - s.Omvandlare / 100;
        s.Ppic = (s.Ppic - s.Phjalp) / s.converterShare + s.Phjalp;
        s.mic = s.Ppic / (s.nic * 2 * 3.14 / 60);
    }
    s.Iic = s.Ppic / s.U;
}

} // namespace tralvik
