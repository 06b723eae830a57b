#include "run/headless.h"

#include <cmath>

#include "core/paths.h"

namespace tralvik::run {

void Progress::Draw(double fraction, int64_t tick, double ttot) {
    if (!enabled_) return;
    if (!(fraction >= 0)) fraction = 0;
    if (fraction > 1) fraction = 1;
    constexpr int kWidth = 30;
    int filled = static_cast<int>(fraction * kWidth);
    std::string bar(filled, '#');
    bar.append(kWidth - filled, '.');
    std::fprintf(stderr, "\r[%s] %3d%%  tick %lld  t = %.1f s\033[K", bar.c_str(),
                 static_cast<int>(fraction * 100), static_cast<long long>(tick), ttot);
    std::fflush(stderr);
    shown_ = true;
}

void Progress::Clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

std::string HeadlessPlatform::Where() const {
    return currentTick > 0 ? (swedish ? "steg " : "tick ") + std::to_string(currentTick) + ": " : std::string();
}

void HeadlessPlatform::ShowError(const std::string& utf8) {
    progress_.Clear();
    std::string shown = explain ? explain(utf8) : std::string();
    std::fprintf(stderr, "tralvik-batch: %s%s\n", Where().c_str(),
                 shown.empty() ? utf8.c_str() : shown.c_str());
    failed = true;
}

void HeadlessPlatform::ShowMessage(const Text& text) {
    if (messageShown_ && text == message_) return;
    messageShown_ = true;
    message_ = text;
    progress_.Clear();
    std::fprintf(stderr, "%s%s%s\n", who.empty() ? "" : (who + ", ").c_str(), Where().c_str(),
                 Cp1252ToUtf8(text).c_str());
}

void HeadlessPlatform::TableAborted(const std::string& utf8, bool written) {
    progress_.Clear();
    std::fprintf(stderr, "tralvik-batch: %sERROR.TAB %s:\n%s\n", Where().c_str(),
                 written ? "written" : "could not be written", utf8.c_str());
    std::fflush(stderr);
}

} // namespace tralvik::run
