#include <gtest/gtest.h>

#include "batch/options.h"

using namespace tralvik::batch;
using namespace tralvik::run;

namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* err = nullptr) {
    std::string e;
    auto o = ParseOptions(args, e);
    if (err) *err = e;
    return o;
}

std::optional<std::vector<InputEvent>> Input(const std::string& text, std::string* err = nullptr) {
    std::string e;
    auto r = ParseInput(text, "drive.txt", e);
    if (err) *err = e;
    return r;
}

} // namespace

TEST(BatchOptions, Defaults) {
    auto o = Parse({});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->dir, ".");
    EXPECT_FALSE(o->realtime);
    EXPECT_FALSE(o->ticks);
    EXPECT_EQ(o->inputFile, "");
    EXPECT_FALSE(o->spara);
    EXPECT_FALSE(o->json);
    EXPECT_FALSE(o->quiet);
    EXPECT_FALSE(o->help);
}

TEST(BatchOptions, EveryOptionAndTheFolder) {
    auto o = Parse({"--realtime", "--ticks", "250", "--input", "drive.txt", "--spara", "1100",
                    "--json", "--quiet", "sim/kombi"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->realtime);
    EXPECT_EQ(o->ticks, 250);
    EXPECT_EQ(o->inputFile, "drive.txt");
    EXPECT_EQ(o->spara, "1100");
    EXPECT_TRUE(o->json);
    EXPECT_TRUE(o->quiet);
    EXPECT_EQ(o->dir, "sim/kombi");
}

TEST(BatchOptions, ValuesAfterAnEqualsSign) {
    auto o = Parse({"--ticks=7", "--spara=10", "--input=in.txt"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->ticks, 7);
    EXPECT_EQ(o->spara, "10");
    EXPECT_EQ(o->inputFile, "in.txt");
}

TEST(BatchOptions, Help) {
    auto o = Parse({"--help"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->help);
    std::string help = HelpText();
    for (const char* word :
         {"--ticks", "--realtime", "--input", "--spara", "--json", "--quiet", "--help", "SPACE",
          "mouse", "ERROR.TAB", "36000", "fuel_l_per_100km", "interrupted"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(BatchOptions, UsageErrors) {
    std::string err;
    EXPECT_FALSE(Parse({"--ticks"}, &err));
    EXPECT_EQ(err, "option --ticks needs a value");
    EXPECT_FALSE(Parse({"--ticks", "ten"}, &err));
    EXPECT_EQ(err, "--ticks needs a whole number of ticks, 0 or more, not 'ten'");
    EXPECT_FALSE(Parse({"--ticks", "-3"}, &err));
    EXPECT_FALSE(Parse({"--ticks", "12x"}, &err));
    EXPECT_FALSE(Parse({"--fast"}, &err));
    EXPECT_EQ(err, "unknown option '--fast'");
    EXPECT_FALSE(Parse({"--json=yes"}, &err));
    EXPECT_EQ(err, "option --json takes no value");
}

TEST(BatchOptions, SeveralFoldersAndStudyOptions) {
    // Several folders are a study now (they were once a usage error).
    auto o = Parse({"a", "--set", "Massa=1200", "b", "--sweep=CdA=0.6,0.7", "--jobs", "2",
                    "--keep", "k", "--csv", "r.csv", "--snapshot", "0:s.txt"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->dir, "a");
    EXPECT_EQ(o->dirs, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(o->sets.size(), 1u);
    EXPECT_EQ(o->sets[0].value, "1200");
    ASSERT_EQ(o->sweeps.size(), 1u);
    EXPECT_EQ(o->sweeps[0].values, (std::vector<std::string>{"0.6", "0.7"}));
    EXPECT_EQ(o->jobs, 2);
    EXPECT_EQ(o->keep, "k");
    EXPECT_EQ(o->snapshot->tick, 0);
    EXPECT_TRUE(o->Study());
    std::string err;
    EXPECT_FALSE(Parse({"--set", "Vikt=3"}, &err));
    EXPECT_FALSE(Parse({"--jobs", "0"}, &err));
}

TEST(BatchOptions, PageIsTheOlderNameOfReportWithCompare) {
    auto o = Parse({"--compare", "d.rec", "--page", "cmp.html", "data"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->report, "cmp.html");
    std::string err;
    EXPECT_FALSE(Parse({"--compare", "d.rec", "--page", "a.html", "--report", "b.html"}, &err));
    EXPECT_EQ(err, "--page is the older name of --report; give one of them");
    EXPECT_FALSE(Parse({"--page", "a.html"}, &err));
    EXPECT_EQ(err, "--page goes with --compare");
}

// A replay runs the drive's own ticks, switches and drawing: the options
// that would change them are refused, not ignored; --frame and --series go.
TEST(BatchOptions, ReplayRefusesWhatItCannotHonour) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--replay", "d.rec", "--ticks", "5"}, "--replay does not take --ticks: a replay runs the ticks of the drive"},
        {{"--compare", "d.rec", "--spara", "1110"},
         "--compare does not take --spara: the recording holds the save switches of the drive"},
        {{"--replay", "d.rec", "--no-draw"},
         "--replay does not take --no-draw: a replay draws as the window did (the ditch and collision "
         "tests need the pixels)"},
        {{"--class", "klass", "--ticks", "5", "--report", "k.html"},
         "--class does not take --ticks: a replay runs the ticks of the drive"},
        {{"--class", "klass"}, "--class needs --report FILE.html for the class page"},
        {{"--class", "klass", "--compare", "d.rec"}, "--class goes without --replay and --compare"},
        {{"--compare", "d.rec", "--in-place"}, "--in-place goes with --replay"},
        {{"--replay", "d.rec", "--in-place", "--out", "o"}, "--out and --in-place do not go together"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_FALSE(Parse(c.args, &err)) << c.error;
        EXPECT_EQ(err, c.error);
    }
    auto o = Parse({"--replay", "d.rec", "--frame", "10:f.png", "--series", "s.csv", "--out", "o", "data"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->frames.size(), 1u);
    EXPECT_EQ(o->series, "s.csv");
    EXPECT_EQ(o->out, "o");
}

TEST(BatchOptions, DoubleDashEndsTheOptions) {
    auto o = Parse({"--", "--odd-folder"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->dir, "--odd-folder");
}

TEST(BatchInput, KeysMouseCommentsAndOrder) {
    auto ev = Input("# a drive\n"
                    "12 8\n"
                    "5 SPACE   # engine back to the cycle\n"
                    "\n"
                    "5 mouse 300 -20\r\n"
                    "7 space\n"
                    "12 >\n");
    ASSERT_TRUE(ev);
    ASSERT_EQ(ev->size(), 5u);
    // Ordered by tick, file order kept within a tick.
    EXPECT_EQ((*ev)[0].tick, 5);
    EXPECT_FALSE((*ev)[0].mouse);
    EXPECT_EQ((*ev)[0].key, ' ');
    EXPECT_EQ((*ev)[1].tick, 5);
    EXPECT_TRUE((*ev)[1].mouse);
    EXPECT_EQ((*ev)[1].x, 300);
    EXPECT_EQ((*ev)[1].y, -20);
    EXPECT_EQ((*ev)[2].tick, 7);
    EXPECT_EQ((*ev)[2].key, ' ');
    EXPECT_EQ((*ev)[3].tick, 12);
    EXPECT_EQ((*ev)[3].key, '8');
    EXPECT_EQ((*ev)[4].tick, 12);
    EXPECT_EQ((*ev)[4].key, '>');
}

TEST(BatchInput, KeyIsOneWindows1252Character) {
    auto ev = Input("3 \xC3\xA5\n"); // UTF-8 for a-ring
    ASSERT_TRUE(ev);
    EXPECT_EQ((*ev)[0].key, '\xE5');
    ev = Input("3 ?\n");
    ASSERT_TRUE(ev);
    EXPECT_EQ((*ev)[0].key, '?');
    // M alone is the key M, not the start of a mouse line.
    ev = Input("3 M\n");
    ASSERT_TRUE(ev);
    EXPECT_FALSE((*ev)[0].mouse);
    EXPECT_EQ((*ev)[0].key, 'M');
}

TEST(BatchInput, MalformedLinesNameTheLine) {
    std::string err;
    EXPECT_FALSE(Input("1 a\nx b\n", &err));
    EXPECT_EQ(err, "drive.txt:2: expected a tick number (1 or more) at the start, found 'x'");
    EXPECT_FALSE(Input("0 a\n", &err));
    EXPECT_EQ(err, "drive.txt:1: expected a tick number (1 or more) at the start, found '0'");
    EXPECT_FALSE(Input("\n\n4\n", &err));
    EXPECT_EQ(err, "drive.txt:3: a key or 'mouse X Y' must follow the tick number");
    EXPECT_FALSE(Input("4 ab\n", &err));
    EXPECT_EQ(err, "drive.txt:1: a key is one character (or SPACE), found 'ab'");
    EXPECT_FALSE(Input("4 a b\n", &err));
    EXPECT_EQ(err, "drive.txt:1: expected 'TICK KEY': one key per line");
    EXPECT_FALSE(Input("4 mouse 10\n", &err));
    EXPECT_EQ(err, "drive.txt:1: expected 'TICK mouse X Y'");
    EXPECT_FALSE(Input("4 mouse 10 y\n", &err));
    EXPECT_EQ(err, "drive.txt:1: mouse position must be two whole numbers, found '10 y'");
    EXPECT_FALSE(Input("4 \xE2\x82\xAC\xE2\x82\xAC\n", &err)); // two euro signs
    EXPECT_FALSE(Input("4 \xE2\x88\x9E\n", &err));             // not in Windows-1252
    EXPECT_EQ(err, "drive.txt:1: a key is one character (or SPACE), found '\xE2\x88\x9E'");
    // '#' starts a comment only at the start of a word, so '#' is no key.
    EXPECT_FALSE(Input("4 #\n", &err));
    EXPECT_EQ(err, "drive.txt:1: a key or 'mouse X Y' must follow the tick number");
}

TEST(BatchInput, UnreadableFile) {
    std::string err;
    EXPECT_FALSE(ReadInputFile("/nonexistent/drive.txt", err));
    EXPECT_EQ(err, "cannot read driver input '/nonexistent/drive.txt': File not found");
    // Endless: refused instead of growing until killed.
    EXPECT_FALSE(ReadInputFile("/dev/zero", err));
    EXPECT_EQ(err, "cannot read driver input '/dev/zero': Not a regular file");
}
