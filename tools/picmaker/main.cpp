// picmaker: draws the oncoming-car pictures MOT1..MOT4.BMP and the start
// picture START.BMP, and on request a preview of the road view with them.
#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/lib/canvas.h"
#include "tools/lib/textout.h"

using namespace tralvik::tools;

namespace {

const char* kHelp = R"(picmaker - pictures of the simulator

Usage: picmaker FOLDER [--preview PREVIEW.ppm]

Writes into FOLDER:
  MOT1.BMP .. MOT4.BMP  an oncoming car, far to near, 24-bit; the bottom-left
                        pixel holds the background colour, which the road view
                        leaves transparent. The body is pure blue (0,0,255): the
                        road view reports a collision where it covers one of its
                        test points.
  START.BMP             the start picture, 640 x 480, 16 colours.
--preview draws the road view of a straight road with the oncoming car at
several depths, as the road view places it, for checking the sizes.
)";

const Rgb kKey{255, 0, 255}; // background, left transparent
const Rgb kBody{0, 0, 255};  // pure blue: the collision colour
const Rgb kBodyDark{0, 0, 150};
const Rgb kBodyLight{110, 110, 255};
const Rgb kGlass{70, 90, 120};
const Rgb kGlassLight{120, 150, 180};
const Rgb kTyre{35, 35, 35};
const Rgb kGrille{45, 45, 45};
const Rgb kChrome{170, 170, 170};
const Rgb kLight{255, 255, 210};
const Rgb kPlate{235, 235, 235};

// Oncoming car seen from the front, body width `b` pixels, left margin `m`.
Canvas DrawOncoming(int b, int m, int w, int h) {
    Canvas c(w, h, kKey);
    const double B = b, H = h - 1, x0 = m;
    auto X = [&](double f) { return x0 + f * B; };
    auto Y = [&](double f) { return f * H; };
    // Tyres below the body.
    c.FillRect(static_cast<int>(X(0.06)), static_cast<int>(Y(0.78)), static_cast<int>(X(0.24)), h,
               kTyre);
    c.FillRect(static_cast<int>(X(0.76)), static_cast<int>(Y(0.78)), static_cast<int>(X(0.94)), h,
               kTyre);
    // Cabin: roof and pillars in body colour, windscreen inside.
    c.FillPolygon({{X(0.20), Y(0.0)}, {X(0.80), Y(0.0)}, {X(0.95), Y(0.40)}, {X(0.05), Y(0.40)}},
                  kBody);
    c.FillPolygon({{X(0.25), Y(0.07)}, {X(0.75), Y(0.07)}, {X(0.87), Y(0.36)}, {X(0.13), Y(0.36)}},
                  kGlass);
    c.FillPolygon({{X(0.30), Y(0.09)}, {X(0.42), Y(0.09)}, {X(0.30), Y(0.30)}, {X(0.22), Y(0.30)}},
                  kGlassLight);
    // Mirrors.
    c.FillRect(static_cast<int>(X(-0.04)), static_cast<int>(Y(0.30)), static_cast<int>(X(0.05)),
               static_cast<int>(Y(0.38)) + 1, kBody);
    c.FillRect(static_cast<int>(X(0.95)), static_cast<int>(Y(0.30)), static_cast<int>(X(1.04)),
               static_cast<int>(Y(0.38)) + 1, kBody);
    // Lower body, bonnet edge lit from above.
    c.FillRect(static_cast<int>(X(0.0)), static_cast<int>(Y(0.40)), static_cast<int>(X(1.0)),
               static_cast<int>(Y(0.82)), kBody);
    c.Line(X(0.02), Y(0.42), X(0.98), Y(0.42), kBodyLight, std::max(1, b / 60));
    c.FillRect(static_cast<int>(X(0.0)), static_cast<int>(Y(0.74)), static_cast<int>(X(1.0)),
               static_cast<int>(Y(0.82)), kBodyDark);
    // Headlights, grille, bumper and number plate.
    c.FillEllipse(X(0.15), Y(0.54), 0.09 * B, 0.055 * H + 0.5, kLight);
    c.FillEllipse(X(0.85), Y(0.54), 0.09 * B, 0.055 * H + 0.5, kLight);
    c.FillRect(static_cast<int>(X(0.32)), static_cast<int>(Y(0.49)), static_cast<int>(X(0.68)),
               static_cast<int>(Y(0.61)), kGrille);
    c.FillRect(static_cast<int>(X(0.0)), static_cast<int>(Y(0.66)), static_cast<int>(X(1.0)),
               static_cast<int>(Y(0.71)) + 1, kChrome);
    if (b >= 80)
        c.FillRect(static_cast<int>(X(0.40)), static_cast<int>(Y(0.64)), static_cast<int>(X(0.60)),
                   static_cast<int>(Y(0.73)), kPlate);
    // The bottom-left pixel must keep the background colour.
    c.Set(0, h - 1, kKey);
    return c;
}

struct MotSize {
    int body, margin, width, height, shift; // shift: how the road view moves it left
};
// Sizes for the depth ranges the road view uses: MOT1 20..69, MOT2 70..89,
// MOT3 90..109, MOT4 110 and nearer; about two thirds of the lane's width.
const MotSize kMot[4] = {
    {50, 3, 56, 40, 0}, {88, 6, 100, 68, 8}, {112, 9, 130, 86, 16}, {160, 20, 200, 124, 30}};

Canvas DrawStart() {
    const Rgb black{0, 0, 0}, white{255, 255, 255}, sky{90, 160, 230}, navy{0, 0, 128},
        grass{0, 128, 0}, darkGrass{0, 90, 0}, road{80, 80, 80}, grey{170, 170, 170},
        yellow{255, 255, 0}, red{200, 0, 0}, darkRed{120, 0, 0}, glass{150, 210, 255},
        sun{255, 200, 0};
    Canvas c(640, 480, sky);
    // Sun, hills, grass and a road running into the distance.
    c.FillEllipse(592, 46, 30, 30, sun);
    c.FillPolygon({{0, 250},
                   {120, 205},
                   {260, 240},
                   {400, 195},
                   {560, 235},
                   {640, 215},
                   {640, 300},
                   {0, 300}},
                  darkGrass);
    c.FillRect(0, 270, 640, 480, grass);
    c.FillPolygon({{300, 270}, {340, 270}, {640, 430}, {640, 480}, {0, 480}, {0, 430}}, road);
    for (int k = 0; k < 6; ++k) {
        const double y0 = 273 + 4 * k + 5 * k * k, y1 = y0 + 3 + 3 * k;
        const double w0 = 1 + 1.2 * (y0 - 270) / 20, w1 = 1 + 1.2 * (y1 - 270) / 20;
        c.FillPolygon({{320 - w0, y0}, {320 + w0, y0}, {320 + w1, y1}, {320 - w1, y1}}, white);
    }
    // Title with a shadow.
    const std::string title = "Tralvik";
    const int scale = 10;
    const int tx = (640 - Canvas::TextWidth(title, scale)) / 2;
    c.Text(tx + 5, 25, title, navy, scale);
    c.Text(tx, 20, title, yellow, scale);
    const std::string sub = Utf8To1252("Körsimulator för bil med mekanisk kraftöverföring");
    c.Text((640 - Canvas::TextWidth(sub, 2)) / 2 + 1, 121, sub, navy, 2);
    c.Text((640 - Canvas::TextWidth(sub, 2)) / 2, 120, sub, white, 2);
    // A car seen from the side, driving to the right.
    const double cx = 150, cy = 300;
    c.FillPolygon({{cx, cy + 40},
                   {cx + 10, cy + 10},
                   {cx + 80, cy},
                   {cx + 120, cy - 38},
                   {cx + 230, cy - 38},
                   {cx + 275, cy},
                   {cx + 330, cy + 8},
                   {cx + 340, cy + 40}},
                  red);
    c.FillPolygon(
        {{cx + 128, cy - 31}, {cx + 188, cy - 31}, {cx + 188, cy - 2}, {cx + 100, cy - 2}}, glass);
    c.FillPolygon(
        {{cx + 196, cy - 31}, {cx + 228, cy - 31}, {cx + 262, cy - 2}, {cx + 196, cy - 2}}, glass);
    c.FillRect(static_cast<int>(cx), static_cast<int>(cy + 32), static_cast<int>(cx + 340),
               static_cast<int>(cy + 40), darkRed);
    c.FillRect(static_cast<int>(cx + 322), static_cast<int>(cy + 12), static_cast<int>(cx + 338),
               static_cast<int>(cy + 20), yellow);
    for (double wx : {cx + 75, cx + 265}) {
        c.FillEllipse(wx, cy + 40, 27, 27, black);
        c.FillEllipse(wx, cy + 40, 12, 12, grey);
    }
    // Credits and the call to start.
    const std::string cred1 = Utf8To1252("Bilar, vägar, bilder och ljud:");
    const std::string cred2 = Utf8To1252("gjorda med simulatorns egna verktyg");
    c.FillRect(0, 388, 640, 480, navy);
    c.Text((640 - Canvas::TextWidth(cred1, 2)) / 2, 394, cred1, white, 2);
    c.Text((640 - Canvas::TextWidth(cred2, 2)) / 2, 416, cred2, white, 2);
    const std::string go = Utf8To1252("Tryck på START");
    c.Text((640 - Canvas::TextWidth(go, 3)) / 2, 444, go, yellow, 3);
    return c;
}

// The road view of a straight road (no heading error, no side offset) with
// the oncoming car at depth d, placed as the road view places it.
void Preview(const std::vector<Canvas>& mot, const std::string& path) {
    const int depths[] = {20, 45, 69, 80, 100, 120, 160, 200, 217};
    const int n = static_cast<int>(std::size(depths));
    Canvas all(800, 300 * ((n + 2) / 3) / 1, Rgb{255, 255, 255});
    all = Canvas(800 * 3 / 2, 150 * ((n + 2) / 3), Rgb{255, 255, 255});
    for (int i = 0; i < n; ++i) {
        Canvas v(800, 600, Rgb{0, 0, 0});
        const Rgb green{0, 128, 0}, blue{0, 0, 255};
        v.FillPolygon({{30, 580}, {215, 380}, {265, 315}, {265, 300}, {0, 300}, {0, 580}}, green);
        v.FillPolygon({{799, 580}, {799, 300}, {415, 300}, {415, 315}, {480, 380}, {695, 580}},
                      green);
        v.FillRect(265, 280, 420, 315, blue);
        for (int k = 0; k < 4; ++k) {
            const int djup = static_cast<int>(std::lround(std::pow((100 * k % 400) / 67.0, 3))) + 2;
            v.FillPolygon({{338 - 0.1 * djup, djup + 310.0},
                           {338 - 0.1 * djup, 1.4 * djup + 310},
                           {340 + 0.1 * djup, 1.4 * djup + 310},
                           {340 + 0.1 * djup, djup + 310.0}},
                          Rgb{255, 255, 255});
        }
        const int d = depths[i];
        const int k = d < 70 ? 0 : d < 90 ? 1 : d < 110 ? 2 : 3;
        const int motx = 300 - d - kMot[k].shift, moty = d + 300;
        const Canvas& p = mot[k];
        const Rgb key = p.Get(0, p.height() - 1);
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                if (!(p.Get(x, y) == key)) v.Set(motx + x, moty + y, p.Get(x, y));
        v.FillPolygon({{350, 580}, {360, 500}, {500, 500}, {520, 580}}, Rgb{255, 0, 0});
        const std::string lab = "Djup " + std::to_string(d);
        v.Text(10, 290, lab, Rgb{255, 255, 255}, 2);
        // Half size, rows 280..580 only.
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 400; ++x)
                all.Set((i % 3) * 400 + x, (i / 3) * 150 + y, v.Get(2 * x, 280 + 2 * y));
    }
    WritePpm(all, path);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc), pos;
    std::string preview;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                std::fputs(kHelp, stdout);
                return 0;
            } else if (args[i] == "--preview" && i + 1 < args.size()) {
                preview = args[++i];
            } else if (!args[i].empty() && args[i][0] == '-') {
                throw std::runtime_error("unknown option " + args[i] + " (see --help)");
            } else {
                pos.push_back(args[i]);
            }
        }
        if (pos.size() != 1)
            throw std::runtime_error("usage: picmaker FOLDER [--preview PREVIEW.ppm]");
        MakeDirs(pos[0]);
        std::vector<Canvas> mot;
        for (int k = 0; k < 4; ++k) {
            mot.push_back(
                DrawOncoming(kMot[k].body, kMot[k].margin, kMot[k].width, kMot[k].height));
            WriteBmp(mot.back(), pos[0] + "/MOT" + std::to_string(k + 1) + ".BMP", 24);
        }
        WriteBmp(DrawStart(), pos[0] + "/START.BMP", 4);
        if (!preview.empty()) Preview(mot, preview);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "picmaker: %s\n", e.what());
        return 1;
    }
    return 0;
}
