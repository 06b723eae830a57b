#include "files/Ssparap.h"

#include "files/RRFIL.h"

namespace tralvik {

void WriteResultRowP(Sim& s) {
    if (!s.results.resultp) return;
    using L = long double;
    std::string row;
    row.reserve(180);
    row += ResultField(0.001L * s.mel * s.nel * 2 * 3.14L / 60, 1);
    row += ResultField(s.nel, 0);
    row += ResultField(s.mel, 1);
    row += ResultField(0.001L * s.U * s.Ila, 0);
    row += ResultField(0.001L * s.Broms * (static_cast<L>(s.ltot) - s.ltotf) / s.Dt, 1);
    row += ResultField(0.001L * s.Ireg * s.U, 1);
    row += ResultField(0.001L * s.Ppic, 1);
    row += ResultField(s.nic, 0);
    row += ResultField(s.mic, 1);
    row += ResultField(s.Ila, 1);
    row += ResultField(s.COg, 0);
    row += ResultField(s.NOxg, 0);
    row += ResultField(s.HCg, 0);
    row += ResultField(static_cast<L>(s.vb) - s.v, 1);
    row += ResultField(s.ttot, 1);
    row += "\r\n";
    detail::PutResultText(s.results.resultp, row, s.Tresultatp);
}

} // namespace tralvik
