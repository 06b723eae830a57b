// The recording of a drive: what the recorder writes reads back as the same
// events, and a damaged recording is refused naming its line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../support/temp_dir.h"
#include "station/Recording.h"

#include <fstream>
#include <iterator>

using namespace tralvik;
using tralvik::testing::TempDir;

TEST(Recording, WrittenEventsReadBackTheSame) {
    TempDir dir;
    // A loaded file of every byte value, so that its content goes over
    // several data lines and ends in a partial base64 group.
    std::string content;
    for (int i = 0; i < 256; ++i) content += static_cast<char>(i);
    content += "x";
    dir.Write("DIESEL.VAL", content);
    const std::string loaded = dir / "DIESEL.VAL";
    {
        Recorder r(dir / "drive.rec");
        r.Start();
        r.Key(' ');
        r.Key('%');
        r.Key('-');
        r.Key('\xE4');
        r.Mouse(-3, 599);
        r.Clock({10, 0, 0, 40});
        r.TickBegins();
        r.Clock({123, 59, 58, 7}); // the day clock goes on past 23 hours
        r.TickEnds();
        r.HoldMenu("load-constants");
        r.TickBegins(); // a tick while the dialog is open comes first
        r.TickEnds();
        r.Dialog(false, loaded);
        r.Dialog(true, Text("a b\\c.VAL"));
        r.Dialog(false, std::nullopt);
        r.Dialog(false, dir / "gone.VAL");
        r.PanelApply(PanelKind::Program, {"", "7200", "-", "K 1", "\xE4ndra"});
        r.PanelClose(PanelKind::Manual);
        r.End("0123456789abcdef");
    }
    std::vector<RecordedEvent> e = ReadRecording(dir / "drive.rec");
    ASSERT_EQ(e.size(), 18u);
    EXPECT_EQ(e[0].kind, RecKind::Start);
    std::string keys;
    for (int i = 1; i <= 4; ++i) keys += e[i].key;
    EXPECT_EQ(keys, " %-\xE4");
    EXPECT_EQ(e[5].kind, RecKind::Mouse);
    EXPECT_EQ(e[5].x, -3);
    EXPECT_EQ(e[5].y, 599);
    EXPECT_EQ(e[6].clock.millisecond, 40);
    EXPECT_EQ(e[7].kind, RecKind::Tick);
    EXPECT_EQ(e[7].tick, 1);
    EXPECT_EQ(e[8].clock.hour, 123);
    EXPECT_EQ(e[8].clock.second, 58);
    EXPECT_EQ(e[8].clock.millisecond, 7);
    EXPECT_EQ(e[9].kind, RecKind::Tick);
    EXPECT_EQ(e[9].tick, 2);
    EXPECT_EQ(e[10].kind, RecKind::Menu);
    EXPECT_EQ(e[10].word, "load-constants");
    EXPECT_EQ(e[10].tick, 3);
    EXPECT_EQ(e[11].fields, std::vector<Text>{loaded});
    EXPECT_EQ(e[11].content, content);
    EXPECT_EQ(e[12].word, "save");
    EXPECT_EQ(e[12].fields, std::vector<Text>{"a b\\c.VAL"});
    EXPECT_EQ(e[13].word, "cancel");
    EXPECT_EQ(e[14].word, "open");
    EXPECT_FALSE(e[14].content); // the file did not exist
    EXPECT_EQ(e[15].kind, RecKind::PanelApply);
    EXPECT_EQ(e[15].fields, (std::vector<Text>{"", "7200", "-", "K 1", "\xE4ndra"}));
    EXPECT_EQ(e[16].kind, RecKind::PanelClose);
    EXPECT_EQ(e[16].word, "manual");
    EXPECT_EQ(e[17].kind, RecKind::End);
    EXPECT_EQ(e[17].word, "0123456789abcdef");
}

struct Damaged {
    const char* text;
    const char* error;
};

class RecordingDamaged : public ::testing::TestWithParam<Damaged> {};

TEST_P(RecordingDamaged, IsRefusedNamingTheLine) {
    try {
        ParseRecording(GetParam().text, "r.rec");
        FAIL() << "accepted";
    } catch (const RecordingError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RecordingDamaged,
    ::testing::Values(
        Damaged{"", "r.rec:1: tom fil, ingen inspelning"},
        Damaged{"hello\n", "r.rec:1: ingen inspelning (första raden ska vara 'tralvik-recording 2')"},
        Damaged{"tralvik-recording 1\n1 tick\nx key 8\n",
                "r.rec:3: ett stegnummer (1 eller mer) väntades, här står 'x'"},
        Damaged{"tralvik-recording 1\n2 tick\n1 tick\n", "r.rec:3: steg 1 kommer efter steg 2"},
        Damaged{"tralvik-recording 1\n1 key 88\n", "r.rec:2: en tangent är ett tecken"},
        Damaged{"tralvik-recording 1\n1 key %G1\n", "r.rec:2: felaktig %-kod i '%G1'"},
        Damaged{"tralvik-recording 1\n1 clock 10:00:00\n",
                "r.rec:2: en klockavläsning är HH:MM:SS.mmm, här står '10:00:00'"},
        Damaged{"tralvik-recording 1\n1 mouse 3\n", "r.rec:2: 'mouse' tar 2 värde(n), här står 1"},
        Damaged{"tralvik-recording 1\n1 panel-close boot\n", "r.rec:2: okänd ruta 'boot'"},
        Damaged{"tralvik-recording 1\n1 honk\n", "r.rec:2: okänd händelse 'honk'"},
        Damaged{"tralvik-recording 1\n1 content 3 0\n", "r.rec:2: 'content' ska följa en 'dialog open'-rad"},
        Damaged{"tralvik-recording 1\n1 dialog open A\n1 content 3 e71fe3190541574b\n1 data QUJD\n",
                "r.rec:3: dataraderna ger inte innehållets storlek och kontrollsumma"},
        Damaged{"tralvik-recording 1\n1 clock 2147483647:00:00.000\n",
                "r.rec:2: en klockavläsning utanför gränserna: '2147483647:00:00.000' (timmar 0 till 99999, "
                "minuter och sekunder 0 till 59)"},
        Damaged{"tralvik-recording 1\n1 clock 10:61:00.000\n",
                "r.rec:2: en klockavläsning utanför gränserna: '10:61:00.000' (timmar 0 till 99999, "
                "minuter och sekunder 0 till 59)"},
        Damaged{"tralvik-recording 1\n1 dialog open A\n1 content 99999999999 0\n",
                "r.rec:3: ett innehåll större än 64 MB"},
        Damaged{"tralvik-recording 1\n1 file A 99999999999 0\n", "r.rec:2: ett innehåll större än 64 MB"}));

// A recording cut short anywhere reads as the events before the cut: a
// half-written last line and a content whose data lines stop are left out.
TEST(Recording, CutShortReadsUpToTheCut) {
    const std::string whole = "tralvik-recording 1\n1 start\n1 tick\n1 clock 10:00:00.040\n"
                              "2 dialog open A\n2 content 3 " + Fnv64("ABC") + "\n2 data QUJD\n";
    const std::pair<std::size_t, std::size_t> cuts[] = {{whole.size() - 3, 3},
                                                        {whole.find("2 content"), 3},
                                                        {whole.find("2 data") + 4, 3},
                                                        {whole.find("0.040") + 2, 2}};
    for (auto [cut, events] : cuts) {
        std::vector<RecordedEvent> e = ParseRecording(whole.substr(0, cut), "r.rec");
        ASSERT_EQ(e.size(), events) << cut;
        EXPECT_NE(e.back().kind, RecKind::Dialog) << cut;
    }
    EXPECT_EQ(ParseRecording(whole, "r.rec").size(), 4u);
}

// Endless inputs are refused as the tables refuse them.
// Endless, blocking and oversized recordings are refused without reading
// them whole (a FIFO without a writer would block the open for ever).
TEST(Recording, SpecialAndOversizedFilesAreRefused) {
    TempDir dir;
    const std::string fifo = dir / "fifo.rec", big = dir / "big.rec";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    dir.Write("big.rec", "");
    ASSERT_EQ(::truncate(big.c_str(), kMaxInputBytes + 1), 0); // sparse: takes no room
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/zero", "Ingen vanlig fil: /dev/zero"},
        {fifo, "Ingen vanlig fil: " + fifo},
        {big, "Filen är för stor (mer än 64 MB): " + big}};
    for (const auto& [file, message] : cases) {
        try {
            ReadRecording(file);
            ADD_FAILURE() << file << " was read";
        } catch (const RecordingError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(Recording, NeverOverwritesAFile) {
    TempDir dir;
    dir.Write("drive.rec", "an earlier drive");
    EXPECT_THROW(Recorder(dir / "drive.rec"), RecordingExists);
    std::ifstream in(dir / "drive.rec");
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "an earlier drive");
}
