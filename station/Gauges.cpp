#include "station/Gauges.h"

#include "core/stages.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>


namespace tralvik {

std::string FormatFixed1(double x) {
    if (!std::isfinite(x)) return std::isnan(x) ? "NAN" : (x > 0 ? "INF" : "-INF");
    // Two significant digits first; their exponent tells the integer digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1e", x);
    char* e = std::strchr(buf, 'e');
    int exp10 = std::atoi(e + 1);
    if (exp10 >= 2) {
        // d.dE+x: the exponent without leading zeros.
        *e = 0;
        return std::string(buf) + "E" + (exp10 < 0 ? "-" : "+") + std::to_string(std::abs(exp10));
    }
    double coarse = exp10 >= 1 ? std::strtod(buf, nullptr) : x; // 12.34 -> 12 -> 12.0
    std::snprintf(buf, sizeof buf, "%.1f", coarse);
    std::string out = buf;
    if (out == "-0.0") out = "0.0";
    return out;
}

std::string FormatInt(double x) {
    if (!std::isfinite(x)) return std::isnan(x) ? "NAN" : (x > 0 ? "INF" : "-INF");
    if (std::fabs(x) >= 9.2e18) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", x);
        return buf;
    }
    return std::to_string(static_cast<long long>(std::nearbyint(x)));
}

int Px(double x) {
    if (!std::isfinite(x)) return x > 0 ? 1000000 : (x < 0 ? -1000000 : 0);
    if (x > 1000000) return 1000000;
    if (x < -1000000) return -1000000;
    return static_cast<int>(std::nearbyint(x));
}

// Panel texts are Windows-1252 bytes, as the surface takes them.
static void Label(Surface& g, int x, int y, const char* cp1252) { g.TextOut(x, y, cp1252); }
static void Letter(Surface& g, int x, int y, char c) { g.TextOut(x, y, Text(1, c)); }

static void SpeedScale(Surface& g) {
    Label(g, 0, 45, "0     10     20     30     40     50     60     70");
    Label(g, 275, 45, "     80     90     100    110    120    130");
    Label(g, 527, 45, "    140     150     160    170    180");
}

void DrawPanelBackground(Surface& g, const Picture* map) {
    g.SetOutline(colour::kBlack);
    g.SetFill(colour::kBlack);
    g.Rectangle(0, 0, 799, 315);
    if (map) g.Draw(180, 70, *map);
}

void DrawPanelSkyAndScale(Surface& g) {
    g.SetOutline(colour::kBlack);
    g.SetFill(colour::kBlue);
    g.Rectangle(0, 280, 799, 315);
    g.SetFill(colour::kBlack);
    SpeedScale(g);
}

void DrawPanelLabels(Surface& g, bool electric) {
    g.SetFill(colour::kBlack);
    Label(g, 5, 240, electric ? "%              g/mil" : "Liter          g/mil");
    Label(g, 750, 180, "g/mil");
    Label(g, 750, 240, "%");
    Label(g, 5, 260, electric ? "Batt" : "Bens");
    Label(g, 50, 260, "CO");
    Label(g, 80, 260, "NOx");
    Label(g, 120, 260, "HC");
    if (electric) Label(g, 150, 260, "kW");
}

void DrawStartPaint(Surface& g, const Picture* map) {
    DrawPanelBackground(g, map);
    DrawPanelSkyAndScale(g);
}

void DrawPanelStaticAfterMapChoice(Surface& g, const Picture* map, bool electric) {
    g.SetOutline(colour::kBlack);
    g.SetFill(colour::kBlack);
    g.Rectangle(0, 0, 800, 600);
    if (map) g.Draw(180, 70, *map);
    g.SetFill(colour::kBlue);
    g.Rectangle(0, 280, 799, 315);
    g.SetFill(colour::kBlack);
    SpeedScale(g);
    Label(g, 5, 240, electric ? "%                  g/mil" : "Liter              g/mil");
    Label(g, 750, 180, "g/mil");
    Label(g, 750, 240, "%");
}

void PanelTickState(Sim& s) {
    s.Tidsmod = static_cast<char>(std::toupper(static_cast<unsigned char>(s.Tidsmod)));
    if (s.lkarta > 1) s.Medelforbr = (s.Tank - s.Bensin) * 1e6 / s.ltot;
}

// A gauge 120 pixels high for a full scale; an empty gauge when the scale is
// zero or negative, which the data must not give but a panel must survive.
static int GaugeTop(double value, double full) {
    if (!(full > 0)) return 200;
    return Px(200 - 120 * value / full);
}

struct Meter {
    Rgb fill;
    int x1, x2, avgX, avgY, nowX, nowY;
    double grams, gramsAtStart;
};

static void DrawMeter(Sim& s, Surface& g, const Meter& m) {
    g.SetFill(m.fill);
    if (s.lkarta > 10) {
        double a = RoundEven(m.grams * 1e4 / s.lkarta);
        if (a > 100) a = 100;
        g.Rectangle(m.x1, 200, m.x2, Px(200 - a));
        if (a > 99.9)
            g.TextOut(m.avgX, m.avgY, ">100");
        else
            g.TextOut(m.avgX, m.avgY, FormatInt(a));
    }
    if (s.v * s.Dt > 0.01)
        g.TextOut(m.nowX, m.nowY, FormatInt((m.grams - m.gramsAtStart) * 1e4 / (s.v * s.Dt)));
}

void DrawPanelTick(Sim& s, Surface& g) {
    PanelTickState(s); // nothing drawn before the figures it updates reads them
    g.SetOutline(colour::kBlack);
    g.SetFill(colour::kBlack);
    g.Rectangle(Px(14 * s.vb), 15, 800, 20);
    g.Rectangle(Px(14 * s.v), 20, 800, 40);
    if (s.Nsteg % 10 == 0) {
        g.Rectangle(0, 0, 780, 20);
        g.Rectangle(0, 60, 180, 240);
        g.Rectangle(250, 60, 600, 75);
        g.Rectangle(700, 150, 750, 280);
    }
    // The acceleration changes length and sign every step (after a stop
    // "0.0" follows "-7.8"): a number's background covers only its own
    // width, so its field is cleared every step, not only every tenth.
    g.Rectangle(50, 0, 100, 15);

    Label(g, 10, 0, "acc:");
    g.TextOut(50, 0, FormatFixed1((s.v - s.vf) / s.Dt));
    Label(g, 100, 0, "vx :");
    g.TextOut(140, 0, std::to_string(s.Vaxel));
    Letter(g, 330, 0, s.Motorstyr);
    Letter(g, 340, 0, s.Lutnmod);
    Letter(g, 350, 0, s.Tidsmod);
    if (s.Tidsmod == ' ') {
        if (s.Dtcykel > 0) Label(g, 350, 0, "d");
        if (s.Dtcykel < 0) Label(g, 350, 0, "r");
    }
    Letter(g, 360, 0, s.Reservmod);
    Letter(g, 390, 0, s.Cykeltyp);
    if (s.Tangent != '.') Letter(g, 410, 0, s.Tangent);
    if (s.Vaxelmod < 15) Label(g, 370, 0, "Mv");
    if (s.Vaxelmod > 15) Label(g, 370, 0, "Av");
    Label(g, 210, 0, "Dt :");
    g.TextOut(250, 0, FormatFixed1(s.Dt));

    Label(g, 38, 85, "Lutn i %        ");
    g.TextOut(110, 85, FormatInt(s.Lutn));
    g.SetOutline(colour::kWhite);
    g.Line(38, 120, 88, 120);
    g.Line(88, 120, 138, Px(120 - 2 * s.Lutn));
    g.SetOutline(colour::kBlack);

    g.Rectangle(400, 60, 500, 75);
    Label(g, 110, 60, "H\xF6jd        "); // "Höjd"
    g.TextOut(150, 60, FormatInt(s.Hojd));
    Label(g, 520, 0, "Tid i sekunder  ");
    g.TextOut(650, 0, FormatInt(s.ttot));
    Label(g, 40, 60, "km");
    g.TextOut(70, 60, FormatFixed1(s.lkarta / 1000));
    const bool electric = HasElectricDrive(s);
    if (electric) {
        // The battery's energy per 100 km since START, and now.
        if (s.ltot > 1) g.TextOut(400, 60, FormatInt(s.el.batteryJ / 3.6e6 / (s.ltot / 1e5)));
        if (s.v + s.vf > 1) g.TextOut(450, 60, FormatInt(s.el.powerW / 3.6e6 * 1e5 * 2 / (s.v + s.vf)));
        Label(g, 500, 60, "kWh/100 km");
    } else {
        g.TextOut(400, 60, FormatInt(s.Medelforbr));
        if (s.v + s.vf > 1) g.TextOut(450, 60, FormatInt(s.Bflode * 2e6 / (s.v + s.vf)));
        Label(g, 500, 60, "cl/mil");
    }

    g.SetFill(colour::kMagenta);
    g.Rectangle(0, 20, Px(14 * s.v), 40);
    g.Rectangle(0, 15, Px(14 * s.vbcykel), 20);

    g.SetFill(colour::kLightGreen);
    if (electric) {
        // The battery's charge where the fuel gauge is; the electric power
        // beside the emissions, up driving and down regenerating, a motor's
        // peak power 60 pixels either way.
        g.Rectangle(20, 200, 30, GaugeTop(s.el.soc, 100));
        g.TextOut(15, 220, FormatInt(s.el.soc));
        g.SetFill(colour::kBlack);
        g.Rectangle(150, 60, 178, 200);
        g.Rectangle(145, 220, 180, 236);
        const double full = s.Imax * 120;
        const int bar = full > 0 ? Px(60 * std::clamp(s.el.powerW / full, -1.0, 1.0)) : 0;
        g.SetFill(bar >= 0 ? colour::kLightGreen : colour::kOrange);
        g.Rectangle(155, 140, 165, 140 - bar);
        g.TextOut(145, 220, FormatInt(s.el.powerW / 1000));
    } else {
        g.Rectangle(20, 200, 30, GaugeTop(s.Bensin, s.Tank));
        g.TextOut(15, 220, FormatInt(s.Bensin));
    }
    g.SetFill(colour::kOrange);
    g.Rectangle(32, 200, 37, GaugeTop(s.Broms, s.Fbmax));

    DrawMeter(s, g, {colour::kGrey, 50, 60, 45, 220, 710, 200, s.COg, s.COgf});
    DrawMeter(s, g, {colour::kLightBrown, 90, 100, 85, 220, 710, 180, s.NOxg, s.NOxgf});
    DrawMeter(s, g, {colour::kDarkBrown, 130, 140, 125, 220, 710, 160, s.HCg, s.HCgf});

    g.SetFill(colour::kLightGreen);
    g.TextOut(710, 240, FormatInt(s.ICvgr));

    Rgb marker = s.Nsteg % 2 == 0 ? colour::kWhite : colour::kBlack;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) g.SetPixel(SatAdd(218 + i, s.Mussx), SatAdd(54 + j, s.Mussy), marker);
}

} // namespace tralvik
