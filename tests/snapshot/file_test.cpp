// Writing and reading the snapshot file: the 1050 lines, their order and
// kinds, the round trip, and files that were edited or cut short.
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/paths.h"
#include "files/Ggetvari.h"
#include "files/Ssparvar.h"
#include "fill.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;
using tralvik::testing::Check;
using tralvik::testing::CrLfLines;
using tralvik::testing::EveryVariable;
using tralvik::testing::Fill;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;

namespace {

class SnapshotFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir / "snap.txt";
    Sim saved;
    Fill fill;

    // Fills `saved` with its distinct values and writes it to `path`.
    void SaveFilled() {
        EveryVariable(saved, fill);
        saved.Sparfil = path;
        fill.lines[98] = path;
        SaveSnapshot(saved);
    }
    // The saved file's lines; `edit` may change them (index n-1 = line n).
    void Rewrite(const std::vector<std::string>& lines, const char* end = "\r\n") {
        std::string bytes;
        for (const auto& l : lines) bytes += l + end;
        WriteFile(path, bytes);
    }
    void Load(Sim& s) {
        s.Sparfil = path;
        LoadSnapshot(s);
    }
};

} // namespace

// The test's own table agrees with the layout's totals: 28 text, 19
// character, 219 real (169 + 5 x 10) and 784 integer lines (56 single + 128
// + 6 x 100), each of lines 1 to 1050 named once.
TEST_F(SnapshotFile, TheTestTableNamesEveryLineOnce) {
    Sim s;
    EveryVariable(s, fill);
    EXPECT_EQ(fill.text, 28);
    EXPECT_EQ(fill.character, 19);
    EXPECT_EQ(fill.real, 219);
    EXPECT_EQ(fill.integer, 784);
    EXPECT_EQ(fill.twice, 0);
    for (int n = 1; n <= 1050; ++n) EXPECT_FALSE(fill.lines[n].empty()) << "line " << n;
}

TEST_F(SnapshotFile, SaveWritesEveryVariableAtItsLine) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1050u);
    for (int n = 1; n <= 1050; ++n) EXPECT_EQ(lines[n - 1], fill.lines[n]) << "line " << n;

    // A few lines worked out by hand from the filling rule.
    EXPECT_EQ(lines[0], "T1");           // Titel
    EXPECT_EQ(lines[21], "1010");        // Spara
    EXPECT_EQ(lines[22], "-2300023");    // Nsteg: odd line, -(23 * 100001)
    EXPECT_EQ(lines[27], "1");           // Uppdat true as an 8-bit integer
    EXPECT_EQ(lines[36], "\x01");        // Omstart's byte
    EXPECT_EQ(lines[98], "99.125");      // Imax
    EXPECT_EQ(lines[146], "T147");       // Cykelfil is written
    EXPECT_EQ(lines[66], "-20100");      // Sn67, 16-bit: -300 * 67
    EXPECT_EQ(lines[241], "242");        // Vaxel, 8-bit: 242 % 256
    EXPECT_EQ(lines[314], "59");         // Bytetab[1]: 315 % 256 = 59
    EXPECT_EQ(lines[450], "-45100451");  // Tab10[1]: -(451 * 100001)
    EXPECT_EQ(lines[1049], "105001050"); // Tab15[100]: 1050 * 100001
}

TEST_F(SnapshotFile, TextsAreCutToTheirLength) {
    SaveFilled();
    saved.Myname = std::string(300, 'm');
    saved.Spara = "011111";
    SaveSnapshot(saved);
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1050u);
    EXPECT_EQ(lines[25], std::string(250, 'm'));
    EXPECT_EQ(lines[21], "0111");
}

TEST_F(SnapshotFile, ATextWithALineFeedEndsThereSoTheLinesStayInStep) {
    SaveFilled();
    saved.Titel = "two\nlines";
    SaveSnapshot(saved);
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1050u);
    EXPECT_EQ(lines[0], "two");
    EXPECT_EQ(lines[1], "T2");
}

TEST_F(SnapshotFile, SaveThenLoadRestoresAllButOmstartAndCykelfil) {
    SaveFilled();
    Sim loaded; // every value 0 or empty
    loaded.Omstart = false;
    loaded.Cykelfil = "open.cyk";
    Load(loaded);
    Check check;
    check.omstart = false;
    check.cykelfil = "open.cyk";
    check.sparfil = path;
    EveryVariable(loaded, check);
}

TEST_F(SnapshotFile, RealsComeBackToFifteenDigits) {
    SaveFilled();
    saved.Energi = 1e20;    // line 14
    saved.Sn6 = 0.000001;   // line 6
    saved.ttot = 2.0 / 3;   // line 32
    saved.ltot = 0.1 + 0.2; // line 41
    saved.Hojd = -1.5e-7;   // line 43
    SaveSnapshot(saved);
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1050u);
    EXPECT_EQ(lines[13], "1E20");
    EXPECT_EQ(lines[5], "1E-6");
    EXPECT_EQ(lines[31], "0.666666666666667");
    EXPECT_EQ(lines[40], "0.3");
    EXPECT_EQ(lines[42], "-1.5E-7");

    Sim loaded;
    Load(loaded);
    EXPECT_EQ(loaded.Energi, 1e20);
    EXPECT_EQ(loaded.Sn6, 0.000001);
    EXPECT_EQ(loaded.ttot, 0.666666666666667); // not 2/3: the 16th digit is gone
    EXPECT_EQ(loaded.ltot, 0.3);
    EXPECT_EQ(loaded.Hojd, -1.5e-7);
}

TEST_F(SnapshotFile, CommaDecimalsLoad) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    int changed = 0;
    for (auto& l : lines)
        if (l.size() > 4 && l.compare(l.size() - 4, 4, ".125") == 0) {
            l.replace(l.size() - 4, 1, ",");
            ++changed;
        }
    EXPECT_EQ(changed, 219); // every real line
    lines[5] = "1,5E-7";     // Sn6
    Rewrite(lines);

    Sim loaded;
    Load(loaded);
    EXPECT_EQ(loaded.Sn6, 1.5e-7);
    loaded.Sn6 = 6.125; // the value the check expects for line 6
    Check check;
    check.sparfil = path;
    EveryVariable(loaded, check);
}

TEST_F(SnapshotFile, LineFeedLineEndsLoad) {
    SaveFilled();
    Rewrite(CrLfLines(ReadFile(path)), "\n");
    Sim loaded;
    Load(loaded);
    Check check;
    check.sparfil = path;
    EveryVariable(loaded, check);
}

TEST_F(SnapshotFile, SmallIntegersTakeTheLowBits) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    lines[241] = "300";   // Vaxel: 300 - 256 = 44
    lines[147] = "  300"; // Delmat, leading blanks: 44
    lines[148] = "-1";    // Sn149: -1 & 0xFF = 255
    lines[314] = "300";   // Bytetab[1]: 44
    lines[66] = "70000";  // Sn67, 16-bit: 70000 - 65536 = 4464
    lines[27] = "256";    // Uppdat: 256 & 0xFF = 0, false
    Rewrite(lines);
    Sim loaded;
    Load(loaded);
    EXPECT_EQ(loaded.Vaxel, 44);
    EXPECT_EQ(loaded.Delmat, 44);
    EXPECT_EQ(loaded.Sn149, 255);
    EXPECT_EQ(loaded.Bytetab[1], 44);
    EXPECT_EQ(loaded.Sn67, 4464);
    EXPECT_FALSE(loaded.Uppdat);
    EXPECT_EQ(loaded.Bytetab[2], 316 % 256); // the next line in step: 60
}

TEST_F(SnapshotFile, SparaIsTakenAsStored) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    lines[21] = "1100xyz"; // first 4 characters only
    Rewrite(lines);
    Sim loaded;
    loaded.Spara = "0000";
    Load(loaded);
    EXPECT_EQ(loaded.Spara, "1100");
    EXPECT_EQ(loaded.Nsteg, -2300023); // the next line is line 23
}

TEST_F(SnapshotFile, MalformedNumbersGiveZeroAndKeepTheReadingInStep) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    lines[31] = "abc";                // ttot
    lines[22] = "12.5";               // Nsteg: no integer
    lines[40] = "";                   // ltot: empty
    lines[450] = "3000000000";        // Tab10[1]: beyond 32 bits
    lines[3] = "";                    // Smark: empty character line
    lines[0] = std::string(260, 't'); // Titel: cut to 250
    Rewrite(lines);
    Sim loaded;
    loaded.ttot = 7;
    Load(loaded);
    EXPECT_EQ(loaded.ttot, 0.0);
    EXPECT_EQ(loaded.Nsteg, 0);
    EXPECT_EQ(loaded.ltot, 0.0);
    EXPECT_EQ(loaded.Tab10[1], 0);
    EXPECT_EQ(loaded.Smark, '\0');
    EXPECT_EQ(loaded.Titel, std::string(250, 't'));
    EXPECT_EQ(loaded.Tvanta, 33.125);         // line 33 after the bad line 32
    EXPECT_EQ(loaded.Tab10[2], 452 * 100001); // line 452
}

TEST_F(SnapshotFile, LineEndBytesAsCharactersStayInStep) {
    SaveFilled();
    saved.Tangent = '\n';  // line 299
    saved.Smark = '\r';    // line 4
    saved.Startmark = ' '; // line 20
    SaveSnapshot(saved);
    std::string bytes = ReadFile(path);
    EXPECT_NE(bytes.find("\r\n298.125\r\n\n\r\n?\r\n"), std::string::npos); // lines 298-300
    Sim loaded;
    Load(loaded);
    EXPECT_EQ(loaded.Tangent, '\n');
    EXPECT_EQ(loaded.Smark, '\r');
    EXPECT_EQ(loaded.Startmark, ' ');
    EXPECT_EQ(loaded.Slinga, -500005); // line 5 after Smark
    EXPECT_EQ(loaded.Rad41, '?');      // line 300: 300 % 90 + 33 = 63
    EXPECT_EQ(loaded.Tab15[100], 105001050);
}

TEST_F(SnapshotFile, AFileThatEndsEarlyIsReportedAfterTakingItsLines) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    lines.resize(500); // lines 1 to 500: up to Tab10[50]
    Rewrite(lines);
    Sim loaded;
    loaded.Tab10[50] = 1;
    loaded.Tab10[51] = 2;
    loaded.Tab15[100] = 3;
    try {
        Load(loaded);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "Unexpected end of file at line 501");
        EXPECT_EQ(e.file(), path);
    }
    EXPECT_EQ(loaded.Tab10[50], 500 * 100001); // read before the end
    EXPECT_EQ(loaded.Tab10[51], 2);            // not there: kept
    EXPECT_EQ(loaded.Tab15[100], 3);
    EXPECT_EQ(loaded.Titel, "T1");
}

TEST_F(SnapshotFile, AnEmptyFileChangesNothing) {
    WriteFile(path, "");
    Sim loaded;
    loaded.Titel = "before";
    try {
        Load(loaded);
        FAIL() << "no error";
    } catch (const IoError& e) { EXPECT_EQ(e.text(), "Unexpected end of file at line 1"); }
    EXPECT_EQ(loaded.Titel, "before");
}

TEST_F(SnapshotFile, LinesAfterTheLastAreIgnored) {
    SaveFilled();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    lines.push_back("extra");
    Rewrite(lines);
    Sim loaded;
    Load(loaded);
    EXPECT_EQ(loaded.Tab15[100], 105001050);
}

TEST_F(SnapshotFile, MissingFileIsNotFound) {
    Sim loaded;
    loaded.Sparfil = dir / "none.txt";
    try {
        LoadSnapshot(loaded);
        FAIL() << "no error";
    } catch (const IoError& e) { EXPECT_EQ(e.text(), "File not found"); }
}

TEST_F(SnapshotFile, SaveReplacesAnOlderFileAndKeepsItsPermissions) {
    WriteFile(path, "older snapshot");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    SaveFilled();
    EXPECT_EQ(CrLfLines(ReadFile(path)).size(), 1050u);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Only the snapshot is left in the folder: no temporary file.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SnapshotFile, AFailedSaveKeepsTheOlderFile) {
    WriteFile(path, "older snapshot");
    // Limit the size of files this process may write, so the write fails
    // part way (EFBIG) instead of the process being stopped.
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    try {
        SaveFilled();
    } catch (const IoError& e) { error = e.what(); }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, IoErrorText(EFBIG) + ": " + path);
    EXPECT_EQ(ReadFile(path), "older snapshot");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SnapshotFile, SaveFailuresAreReported) {
    Sim s;
    s.Sparfil = dir / "no-folder/snap.txt";
    EXPECT_THROW(SaveSnapshot(s), IoError);
    s.Sparfil = dir.path(); // a folder
    try {
        SaveSnapshot(s);
        FAIL() << "no error";
    } catch (const IoError& e) { EXPECT_EQ(e.text(), "File access denied"); }
    s.Sparfil = "";
    EXPECT_THROW(SaveSnapshot(s), IoError);
}
