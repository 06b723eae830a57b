// Program entry: creates the main window and runs the message loop.
#include <QApplication>

#include "app/Swedish.h"
#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "app/Ravek.h"

namespace {

const char* const kHelp =
    "Usage: tralvik [--record FILE] [--spara XXXX]\n"
    "Starts the simulator window in the current folder (the one holding CONS.VAL).\n"
    "\n"
    "  --record FILE  write every input of the drive to FILE (clock readings, keys,\n"
    "                 mouse, menu actions, loaded files, panel edits), so that\n"
    "                 'tralvik-batch --replay FILE DIR' runs it again exactly and\n"
    "                 'tralvik-batch --compare FILE DIR' sets it beside the\n"
    "                 built-in driver. The recording ends when the window closes\n"
    "                 (also on SIGINT or SIGTERM). An existing FILE is never\n"
    "                 overwritten: the next free name (FILE-2, FILE-3 ...) is taken\n"
    "                 (a name without an ending gets .rec; a folder is refused)\n"
    "                 and said; the window's title shows the recording.\n"
    "  --spara XXXX   the four save switches (0 or 1 each, e.g. 1110: both result\n"
    "                 files on), set after start-up as Konstanter ->\n"
    "                 Programkonstanter sets them; CONS.VAL is read as always.\n"
    "  --help         this text\n";

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    (void)!::write(gSignalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char** argv) {
    std::string record;
    std::optional<std::string> spara;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--record" && i + 1 < argc) {
            record = argv[++i];
        } else if (a.rfind("--record=", 0) == 0) {
            record = a.substr(9);
        } else if (a == "--record") {
            std::fprintf(stderr, "tralvik: --record needs a file name\nTry 'tralvik --help'.\n");
            return 2;
        } else if (a == "--spara" || a.rfind("--spara=", 0) == 0) {
            std::string v;
            if (a == "--spara" && i + 1 < argc) v = argv[++i];
            else if (a != "--spara") v = a.substr(8);
            if (v.size() != 4 || v.find_first_not_of("01") != std::string::npos) {
                std::fprintf(stderr, "tralvik: --spara needs four switches of 0 or 1 (e.g. 1110), not '%s'\n"
                                     "Try 'tralvik --help'.\n", v.c_str());
                return 2;
            }
            spara = v;
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "tralvik: unknown option '%s'\nTry 'tralvik --help'.\n", a.c_str());
            return 2;
        }
        // Qt's own options (-platform, -style ...) pass on to QApplication.
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("ravek");
    tralvik::SpeakSwedish();
    tralvik::TForm1 form;
    if (spara) form.spara = *spara;
    if (!record.empty()) {
        // A folder is no recording's name (it was recorded to "klass-2",
        // which no class run sees); a name without ".rec" gets it, so that
        // the class run finds the drive.
        std::error_code ec;
        if (std::filesystem::is_directory(record, ec)) {
            std::fprintf(stderr, "tralvik: --record %s is a folder; give the recording's file name in it, "
                                 "e.g. %s/anna.rec\n", record.c_str(), record.c_str());
            return 2;
        }
        if (std::filesystem::path(record).extension().string().empty()) record += ".rec";
        try {
            std::string used = form.Record(record);
            if (used != record)
                std::fprintf(stderr, "tralvik: %s exists already (it is not overwritten); recording to %s\n",
                             record.c_str(), used.c_str());
        } catch (const tralvik::RecordingError& e) {
            std::fprintf(stderr, "tralvik: %s\n", e.what());
            return 2;
        }
        // A signal closes the window as the close box does, so the
        // recording and the result files are complete.
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) == 0) {
            auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
            QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
                char c;
                (void)!::read(gSignalPipe[0], &c, 1);
                QApplication::quit();
            });
            std::signal(SIGTERM, OnSignal);
            std::signal(SIGINT, OnSignal);
        }
    }
    form.show();
    return app.exec();
}
