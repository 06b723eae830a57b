#include <gtest/gtest.h>

#include "fake_platform.h"
#include "files/RRFIL.h"
#include "station/Sound.h"
#include "station/Tick.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;
using tralvik::testing::FakePlatform;
using tralvik::testing::TempDir;

namespace {

class TickTest : public ::testing::Test {
  protected:
    FakePlatform p;
    Sim s;
    Station st{p};
    std::vector<char> seen; // Tangent as each computation step found it
    int steps = 0;

    void SetUp() override {
        ResetState(s);
        s.Resstat = '-';
        s.Resstatp = '-';
        s.Spara = "0000";
        s.clock = &p.clock;
        s.Tidsmod = 'D'; // Dt stays as it is; the clock is not needed
        s.Dt = 0.04;
        s.ttot = 0.01;
        s.ltot = 0.01;
        s.Fulltid = 1000;
        s.Fullangd = 100000;
        s.Bensin = 30;
        st.computeStep = [this](Sim& sim) {
            ++steps;
            seen.push_back(sim.Tangent);
        };
        p.timer = true; // as START leaves it
    }

    void Tick() { Timer1Timer(s, st); }
};

} // namespace

TEST_F(TickTest, KeyCStaysUntilAnotherKeyWhichActsOnce) {
    Edit1KeyPress(s, 'C');
    Tick();
    Tick();
    Tick();
    Edit1KeyPress(s, 'x');
    Tick();
    Tick();
    EXPECT_EQ(seen, (std::vector<char>{'C', 'C', 'C', 'x', '.'}));
}

TEST_F(TickTest, LowerCaseCStaysToo) {
    Edit1KeyPress(s, 'c');
    Tick();
    Tick();
    EXPECT_EQ(seen, (std::vector<char>{'c', 'c'}));
    EXPECT_EQ(s.Tangent, 'c');
}

TEST_F(TickTest, TwoKeysBetweenTicksOnlyTheLastActs) {
    Edit1KeyPress(s, 'a');
    Edit1KeyPress(s, 'b');
    Tick();
    Edit1KeyPress(s, '8');
    Edit1KeyPress(s, '8'); // pressed twice: acts once
    Tick();
    Tick();
    EXPECT_EQ(seen, (std::vector<char>{'b', '8', '.'}));
}

TEST_F(TickTest, MousePositionIsRecorded) {
    FormMouseMove(s, 120, 200);
    EXPECT_EQ(s.MusX, 120);
    EXPECT_EQ(s.MusY, 200);
}

TEST_F(TickTest, FirstTickSetsThePanelUpThenRuns) {
    ASSERT_EQ(s.Startmark, 'S');
    Tick();
    EXPECT_EQ(s.Nsteg, 1);
    EXPECT_EQ(s.Startmark, 'G');
    EXPECT_FALSE(s.Omstart);
    // Set-up (title, its time step), the step's time step, then the key box.
    EXPECT_EQ(p.calls, (std::vector<std::string>{"title", "time step", "time step", "clear key box",
                                                 "focus key box"}));
    p.calls.clear();
    Tick();
    EXPECT_EQ(s.Nsteg, 2);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"time step", "clear key box", "focus key box"}));
    EXPECT_EQ(steps, 2);
}

TEST_F(TickTest, CounterBelowOneAfterIncrementSetsThePanelUpAgain) {
    s.Startmark = 'G';
    s.Nsteg = -1; // as a snapshot may leave it
    Tick();
    EXPECT_EQ(s.Nsteg, 0);
    EXPECT_EQ(p.titles.size(), 1u); // the set-up ran
    EXPECT_EQ(s.Startmark, 'G');
    Tick();
    EXPECT_EQ(s.Nsteg, 1);
    EXPECT_EQ(p.titles.size(), 1u);
}

TEST_F(TickTest, FuelStopBelowZeroNotAtZero) {
    s.Stopptom = 'j'; // letter case ignored
    st.computeStep = [](Sim& sim) { sim.Bensin = 0; };
    Tick();
    EXPECT_TRUE(p.timer);
    EXPECT_TRUE(p.messages.empty());
    st.computeStep = [](Sim& sim) { sim.Bensin = -0.001; };
    Tick();
    EXPECT_FALSE(p.timer);
    EXPECT_EQ(p.messages, (std::vector<Text>{"Bensinstopp"}));
}

TEST_F(TickTest, NoFuelStopWithoutStopptom) {
    s.Stopptom = 'N';
    st.computeStep = [](Sim& sim) { sim.Bensin = -5; };
    Tick();
    EXPECT_TRUE(p.timer);
    EXPECT_TRUE(p.messages.empty());
}

TEST_F(TickTest, FuelStopNeedsTwoStoppStartPressesAndStopsAgain) {
    s.Stopptom = 'J';
    st.computeStep = [](Sim& sim) { sim.Bensin = -0.5; };
    Tick();
    ASSERT_FALSE(p.timer);
    std::size_t titles = p.titles.size();

    StClick(s, st); // the timer is already off: only the pause flag
    EXPECT_TRUE(s.Omstart);
    EXPECT_FALSE(p.timer);
    EXPECT_EQ(p.titles.size(), titles);

    StClick(s, st); // resumes: panel set-up (with its time step), timer on
    EXPECT_FALSE(s.Omstart);
    EXPECT_TRUE(p.timer);
    EXPECT_EQ(p.titles.size(), titles + 1);

    Tick(); // still below zero
    EXPECT_FALSE(p.timer);
    EXPECT_EQ(p.messages.size(), 2u);
}

TEST_F(TickTest, StoppStartPausesAndResumes) {
    StClick(s, st);
    EXPECT_TRUE(s.Omstart);
    EXPECT_FALSE(p.timer);
    p.calls.clear();
    StClick(s, st);
    EXPECT_FALSE(s.Omstart);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"title", "time step", "timer on"}));
}

TEST_F(TickTest, EndedRunOnlyEvaluatesTheSound) {
    TempDir dir;
    tralvik::testing::WriteFile(dir / "low.wav", "RIFF");
    s.Progmapp = dir.path();
    st.Ljudnamn[1] = "low.wav";
    st.Ljud = true;
    s.v = 3; // band 1
    s.Nsteg = 7;
    s.Startmark = 'G';
    s.Tangent = 'x';
    s.ttot = 1000; // reaches Fulltid
    p.calls.clear();
    EXPECT_EQ(Timer1Timer(s, st), TickOutcome::RunEnded);
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(s.Nsteg, 7);
    EXPECT_EQ(s.Tangent, 'x');
    EXPECT_TRUE(p.timer); // the timer keeps running
    EXPECT_EQ(p.calls,
              (std::vector<std::string>{"media stop", "media close", "media open", "media play"}));
    EXPECT_EQ(s.Ljudsteg, 1);
}

TEST_F(TickTest, TickThatReachesTheEndIsStillComputedTheNextIsNot) {
    st.computeStep = [this](Sim& sim) {
        ++steps;
        sim.ttot = sim.ttot + 600; // 0.01 -> 600.01 -> 1200.01 >= 1000
    };
    EXPECT_EQ(Timer1Timer(s, st), TickOutcome::Computed);
    EXPECT_EQ(Timer1Timer(s, st), TickOutcome::Computed);
    EXPECT_EQ(Timer1Timer(s, st), TickOutcome::RunEnded);
    EXPECT_EQ(steps, 2);
}

TEST_F(TickTest, RunEndClosesAnOpenResultFile) {
    TempDir dir;
    s.Spara = "1000";
    s.Tresultat = dir / "RES.TXT";
    OpenResultFiles(s);
    ASSERT_EQ(s.Resstat, 'K');
    s.Mod = 100;
    Tick();
    EXPECT_EQ(s.Resstat, '-');
    EXPECT_EQ(s.results.result, nullptr);
}

TEST_F(TickTest, FailureInATickPausesTheRunAndIsShownOnce) {
    TempDir dir;
    tralvik::testing::WriteFile(dir / "low.wav", "RIFF");
    s.Progmapp = dir.path();
    st.Ljudnamn[1] = "low.wav";
    st.Ljud = true;
    Edit1KeyPress(s, 'G');
    st.computeStep = [](Sim&) { throw IoError("File not found", "/sim/Kombi/GEAR.TAB"); };
    EXPECT_EQ(Timer1Timer(s, st), TickOutcome::Failed);
    EXPECT_FALSE(p.timer);
    EXPECT_TRUE(s.Omstart);
    EXPECT_EQ(p.errors, (std::vector<std::string>{"File not found: /sim/Kombi/GEAR.TAB"}));
    EXPECT_EQ(s.Tangent, 'G');     // the tick ended at the failure: the key is still there
    EXPECT_TRUE(p.opened.empty()); // and no sound was selected

    // Stopp/Start resumes the paused run with one press.
    st.computeStep = [this](Sim& sim) { seen.push_back(sim.Tangent); };
    StClick(s, st);
    EXPECT_TRUE(p.timer);
    Tick();
    EXPECT_EQ(seen, (std::vector<char>{'G'}));
    EXPECT_EQ(p.errors.size(), 1u);
}

TEST_F(TickTest, SoundIsChosenOnTheFuelStopTick) {
    TempDir dir;
    tralvik::testing::WriteFile(dir / "mid.wav", "RIFF");
    s.Progmapp = dir.path();
    st.Ljudnamn[3] = "mid.wav";
    st.Ljud = true;
    s.Stopptom = 'J';
    st.computeStep = [](Sim& sim) {
        sim.Bensin = -1;
        sim.v = 12; // band 3
    };
    Tick();
    EXPECT_FALSE(p.timer);
    EXPECT_EQ(p.opened, (std::vector<Text>{dir.path() + "/mid.wav"}));
    EXPECT_EQ(p.plays, 1);
}
