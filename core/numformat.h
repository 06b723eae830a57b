// The general number format of the files the program writes: 15 significant
// digits, trailing zeros dropped, '.' always (whatever the locale).
#pragma once

#include <string>

namespace tralvik {

// Plain notation for 0 and for decimal exponents from `smallestPlain` up to 14
// (judged on the rounded value); otherwise the first digit, '.' and the other
// digits if any, 'E' and the exponent ("-" only when negative): 1E-5, 2.5E20.
// NaN and infinities are written NAN, INF and -INF.
std::string FormatGeneral15(double v, int smallestPlain);

} // namespace tralvik
