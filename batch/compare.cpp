#include "batch/compare.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QImage>

namespace tralvik::batch {

namespace fs = std::filesystem;

namespace {

struct Row {
    const char* label;
    std::optional<double> drive, builtIn;
    int decimals;
};

std::optional<double> Co2PerKm(const DriveResult& r) {
    if (!r.summary.fuel_l_per_100km) return std::nullopt;
    return *r.summary.fuel_l_per_100km / 100 * r.tathet * kCo2PerKgFuel * 1000;
}

std::string Cell(const std::optional<double>& v, int decimals, bool sign = false) {
    if (!v) return "-";
    double scale = std::pow(10.0, decimals);
    if (sign && std::round(*v * scale) == 0) return "0"; // no "-0.000"
    char buf[64];
    std::snprintf(buf, sizeof buf, sign ? "%+.*f" : "%.*f", decimals, *v);
    return buf;
}

std::vector<Row> Rows(const DriveResult& d, const DriveResult& b) {
    const Summary& x = d.summary;
    const Summary& y = b.summary;
    return {
        {"time (s)", x.ttot_s, y.ttot_s, 1},
        {"distance (km)", x.ltot_m / 1000, y.ltot_m / 1000, 3},
        {"fuel (l/100 km)", x.fuel_l_per_100km, y.fuel_l_per_100km, 2},
        {"CO2 (g/km)", Co2PerKm(d), Co2PerKm(b), 1},
        {"CO (g/km)", x.co_g_per_km, y.co_g_per_km, 3},
        {"NOx (g/km)", x.nox_g_per_km, y.nox_g_per_km, 3},
        {"HC (g/km)", x.hc_g_per_km, y.hc_g_per_km, 3},
        {"top speed (km/h)", x.v_max_kmh, y.v_max_kmh, 1},
        {"hard brakings", double(d.hardBrakings), double(b.hardBrakings), 0},
    };
}

fs::path TempCopy(const fs::path& dir) {
    std::string pattern = (fs::temp_directory_path() / "tralvik-compare-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw RecordingError("cannot make a temporary folder");
    fs::path copy = fs::path(pattern) / "run";
    std::error_code ec;
    fs::copy(dir, copy, fs::copy_options::recursive, ec);
    if (ec) throw RecordingError("cannot copy '" + dir.string() + "': " + ec.message());
    return copy;
}

void Print(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
}

} // namespace

std::string CompareText(const DriveResult& drive, const DriveResult& builtIn) {
    std::string t;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%-18s %12s %12s %12s\n", "", "your drive", "built-in", "difference");
    t += buf;
    for (const Row& r : Rows(drive, builtIn)) {
        std::optional<double> diff;
        if (r.drive && r.builtIn) diff = *r.drive - *r.builtIn;
        std::snprintf(buf, sizeof buf, "%-18s %12s %12s %12s\n", r.label,
                      Cell(r.drive, r.decimals).c_str(), Cell(r.builtIn, r.decimals).c_str(),
                      Cell(diff, r.decimals, true).c_str());
        t += buf;
    }
    t += "end: your drive " + drive.end + ", built-in driver " + builtIn.end + "\n";
    std::snprintf(buf, sizeof buf,
                  "hard braking: a deceleration of %.0f m/s2 (0.3 g) or more; consecutive steps "
                  "count once\n",
                  kHardBraking);
    t += buf;
    t += "CO2: fuel mass (litres x density) x 3.16\n";
    return t;
}

std::string ComparePage(const DriveResult& drive, const DriveResult& builtIn) {
    const double W = 900, H = 360, L = 60, R = 20, T = 40, B = 40;
    double xMax = 0.001, vMax = 10, nMax = 1000, mMax = 10;
    for (const DriveResult* r : {&drive, &builtIn})
        for (const TracePoint& p : r->trace) {
            xMax = std::max(xMax, p.x / 1000);
            vMax = std::max(vMax, p.v * 3.6);
            nMax = std::max(nMax, p.nic);
            mMax = std::max(mMax, p.mic);
        }
    auto nice = [](double v) { // the next 1, 2 or 5 times a power of ten
        double p = std::pow(10, std::floor(std::log10(v)));
        for (double f : {1.0, 2.0, 5.0, 10.0})
            if (f * p >= v) return f * p;
        return 10 * p;
    };
    xMax = nice(xMax);
    vMax = nice(vMax);
    nMax = nice(nMax);
    mMax = nice(mMax);
    // The operating points go on the engine map picture when there is one.
    QImage map;
    if (!drive.mapPng.empty())
        map.loadFromData(reinterpret_cast<const uchar*>(drive.mapPng.data()),
                         static_cast<int>(drive.mapPng.size()), "PNG");
    const bool onMap = !map.isNull();
    const double mapW = map.width(), mapH = map.height();
    const double pageH = onMap ? H + 70 + mapH * (W - L - R) / mapW + 10 : 2 * H + 40;
    std::string svg;
    char buf[256];
    auto add = [&](const char* fmt, auto... a) {
        std::snprintf(buf, sizeof buf, fmt, a...);
        svg += buf;
    };
    add("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"%.0f\" height=\"%.0f\" "
        "font-family=\"sans-serif\" font-size=\"12\">\n",
        W, pageH);
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    const char* colour[2] = {"#d62728", "#1f77b4"};
    const char* name[2] = {"your drive", "built-in driver"};
    for (int k = 0; k < 2; ++k) {
        add("<rect x=\"%.0f\" y=\"8\" width=\"14\" height=\"10\" fill=\"%s\"/>", L + k * 180, colour[k]);
        add("<text x=\"%.0f\" y=\"18\">%s</text>\n", L + 20 + k * 180, name[k]);
    }
    // The two plots: speed over distance, and the engine's operating points.
    for (int plot = 0; plot < (onMap ? 1 : 2); ++plot) {
        double y0 = 30 + plot * (H + 10);
        double pw = W - L - R, ph = H - T - B;
        double ax = plot ? nMax : xMax, ay = plot ? mMax : vMax;
        add("<g transform=\"translate(%.0f,%.0f)\">\n", L, y0 + T);
        add("<rect width=\"%.0f\" height=\"%.0f\" fill=\"none\" stroke=\"#888\"/>\n", pw, ph);
        for (int i = 0; i <= 5; ++i) {
            add("<text x=\"%.1f\" y=\"%.0f\" text-anchor=\"middle\">%g</text>\n", pw * i / 5, ph + 16,
                ax * i / 5);
            add("<text x=\"-6\" y=\"%.1f\" text-anchor=\"end\">%g</text>\n", ph - ph * i / 5 + 4,
                ay * i / 5);
        }
        add("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">%s</text>\n", pw / 2, ph + 34,
            plot ? "engine speed (rpm)" : "distance (km)");
        add("<text x=\"0\" y=\"-8\">%s</text>\n",
            plot ? "engine operating points: torque (Nm)" : "speed (km/h)");
        for (int k = 0; k < 2; ++k) {
            const DriveResult& r = k ? builtIn : drive;
            if (plot == 0) {
                add("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.2\" points=\"", colour[k]);
                for (const TracePoint& p : r.trace)
                    add("%.1f,%.1f ", pw * p.x / 1000 / ax, ph - ph * p.v * 3.6 / ay);
                svg += "\"/>\n";
            } else if (!onMap) {
                add("<g fill=\"%s\" fill-opacity=\"0.35\">", colour[k]);
                for (std::size_t i = 0; i < r.trace.size(); i += 2) {
                    const TracePoint& p = r.trace[i];
                    if (p.mic <= 0) continue;
                    add("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"1.6\"/>", pw * p.nic / ax,
                        ph - ph * p.mic / ay);
                }
                svg += "</g>\n";
            }
        }
        svg += "</g>\n";
    }
    if (onMap) {
        // The efficiency map as the panel shows it, enlarged to the page's
        // width; a point sits where the panel's marker would.
        const double z = (W - L - R) / mapW, x0 = L, y0 = 30 + H + 10 + 10;
        add("<text x=\"%.0f\" y=\"%.0f\">engine operating points on the efficiency map</text>\n", x0,
            y0 + 8);
        add("<image x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\" "
            "style=\"image-rendering:pixelated\" xlink:href=\"data:image/png;base64,",
            x0, y0 + 16, mapW * z, mapH * z);
        svg += Base64(drive.mapPng) + "\"/>\n";
        for (int k = 0; k < 2; ++k) {
            const DriveResult& r = k ? builtIn : drive;
            if (!(r.momskala > 0)) continue;
            add("<g fill=\"%s\" stroke=\"white\" stroke-width=\"0.5\">", colour[k]);
            for (std::size_t i = 0; i < r.trace.size(); i += 2) {
                const TracePoint& p = r.trace[i];
                double mx = 38 + p.nic / 20, my = 184 - p.mic / r.momskala;
                if (mx < 0 || my < 0 || mx > mapW || my > mapH) continue;
                add("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\"/>", x0 + mx * z, y0 + 16 + my * z);
            }
            svg += "</g>\n";
        }
    }
    svg += "</svg>\n";
    return svg;
}

int ReplayCommand(const std::string& file, const std::string& dir, bool json) {
    try {
        std::vector<RecordedEvent> events = ReadRecording(file);
        DriveResult r = Replay(events, file, dir);
        Print(json ? SummaryJson(r.summary) : SummaryText(r.summary));
        bool recordedEnd = !events.empty() && events.back().kind == RecKind::End;
        std::fprintf(stderr, "tralvik-batch: replayed %s: %s\n", file.c_str(),
                     recordedEnd ? "same end state as the drive" : "the recording has no end state to check");
        return 0;
    } catch (const RecordingError& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 2;
    }
}

int CompareCommand(const std::string& file, const std::string& dir, const std::string& page) {
    try {
        fs::path src = fs::absolute(dir);
        std::string rec = fs::absolute(file).string();
        std::string pagePath = page.empty() ? page : fs::absolute(page).string();
        std::vector<RecordedEvent> events = ReadRecording(rec);
        fs::path a = TempCopy(src), b = TempCopy(src);
        DriveResult drive = Replay(events, file, a.string());
        DriveResult builtIn = RunBuiltIn(b.string(), drive.summary.ltot_m);
        std::error_code ec;
        fs::remove_all(a.parent_path(), ec);
        fs::remove_all(b.parent_path(), ec);
        Print(CompareText(drive, builtIn));
        if (!pagePath.empty()) {
            std::ofstream out(pagePath, std::ios::binary);
            out << ComparePage(drive, builtIn);
            if (!out.flush()) throw RecordingError("cannot write the page " + pagePath);
        }
        return 0;
    } catch (const RecordingError& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 2;
    }
}

} // namespace tralvik::batch
