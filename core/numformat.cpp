#include "core/numformat.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tralvik {

std::string FormatGeneral15(double v, int smallestPlain) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";

    // 15 significant digits, correctly rounded, independent of the C locale.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
    std::string sci(buf, r.ptr); // d.ddddddddddddde[+-]xx
    std::size_t epos = sci.find('e');
    int exponent = std::atoi(sci.c_str() + epos + 1);
    std::string digits = sci.substr(0, 1) + sci.substr(2, epos - 2);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = v < 0 ? "-" : "";
    // The range test uses the rounded value, so 999999999999999.9 becomes 1E15.
    if (exponent >= smallestPlain && exponent < 15) {
        if (exponent < 0) {
            out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        } else {
            std::size_t intLen = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= intLen)
                out += digits + std::string(intLen - digits.size(), '0');
            else
                out += digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

} // namespace tralvik
