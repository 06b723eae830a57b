#include "pages/report.h"

#include <QPainterPath>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "studies/study.h"
#include "charts/chart.h"
#include "config/Ffetch.h"
#include "core/common.h"
#include "core/paths.h"

namespace tralvik::pages {

using namespace tralvik::run;
using namespace tralvik::studies;

std::string HtmlEscape(const std::string& text) {
    std::string r;
    for (char c : text) {
        switch (c) {
        case '&': r += "&amp;"; break;
        case '<': r += "&lt;"; break;
        case '>': r += "&gt;"; break;
        case '"': r += "&quot;"; break;
        default: r += c;
        }
    }
    return r;
}


using charts::Axis;
using charts::Chart;
using charts::LegendItem;
using charts::Num;
using charts::SeriesColour;

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

// What an engine map can hold; anything else is not drawn.
bool PlausibleRpm(double v) {
    return v >= 0 && v <= 100000;
}
bool PlausibleTorque(double v) {
    return v >= -100000 && v <= 100000;
}

} // namespace

EngineMap ReadEngineMap(const std::string& motorTab) {
    EngineMap m;
    std::ifstream f(motorTab, std::ios::binary);
    if (!f) return m;
    // No engine table is nearly this large; a larger file is not drawn.
    f.seekg(0, std::ios::end);
    if (f.tellg() > kMaxInputBytes) return m;
    f.seekg(0);
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
            if (n.size() >= 2 && PlausibleRpm(n[0]) && PlausibleTorque(n[1]))
                m.fullLoad.emplace_back(n[0], n[1]);
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
    // A map whose axes are not rising plausible numbers is left out whole.
    auto rising = [](const std::vector<double>& v, bool (*ok)(double)) {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (!ok(v[i]) || (i > 0 && !(v[i] > v[i - 1]))) return false;
        return true;
    };
    // No engine's map has nearly this many points; drawing them would take
    // hours.
    constexpr std::size_t kMostPoints = 100000;
    if (!rising(m.torque_nm, PlausibleTorque) || !rising(m.rpm, PlausibleRpm) ||
        m.rpm.size() * m.torque_nm.size() > kMostPoints) {
        m.torque_nm.clear();
        m.rpm.clear();
        m.efficiency.clear();
    }
    if (m.fullLoad.size() > kMostPoints) m.fullLoad.clear();
    std::sort(m.fullLoad.begin(), m.fullLoad.end());
    return m;
}

namespace {


// A file name for a chart: its number on the page and its title in plain
// letters.
std::string ChartFileName(std::size_t index, const std::string& title) {
    std::string slug;
    for (std::size_t i = 0; i < title.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(title[i]);
        if (std::isalnum(c)) {
            slug += static_cast<char>(std::tolower(c));
        } else if (c == 0xC3 && i + 1 < title.size()) {
            // å ä ö Å Ä Ö
            unsigned char d = static_cast<unsigned char>(title[++i]);
            slug += (d == 0xB6 || d == 0x96) ? 'o' : 'a';
        } else if (!slug.empty() && slug.back() != '-') {
            slug += '-';
        }
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    char n[8];
    std::snprintf(n, sizeof n, "%02zu", index % 100);
    return std::string(n) + "-" + (slug.empty() ? "diagram" : slug) + ".svg";
}

// The charts of one page: put on the page and, when asked, kept as files.
class Charts {
  public:
    explicit Charts(ChartFiles* files) : files_(files) {}
    std::string Add(Chart& c, const std::string& title) {
        std::string svg = c.Svg();
        if (files_)
            files_->push_back({ChartFileName(files_->size() + 1, title),
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + svg + "\n"});
        return svg + "\n";
    }

  private:
    ChartFiles* files_;
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

// Series i is drawn in colours[i], or in the i-th colour of the palette.
std::string LineChart(Charts& out, const std::string& title, double x0, double x1,
                      const Axis& xAxis, const Axis& yAxis, const Series& series,
                      const std::vector<QColor>& colours = {}) {
    double y0 = 0, y1 = 0;
    for (const auto& [n, pts] : series)
        for (const QPointF& p : pts)
            if (std::isfinite(p.y())) y1 = std::max(y1, p.y()), y0 = std::min(y0, p.y());
    Chart c(title);
    c.SetRange(x0, x1, y0, y1);
    c.Frame(xAxis, yAxis);
    std::vector<LegendItem> legend;
    for (std::size_t i = 0; i < series.size(); ++i) {
        QColor col = i < colours.size() ? colours[i] : SeriesColour(i);
        // The first of several lines (the requested speed) is drawn wide and
        // light under the others, so both show where they meet.
        c.Line(series[i].second, col, i == 0 && series.size() > 1 ? 3 : 1.3);
        legend.push_back({series[i].first, col, LegendItem::Mark::Line});
    }
    if (series.size() > 1) c.Legend(legend);
    return out.Add(c, title);
}

std::string TimeChart(Charts& out, const std::string& title, const Axis& yAxis,
                      const std::vector<Sample>& s, const Series& series) {
    double t0 = s.empty() ? 0 : s.front().t_s, t1 = s.empty() ? 1 : s.back().t_s;
    std::vector<QColor> colours;
    if (series.size() > 1) colours = {QColor(170, 170, 170), SeriesColour(1)};
    return LineChart(out, title, t0, t1, {"tid", "s"}, yAxis, series, colours);
}

QColor EfficiencyColour(double pct, double top) {
    double f = top > 0 ? std::clamp(pct / top, 0.0, 1.0) : 0;
    if (!std::isfinite(f)) f = 0;
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

// The area under the full-load curve, in pixels.
QPainterPath FullLoadArea(const Chart& c, const EngineMap& m) {
    QPainterPath area;
    if (m.fullLoad.empty()) {
        area.addRect(c.PlotRect());
        return area;
    }
    area.moveTo(c.Map(m.fullLoad.front().first, 0));
    for (const auto& [r, t] : m.fullLoad) area.lineTo(c.Map(r, std::max(t, 0.0)));
    area.lineTo(c.Map(m.fullLoad.back().first, 0));
    area.closeSubpath();
    QPainterPath plot;
    plot.addRect(c.PlotRect());
    return area.intersected(plot);
}

std::string MapChart(Charts& out, const EngineMap& m, const std::vector<Cloud>& clouds, bool electric = false) {
    double rpmMax = 1000, nmMax = 50;
    for (const Cloud& cl : clouds)
        for (const Sample& x : *cl.samples)
            if (PlausibleRpm(x.rpm) && PlausibleTorque(x.torque_nm))
                rpmMax = std::max(rpmMax, x.rpm), nmMax = std::max(nmMax, x.torque_nm);
    if (m.Valid()) {
        rpmMax = std::max(rpmMax, m.rpm.back());
        nmMax = std::max(nmMax, m.torque_nm.back());
    }
    for (const auto& [r, t] : m.fullLoad) nmMax = std::max(nmMax, t), rpmMax = std::max(rpmMax, r);
    double top = 0;
    if (m.Valid())
        for (const auto& row : m.efficiency)
            for (double e : row)
                if (e <= 100) top = std::max(top, e);
    const bool tiles = m.Valid() && top > 0;
    const std::string title = "Arbetspunkter på verkningsgradskartan";
    Chart c(title, tiles);
    c.SetRange(0, rpmMax, 0, nmMax * 1.05, true);
    QPainterPath area = FullLoadArea(c, m);
    if (tiles) {
        // Each table point colours the cell around it, cut to the full-load
        // curve: the engine never runs above it.
        for (std::size_t r = 0; r < m.rpm.size(); ++r) {
            double r0 = r == 0 ? m.rpm[0] : (m.rpm[r - 1] + m.rpm[r]) / 2;
            double r1 = r + 1 < m.rpm.size() ? (m.rpm[r] + m.rpm[r + 1]) / 2 : m.rpm[r];
            for (std::size_t k = 0; k < m.efficiency[r].size() && k < m.torque_nm.size(); ++k) {
                double t0 = k == 0 ? 0 : (m.torque_nm[k - 1] + m.torque_nm[k]) / 2;
                double t1 = k + 1 < m.torque_nm.size() ? (m.torque_nm[k] + m.torque_nm[k + 1]) / 2
                                                       : m.torque_nm[k];
                QPainterPath tile;
                tile.addRect(QRectF(c.Map(r0, t1), c.Map(r1, t0)).normalized());
                QPainterPath cut = tile.intersected(area);
                if (!cut.isEmpty()) c.Shape(cut, EfficiencyColour(m.efficiency[r][k], top));
            }
        }
        c.ColourScale(0, top, {"verkningsgrad", "%"}, EfficiencyColour);
    }
    c.Frame({"varvtal", "varv/min"}, {"vridmoment", "Nm"});
    if (!m.fullLoad.empty()) {
        std::vector<QPointF> fl;
        for (const auto& [r, t] : m.fullLoad) fl.emplace_back(r, t);
        c.Line(fl, Qt::black, 2);
    }
    // Time spent in cells of 100 rpm x 5 Nm, each drawn at the time-weighted
    // mean of its samples; the dot's area is its share of its run's time. A
    // sample with the engine stopped is no operating point.
    std::string totals;
    std::vector<LegendItem> legend;
    for (const Cloud& cl : clouds) {
        const std::vector<Sample>& s = *cl.samples;
        struct Cell {
            double t = 0, rpm = 0, nm = 0;
        };
        std::map<std::pair<int, int>, Cell> cells;
        double total = 0;
        for (std::size_t i = 1; i < s.size(); ++i) {
            double dt = s[i].t_s - s[i - 1].t_s;
            if (!(dt > 0) || !std::isfinite(dt)) continue;
            if (!(s[i].rpm > 0) || !PlausibleRpm(s[i].rpm) || !PlausibleTorque(s[i].torque_nm))
                continue;
            Cell& cell = cells[{static_cast<int>(std::floor(s[i].rpm / 100)),
                                static_cast<int>(std::floor(s[i].torque_nm / 5))}];
            cell.t += dt;
            cell.rpm += dt * s[i].rpm;
            cell.nm += dt * s[i].torque_nm;
            total += dt;
        }
        double biggest = 0;
        for (const auto& [k, cell] : cells) biggest = std::max(biggest, cell.t);
        QColor fill = cl.colour;
        fill.setAlpha(180);
        // A dot is cut where it would reach over the full-load curve or
        // below the axis.
        for (const auto& [k, cell] : cells) {
            QPainterPath dot;
            double r = 1.0 + 9.0 * std::sqrt(cell.t / biggest);
            dot.addEllipse(c.Map(cell.rpm / cell.t, cell.nm / cell.t), r, r);
            QPainterPath cut = dot.intersected(area);
            if (!cut.isEmpty()) c.Shape(cut, fill);
        }
        totals += (totals.empty() ? "" : " och ") + Num(total, 0) + " s";
        legend.push_back({cl.name, cl.colour, LegendItem::Mark::Dot});
    }
    legend.push_back({"högsta vridmoment (fullast)", Qt::black, LegendItem::Mark::Line});
    c.Legend(legend);
    c.Note(electric ? "Punktens yta: tiden i cellen (100 varv/min × 5 Nm), av " + totals +
                          "; elmotorn driver bilen. När den bromsar (regenererar) är vridmomentet under noll och "
                          "står inte på kartan, som är motorns och växelriktarens verkningsgrad." +
                          (m.Valid() ? "" : " Verkningsgradskartan kunde inte läsas.")
                    : "Punktens yta: tiden i cellen (100 varv/min × 5 Nm), av " + totals +
                          " med motorn igång; stillastående och slirande koppling räknas av modellen vid dess lägsta "
                          "motorvarvtal, 300 varv/min (inte bilens tomgångsvarvtal), och ritas där." +
                          (m.Valid() ? "" : " Verkningsgradskartan kunde inte läsas."));
    return out.Add(c, title);
}

std::string BarChart(Charts& out, const std::string& title, const Axis& yAxis,
                     const std::vector<std::string>& groups,
                     const std::vector<std::pair<std::string, std::vector<double>>>& bars) {
    double top = 0, bottom = 0;
    for (const auto& [n, v] : bars)
        for (double x : v)
            if (std::isfinite(x)) top = std::max(top, x), bottom = std::min(bottom, x);
    Chart c(title);
    c.SetRange(0, static_cast<double>(groups.size()), bottom, top);
    c.Frame({}, yAxis, false);
    double groupW = 1.0 / (bars.size() + 1);
    std::vector<LegendItem> legend;
    for (std::size_t b = 0; b < bars.size(); ++b) {
        for (std::size_t g = 0; g < groups.size() && g < bars[b].second.size(); ++g) {
            double x = g + groupW * (b + 0.5);
            if (std::isfinite(bars[b].second[g]))
                c.Bar(x, x + groupW, bars[b].second[g], SeriesColour(b));
        }
        legend.push_back({bars[b].first, SeriesColour(b), LegendItem::Mark::Box});
    }
    std::vector<std::pair<double, std::string>> labels;
    for (std::size_t g = 0; g < groups.size(); ++g) labels.emplace_back(g + 0.5, groups[g]);
    double width = (c.PlotRect().width() / std::max<std::size_t>(1, groups.size())) - 8;
    c.CategoryLabels(labels, width);
    if (bars.size() > 1) c.Legend(legend);
    return out.Add(c, title);
}

const char* kStyle = R"(<style>
body { font-family: "DejaVu Sans", sans-serif; margin: 24px; color: #222; max-width: 1200px; }
h1 { font-size: 22px; } h2 { font-size: 17px; margin-top: 28px; } h3 { font-size: 15px; }
.table-box { max-width: 100%; overflow-x: auto; }
table { border-collapse: collapse; font-size: 13px; }
td, th { border: 1px solid #bbb; padding: 3px 8px; text-align: right; }
th { background: #eee; font-weight: 600; }
td.name, th.name { text-align: left; overflow-wrap: anywhere; min-width: 12em; max-width: 22em; }
svg.chart { display: block; max-width: 100%; height: auto; margin: 12px 0; border: 1px solid #ddd; }
p.note { font-size: 13px; color: #444; max-width: 800px; }
.print-only { display: none; }
</style>)";

// A study's page on paper: A4, the charts three to a sheet, the table of
// runs small and a fleet's by car, not by its long run names (the run
// number, car and swept values tell each row).
const char* kStudyPrintStyle = R"(<style media="print">
@page { size: A4 portrait; margin: 8mm; }
body { margin: 0; max-width: none; font-size: 8.5pt; }
h1 { font-size: 13pt; margin: 0 0 2mm; }
h2 { font-size: 10pt; margin: 2mm 0 1mm; break-after: avoid; }
p, p.note { margin: 1mm 0; font-size: 8pt; }
svg.chart { width: 100%; max-height: 74mm; margin: 1mm 0; break-inside: avoid; border: none; }
.table-box { overflow: visible; }
table { font-size: 6.5pt; }
td, th { padding: 0 1mm; }
table.runs td { white-space: nowrap; }
table.runs td.name { white-space: normal; }
tr { break-inside: avoid; }
table.fleet td.name, table.fleet th.name { display: none; }
h3 { font-size: 9pt; margin: 2mm 0 1mm; break-after: avoid; }
@page wide { size: A4 landscape; margin: 8mm; }
.wide { page: wide; }
.screen-only { display: none; }
.print-only { display: block; }
</style>)";

std::string Page(const std::string& title, const std::string& body, const char* printStyle = "") {
    return "<!DOCTYPE html>\n<html lang=\"sv\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           HtmlEscape(title) + "</title>\n" + kStyle + "\n" + printStyle + "\n</head>\n<body>\n<h1>" + HtmlEscape(title) +
           "</h1>\n" + body + "</body>\n</html>\n";
}

// A run's name ("data_Ttidd=WLTC3B.CYK_Massa=1100") may break after each
// '_' when its column is narrow.
std::string BreakAfterUnderscores(const std::string& html) {
    std::string r;
    for (char c : html) r += c == '_' ? std::string("_<wbr>") : std::string(1, c);
    return r;
}

std::string Table(const std::string& cls, const std::vector<std::string>& head,
                  const std::vector<std::vector<std::string>>& rows) {
    // A table too wide for a portrait sheet prints on a landscape one.
    const bool wide = head.size() > 16;
    std::string t = std::string("<div class=\"table-box") + (wide ? " wide" : "") + "\"><table class=\"" + cls +
                    "\">\n<tr>";
    for (std::size_t i = 0; i < head.size(); ++i)
        t += std::string(i == 0 ? "<th class=\"name\">" : "<th>") + HtmlEscape(head[i]) + "</th>";
    t += "</tr>\n";
    for (const auto& row : rows) {
        t += "<tr>";
        for (std::size_t i = 0; i < row.size(); ++i)
            t += std::string(i == 0 ? "<td class=\"name\">" : "<td>") +
                 (i == 0 && cls.rfind("runs", 0) == 0 ? BreakAfterUnderscores(HtmlEscape(row[i])) : HtmlEscape(row[i])) +
                 "</td>";
        t += "</tr>\n";
    }
    return t + "</table></div>\n";
}

std::string SummaryTable(const Summary& s) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& [k, v] : SummaryCells(s)) {
        if (k.find(": ") != std::string::npos) continue; // the phases have their own table
        double d;
        std::string shown = v;
        if (k != "ticks" && ParseNumber(v, d)) shown = Num(d, std::fabs(d) >= 100 ? 1 : 4);
        rows.push_back({k, shown});
    }
    return Table("summary", {"figur", "värde"}, rows);
}

// Per km and per 100 km of a distance in metres; "-" without distance.
std::string PerKm(double amount, double metres, int decimals, double per = 1) {
    if (!(metres > 0)) return "-";
    return Num(amount / (metres / 1000) * per, decimals);
}

struct PhaseRow {
    std::string name;
    double distance_m, fuel_l, co2_g, co_g, nox_g, hc_g;
};

std::vector<PhaseRow> PhaseRows(const Summary& s) {
    std::vector<PhaseRow> rows;
    for (const PhaseFigures& p : s.phases)
        rows.push_back({p.phase.name, p.distance_m, p.fuel_l, p.co2_g, p.co_g, p.nox_g, p.hc_g});
    rows.push_back(
        {"hela körningen", s.ltot_m, s.fuel_l, s.co2_g.value_or(NAN), s.co_g, s.nox_g, s.hc_g});
    return rows;
}

std::string PhaseTable(const Summary& s, int gramDecimals) {
    std::vector<std::vector<std::string>> rows;
    if (s.electric) {
        // An electric car: the battery's energy per phase, nothing at the tailpipe.
        for (const PhaseFigures& p : s.phases)
            rows.push_back({p.phase.name, Num(p.distance_m / 1000, 3), Num(p.battery_kwh, 3),
                            PerKm(p.battery_kwh, p.distance_m, 2, 100)});
        rows.push_back({"hela körningen", Num(s.ltot_m / 1000, 3), Num(s.electric->battery_kwh, 3),
                        PerKm(s.electric->battery_kwh, s.ltot_m, 2, 100)});
        return Table("phases", {"fas", "sträcka (km)", "el ur batteriet (kWh)", "el (kWh/100 km)"}, rows);
    }
    for (const PhaseRow& p : PhaseRows(s))
        rows.push_back({p.name, Num(p.distance_m / 1000, 3), Num(p.fuel_l, 3),
                        PerKm(p.fuel_l, p.distance_m, 2, 100),
                        std::isfinite(p.co2_g) ? PerKm(p.co2_g, p.distance_m, 1) : "-",
                        PerKm(p.co_g, p.distance_m, 3), PerKm(p.nox_g, p.distance_m, 3),
                        PerKm(p.hc_g, p.distance_m, 3), Num(p.co_g, gramDecimals),
                        Num(p.nox_g, gramDecimals), Num(p.hc_g, gramDecimals)});
    return Table("phases",
                 {"fas", "sträcka (km)", "bränsle (l)", "bränsle (l/100 km)", "CO2 (g/km)",
                  "CO (g/km)", "NOx (g/km)", "HC (g/km)", "CO (g)", "NOx (g)", "HC (g)"},
                 rows);
}

} // namespace

// The energy balance as one stacked column: the fuel's energy split into
// where it went (terms below zero are named in the legend only).
std::string EnergyBar(Charts& out, const EnergyBalance& e) {
    // An electric car's column is the battery's energy, its first terms the
    // motor's and inverter's and the battery's own losses.
    const std::vector<std::pair<const char*, double>> terms =
        e.electric ? std::vector<std::pair<const char*, double>>{
                         {"motor och växelriktare", e.motor}, {"batteriförlust", e.batteryLoss},
                         {"hjälpapparater", e.auxiliaries},   {"utväxling", e.drivetrain},
                         {"luftmotstånd", e.air},             {"rullmotstånd", e.rolling},
                         {"lutning", e.gradient},             {"friktionsbroms", e.brake},
                         {"hastighetsgränser", e.limits},     {"rörelseenergi", e.kinetic},
                         {"rest", e.remainder}}
                   : std::vector<std::pair<const char*, double>>{
                         {"motorförluster", e.engine},   {"hjälpapparater", e.auxiliaries},
                         {"drivlina", e.drivetrain},     {"luftmotstånd", e.air},
                         {"rullmotstånd", e.rolling},    {"lutning", e.gradient},
                         {"broms", e.brake},             {"hastighetsgränser", e.limits},
                         {"rörelseenergi", e.kinetic},   {"rest", e.remainder}};
    const std::string title = "Energibalans";
    Chart c(title);
    c.SetRange(0, 1, 0, std::max(e.Source(), 1.0) / 1e6);
    c.Frame({}, {"energi", "MJ"}, false);
    std::vector<LegendItem> legend;
    double at = 0;
    for (std::size_t k = 0; k < terms.size(); ++k) {
        // The palette has eight colours; the last terms get their own.
        const QColor colour = k < 8 ? SeriesColour(k) : k == 8 ? QColor(90, 90, 90) : k == 9 ? QColor(200, 200, 60) : QColor(150, 210, 230);
        const double mj = std::fabs(terms[k].second) < 5e3 ? 0.0 : terms[k].second / 1e6; // no "-0.00"
        if (mj > 0) {
            QPainterPath box;
            box.addRect(QRectF(c.Map(0.3, at + mj), c.Map(0.7, at)));
            c.Shape(box, colour);
            at += mj;
        }
        legend.push_back({std::string(terms[k].first) + " " + Num(mj, 2) + " MJ", colour,
                          LegendItem::Mark::Box});
    }
    c.CategoryLabels({{0.5, e.electric ? "batteriets energi" : "bränslets energi"}}, c.PlotRect().width() - 8);
    c.Legend(legend);
    return out.Add(c, title);
}

// The first minute's share of a run's HC and CO after the catalyst, in words.
// The first minute's share of a run's tailpipe grams of one substance ("75 %").
std::string FirstMinuteShare(const std::vector<Sample>& s, double Sample::*g) {
    const Sample& last = s.back();
    const Sample* minute = &s.front();
    for (const Sample& x : s)
        if (x.t_s - s.front().t_s <= 60) minute = &x;
    return last.*g > 0 ? Num(100 * minute->*g / last.*g, 0) + " %" : std::string("-");
}

std::string FirstMinute(const std::string& name, const std::vector<Sample>& s) {
    return name + ": den första minuten står för " + FirstMinuteShare(s, &Sample::hc_g) + " av HC och " +
           FirstMinuteShare(s, &Sample::co_g) + " av CO efter katalysatorn.";
}

// A car with a catalyst: each substance's tailpipe grams since START as a
// share of the run's, so that the cold start's part shows, and the
// temperatures of the engine and the catalyst.
std::string CatalystCharts(Charts& out, const run::Summary& sum, const std::vector<Sample>& s) {
    const Sample& last = s.back();
    auto share = [&](double Sample::*g) {
        const double total = last.*g;
        return Points(s, [&](const Sample& x) { return total > 0 ? 100 * x.*g / total : NAN; });
    };
    std::string body = "<h2>Utsläpp sedan start</h2>\n";
    // The first minute's share, said in words beside the chart.
    body += "<p>Den första minuten står för " + FirstMinuteShare(s, &Sample::hc_g) + " av körningens HC, " +
            FirstMinuteShare(s, &Sample::co_g) + " av dess CO och " + FirstMinuteShare(s, &Sample::nox_g) +
            " av dess NOx efter katalysatorn" +
            (sum.catalyst->light_off_s ? "; katalysatorn omvandlar hälften av motorns HC från " +
                                             Num(*sum.catalyst->light_off_s, 1) + " s"
                                       : std::string("; katalysatorn nådde aldrig halv omvandling")) +
            ".</p>\n";
    body += LineChart(out, "Utsläpp sedan start", s.front().t_s, last.t_s, {"tid", "s"},
                      {"andel av körningens", "%"},
                      {{"CO", share(&Sample::co_g)}, {"NOx", share(&Sample::nox_g)}, {"HC", share(&Sample::hc_g)}});
    body += "<h2>Motorns och katalysatorns temperatur</h2>\n";
    body += LineChart(out, "Temperatur", s.front().t_s, last.t_s, {"tid", "s"}, {"temperatur", "°C"},
                      {{"motor (kylvatten)", Points(s, [](const Sample& x) { return x.engine_c; })},
                       {"katalysator", Points(s, [](const Sample& x) { return x.catalyst_c; })}});
    return body;
}

std::string RunReportHtml(const ReportRun& run, ChartFiles* files) {
    Charts out(files);
    const std::vector<Sample>& s = run.samples;
    std::string body;
    body += "<p>Körning <b>" + HtmlEscape(run.name) + "</b>: " + Num(run.summary.ttot_s, 1) + " s, " +
            Num(run.summary.ltot_m / 1000, 3) + " km.</p>\n";
    body += "<h2>Hastighet</h2>\n";
    body +=
        TimeChart(out, "Hastighet", {"hastighet", "km/h"}, s,
                  {{run.requestedLabel, Points(s, [](const Sample& x) { return x.requested_kmh; })},
                   {"bilens hastighet", Points(s, [](const Sample& x) { return x.v_kmh; })}});
    body += "<h2>Motorns arbetspunkter</h2>\n" +
            MapChart(out, run.map, {{run.name, &s, SeriesColour(1)}}, run.summary.electric.has_value());
    // An electric car burns nothing: its battery's charts instead (below).
    if (!run.summary.electric) {
        body += "<h2>Förbrukat bränsle</h2>\n";
        body += TimeChart(out, "Förbrukat bränsle", {"bränsle sedan start", "l"}, s,
                          {{"bränsle", Points(s, [](const Sample& x) { return x.fuel_l; })}});
        body += "<h2>CO2 sedan start</h2>\n";
        body += TimeChart(out, "CO2", {"CO2 sedan start", "g"}, s,
                          {{"CO2", Points(s, [](const Sample& x) { return x.co2_g; })}});
    }
    if (run.summary.catalyst && !s.empty()) body += CatalystCharts(out, run.summary, s);
    if (run.summary.electric && !s.empty()) {
        const run::ElectricFigures& e = *run.summary.electric;
        body += "<h2>Batteriet</h2>\n<p>" + Num(e.battery_kwh, 2) + " kWh ur batteriet (" +
                Num(e.battery_kwh_per_100km.value_or(0), 1) + " kWh/100 km, " +
                Num(e.grid_kwh_per_100km.value_or(0), 1) + " kWh/100 km från elnätet); " + Num(e.regenerated_kwh, 2) +
                " kWh tillbaka genom regenerering, " + Num(100 * e.regenerated_share.value_or(0), 0) +
                " % av vad batteriet gav.</p>\n";
        body += LineChart(out, "Laddning", s.front().t_s, s.back().t_s, {"tid", "s"}, {"laddning", "%"},
                          {{"batteriets laddning", Points(s, [](const Sample& x) { return x.soc_pct; })}});
        body += "<h2>Eleffekt</h2>\n";
        body += LineChart(out, "Eleffekt", s.front().t_s, s.back().t_s, {"tid", "s"}, {"effekt", "kW"},
                          {{"batteriet (under noll: regenerering)", Points(s, [](const Sample& x) { return x.battery_kw; })}});
    }
    body += "<h2>Per fas och totalt</h2>\n";
    std::vector<std::string> groups;
    std::vector<double> co, nox, hc, fuel;
    for (const PhaseRow& p : PhaseRows(run.summary)) {
        groups.push_back(p.name);
        double km = p.distance_m / 1000;
        co.push_back(km > 0 ? p.co_g / km : NAN);
        nox.push_back(km > 0 ? p.nox_g / km : NAN);
        hc.push_back(km > 0 ? p.hc_g / km : NAN);
        fuel.push_back(km > 0 ? p.fuel_l / km * 100 : NAN);
    }
    body += PhaseTable(run.summary, run.wholeGrams ? 0 : 3);
    if (!run.note.empty()) body += "<p class=\"note\">" + HtmlEscape(run.note) + "</p>\n";
    if (!run.summary.electric) {
        body += "<h3>Utsläpp per kilometer</h3>\n";
        body += BarChart(out, "Utsläpp per fas", {"utsläpp", "g/km"}, groups,
                         {{"CO", co}, {"NOx", nox}, {"HC", hc}});
        body += "<h3>Bränsle per 100 km</h3>\n";
        body += BarChart(out, "Bränsle per fas", {"bränsle", "l/100 km"}, groups, {{"bränsle", fuel}});
    }
    if (run.summary.energy) body += "<h2>Energibalans</h2>\n" + EnergyBar(out, *run.summary.energy);
    body += "<h2>Sammanfattning</h2>\n" + SummaryTable(run.summary);
    return Page("Tralvik: " + run.name, body);
}

namespace {

// The unit of a constants line, for axes and legends.
std::string UnitOf(const std::string& name) {
    static const std::map<std::string, std::string> units = {
        {"Imax", "kW"},       {"Massa", "kg"},  {"Tank", "l"},       {"Fbmax", "N"},
        {"Phjalp", "W"},      {"CdA", "m²"},    {"Brannv", "kWh/l"}, {"Tathet", "kg/l"},
        {"Nmax", "varv/min"}, {"Fulltid", "s"}, {"Fullangd", "m"},   {"ttot", "s"},
        {"tcykel", "s"},      {"ltot", "m"},    {"lkarta", "m"},     {"v", "m/s"},
        {"Dt", "s"}};
    auto it = units.find(name);
    return it == units.end() ? "" : it->second;
}

// A swept value as a reader names it: a file by its name without folder and
// extension ("cykel WLTC3B"), a number with its unit ("Massa 1100 kg").
std::string SweptLabel(const Assignment& a) {
    static const std::map<std::string, std::string> files = {
        {"Ttidd", "cykel"},       {"Tkarta", "karta"},        {"Bilmapp", "bil"},
        {"Tforb", "motortabell"}, {"Tford", "fordonstabell"}, {"Tvx", "växeltabell"}};
    auto f = files.find(a.name);
    if (f != files.end()) {
        std::string v = a.value;
        auto slash = v.find_last_of("/\\");
        if (slash != std::string::npos) v = v.substr(slash + 1);
        auto dot = v.rfind('.');
        if (dot != std::string::npos && dot > 0) v = v.substr(0, dot);
        return f->second + " " + v;
    }
    std::string unit = UnitOf(a.name);
    return a.name + " " + a.value + (unit.empty() ? "" : " " + unit);
}

// A list fleet beside the list: per test the ratios' mean and shares
// within 5 and 10 %, a scatter of simulated against measured fuel with the
// ±10 % band, and one row per car (and per combination of other swept values)
// grouped by the list's vehicle type, each test's measured and simulated
// figures and the 55/45 combination of city and highway.
// What tells a fleet's car from the others (two cars of a list may share a
// name), and the name a reader knows it by.
const std::string& CarKey(const ReportRun& r) { return r.carKey.empty() ? r.car : r.carKey; }
const std::string& CarTitle(const ReportRun& r) { return r.carTitle.empty() ? r.car : r.carTitle; }

std::string FleetAgainstList(Charts& out, const std::vector<ReportRun>& runs) {
    // Electric cars' tests apart: their figures are kWh from the grid.
    const char* const tests[] = {"FTP-75", "HWFET", "US06", "UDDS el", "HWFET el"};
    std::map<std::string, std::vector<double>> ratios;
    double top = 0;
    for (const ReportRun& r : runs)
        if (r.measured) {
            ratios[r.measured->test].push_back(r.measured->simulated / r.measured->measured);
            top = std::max({top, r.measured->simulated, r.measured->measured});
        }
    if (ratios.empty()) return "";
    const bool us = runs.front().summary.us;
    auto shown = [&](double lPer100) { return us ? Num(MilesPerGallon(lPer100), 1) : Num(lPer100, 2); };
    // kWh from the grid per 100 km, or in US units miles per gallon equivalent.
    auto shownElectric = [&](double kwh) {
        return us ? Num(MilesPerGallonEquivalent(kwh), 1) + " mpge" : Num(kwh, 2) + " kWh";
    };
    bool anyElectric = false, anyEngine = false;
    for (const ReportRun& r : runs)
        if (r.measured) (r.measured->electric ? anyElectric : anyEngine) = true;
    // The axes' unit: the fuel's, the grid's energy, or both where a fleet has both.
    const std::string unit = us ? (anyElectric ? (anyEngine ? "mpg, mpge" : "mpge") : "mpg")
                                : (anyElectric ? (anyEngine ? "l eller kWh/100 km" : "kWh/100 km") : "l/100 km");
    std::string body = "<h2>Simulerat mot uppmätt</h2>\n<p>Kvoten är simulerad bränsleförbrukning genom listans "
                       "uppmätta, på samma prov: ";
    bool firstTest = true;
    for (const char* t : tests) {
        auto it = ratios.find(t);
        if (it == ratios.end()) continue;
        const std::vector<double>& q = it->second;
        double sum = 0, in5 = 0, in10 = 0;
        for (double x : q) sum += x, in5 += std::fabs(x - 1) <= 0.05, in10 += std::fabs(x - 1) <= 0.10;
        body += std::string(firstTest ? "" : "; ") + t + " " + std::to_string(q.size()) + " bilar, medel " +
                Num(sum / q.size(), 3) + ", " + Num(100 * in5 / q.size(), 0) + " % inom ±5 %, " +
                Num(100 * in10 / q.size(), 0) + " % inom ±10 %";
        firstTest = false;
    }
    body += ". FTP-75 som testcar jämför: hela cykeln med varm motor gånger flottans kallstartsfaktor "
            "(utan faktor när steget själv startar motorn, med katalysatorn: då provets vägning av faserna).</p>\n";
    // Numbers of the table's rows, for the dots outside the band.
    struct CarRow {
        std::string klass, key, title, line, variant;
        std::map<std::string, const ReportRun*> byTest;
    };
    std::vector<CarRow> rows;
    for (const ReportRun& r : runs) {
        if (!r.measured) continue;
        std::string variant;
        for (const Assignment& a : r.swept)
            if (a.name != "Ttidd" && a.name != "Cykeltyp" && a.name != "Tkarta")
                variant += (variant.empty() ? "" : ", ") + SweptLabel(a);
        auto it = std::find_if(rows.begin(), rows.end(), [&](const CarRow& c) {
            return c.key == CarKey(r) && c.variant == variant && !c.byTest.count(r.measured->test);
        });
        if (it == rows.end()) it = rows.insert(rows.end(), CarRow{r.carClass, CarKey(r), CarTitle(r), r.listLine, variant, {}});
        it->byTest[r.measured->test] = &r;
    }
    // Passenger cars first, then the classes between, then light trucks.
    auto classRank = [](const std::string& k) { return k == "Car" ? 0 : k == "Both" ? 1 : k == "Truck" ? 2 : 3; };
    std::stable_sort(rows.begin(), rows.end(), [&](const CarRow& a, const CarRow& b) {
        if (classRank(a.klass) != classRank(b.klass)) return classRank(a.klass) < classRank(b.klass);
        return a.title != b.title ? a.title < b.title : a.key < b.key;
    });
    std::map<const ReportRun*, std::size_t> number;
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (const auto& [t, r] : rows[i].byTest) number[r] = i + 1;

    const std::string title = "Simulerat mot uppmätt (" + unit + ")";
    const double hi = us ? 0 : top * 1.05;
    Chart c(title);
    if (us) {
        double up = 0;
        for (const ReportRun& r : runs)
            if (r.measured)
                for (double v : {r.measured->simulated, r.measured->measured})
                    up = std::max(up, r.measured->electric ? MilesPerGallonEquivalent(v) : MilesPerGallon(v));
        c.SetRange(0, up * 1.05, 0, up * 1.05, true);
    } else {
        c.SetRange(0, hi, 0, hi, true);
    }
    c.Frame({"uppmätt", unit}, {"simulerat", unit});
    const double x1 = c.X1();
    const QColor band(150, 150, 150), same(60, 60, 60);
    // In mpg the band of ±10 % fuel is 1/1.1 and 1/0.9 of the measured mpg.
    const double lower = us ? 1 / 1.1 : 0.9, upper = us ? 1 / 0.9 : 1.1;
    c.Line({QPointF(0, 0), QPointF(x1, x1 * lower)}, band, 1);
    c.Line({QPointF(0, 0), QPointF(x1 / upper, x1)}, band, 1);
    c.Line({QPointF(0, 0), QPointF(x1, x1)}, same, 1);
    std::vector<LegendItem> legend;
    for (std::size_t k = 0; k < std::size(tests); ++k) {
        if (!ratios.count(tests[k])) continue;
        legend.push_back({tests[k], SeriesColour(k), LegendItem::Mark::Dot});
        for (const ReportRun& r : runs) {
            if (!r.measured || r.measured->test != tests[k]) continue;
            // In US units an electric car's kWh/100 km as mpge.
            auto axis = [&](double v) {
                return !us ? v : r.measured->electric ? MilesPerGallonEquivalent(v) : MilesPerGallon(v);
            };
            const double mx = axis(r.measured->measured), my = axis(r.measured->simulated);
            const double q = r.measured->simulated / r.measured->measured;
            if (std::fabs(q - 1) > 0.10)
                c.NumberedDot(QPointF(mx, my), 8, SeriesColour(k), std::to_string(number[&r]));
            else
                c.Dot(QPointF(mx, my), 3.5, SeriesColour(k));
        }
    }
    legend.push_back({"lika", same, LegendItem::Mark::Line});
    legend.push_back({"±10 % bränsle", band, LegendItem::Mark::Line});
    c.Legend(legend);
    c.Note("Varje punkt är en bil på ett prov. Punkter utanför bandet bär bilens nummer i tabellen nedan.");
    body += out.Add(c, title);

    // The table, a heading per class.
    static const std::map<std::string, std::string> classNames = {
        {"Car", "Personbilar"}, {"Both", "Personbilar och lätta lastbilar"}, {"Truck", "Lätta lastbilar"}};
    std::vector<std::string> present;
    for (const char* t : tests)
        if (ratios.count(t)) present.push_back(t);
    const bool combined = ratios.count("FTP-75") && ratios.count("HWFET");
    bool variants = false;
    for (const CarRow& r : rows) variants = variants || !r.variant.empty();
    std::vector<std::string> head = {"bil", "nr", "listans rad"};
    if (variants) head.push_back("värden");
    for (const std::string& t : present) {
        head.push_back(t + " uppmätt");
        head.push_back("simulerat");
        head.push_back("kvot");
    }
    if (combined) {
        head.push_back("kombinerat uppmätt");
        head.push_back("simulerat");
        head.push_back("kvot");
    }
    head.push_back("inom testets tolerans");
    std::string klass = "\x01";
    std::vector<std::vector<std::string>> cells;
    auto flush = [&] {
        if (cells.empty()) return;
        auto it = classNames.find(klass);
        std::size_t n = cells.size();
        body += "<h3>" + HtmlEscape(it != classNames.end() ? it->second : klass.empty() ? "Bilar" : klass) + " (" +
                std::to_string(n) + ")</h3>\n" + Table("runs fleet-list", head, cells);
        cells.clear();
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CarRow& row = rows[i];
        if (row.klass != klass) flush(), klass = row.klass;
        std::vector<std::string> cell = {row.title, std::to_string(i + 1), row.line.empty() ? "-" : row.line};
        if (variants) cell.push_back(row.variant.empty() ? "-" : row.variant);
        std::string off;
        auto ratio = [](double sim, double meas) { return Num(sim / meas, 3); };
        for (const std::string& t : present) {
            auto it = row.byTest.find(t);
            if (it == row.byTest.end()) {
                cell.insert(cell.end(), {"-", "-", "-"});
                continue;
            }
            const ListComparison& m = *it->second->measured;
            if (m.electric)
                cell.insert(cell.end(), {shownElectric(m.measured), shownElectric(m.simulated), ratio(m.simulated, m.measured)});
            else
                cell.insert(cell.end(), {shown(m.measured), shown(m.simulated), ratio(m.simulated, m.measured)});
            const auto& trace = it->second->summary.trace;
            if (trace && !trace->WithinTolerance()) off += (off.empty() ? "" : ", ") + t;
        }
        if (combined) {
            auto city = row.byTest.find("FTP-75"), highway = row.byTest.find("HWFET");
            if (city != row.byTest.end() && highway != row.byTest.end()) {
                auto mix = [](double a, double b) {
                    DistanceFigures x, y;
                    x.l_per_100km = a, y.l_per_100km = b;
                    return CityHighwayCombined(x, y).l_per_100km;
                };
                const double meas = mix(city->second->measured->measured, highway->second->measured->measured);
                const double sim = mix(city->second->measured->simulated, highway->second->measured->simulated);
                cell.insert(cell.end(), {shown(meas), shown(sim), ratio(sim, meas)});
            } else {
                cell.insert(cell.end(), {"-", "-", "-"});
            }
        }
        cell.push_back(off.empty() ? "ja" : "NEJ: " + off);
        cells.push_back(cell);
    }
    flush();
    body += "<p class=\"note\">Uppmätt: listans värde för bilens prov (" + unit +
            "); kombinerat: 55 % stad (FTP-75) och 45 % landsväg (HWFET) av sträckan. Kvoten är simulerat "
            "bränsle genom uppmätt; över 1 förbrukar den simulerade bilen mer.</p>\n";
    return body;
}

} // namespace

namespace {

// An elasticity study's charts: per output the elasticities as bars, the
// largest first (by the first group's size), a series per folder and car;
// then the runs each elasticity comes from.
std::string ElasticityCharts(Charts& out, const std::vector<ElasticityRow>& es) {
    std::vector<std::string> groups, names;
    for (const ElasticityRow& e : es) {
        if (std::find(groups.begin(), groups.end(), e.group) == groups.end()) groups.push_back(e.group);
        if (std::find(names.begin(), names.end(), e.name) == names.end()) names.push_back(e.name);
    }
    std::string body = "<p>Elasticitet: hur många procent utdata ändras när en indata ändras en procent "
                       "(från mitten av dess intervall, -5 % och +5 %, de andra i mitten). Staplarna står "
                       "med den största först.</p>\n";
    struct Output {
        const char* heading;
        std::optional<double> ElasticityRow::*value;
    };
    for (const Output o : {Output{"Bränsle", &ElasticityRow::fuel}, Output{"CO2", &ElasticityRow::co2}}) {
        auto of = [&](const std::string& g, const std::string& n) -> double {
            for (const ElasticityRow& e : es)
                if (e.group == g && e.name == n && (e.*o.value)) return *(e.*o.value);
            return NAN;
        };
        std::vector<std::string> sorted = names;
        std::stable_sort(sorted.begin(), sorted.end(), [&](const std::string& a, const std::string& b) {
            const double x = std::fabs(of(groups.front(), a)), y = std::fabs(of(groups.front(), b));
            return (std::isfinite(x) ? x : -1) > (std::isfinite(y) ? y : -1);
        });
        std::vector<std::pair<std::string, std::vector<double>>> bars;
        for (const std::string& g : groups) {
            std::vector<double> v;
            for (const std::string& n : sorted) v.push_back(of(g, n));
            bars.emplace_back(g, v);
        }
        const std::string title = std::string("Elasticitet: ") + o.heading;
        body += "<h2>" + HtmlEscape(title) + "</h2>\n" +
                BarChart(out, title, {"elasticitet", "% per %"}, sorted, bars);
    }
    body += "<h2>Elasticiteterna och deras körningar</h2>\n<div class=\"table-box\"><table>\n<tr>"
            "<th class=\"name\">mapp och bil</th><th class=\"name\">indata</th><th>bränsle</th><th>CO2</th>"
            "<th class=\"name\">mitten</th><th class=\"name\">-5 %</th><th class=\"name\">+5 %</th></tr>\n";
    auto number = [](const std::optional<double>& v) {
        if (!v) return std::string("-");
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", *v);
        return std::string(buf);
    };
    for (const ElasticityRow& e : es)
        body += "<tr><td class=\"name\">" + HtmlEscape(e.group) + "</td><td class=\"name\">" + HtmlEscape(e.name) +
                "</td><td>" + number(e.fuel) + "</td><td>" + number(e.co2) + "</td><td class=\"name\">" +
                HtmlEscape(e.base) + "</td><td class=\"name\">" + HtmlEscape(e.minus) + "</td><td class=\"name\">" +
                HtmlEscape(e.plus) + "</td></tr>\n";
    return body + "</table></div>\n";
}

} // namespace

std::string StudyReportHtml(const std::vector<ReportRun>& runs, ChartFiles* files,
                            const std::vector<ElasticityRow>* elasticities) {
    Charts out(files);
    std::string body = "<p>" + std::to_string(runs.size()) + " körningar.</p>\n";
    if (elasticities && !elasticities->empty()) body += ElasticityCharts(out, *elasticities);
    // The x axis: the first swept name whose values are all numbers.
    std::string xName;
    if (!runs.empty())
        for (std::size_t k = 0; k < runs[0].swept.size() && xName.empty(); ++k) {
            bool numeric = true;
            for (const ReportRun& r : runs) {
                double v;
                numeric = numeric && k < r.swept.size() && ParseNumber(r.swept[k].value, v) &&
                          std::fabs(v) < 1e12;
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
    std::set<std::string> folders;
    for (const ReportRun& r : runs) folders.insert(r.name.substr(0, r.name.find('_')));
    auto groupOf = [&](const ReportRun& r) {
        std::string g;
        for (const Assignment& a : r.swept)
            if (a.name != xName) g += (g.empty() ? "" : ", ") + SweptLabel(a);
        std::string folder = r.name.substr(0, r.name.find('_'));
        if (g.empty()) return folder;
        return folders.size() > 1 ? folder + ": " + g : g;
    };
    struct Figure {
        const char* key;
        const char* heading;
        Axis y;
    };
    const Figure figures[] = {
        {"fuel_l_per_100km", "Bränsle", {"bränsle", "l/100 km"}},
        {"co2_g_per_km", "CO2", {"CO2", "g/km"}},
        {"co_g_per_km", "CO", {"CO", "g/km"}},
        {"nox_g_per_km", "NOx", {"NOx", "g/km"}},
        {"hc_g_per_km", "HC", {"HC", "g/km"}},
        {"trace_rms_kmh", "Spårföljning", {"avvikelse från cykeln, RMS", "km/h"}}};
    const Axis xAxis = xName.empty() ? Axis{"körning", "nummer"} : Axis{xName, UnitOf(xName)};
    // A fleet: one group of bars per car (its name under them), a bar per
    // combination of the swept values; a line over run numbers would join
    // cars that have nothing to do with each other.
    const bool fleet =
        !runs.empty() && std::all_of(runs.begin(), runs.end(), [](const ReportRun& r) { return !r.car.empty(); });
    if (fleet && !(elasticities && !elasticities->empty())) {
        std::vector<std::string> cars, series;
        for (const ReportRun& r : runs) {
            if (std::find(cars.begin(), cars.end(), CarKey(r)) == cars.end()) cars.push_back(CarKey(r));
            std::string g;
            for (const Assignment& a : r.swept) g += (g.empty() ? "" : ", ") + SweptLabel(a);
            if (std::find(series.begin(), series.end(), g) == series.end()) series.push_back(g);
        }
        body += FleetAgainstList(out, runs);
        // Under the bars a list car's make and model, as the list spells them.
        std::vector<std::string> carLabels(cars.size());
        for (const ReportRun& r : runs)
            carLabels[std::find(cars.begin(), cars.end(), CarKey(r)) - cars.begin()] = CarTitle(r);
        body += "<p>En flotta: " + std::to_string(cars.size()) + " bilar" +
                (series.size() > 1 ? ", " + std::to_string(series.size()) + " körningar var" : std::string()) +
                "; staplarna står bil för bil i listans ordning.</p>\n";
        for (const Figure& f : figures) {
            std::vector<std::pair<std::string, std::vector<double>>> bars;
            bool any = false;
            for (const std::string& g : series) {
                std::vector<double> values(cars.size(), NAN);
                for (const ReportRun& r : runs) {
                    std::string rg;
                    for (const Assignment& a : r.swept) rg += (rg.empty() ? "" : ", ") + SweptLabel(a);
                    if (rg != g) continue;
                    for (const auto& [k, v] : SummaryCells(r.summary)) {
                        double y;
                        if (k == f.key && ParseNumber(v, y) && std::isfinite(y)) {
                            values[std::find(cars.begin(), cars.end(), CarKey(r)) - cars.begin()] = y;
                            any = true;
                        }
                    }
                }
                bars.emplace_back(g.empty() ? std::string(f.heading) : g, values);
            }
            if (!any) continue;
            const std::string title = std::string(f.heading) + " (" + f.y.unit + ")";
            body += "<h2>" + HtmlEscape(f.heading) + "</h2>\n" + BarChart(out, title, f.y, carLabels, bars);
        }
    }
    for (const Figure& f : figures) {
        if (fleet || (elasticities && !elasticities->empty())) break;
        std::map<std::string, std::vector<QPointF>> lines;
        std::vector<std::string> order;
        double x0 = 1e300, x1 = -1e300, y1 = 0;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            for (const auto& [k, v] : SummaryCells(runs[i].summary)) {
                double y;
                if (k != f.key || !ParseNumber(v, y) || !std::isfinite(y)) continue;
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
        std::string title = std::string(f.heading) + " (" + f.y.unit + ")";
        Chart c(title);
        c.SetRange(x0 - pad, x1 + pad, 0, y1);
        c.Frame(xAxis, f.y);
        // Sampled runs (each its own combination: a line of one point): one
        // dot per run with its number in the table, not a legend of values.
        bool sampled = order.size() > 1;
        for (const std::string& g : order) sampled = sampled && lines[g].size() == 1;
        if (sampled) {
            // Each output against each sampled input: one chart per input,
            // the runs numbered as in the table.
            std::vector<std::string> inputs;
            for (const Assignment& a : runs[0].swept) {
                bool numeric = true;
                for (const ReportRun& r : runs) {
                    double v;
                    bool found = false;
                    for (const Assignment& b : r.swept)
                        if (b.name == a.name) found = ParseNumber(b.value, v) && std::fabs(v) < 1e12;
                    numeric = numeric && found;
                }
                if (numeric) inputs.push_back(a.name);
            }
            if (inputs.empty()) inputs.push_back(xName);
            body += "<h2>" + HtmlEscape(f.heading) + "</h2>\n";
            for (const std::string& input : inputs) {
                auto xIn = [&](const ReportRun& r, std::size_t index) {
                    for (const Assignment& a : r.swept) {
                        double v;
                        if (a.name == input && ParseNumber(a.value, v)) return v;
                    }
                    return static_cast<double>(index + 1);
                };
                double lo = 1e300, hi = -1e300;
                for (std::size_t i = 0; i < runs.size(); ++i) lo = std::min(lo, xIn(runs[i], i)), hi = std::max(hi, xIn(runs[i], i));
                if (!(hi > lo)) lo -= 1, hi += 1;
                const double margin = (hi - lo) * 0.04;
                const std::string chartTitle = inputs.size() > 1 ? title + " mot " + input : title;
                Chart one(chartTitle);
                one.SetRange(lo - margin, hi + margin, 0, y1);
                one.Frame(input.empty() ? Axis{"körning", "nummer"} : Axis{input, UnitOf(input)}, f.y);
                for (std::size_t i = 0; i < runs.size(); ++i)
                    for (const auto& [k, v] : SummaryCells(runs[i].summary)) {
                        double y;
                        if (k == f.key && ParseNumber(v, y) && std::isfinite(y))
                            one.NumberedDot(QPointF(xIn(runs[i], i), y), 8, SeriesColour(0), std::to_string(i + 1));
                    }
                one.Note("Varje punkt är en körning, numrerad som i tabellen nedan, där dess övriga värden står.");
                body += out.Add(one, chartTitle);
            }
            continue;
        }
        std::vector<LegendItem> legend;
        for (std::size_t g = 0; g < order.size(); ++g) {
            QColor col = SeriesColour(g);
            auto pts = lines[order[g]];
            std::sort(pts.begin(), pts.end(), [](auto& p, auto& q) { return p.x() < q.x(); });
            c.Line(pts, col, 2);
            for (const QPointF& p : pts) c.Dot(p, 3.5, col);
            legend.push_back({order[g], col, LegendItem::Mark::Line});
        }
        if (order.size() > 1 || !order[0].empty()) c.Legend(legend);
        body += "<h2>" + HtmlEscape(f.heading) + "</h2>\n" + out.Add(c, title);
    }
    // The table of all runs.
    struct Column {
        const char* key;
        const char* head;
        int decimals;
        double scale;
    };
    const Column cols[] = {{"end", "slut", -1, 1},
                           {"ltot_m", "sträcka (km)", 3, 0.001},
                           {"fuel_l", "bränsle (l)", 3, 1},
                           {"fuel_l_per_100km", "bränsle (l/100 km)", 2, 1},
                           {"co2_g_per_km", "CO2 (g/km)", 1, 1},
                           {"co_g_per_km", "CO (g/km)", 3, 1},
                           {"nox_g_per_km", "NOx (g/km)", 3, 1},
                           {"hc_g_per_km", "HC (g/km)", 3, 1},
                           {"trace_rms_kmh", "spår RMS (km/h)", 2, 1},
                           {"trace_share_off", "> 2 km/h (%)", 1, 100},
                           {"trace_within_tolerance", "inom testets tolerans", -1, 1}};
    // The runs numbered as the charts' dots are, with their swept or
    // sampled values (four significant digits: a sample's full value is in
    // the CSV).
    std::vector<std::string> sweptNames;
    for (const ReportRun& r : runs)
        for (const Assignment& a : r.swept)
            if (std::find(sweptNames.begin(), sweptNames.end(), a.name) == sweptNames.end())
                sweptNames.push_back(a.name);
    std::vector<std::string> head = {"körning", "nr"};
    if (fleet) head.push_back("bil");
    // Each swept or sampled value with its unit, where the line has one.
    for (const std::string& n : sweptNames) {
        const std::string unit = UnitOf(n);
        head.push_back(unit.empty() ? n : n + " (" + unit + ")");
    }
    for (const Column& c : cols) head.push_back(c.head);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const ReportRun& r = runs[i];
        std::map<std::string, std::string> m;
        for (const auto& [k, v] : SummaryCells(r.summary)) m[k] = v;
        std::vector<std::string> row = {r.name, std::to_string(i + 1)};
        if (fleet) row.push_back(CarTitle(r));
        for (const std::string& n : sweptNames) {
            std::string shown = "-";
            for (const Assignment& a : r.swept) {
                if (a.name != n) continue;
                double d;
                char buf[32];
                if (ParseNumber(a.value, d) && std::isfinite(d)) {
                    std::snprintf(buf, sizeof buf, "%.4g", d);
                    shown = buf;
                } else {
                    shown = a.value;
                }
            }
            row.push_back(shown);
        }
        for (const Column& c : cols) {
            std::string v = m[c.key];
            double d;
            if (c.decimals >= 0 && ParseNumber(v, d)) v = Num(d * c.scale, c.decimals);
            if (v == "true") v = "ja";
            if (v == "false") v = "NEJ";
            if (v.empty()) v = "-";
            row.push_back(v);
        }
        rows.push_back(row);
    }
    // A fleet beside its list prints the comparison; the table of every run
    // (hundreds of rows) stays on the screen and in the CSV.
    const bool listed = std::any_of(runs.begin(), runs.end(), [](const ReportRun& r) { return r.measured.has_value(); });
    // A wide table's heading and note go on its landscape sheet with it.
    const bool wide = head.size() > 16;
    body += std::string(listed ? "<div class=\"screen-only\">\n" : "") + (wide ? "<div class=\"wide\">\n" : "") +
            "<h2>Alla körningar</h2>\n" +
            Table(fleet ? "runs fleet" : "runs", head, rows) +
            "<p class=\"note\">Inom testets tolerans: farten höll sig inom 2 mph (3,2 km/h) från "
            "tidscykelns, avvikelser högst 1 s långa. NEJ: körningen följde inte cykeln som testet "
            "kräver, och dess siffror är inte testets.</p>\n" + (wide ? "</div>\n" : "") +
            (listed ? "</div>\n<p class=\"note print-only\">Tabellen över alla körningar står på sidan på "
                      "skärmen och i studiens CSV.</p>\n"
                    : "");
    return Page("Tralvik: studie", body, kStudyPrintStyle);
}

} // namespace tralvik::pages

namespace tralvik::pages {

namespace {
// The two runs in the same colours in both charts; the built-in driver dark
// enough to show on the map's greens and blues.
const QColor kDriveColour = SeriesColour(1), kBuiltInColour(40, 40, 140);
} // namespace

std::string CompareReportHtml(const ReportRun& drive, const ReportRun& builtIn, bool overDistance,
                              const std::vector<CompareRow>& rows,
                              const std::vector<std::string>& notes, ChartFiles* files) {
    Charts out(files);
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
    body += "<p><b>" + HtmlEscape(drive.name) + "</b> mot <b>" + HtmlEscape(builtIn.name) +
            "</b> i samma mapp: " + Num(drive.summary.ltot_m / 1000, 3) + " km på " +
            Num(drive.summary.ttot_s, 1) + " s mot " + Num(builtIn.summary.ltot_m / 1000, 3) +
            " km på " + Num(builtIn.summary.ttot_s, 1) + " s.</p>\n";
    body += "<h2>Hastighet</h2>\n";
    body +=
        LineChart(out, "Hastighet", x0, x1, overDistance ? Axis{"sträcka", "km"} : Axis{"tid", "s"},
                  {"hastighet", "km/h"},
                  {{drive.requestedLabel,
                    Points(further, x, [](const Sample& s) { return s.requested_kmh; })},
                   {drive.name, Points(a, x, v)},
                   {builtIn.name, Points(b, x, v)}},
                  {QColor(170, 170, 170), kDriveColour, kBuiltInColour});
    body += "<h2>Motorns arbetspunkter</h2>\n" +
            MapChart(out, drive.map,
                     {{drive.name, &a, kDriveColour}, {builtIn.name, &b, kBuiltInColour}},
                     drive.summary.electric.has_value());
    if (drive.summary.catalyst && builtIn.summary.catalyst && !a.empty() && !b.empty()) {
        // With a catalyst: HC and CO since START, so that the cold start's
        // part shows for both drivers.
        body += "<h2>Utsläpp sedan start</h2>\n";
        body += "<p>" + FirstMinute(drive.name, a) + " " + FirstMinute(builtIn.name, b) + "</p>\n";
        for (auto [name, g] : {std::pair{"HC", &Sample::hc_g}, std::pair{"CO", &Sample::co_g}})
            body += LineChart(out, std::string(name) + " sedan start", x0, x1,
                              overDistance ? Axis{"sträcka", "km"} : Axis{"tid", "s"},
                              {std::string(name) + " sedan start", "g"},
                              {{drive.name, Points(a, x, [g = g](const Sample& s) { return s.*g; })},
                               {builtIn.name, Points(b, x, [g = g](const Sample& s) { return s.*g; })}},
                              {kDriveColour, kBuiltInColour});
    }
    if (drive.summary.electric && builtIn.summary.electric && !a.empty() && !b.empty()) {
        body += "<h2>Batteriets laddning</h2>\n";
        body += LineChart(out, "Laddning", x0, x1, overDistance ? Axis{"sträcka", "km"} : Axis{"tid", "s"},
                          {"laddning", "%"},
                          {{drive.name, Points(a, x, [](const Sample& s) { return s.soc_pct; })},
                           {builtIn.name, Points(b, x, [](const Sample& s) { return s.soc_pct; })}},
                          {kDriveColour, kBuiltInColour});
    }
    std::vector<std::vector<std::string>> table;
    for (const CompareRow& r : rows) table.push_back({r.label, r.drive, r.builtIn, r.difference});
    body += "<h2>Sammanfattning</h2>\n" +
            Table("compare", {"", drive.name, builtIn.name, "skillnad"}, table);
    for (const std::string& n : notes) body += "<p class=\"note\">" + HtmlEscape(n) + "</p>\n";
    return Page("Tralvik: jämförelse med den inbyggda föraren", body);
}

std::string PointChart(const std::string& title, const QuantityUnit& xAxis,
                       const QuantityUnit& yAxis, const std::vector<ChartPoint>& points) {
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const ChartPoint& p = points[i];
        x0 = i ? std::min(x0, p.x) : p.x, x1 = i ? std::max(x1, p.x) : p.x;
        y0 = i ? std::min(y0, p.y) : p.y, y1 = i ? std::max(y1, p.y) : p.y;
    }
    // Room around the points, so no mark sits on the frame.
    double dx = std::max(x1 - x0, std::fabs(x1) * 0.05 + 1e-9) * 0.08;
    double dy = std::max(y1 - y0, std::fabs(y1) * 0.05 + 1e-9) * 0.08;
    Chart c(title);
    c.SetRange(x0 - dx, x1 + dx, std::max(0.0, y0 - dy), y1 + dy, true);
    c.Frame({xAxis.first, xAxis.second}, {yAxis.first, yAxis.second});
    // Names go in the legend, not beside the points: labels in the plot
    // would cover other points. Each point carries its number in the order
    // given (a class's ranking), the legend the same number before the
    // name: a class of 40 in ten colours still tells every student apart.
    std::vector<LegendItem> legend;
    std::size_t n = 0;
    for (const ChartPoint& p : points) {
        if (p.reference) {
            QPointF at = c.Map(p.x, p.y);
            QPainterPath diamond;
            diamond.moveTo(at + QPointF(0, -7));
            diamond.lineTo(at + QPointF(7, 0));
            diamond.lineTo(at + QPointF(0, 7));
            diamond.lineTo(at + QPointF(-7, 0));
            diamond.closeSubpath();
            c.Shape(diamond, kBuiltInColour);
            legend.push_back({p.label, kBuiltInColour, LegendItem::Mark::Box});
        } else {
            QColor col = SeriesColour(n++);
            c.NumberedDot(QPointF(p.x, p.y), 8, col, std::to_string(n));
            legend.push_back({std::to_string(n) + " " + p.label, col, LegendItem::Mark::Dot});
        }
    }
    if (!legend.empty()) c.Legend(legend);
    return c.Svg();
}

} // namespace tralvik::pages
