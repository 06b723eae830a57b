// A platform that records what the station asks of it.
#pragma once

#include <string>
#include <vector>

#include "station/Platform.h"

namespace tralvik::testing {

// A clock that stands still at 10:00 unless a test moves it.
class StillClock : public Clock {
  public:
    int64_t ms = 36'000'000;
    ClockReading Read() override {
        ClockReading r;
        r.millisecond = static_cast<int>(ms % 1000);
        r.second = static_cast<int>(ms / 1000 % 60);
        r.minute = static_cast<int>(ms / 60000 % 60);
        r.hour = static_cast<int>(ms / 3600000);
        ++ms; // every reading a millisecond later, so no wait loop spins
        return r;
    }
};

class FakePlatform : public Platform {
  public:
    std::vector<std::string> calls; // in order
    std::vector<std::string> errors;
    std::vector<Text> messages;
    std::vector<Text> titles;
    std::vector<Text> captions;
    std::vector<Text> opened; // media files opened
    int plays = 0;
    bool timer = false;
    bool failMediaOpen = false;
    bool failMediaStop = false;
    StillClock clock;

    void SetTimer(bool on) override {
        timer = on;
        calls.push_back(on ? "timer on" : "timer off");
    }
    bool TimerEnabled() const override { return timer; }
    void ShowError(const std::string& utf8) override {
        errors.push_back(utf8);
        calls.push_back("error");
    }
    void ShowMessage(const Text& text) override {
        messages.push_back(text);
        calls.push_back("message " + text);
    }
    void ClearKeyBox() override { calls.push_back("clear key box"); }
    void FocusKeyBox() override { calls.push_back("focus key box"); }
    void SetTitle(const Text& t) override {
        titles.push_back(t);
        calls.push_back("title");
    }
    void SetSoundCaption(const Text& c) override { captions.push_back(c); }
    std::optional<Text> OpenFileDialog(const FileDialogSpec&) override { return std::nullopt; }
    std::optional<Text> SaveFileDialog(const FileDialogSpec&) override { return std::nullopt; }
    void MediaOpen(const Text& f) override {
        calls.push_back("media open");
        if (failMediaOpen) throw MediaError("cannot open " + f);
        opened.push_back(f);
    }
    void MediaPlay() override {
        calls.push_back("media play");
        ++plays;
    }
    void MediaStop() override {
        calls.push_back("media stop");
        if (failMediaStop) throw MediaError("no device open");
    }
    void MediaClose() override { calls.push_back("media close"); }
    Clock& GetClock() override { return clock; }
    void TimeStepBegins() override { calls.push_back("time step"); }
};

} // namespace tralvik::testing
