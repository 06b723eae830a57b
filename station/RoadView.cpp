#include "station/RoadView.h"

#include <cmath>

#include "station/Gauges.h"

namespace tralvik {

const char* RoadEventText(RoadEvent e) {
    switch (e) {
    case RoadEvent::Ditch: return "Dikeskörning";
    case RoadEvent::Collision: return "Krock";
    default: return nullptr;
    }
}

// Offsets saturated at the ends of int32 are kept far enough from them that
// the drawing's sums cannot overflow; nothing that near is ever on screen.
static int PxClamp(int32_t x) {
    constexpr int32_t kFar = 1 << 30;
    return x > kFar ? kFar : (x < -kFar ? -kFar : x);
}

static int32_t Depth(double e, double scale) {
    double q = e / scale;
    return Rnd(q * q * q);
}

// The dash for k: its depth and the lateral offsets at that depth and at 1.4 times it.
static void DashGeometry(Sim& s, int k) {
    int64_t e = Rnd64(s.lkarta + 100 * k) % 400;
    s.Djup = Depth(static_cast<double>(e), 67) + 2;
    double K = s.Kursfel, S = s.Sidled, d = s.Djup;
    s.Xfjarr = Rnd(K - d * (K - S) / 240 + K / d);
    s.Xmitt = Rnd(K - 1.4 * d * (K - S) / 240 + 0.714 * K / d);
}

// The oncoming vehicle as if it approached at 20 m/s: returns the picture to
// draw (0..3) or -1. Sets Djup, Motmode, Xfjarr, Motx, Moty.
static int Oncoming(Sim& s) {
    int64_t q = Rnd64(20 * s.ttot + s.lkarta);
    int64_t e = q % 800;
    int64_t phase = (q / 800) % 5;
    s.Djup = Depth(static_cast<double>(e), 133);
    if (phase != 1 && phase != 3) return -1;
    if (s.Djup == 0) s.Motmode() = 2; // armed when a vehicle starts far away
    if (s.Motmode() != 2 || s.Djup <= 19) return -1;
    double K = s.Kursfel, S = s.Sidled, d = s.Djup;
    s.Xfjarr = Rnd(K - d * (K - S) / 240);
    s.Motx = SatSub(SatAdd(s.Xfjarr, 300), s.Djup);
    s.Moty = s.Djup + 300;
    int pic;
    if (s.Djup < 70) pic = 0;
    else if (s.Djup < 90) { pic = 1; s.Motx -= 8; }
    else if (s.Djup < 110) { pic = 2; s.Motx -= 16; }
    else { pic = 3; s.Motx -= 30; }
    return pic;
}

static void FarGeometry(Sim& s) {
    double K = s.Kursfel, S = s.Sidled;
    s.Xfjarr = Rnd(K - 2 * (K - S) / 240 + K / 2);
    s.Xmitt = Rnd(K - 70 * (K - S) / 240 + K / 70);
}

void RoadViewState(Sim& s) {
    FarGeometry(s);
    for (int k = 0; k < 4; ++k) DashGeometry(s, k);
    Oncoming(s);
}

RoadEvent DrawRoadView(Sim& s, Surface& g, const OncomingPictures& mot) {
    // The nearest dash and oncoming car reach below the road view, where
    // nothing would ever clear them.
    RowLimit above(g, 580);
    FarGeometry(s);
    const int xf = PxClamp(s.Xfjarr), xm = PxClamp(s.Xmitt), sl = PxClamp(s.Sidled);

    g.SetFill(colour::kGrass);
    g.SetOutline(colour::kGrass);
    g.Polygon({{sl + 30, 580}, {xm + 215, 380}, {xf + 265, 315}, {xf + 265, 300}, {0, 300}, {0, 580}});
    g.Polygon({{799, 580}, {799, 300}, {xf + 415, 300}, {xf + 415, 315}, {xm + 480, 380}, {sl + 695, 580}});

    g.SetFill(colour::kBlue);
    g.SetOutline(colour::kBlue);
    g.Rectangle(xf + 265, 280, xf + 420, 315);

    g.SetFill(colour::kBlack);
    g.SetOutline(colour::kBlack);
    g.Polygon({{sl + 30, 580}, {xm + 215, 380}, {xf + 265, 315}, {xf + 415, 315}, {xm + 480, 380}, {sl + 695, 580}});

    g.SetFill(colour::kWhite);
    g.SetOutline(colour::kBlack);
    for (int k = 0; k < 4; ++k) {
        DashGeometry(s, k);
        const int d = s.Djup, f = PxClamp(s.Xfjarr);
        const double m = PxClamp(s.Xmitt);
        const int near = Rnd(1.4 * d) + 310;
        g.Polygon({{f + 338 - Rnd(0.1 * d), d + 310},
                   {Rnd(m - 0.1 * d) + 338, near},
                   {Rnd(m + 0.1 * d) + 340, near},
                   {Rnd(0.1 * d) + f + 340, d + 310}});
    }

    g.SetFill(colour::kBlack);
    int pic = Oncoming(s);
    if (pic >= 0 && mot[pic]) g.Draw(s.Motx, s.Moty, *mot[pic]);

    RoadEvent event = RoadEvent::None;
    for (int x : {370, 450, 490}) {
        Rgb c = g.GetPixel(x, 500);
        if (c == colour::kGrass) event = RoadEvent::Ditch;
        if (c == colour::kBlue) event = RoadEvent::Collision;
    }

    g.SetFill(colour::kRed);
    g.SetOutline(colour::kBlack);
    g.Polygon({{350, 580}, {360, 500}, {500, 500}, {520, 580}});
    return event;
}

} // namespace tralvik
