// The two snapshot menu commands: dialogs, timer, pause flag, panel set-up and
// the report of a failure.
#include <gtest/gtest.h>

#include "core/paths.h"
#include "files/Ggetvari.h"
#include "files/Snapshot.h"
#include "files/Ssparvar.h"
#include "fill.h"
#include "tests/station/fake_platform.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;
using tralvik::testing::CrLfLines;
using tralvik::testing::FakePlatform;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;
using Calls = std::vector<std::string>;

namespace {

// The fake platform with dialogs that answer as the test says.
class DialogPlatform : public FakePlatform {
  public:
    std::optional<Text> answer; // nothing: the user cancels
    std::vector<FileDialogSpec> shown;
    std::optional<Text> OpenFileDialog(const FileDialogSpec& d) override {
        shown.push_back(d);
        calls.push_back("open dialog");
        return answer;
    }
    std::optional<Text> SaveFileDialog(const FileDialogSpec& d) override {
        shown.push_back(d);
        calls.push_back("save dialog");
        return answer;
    }
};

class SnapshotCommand : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir / "snap.txt";
    DialogPlatform p;
    Sim s;
    Station st{p};

    // A state whose time step is plain arithmetic: fixed Dt, no result files.
    static void Prepare(Sim& sim, FakePlatform& platform) {
        ResetState(sim);
        sim.clock = &platform.clock;
        sim.Spara = "0000";
        sim.Resstat = '-';
        sim.Resstatp = '-';
        sim.Tidsmod = 'D'; // Dt stays as it is
        sim.Dt = 0.5;
    }
    void SetUp() override { Prepare(s, p); }

    // A run under way: 50 ticks, timer on.
    void Running() {
        s.Nsteg = 50;
        s.Startmark = 'G';
        s.ttot = 10;
        p.timer = true;
    }
    // Writes a snapshot of another simulation to `path`: Nsteg 1234, ttot 100.
    void WriteOther(const std::function<void(Sim&)>& change = nullptr) {
        FakePlatform other;
        Sim o;
        Prepare(o, other);
        o.Nsteg = 1234;
        o.Startmark = 'G';
        o.ttot = 100;
        o.Titel = "other";
        if (change) change(o);
        o.Sparfil = path;
        SaveSnapshot(o);
    }
};

} // namespace

TEST_F(SnapshotCommand, SaveDuringARunGoesOn) {
    Running();
    p.answer = path;
    MSaveAs2Click(s, st);
    EXPECT_EQ(p.calls,
              (Calls{"timer off", "save dialog", "time step", "title", "time step", "timer on"}));
    EXPECT_TRUE(p.errors.empty());
    EXPECT_TRUE(p.timer);
    EXPECT_FALSE(s.Omstart); // cleared by the panel set-up
    EXPECT_EQ(s.Sparfil, path);
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1050u);
    EXPECT_EQ(lines[36], "\x01"); // saved while the command held the run
    EXPECT_EQ(lines[31], "10");   // ttot as it was when saved
    // Then two time steps at Dt 0.5 (the command's and the panel set-up's):
    // 10 + 0.5 + 0.5 = 11.
    EXPECT_EQ(s.ttot, 11.0);
    // The dialog is plain: no title, filter or extension.
    ASSERT_EQ(p.shown.size(), 1u);
    EXPECT_EQ(p.shown[0].title, "");
    EXPECT_EQ(p.shown[0].filter, "");
    EXPECT_EQ(p.shown[0].defaultExt, "");
}

TEST_F(SnapshotCommand, SaveDuringAPauseResumesTheRun) {
    Running();
    p.timer = false; // paused with Stopp/Start
    s.Omstart = true;
    p.answer = path;
    MSaveAs2Click(s, st);
    EXPECT_TRUE(p.timer);
    EXPECT_FALSE(s.Omstart);
}

TEST_F(SnapshotCommand, SaveBeforeStartDoesNotStartTheRun) {
    p.answer = path; // Nsteg 0, timer off, Omstart false
    MSaveAs2Click(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "save dialog", "time step"}));
    EXPECT_FALSE(p.timer);
    EXPECT_FALSE(s.Omstart);
    EXPECT_EQ(CrLfLines(ReadFile(path)).size(), 1050u);
}

TEST_F(SnapshotCommand, CancelledSaveWritesNothingAndTheRunGoesOn) {
    Running();
    s.Sparfil = "before.txt";
    MSaveAs2Click(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "save dialog", "title", "time step", "timer on"}));
    EXPECT_EQ(s.Sparfil, "before.txt");
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(s.Omstart);
}

TEST_F(SnapshotCommand, CancelledSaveLeavesAPausedRunPaused) {
    Running();
    p.timer = false;
    s.Omstart = true;
    MSaveAs2Click(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "save dialog"}));
    EXPECT_FALSE(p.timer);
    EXPECT_TRUE(s.Omstart);
    EXPECT_EQ(s.ttot, 10.0); // no time step ran
}

TEST_F(SnapshotCommand, FailedSavePausesTheRunAndReportsOnce) {
    Running();
    p.answer = dir / "no-folder/snap.txt";
    MSaveAs2Click(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "save dialog", "error"}));
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0], "File not found: " + dir / "no-folder/snap.txt");
    EXPECT_FALSE(p.timer);
    EXPECT_TRUE(s.Omstart); // Stopp/Start resumes
}

TEST_F(SnapshotCommand, LoadDuringARunContinuesFromTheLoadedState) {
    Running();
    WriteOther();
    p.answer = path;
    GetVarClick(s, st);
    EXPECT_EQ(p.calls,
              (Calls{"timer off", "open dialog", "time step", "title", "time step", "timer on"}));
    EXPECT_TRUE(p.errors.empty());
    EXPECT_TRUE(p.timer);
    EXPECT_FALSE(s.Omstart);
    EXPECT_EQ(s.Nsteg, 1234);
    EXPECT_EQ(s.Startmark, 'G');
    EXPECT_EQ(s.Titel, "other");
    // The loaded ttot 100 plus two steps at Dt 0.5: 101.
    EXPECT_EQ(s.ttot, 101.0);
    EXPECT_EQ(s.Sparfil, path); // line 98 as stored
}

TEST_F(SnapshotCommand, LoadBeforeStartWaitsForStart) {
    WriteOther(); // Nsteg here: 0
    p.answer = path;
    GetVarClick(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "open dialog", "time step"}));
    EXPECT_FALSE(p.timer);
    EXPECT_FALSE(s.Omstart);
    EXPECT_EQ(s.Startmark, 'S'); // the first tick sets the panel up
    EXPECT_EQ(s.Nsteg, 1234);
    // Loaded with Startmark 'G', so the command's own step counts: 100 + 0.5.
    EXPECT_EQ(s.ttot, 100.5);
}

TEST_F(SnapshotCommand, LoadAfterStartBeforeTheFirstTickKeepsTheTimerOn) {
    WriteOther();
    p.timer = true; // START has run, no tick yet: Nsteg 0
    p.answer = path;
    GetVarClick(s, st);
    EXPECT_TRUE(p.timer);
    EXPECT_EQ(s.Startmark, 'S');
}

TEST_F(SnapshotCommand, LoadedSparaSwitchesTheResultFilesOn) {
    Running();
    WriteOther([&](Sim& o) {
        o.Spara = "1100";
        o.Tresultat = dir / "res.txt";
        o.Tresultatp = dir / "resp.txt";
    });
    p.answer = path;
    GetVarClick(s, st);
    EXPECT_TRUE(p.errors.empty());
    EXPECT_EQ(s.Spara, "1100");
    EXPECT_EQ(s.Resstat, 'K');
    EXPECT_EQ(s.Resstatp, 'K');
    EXPECT_TRUE(FileExists(dir / "res.txt"));
    EXPECT_TRUE(FileExists(dir / "resp.txt"));
}

TEST_F(SnapshotCommand, FailedLoadPausesTheRunAndReportsOnce) {
    Running();
    p.answer = dir / "none.txt";
    GetVarClick(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "open dialog", "error"}));
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0], "File not found: " + dir / "none.txt");
    EXPECT_FALSE(p.timer);
    EXPECT_TRUE(s.Omstart);
    EXPECT_EQ(s.Nsteg, 50);
}

TEST_F(SnapshotCommand, ShortFileIsReportedWithItsLine) {
    Running();
    WriteOther();
    std::vector<std::string> lines = CrLfLines(ReadFile(path));
    lines.resize(23); // up to Nsteg
    std::string bytes;
    for (auto& l : lines) bytes += l + "\r\n";
    WriteFile(path, bytes);
    p.answer = path;
    GetVarClick(s, st);
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0], "Unexpected end of file at line 24: " + path);
    EXPECT_FALSE(p.timer);
    EXPECT_TRUE(s.Omstart);
    EXPECT_EQ(s.Nsteg, 1234); // line 23 was read
    EXPECT_EQ(s.ttot, 10.0);  // line 32 was not
}

TEST_F(SnapshotCommand, CancelledLoadReadsNothing) {
    Running();
    GetVarClick(s, st);
    EXPECT_EQ(p.calls, (Calls{"timer off", "open dialog", "title", "time step", "timer on"}));
    EXPECT_EQ(s.Nsteg, 50);
    EXPECT_TRUE(p.timer);
    EXPECT_FALSE(s.Omstart);
}
