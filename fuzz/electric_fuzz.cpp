// Arbitrary bytes as an electric car's ELDRIFT.TAB: read with the constants
// of the bundled electric car, and when they are taken, a few hundred steps
// of the drive on the map, whose look-ups run on the tables the bytes hold.
#include <filesystem>

#include "config/Ffetch.h"
#include "core/Bber.h"
#include "core/stages.h"
#include "fuzz/support.h"

using namespace tralvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    const std::string source = TRALVIK_SOURCE_DIR "/data/";
    static const bool copied = [&] {
        // The car's other tables and the constants, once per process.
        fs::create_directories(fuzz::Folder() + "/Elbil");
        for (const char* f : {"Elbil/FORDON.TAB", "Elbil/MOTOR.TAB", "Elbil/VAXEL.TAB", "KARTA.CYK"})
            fs::copy_file(source + f, fuzz::Folder() + "/" + f, fs::copy_options::overwrite_existing);
        fs::copy_file(source + "ELBIL.VAL", fuzz::Folder() + "/CONS.VAL", fs::copy_options::overwrite_existing);
        return true;
    }();
    (void)copied;
    fuzz::WriteFile("Elbil/ELDRIFT.TAB", data, size);
    Sim s;
    ResetState(s);
    s.Progmapp = fuzz::Folder() + "/";
    s.Konsfil = fuzz::Folder() + "/CONS.VAL";
    try {
        ReadConstants(s);
        if (!HasElectricDrive(s)) std::abort(); // a car folder with the table has the drive, or is refused
        s.Tidsmod = 'D';
        s.Dt = 0.5;
        s.Cykeltyp = 'K';
        for (int step = 1; step <= 300; ++step) {
            s.Nsteg = step;
            ComputeStep(s);
        }
    } catch (const IoError&) {
    } catch (const TableAbort&) {
    }
    return 0;
}
