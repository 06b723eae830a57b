#include "tools/testcar/testrun.h"

#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "carmodel/carconstants.h"
#include "run/summary.h"
#include "carmodel/fleet.h"
#include "formats/cycfile.h"
#include "formats/textout.h"

namespace tralvik::tools {

namespace fs = std::filesystem;
using namespace carmodel;
using formats::Num;
using formats::ReadBytes;
using formats::WriteBytes;

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

CycleRun RunCarOnCycle(const std::string& batchExe, const std::string& dataDir, const CarDescription& car,
                       const std::string& cycle, bool traceDriver,
                       const std::map<std::string, std::string>& extra, const std::string& cycleText) {
    if (cycleText.empty() && !fs::exists(fs::path(dataDir) / "cykler" / cycle))
        throw std::runtime_error(dataDir + "/cykler/" + cycle + " does not exist");
    std::string tmpl = (fs::temp_directory_path() / "tralvik-testcar-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
    const fs::path dir = tmpl;
    struct Cleanup {
        fs::path p;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(p, ec);
        }
    } cleanup{dir};
    // The run needs the constants file, the cycles and whatever top-level file
    // the constants name; the cars, sounds and pictures are left behind.
    for (const auto& e : fs::directory_iterator(dataDir))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir / e.path().filename());
    fs::copy(fs::path(dataDir) / "cykler", dir / "cykler", fs::copy_options::recursive);
    if (!cycleText.empty()) WriteBytes((dir / "cykler" / cycle).string(), cycleText);
    WriteCarTables(car, BuildTables(car), (dir / CarFolderName(car.name)).string());
    carmodel::Constants v = ReadConstants((fs::path(dataDir) / "CONS.VAL").string());
    SetCarConstants(v, car);
    v["Ttidd"] = "cykler\\" + cycle;
    v["Cykeltyp"] = "T";
    v["v"] = "0";
    v["Vaxelmod"] = "A";
    if (traceDriver) v["Sparfoljning"] = "1";
    for (const auto& [name, value] : extra) v[name] = value;
    WriteConstants(v, (dir / "CONS.VAL").string());
    const std::string cmd =
        Quote(batchExe) + " --no-draw --quiet --json " + Quote(dir.string()) + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) throw std::runtime_error("cannot start " + batchExe);
    std::string out;
    std::array<char, 4096> buf;
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        out.append(buf.data(), n);
    const int rc = ::pclose(p);
    if (rc != 0)
        throw std::runtime_error(batchExe + " failed on " + cycle + " (status " +
                                 std::to_string(WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc)) + ")" +
                                 (out.empty() ? std::string() : ": " + out));
    // The summary is the output's last line; warnings may come before it.
    const std::size_t last = out.find_last_of('\n', out.size() >= 2 ? out.size() - 2 : 0);
    const auto sum = run::SummaryFromJson(last == std::string::npos ? out : out.substr(last + 1));
    if (!sum || !sum->fuel_l_per_100km) throw std::runtime_error(batchExe + " gave no summary: " + out);
    if (sum->end != "mode 100")
        throw std::runtime_error("the run of " + cycle + " did not reach the cycle's end: " + out);
    CycleRun r{sum->ltot_m / 1000, *sum->fuel_l_per_100km, sum->co_g, sum->nox_g, sum->hc_g, sum->phases, sum->trace};
    if (sum->electric) {
        r.batteryKwhPer100 = sum->electric->battery_kwh_per_100km;
        r.gridKwhPer100 = sum->electric->grid_kwh_per_100km;
    }
    return r;
}

std::string HotStartCycle(const std::string& ftp75Text) {
    std::istringstream in(ftp75Text);
    std::string line, out, firstTail;
    constexpr double kBag3 = 1369;
    bool first = true, started = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream ls(line);
        double t = 0;
        std::string v, grade, mode, dt, curve;
        if (!(ls >> t >> v >> grade >> mode >> dt >> curve)) continue;
        if (first) {
            firstTail = " " + mode + " " + dt + " " + curve; // the cycle's start mode
            first = false;
        }
        if (t < kBag3) continue;
        out += Num(t - kBag3, 3) + " " + v + " " + grade +
               (started ? " " + mode + " " + dt + " " + curve : firstTail) + "\r\n";
        started = true;
    }
    if (!started) throw std::runtime_error("the FTP-75 cycle has no row from 1369 s");
    return out;
}

double Ftp75Weighted(double g1, double g2, double g3, double m1, double m2, double m3) {
    constexpr double kMile = 1609.344;
    return 0.43 * (g1 + g2) / ((m1 + m2) / kMile) + 0.57 * (g3 + g2) / ((m3 + m2) / kMile);
}

namespace {

std::string DisplacementBand(double l) {
    if (l <= 1.6) return "up to 1.6 l";
    if (l <= 2.5) return "1.6-2.5 l";
    if (l <= 4.0) return "2.5-4.0 l";
    return "over 4.0 l";
}

} // namespace

TestCarResult CompareElectricVehicle(const std::string& batchExe, const std::string& dataDir, const TestVehicle& v) {
    const TestCarRow& base = v.Base();
    const std::string where = base.make + " " + base.model + " (line " + std::to_string(base.line) + ")";
    const CarDescription car = ParseCarDescription(DescribeElectricTestCar(base), where);
    TestCarResult res;
    res.make = base.make;
    res.model = base.model;
    res.tech = "electric";
    res.line = base.line;
    res.klass[0] = "single reduction";
    res.klass[1] = "electric";
    res.klass[2] = base.horsepower * kKwPerHp < 150 ? "motor up to 150 kW" : "motor over 150 kW";
    res.klass[3] = "electricity";
    // The charge-depleting tests: the UDDS (the FTP-75 without its third
    // phase) and the highway cycle, driven within the test's tolerance; the
    // energy from the grid that charges the battery again.
    auto one = [&](const TestCarRow* row, const char* test, const char* cycle) {
        const std::string rw = "line " + std::to_string(row ? row->line : base.line);
        if (!row) {
            res.problems.push_back(std::string("no ") + test + " row for " + where);
            return;
        }
        if (!(row->mpg > 0)) {
            res.problems.push_back(rw + ": the measured figure of the " + test + " is 0 mpge; no ratio");
            return;
        }
        try {
            const CycleRun r = RunCarOnCycle(batchExe, dataDir, car, cycle, true);
            if (!r.gridKwhPer100) throw std::runtime_error("the run gave no electric figures");
            TestCarResult::Line l{test, *r.batteryKwhPer100, *r.gridKwhPer100, GridKwhPer100FromMpge(row->mpg),
                                  {}, {}, r.trace};
            res.lines.push_back(l);
        } catch (const std::exception& e) {
            res.problems.push_back(rw + ": " + e.what());
        }
    };
    one(v.city, "UDDS", "UDDS.CYK");
    one(v.highway, "HWFE", "HWFET.CYK");
    return res;
}

TestCarResult CompareTestVehicle(const std::string& batchExe, const std::string& dataDir,
                                 const TestVehicle& v, std::optional<Tech> tech,
                                 const carmodel::FleetConstants* constants, bool bags, bool us06,
                                 const GuideFinding* guide, bool traceDriver, bool emissions) {
    const TestCarRow& base = v.Base();
    const std::string where = base.make + " " + base.model + " (line " + std::to_string(base.line) + ")";
    if (base.electricity) return CompareElectricVehicle(batchExe, dataDir, v);
    std::string description = DescribeTestCar(base, tech, constants, guide ? &guide->tech : nullptr);
    if (emissions) description += CatalystLines(IsDiesel(base));
    const CarDescription car = ParseCarDescription(description, where);
    TestCarResult res;
    res.make = base.make;
    res.model = base.model;
    res.tech = TechName(car.tech);
    res.line = base.line;
    const Gearbox box = GearboxFromList(base.transmission, base.transmissionCode);
    res.klass[0] = GearboxName(box) + (box == Gearbox::Cvt ? "" : " " + std::to_string(base.gears));
    res.klass[1] = car.tech == Tech::TurboDi ? "turbo petrol"
                   : car.tech == Tech::TurboDiesel ? "turbo diesel"
                                                   : "naturally aspirated";
    res.klass[2] = DisplacementBand(base.displacement);
    res.klass[3] = IsDiesel(base) ? "diesel" : "petrol";
    if (guide) {
        const TechnologyLabels t = LabelTechnology(guide->tech, IsDiesel(base));
        res.klass[4] = t.stopStart;
        res.klass[5] = t.injection;
        res.klass[6] = t.aspiration;
        res.klass[7] = t.deactivation;
        res.match = GuideMatchName(guide->match);
    }
    auto one = [&](const TestCarRow* row, const char* test, const char* cycle, double top,
                   double cold) {
        const std::string rw = "line " + std::to_string(row ? row->line : base.line);
        if (!row) {
            res.problems.push_back(std::string("no ") + test + " row for " + where);
            return;
        }
        if (!(row->mpg > 0)) {
            res.problems.push_back(rw + ": the measured fuel economy of the " + test +
                                   " is 0 mpg; no ratio");
            return;
        }
        if (!(LeastRoadLoad(*row, top) > 0)) {
            res.problems.push_back(rw + ": the road load A + B v + C v^2 is not positive up to " +
                                   "the " + test + " cycle's top speed");
            return;
        }
        try {
            const bool city = row == v.city;
            // With emissions the city test starts cold (the step's own cold
            // start), the others warm, as they are driven.
            std::map<std::string, std::string> extra;
            if (emissions) extra["Uppehall"] = city ? "0" : "1";
            const CycleRun r = RunCarOnCycle(batchExe, dataDir, car, cycle, traceDriver, extra);
            TestCarResult::Line l{test, r.lPer100, r.lPer100 * cold, LitresPer100FromMpg(row->mpg), {}, {}, r.trace};
            if (emissions) {
                l.measuredGrams = {row->thcGPerMi, row->coGPerMi, row->noxGPerMi};
                const double miles = r.km / 1.609344;
                l.simulatedGrams = {r.hc_g / miles, r.co_g / miles, r.nox_g / miles};
                if (city) {
                    if (r.phases.size() != 3) throw std::runtime_error("the FTP-75 run has no three bags");
                    // The third bag again, after the test's ten minutes' stop.
                    const std::string text = ReadBytes((fs::path(dataDir) / "cykler" / cycle).string());
                    std::map<std::string, std::string> soak{{"Uppehall", "600"}};
                    const CycleRun hot =
                        RunCarOnCycle(batchExe, dataDir, car, "FTP75B3.CYK", traceDriver, soak, HotStartCycle(text));
                    const auto& p = r.phases;
                    const double m3 = hot.km * 1000;
                    l.simulatedGrams = {
                        Ftp75Weighted(p[0].hc_g, p[1].hc_g, hot.hc_g, p[0].distance_m, p[1].distance_m, m3),
                        Ftp75Weighted(p[0].co_g, p[1].co_g, hot.co_g, p[0].distance_m, p[1].distance_m, m3),
                        Ftp75Weighted(p[0].nox_g, p[1].nox_g, hot.nox_g, p[0].distance_m, p[1].distance_m, m3)};
                    // Fuel as the test weighs it, the cold start the step's own.
                    const double fuel =
                        Ftp75Weighted(p[0].fuel_l, p[1].fuel_l, hot.lPer100 * hot.km / 100, p[0].distance_m,
                                      p[1].distance_m, m3);
                    l.simulated = fuel / 1.609344 * 100; // l/mi to l/100 km
                    l.bag1HcShare = p[0].hc_g / (p[0].hc_g + p[1].hc_g + hot.hc_g);
                    l.bag1CoShare = p[0].co_g / (p[0].co_g + p[1].co_g + hot.co_g);
                }
            }
            if (bags && row == v.city && r.phases.size() == 3)
                for (std::size_t b = 0; b < 3; ++b) {
                    const auto& ph = r.phases[b];
                    if (ph.distance_m > 0) l.simulatedBags[b] = 1e5 * ph.fuel_l / ph.distance_m;
                    if (row->bags[b] > 0) l.measuredBags[b] = LitresPer100FromMpg(row->bags[b]);
                }
            res.lines.push_back(l);
        } catch (const std::exception& e) {
            res.problems.push_back(rw + ": " + e.what());
        }
    };
    one(v.city, "FTP", "FTP75.CYK", kFtpTopMs, FtpColdFactor(IsDiesel(base)));
    one(v.highway, "HWFE", "HWFET.CYK", kHwfetTopMs, 1.0);
    // Driven warm in the test: no cold-start factor.
    if (us06 && v.us06) one(v.us06, "US06", "US06.CYK", kUs06TopMs, 1.0);
    return res;
}

bool BagsMakeCityFigure(const std::array<double, 3>& bags, double city) {
    if (!(bags[0] > 0 && bags[1] > 0 && bags[2] > 0 && city > 0)) return false;
    const double d1 = 3.59, d2 = 3.91;
    const double weighted = 0.43 * (bags[0] * d1 + bags[1] * d2) / (d1 + d2) +
                            0.57 * (bags[2] * d1 + bags[1] * d2) / (d1 + d2);
    return std::fabs(weighted / city - 1) <= 0.02;
}

const char* const kSubstances[3] = {"THC", "CO", "NOx"};

std::vector<EmissionStats> SummariseEmissions(const std::vector<TestCarResult>& results,
                                              const std::string& klass, int kind) {
    std::vector<EmissionStats> out;
    for (const char* test : {"FTP", "HWFE", "US06"})
        for (int k = 0; k < 3; ++k) {
            std::vector<double> r;
            for (const auto& res : results) {
                if (kind >= 0 && res.klass[kind] != klass) continue;
                for (const auto& l : res.lines)
                    if (l.test == test && l.measuredGrams[k] > 0 && std::isfinite(l.simulatedGrams[k]))
                        r.push_back(l.simulatedGrams[k] / l.measuredGrams[k]);
            }
            if (r.empty()) continue;
            std::sort(r.begin(), r.end());
            EmissionStats st;
            st.test = test;
            st.substance = kSubstances[k];
            st.count = static_cast<int>(r.size());
            st.median = r.size() % 2 ? r[r.size() / 2] : (r[r.size() / 2 - 1] + r[r.size() / 2]) / 2;
            for (double x : r) st.withinTwo += x >= 0.5 && x <= 2;
            st.withinTwo /= r.size();
            out.push_back(st);
        }
    return out;
}

const char* const kClassKinds[8] = {"gearbox",   "engine",    "displacement", "fuel",
                                   "stop-start", "injection", "aspiration",   "deactivation"};

std::vector<std::string> ClassNames(const std::vector<TestCarResult>& results, int k) {
    std::vector<std::string> names;
    for (const auto& res : results)
        if (!res.klass[k].empty() && std::find(names.begin(), names.end(), res.klass[k]) == names.end())
            names.push_back(res.klass[k]);
    std::sort(names.begin(), names.end());
    return names;
}

RatioStats SummariseRatioList(const std::string& name, const std::vector<double>& r) {
    RatioStats st;
    st.name = name;
    st.count = static_cast<int>(r.size());
    if (r.empty()) return st;
    double sum = 0, sq = 0;
    for (double x : r) {
        sum += x;
        if (std::fabs(x - 1) <= 0.05) st.within5 += 1;
        if (std::fabs(x - 1) <= 0.10) st.within10 += 1;
    }
    st.mean = sum / r.size();
    for (double x : r) sq += (x - st.mean) * (x - st.mean);
    st.spread = std::sqrt(sq / r.size());
    st.within5 /= r.size();
    st.within10 /= r.size();
    return st;
}

std::vector<RatioStats> SummariseRatios(const std::vector<TestCarResult>& results) {
    std::vector<RatioStats> out;
    auto add = [&](const std::string& name, auto&& wanted) {
        std::vector<double> r;
        for (const auto& res : results)
            for (const auto& l : res.lines)
                if (wanted(res, l)) r.push_back(l.Ratio());
        if (!r.empty()) out.push_back(SummariseRatioList(name, r));
    };
    using L = TestCarResult::Line;
    // "all" and the classes are the city and highway tests, as always; the
    // aggressive test is summed on its own.
    auto conventional = [](const L& l) { return l.test != "US06"; };
    add("all", [&](const TestCarResult&, const L& l) { return conventional(l); });
    add("FTP-75", [](const TestCarResult&, const L& l) { return l.test == "FTP"; });
    add("UDDS", [](const TestCarResult&, const L& l) { return l.test == "UDDS"; });
    add("HWFET", [](const TestCarResult&, const L& l) { return l.test == "HWFE"; });
    add("US06", [](const TestCarResult&, const L& l) { return l.test == "US06"; });
    for (const char* engine : {"naturally aspirated", "turbo petrol", "turbo diesel"})
        add(std::string("US06 engine: ") + engine,
            [&](const TestCarResult& res, const L& l) { return l.test == "US06" && res.klass[1] == engine; });
    for (int k = 0; k < 8; ++k) {
        for (const auto& n : ClassNames(results, k))
            add(std::string(kClassKinds[k]) + ": " + n,
                [&](const TestCarResult& res, const L& l) { return res.klass[k] == n && conventional(l); });
    }
    return out;
}

} // namespace tralvik::tools
