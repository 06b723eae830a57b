#include "run/stop.h"

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace tralvik::run {

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnStop(int sig) {
    gStop = sig;
}

} // namespace

void InstallStopHandler() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStop;
    sa.sa_flags = SA_RESETHAND; // a second signal ends the program at once
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

int StopSignal() {
    return gStop;
}

void ResetStopSignal() {
    gStop = 0;
}

} // namespace tralvik::run
