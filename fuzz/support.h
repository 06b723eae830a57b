// Shared pieces of the fuzz targets: a private folder for the files a target
// writes, a drawing surface that draws nothing, and a simulation set up on
// the bundled default car.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Vvaria.h"
#include "core/numread.h"
#include "station/Surface.h"

namespace tralvik::fuzz {

// One folder per process, in memory where the system has such a folder (the
// targets write a file per input), removed at exit.
inline const std::string& Folder() {
    static char name[64]; // outlives the exit handler
    static const std::string path = [] {
        std::strcpy(name, "/dev/shm/tralvik-fuzz-XXXXXX");
        if (!::mkdtemp(name)) {
            std::strcpy(name, "/tmp/tralvik-fuzz-XXXXXX");
            if (!::mkdtemp(name)) std::abort();
        }
        std::atexit([] { std::system((std::string("rm -rf '") + name + "'").c_str()); });
        return std::string(name);
    }();
    return path;
}

// Writes the bytes to `name` in the folder and returns the full name.
inline std::string WriteFile(const std::string& name, const uint8_t* data, size_t size) {
    std::string full = Folder() + "/" + name;
    std::FILE* f = std::fopen(full.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return full;
}

// Takes fixed-size values from the front of the input; zeros once it is used up.
class Bytes {
  public:
    Bytes(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    template <class T> T Take() {
        T v{};
        size_t k = n_ < sizeof v ? n_ : sizeof v;
        std::memcpy(&v, d_, k);
        d_ += k;
        n_ -= k;
        return v;
    }
    const uint8_t* data() const { return d_; }
    size_t size() const { return n_; }

  private:
    const uint8_t* d_;
    size_t n_;
};

// The bundled default car and map, with the reset state and the constants
// of the default CONS.VAL that the stages read.
inline void DefaultCar(Sim& s) {
    const std::string data = TRALVIK_SOURCE_DIR "/data/";
    ResetState(s);
    s.Progmapp = Folder();
    s.Bilmapp = data + "Mellanbil";
    s.Tford = data + "Mellanbil/FORDON.TAB";
    s.Tforb = data + "Mellanbil/MOTOR.TAB";
    s.Tvx = data + "Mellanbil/VAXEL.TAB";
    s.Tkarta = data + "KARTA.CYK";
    s.Ttidd = data + "cykler/NEDC.CYK";
    s.Cykeltyp = 'K';
    s.Massa = s.Massatab = 1300;
    s.CdA = s.CdAtab = 0.65;
    s.Imax = s.Rad17 = 750;
    s.Fbmax = 10000;
    s.Phjalp = 400;
    s.Tank = s.Bensin = 50;
    s.Brannv = 8.9;
    s.Tathet = 0.745;
    s.Nmax = 6500;
    s.Dt = s.Dtcykel = 0.04;
    s.Fulltid = 100000;
    s.Fullangd = 100000;
    s.Vagkrokar = 'J';
    s.Startmark = 'G';
}

// A simulation kept from one input to the next, with every value of the
// state and the constants set afresh for each input to what `setup` gave
// once, and no cycle or result file left open. Its parsed tables stay:
// parsing the bundled tables, and making and closing the kernel's watch
// (which waits for the kernel's grace period), took most of each input's
// time. A table the input rewrites is seen as changed and read again.
inline Sim& FreshSim(void (*setup)(Sim&)) {
    static Sim* const base = [setup] {
        auto* b = new Sim;
        setup(*b);
        return b;
    }();
    static Sim* const s = new Sim;
    static_cast<Constants&>(*s) = *base;
    static_cast<SimState&>(*s) = *base;
    s->cycle.reset();
    s->results.CloseResult();
    s->results.CloseResultP();
    s->results.failed = s->results.failedP = false;
    return *s;
}

inline Sim& FreshDefaultCar() { return FreshSim(DefaultCar); }

} // namespace tralvik::fuzz
