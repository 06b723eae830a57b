#include "config/Ssparkonst.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "config/ConstantsLayout.h"
#include "core/numformat.h"
#include "core/paths.h"
#include "core/savefile.h"

namespace tralvik {

std::string FormatConstantNumber(double v) {
    // Plain from 0.0001 up to below 10^15.
    return FormatGeneral15(v, -4);
}

void WriteConstants(Sim& s) {
    std::string out;
    auto line = [&](const std::string& t) { out += t + "\r\n"; };
    auto number = [&](double v) { line(FormatConstantNumber(v)); };
    auto letter = [&](char c) { line(std::string(1, c)); };

    for (const ConstantLine& c : ConstantsLayout()) {
        if (c.savedEmpty || c.kind == LineKind::Unused) // a saved file starts a run afresh
            line("");
        else if (c.text)
            line(s.*c.text);
        else if (c.number)
            number(s.*c.number);
        else if (c.letter)
            letter(s.*c.letter);
        else if (c.mode)
            letter(s.*c.mode == 20 ? 'A' : 'M');
    }

    // Through a temporary file and a rename: a failed save (a full disk)
    // leaves the file it would have replaced as it was.
    WriteFileReplacing(s.Sparfil, out);
}

} // namespace tralvik
