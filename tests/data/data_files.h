// Where the bundled data lies, and a fresh simulation state to read it with.
#pragma once

#include <memory>
#include <string>

#include "core/Vvaria.h"

namespace tralvik::datatest {

inline std::string DataDir() {
    return std::string(TRALVIK_SOURCE_DIR) + "/data";
}
inline std::string DataPath(const std::string& rel) {
    return DataDir() + "/" + rel;
}
inline std::string ToolsPath(const std::string& rel) {
    return std::string(TRALVIK_SOURCE_DIR) + "/tools/" + rel;
}

// A reset state whose working directory is data/, as when the simulator is
// started there.
inline std::unique_ptr<Sim> FreshSim() {
    auto s = std::make_unique<Sim>();
    ResetState(*s);
    s->Progmapp = DataDir();
    return s;
}

// The two bundled car folders.
struct CarFolder {
    const char* name;
    double nmax; // rpm, as in the car's constants file
};
inline constexpr CarFolder kCars[] = {{"Mellanbil", 6500}, {"Dieselkombi", 4750}};

} // namespace tralvik::datatest
