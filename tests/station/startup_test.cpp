#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "config/Startup.h"
#include "fake_platform.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;
using tralvik::testing::FakePlatform;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;

TEST(Bilmodell, PartAfterTheLastSeparator) {
    EXPECT_EQ(DeriveBilmodell("C:\\sim\\Kombi"), "Kombi");
    EXPECT_EQ(DeriveBilmodell("C:\\sim\\"), "");
    EXPECT_EQ(DeriveBilmodell("Kombi"), "Kombi");
    EXPECT_EQ(DeriveBilmodell("/home/eva/sim/Kombi"), "Kombi");
}

TEST(Title, ThreeForms) {
    Sim s;
    s.Myname = "Eva";
    s.Bilmodell = "Kombi";
    s.Titel = "Min k\xF6rning";
    Text one = TitleForm1(s);
    Text two = TitleForm2(s);
    Text three = TitleForm3(s);
    const Text body = "Eva   Bilmodell: Kombi";
    ASSERT_EQ(one.rfind("Tralvik Ver 2.1    " + body + "   ", 0), 0u);
    ASSERT_EQ(two.rfind("Tralvik Ver 2.0    " + body + "   ", 0), 0u);
    ASSERT_EQ(three.rfind("Min k\xF6rning    " + body + "   ", 0), 0u);
    // The author line: the same in all three, form 1 adds the date.
    Text author2 = two.substr(("Tralvik Ver 2.0    " + body).size());
    Text author3 = three.substr(("Min k\xF6rning    " + body).size());
    Text author1 = one.substr(("Tralvik Ver 2.1    " + body).size());
    EXPECT_EQ(author2, author3);
    EXPECT_EQ(author1.rfind(author2, 0), 0u);
    EXPECT_GT(author1.size(), author2.size());
}

namespace {

// Runs the test inside a temporary working directory.
class InDir {
  public:
    explicit InDir(const std::string& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InDir() { std::filesystem::current_path(old_); }

  private:
    std::filesystem::path old_;
};

} // namespace

TEST(Startup, MissingConstantsFileStopsAtTheReadWithTheStepsBeforeDone) {
    TempDir dir;
    WriteFile(dir / "ljud.tab", "motor.wav\n");
    InDir in(dir.path());
    FakePlatform p;
    Sim s;
    Station st(p);
    st.Ljud = true;
    s.Resstat = 'K';
    s.Nsteg = 5;
    try {
        StartupBeforePictures(s, st);
        FAIL() << "no error";
    } catch (const IoError& e) { EXPECT_EQ(e.text(), "File not found"); }
    EXPECT_EQ(s.clock, &p.clock);
    EXPECT_EQ(st.Ljudnamn[1], "motor.wav");
    EXPECT_FALSE(st.Ljud);
    EXPECT_EQ(s.Progmapp, std::filesystem::canonical(dir.path()).string());
    EXPECT_EQ(s.Startmark, 'S'); // the state was reset
    EXPECT_EQ(s.Resstat, '-');
    EXPECT_EQ(s.Resstatp, '-');
    EXPECT_EQ(p.opened, (std::vector<Text>{s.Progmapp + "/Air.mid"}));
    EXPECT_EQ(s.Konsfil, "CONS.VAL");
    EXPECT_FALSE(s.Forstlast); // the steps after the read did not run
}
