#include "tools/testcar/plot.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include <QPainter>
#include <QPainterPath>

#include "formats/picture.h"
#include "formats/textout.h"

namespace tralvik::tools {

using namespace tralvik::formats;

void PlotRatios(const std::vector<TestCarResult>& results, const std::string& title,
                const std::string& pngPath) {
    EnsureQtGui();
    const int w = 760, h = 700, left = 70, right = 200, top = 46, bottom = 60;
    const int pw = w - left - right, ph = h - top - bottom;
    double hi = 5;
    for (const auto& r : results)
        for (const auto& l : r.lines) hi = std::max({hi, l.simulated, l.measured});
    hi = std::min(60.0, std::ceil(hi / 5) * 5); // l/100 km, both axes from 0
    auto X = [&](double v) { return left + pw * v / hi; };
    auto Y = [&](double v) { return top + ph - ph * v / hi; };

    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = PixelFont("DejaVu Sans", 13), small = PixelFont("DejaVu Sans", 11);
    const QFont bold = PixelFont("DejaVu Sans", 15, true);
    // The ±10 % band around the line of equality.
    p.setClipRect(QRectF(left, top, pw, ph));
    QPainterPath area;
    area.moveTo(X(0), Y(0));
    area.lineTo(X(hi), Y(1.1 * hi));
    area.lineTo(X(hi), Y(0.9 * hi));
    area.closeSubpath();
    p.fillPath(area, QColor(225, 235, 250));
    p.setPen(QPen(QColor(120, 140, 180), 1, Qt::DashLine));
    p.drawLine(QPointF(X(0), Y(0)), QPointF(X(hi), Y(1.1 * hi)));
    p.drawLine(QPointF(X(0), Y(0)), QPointF(X(hi), Y(0.9 * hi)));
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.drawLine(QPointF(X(0), Y(0)), QPointF(X(hi), Y(hi)));
    p.setClipping(false);
    // Grid and axes.
    p.setFont(small);
    for (double v = 0; v <= hi + 1e-9; v += 5) {
        p.setPen(QPen(QColor(225, 225, 225), 1));
        p.drawLine(QPointF(X(v), top), QPointF(X(v), top + ph));
        p.drawLine(QPointF(left, Y(v)), QPointF(left + pw, Y(v)));
        p.setPen(QColor(40, 40, 40));
        const QString t = QString::number(v, 'f', 0);
        p.drawText(QRectF(X(v) - 20, top + ph + 4, 40, 16), Qt::AlignHCenter, t);
        p.drawText(QRectF(left - 46, Y(v) - 8, 40, 16), Qt::AlignRight | Qt::AlignVCenter, t);
    }
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.drawRect(QRectF(left, top, pw, ph));
    p.setFont(font);
    p.drawText(QRectF(left, h - 30, pw, 20), Qt::AlignHCenter,
               QString::fromUtf8("uppmätt l/100 km"));
    p.save();
    p.translate(18, top + ph / 2.0);
    p.rotate(-90);
    p.drawText(QRectF(-ph / 2.0, -10, ph, 20), Qt::AlignHCenter, QString::fromUtf8("simulerad l/100 km"));
    p.restore();
    p.setFont(bold);
    p.drawText(QRectF(left, 10, pw + right, 24), Qt::AlignLeft, QString::fromStdString(title));

    // Points by gearbox type (the first word of the class), FTP filled,
    // HWFET hollow.
    const std::map<std::string, QColor> colours = {{"automatic", QColor(30, 100, 200)},
                                                   {"dual-clutch", QColor(230, 120, 0)},
                                                   {"manual", QColor(30, 150, 60)},
                                                   {"cvt", QColor(200, 30, 60)}};
    const QString names[] = {QString::fromUtf8("automat"), QString::fromUtf8("dubbelkoppling"),
                             QString::fromUtf8("manuell"), QString::fromUtf8("steglös (CVT)")};
    const char* keys[] = {"automatic", "dual-clutch", "manual", "cvt"};
    for (const auto& r : results) {
        const std::string box = r.klass[0].substr(0, r.klass[0].find(' '));
        const auto it = colours.find(box);
        const QColor c = it == colours.end() ? QColor(100, 100, 100) : it->second;
        for (const auto& l : r.lines) {
            const QPointF at(X(std::min(l.measured, hi)), Y(std::min(l.simulated, hi)));
            p.setPen(QPen(c, 1.6));
            p.setBrush(l.test == "FTP" ? QBrush(c) : QBrush(Qt::NoBrush));
            // US06 (aggressive driving) as squares.
            if (l.test == "US06")
                p.drawRect(QRectF(at.x() - 3.4, at.y() - 3.4, 6.8, 6.8));
            else
                p.drawEllipse(at, 3.6, 3.6);
        }
    }
    // Legend.
    p.setFont(font);
    double ly = top + 10;
    for (int k = 0; k < 4; ++k) {
        p.setPen(QPen(colours.at(keys[k]), 1.6));
        p.setBrush(colours.at(keys[k]));
        p.drawEllipse(QPointF(left + pw + 22, ly + 8), 4, 4);
        p.setPen(QColor(30, 30, 30));
        p.drawText(QRectF(left + pw + 34, ly, right - 36, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   names[k]);
        ly += 22;
    }
    ly += 10;
    p.setPen(QPen(QColor(60, 60, 60), 1.6));
    p.setBrush(QColor(60, 60, 60));
    p.drawEllipse(QPointF(left + pw + 22, ly + 8), 4, 4);
    p.drawText(QRectF(left + pw + 34, ly, right - 36, 18), Qt::AlignLeft | Qt::AlignVCenter, "FTP-75");
    ly += 22;
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(left + pw + 22, ly + 8), 4, 4);
    p.drawText(QRectF(left + pw + 34, ly, right - 36, 18), Qt::AlignLeft | Qt::AlignVCenter, "HWFET");
    bool us06 = false;
    for (const auto& r : results)
        for (const auto& l : r.lines) us06 = us06 || l.test == "US06";
    if (us06) {
        ly += 22;
        p.drawRect(QRectF(left + pw + 22 - 3.4, ly + 8 - 3.4, 6.8, 6.8));
        p.drawText(QRectF(left + pw + 34, ly, right - 36, 18), Qt::AlignLeft | Qt::AlignVCenter, "US06");
    }
    ly += 30;
    p.fillRect(QRectF(left + pw + 14, ly + 2, 16, 14), QColor(225, 235, 250));
    p.drawText(QRectF(left + pw + 34, ly, right - 36, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("±10 %"));
    p.end();
    WriteBytes(pngPath, EncodePicture(img, "png"));
}

void PlotEmissions(const std::vector<TestCarResult>& results, const std::string& title,
                   const std::string& pngPath) {
    EnsureQtGui();
    const int cell = 300, left = 64, top = 52, gap = 58, pw = cell - gap, ph = cell - gap;
    const int w = left + 3 * cell, h = top + 3 * cell;
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont small = PixelFont("DejaVu Sans", 11), font = PixelFont("DejaVu Sans", 13);
    p.setFont(PixelFont("DejaVu Sans", 15, true));
    p.setPen(QColor(20, 20, 20));
    p.drawText(QRectF(0, 8, w, 22), Qt::AlignHCenter, QString::fromStdString(title));
    const char* tests[3] = {"FTP", "HWFE", "US06"};
    const char* testNames[3] = {"FTP-75", "HWFET", "US06"};
    const auto stats = SummariseEmissions(results);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            // Axes from 1e-4 to 10 g/mi, five decades.
            const double lo = -4, hi = 1;
            const double x0 = left + col * cell, y0 = top + row * cell + 20;
            auto X = [&](double v) { return x0 + pw * (std::log10(v) - lo) / (hi - lo); };
            auto Y = [&](double v) { return y0 + ph - ph * (std::log10(v) - lo) / (hi - lo); };
            const double a = std::pow(10.0, lo), b = std::pow(10.0, hi);
            p.setClipRect(QRectF(x0, y0, pw, ph));
            QPainterPath band;
            band.moveTo(X(a), Y(2 * a));
            band.lineTo(X(b), Y(2 * b));
            band.lineTo(X(b), Y(b / 2));
            band.lineTo(X(a), Y(a / 2));
            band.closeSubpath();
            p.fillPath(band, QColor(225, 235, 250));
            p.setPen(QPen(QColor(60, 60, 60), 1));
            p.drawLine(QPointF(X(a), Y(a)), QPointF(X(b), Y(b)));
            p.setPen(QPen(QColor(200, 60, 40), 1));
            p.setBrush(Qt::NoBrush);
            for (const auto& r : results)
                for (const auto& l : r.lines) {
                    if (l.test != tests[row]) continue;
                    const double s = l.simulatedGrams[col], m = l.measuredGrams[col];
                    if (!(s > 0 && m > 0)) continue;
                    p.drawEllipse(QPointF(X(std::clamp(m, a, b)), Y(std::clamp(s, a, b))), 2.2, 2.2);
                }
            p.setClipping(false);
            p.setPen(QColor(120, 120, 120));
            p.drawRect(QRectF(x0, y0, pw, ph));
            p.setFont(small);
            p.setPen(QColor(40, 40, 40));
            for (int d = static_cast<int>(lo); d <= static_cast<int>(hi); ++d) {
                const QString t = d == 0 ? QString("1") : d == 1 ? QString("10") : QString("1e%1").arg(d);
                p.drawText(QRectF(X(std::pow(10.0, d)) - 20, y0 + ph + 2, 40, 14), Qt::AlignHCenter, t);
                p.drawText(QRectF(x0 - 44, Y(std::pow(10.0, d)) - 7, 40, 14), Qt::AlignRight | Qt::AlignVCenter, t);
            }
            p.setFont(font);
            QString head = QString("%1 %2").arg(testNames[row], kSubstances[col]);
            for (const auto& st : stats)
                if (st.test == tests[row] && st.substance == kSubstances[col])
                    head += QString::fromUtf8(": %1, %2 %")
                                .arg(st.median, 0, 'f', 2)
                                .arg(100 * st.withinTwo, 0, 'f', 0);
            p.drawText(QRectF(x0, y0 - 20, pw, 18), Qt::AlignHCenter, head);
        }
    p.setFont(small);
    p.drawText(QRectF(0, h - 18, w, 16), Qt::AlignHCenter,
               QString::fromUtf8("vågrätt uppmätt, lodrätt simulerat, g/mile (FTP-75 från kallstart); "
                                 "rubriken: median simulerat/uppmätt, andel inom en faktor 2 (skuggat)"));
    p.end();
    WriteBytes(pngPath, EncodePicture(img, "png"));
}

} // namespace tralvik::tools
