// The constants reader on arbitrary bytes as CONS.VAL, then the values it
// took through the steps that convert them.
#include "config/Ffetch.h"
#include "core/Bber.h"
#include "fuzz/support.h"

using namespace tralvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sim s;
    ResetState(s);
    s.Progmapp = fuzz::Folder();
    s.Konsfil = fuzz::WriteFile("CONS.VAL", data, size);
    try {
        ReadConstants(s);
    } catch (const IoError&) {
        return 0;
    }
    return 0;
}
