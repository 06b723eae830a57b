// picmaker: draws the oncoming-car pictures MOT1..MOT4.BMP and the start
// picture START.BMP, and on request a preview of the road view with them.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "formats/picture.h"
#include "formats/textout.h"

using namespace tralvik::formats;

namespace {

const char* kHelp = R"(picmaker - pictures of the simulator

Usage: picmaker FOLDER [--preview PREVIEW.png]

Writes into FOLDER:
  MOT1.BMP .. MOT4.BMP  an oncoming car, far to near, 24-bit; the bottom-left
                        pixel holds the background colour, which the road view
                        leaves transparent. The body is pure blue (0,0,255): the
                        road view reports a collision where it covers one of its
                        test points.
  START.BMP             the start picture, 640 x 480, 16 colours.
The pictures are drawn with Qt (QPainter, antialiased, real fonts) and
written with Qt's image writer.
--preview draws the road view of a straight road with the oncoming car at
several depths, as the road view places it, for checking the sizes.
)";

const QColor kKey(255, 0, 255); // background, left transparent
const QColor kBody(0, 0, 255);  // pure blue: the collision colour
const QColor kBodyDark(0, 0, 150);
const QColor kBodyLight(110, 110, 255);
const QColor kGlass(70, 90, 120);
const QColor kGlassLight(120, 150, 180);
const QColor kTyre(35, 35, 35);
const QColor kGrille(45, 45, 45);
const QColor kChrome(170, 170, 170);
const QColor kLight(255, 255, 210);
const QColor kPlate(235, 235, 235);

QPolygonF Poly(std::initializer_list<QPointF> pts) {
    return QPolygonF(QList<QPointF>(pts));
}

// Antialiased inside, hard at the outline: pixels at least half covered take
// their colour, the rest the key colour, so no blend of the key fringes the
// car on the road. Blends that are mostly body become body again: the road
// view's collision test looks for the exact body colour.
QImage Flatten(const QImage& drawn) {
    QImage out(drawn.size(), QImage::Format_RGB32);
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor c = drawn.pixelColor(x, y);
            QColor o = c.alpha() >= 128 ? QColor(c.red(), c.green(), c.blue()) : kKey;
            if (o != kKey && std::abs(o.red() - kBody.red()) + std::abs(o.green() - kBody.green()) +
                                     std::abs(o.blue() - kBody.blue()) <=
                                 60)
                o = kBody;
            out.setPixelColor(x, y, o);
        }
    return out;
}

// Oncoming car seen from the front, body width `b` pixels, left margin `m`.
QImage DrawOncoming(int b, int m, int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const double B = b, H = h - 1, x0 = m;
    auto X = [&](double f) { return x0 + f * B; };
    auto Y = [&](double f) { return f * H; };
    auto rect = [&](double x1, double y1, double x2, double y2, const QColor& c, double r = 0) {
        p.setBrush(c);
        p.drawRoundedRect(QRectF(QPointF(X(x1), Y(y1)), QPointF(X(x2), Y(y2))), r * B, r * B);
    };
    // Tyres below the body.
    rect(0.06, 0.78, 0.24, 1.01, kTyre, 0.02);
    rect(0.76, 0.78, 0.94, 1.01, kTyre, 0.02);
    // Cabin: roof and pillars in body colour, windscreen inside.
    p.setBrush(kBody);
    p.drawPolygon(
        Poly({{X(0.20), Y(0.0)}, {X(0.80), Y(0.0)}, {X(0.95), Y(0.41)}, {X(0.05), Y(0.41)}}));
    p.setBrush(kGlass);
    p.drawPolygon(
        Poly({{X(0.25), Y(0.07)}, {X(0.75), Y(0.07)}, {X(0.87), Y(0.36)}, {X(0.13), Y(0.36)}}));
    p.setBrush(kGlassLight);
    p.drawPolygon(
        Poly({{X(0.30), Y(0.09)}, {X(0.42), Y(0.09)}, {X(0.30), Y(0.30)}, {X(0.22), Y(0.30)}}));
    // Mirrors.
    rect(-0.04, 0.30, 0.05, 0.38, kBody, 0.015);
    rect(0.95, 0.30, 1.04, 0.38, kBody, 0.015);
    // Lower body, bonnet edge lit from above.
    rect(0.0, 0.40, 1.0, 0.82, kBody, 0.03);
    p.setPen(QPen(kBodyLight, std::max(1.0, B / 60.0)));
    p.drawLine(QPointF(X(0.03), Y(0.425)), QPointF(X(0.97), Y(0.425)));
    p.setPen(Qt::NoPen);
    rect(0.0, 0.74, 1.0, 0.82, kBodyDark, 0.02);
    // Headlights, grille, bumper and number plate.
    p.setBrush(kLight);
    for (double cx : {0.15, 0.85})
        p.drawEllipse(QPointF(X(cx), Y(0.545)), 0.09 * B, 0.055 * H + 0.5);
    rect(0.32, 0.49, 0.68, 0.61, kGrille, 0.01);
    rect(0.0, 0.66, 1.0, 0.715, kChrome, 0.01);
    if (b >= 80) rect(0.40, 0.64, 0.60, 0.73, kPlate, 0.005);
    p.end();
    QImage out = Flatten(img);
    // The bottom-left pixel must keep the background colour.
    out.setPixelColor(0, h - 1, kKey);
    return out;
}

struct MotSize {
    int body, margin, width, height, shift; // shift: how the road view moves it left
};
// Sizes for the depth ranges the road view uses: MOT1 20..69, MOT2 70..89,
// MOT3 90..109, MOT4 110 and nearer; about two thirds of the lane's width.
const MotSize kMot[4] = {
    {50, 3, 56, 40, 0}, {88, 6, 100, 68, 8}, {112, 9, 130, 86, 16}, {160, 20, 200, 124, 30}};

// The start picture's sixteen colours: the window shows it in these. The
// dark gold takes the edges of the yellow title on the dark blue.
const QList<QRgb> kStartColours = {
    qRgb(150, 118, 24), qRgb(255, 255, 255), qRgb(16, 24, 64),    qRgb(36, 64, 140),
    qRgb(72, 118, 196), qRgb(128, 172, 226), qRgb(30, 96, 48),    qRgb(70, 150, 60),
    qRgb(80, 82, 90),   qRgb(160, 162, 170), qRgb(255, 214, 0),   qRgb(255, 150, 30),
    qRgb(200, 30, 30),  qRgb(110, 10, 20),   qRgb(170, 215, 250), qRgb(118, 126, 160)};

QImage DrawStart() {
    const auto C = [](int k) { return QColor(kStartColours[k]); };
    const QColor white = C(1), navy = C(2), sky1 = C(3), sky2 = C(4), sky3 = C(5), hill = C(6),
                 grass = C(7), road = C(8), grey = C(9), yellow = C(10), orange = C(11),
                 red = C(12), darkRed = C(13), glass = C(14);
    QImage img(640, 480, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    // Sky in bands that narrow towards the horizon, and the sun low above it.
    p.fillRect(QRectF(0, 0, 640, 150), sky1);
    p.fillRect(QRectF(0, 150, 640, 60), sky2);
    p.fillRect(QRectF(0, 178, 640, 6), sky3);
    p.fillRect(QRectF(0, 192, 640, 100), sky3);
    p.fillRect(QRectF(0, 200, 640, 4), sky2);
    p.setBrush(orange);
    p.drawEllipse(QPointF(548, 212), 40, 40);
    p.setBrush(yellow);
    p.drawEllipse(QPointF(548, 212), 31, 31);
    // Rolling hills, then the plain.
    QPainterPath hills;
    hills.moveTo(0, 238);
    hills.cubicTo(90, 196, 170, 200, 250, 228);
    hills.cubicTo(330, 254, 400, 186, 500, 214);
    hills.cubicTo(560, 230, 600, 214, 640, 206);
    hills.lineTo(640, 300);
    hills.lineTo(0, 300);
    hills.closeSubpath();
    p.setBrush(hill);
    p.drawPath(hills);
    p.fillRect(QRectF(0, 262, 640, 218), grass);
    // The road runs into the distance, centre line dashed in perspective.
    p.setBrush(road);
    p.drawPolygon(Poly({{304, 262}, {336, 262}, {640, 420}, {640, 480}, {0, 480}, {0, 420}}));
    p.setPen(QPen(grey, 2));
    p.drawLine(QPointF(304, 262), QPointF(0, 420));
    p.drawLine(QPointF(336, 262), QPointF(640, 420));
    p.setPen(Qt::NoPen);
    p.setBrush(white);
    for (int k = 0; k < 6; ++k) {
        const double y0 = 265 + 4 * k + 5 * k * k, y1 = y0 + 3 + 3 * k;
        const double w0 = 1 + 1.2 * (y0 - 262) / 20, w1 = 1 + 1.2 * (y1 - 262) / 20;
        p.drawPolygon(Poly({{320 - w0, y0}, {320 + w0, y0}, {320 + w1, y1}, {320 - w1, y1}}));
    }
    // A saloon seen from the side, driving to the right.
    const double cx = 150, cy = 300;
    QPainterPath body;
    body.moveTo(cx + 4, cy + 38);
    body.lineTo(cx + 2, cy + 16);
    body.cubicTo(cx + 4, cy + 4, cx + 30, cy - 2, cx + 86, cy - 4);
    body.cubicTo(cx + 104, cy - 24, cx + 122, cy - 40, cx + 150, cy - 42);
    body.lineTo(cx + 214, cy - 42);
    body.cubicTo(cx + 236, cy - 40, cx + 258, cy - 20, cx + 276, cy - 4);
    body.cubicTo(cx + 318, cy, cx + 336, cy + 6, cx + 338, cy + 20);
    body.lineTo(cx + 336, cy + 38);
    body.closeSubpath();
    p.setBrush(red);
    p.drawPath(body);
    p.setBrush(darkRed);
    p.drawRoundedRect(QRectF(cx + 4, cy + 28, 332, 11), 4, 4);
    p.setPen(QPen(darkRed, 2));
    p.drawLine(QPointF(cx + 190, cy - 2), QPointF(cx + 190, cy + 28));
    p.drawLine(QPointF(cx + 120, cy + 10), QPointF(cx + 136, cy + 10));
    p.drawLine(QPointF(cx + 206, cy + 10), QPointF(cx + 222, cy + 10));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    QPainterPath front, rear;
    front.moveTo(cx + 184, cy - 34);
    front.lineTo(cx + 184, cy - 6);
    front.lineTo(cx + 104, cy - 6);
    front.cubicTo(cx + 118, cy - 24, cx + 132, cy - 34, cx + 152, cy - 34);
    front.closeSubpath();
    rear.moveTo(cx + 196, cy - 34);
    rear.lineTo(cx + 212, cy - 34);
    rear.cubicTo(cx + 230, cy - 32, cx + 248, cy - 18, cx + 262, cy - 6);
    rear.lineTo(cx + 196, cy - 6);
    rear.closeSubpath();
    p.drawPath(front);
    p.drawPath(rear);
    p.setBrush(yellow);
    p.drawRoundedRect(QRectF(cx + 322, cy + 8, 14, 8), 3, 3);
    p.setBrush(orange);
    p.drawRoundedRect(QRectF(cx + 2, cy + 10, 8, 8), 2, 2);
    for (double wx : {cx + 74.0, cx + 266.0}) {
        p.setBrush(road);
        p.drawEllipse(QPointF(wx, cy + 38), 31, 31);
        p.setBrush(navy);
        p.drawEllipse(QPointF(wx, cy + 38), 27, 27);
        p.setBrush(grey);
        p.drawEllipse(QPointF(wx, cy + 38), 14, 14);
        p.setBrush(road);
        p.drawEllipse(QPointF(wx, cy + 38), 4, 4);
    }
    // Title with a drop shadow and an outline, and the subtitle.
    auto centred = [&](const QString& text, const QFont& f, double baseline, const QColor& c,
                       const QColor& shadow, double dx, double dy) {
        QPainterPath path;
        const double w = QFontMetricsF(f).horizontalAdvance(text);
        path.addText(QPointF((640 - w) / 2, baseline), f, text);
        if (dx != 0 || dy != 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(shadow);
            p.drawPath(path.translated(dx, dy));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(path);
    };
    const QFont title = PixelFont("DejaVu Sans", 112, true);
    {
        QPainterPath path;
        const QString t = "Tralvik";
        const double w = QFontMetricsF(title).horizontalAdvance(t);
        path.addText(QPointF((640 - w) / 2, 112), title, t);
        p.setPen(Qt::NoPen);
        p.setBrush(navy);
        p.drawPath(path.translated(6, 6));
        p.setPen(QPen(navy, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(yellow);
        p.drawPath(path);
    }
    centred(QString::fromUtf8("Körsimulator för bil med mekanisk kraftöverföring"),
            PixelFont("DejaVu Sans", 21, true), 150, white, navy, 2, 2);
    // Credits and the call to start on a dark band.
    p.fillRect(QRectF(0, 384, 640, 96), navy);
    p.fillRect(QRectF(0, 384, 640, 3), yellow);
    centred(QString::fromUtf8("Bilar, vägar, bilder och ljud gjorda med"),
            PixelFont("DejaVu Sans", 17), 412, white, navy, 0, 0);
    centred(QString::fromUtf8("simulatorns egna verktyg"), PixelFont("DejaVu Sans", 17), 432, white,
            navy, 0, 0);
    centred(QString::fromUtf8("Tryck på START"), PixelFont("DejaVu Sans", 26, true), 468, yellow,
            navy, 0, 0);
    p.end();
    return ToPalette(img, kStartColours);
}

// The road view of a straight road (no heading error, no side offset) with
// the oncoming car at several depths, placed as the road view places it.
void Preview(const std::vector<QImage>& mot, const std::string& path) {
    const int depths[] = {20, 45, 69, 80, 100, 120, 160, 200, 217};
    const int n = static_cast<int>(std::size(depths));
    QImage all(1200, 150 * ((n + 2) / 3), QImage::Format_RGB32);
    all.fill(Qt::white);
    QPainter pa(&all);
    pa.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < n; ++i) {
        QImage v(800, 600, QImage::Format_RGB32);
        v.fill(Qt::black);
        QPainter p(&v);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 128, 0));
        p.drawPolygon(Poly({{30, 580}, {215, 380}, {265, 315}, {265, 300}, {0, 300}, {0, 580}}));
        p.drawPolygon(
            Poly({{799, 580}, {799, 300}, {415, 300}, {415, 315}, {480, 380}, {695, 580}}));
        p.fillRect(QRect(265, 280, 155, 35), QColor(0, 0, 255));
        p.setBrush(Qt::white);
        for (int k = 0; k < 4; ++k) {
            const int djup = static_cast<int>(std::lround(std::pow((100 * k % 400) / 67.0, 3))) + 2;
            p.drawPolygon(Poly({{338 - 0.1 * djup, djup + 310.0},
                                {338 - 0.1 * djup, 1.4 * djup + 310},
                                {340 + 0.1 * djup, 1.4 * djup + 310},
                                {340 + 0.1 * djup, djup + 310.0}}));
        }
        const int d = depths[i];
        const int k = d < 70 ? 0 : d < 90 ? 1 : d < 110 ? 2 : 3;
        const int motx = 300 - d - kMot[k].shift, moty = d + 300;
        const QImage& pic = mot[k];
        const QRgb key = pic.pixel(0, pic.height() - 1);
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x)
                if (pic.pixel(x, y) != key && v.rect().contains(motx + x, moty + y))
                    v.setPixel(motx + x, moty + y, pic.pixel(x, y));
        p.setBrush(QColor(255, 0, 0));
        p.drawPolygon(Poly({{350, 580}, {360, 500}, {500, 500}, {520, 580}}));
        p.setPen(Qt::white);
        p.setFont(PixelFont("DejaVu Sans", 20));
        p.drawText(QPointF(10, 305), QString("Djup %1").arg(d));
        p.end();
        // Half size, rows 280..580 only.
        pa.drawImage(QRectF((i % 3) * 400, (i / 3) * 150, 400, 150), v, QRectF(0, 280, 800, 300));
    }
    pa.end();
    // The format from the name's ending, as the sheet is asked for (PNG by default).
    std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : "";
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    WriteBytes(path, EncodePicture(all, ext == ".bmp" ? "bmp" : ext == ".jpg" ? "jpg" : "png"));
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
            throw std::runtime_error("usage: picmaker FOLDER [--preview PREVIEW.png]");
        MakeDirs(pos[0]);
        EnsureQtGui();
        std::vector<QImage> mot;
        for (int k = 0; k < 4; ++k) {
            mot.push_back(
                DrawOncoming(kMot[k].body, kMot[k].margin, kMot[k].width, kMot[k].height));
            WritePicture(mot.back(), pos[0] + "/MOT" + std::to_string(k + 1) + ".BMP");
        }
        WritePicture(DrawStart(), pos[0] + "/START.BMP");
        if (!preview.empty()) Preview(mot, preview);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "picmaker: %s\n", e.what());
        return 1;
    }
    return 0;
}
