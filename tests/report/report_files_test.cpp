// The files behind the report pages: resultreport on damaged result files
// and a full disk, the runner's page on a full disk, empty file names, the
// operating points the pages draw, and engine tables that cannot be drawn.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/record.h"
#include "pages/report.h"
#include "run/summary.h"
#include "core/Vvaria.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

struct Result {
    int status = -1;
    std::string out, err;
};

// A copy of the bundled folder with 200 steps of both result files, made
// once for all tests.
class ReportFiles : public ::testing::Test {
  protected:
    static fs::path* base;
    static std::string* summary; // the runner's, JSON
    fs::path dir;

    static void SetUpTestSuite() {
        std::string tmpl = (fs::temp_directory_path() / "tralvik-report-XXXXXX").string();
        base = new fs::path(::mkdtemp(tmpl.data()));
        fs::copy(fs::path(TRALVIK_SOURCE_DIR) / "data", *base / "data",
                 fs::copy_options::recursive);
        Result r = Shell(std::string("'") + TRALVIK_BATCH_EXE +
                         "' --no-draw --quiet --json --ticks 400 --spara 1100 '" +
                         (*base / "data").string() + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        summary = new std::string(r.out);
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*base, ec);
        delete base;
        delete summary;
    }
    void SetUp() override {
        dir = *base / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::copy(*base / "data", dir, fs::copy_options::recursive);
    }

    static Result Shell(const std::string& cmd) {
        Result r;
        std::string out = *base / ".out", err = *base / ".err";
        int rc = std::system((cmd + " > '" + out + "' 2> '" + err + "' < /dev/null").c_str());
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = ReadFile(out);
        r.err = ReadFile(err);
        return r;
    }
    Result Tool(const std::string& args, const std::string& prefix = "") {
        return Shell(prefix + "'" + TRALVIK_RESULTREPORT_EXE + "' " + args);
    }

    // Replaces word `column` (1-based) of line `line` (1-based) of a result
    // file; an empty `word` removes it.
    void Damage(const std::string& file, int line, int column, const std::string& word) {
        std::string text = ReadFile(dir / file);
        std::size_t at = 0;
        for (int i = 1; i < line; ++i) at = text.find("\r\n", at) + 2;
        std::size_t end = text.find("\r\n", at);
        std::istringstream in(text.substr(at, end - at));
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        words[column - 1] = word;
        std::string row;
        for (const std::string& w : words)
            if (!w.empty()) row += " " + w;
        WriteFile(dir / file, text.substr(0, at) + row + text.substr(end));
    }
};
fs::path* ReportFiles::base = nullptr;
std::string* ReportFiles::summary = nullptr;

// A figure of the page's summary table.
double PageFigure(const std::string& page, const std::string& key) {
    std::string cell = "<td class=\"name\">" + key + "</td><td>";
    auto at = page.find(cell);
    if (at == std::string::npos) return NAN;
    return std::strtod(page.c_str() + at + cell.size(), nullptr);
}

// The page from the files gives the runner's fuel and emissions (not the
// files' whole grams), and the tool prints nothing, no toolkit notes either.
TEST_F(ReportFiles, ToolGivesTheRunnersFiguresAndPrintsNothing) {
    Result r = Tool("-o '" + (dir / "p.html").string() + "' '" + dir.string() + "'",
                    "env -u XDG_RUNTIME_DIR ");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
    std::string page = ReadFile(dir / "p.html");
    auto runner = tralvik::run::SummaryFromJson(*summary);
    ASSERT_TRUE(runner) << *summary;
    const std::pair<const char*, double> figures[] = {{"fuel_l", runner->fuel_l},
                                                      {"co_g", runner->co_g},
                                                      {"nox_g", runner->nox_g},
                                                      {"hc_g", runner->hc_g}};
    for (const auto& [key, value] : figures) {
        ASSERT_GT(value, 0) << key;
        EXPECT_NEAR(PageFigure(page, key), value, value * 0.003 + 1e-4) << key;
    }
}

// Each damaged row is refused with the file, the line and the column, and
// the page that was there stays as it was.
TEST_F(ReportFiles, ToolRefusesDamagedRowsNamingThePlace) {
    struct Case {
        const char* file;
        int line, column;
        std::string word, message;
    };
    const Case cases[] = {
        {"Resultat.txt", 5, 15, "1e308",
         "Resultat.txt:5: column 10 (IC v.gr): 1e308 is out of range (-10000 to 10000)"},
        {"Resultat.txt", 7, 3, "12x4", "Resultat.txt:7: column 3 (U V): '12x4' is not a number"},
        {"Resultat.txt", 8, 4, "", "Resultat.txt:8: 14 columns, a row has 15"},
        {"Resultat.txt", 40, 15, "0.02",
         "Resultat.txt:40: column 15 (ttot s): 0.02 is before the row above"},
        {"Resultatp.txt", 6, 11, "5e12",
         "Resultatp.txt:6: column 11 (CO g): 5e12 is out of range (-1000000000 to 1000000000)"},
        {"Resultatp.txt", 9, 2, "nan",
         "Resultatp.txt:9: column 2 (nel rpm): 'nan' is not a number"},
        {"Resultat.txt", 2, 3, "----",
         "Resultat.txt:2: not the rule of a result file's header (a line of dashes)"},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.line == 5) Damage(c.file, c.line, 10, "1e308"); // columns 10 and 15
        Damage(c.file, c.line, c.column, c.word);
        WriteFile(dir / "old.html", "the page before");
        Result r = Tool("-o '" + (dir / "old.html").string() + "' '" + dir.string() + "'");
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.err, "resultreport: " + (dir / c.message).string() + "\n");
        EXPECT_EQ(ReadFile(dir / "old.html"), "the page before") << c.message;
    }
}

TEST_F(ReportFiles, EmptyPageNamesAreRefused) {
    Result tool = Tool("-o '' '" + dir.string() + "'");
    EXPECT_EQ(tool.status, 2);
    EXPECT_EQ(tool.err, "resultreport: -o needs a name, not an empty one\n");
    for (const char* option : {"--report", "--charts"}) {
        Result batch = Shell(std::string("'") + TRALVIK_BATCH_EXE + "' --no-draw --ticks 5 " +
                             option + " '' '" + dir.string() + "'");
        EXPECT_EQ(batch.status, 2) << option;
        EXPECT_EQ(
            batch.err.rfind("tralvik-batch: " + std::string(option) + " needs a file name", 0), 0u)
            << batch.err;
    }
}

// Files of these processes may not grow beyond 20 blocks of 512 bytes: the
// page cannot be written whole, so the old one stays and the path is named.
TEST_F(ReportFiles, FullDiskLeavesTheOldPageWhole) {
    const std::string limit = "trap '' XFSZ; ulimit -f 20; ";
    const fs::path page = dir / "page.html";
    struct Run {
        std::string command, prefix;
    };
    const Run runs[] = {
        {std::string("exec '") + TRALVIK_RESULTREPORT_EXE + "' -o '" + page.string() + "' '" +
             dir.string() + "'",
         "resultreport: "},
        {std::string("exec '") + TRALVIK_BATCH_EXE + "' --no-draw --quiet --ticks 50 --report '" +
             page.string() + "' '" + dir.string() + "'",
         "tralvik-batch: "},
    };
    for (const Run& run : runs) {
        WriteFile(page, "the page before");
        Result r = Shell("sh -c \"" + limit + run.command + "\"");
        EXPECT_EQ(r.status, 2) << run.command;
        EXPECT_NE(r.err.find(run.prefix + "cannot write " + page.string() + ": Disk full"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadFile(page), "the page before");
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().rfind(".tralvik-save-", 0), std::string::npos)
                << e.path();
    }
}

// A page is written under the name given, as the file system spells it:
// letters outside Windows-1252 kept, another file differing only in letter
// case left alone.
// The folder given is the system's own name, used as it is, also when it
// has no Windows-1252 form.
TEST_F(ReportFiles, ToolReadsFoldersNamedOutsideWindows1252) {
    for (const char* name : {"\u0141ukasz", "\u0416\u0443\u043a\u043e\u0432", "a\\b"}) {
        const fs::path named = dir.parent_path() / name;
        fs::remove_all(named);
        fs::rename(dir, named);
        Result r = Tool("-o '" + (named / "p.html").string() + "' '" + named.string() + "'");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_TRUE(fs::exists(named / "p.html")) << name;
        fs::rename(named, dir);
    }
}

TEST_F(ReportFiles, PagesAreWrittenUnderTheNameGiven) {
    for (const char* name : {"sida-\u0142.html", "Rapport.html"}) {
        WriteFile(dir / "rapport.html", "another page");
        Result r = Shell(std::string("'") + TRALVIK_BATCH_EXE + "' --no-draw --quiet --ticks 5 " +
                         "--report '" + (dir / name).string() + "' '" + dir.string() + "'");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFile(dir / name).rfind("<!DOCTYPE html>", 0), 0u) << name;
        EXPECT_EQ(ReadFile(dir / "rapport.html"), "another page") << name;
    }
}

// The engine turns at the speed the gear stage gave it (idle at least):
// not the wheels' speed through the gear while standing or starting, and no
// operating point while declutched with the engine stopped.
TEST(OperatingPoints, SampledAtTheSpeedTheEngineTurns) {
    struct Case {
        double nic, nel, mic;
        char key;
        double rpm, torque;
    };
    const Case cases[] = {
        {0.44, 300, 13, '.', 300, 13},   // standing: idle
        {135, 300, 55, '.', 300, 55},    // the clutch slipping at a start
        {2000, 2000, 80, '.', 2000, 80}, // driving
        {1500, 1500, 0, 'C', 0, 0},      // declutched, engine stopped
    };
    for (const Case& c : cases) {
        tralvik::Sim s;
        tralvik::ResetState(s);
        s.Cykeltyp = 'T';
        tralvik::run::RunRecorder rec;
        std::string error;
        ASSERT_TRUE(rec.Start(s, error)) << error;
        s.ttot = 0.04;
        s.nic = c.nic;
        s.nel = c.nel;
        s.mic = c.mic;
        s.Tangent = c.key;
        rec.Tick(s);
        ASSERT_EQ(rec.Samples().size(), 1u);
        EXPECT_EQ(rec.Samples()[0].rpm, c.rpm) << c.nic;
        EXPECT_EQ(rec.Samples()[0].torque_nm, c.torque) << c.nic;
    }
}

TEST_F(ReportFiles, EngineTablesThatCannotBeDrawnAreLeftOut) {
    const std::string good = "TAB 1\nrpm Nm\n0 100\n6000 150\n\nTAB 2\n10 100\n1000 20 30\n"
                             "6000 25 35\n\nConst\n";
    WriteFile(dir / "ok.tab", good);
    tralvik::pages::EngineMap m = tralvik::pages::ReadEngineMap((dir / "ok.tab").string());
    EXPECT_TRUE(m.Valid());
    EXPECT_EQ(m.fullLoad.size(), 2u);
    // Speeds that are no engine's, and speeds that go back.
    for (const std::string& bad : {std::string("1e308 25 35"), std::string("500 25 35")}) {
        std::string text = good;
        text.replace(text.find("6000 25 35"), 10, bad);
        WriteFile(dir / "bad.tab", text);
        EXPECT_FALSE(tralvik::pages::ReadEngineMap((dir / "bad.tab").string()).Valid()) << bad;
    }
}

} // namespace

namespace {

// A study's lines and axis name the swept values as a reader does: the
// short name, the value and the unit, a file by its name alone.
TEST(StudyPage, NamesSweptValuesByNameValueAndUnit) {
    // The charts measure their texts with the toolkit's fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_report";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    std::vector<tralvik::pages::ReportRun> runs;
    for (const char* cycle : {"cykler\\WLTC3B.CYK", "cykler\\FTP75.CYK"})
        for (const char* mass : {"1100", "1300"}) {
            tralvik::pages::ReportRun r;
            r.name = std::string("data_") + cycle + "_" + mass;
            r.swept = {{"Massa", mass}, {"CdA", "0.55"}, {"Ttidd", cycle}};
            r.summary.fuel_l_per_100km = 6.5;
            runs.push_back(r);
        }
    std::string page = tralvik::pages::StudyReportHtml(runs);
    for (const char* text : {">Massa (kg)</text>", ">CdA 0.55 m², cykel WLTC3B</text>",
                             ">CdA 0.55 m², cykel FTP75</text>", ">bränsle (l/100 km)</text>"})
        EXPECT_NE(page.find(text), std::string::npos) << text;
}


// A list fleet's page: each car beside the list, grouped by class, two cars
// of one name kept apart, the city and highway tests combined 55/45.
TEST(StudyPage, FleetBesideItsListByClass) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_report";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    struct Car {
        const char *key, *klass;
    };
    std::vector<tralvik::pages::ReportRun> runs;
    for (Car car : {Car{"2", "Truck"}, Car{"4", "Car"}, Car{"6", "Car"}})
        for (const char* cycle : {"cykler\\FTP75.CYK", "cykler\\HWFET.CYK"}) {
            tralvik::pages::ReportRun r;
            const bool city = cycle[9] == 'F';
            r.name = std::string("data_") + car.key + "_" + cycle;
            r.swept = {{"Ttidd", cycle}};
            r.car = "HYUNDAIVELOSTER";
            r.carTitle = "HYUNDAI VELOSTER";
            r.carKey = r.listLine = car.key;
            r.carClass = car.klass;
            r.summary.fuel_l_per_100km = city ? 8.0 : 5.0;
            r.summary.trace = tralvik::studies::TraceFigures{};
            if (!city && car.key[0] == '6') r.summary.trace->outside_s = 2;
            r.measured = tralvik::studies::ListComparison{city ? "FTP-75" : "HWFET", city ? 8.0 : 5.0,
                                                           city ? 8.6 : 5.2};
            runs.push_back(r);
        }
    const std::string page = tralvik::pages::StudyReportHtml(runs);
    // 0.55 x 8.6 + 0.45 x 5.2 = 7.07 against 0.55 x 8 + 0.45 x 5 = 6.65.
    for (const char* text : {"FTP-75 3 bilar, medel 1.075, 0 % inom ±5 %, 100 % inom ±10 %",
                             "HWFET 3 bilar, medel 1.040, 100 % inom ±5 %",
                             "<h3>Personbilar (2)</h3>", "<h3>Lätta lastbilar (1)</h3>",
                             "<td>6.65</td><td>7.07</td><td>1.063</td>", "NEJ: HWFET", "En flotta: 3 bilar"})
        EXPECT_NE(page.find(text), std::string::npos) << text;
    // Passenger cars before trucks; each car once.
    EXPECT_LT(page.find("<h3>Personbilar"), page.find("<h3>Lätta lastbilar"));
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = page.find("<td class=\"name\">HYUNDAI VELOSTER</td><td>", at)) != std::string::npos; ++at)
        ++rows;
    EXPECT_EQ(rows, 3u);
}

} // namespace
