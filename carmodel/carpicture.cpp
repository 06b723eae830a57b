#include "carmodel/carpicture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

#include "carmodel/carmodel.h"
#include "formats/picture.h"
#include "formats/textout.h"

namespace tralvik::carmodel {

using namespace tralvik::formats;

// A car folder's files are written together: a failure leaves the old car
// whole, never one table of the new car beside the old car's others.
void WriteCarFolder(const CarDescription& s, const CarTables& t, const std::string& folder) {
    auto files = CarTableFiles(s, t);
    files.emplace_back("MUSSEL.BMP", EncodePicture(DrawEngineMap(s, t), "bmp"));
    WriteFilesTogether(folder, files);
    RemoveElectricTableOfAnEngine(s, folder);
}

QImage DrawEngineMap(const CarDescription& s, const CarTables& t) {
    EnsureQtGui();
    const double momskala = t.mommax / kMapAxisPixels;
    const double perPixel = MapRpmPerPixel(s);
    const int width =
        ((kMapOriginX + static_cast<int>(std::ceil(s.maxRpm / perPixel)) + 14 + 3) / 4) * 4;
    const int height = kMapOriginY + 22;
    const QColor black(0, 0, 0), grey(110, 110, 110), dark(45, 45, 45), white(255, 255, 255),
        yellow(255, 230, 0), labelYellow(255, 250, 140);
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(black);
    // Continuous picture coordinates: pixel column x holds the marker's 20 rpm
    // from (x - 38) * 20, pixel row y the torques just below (184 - y) Nm-steps.
    auto X = [&](double n) { return kMapOriginX + n / perPixel; };
    auto Y = [&](double T) { return kMapOriginY - T / momskala; };
    auto rpmAt = [&](int x) { return (x - kMapOriginX) * perPixel + perPixel / 2; };
    auto torqueAt = [&](int y) { return (kMapOriginY - y - 0.5) * momskala; };

    // Efficiency levels drawn: every 5 % up to 30, then every 2 % to the peak.
    double peak = 0;
    for (const auto& row : t.eff.z)
        for (double v : row) peak = std::max(peak, v);
    std::vector<double> levels;
    // A motor: every 5 % from 70, then every 2 % from 86 (it is above 70 %
    // nearly everywhere; lower lines would crowd its low-load corner).
    if (s.electricDrive)
        for (double l = 70; l < peak - 0.3; l += (l < 86 ? 5 : 2)) levels.push_back(l);
    else
        for (double l = 10; l < peak - 0.3; l += (l < 30 ? 5 : 2)) levels.push_back(l);
    const std::vector<QColor> lineColours = {
        {100, 110, 255}, {0, 170, 255}, {0, 220, 200}, {0, 230, 60},   {170, 240, 0},
        {255, 200, 0},   {255, 130, 0}, {255, 70, 50}, {255, 40, 170}, {220, 130, 255}};
    auto colourOf = [&](std::size_t l) { return lineColours[l % lineColours.size()]; };

    // Region of the map: from idle to the maximum speed, under the full-load
    // curve, tinted darkly by efficiency so that both colours of the blinking
    // marker show on it.
    const int xFirst = static_cast<int>(std::ceil(X(s.idleRpm)));
    const int xLast = static_cast<int>(std::floor(X(s.maxRpm)));
    std::vector<std::vector<double>> e(width, std::vector<double>(height, -1));
    const double lo = levels.empty() ? 0 : levels.front() - 5, hi = peak;
    for (int x = xFirst; x <= xLast && x < width; ++x) {
        const double n = rpmAt(x);
        const double tfl = t.fullLoad.At(n);
        for (int y = 0; y < kMapOriginY; ++y) {
            const double T = torqueAt(y);
            if (T > tfl || T <= 0) continue;
            e[x][y] = t.eff.At(T, n);
            const double k = std::clamp((e[x][y] - lo) / std::max(1.0, hi - lo), 0.0, 1.0);
            img.setPixel(x, y,
                         qRgb(static_cast<int>(18 + 80 * k), static_cast<int>(22 + 22 * k),
                              static_cast<int>(72 - 52 * k)));
        }
    }

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Grid every 1000 rpm and every torque step, dotted.
    const double tstep = t.mommax <= 250 ? 50 : (t.mommax <= 600 ? 100 : 200);
    {
        QPen grid(dark, 1, Qt::DotLine);
        p.setPen(grid);
        for (double n = 1000; n <= s.maxRpm; n += 1000)
            p.drawLine(QPointF(std::floor(X(n)) + 0.5, 8),
                       QPointF(std::floor(X(n)) + 0.5, kMapOriginY));
        for (double T = tstep; Y(T) > 6; T += tstep)
            p.drawLine(QPointF(kMapOriginX, std::round(Y(T)) + 0.5),
                       QPointF(xLast, std::round(Y(T)) + 0.5));
    }

    // Iso-efficiency lines by marching squares over the pixel centres; each
    // level keeps its points for the labels.
    std::vector<std::vector<QPointF>> onLevel(levels.size());
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const double L = levels[l];
        QPainterPath path;
        for (int x = xFirst; x < xLast && x + 1 < width; ++x)
            for (int y = 0; y + 1 < kMapOriginY; ++y) {
                const double v[4] = {e[x][y], e[x + 1][y], e[x + 1][y + 1], e[x][y + 1]};
                if (v[0] < 0 || v[1] < 0 || v[2] < 0 || v[3] < 0) continue;
                const QPointF c[4] = {
                    {x + 0.5, y + 0.5}, {x + 1.5, y + 0.5}, {x + 1.5, y + 1.5}, {x + 0.5, y + 1.5}};
                std::vector<QPointF> cut;
                for (int k = 0; k < 4; ++k) {
                    const double a = v[k], b = v[(k + 1) % 4];
                    if ((a >= L) != (b >= L)) {
                        const double f = (L - a) / (b - a);
                        cut.push_back(c[k] + (c[(k + 1) % 4] - c[k]) * f);
                    }
                }
                for (std::size_t k = 0; k + 1 < cut.size(); k += 2) {
                    path.moveTo(cut[k]);
                    path.lineTo(cut[k + 1]);
                    onLevel[l].push_back((cut[k] + cut[k + 1]) / 2);
                }
            }
        p.setPen(QPen(colourOf(l), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }

    // Full-load curve, 2.5 pixels wide, through every column's speed.
    {
        QPainterPath curve;
        curve.moveTo(X(s.idleRpm), Y(t.fullLoad.At(s.idleRpm)));
        for (double n = s.idleRpm; n <= s.maxRpm; n += perPixel / 2)
            curve.lineTo(X(n), Y(t.fullLoad.At(n)));
        curve.lineTo(QPointF(X(s.maxRpm), Y(t.fullLoad.At(s.maxRpm))));
        p.setPen(QPen(yellow, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(curve);
    }

    // Axes and labels.
    const QFont small = PixelFont("DejaVu Sans", 10), tiny = PixelFont("DejaVu Sans", 9);
    const QFontMetrics fm(small), fmt(tiny);
    p.setFont(small);
    p.setPen(QPen(grey, 1));
    p.drawLine(QPointF(kMapOriginX + 0.5, kMapOriginY + 0.5),
               QPointF(X(s.maxRpm) + 4, kMapOriginY + 0.5));
    p.drawLine(QPointF(kMapOriginX + 0.5, kMapOriginY + 0.5), QPointF(kMapOriginX + 0.5, 26));
    auto text = [&](double x, double baseline, const QString& str, const QColor& c) {
        p.setPen(c);
        p.drawText(QPointF(x, baseline), str);
    };
    for (double n = 0; n <= s.maxRpm; n += (s.electricDrive ? 2000 : 1000)) {
        const double x = std::floor(X(n)) + 0.5;
        p.setPen(QPen(grey, 1));
        p.drawLine(QPointF(x, kMapOriginY + 0.5), QPointF(x, kMapOriginY + 3.5));
        const QString lab = QString::number(n, 'f', 0);
        p.setFont(tiny);
        text(x - fmt.horizontalAdvance(lab) / 2.0, kMapOriginY + 3 + fmt.ascent(), lab, white);
        p.setFont(small);
    }
    for (double T = tstep; Y(T) > 30; T += tstep) {
        const double y = std::round(Y(T)) + 0.5;
        p.setPen(QPen(grey, 1));
        p.drawLine(QPointF(kMapOriginX - 3, y), QPointF(kMapOriginX + 0.5, y));
        const QString lab = QString::number(T, 'f', 0);
        text(kMapOriginX - 5 - fm.horizontalAdvance(lab), y + fm.ascent() / 2.0 - 1, lab, white);
    }
    // The top-left corner lies under the instrument panel's torque-axis box and
    // the top rows under its consumption figures: keep labels clear of them.
    text(kMapOriginX + 10, 14 + fm.ascent(), "Nm", white);
    // The bottom line: what the map shows and the speed axis's unit.
    p.setFont(tiny);
    const QString xlab = "varv/min";
    const double bottom = height - 1 - fmt.descent();
    text(width - 2 - fmt.horizontalAdvance(xlab), bottom, xlab, white);
    text(2, bottom, QString::fromUtf8("Verkningsgrad i %, ") + QString::fromStdString(s.name),
         white);
    p.setFont(small);
    std::vector<QRectF> used;
    // Name the full-load curve above its rising part, where the map is empty.
    {
        const double n = s.idleRpm + 0.35 * (s.torqueRpm - s.idleRpm);
        const double w = fm.horizontalAdvance("fullast");
        const double x = X(n) - 2 - w;
        const double y = Y(t.fullLoad.At(n)) - 12;
        if (y > 12 && x > kMapOriginX) {
            text(x, y + fm.ascent(), "fullast", labelYellow);
            used.push_back(QRectF(x - 1, y - 1, w + 2, fm.height() + 1));
        }
    }
    // Level labels: on each line near a chosen engine speed, boxed in black.
    const double nLabel = s.electricDrive ? 0.45 * s.maxRpm : s.fuel == Fuel::Petrol ? 0.72 * s.maxRpm : 0.75 * s.maxRpm;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        if (onLevel[l].empty()) continue;
        const QString lab = QString::number(levels[l], 'f', 0);
        const double w = fm.horizontalAdvance(lab) + 3, h = fm.ascent() + 3;
        auto pts = onLevel[l];
        const double xPref = X(nLabel);
        std::sort(pts.begin(), pts.end(), [&](const QPointF& a, const QPointF& b) {
            return std::fabs(a.x() - xPref) < std::fabs(b.x() - xPref);
        });
        for (const QPointF& q : pts) {
            const QRectF box(q.x() - w / 2, q.y() - h / 2, w, h);
            if (box.left() < kMapOriginX + 2 || box.right() > xLast || box.top() < 20 ||
                box.bottom() > kMapOriginY - 1)
                continue;
            bool clash = false;
            for (int xx = static_cast<int>(box.left()) - 1; xx <= box.right() + 1; ++xx)
                if (Y(t.fullLoad.At(rpmAt(xx))) + 3 > box.top()) clash = true;
            for (const auto& u : used)
                if (u.adjusted(-2, -1, 2, 1).intersects(box)) clash = true;
            if (clash) continue;
            p.setPen(Qt::NoPen);
            p.setBrush(black);
            p.drawRoundedRect(box, 2, 2);
            text(box.left() + 1.5, box.top() + 1.5 + fm.ascent() - 1, lab, colourOf(l));
            used.push_back(box);
            break;
        }
    }
    p.end();
    return img;
}

void UseCarPictures() {
    SetCarPictureWriter(&WriteCarFolder);
}

} // namespace tralvik::carmodel
