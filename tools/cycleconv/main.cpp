// cycleconv: turns a CSV speed trace into a time-cycle file of the simulator.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/csv.h"
#include "formats/cycfile.h"

using namespace tralvik::formats;

namespace {

const char* kHelp = R"(cycleconv - CSV speed trace to a time-cycle file

Usage: cycleconv TRACE.csv CYCLE.CYK [options]

TRACE.csv: rows of time (s), speed and an optional gradient (%), separated by
commas; a header line and lines beginning with '#' are skipped.

Options:
  --speed kmh|ms    unit of the speed column (default kmh)
  --dt SECONDS      time increment column: the step length the simulator takes
                    when its time mode follows the cycle; -1 means real time
                    (default 0.04, one 40 ms tick per step)
  --target mean|start|end
                    speed requested over each interval: the mean of its two end
                    points (default; the distance driven then equals the
                    trace's trapezoidal distance), its start or its end
  --auto            the first row selects the automatic gearbox (mode 120)
  --note TEXT       comment written after the first row

Each row of the output holds time, requested speed (m/s), gradient (%), mode,
time increment and curve code 0. A row is in force from its time up to the
next row's, so every interval of the trace gets one row. The last point of the
trace becomes a row with mode 100, which ends the run when it comes into
force, followed by a closing row 10 s later that lets it come into force.
)";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc), pos;
    bool kmh = true, autoBox = false;
    double dt = 0.04;
    std::string target = "mean", note;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&]() {
                if (i + 1 >= args.size()) throw std::runtime_error(a + " needs a value");
                return args[++i];
            };
            if (a == "--help" || a == "-h") {
                std::fputs(kHelp, stdout);
                return 0;
            } else if (a == "--speed") {
                const std::string v = value();
                if (v != "kmh" && v != "ms") throw std::runtime_error("--speed is kmh or ms");
                kmh = v == "kmh";
            } else if (a == "--dt") {
                dt = std::stod(value());
            } else if (a == "--target") {
                target = value();
                if (target != "mean" && target != "start" && target != "end")
                    throw std::runtime_error("--target is mean, start or end");
            } else if (a == "--auto") {
                autoBox = true;
            } else if (a == "--note") {
                note = value();
            } else if (!a.empty() && a[0] == '-') {
                throw std::runtime_error("unknown option " + a + " (see --help)");
            } else {
                pos.push_back(a);
            }
        }
        if (pos.size() != 2)
            throw std::runtime_error("usage: cycleconv TRACE.csv CYCLE.CYK [options]");
        const std::vector<TracePoint> tr = ReadTrace(pos[0], kmh);
        std::vector<CycleRow> rows;
        for (std::size_t i = 0; i + 1 < tr.size(); ++i) {
            double v = (tr[i].v + tr[i + 1].v) / 2;
            if (target == "start") v = tr[i].v;
            if (target == "end") v = tr[i + 1].v;
            rows.push_back({tr[i].t, v, tr[i].grade, 0, dt, 0, {}});
        }
        if (autoBox) rows.front().mode = 120;
        rows.front().comment = note;
        const TracePoint& last = tr.back();
        rows.push_back({last.t, last.v, last.grade, 100, dt, 0, "slut"});
        rows.push_back({last.t + 10, last.v, last.grade, 100, dt, 0, "avslutar raden ovan"});
        WriteCycle(pos[1], rows);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cycleconv: %s\n", e.what());
        return 1;
    }
    return 0;
}
