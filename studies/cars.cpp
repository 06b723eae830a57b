#include "studies/cars.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "carmodel/carconstants.h"
#include "carmodel/carmodel.h"
#include "carmodel/guide.h"
#include "config/Ffetch.h"
#include "formats/folder.h"
#include "studies/regulatory.h"
#include "studies/study.h"

namespace tralvik::studies {

namespace fs = std::filesystem;

namespace {

std::string FirstWord(const std::string& line) {
    auto b = line.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    auto e = line.find_first_of(" \t#", b);
    return line.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

double Number(const Assignment& a, const std::string& where) {
    double v;
    if (!ParseNumber(a.value, v))
        throw std::runtime_error(where + ": --set-car " + a.name + ": '" + a.value + "' is not a number");
    return v;
}

std::string Text(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

std::vector<StudyCar> ReadStudyCars(const std::string& source, std::vector<std::string>& problems,
                                    const std::string& guidePath) {
    std::vector<StudyCar> cars;
    std::error_code ec;
    if (fs::is_directory(source, ec)) {
        if (!guidePath.empty())
            throw std::runtime_error("--guide goes with a test-car list, not a folder of car descriptions");
        for (const formats::FolderEntry& e : formats::FolderEntries(source)) {
            if (!formats::HasExtension(e.name, ".txt")) continue;
            if (e.kind != formats::EntryKind::Regular) {
                problems.push_back(e.path + ": " + formats::KindText(e.kind) + ", not a car description");
                continue;
            }
            try {
                std::string text = carmodel::ReadBounded(e.path, 1 << 20);
                cars.push_back({carmodel::ParseCarDescription(text, e.path), text, e.path, {}});
            } catch (const std::exception& x) {
                problems.push_back(x.what());
                continue;
            }
            cars.back().id = {{"car", cars.back().desc.name}, {"car_file", e.name}};
        }
        if (cars.empty()) throw std::runtime_error(source + ": no car description (*.txt) makes a car");
        return cars;
    }
    // Electric cars' rows make electric cars; every other row a car with an engine.
    carmodel::TestCarList list = carmodel::ReadTestCars(source, carmodel::ListRows::Both);
    problems = list.problems;
    std::optional<carmodel::Guide> guide;
    if (!guidePath.empty()) {
        guide = carmodel::ReadGuide(guidePath);
        problems.insert(problems.end(), guide->problems.begin(), guide->problems.end());
    }
    for (const carmodel::TestVehicle& v : carmodel::GroupTestVehicles(list.rows)) {
        const carmodel::TestCarRow& row = v.Base();
        const std::string where = source + ":" + std::to_string(row.line);
        try {
            if (row.electricity) {
                std::string text = carmodel::DescribeElectricTestCar(row);
                StudyCar car{carmodel::ParseCarDescription(text, where), text, where, {}};
                car.id = {{"car", car.desc.name}, {"make", row.make}, {"model", row.model},
                          {"list_line", std::to_string(row.line)}};
                if (!row.vehicleType.empty()) car.id.push_back({"vehicle_type", row.vehicleType});
                car.id.push_back({"drive", "electric"});
                // What the list measured: energy from the grid on the
                // charge-depleting UDDS and highway tests.
                const std::pair<const char*, const carmodel::TestCarRow*> tests[] = {
                    {"measured_udds_grid_kwh_per_100km", v.city}, {"measured_hwfet_grid_kwh_per_100km", v.highway}};
                for (const auto& [name, test] : tests)
                    if (test && test->mpg > 0) car.id.push_back({name, Text(carmodel::GridKwhPer100FromMpge(test->mpg))});
                cars.push_back(std::move(car));
                continue;
            }
            std::optional<carmodel::GuideFinding> found;
            if (guide) {
                found = carmodel::FindInGuide(*guide, v);
                if (found->hybrid) {
                    problems.push_back(where + ": " + row.make + " " + row.model +
                                       " is a hybrid by the guide");
                    continue;
                }
            }
            std::string text =
                carmodel::DescribeTestCar(row, std::nullopt, nullptr, found ? &found->tech : nullptr);
            StudyCar car{carmodel::ParseCarDescription(text, where), text, where, {}};
            car.id = {{"car", car.desc.name},
                      {"make", row.make},
                      {"model", row.model},
                      {"list_line", std::to_string(row.line)}};
            if (found) {
                const carmodel::TechnologyLabels t = carmodel::LabelTechnology(found->tech, carmodel::IsDiesel(row));
                car.id.push_back({"guide_match", carmodel::GuideMatchName(found->match)});
                car.id.push_back({"stop_start", t.stopStart});
                car.id.push_back({"injection", t.injection});
                car.id.push_back({"aspiration", t.aspiration});
                car.id.push_back({"deactivation", t.deactivation});
            }
            if (!row.vehicleType.empty()) car.id.push_back({"vehicle_type", row.vehicleType});
            // What the list measured, for the page's and the reader's comparison.
            const std::pair<const char*, const carmodel::TestCarRow*> tests[] = {
                {"measured_ftp75_l_per_100km", v.city},
                {"measured_hwfet_l_per_100km", v.highway},
                {"measured_us06_l_per_100km", v.us06}};
            for (const auto& [name, test] : tests)
                if (test && test->mpg > 0) car.id.push_back({name, Text(carmodel::LitresPer100FromMpg(test->mpg))});
            cars.push_back(std::move(car));
        } catch (const std::exception& e) {
            problems.push_back(e.what());
        }
    }
    if (cars.empty()) throw std::runtime_error(source + ": no row makes a car");
    return cars;
}


std::optional<ListComparison> CompareWithList(const std::vector<std::pair<std::string, std::string>>& id,
                                              const std::string& cycle, double lPer100km, bool diesel,
                                              std::optional<double> ownStartFtp75,
                                              std::optional<double> gridKwhPer100km) {
    if (gridKwhPer100km) {
        // An electric car: the grid's energy on the UDDS and the highway cycle.
        const char* test = IsUdds(cycle) ? "UDDS el" : IsHwfet(cycle) ? "HWFET el" : nullptr;
        if (!test || !(*gridKwhPer100km > 0)) return std::nullopt;
        const std::string key = std::string("measured_") + (test[0] == 'U' ? "udds" : "hwfet") + "_grid_kwh_per_100km";
        for (const auto& [name, value] : id) {
            double measured;
            if (name == key && ParseNumber(value, measured) && measured > 0)
                return ListComparison{test, measured, *gridKwhPer100km, true};
        }
        return std::nullopt;
    }
    const char* test = IsFtp75(cycle) ? "FTP-75" : IsHwfet(cycle) ? "HWFET" : IsUs06(cycle) ? "US06" : nullptr;
    if (!test || !(lPer100km > 0)) return std::nullopt;
    const std::string key = std::string("measured_") + (test[0] == 'F' ? "ftp75" : test[0] == 'H' ? "hwfet" : "us06") +
                            "_l_per_100km";
    for (const auto& [name, value] : id) {
        double measured;
        if (name != key || !ParseNumber(value, measured) || !(measured > 0)) continue;
        double simulated = lPer100km;
        if (test[0] == 'F') simulated = ownStartFtp75 ? *ownStartFtp75 : lPer100km * carmodel::FtpColdFactor(diesel);
        return ListComparison{test, measured, simulated};
    }
    return std::nullopt;
}

StudyCar WithCarSettings(const StudyCar& car, const std::vector<Assignment>& settings) {
    if (settings.empty()) return car;
    constexpr double kN = 4.4482216152605, kMs = 0.44704; // N per lbf, m/s per mph
    std::vector<std::pair<std::string, std::string>> lines; // key, value
    bool roadLoad = false;
    for (const Assignment& a : settings) {
        for (char c : a.value)
            if (static_cast<unsigned char>(c) < 32)
                throw std::runtime_error("--set-car " + a.name + ": the value holds a control character");
        std::string key = a.name, value = a.value;
        if (key == "A") key = "f0", value = Text(Number(a, car.where) * kN);
        else if (key == "B") key = "f1", value = Text(Number(a, car.where) * kN / kMs);
        else if (key == "C") key = "f2", value = Text(Number(a, car.where) * kN / (kMs * kMs));
        else if (key == "gear_spread") {
            const double spread = Number(a, car.where);
            const std::vector<double>& g = car.desc.gears;
            if (g.size() < 2 || !(spread > 1) || !(g.front() > g.back()))
                throw std::runtime_error(car.where + ": --set-car gear_spread " + a.value +
                                         ": needs two gears or more and a spread above 1");
            // Each gear keeps its place between first and top in log terms.
            const double old = std::log(g.front() / g.back()), top = g.back();
            value.clear();
            for (double r : g)
                value += (value.empty() ? "" : " ") + Text(top * std::exp(std::log(r / top) / old * std::log(spread)));
            key = "gears";
        }
        if (key == "f0" || key == "f1" || key == "f2") roadLoad = true;
        if (key == "name") throw std::runtime_error("--set-car: the car's name is not a setting");
        lines.emplace_back(key, value);
    }
    std::string text;
    std::size_t pos = 0;
    const std::string& d = car.text;
    while (pos < d.size()) {
        auto nl = d.find('\n', pos);
        std::string line = d.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? d.size() : nl + 1;
        const std::string key = FirstWord(line);
        bool replaced = roadLoad && (key == "cda" || key == "crr");
        for (const auto& l : lines) replaced = replaced || l.first == key;
        if (!replaced) text += line + "\n";
    }
    std::size_t firstSetting = 1;
    for (char c : text) firstSetting += c == '\n';
    for (const auto& [key, value] : lines) text += key + " " + value + "\n";
    StudyCar made = car;
    const std::string tag = "\x1F"; // names the made-up text, never the user's
    try {
        made.desc = carmodel::ParseCarDescription(text, tag);
    } catch (const std::runtime_error& e) {
        // "TAG:LINE: what": a line of the setting the user gave, named as
        // given (A=-50, not the f0 it made), or of the car's own description.
        std::string what = e.what();
        std::size_t line = 0;
        if (what.rfind(tag + ":", 0) == 0) {
            const std::size_t colon = what.find(':', tag.size() + 1);
            line = std::strtoul(what.c_str() + tag.size() + 1, nullptr, 10);
            what = colon == std::string::npos ? what : what.substr(colon + 2);
        }
        if (line >= firstSetting && line - firstSetting < settings.size()) {
            const Assignment& a = settings[line - firstSetting];
            const std::string& made_ = lines[line - firstSetting].first;
            throw std::runtime_error(car.where + ": --set-car " + a.name + "=" + a.value + ": " +
                                     (made_ != a.name ? "(as " + made_ + ") " : "") + what);
        }
        throw std::runtime_error(car.where + " with --set-car: " + what);
    }
    made.text = text;
    return made;
}

std::vector<Assignment> MakeStudyCar(const StudyCar& car, const std::string& folder, bool picture) {
    carmodel::MakeCarFolder(car.desc, (fs::path(folder) / carmodel::CarFolderName(car.desc.name)).string(), picture);
    carmodel::Constants lines;
    carmodel::SetCarConstants(lines, car.desc);
    std::vector<Assignment> sets;
    for (const auto& [name, value] : lines)
        if (FindConstLine(name)) sets.push_back({name, value});
    return sets;
}

} // namespace tralvik::studies
