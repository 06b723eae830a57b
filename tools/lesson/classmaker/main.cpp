// classmaker DATA OUT: a class of 30 students' drives for trying the class
// run as a teacher would, recorded in the window (off-screen, on the
// simulated clock) from a copy of the simulation folder DATA into the new
// folder OUT: 25 students on the folder's petrol car and 3 on the diesel
// (DIESEL.VAL loaded before START), in their own ways of driving; names with
// Å, Ä, Ö, spaces and underscores, one recording named .REC, two recordings
// cut short as a killed window leaves them, and one file that is no
// recording.
#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/ScriptedDrive.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: classmaker DATA OUT\n"
                             "  records a class of 30 drives from a copy of the folder DATA into\n"
                             "  the new folder OUT (OUT/klass), for tralvik-batch --class\n");
        return 2;
    }
    const fs::path data = fs::absolute(argv[1]), out = fs::absolute(argv[2]);
    std::error_code ec;
    if (!fs::exists(data / "CONS.VAL") || !fs::exists(data / "DIESEL.VAL")) {
        std::fprintf(stderr, "classmaker: %s holds no CONS.VAL and DIESEL.VAL\n", data.c_str());
        return 2;
    }
    if (fs::exists(out, ec)) {
        std::fprintf(stderr, "classmaker: %s exists already; name a new folder\n", out.c_str());
        return 2;
    }
    fs::create_directories(out / "klass");
    // The window writes its result files where it runs: in a copy.
    fs::copy(data, out / "run", fs::copy_options::recursive);
    fs::current_path(out / "run");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    struct Student {
        std::string file;
        tralvik::DriveStyle style;
    };
    const char* names[] = {"Åsa Berg", "Örjan",  "Ärla Lind", "lisa m",  "lisa_m",  "Ågren",  "Ögren", "Bo",
                           "Cilla",    "David",  "Erik",      "Fatima",  "Gustav",  "Hanna",  "Ida",   "Jonas",
                           "Karin",    "Leo",    "Maja",      "Nils",    "Olivia",  "Per",    "Rut",   "Sven",
                           "Tove",     "Ulla",   "Viktor",    "Wilma",   "Yusuf",   "Zara"};
    std::vector<Student> students;
    for (int k = 0; k < 30; ++k) {
        Student s;
        s.file = names[k];
        s.file += k == 10 ? ".REC" : ".rec";
        // Calm to aggressive (10 to 40 kW asked for), some braking hard,
        // drives of one to two minutes.
        s.style.power = 20 + (k * 7) % 61;
        s.style.brake = (k % 4) * 3;
        s.style.brakeAt = 600 + (k * 37) % 900;
        s.style.ticks = 1500 + (k * 53) % 1500;
        s.style.name = nullptr; // the recording's file name names the student
        if (k >= 27) s.style.load = "DIESEL.VAL";
        students.push_back(s);
    }
    for (const Student& s : students) {
        const fs::path rec = out / "klass" / fs::u8path(s.file);
        tralvik::RecordScriptedDrive(rec.string(), s.style);
        std::printf("%s: %d ticks%s\n", s.file.c_str(), s.style.ticks, s.style.load ? ", diesel" : "");
    }
    // Two windows killed mid-drive: their files end halfway between START
    // and the end, inside a line.
    for (const char* cut : {"Fatima.rec", "Gustav.rec"}) {
        const fs::path rec = out / "klass" / cut;
        std::ifstream in(rec, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t start = text.find(" start\n"), at = start + (text.size() - start) / 2 + 3;
        fs::resize_file(rec, at);
        std::printf("%s: cut at byte %zu of %zu\n", cut, at, text.size());
    }
    std::ofstream(out / "klass" / "anteckningar.txt") << "Lektion 3: kör lugnt först, sedan snabbt.\n";
    fs::current_path(out);
    fs::remove_all(out / "run");
    std::printf("classmaker: 30 drives and a note in %s\n", (out / "klass").c_str());
    return 0;
}
