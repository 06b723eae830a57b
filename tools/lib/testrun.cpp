#include "tools/lib/testrun.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tools/lib/constants.h"
#include "tools/lib/textout.h"

namespace tralvik::tools {

namespace fs = std::filesystem;

namespace {

double JsonNumber(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos) throw std::runtime_error("no " + key + " in the summary");
    return std::stod(json.substr(at + key.size() + 3));
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

CycleRun RunCarOnCycle(const std::string& batchExe, const std::string& dataDir, const CarSpec& car,
                       const std::string& cycle) {
    if (!fs::exists(fs::path(dataDir) / "cykler" / cycle))
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
    fs::copy(dataDir, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    WriteCarFolder(car, BuildTables(car), (dir / car.name).string());
    Constants v = ReadConstants((fs::path(dataDir) / "CONS.VAL").string());
    SetCarConstants(v, car);
    v["Ttidd"] = "cykler\\" + cycle;
    v["Cykeltyp"] = "T";
    v["v"] = "0";
    v["Vaxelmod"] = "A";
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
    if (rc != 0) throw std::runtime_error(batchExe + " failed on " + cycle + ": " + out);
    if (out.find("\"end\": \"mode 100\"") == std::string::npos)
        throw std::runtime_error("the run of " + cycle + " did not reach the cycle's end: " + out);
    return {JsonNumber(out, "ltot_m") / 1000, JsonNumber(out, "fuel_l_per_100km")};
}

bool IsCityTest(const TestCarRow& r) {
    // The city test is named by its cycle or by the federal procedure.
    return r.procedure.find("FTP") != std::string::npos || r.procedure.rfind("Federal", 0) == 0;
}

bool IsHighwayTest(const TestCarRow& r) {
    return r.procedure.rfind("HWFE", 0) == 0;
}

TestCarResult CompareTestCar(const std::string& batchExe, const std::string& dataDir,
                             const std::vector<TestCarRow>& rows, const TestCarRow& base,
                             std::optional<Tech> tech) {
    auto sameVehicle = [&](const TestCarRow& r) {
        return r.make == base.make && r.model == base.model &&
               r.displacement == base.displacement && r.gears == base.gears &&
               r.etwLb == base.etwLb && r.aLbf == base.aLbf && r.bLbfPerMph == base.bLbfPerMph &&
               r.cLbfPerMph2 == base.cLbfPerMph2;
    };
    const TestCarRow* ftp = IsCityTest(base) ? &base : nullptr;
    const TestCarRow* hw = IsHighwayTest(base) ? &base : nullptr;
    for (const auto& r : rows) {
        if (!sameVehicle(r)) continue;
        if (!ftp && IsCityTest(r)) ftp = &r;
        if (!hw && IsHighwayTest(r)) hw = &r;
    }
    const std::string where =
        base.make + " " + base.model + " (line " + std::to_string(base.line) + ")";
    if (!ftp && !hw) throw std::runtime_error("no FTP or HWFE test of " + where);
    const CarSpec car = ParseCarSpec(DescribeTestCar(base, tech), where);
    TestCarResult res{base.make, base.model, TechName(car.tech), {}};
    if (ftp) {
        const CycleRun r = RunCarOnCycle(batchExe, dataDir, car, "FTP75.CYK");
        res.lines.push_back(
            {"FTP", r.lPer100, r.lPer100 * kFtpColdFactor, LitresPer100FromMpg(ftp->mpg)});
    }
    if (hw) {
        const CycleRun r = RunCarOnCycle(batchExe, dataDir, car, "HWFET.CYK");
        res.lines.push_back({"HWFE", r.lPer100, r.lPer100, LitresPer100FromMpg(hw->mpg)});
    }
    return res;
}

} // namespace tralvik::tools
