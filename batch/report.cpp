#include "batch/report.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "batch/study.h"
#include "config/Ffetch.h"
#include "core/paths.h"

namespace tralvik::batch {

namespace {

// ---- the engine table -------------------------------------------------------

std::vector<double> Numbers(const std::string& line) {
    std::vector<double> v;
    std::istringstream in(line);
    std::string w;
    double x;
    while (in >> w)
        if (ParseNumber(w, x))
            v.push_back(x);
        else
            break;
    return v;
}

} // namespace

EngineMap ReadEngineMap(const std::string& motorTab) {
    EngineMap m;
    std::ifstream f(motorTab, std::ios::binary);
    if (!f) return m;
    std::string line;
    int table = 0;
    bool header = false;
    while (std::getline(f, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("TAB ", 0) == 0) {
            table = std::atoi(line.c_str() + 4);
            header = true;
            continue;
        }
        if (line == "Const") break;
        std::vector<double> n = Numbers(line);
        if (table == 1) {
            if (header) {
                header = false;
                continue;
            } // the title line
            if (n.size() >= 2) m.fullLoad.emplace_back(n[0], n[1]);
        } else if (table == 2) {
            if (n.empty()) continue;
            if (header) {
                m.torque_nm = n;
                header = false;
            } else if (n.size() >= 2) {
                m.rpm.push_back(n[0]);
                m.efficiency.emplace_back(n.begin() + 1, n.end());
            }
        }
    }
    return m;
}

namespace {

// ---- charts -----------------------------------------------------------------

constexpr int kW = 800, kH = 360;
constexpr double kLeft = 70, kRight = 20, kTop = 36, kBottom = 50;

std::string Num(double v, int decimals) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string Html(const std::string& t) {
    std::string r;
    for (char c : t) {
        if (c == '<')
            r += "&lt;";
        else if (c == '>')
            r += "&gt;";
        else if (c == '&')
            r += "&amp;";
        else if (c == '"')
            r += "&quot;";
        else
            r += c;
    }
    return r;
}

// Round tick steps: 1, 2 or 5 times a power of ten.
double TickStep(double span) {
    if (!(span > 0)) return 1;
    double raw = span / 6;
    double p = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

struct Axes {
    double x0, x1, y0, y1;
    QPointF Map(double x, double y) const {
        double px = kLeft + (x - x0) / (x1 - x0) * (kW - kLeft - kRight);
        double py = kH - kBottom - (y - y0) / (y1 - y0) * (kH - kTop - kBottom);
        return {px, py};
    }
};

int Decimals(double step) {
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

Axes NiceAxes(double x0, double x1, double y0, double y1) {
    if (!(x1 > x0)) x1 = x0 + 1;
    if (!(y1 > y0)) y1 = y0 + 1;
    double ys = TickStep(y1 - y0);
    y0 = std::floor(y0 / ys) * ys;
    y1 = std::ceil(y1 / ys) * ys;
    return {x0, x1, y0, y1};
}

const QColor kColours[] = {QColor(31, 119, 180),  QColor(214, 39, 40),   QColor(44, 160, 44),
                           QColor(255, 127, 14),  QColor(148, 103, 189), QColor(140, 86, 75),
                           QColor(227, 119, 194), QColor(127, 127, 127)};

class Chart {
  public:
    Chart(const std::string& title) : title_(title) {
        buffer_.open(QIODevice::WriteOnly);
        gen_.setOutputDevice(&buffer_);
        gen_.setSize(QSize(kW, kH));
        gen_.setViewBox(QRect(0, 0, kW, kH));
        gen_.setTitle(QString::fromStdString(title));
        p_.begin(&gen_);
        p_.setRenderHint(QPainter::Antialiasing);
        p_.fillRect(QRect(0, 0, kW, kH), Qt::white);
        QFont f("DejaVu Sans");
        f.setPixelSize(12);
        p_.setFont(f);
        QFont tf = f;
        tf.setPixelSize(15);
        tf.setBold(true);
        p_.setFont(tf);
        p_.drawText(QRectF(0, 6, kW, 24), Qt::AlignHCenter, QString::fromStdString(title));
        p_.setFont(f);
    }
    QPainter& P() { return p_; }

    void Frame(const Axes& a, const std::string& xlabel, const std::string& ylabel,
               bool xTicks = true) {
        p_.setPen(QPen(QColor(200, 200, 200), 1));
        double ys = TickStep(a.y1 - a.y0);
        for (double y = a.y0; y <= a.y1 + ys * 1e-6; y += ys) {
            QPointF l = a.Map(a.x0, y), r = a.Map(a.x1, y);
            p_.setPen(QPen(QColor(225, 225, 225), 1));
            p_.drawLine(l, r);
            p_.setPen(Qt::black);
            p_.drawText(
                QRectF(0, l.y() - 8, kLeft - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                QString::fromStdString(Num(std::fabs(y) < ys * 1e-6 ? 0 : y, Decimals(ys))));
        }
        if (xTicks) {
            double xs = TickStep(a.x1 - a.x0);
            for (double x = std::ceil(a.x0 / xs) * xs; x <= a.x1 + xs * 1e-6; x += xs) {
                QPointF b = a.Map(x, a.y0);
                p_.setPen(Qt::black);
                p_.drawLine(b, b + QPointF(0, 4));
                p_.drawText(
                    QRectF(b.x() - 40, b.y() + 5, 80, 16), Qt::AlignHCenter,
                    QString::fromStdString(Num(std::fabs(x) < xs * 1e-6 ? 0 : x, Decimals(xs))));
            }
        }
        p_.setPen(QPen(Qt::black, 1));
        p_.setBrush(Qt::NoBrush);
        p_.drawRect(QRectF(a.Map(a.x0, a.y1), a.Map(a.x1, a.y0)));
        p_.drawText(QRectF(kLeft, kH - 22, kW - kLeft - kRight, 18), Qt::AlignHCenter,
                    QString::fromStdString(xlabel));
        p_.save();
        p_.translate(14, (kTop + kH - kBottom) / 2);
        p_.rotate(-90);
        p_.drawText(QRectF(-150, -8, 300, 16), Qt::AlignHCenter, QString::fromStdString(ylabel));
        p_.restore();
    }

    void Line(const Axes& a, const std::vector<QPointF>& pts, const QColor& c, double width = 1.5) {
        if (pts.empty()) return;
        QPainterPath path(a.Map(pts[0].x(), pts[0].y()));
        for (std::size_t i = 1; i < pts.size(); ++i) path.lineTo(a.Map(pts[i].x(), pts[i].y()));
        p_.setPen(QPen(c, width));
        p_.setBrush(Qt::NoBrush);
        p_.drawPath(path);
    }

    void Legend(const std::vector<std::pair<std::string, QColor>>& items) {
        double x = kW - kRight - 170, y = kTop + 6;
        for (const auto& [name, c] : items) {
            p_.fillRect(QRectF(x, y + 4, 14, 4), c);
            p_.setPen(Qt::black);
            p_.drawText(QPointF(x + 18, y + 10), QString::fromStdString(name));
            y += 16;
        }
    }

    std::string Svg() {
        p_.end();
        std::string s = buffer_.data().toStdString();
        auto at = s.find("<svg");
        if (at != std::string::npos) s = s.substr(at);
        // Mark the chart for the page's style and for the browser test.
        auto close = s.find('>');
        if (close != std::string::npos)
            s.insert(close, " class=\"chart\" data-title=\"" + Html(title_) + "\"");
        return s;
    }

  private:
    std::string title_;
    QBuffer buffer_;
    QSvgGenerator gen_;
    QPainter p_;
};

// At most about 2000 points of a series, so a 45 000-tick run stays small.
// `x` picks the abscissa: the time, or the distance on a road.
template <class X, class F>
std::vector<QPointF> Points(const std::vector<Sample>& s, X x, F value) {
    std::vector<QPointF> pts;
    std::size_t step = std::max<std::size_t>(1, s.size() / 2000);
    for (std::size_t i = 0; i < s.size(); i += step) pts.emplace_back(x(s[i]), value(s[i]));
    if (!s.empty() && (s.size() - 1) % step) pts.emplace_back(x(s.back()), value(s.back()));
    return pts;
}
template <class F> std::vector<QPointF> Points(const std::vector<Sample>& s, F value) {
    return Points(
        s, [](const Sample& x) { return x.t_s; }, value);
}

using Series = std::vector<std::pair<std::string, std::vector<QPointF>>>;

// Series i is drawn in colours[i], or in the i-th of kColours.
std::string LineChart(const std::string& title, double x0, double x1, const std::string& xlabel,
                      const std::string& ylabel, const Series& series,
                      const std::vector<QColor>& colours = {}) {
    double y0 = 0, y1 = 0;
    for (const auto& [n, pts] : series)
        for (const QPointF& p : pts) y1 = std::max(y1, p.y()), y0 = std::min(y0, p.y());
    Axes a = NiceAxes(x0, x1, y0, y1);
    Chart c(title);
    c.Frame(a, xlabel, ylabel);
    std::vector<std::pair<std::string, QColor>> legend;
    for (std::size_t i = 0; i < series.size(); ++i) {
        QColor col = i < colours.size() ? colours[i] : kColours[i % 8];
        c.Line(a, series[i].second, col, i == 0 ? 1.2 : 1.5);
        legend.emplace_back(series[i].first, col);
    }
    c.Legend(legend);
    return c.Svg();
}

std::string TimeChart(const std::string& title, const std::string& ylabel,
                      const std::vector<Sample>& s, const Series& series) {
    double t0 = s.empty() ? 0 : s.front().t_s, t1 = s.empty() ? 1 : s.back().t_s;
    return LineChart(title, t0, t1, "tid (s)", ylabel, series);
}

QColor EfficiencyColour(double pct, double top) {
    double f = top > 0 ? std::clamp(pct / top, 0.0, 1.0) : 0;
    // Blue (low) through green and yellow to orange (high).
    return QColor::fromHsvF(0.6 - 0.5 * f * f, 0.2 + 0.6 * f, 1.0);
}

// The time-weighted operating points of one or more runs, each in its own
// colour.
struct Cloud {
    std::string name;
    const std::vector<Sample>* samples;
    QColor colour;
};

std::string MapChart(const EngineMap& m, const std::vector<Cloud>& clouds) {
    double rpmMax = 1000, nmMax = 50;
    for (const Cloud& cl : clouds)
        for (const Sample& x : *cl.samples)
            rpmMax = std::max(rpmMax, x.rpm), nmMax = std::max(nmMax, x.torque_nm);
    if (m.Valid()) {
        rpmMax = std::max(rpmMax, m.rpm.back());
        nmMax = std::max(nmMax, m.torque_nm.back());
    }
    for (const auto& [r, t] : m.fullLoad) nmMax = std::max(nmMax, t);
    Axes a = NiceAxes(0, rpmMax, 0, nmMax * 1.05);
    Chart c("Motorns arbetspunkter på verkningsgradskartan");
    if (m.Valid()) {
        double top = 0;
        for (const auto& row : m.efficiency)
            for (double e : row) top = std::max(top, e);
        for (std::size_t r = 0; r < m.rpm.size(); ++r) {
            double r0 = r == 0 ? m.rpm[0] : (m.rpm[r - 1] + m.rpm[r]) / 2;
            double r1 = r + 1 < m.rpm.size() ? (m.rpm[r] + m.rpm[r + 1]) / 2 : m.rpm[r];
            for (std::size_t k = 0; k < m.efficiency[r].size() && k < m.torque_nm.size(); ++k) {
                double t0 = k == 0 ? 0 : (m.torque_nm[k - 1] + m.torque_nm[k]) / 2;
                double t1 = k + 1 < m.torque_nm.size() ? (m.torque_nm[k] + m.torque_nm[k + 1]) / 2
                                                       : m.torque_nm[k];
                c.P().fillRect(QRectF(a.Map(r0, t1), a.Map(r1, t0)),
                               EfficiencyColour(m.efficiency[r][k], top));
            }
        }
        c.P().setPen(Qt::black);
        c.P().drawText(QRectF(kW - kRight - 400, kTop + 4, 390, 16), Qt::AlignRight,
                       QString::fromStdString("verkningsgrad: blå = låg, orange = hög (max " +
                                              Num(top, 1) + " %)"));
    }
    c.Frame(a, "varvtal (varv/min)", "vridmoment (Nm)");
    c.P().setPen(Qt::black);
    if (!m.fullLoad.empty()) {
        std::vector<QPointF> fl;
        for (const auto& [r, t] : m.fullLoad) fl.emplace_back(r, t);
        c.Line(a, fl, Qt::black, 2);
    }
    // Time spent in cells of 100 rpm x 5 Nm; the dot's area is its share of
    // its run's time.
    std::string totals;
    std::vector<std::pair<std::string, QColor>> legend;
    for (const Cloud& cl : clouds) {
        const std::vector<Sample>& s = *cl.samples;
        std::map<std::pair<int, int>, double> cells;
        double total = 0;
        for (std::size_t i = 1; i < s.size(); ++i) {
            double dt = s[i].t_s - s[i - 1].t_s;
            if (!(dt > 0)) continue;
            cells[{static_cast<int>(std::floor(s[i].rpm / 100)),
                   static_cast<int>(std::floor(s[i].torque_nm / 5))}] += dt;
            total += dt;
        }
        double biggest = 0;
        for (const auto& [k, t] : cells) biggest = std::max(biggest, t);
        c.P().setPen(Qt::NoPen);
        QColor fill = cl.colour;
        fill.setAlpha(170);
        c.P().setBrush(fill);
        for (const auto& [k, t] : cells) {
            QPointF centre = a.Map((k.first + 0.5) * 100, (k.second + 0.5) * 5);
            double r = 1.0 + 9.0 * std::sqrt(t / biggest);
            QPainterPath dot;
            dot.addEllipse(centre, r, r);
            c.P().drawPath(dot);
        }
        totals += (totals.empty() ? "" : " och ") + Num(total, 0) + " s";
        if (clouds.size() > 1) legend.emplace_back(cl.name, cl.colour);
    }
    c.P().setPen(Qt::black);
    c.P().drawText(QRectF(kW - kRight - 400, kTop + 20, 390, 16), Qt::AlignRight,
                   QString::fromStdString("punkternas yta: tid i cellen (100 varv/min × 5 Nm), " +
                                          totals + " totalt"));
    if (!legend.empty()) {
        // Below the two lines of notes at the top right, on white.
        double x = kW - kRight - 170, y = kTop + 40;
        c.P().fillRect(QRectF(x - 4, y, 170, 16 * legend.size() + 4), QColor(255, 255, 255, 210));
        for (const auto& [name, col] : legend) {
            c.P().fillRect(QRectF(x, y + 2, 10, 10), col);
            c.P().setPen(Qt::black);
            c.P().drawText(QPointF(x + 16, y + 11), QString::fromStdString(name));
            y += 16;
        }
    }
    return c.Svg();
}

std::string BarChart(const std::string& title, const std::string& ylabel,
                     const std::vector<std::string>& groups,
                     const std::vector<std::pair<std::string, std::vector<double>>>& bars) {
    double top = 0;
    for (const auto& [n, v] : bars)
        for (double x : v) top = std::max(top, x);
    Axes a = NiceAxes(0, static_cast<double>(groups.size()), 0, top);
    Chart c(title);
    c.Frame(a, "", ylabel, false);
    double groupW = 1.0 / (bars.size() + 1);
    std::vector<std::pair<std::string, QColor>> legend;
    for (std::size_t b = 0; b < bars.size(); ++b) {
        c.P().setPen(Qt::NoPen);
        c.P().setBrush(kColours[b % 8]);
        for (std::size_t g = 0; g < groups.size() && g < bars[b].second.size(); ++g) {
            double x = g + groupW * (b + 0.5);
            QPainterPath path;
            path.addRect(QRectF(a.Map(x, bars[b].second[g]), a.Map(x + groupW, 0)));
            c.P().drawPath(path);
        }
        legend.emplace_back(bars[b].first, kColours[b % 8]);
    }
    c.P().setPen(Qt::black);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        QPointF b = a.Map(g + 0.5, 0);
        c.P().drawText(QRectF(b.x() - 80, b.y() + 5, 160, 16), Qt::AlignHCenter,
                       QString::fromStdString(groups[g]));
    }
    c.Legend(legend);
    return c.Svg();
}

const char* kStyle = R"(<style>
body { font-family: "DejaVu Sans", sans-serif; margin: 24px; color: #222; }
h1 { font-size: 22px; } h2 { font-size: 17px; margin-top: 28px; }
table { border-collapse: collapse; font-size: 13px; }
td, th { border: 1px solid #bbb; padding: 3px 8px; text-align: right; }
th { background: #eee; } td.name, th.name { text-align: left; }
svg.chart { display: block; width: 800px; height: 360px; margin: 12px 0; border: 1px solid #ddd; }
</style>)";

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html lang=\"sv\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           Html(title) + "</title>\n" + kStyle + "\n</head>\n<body>\n<h1>" + Html(title) +
           "</h1>\n" + body + "</body>\n</html>\n";
}

std::string SummaryTable(const Summary& s) {
    std::string t = "<table class=\"summary\">\n";
    for (const auto& [k, v] : SummaryCells(s)) {
        double d;
        std::string shown = v;
        if (k != "ticks" && ParseNumber(v, d)) shown = Num(d, std::fabs(d) >= 100 ? 1 : 4);
        t += "<tr><td class=\"name\">" + Html(k) + "</td><td>" + Html(shown) + "</td></tr>\n";
    }
    return t + "</table>\n";
}

} // namespace

// The energy balance as one stacked column: the fuel's energy split into
// where it went (terms below zero are named in the legend only).
std::string EnergyBar(const EnergyBalance& e) {
    const std::pair<const char*, double> terms[] = {
        {"motorförluster", e.engine},   {"hjälpapparater", e.auxiliaries},
        {"drivlina", e.drivetrain},     {"luftmotstånd", e.air},
        {"rullmotstånd", e.rolling},    {"lutning", e.gradient},
        {"broms", e.brake},             {"hastighetsgränser", e.limits},
        {"rörelseenergi", e.kinetic},   {"rest", e.remainder}};
    const QColor extra[] = {QColor(90, 90, 90), QColor(200, 200, 60)};
    Axes a = NiceAxes(0, 3, 0, std::max(e.fuel, 1.0) / 1e6);
    Chart c("Energibalans: bränslets energi");
    c.Frame(a, "", "MJ", false);
    std::vector<std::pair<std::string, QColor>> legend;
    double at = 0;
    for (std::size_t k = 0; k < std::size(terms); ++k) {
        const QColor colour = k < 8 ? kColours[k] : extra[k - 8];
        const double mj = std::fabs(terms[k].second) < 5e3 ? 0.0 : terms[k].second / 1e6; // no "-0.00"
        if (mj > 0) {
            c.P().setPen(Qt::NoPen);
            c.P().setBrush(colour);
            QPainterPath path;
            path.addRect(QRectF(a.Map(0.4, at + mj), a.Map(1.4, at)));
            c.P().drawPath(path);
            at += mj;
        }
        legend.emplace_back(std::string(terms[k].first) + " " + Num(mj, 2) + " MJ", colour);
    }
    c.Legend(legend);
    return c.Svg();
}

std::string RunReportHtml(const ReportRun& run) {
    const std::vector<Sample>& s = run.samples;
    std::string body;
    body += "<p>Körning <b>" + Html(run.name) + "</b>: " + Num(run.summary.ttot_s, 1) + " s, " +
            Num(run.summary.ltot_m / 1000, 3) + " km.</p>\n";
    body += "<h2>Hastighet</h2>\n";
    body +=
        TimeChart("Hastighet och begärd hastighet", "km/h", s,
                  {{run.requestedLabel, Points(s, [](const Sample& x) { return x.requested_kmh; })},
                   {"bilens", Points(s, [](const Sample& x) { return x.v_kmh; })}});
    body += "<h2>Motorns arbetspunkter</h2>\n" + MapChart(run.map, {{run.name, &s, kColours[1]}});
    body += "<h2>Bränsle och CO2</h2>\n";
    body += TimeChart("Förbrukat bränsle", "liter", s,
                      {{"bränsle", Points(s, [](const Sample& x) { return x.fuel_l; })}});
    body +=
        TimeChart("CO2", "gram", s, {{"CO2", Points(s, [](const Sample& x) { return x.co2_g; })}});
    body += "<h2>Utsläpp per fas</h2>\n";
    std::vector<std::string> groups;
    std::vector<double> co, nox, hc;
    if (run.summary.phases.empty()) {
        groups.push_back("hela körningen");
        co.push_back(run.summary.co_g);
        nox.push_back(run.summary.nox_g);
        hc.push_back(run.summary.hc_g);
    }
    for (const PhaseFigures& p : run.summary.phases) {
        groups.push_back(p.phase.name);
        co.push_back(p.co_g);
        nox.push_back(p.nox_g);
        hc.push_back(p.hc_g);
    }
    body +=
        BarChart("CO, NOx och HC per fas", "gram", groups, {{"CO", co}, {"NOx", nox}, {"HC", hc}});
    if (run.summary.energy) body += "<h2>Energibalans</h2>\n" + EnergyBar(*run.summary.energy);
    body += "<h2>Sammanfattning</h2>\n" + SummaryTable(run.summary);
    return Page("Tralvik: " + run.name, body);
}

std::string StudyReportHtml(const std::vector<ReportRun>& runs) {
    std::string body = "<p>" + std::to_string(runs.size()) + " körningar.</p>\n";
    // The x axis: the first swept name whose values are all numbers.
    std::string xName;
    if (!runs.empty())
        for (std::size_t k = 0; k < runs[0].swept.size() && xName.empty(); ++k) {
            bool numeric = true;
            for (const ReportRun& r : runs) {
                double v;
                numeric = numeric && k < r.swept.size() && ParseNumber(r.swept[k].value, v);
            }
            if (numeric) xName = runs[0].swept[k].name;
        }
    auto xOf = [&](const ReportRun& r, std::size_t index) {
        for (const Assignment& a : r.swept) {
            double v;
            if (a.name == xName && ParseNumber(a.value, v)) return v;
        }
        return static_cast<double>(index + 1);
    };
    // One line per combination of the other swept values (and folder).
    auto groupOf = [&](const ReportRun& r) {
        std::string g;
        for (const Assignment& a : r.swept)
            if (a.name != xName) g += (g.empty() ? "" : ", ") + a.name + "=" + a.value;
        std::string folder = r.name.substr(0, r.name.find('_'));
        return g.empty() ? folder : g;
    };
    struct Figure {
        const char* key;
        const char* title;
    };
    const Figure figures[] = {{"fuel_l_per_100km", "Bränsle (l/100 km)"},
                              {"co2_g_per_km", "CO2 (g/km)"},
                              {"co_g_per_km", "CO (g/km)"},
                              {"nox_g_per_km", "NOx (g/km)"},
                              {"hc_g_per_km", "HC (g/km)"},
                              {"trace_rms_kmh", "Spårföljning, RMS (km/h)"}};
    for (const Figure& f : figures) {
        std::map<std::string, std::vector<QPointF>> lines;
        std::vector<std::string> order;
        double x0 = 1e300, x1 = -1e300, y1 = 0;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            for (const auto& [k, v] : SummaryCells(runs[i].summary)) {
                double y;
                if (k != f.key || !ParseNumber(v, y)) continue;
                std::string g = groupOf(runs[i]);
                if (!lines.count(g)) order.push_back(g);
                double x = xOf(runs[i], i);
                lines[g].emplace_back(x, y);
                x0 = std::min(x0, x), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        }
        if (lines.empty()) continue;
        if (!(x1 > x0)) x0 -= 1, x1 += 1;
        double pad = (x1 - x0) * 0.04;
        Axes a = NiceAxes(x0 - pad, x1 + pad, 0, y1);
        Chart c(f.title);
        c.Frame(a, xName.empty() ? "körning" : xName, f.title);
        std::vector<std::pair<std::string, QColor>> legend;
        for (std::size_t g = 0; g < order.size(); ++g) {
            QColor col = kColours[g % 8];
            auto pts = lines[order[g]];
            std::sort(pts.begin(), pts.end(), [](auto& p, auto& q) { return p.x() < q.x(); });
            c.Line(a, pts, col, 2);
            c.P().setPen(Qt::NoPen);
            c.P().setBrush(col);
            for (const QPointF& p : pts) {
                QPainterPath dot;
                dot.addEllipse(a.Map(p.x(), p.y()), 3.5, 3.5);
                c.P().drawPath(dot);
            }
            legend.emplace_back(order[g], col);
        }
        c.Legend(legend);
        body += c.Svg();
    }
    // The table of all runs.
    std::vector<Row> rows;
    for (const ReportRun& r : runs) {
        Row row;
        row.cells.emplace_back("run", r.name);
        for (const auto& cell : SummaryCells(r.summary)) row.cells.push_back(cell);
        rows.push_back(row);
    }
    std::vector<std::string> cols = {"run",
                                     "end",
                                     "ltot_m",
                                     "fuel_l",
                                     "fuel_l_per_100km",
                                     "co2_g_per_km",
                                     "co_g_per_km",
                                     "nox_g_per_km",
                                     "hc_g_per_km",
                                     "trace_rms_kmh",
                                     "trace_share_off"};
    body += "<h2>Alla körningar</h2>\n<table class=\"runs\">\n<tr>";
    for (const std::string& c : cols)
        body += "<th" + std::string(c == "run" ? " class=\"name\"" : "") + ">" + Html(c) + "</th>";
    body += "</tr>\n";
    for (const Row& row : rows) {
        body += "<tr>";
        std::map<std::string, std::string> m(row.cells.begin(), row.cells.end());
        for (const std::string& c : cols) {
            std::string v = m[c];
            double d;
            if (c != "run" && c != "end" && ParseNumber(v, d)) v = Num(d, c == "ltot_m" ? 0 : 3);
            body +=
                "<td" + std::string(c == "run" ? " class=\"name\"" : "") + ">" + Html(v) + "</td>";
        }
        body += "</tr>\n";
    }
    body += "</table>\n";
    return Page("Tralvik: studie", body);
}

} // namespace tralvik::batch

namespace tralvik::batch {

namespace {
// The two runs in the same colours in both charts; the built-in driver dark
// enough to show on the map's greens and blues.
const QColor kDriveColour = kColours[1], kBuiltInColour(40, 40, 140);
} // namespace

std::string CompareReportHtml(const ReportRun& drive, const ReportRun& builtIn, bool overDistance,
                              const std::vector<CompareRow>& rows,
                              const std::vector<std::string>& notes) {
    double (*x)(const Sample&) = overDistance ? +[](const Sample& s) { return s.distance_m / 1000; }
                                              : +[](const Sample& s) { return s.t_s; };
    const std::vector<Sample>&a = drive.samples, &b = builtIn.samples;
    double x0 = 0, x1 = 0;
    if (!overDistance && !a.empty() && !b.empty()) x0 = std::min(a.front().t_s, b.front().t_s);
    for (const std::vector<Sample>* s : {&a, &b})
        if (!s->empty()) x1 = std::max(x1, x(s->back()));
    // The requested speed is the same function of time on a cycle and of the
    // place on a road for both runs; take it from the run that got further.
    const std::vector<Sample>& further =
        !b.empty() && (a.empty() || x(b.back()) > x(a.back())) ? b : a;
    auto v = [](const Sample& s) { return s.v_kmh; };
    std::string body;
    body += "<p><b>" + Html(drive.name) + "</b> mot <b>" + Html(builtIn.name) +
            "</b> i samma mapp: " + Num(drive.summary.ltot_m / 1000, 3) + " km på " +
            Num(drive.summary.ttot_s, 1) + " s mot " + Num(builtIn.summary.ltot_m / 1000, 3) +
            " km på " + Num(builtIn.summary.ttot_s, 1) + " s.</p>\n";
    body += "<h2>Hastighet</h2>\n";
    body += LineChart("Hastighet", x0, x1, overDistance ? "sträcka (km)" : "tid (s)", "km/h",
                      {{drive.requestedLabel,
                        Points(further, x, [](const Sample& s) { return s.requested_kmh; })},
                       {drive.name, Points(a, x, v)},
                       {builtIn.name, Points(b, x, v)}},
                      {kColours[7], kDriveColour, kBuiltInColour});
    body +=
        "<h2>Motorns arbetspunkter</h2>\n" +
        MapChart(drive.map, {{drive.name, &a, kDriveColour}, {builtIn.name, &b, kBuiltInColour}});
    body += "<h2>Sammanfattning</h2>\n<table class=\"compare\">\n<tr><th class=\"name\"></th><th>" +
            Html(drive.name) + "</th><th>" + Html(builtIn.name) + "</th><th>skillnad</th></tr>\n";
    for (const CompareRow& r : rows)
        body += "<tr><td class=\"name\">" + Html(r.label) + "</td><td>" + Html(r.drive) +
                "</td><td>" + Html(r.builtIn) + "</td><td>" + Html(r.difference) + "</td></tr>\n";
    body += "</table>\n";
    for (const std::string& n : notes) body += "<p>" + Html(n) + "</p>\n";
    return Page("Tralvik: jämförelse med den inbyggda föraren", body);
}

} // namespace tralvik::batch
