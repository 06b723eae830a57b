#include "core/Ccykel.h"

#include <cmath>

#include "core/numread.h"
#include "station/Steering.h"

namespace tralvik {

void ReadCycleRow(Sim& s, const Text& file, double x) {
    const Text name = Cut250(file);
    if (s.Nsteg < 2 || x < s.Aktrad.X || name != s.Cykelfil || !s.cycle) {
        s.Cykelfil = name;
        s.cycle.reset();
        s.cycle = std::make_unique<NumberReader>(name);
    }
    NumberReader& f = *s.cycle;
    while (s.Nastarad.X < x && !f.AtEnd()) {
        if (s.Aktrad.Mod == 3) s.Tangent = ' ';
        s.Aktrad = s.Nastarad;
        CycleRow r;
        r.X = f.Next();
        r.v = f.Next();
        r.Lutn = f.Next();
        r.Mod = f.Next();
        r.Dt = f.Next();
        r.Kurv = f.Next();
        f.SkipLine();
        s.Nastarad = r;
        s.Xrad = s.Aktrad.X;
        s.vbrad = s.Aktrad.v;
        s.Lutnrad = s.Aktrad.Lutn;
        s.Modrad = s.Aktrad.Mod;
        s.Dtrad = s.Aktrad.Dt;
        s.Kurvrad = s.Aktrad.Kurv;
        s.Xnasta = s.Nastarad.X;
        if (s.Modrad == 3) s.Tangent = 'C';
    }
}

void KeyPreprocess(Sim& s) {
    char k = s.Tangent;
    if (k == 'Q' || k == 'q') s.Fulltid = s.ttot - 1;
    if (k == '8') s.Tangent = 'I';
    if (k == '2') s.Tangent = 'i';
    if (k == ' ' && s.Nsteg > 2) s.Motorstyr = ' ';
    if (k == 'M' || k == 'm') s.Motorstyr = 'M';
    KeySteering(s);
}

// Event codes: column 4 above 999, k = column/100, n = column mod 100.
static void ApplyEventCode(Sim& s) {
    int32_t k = Rnd(s.Modrad / 100);
    int32_t n = Rnd(std::fmod(s.Modrad, 100.0));
    if (n < 0 || n > 100) return;
    switch (k) {
    case 10:
        if (s.Tab10[n] < 2) s.Tab10[n] = 1;
        break;
    case 20: s.Tab10[n] = 0; break;
    case 11: s.Tab11[n] = 1; break;
    case 21: s.Tab11[n] = 0; break;
    case 12:
        if (s.Tab12[n] == 0) s.Tab12[n] = 1;
        break;
    case 22: s.Tab12[n] = 0; break;
    case 90: s.Tab12[0] = n; break;
    case 91: s.Tab12[0] = 0; break;
    default: break;
    }
}

// Steps 2 to 7 of a branch, common to the map and the time cycle.
static void TakeRow(Sim& s, const char* freezeSpeed, const char* skipDt) {
    s.Xstart = s.Xrad;
    s.vbcykel = s.vbrad;
    if (!InSet(s.Motorstyr, freezeSpeed) && s.Mod != 21) s.vbmal = s.vbrad;
    if (s.Lutnmod != 'L' && s.Lutnmod != 'l' && s.Mod != 21) s.Lutncykel = s.Lutnrad;
    if (s.ttot >= s.Tvanta && s.Modrad < 999) s.Modcykel = s.Modrad;
    s.Mod = Rnd(s.Modcykel);
    if (s.Modrad > 999) ApplyEventCode(s);
    if (!InSet(s.Tidsmod, skipDt) && s.Mod != 21 && s.Mod != 15) s.Dtcykel = s.Dtrad;
}

// Switching cycle type: the other file is read at its own position.
static void SwitchCycle(Sim& s, char type, const Text& file, double x) {
    s.Cykeltyp = type;
    s.Nastarad.X = 0;
    ReadCycleRow(s, file, x);
    s.Mod = 0;
    s.Nastarad.Mod = 0;
    s.Aktrad.Mod = 0;
}

void CycleStage(Sim& s) {
    s.COgf = s.COg;
    s.NOxgf = s.NOxg;
    s.HCgf = s.HCg;
    KeyPreprocess(s);
    SteeringUpdate(s);
    s.Imaxakt = s.Imaxflagga == '+' ? s.Rad17 : s.Imax;

    if (s.Cykeltyp == 'K') {
        if (s.Nsteg < 2 || s.lkarta >= s.Xnasta) ReadCycleRow(s, s.Tkarta, s.lkarta);
        TakeRow(s, "<>IP", "D");
        if (s.Mod != s.Modf) {
            switch (s.Mod) {
            case 10: s.lmark = s.Xstart; break;
            case 11: s.lkarta = Rnd(s.Dtrad) == 11 ? s.lmark : s.ltot; break;
            case 15: s.lkarta = s.Dtrad; break;
            case 20: SwitchCycle(s, 'T', s.Ttidd, s.tcykel); break;
            default: break;
            }
        }
    }
    if (s.Cykeltyp == 'T') {
        if (s.tcykel >= s.Xnasta) ReadCycleRow(s, s.Ttidd, s.tcykel);
        TakeRow(s, "<>Ii", "DR");
        if (s.Mod != s.Modf) {
            switch (s.Mod) {
            case 10: s.tmark = s.Xstart; break;
            case 11: s.tcykel = Rnd(s.Dtrad) == 11 ? s.tmark : s.ttot; break;
            case 15: s.tcykel = s.Dtrad; break;
            case 20: SwitchCycle(s, 'K', s.Tkarta, s.lkarta); break;
            default: break;
            }
        }
    }

    if (s.Mod != s.Modf) {
        if (s.Mod == 21) {
            s.Tvanta = s.ttot + s.Dtrad;
            if (s.Modf != 21) s.vbspar = s.vb;
        }
        if (s.Mod == 30 && (s.Motorstyr == 'J' || s.Motorstyr == 'W')) s.Motorstyr = ' ';
        if (s.Mod == 31 && (s.Motorstyr == ' ' || s.Motorstyr == 'W')) s.Motorstyr = 'J';
        if (s.Mod == 32 && (s.Motorstyr == ' ' || s.Motorstyr == 'J')) s.Motorstyr = 'W';
        int32_t tens = Rnd(s.Mod / 10.0); // 35..45 round to 4, 46..54 to 5
        if (tens == 4) s.Kacc = s.Mod - 40 < 1 ? 1 : s.Mod - 40;
        if (tens == 5) s.Kbroms = s.Mod - 50 < 1 ? 1 : s.Mod - 50;
        if (s.Mod == 60) s.Smark = 's';
        s.Modf = s.Mod;
    }

    if (!InSet(s.Motorstyr, "<>IJPW")) {
        if (s.Mod > 100 && s.Mod < 119) {
            s.Vaxelmod = 10;
            s.Vaxel = static_cast<uint8_t>(s.Mod - 100);
        }
        if (s.Mod == 120) s.Vaxelmod = 20;
    }

    CurveUpdate(s); // also sets Kurvf
    if (s.Mod == 21 && s.ttot >= s.Tvanta) s.vbmal = s.vbspar;
    if (s.Tangent == 's') s.Smark = 's';
}

} // namespace tralvik
