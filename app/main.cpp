// Program entry: creates the main window and runs the message loop.
#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "app/Ravek.h"

namespace {

const char* const kHelp =
    "Usage: tralvik [--record FILE]\n"
    "Starts the simulator window in the current folder (the one holding CONS.VAL).\n"
    "\n"
    "  --record FILE  write every input of the drive to FILE (clock readings, keys,\n"
    "                 mouse, menu actions, loaded files, panel edits), so that\n"
    "                 'tralvik-batch --replay FILE DIR' runs it again exactly and\n"
    "                 'tralvik-batch --compare FILE DIR' sets it beside the\n"
    "                 built-in driver. The recording ends when the window closes\n"
    "                 (also on SIGINT or SIGTERM).\n"
    "  --help         this text\n";

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    (void)!::write(gSignalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char** argv) {
    std::string record;
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
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "tralvik: unknown option '%s'\nTry 'tralvik --help'.\n", a.c_str());
            return 2;
        }
        // Qt's own options (-platform, -style ...) pass on to QApplication.
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("ravek");
    tralvik::TForm1 form;
    if (!record.empty()) {
        try {
            form.Record(record);
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
