#include "run/studyoutput.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "core/savefile.h"
#include "run/pagefile.h"
#include "studies/cars.h"
#include "studies/regulatory.h"
#include "studies/sampling.h"

namespace tralvik::run {

using namespace tralvik::studies;
using namespace tralvik::pages;

namespace {

std::string JsonString(const std::string& t) {
    std::string r = "\"";
    for (char c : t) {
        if (c == '"' || c == '\\') r += '\\';
        if (static_cast<unsigned char>(c) >= 32) r += c;
    }
    return r + "\"";
}

void Cell(std::vector<std::pair<std::string, std::string>>& cells, const std::string& name, double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    cells.emplace_back(name, std::string(buf, r.ptr));
}

// The tidy CSV's first line: what made it, so that a paper can say.
std::string LongComment(const StudySettings& opt) {
    return std::string("tralvik-batch ") + ProgramVersion() + ", seed " + std::to_string(opt.seed) + ", units " +
           (opt.us ? "us" : "si");
}

// Rows wait in the file as length-prefixed cells: any byte may be in a value.
void PutText(std::string& to, const std::string& text) {
    const uint32_t n = static_cast<uint32_t>(text.size());
    to.append(reinterpret_cast<const char*>(&n), sizeof n);
    to += text;
}

bool GetText(std::FILE* f, std::string& text) {
    uint32_t n = 0;
    if (std::fread(&n, sizeof n, 1, f) != 1) return false;
    text.resize(n);
    return n == 0 || std::fread(text.data(), 1, n, f) == n;
}

} // namespace

StudyOutput::StudyOutput(const StudySettings& opt, std::size_t total, const std::string& rowsFile,
                         StudyPageMaker page)
    : opt_(opt), page_(std::move(page)), total_(total), rowsFile_(rowsFile),
      fuelCo2_(opt.elasticity ? total : 0) {
    rows_ = std::fopen(rowsFile_.c_str(), "w+be");
    if (!rows_) throw std::runtime_error("cannot make " + rowsFile_ + ": " + std::strerror(errno));
}

StudyOutput::~StudyOutput() {
    if (rows_) std::fclose(rows_);
    std::remove(rowsFile_.c_str());
}

void StudyOutput::StoreRow(const Row& row) {
    std::string bytes;
    const uint32_t n = static_cast<uint32_t>(row.cells.size());
    bytes.append(reinterpret_cast<const char*>(&n), sizeof n);
    for (const auto& [name, value] : row.cells) {
        PutText(bytes, name);
        PutText(bytes, value);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), rows_) != bytes.size())
        throw std::runtime_error("cannot write " + rowsFile_ + ": " + std::strerror(errno));
    ++rowCount_;
}

template <class F>
void StudyOutput::EachRow(const std::unordered_map<std::size_t, Cells>& extra, F&& f) {
    if (std::fflush(rows_) != 0 || std::fseek(rows_, 0, SEEK_SET) != 0)
        throw std::runtime_error("cannot read " + rowsFile_ + ": " + std::strerror(errno));
    Row row;
    for (std::size_t i = 0; i < rowCount_; ++i) {
        uint32_t n = 0;
        bool ok = std::fread(&n, sizeof n, 1, rows_) == 1;
        row.cells.resize(ok ? n : 0);
        for (auto& [name, value] : row.cells) ok = ok && GetText(rows_, name) && GetText(rows_, value);
        if (!ok) throw std::runtime_error("cannot read " + rowsFile_ + ": it ends early");
        if (auto it = extra.find(i); it != extra.end())
            row.cells.insert(row.cells.end(), it->second.begin(), it->second.end());
        f(row);
    }
}

void StudyOutput::Add(const RunOutcome& j) {
    const std::size_t index = rowCount_;
    // The run's messages, each line marked with the run.
    std::istringstream lines(j.err);
    for (std::string line; std::getline(lines, line);)
        std::fprintf(stderr, "[%s] %s\n", j.plan.name.c_str(), line.c_str());
    auto summary = SummaryFromJson(j.out);
    if (summary) summary->us = opt_.us;
    if (opt_.json) {
        std::string head = "{\"run\": " + JsonString(j.plan.name) + ", \"set\": {";
        for (std::size_t k = 0; k < j.plan.sets.size(); ++k)
            head += (k ? ", " : "") + JsonString(j.plan.sets[k].name) + ": " + JsonString(j.plan.sets[k].value);
        head += "}";
        if (j.plan.car >= 0) {
            // A fleet's car as the CSV names it (car, make, model, list line).
            head += ", \"car\": {";
            for (std::size_t k = 0; k < j.carId.size(); ++k)
                head += (k ? ", " : "") + JsonString(j.carId[k].first) + ": " + JsonString(j.carId[k].second);
            head += "}";
        }
        head += ", \"status\": " + std::to_string(j.code);
        std::string body = j.out;
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
        if (body.size() > 2 && body.front() == '{')
            head += ", " + body.substr(1);
        else
            head += "}";
        std::printf("%s\n", head.c_str());
    } else {
        std::printf("== %s ==\n", j.plan.name.c_str());
        if (summary) {
            std::string t = SummaryText(*summary);
            std::fwrite(t.data(), 1, t.size(), stdout);
        } else if (j.notStarted) {
            std::printf("(not started: the study was interrupted)\n");
        } else {
            std::printf("(no summary: the run ended with status %d)\n", j.code);
        }
    }
    std::fflush(stdout);
    if (summary && (summary->ftp75 || (summary->cycle && IsHwfet(*summary->cycle) &&
                                      summary->fuel_l_per_100km && summary->co2_g_per_km))) {
        // City and highway runs of one variant pair up: the same folder and
        // values but for the cycle.
        std::string key = j.plan.folder + "\ncar " + std::to_string(j.plan.car);
        for (const Assignment& a : j.plan.sets)
            if (a.name != "Ttidd" && a.name != "Cykeltyp" && a.name != "Tkarta") key += "\n" + a.name + "=" + a.value;
        auto [it, fresh] = pairs_.try_emplace(key);
        if (fresh) pairOrder_.push_back(key);
        Pair& pair = it->second;
        if (summary->ftp75) {
            pair.city = *summary->ftp75;
            pair.cityRow = index;
            pair.cityRun = j.plan.name;
        } else {
            pair.highway = DistanceFigures{*summary->fuel_l_per_100km, *summary->co2_g_per_km,
                                           summary->co_g_per_km.value_or(0), summary->nox_g_per_km.value_or(0),
                                           summary->hc_g_per_km.value_or(0)};
            pair.highwayRow = index;
            pair.highwayRun = j.plan.name;
        }
    }
    if (opt_.elasticity) {
        const std::size_t per = 1 + 2 * opt_.vary.size();
        if (index % per == 0) // a base run: the group's folder and car
            groupOf_.push_back(j.plan.car >= 0 ? j.plan.folder + ", " + j.carName : j.plan.folder);
        if (summary && summary->fuel_l_per_100km && summary->co2_g_per_km && index < fuelCo2_.size())
            fuelCo2_[index] = std::pair{*summary->fuel_l_per_100km, *summary->co2_g_per_km};
        runNames_.push_back(j.plan.name);
    }
    Row row;
    row.cells.emplace_back("run", j.plan.name);
    if (j.plan.car >= 0)
        for (const auto& cell : j.carId) row.cells.push_back(cell);
    for (const Assignment& a : j.plan.sets) row.cells.emplace_back(a.name, a.value);
    if (summary)
        for (const auto& cell : SummaryCells(*summary)) row.cells.push_back(cell);
    StoreRow(row);
    if ((!opt_.report.empty() || !opt_.charts.empty()) && summary) {
        reportRuns_.push_back(ReportRun{j.plan.name, j.plan.swept, *summary, {}, {}});
        if (j.plan.car >= 0) {
            ReportRun& r = reportRuns_.back();
            r.car = j.carBase;
            std::string make, model;
            for (const auto& [name, value] : j.carId) {
                if (name == "vehicle_type") r.carClass = value;
                if (name == "make") make = value;
                if (name == "model") model = value;
                if (name == "list_line") r.listLine = r.carKey = value;
                if (name == "car_file") r.carKey = value;
            }
            if (!make.empty() || !model.empty()) r.carTitle = make + (make.empty() ? "" : " ") + model;
            if (summary->cycle && summary->fuel_l_per_100km)
                r.measured = CompareWithList(j.carId, *summary->cycle, *summary->fuel_l_per_100km,
                                             summary->fuel == "diesel",
                                             summary->catalyst && summary->ftp75
                                                 ? std::optional<double>(summary->ftp75->l_per_100km)
                                                 : std::nullopt,
                                             summary->electric ? summary->electric->grid_kwh_per_100km
                                                               : std::nullopt);
        }
    }
}

void StudyOutput::Finish(int& result) {
    std::unordered_map<std::size_t, Cells> extra;
    for (const std::string& key : pairOrder_) {
        const Pair& p = pairs_[key];
        if (!p.city || !p.highway) continue;
        DistanceFigures c = CityHighwayCombined(*p.city, *p.highway);
        std::vector<std::pair<std::string, double>> cells = {
            {"combined_l_per_100km", c.l_per_100km}, {"combined_co2_g_per_km", c.co2_g_per_km},
            {"combined_co_g_per_km", c.co_g_per_km}, {"combined_nox_g_per_km", c.nox_g_per_km},
            {"combined_hc_g_per_km", c.hc_g_per_km}};
        if (opt_.us) {
            cells.emplace_back("combined_mpg", MilesPerGallon(c.l_per_100km));
            cells.emplace_back("combined_co2_g_per_mi", PerMile(c.co2_g_per_km));
            cells.emplace_back("combined_co_g_per_mi", PerMile(c.co_g_per_km));
            cells.emplace_back("combined_nox_g_per_mi", PerMile(c.nox_g_per_km));
            cells.emplace_back("combined_hc_g_per_mi", PerMile(c.hc_g_per_km));
        }
        for (std::size_t r : {p.cityRow, p.highwayRow})
            for (const auto& [name, value] : cells) Cell(extra[r], name, value);
        if (opt_.json) {
            // The pair's combined figures as one more object, after its runs'.
            std::string line = "{\"combined\": {\"city\": " + JsonString(p.cityRun) +
                               ", \"highway\": " + JsonString(p.highwayRun);
            for (const auto& [name, value] : cells) line += ", " + JsonString(name) + ": " + NumberText(value);
            std::printf("%s}}\n", line.c_str());
        } else {
            char line[512];
            std::snprintf(line, sizeof line, "combined     55 %% %s + 45 %% %s: %.2f l/100 km, CO2 %.1f g/km",
                          p.cityRun.c_str(), p.highwayRun.c_str(), c.l_per_100km, c.co2_g_per_km);
            std::string text = line;
            if (opt_.us) {
                std::snprintf(line, sizeof line, " (%.1f mpg, %.1f g/mi)", MilesPerGallon(c.l_per_100km),
                              PerMile(c.co2_g_per_km));
                text += line;
            }
            std::printf("%s\n", text.c_str());
        }
    }
    std::vector<pages::ElasticityRow> elasticities;
    if (opt_.elasticity) {
        // Per folder (and car): the base run, then each name's -5 % and +5 % runs.
        const std::size_t per = 1 + 2 * opt_.vary.size();
        for (std::size_t f = 0; f + per <= total_; f += per) {
            for (std::size_t k = 0; k < opt_.vary.size(); ++k) {
                const std::size_t minus = f + 1 + 2 * k, plus = minus + 1;
                const double mid = opt_.vary[k].low + (opt_.vary[k].high - opt_.vary[k].low) / 2;
                std::optional<double> eFuel, eCo2;
                if (fuelCo2_[f] && fuelCo2_[minus] && fuelCo2_[plus]) {
                    eFuel = Elasticity(fuelCo2_[f]->first, fuelCo2_[minus]->first, fuelCo2_[plus]->first, mid,
                                       mid * 0.95, mid * 1.05);
                    eCo2 = Elasticity(fuelCo2_[f]->second, fuelCo2_[minus]->second, fuelCo2_[plus]->second, mid,
                                      mid * 0.95, mid * 1.05);
                }
                for (std::size_t r : {minus, plus}) {
                    // The columns are there also where the figure is not
                    // (a run failed, a base of 0): empty, for every reader.
                    if (eFuel)
                        Cell(extra[r], "elasticity_fuel", *eFuel);
                    else
                        extra[r].emplace_back("elasticity_fuel", "");
                    if (eCo2)
                        Cell(extra[r], "elasticity_co2", *eCo2);
                    else
                        extra[r].emplace_back("elasticity_co2", "");
                }
                const std::size_t group = f / per;
                const std::string of = group < groupOf_.size() ? groupOf_[group] : std::string();
                auto name = [&](std::size_t r) { return r < runNames_.size() ? runNames_[r] : std::string(); };
                elasticities.push_back({of, opt_.vary[k].name, eFuel, eCo2, name(f), name(minus), name(plus)});
                if (!opt_.json)
                    std::printf("elasticity   %s, %s: fuel %s, CO2 %s\n", of.c_str(), opt_.vary[k].name.c_str(),
                                eFuel ? NumberText(std::round(*eFuel * 1000) / 1000).c_str() : "-",
                                eCo2 ? NumberText(std::round(*eCo2 * 1000) / 1000).c_str() : "-");
            }
        }
    }
    std::fflush(stdout);
    auto fail = [&](const std::string& message) {
        std::fprintf(stderr, "tralvik-batch: %s\n", message.c_str());
        if (result == 0) result = 2;
    };
    // Tables are written aside and renamed, so a full disk leaves an
    // earlier table whole.
    try {
        if (!opt_.longCsv.empty()) {
            ReplacingWriter w(opt_.longCsv);
            w.Write(LongCsvHead(LongComment(opt_)));
            EachRow(extra, [&](const Row& row) { w.Write(LongCsvLines(row)); });
            w.Commit();
        }
    } catch (const IoError& e) {
        fail("cannot write " + opt_.longCsv + ": " + e.text());
    } catch (const std::runtime_error& e) {
        fail(e.what());
    }
    try {
        if (!opt_.csv.empty()) {
            std::vector<std::string> columns;
            std::unordered_set<std::string> seen;
            // What made each row, in columns of its own (a comment line
            // would trip readers that expect the header first).
            const Cells made = {{"program", std::string("tralvik-batch ") + ProgramVersion()},
                                {"seed", std::to_string(opt_.seed)}};
            auto withMade = [&](const Row& row) {
                Row r = row;
                r.cells.insert(r.cells.end(), made.begin(), made.end());
                return r;
            };
            EachRow(extra, [&](const Row& row) { AddColumns(withMade(row), columns, seen); });
            ReplacingWriter w(opt_.csv);
            w.Write(CsvHeader(columns));
            EachRow(extra, [&](const Row& row) { w.Write(CsvLine(withMade(row), columns)); });
            w.Commit();
        }
    } catch (const IoError& e) {
        fail("cannot write " + opt_.csv + ": " + e.text());
    } catch (const std::runtime_error& e) {
        fail(e.what());
    }
    if ((!opt_.report.empty() || !opt_.charts.empty()) && total_ > 1) {
        ChartFiles charts;
        std::string page, error;
        bool ok = true;
        if (page_) {
            page = page_(reportRuns_, opt_.charts.empty() ? nullptr : &charts, opt_.elasticity ? &elasticities : nullptr);
        } else {
            ok = false;
            error = "the study's page needs the drawing runner (tralvik-batch-draw)";
        }
        ok = ok && (opt_.report.empty() || WritePageFile(opt_.report, page, error));
        ok = ok && (opt_.charts.empty() || WriteChartFiles(opt_.charts, charts, error));
        if (!ok) fail(error);
    }
}

} // namespace tralvik::run
