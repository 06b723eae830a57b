// The --input parser of tralvik-batch on arbitrary text.
#include <string>

#include "run/input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto events = tralvik::run::ParseInput(text, "in.txt", error);
    if (!events && error.empty()) __builtin_trap(); // a failure always says why
    return 0;
}
