// A --cars DIR folder made from arbitrary bytes (names, kinds of entry,
// descriptions): the cars are read as a fleet study reads them, and each is
// written into a run's folder. Nothing may be opened that would wait (a
// FIFO), and nothing may be written outside the run's folder, whatever a
// car's name holds.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "carmodel/carconstants.h"
#include "fuzz/folder_support.h"
#include "studies/cars.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzfolder::Clear();
    const auto cars = fuzzfolder::Root() / "cars", run = fuzzfolder::Root() / "run" / "copy";
    fuzzfolder::Make(cars, data, size);
    std::filesystem::create_directories(run);
    std::vector<std::string> problems;
    std::vector<tralvik::studies::StudyCar> read;
    try {
        read = tralvik::studies::ReadStudyCars(cars.string(), problems);
    } catch (const std::runtime_error&) {
        return 0;
    }
    for (const auto& car : read) {
        const std::string folder = tralvik::carmodel::CarFolderName(car.desc.name);
        if (folder.empty() || folder == "." || folder == ".." || folder.find('/') != std::string::npos ||
            folder.size() > 64)
            std::abort();
        try {
            (void)tralvik::studies::MakeStudyCar(car, run.string());
        } catch (const std::runtime_error&) {
        }
    }
    // Only the run's copy was written: nothing beside it, nothing in the
    // cars' own folder but what the input made.
    for (const std::string& f : fuzzfolder::FilesBelow(fuzzfolder::Root() / "run"))
        if (f.rfind("copy/", 0) != 0) std::abort();
    return 0;
}
