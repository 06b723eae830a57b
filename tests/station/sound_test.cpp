#include <gtest/gtest.h>

#include "fake_platform.h"
#include "station/Sound.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;
using tralvik::testing::FakePlatform;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;

TEST(SoundBand, StrictBoundsEveryFiveMetresPerSecond) {
    EXPECT_EQ(SoundBand(0), 1);
    EXPECT_EQ(SoundBand(0.001), 1);
    EXPECT_EQ(SoundBand(5.0), 1); // 5 m/s and less: band 1
    EXPECT_EQ(SoundBand(5.000001), 2);
    EXPECT_EQ(SoundBand(10.0), 2);
    EXPECT_EQ(SoundBand(10.01), 3);
    EXPECT_EQ(SoundBand(20.5), 5);
    EXPECT_EQ(SoundBand(45.0), 9);
    EXPECT_EQ(SoundBand(45.01), 10);
    EXPECT_EQ(SoundBand(80), 10);
    EXPECT_EQ(SoundBand(-3), 1);
}

TEST(SoundTable, LinesTakenUnchangedMissingOnesStayBlaha) {
    TempDir dir;
    WriteFile(dir / "ljud.tab", "tomgang.wav\r\nstad.wav  \r\n\r\n");
    FakePlatform p;
    Station st(p);
    LoadSoundTable(st, dir / "ljud.tab");
    EXPECT_EQ(st.Ljudnamn[1], "tomgang.wav");
    EXPECT_EQ(st.Ljudnamn[2], "stad.wav  "); // trailing blanks kept
    EXPECT_EQ(st.Ljudnamn[3], "");           // an empty line is a name too
    for (int k = 4; k <= 10; ++k) EXPECT_EQ(st.Ljudnamn[k], "Blaha") << k;
}

TEST(SoundTable, OnlyTheFirstTenLines) {
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 12; ++i) text += "s" + std::to_string(i) + ".wav\n";
    WriteFile(dir / "ljud.tab", text);
    FakePlatform p;
    Station st(p);
    LoadSoundTable(st, dir / "ljud.tab");
    EXPECT_EQ(st.Ljudnamn[1], "s1.wav");
    EXPECT_EQ(st.Ljudnamn[10], "s10.wav");
}

TEST(SoundTable, NoFileAllBlaha) {
    TempDir dir;
    FakePlatform p;
    Station st(p);
    st.Ljudnamn[4] = "old.wav";
    LoadSoundTable(st, dir / "ljud.tab");
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(st.Ljudnamn[k], "Blaha") << k;
}

namespace {

class SoundTest : public ::testing::Test {
  protected:
    TempDir dir;
    FakePlatform p;
    Sim s;
    Station st{p};
    void SetUp() override {
        WriteFile(dir / "low.wav", "RIFF");
        WriteFile(dir / "mid.wav", "RIFF");
        s.Progmapp = dir.path();
        st.Ljudnamn[1] = "low.wav";
        st.Ljudnamn[2] = "mid.wav";
        st.Ljudnamn[3] = "none.wav"; // does not exist
        s.Ljudsteg = 0;
        st.Ljud = true;
    }
    std::string Path(const char* name) { return dir.path() + "/" + name; }
};

} // namespace

TEST_F(SoundTest, StartsOnABandChangeOnly) {
    s.v = 5.0; // band 1
    SelectSound(s, st);
    EXPECT_EQ(p.calls,
              (std::vector<std::string>{"media stop", "media close", "media open", "media play"}));
    EXPECT_EQ(p.opened, (std::vector<Text>{Path("low.wav")}));
    EXPECT_EQ(s.Ljudsteg, 1);

    s.v = 2; // same band: nothing restarts
    SelectSound(s, st);
    EXPECT_EQ(p.plays, 1);

    s.v = 5.01; // band 2
    SelectSound(s, st);
    EXPECT_EQ(p.opened.back(), Path("mid.wav"));
    EXPECT_EQ(s.Ljudsteg, 2);
}

TEST_F(SoundTest, MissingFileIsSilentButRemembered) {
    s.v = 7; // band 2
    SelectSound(s, st);
    s.v = 12; // band 3: no file
    SelectSound(s, st);
    EXPECT_EQ(p.plays, 1);
    EXPECT_EQ(s.Ljudsteg, 3);
    s.v = 7; // back to band 2: its sound starts again
    SelectSound(s, st);
    EXPECT_EQ(p.plays, 2);
    EXPECT_EQ(p.opened.back(), Path("mid.wav"));
}

TEST_F(SoundTest, SoundOffDoesNothingAndKeepsTheBand) {
    s.v = 7;
    SelectSound(s, st);
    ToggleSound(st); // off
    EXPECT_FALSE(st.Ljud);
    s.v = 1;
    SelectSound(s, st);
    EXPECT_EQ(s.Ljudsteg, 2);
    EXPECT_EQ(p.plays, 1);
    // Off and on again in the same band: no restart.
    ToggleSound(st);
    s.v = 7;
    SelectSound(s, st);
    EXPECT_EQ(p.plays, 1);
}

TEST_F(SoundTest, ToggleCaptionNamesTheNextAction) {
    st.Ljud = false;
    ToggleSound(st);
    EXPECT_TRUE(st.Ljud);
    ToggleSound(st);
    EXPECT_FALSE(st.Ljud);
    EXPECT_EQ(p.captions, (std::vector<Text>{"Tyst", "Ljud p\xE5"}));
}

TEST_F(SoundTest, MediaFailureIsShownOnceAndTheBandStillCounts) {
    p.failMediaOpen = true;
    s.v = 3;
    EXPECT_NO_THROW(SelectSound(s, st));
    EXPECT_EQ(s.Ljudsteg, 1);
    s.v = 8;
    EXPECT_NO_THROW(SelectSound(s, st));
    EXPECT_EQ(s.Ljudsteg, 2);
    EXPECT_EQ(p.errors.size(), 1u);
}

TEST_F(SoundTest, StopWithoutAnOpenDeviceDoesNotKeepTheSoundFromStarting) {
    p.failMediaStop = true; // the start-up sound could not be opened
    s.v = 3;
    SelectSound(s, st);
    EXPECT_EQ(p.plays, 1);
    EXPECT_TRUE(p.errors.empty());
}

TEST_F(SoundTest, StartupOpensAirMidWithoutPlaying) {
    OpenStartupSound(s, st);
    EXPECT_EQ(p.opened, (std::vector<Text>{dir.path() + "/Air.mid"}));
    EXPECT_EQ(p.plays, 0);
    p.failMediaOpen = true;
    EXPECT_NO_THROW(OpenStartupSound(s, st));
    EXPECT_EQ(p.errors.size(), 1u);
}
