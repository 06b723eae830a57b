// The gradient stage: keys L, l, F, K, T and the gradient in force.
#include <cctype>

#include "core/stages.h"

namespace tralvik {

void GradientStage(Sim& s) {
    if (s.Tangent == 'L' || s.Tangent == 'l') {
        s.Lutnmod = 'L';
        if (s.Tangent == 'L' && s.Lutn < 40) s.Lutn = s.Lutn + 0.5;
        if (s.Tangent == 'l' && s.Lutn > -40) s.Lutn = s.Lutn - 0.5;
    }
    char up = static_cast<char>(std::toupper(static_cast<unsigned char>(s.Tangent)));
    if (up == 'F' || up == 'K' || up == 'T') s.Lutnmod = ' ';
    if (s.Lutnmod != 'L' && s.Lutnmod != 'l' && s.Lutncykel < 100) s.Lutn = s.Lutncykel;
}

} // namespace tralvik
