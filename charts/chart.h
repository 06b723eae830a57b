// The charts of the report pages: one SVG per chart, drawn with QPainter on
// QSvgGenerator. The plot area never holds anything but the data: axis
// titles (quantity and unit) sit beside it, the legend below it (wrapped to
// the chart's width) and a map's colour scale to its right, so no legend can
// hide a data mark and no text leaves the chart.
//
// Every layer is its own SVG group, marked for readers and checks:
// `g.frame` (grid, axes, tick labels), `g.axis-title` (one per axis),
// `g.marks` (the data), `g.legend` (one per legend box, the colour scale
// too).
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>

#include <memory>
#include <string>
#include <vector>

namespace tralvik::charts {

// An axis: what it shows and in which unit, e.g. {"tid", "s"}.
struct Axis {
    std::string quantity, unit;
    std::string Title() const;
};

// The colour of series i in the page's palette.
QColor SeriesColour(std::size_t i);

// Round tick steps: 1, 2 or 5 times a power of ten, about six over `span`.
double TickStep(double span);
// Fixed decimals, "." as the separator.
std::string Num(double v, int decimals);

struct LegendItem {
    enum class Mark { Line, Box, Dot };
    std::string label;
    QColor colour;
    Mark mark = Mark::Line;
};

class Chart {
  public:
    // `title` names the chart in the SVG's metadata and file name; it is not
    // drawn (the heading above the chart says it). A colour scale needs room
    // to the right of the plot.
    explicit Chart(std::string title, bool colourScale = false);
    ~Chart();
    Chart(const Chart&) = delete;
    Chart& operator=(const Chart&) = delete;

    // The data range; y (and x when `roundX`) widened to round ticks.
    void SetRange(double x0, double x1, double y0, double y1, bool roundX = false);
    // Grid, tick labels and both axis titles. Without `xTicks` the x axis
    // gets no numbers (a bar chart's groups are labelled with CategoryLabels).
    void Frame(const Axis& x, const Axis& y, bool xTicks = true);
    // Labels under the x axis at data x positions, wrapped to `width` px.
    void CategoryLabels(const std::vector<std::pair<double, std::string>>& labels, double width);

    QPointF Map(double x, double y) const;
    double X0() const { return x0_; }
    double X1() const { return x1_; }
    double Y0() const { return y0_; }
    double Y1() const { return y1_; }

    // Data marks, in data coordinates.
    void Line(const std::vector<QPointF>& pts, const QColor& c, double width = 1.5);
    void Dot(const QPointF& at, double radiusPx, const QColor& c);
    // A dot with a short label (a place in a ranking) written in white on it,
    // so that many points in few colours still tell apart.
    void NumberedDot(const QPointF& at, double radiusPx, const QColor& c, const std::string& number);
    void Bar(double x0, double x1, double y, const QColor& c);
    // A shape already in pixels (e.g. a map tile cut to the full-load curve).
    void Shape(const QPainterPath& pixels, const QColor& fill);

    // The legend below the plot: items side by side, wrapped onto more rows
    // when they do not fit, long labels wrapped onto more lines.
    void Legend(const std::vector<LegendItem>& items);
    // A vertical colour scale right of the plot: `colour(v)` for v from lo
    // to hi, with ticks and the quantity and unit over it.
    void ColourScale(double lo, double hi, const Axis& quantity, QColor (*colour)(double, double));
    // A line of explanation below the plot (and below the legend), wrapped.
    void Note(const std::string& text);

    // The pixel rectangle of the plot area.
    QRectF PlotRect() const;

    // The finished chart: `<svg class="chart" data-title="...">...</svg>`.
    std::string Svg();

  private:
    struct Layer;
    Layer& Open(const std::string& cls);
    // Text wrapped to `width` px at the current font, as lines.
    std::vector<std::string> Wrap(const std::string& text, double width) const;

    std::string title_;
    double width_, plotRight_;
    double x0_ = 0, x1_ = 1, y0_ = 0, y1_ = 1;
    double below_; // the next free y below the plot (legend, notes)
    std::vector<std::unique_ptr<Layer>> layers_;
};

} // namespace tralvik::charts
