#include "files/Ssparvar.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/numformat.h"
#include "core/paths.h"
#include "core/savefile.h"

namespace tralvik {

std::string FormatSnapshotReal(double v) {
    // Plain from 0.00001 up to 15 integer digits.
    return FormatGeneral15(v, -5);
}

namespace {

// Renders the layout into the file's bytes.
struct SnapshotWriter {
    std::string out;

    void End() { out += "\r\n"; }
    void TextLine(Text& t, std::size_t max) {
        // A line feed inside a text would split its line and put every later
        // value at the wrong line; the text ends there instead.
        out += t.substr(0, std::min(max, t.find('\n')));
        End();
    }
    void CharLine(char& c) {
        out += c;
        End();
    }
    void IntLine(int32_t& x) {
        out += std::to_string(x);
        End();
    }
    void IntLine(int16_t& x) {
        out += std::to_string(x);
        End();
    }
    void IntLine(uint8_t& x) {
        out += std::to_string(static_cast<unsigned>(x));
        End();
    }
    void FlagLine(bool& b) {
        out += b ? '1' : '0';
        End();
    }
    void RealLine(double& x) {
        out += FormatSnapshotReal(x);
        End();
    }
    void OmstartLine(bool& b) {
        out += static_cast<char>(b ? 1 : 0);
        End();
    }
    void CykelfilLine(Text& t) { TextLine(t, kTextMax); }
};

} // namespace

void SaveSnapshot(Sim& s) {
    SnapshotWriter w;
    SnapshotLayout(s, w);
    WriteFileReplacing(s.Sparfil, w.out);
}

} // namespace tralvik
