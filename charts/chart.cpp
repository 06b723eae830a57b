#include "charts/chart.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tralvik::charts {

namespace {

constexpr double kWidth = 800;
constexpr double kLeft = 74, kTop = 14, kPlotH = 280, kRightPad = 24, kScaleRoom = 96;
constexpr double kLineH = 15;
// Layers are drawn on a canvas of this height and cut to the chart's own
// height at the end, when the legend's rows are known.
constexpr int kCanvasH = 4000;

QFont ChartFont() {
    QFont f("DejaVu Sans");
    f.setPixelSize(12);
    return f;
}

std::string Xml(const std::string& t) {
    std::string r;
    for (char c : t) {
        switch (c) {
        case '<':
            r += "&lt;";
            break;
        case '>':
            r += "&gt;";
            break;
        case '&':
            r += "&amp;";
            break;
        case '"':
            r += "&quot;";
            break;
        default:
            r += c;
        }
    }
    return r;
}

int Decimals(double step) {
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

} // namespace

std::string Axis::Title() const {
    return unit.empty() ? quantity : quantity + " (" + unit + ")";
}

QColor SeriesColour(std::size_t i) {
    static const QColor colours[] = {
        QColor(31, 119, 180),  QColor(214, 39, 40), QColor(44, 160, 44),   QColor(255, 127, 14),
        QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194), QColor(127, 127, 127)};
    return colours[i % 8];
}

double TickStep(double span) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    double raw = span / 6;
    double p = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

std::string Num(double v, int decimals) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc{}) return "?";
    std::string s(buf, r.ptr);
    // A value that rounds to zero carries no sign: "0.000", not "-0.000".
    if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
    return s;
}

struct Chart::Layer {
    std::string cls;
    QBuffer buffer;
    QSvgGenerator gen;
    QPainter p;
};

Chart::Chart(std::string title, bool colourScale)
    : title_(std::move(title)), width_(kWidth),
      plotRight_(kWidth - kRightPad - (colourScale ? kScaleRoom : 0)), below_(kTop + kPlotH) {}

Chart::~Chart() {
    for (auto& l : layers_)
        if (l->p.isActive()) l->p.end();
}

Chart::Layer& Chart::Open(const std::string& cls) {
    // Marks and the frame go on in one group; every legend is a group of its own.
    if (!layers_.empty() && layers_.back()->cls == cls && cls != "legend" && cls != "axis-title")
        return *layers_.back();
    auto l = std::make_unique<Layer>();
    l->cls = cls;
    l->buffer.open(QIODevice::WriteOnly);
    l->gen.setOutputDevice(&l->buffer);
    l->gen.setSize(QSize(static_cast<int>(width_), kCanvasH));
    l->gen.setViewBox(QRect(0, 0, static_cast<int>(width_), kCanvasH));
    l->p.begin(&l->gen);
    l->p.setRenderHint(QPainter::Antialiasing);
    l->p.setFont(ChartFont());
    layers_.push_back(std::move(l));
    return *layers_.back();
}

QRectF Chart::PlotRect() const {
    return QRectF(QPointF(kLeft, kTop), QPointF(plotRight_, kTop + kPlotH));
}

void Chart::SetRange(double x0, double x1, double y0, double y1, bool roundX) {
    if (!std::isfinite(x0) || !std::isfinite(x1)) x0 = 0, x1 = 1;
    if (!std::isfinite(y0) || !std::isfinite(y1)) y0 = 0, y1 = 1;
    if (!(x1 > x0)) x1 = x0 + 1;
    if (!(y1 > y0)) y1 = y0 + 1;
    double ys = TickStep(y1 - y0);
    y0 = std::floor(y0 / ys) * ys;
    y1 = std::ceil(y1 / ys) * ys;
    if (roundX) {
        double xs = TickStep(x1 - x0);
        x0 = std::floor(x0 / xs) * xs;
        x1 = std::ceil(x1 / xs) * xs;
    }
    x0_ = x0, x1_ = x1, y0_ = y0, y1_ = y1;
}

QPointF Chart::Map(double x, double y) const {
    QRectF r = PlotRect();
    return {r.left() + (x - x0_) / (x1_ - x0_) * r.width(),
            r.bottom() - (y - y0_) / (y1_ - y0_) * r.height()};
}

std::vector<std::string> Chart::Wrap(const std::string& text, double width) const {
    QFontMetricsF fm(ChartFont());
    std::vector<std::string> lines;
    std::string line;
    auto fits = [&](const std::string& s) {
        return fm.horizontalAdvance(QString::fromStdString(s)) <= width;
    };
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t sp = text.find(' ', pos);
        std::string word = text.substr(pos, sp == std::string::npos ? std::string::npos : sp - pos);
        pos = sp == std::string::npos ? text.size() + 1 : sp + 1;
        std::string joined = line.empty() ? word : line + " " + word;
        if (fits(joined)) {
            line = joined;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        // A word wider than the line is cut where it must be (whole UTF-8
        // characters).
        line.clear();
        for (std::size_t i = 0; i < word.size();) {
            std::size_t n = 1;
            while (i + n < word.size() && (static_cast<unsigned char>(word[i + n]) & 0xC0) == 0x80)
                ++n;
            std::string more = line + word.substr(i, n);
            if (!line.empty() && !fits(more)) {
                lines.push_back(line);
                line = word.substr(i, n);
            } else {
                line = more;
            }
            i += n;
        }
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

void Chart::Frame(const Axis& x, const Axis& y, bool xTicks) {
    Layer& l = Open("frame");
    QPainter& p = l.p;
    QRectF r = PlotRect();
    QFontMetricsF fm(ChartFont());
    double ys = TickStep(y1_ - y0_);
    for (double v = std::ceil(y0_ / ys - 1e-9) * ys; v <= y1_ + ys * 1e-6; v += ys) {
        QPointF a = Map(x0_, v), b = Map(x1_, v);
        p.setPen(QPen(QColor(225, 225, 225), 1));
        p.drawLine(a, b);
        p.setPen(Qt::black);
        QString t = QString::fromStdString(Num(std::fabs(v) < ys * 1e-6 ? 0 : v, Decimals(ys)));
        p.drawText(QPointF(r.left() - 6 - fm.horizontalAdvance(t), a.y() + 4), t);
    }
    if (xTicks) {
        double xs = TickStep(x1_ - x0_);
        for (double v = std::ceil(x0_ / xs - 1e-9) * xs; v <= x1_ + xs * 1e-6; v += xs) {
            QPointF b = Map(v, y0_);
            p.setPen(Qt::black);
            p.drawLine(b, b + QPointF(0, 4));
            QString t = QString::fromStdString(Num(std::fabs(v) < xs * 1e-6 ? 0 : v, Decimals(xs)));
            double w = fm.horizontalAdvance(t);
            // The outermost labels stay inside the chart.
            double left = std::clamp(b.x() - w / 2, 2.0, width_ - 2 - w);
            p.drawText(QPointF(left, b.y() + 17), t);
        }
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    below_ = r.bottom() + 4;
    if (xTicks) {
        Layer& t = Open("axis-title");
        QString s = QString::fromStdString(x.Title());
        t.p.drawText(QPointF(r.center().x() - fm.horizontalAdvance(s) / 2, r.bottom() + 38), s);
        below_ = r.bottom() + 46;
    }
    Layer& t = Open("axis-title");
    QString s = QString::fromStdString(y.Title());
    t.p.save();
    t.p.translate(16, r.center().y() + fm.horizontalAdvance(s) / 2);
    t.p.rotate(-90);
    t.p.drawText(QPointF(0, 0), s);
    t.p.restore();
}

void Chart::CategoryLabels(const std::vector<std::pair<double, std::string>>& labels,
                           double width) {
    Layer& l = Open("frame");
    QFontMetricsF fm(ChartFont());
    l.p.setPen(Qt::black);
    std::size_t most = 1;
    double top = PlotRect().bottom() + 4;
    for (const auto& [x, text] : labels) {
        std::vector<std::string> lines = Wrap(text, width);
        most = std::max(most, lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            QString s = QString::fromStdString(lines[i]);
            double w = fm.horizontalAdvance(s);
            double left = std::clamp(Map(x, y0_).x() - w / 2, 2.0, width_ - 2 - w);
            l.p.drawText(QPointF(left, top + 13 + kLineH * i), s);
        }
    }
    below_ = std::max(below_, top + kLineH * most + 6);
}

void Chart::Line(const std::vector<QPointF>& pts, const QColor& c, double width) {
    // A point that is no number breaks the line.
    QPainterPath path;
    bool open = false;
    for (const QPointF& p : pts) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            open = false;
            continue;
        }
        if (open)
            path.lineTo(Map(p.x(), p.y()));
        else
            path.moveTo(Map(p.x(), p.y()));
        open = true;
    }
    if (path.isEmpty()) return;
    Layer& l = Open("marks");
    l.p.setPen(QPen(c, width));
    l.p.setBrush(Qt::NoBrush);
    l.p.drawPath(path);
}

void Chart::Dot(const QPointF& at, double radiusPx, const QColor& c) {
    if (!std::isfinite(at.x()) || !std::isfinite(at.y()) || !(radiusPx > 0)) return;
    Layer& l = Open("marks");
    QPainterPath dot;
    dot.addEllipse(Map(at.x(), at.y()), radiusPx, radiusPx);
    l.p.setPen(Qt::NoPen);
    l.p.setBrush(c);
    l.p.drawPath(dot);
}

void Chart::NumberedDot(const QPointF& at, double radiusPx, const QColor& c, const std::string& number) {
    if (!std::isfinite(at.x()) || !std::isfinite(at.y()) || !(radiusPx > 0)) return;
    Dot(at, radiusPx, c);
    Layer& l = Open("marks");
    QFont f = ChartFont();
    f.setPixelSize(static_cast<int>(radiusPx * 1.2));
    f.setBold(true);
    l.p.setFont(f);
    l.p.setPen(QColor(255, 255, 255));
    const QPointF centre = Map(at.x(), at.y());
    l.p.drawText(QRectF(centre.x() - radiusPx, centre.y() - radiusPx, 2 * radiusPx, 2 * radiusPx),
                 Qt::AlignCenter, QString::fromStdString(number));
    l.p.setFont(ChartFont());
}

void Chart::Bar(double x0, double x1, double y, const QColor& c) {
    Layer& l = Open("marks");
    QPainterPath path;
    path.addRect(QRectF(Map(x0, std::max(y, 0.0)), Map(x1, std::min(y, 0.0))).normalized());
    l.p.setPen(Qt::NoPen);
    l.p.setBrush(c);
    l.p.drawPath(path);
}

void Chart::Shape(const QPainterPath& pixels, const QColor& fill) {
    Layer& l = Open("marks");
    l.p.setPen(Qt::NoPen);
    l.p.setBrush(fill);
    l.p.drawPath(pixels);
}

void Chart::Legend(const std::vector<LegendItem>& items) {
    if (items.empty()) return;
    Layer& l = Open("legend");
    QPainter& p = l.p;
    QFontMetricsF fm(ChartFont());
    const double left = kLeft, right = width_ - 8, swatch = 16, gap = 18, pad = 6;
    const double maxText = right - left - 2 * pad - swatch - 6;
    struct Placed {
        const LegendItem* item;
        std::vector<std::string> lines;
        double x, y, w;
    };
    std::vector<Placed> placed;
    double x = left + pad, y = below_ + 6 + pad, rowH = 0;
    for (const LegendItem& it : items) {
        std::vector<std::string> lines = Wrap(it.label, maxText);
        double w = 0;
        for (const std::string& s : lines)
            w = std::max(w, fm.horizontalAdvance(QString::fromStdString(s)));
        w += swatch + 6;
        if (x > left + pad && x + w > right - pad) {
            x = left + pad;
            y += rowH + 4;
            rowH = 0;
        }
        placed.push_back({&it, lines, x, y, w});
        rowH = std::max(rowH, kLineH * lines.size());
        x += w + gap;
    }
    double bottom = y + rowH + pad;
    double boxRight = left;
    for (const Placed& pl : placed) boxRight = std::max(boxRight, pl.x + pl.w + pad);
    p.setPen(QPen(QColor(190, 190, 190), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(QPointF(left, below_ + 6), QPointF(boxRight, bottom)));
    for (const Placed& pl : placed) {
        double mid = pl.y + 7;
        switch (pl.item->mark) {
        case LegendItem::Mark::Line:
            p.fillRect(QRectF(pl.x, mid - 1.5, swatch, 3), pl.item->colour);
            break;
        case LegendItem::Mark::Box:
            p.fillRect(QRectF(pl.x + 3, mid - 5, 10, 10), pl.item->colour);
            break;
        case LegendItem::Mark::Dot: {
            QPainterPath d;
            d.addEllipse(QPointF(pl.x + 8, mid), 5, 5);
            p.setPen(Qt::NoPen);
            p.setBrush(pl.item->colour);
            p.drawPath(d);
            break;
        }
        }
        p.setPen(Qt::black);
        for (std::size_t i = 0; i < pl.lines.size(); ++i)
            p.drawText(QPointF(pl.x + swatch + 6, pl.y + 11 + kLineH * i),
                       QString::fromStdString(pl.lines[i]));
    }
    below_ = bottom;
}

void Chart::ColourScale(double lo, double hi, const Axis& quantity,
                        QColor (*colour)(double, double)) {
    if (!(hi > lo)) hi = lo + 1;
    Layer& l = Open("legend");
    QPainter& p = l.p;
    QFontMetricsF fm(ChartFont());
    QRectF r = PlotRect();
    const double bx = plotRight_ + 14, bw = 14;
    const int steps = 64;
    for (int i = 0; i < steps; ++i) {
        double y0 = r.bottom() - r.height() * i / steps,
               y1 = r.bottom() - r.height() * (i + 1) / steps;
        double v = lo + (hi - lo) * (i + 0.5) / steps;
        p.fillRect(QRectF(QPointF(bx, y1), QPointF(bx + bw, y0 + 0.5)), colour(v, hi));
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(bx, r.top(), bw, r.height()));
    double s = TickStep(hi - lo);
    for (double v = std::ceil(lo / s - 1e-9) * s; v <= hi + s * 1e-6; v += s) {
        double y = r.bottom() - (v - lo) / (hi - lo) * r.height();
        // Ticks inside the bar, so a label never reads as a minus sign.
        p.drawLine(QPointF(bx + bw - 4, y), QPointF(bx + bw, y));
        p.drawText(QPointF(bx + bw + 5, y + 4), QString::fromStdString(Num(v, Decimals(s))));
    }
    QString t = QString::fromStdString(quantity.Title());
    p.save();
    p.translate(width_ - 8, r.center().y() + fm.horizontalAdvance(t) / 2);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), t);
    p.restore();
}

void Chart::Note(const std::string& text) {
    Layer& l = Open("note");
    l.p.setPen(QColor(60, 60, 60));
    std::vector<std::string> lines = Wrap(text, width_ - kLeft - 8);
    for (std::size_t i = 0; i < lines.size(); ++i)
        l.p.drawText(QPointF(kLeft, below_ + 17 + kLineH * i), QString::fromStdString(lines[i]));
    below_ += 6 + kLineH * lines.size();
}

std::string Chart::Svg() {
    const int height = static_cast<int>(std::ceil(below_ + 10));
    const std::string w = std::to_string(static_cast<int>(width_)), h = std::to_string(height);
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" width=\"" + w +
                      "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                      "\" class=\"chart\" data-title=\"" + Xml(title_) + "\">\n<title>" +
                      Xml(title_) + "</title>\n<rect x=\"0\" y=\"0\" width=\"" + w +
                      "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
    for (auto& l : layers_) {
        l->p.end();
        std::string s = l->buffer.data().toStdString();
        // The layer's drawing without the generator's own frame.
        auto from = s.find("</defs>");
        from = from == std::string::npos ? s.find('>', s.find("<svg")) + 1 : from + 7;
        auto to = s.rfind("</svg>");
        if (to == std::string::npos || to < from) to = s.size();
        out += "<g class=\"" + l->cls + "\">" + s.substr(from, to - from) + "</g>\n";
    }
    layers_.clear();
    return out + "</svg>";
}

} // namespace tralvik::charts
