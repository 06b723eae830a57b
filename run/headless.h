// The platform of the batch runner: no window, a simulated or real clock,
// messages and errors on stderr.
#pragma once

#include <functional>
#include <cstdint>
#include <cstdio>
#include <string>

#include "station/Platform.h"
#include "station/Surface.h"
#include "station/RealClock.h"

namespace tralvik::run {

// The simulated clock: a whole number of milliseconds, starting at 10:00.
// BeginTick() moves it 40 ms on. The first reading of each time step returns
// it unchanged; every further reading of the same step (a re-read of the
// step's wait loop) moves it 1 ms on first. Readings are split into hours,
// minutes, seconds and milliseconds like the real clock's, so that the time
// step composes them the same way.
class SimulatedClock : public Clock {
  public:
    static constexpr int64_t kStartMs = 36'000'000;
    void BeginTick() {
        ms_ += 40;
        fresh_ = true;
    }
    void BeginTimeStep() { fresh_ = true; }
    ClockReading Read() override {
        if (!fresh_) ms_ += 1;
        fresh_ = false;
        return SplitMilliseconds(ms_);
    }
    int64_t Milliseconds() const { return ms_; }

  private:
    int64_t ms_ = kStartMs;
    bool fresh_ = true;
};

// The progress bar on stderr (only when stderr is a terminal).
class Progress {
  public:
    explicit Progress(bool enabled) : enabled_(enabled) {}
    bool Enabled() const { return enabled_; }
    void Draw(double fraction, int64_t tick, double ttot);
    void Clear();

  private:
    bool enabled_;
    bool shown_ = false;
};

class HeadlessPlatform : public Platform {
  public:
    HeadlessPlatform(Clock& clock, SimulatedClock* simulated, Progress& progress)
        : clock_(clock), simulated_(simulated), progress_(progress) {}

    // The tick about to run (0 before the first), for the messages.
    int64_t currentTick = 0;
    // Whose run the messages are of, when a command runs more than one
    // ("inbyggd förare"); empty: the run's own.
    std::string who;
    // The lesson's runs speak Swedish: "steg N:" before a message.
    bool swedish = false;
    // An input/output error has been shown.
    bool failed = false;
    // Says what lies behind an error when its message alone would mislead
    // (nothing: the message as it is).
    std::function<std::string(const std::string&)> explain;

    void SetTimer(bool enabled) override { timer_ = enabled; }
    bool TimerEnabled() const override { return timer_; }
    void ShowError(const std::string& utf8) override;
    void ShowMessage(const Text& text) override;
    void ClearKeyBox() override {}
    void FocusKeyBox() override {}
    void SetTitle(const Text& title) override { title_ = title; }
    void SetSoundCaption(const Text&) override {}
    // No one answers a dialog, unless the runner has put a name here for the
    // next one (--snapshot, --load).
    std::optional<Text> dialogAnswer;
    std::optional<Text> OpenFileDialog(const FileDialogSpec&) override { return TakeAnswer(); }
    std::optional<Text> SaveFileDialog(const FileDialogSpec&) override { return TakeAnswer(); }
    // Nothing is played without a window.
    void MediaOpen(const Text&) override {}
    void MediaPlay() override {}
    void MediaStop() override {}
    void MediaClose() override {}
    Clock& GetClock() override { return clock_; }
    void TimeStepBegins() override {
        if (simulated_) simulated_->BeginTimeStep();
    }
    void TableAborted(const std::string& utf8, bool written) override;

    const Text& Title() const { return title_; }

  private:
    std::optional<Text> TakeAnswer() {
        auto a = dialogAnswer;
        dialogAnswer.reset();
        return a;
    }
    std::string Where() const;
    Clock& clock_;
    SimulatedClock* simulated_;
    Progress& progress_;
    bool timer_ = false;
    bool messageShown_ = false;
    Text message_;
    Text title_;
};

} // namespace tralvik::run
