// The recording reader of --replay and --compare on arbitrary text: either
// events, or a refusal that names the file and line.
#include <string>

#include "station/Recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        auto events = tralvik::ParseRecording(text, "in.rec");
        for (const auto& e : events)
            if (e.tick < 0) __builtin_trap(); // ticks count from 0
    } catch (const tralvik::RecordingError& e) {
        if (std::string(e.what()).rfind("in.rec:", 0) != 0) __builtin_trap();
    }
    return 0;
}
