// The Python module: a run or a study of runs in this process, from a
// simulation folder, with constants and car keys given as dicts. It runs
// exactly what tralvik-batch --no-draw runs (the same start-up, step and
// summary code), so the files it is asked to write are the same bytes.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "carmodel/car.h"
#include "formats/textout.h"
#include "run/single.h"
#include "run/stop.h"
#include "run/summary.h"
#include "studies/cars.h"
#include "studies/study.h"

namespace py = pybind11;
namespace fs = std::filesystem;
using namespace tralvik;

namespace {

// A dict's value as the text a constants line or a description key takes.
std::string ValueText(const py::handle& v) {
    if (py::isinstance<py::bool_>(v)) return v.cast<bool>() ? "1" : "0";
    if (py::isinstance<py::float_>(v)) {
        // The shortest text that reads back as the same double.
        return py::str(py::repr(v)).cast<std::string>();
    }
    if (py::isinstance<py::list>(v) || py::isinstance<py::tuple>(v)) {
        std::string t;
        for (const auto& x : v) t += (t.empty() ? "" : " ") + ValueText(x);
        return t;
    }
    return py::str(v).cast<std::string>();
}

std::vector<studies::Assignment> Assignments(const py::dict& d, const std::string& option) {
    std::vector<studies::Assignment> out;
    for (const auto& [k, v] : d) {
        // A car's keys are checked as the car is made again.
        if (option == "car") {
            out.push_back({py::str(k).cast<std::string>(), ValueText(v)});
            continue;
        }
        const std::string text = py::str(k).cast<std::string>() + "=" + ValueText(v);
        std::string error;
        auto a = studies::ParseAssignment(text, option, error);
        if (!a) throw py::value_error(error);
        out.push_back(*a);
    }
    return out;
}

// A temporary copy of the folder, removed when the run is done.
struct Copy {
    fs::path path;
    explicit Copy(const std::string& folder) {
        if (!fs::is_directory(folder)) throw py::value_error("no simulation folder " + folder);
        std::string tmpl = (fs::temp_directory_path() / "tralvik-py-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
        path = fs::path(tmpl) / fs::path(fs::absolute(folder).lexically_normal()).filename();
        if (path.filename().empty()) path = fs::path(tmpl) / "run";
        fs::copy(folder, path, fs::copy_options::recursive);
    }
    ~Copy() {
        std::error_code ec;
        fs::remove_all(path.parent_path(), ec);
    }
};

// The signal handlers and working folder of the Python process, put back
// after a run.
struct ProcessState {
    struct sigaction old[3];
    fs::path cwd = fs::current_path();
    ProcessState() {
        int i = 0;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, nullptr, &old[i++]);
    }
    ~ProcessState() {
        int i = 0;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &old[i++], nullptr);
        std::error_code ec;
        fs::current_path(cwd, ec);
    }
};

py::array_t<double> Column(const std::vector<run::Sample>& s, double run::Sample::*field) {
    py::array_t<double> a(static_cast<py::ssize_t>(s.size()));
    auto m = a.mutable_unchecked<1>();
    for (std::size_t i = 0; i < s.size(); ++i) m(static_cast<py::ssize_t>(i)) = s[i].*field;
    return a;
}

py::dict RunOne(const std::string& folder, const py::dict& constants, const py::object& car,
                const py::dict& carKeys, bool series, const std::string& seriesFile,
                const std::string& csvFile, const std::string& name, bool us) {
    auto sets = Assignments(constants, "constants");
    Copy copy(folder);
    // A car: its folder and constants lines, then the caller's constants.
    if (!car.is_none() || py::len(carKeys) > 0) {
        if (car.is_none()) throw py::value_error("car keys need a car (a description file)");
        const std::string path = py::str(car).cast<std::string>();
        studies::StudyCar c;
        c.text = formats::ReadBytes(path);
        c.where = path;
        c.desc = carmodel::ParseCarDescription(c.text, path);
        if (py::len(carKeys) > 0) c = studies::WithCarSettings(c, Assignments(carKeys, "car"));
        auto carLines = studies::MakeStudyCar(c, copy.path.string());
        carLines.insert(carLines.end(), sets.begin(), sets.end());
        sets = carLines;
    }
    const std::string cons = (copy.path / "CONS.VAL").string();
    if (!sets.empty()) formats::WriteBytes(cons, studies::ApplyAssignments(formats::ReadBytes(cons), sets));

    run::RunSettings opt;
    opt.dir = copy.path.string();
    opt.noDraw = true;
    opt.quiet = true;
    opt.us = us;
    opt.name = name.empty() ? fs::path(fs::absolute(folder).lexically_normal()).filename().string() : name;
    if (opt.name.empty()) opt.name = "run";
    opt.series = seriesFile.empty() ? "" : fs::absolute(seriesFile).string();
    opt.csv = csvFile.empty() ? "" : fs::absolute(csvFile).string();
    run::RunOutput out;
    out.wantSamples = series;
    int status = 0;
    {
        ProcessState keep;
        py::gil_scoped_release free;
        status = run::RunSingle(opt, {}, nullptr, &out);
    }
    if (int sig = run::StopSignal()) {
        run::ResetStopSignal();
        if (sig == SIGINT) {
            PyErr_SetNone(PyExc_KeyboardInterrupt);
            throw py::error_already_set();
        }
    }
    if (status != 0)
        throw std::runtime_error("the run of " + folder + " failed (status " + std::to_string(status) +
                                 "; its messages are on stderr)");
    py::dict r;
    r["summary"] = py::module_::import("json").attr("loads")(run::SummaryJson(out.summary));
    if (series) {
        py::dict s;
        const auto& x = out.samples;
        using S = run::Sample;
        const std::vector<std::pair<const char*, double S::*>> fields = {
            {"t_s", &S::t_s},       {"v_kmh", &S::v_kmh},   {"requested_kmh", &S::requested_kmh},
            {"fuel_l", &S::fuel_l}, {"co2_g", &S::co2_g},   {"rpm", &S::rpm},
            {"torque_nm", &S::torque_nm}, {"distance_m", &S::distance_m}};
        for (const auto& [key, field] : fields) s[key] = Column(x, field);
        if (out.summary.catalyst) {
            const std::vector<std::pair<const char*, double S::*>> more = {
                {"co_g", &S::co_g},           {"nox_g", &S::nox_g},           {"hc_g", &S::hc_g},
                {"co_engine_g", &S::co_engine_g}, {"nox_engine_g", &S::nox_engine_g},
                {"hc_engine_g", &S::hc_engine_g}, {"engine_c", &S::engine_c}, {"catalyst_c", &S::catalyst_c}};
            for (const auto& [key, field] : more) s[key] = Column(x, field);
        }
        r["series"] = s;
    }
    return r;
}

} // namespace

PYBIND11_MODULE(tralvik, m) {
    m.doc() = "Tralvik, the driving simulator: runs and studies of a simulation folder in this process.";
    m.def(
        "run",
        [](const std::string& folder, py::dict constants, py::object car, py::dict car_keys, bool series,
           const std::string& series_file, const std::string& csv_file, const std::string& name, bool us) {
            return RunOne(folder, constants, car, car_keys, series, series_file, csv_file, name, us);
        },
        py::arg("folder"), py::arg("constants") = py::dict(), py::arg("car") = py::none(),
        py::arg("car_keys") = py::dict(), py::arg("series") = false, py::arg("series_file") = "",
        py::arg("csv_file") = "", py::arg("name") = "", py::arg("us") = false,
        R"(Runs the simulation folder as `tralvik-batch --no-draw` does, in a copy of it.

constants: {"Massa": 1300, "Cykeltyp": "T", "Ttidd": "cykler\\WLTC3B.CYK"}: lines of
    CONS.VAL by name, as --set (the folder itself is not changed).
car: a car description file (carmaker's keys); its folder is made in the copy.
car_keys: {"final_drive": 3.9, "gears": [3.5, 2, 1.3, 1]}: the description's keys, as --set-car.
series: also return every tick's figures as NumPy arrays ("series").
series_file, csv_file: write the per-tick CSV and the run's CSV row, the same
    bytes as tralvik-batch's --series and --csv.
Returns {"summary": the summary as --json gives it (with "phases"), "series": ...}.
Raises ValueError for a bad name or value, RuntimeError when the run fails.)");
    m.def(
        "study",
        [](const std::string& folder, py::dict sweep, py::dict constants, py::object car, py::dict car_keys,
           bool series) {
            // Every combination of the swept values, in the order given.
            std::vector<std::pair<std::string, std::vector<py::object>>> axes;
            for (const auto& [k, v] : sweep) {
                std::vector<py::object> values;
                for (const auto& x : v) values.push_back(py::reinterpret_borrow<py::object>(x));
                if (values.empty()) throw py::value_error("no values to sweep for " + py::str(k).cast<std::string>());
                axes.emplace_back(py::str(k).cast<std::string>(), values);
            }
            py::list results;
            std::vector<std::size_t> at(axes.size(), 0);
            for (;;) {
                py::dict c = constants.attr("copy")();
                py::dict swept;
                std::string name = fs::path(fs::absolute(folder).lexically_normal()).filename().string();
                for (std::size_t i = 0; i < axes.size(); ++i) {
                    c[py::str(axes[i].first)] = axes[i].second[at[i]];
                    swept[py::str(axes[i].first)] = axes[i].second[at[i]];
                    name += "_" + axes[i].first + "=" + ValueText(axes[i].second[at[i]]);
                }
                py::dict r = RunOne(folder, c, car, car_keys, series, "", "", name, false);
                r["set"] = swept;
                results.append(r);
                std::size_t i = axes.size();
                while (i > 0 && ++at[i - 1] == axes[i - 1].second.size()) at[--i] = 0;
                if (i == 0) break;
            }
            return results;
        },
        py::arg("folder"), py::arg("sweep"), py::arg("constants") = py::dict(), py::arg("car") = py::none(),
        py::arg("car_keys") = py::dict(), py::arg("series") = false,
        R"(Runs the folder once for every combination of the swept constants
(sweep={"Massa": [1100, 1300, 1500]}), each as run() does; returns the runs'
results in order, each with its swept values under "set".)");
}
