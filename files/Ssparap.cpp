#include "files/Ssparap.h"

#include "files/RRFIL.h"
#include "files/ResultRow.h"

namespace tralvik {

void WriteResultRowP(Sim& s) {
    if (!s.results.resultp) return;
    using L = long double;
    ResultRow row;
    row.Field(0.001L * s.mel * s.nel * 2 * 3.14L / 60, 1);
    row.Field(s.nel, 0);
    row.Field(s.mel, 1);
    row.Field(0.001L * s.U * s.Ila, 0);
    row.Field(0.001L * s.Broms * (static_cast<L>(s.ltot) - s.ltotf) / s.Dt, 1);
    row.Field(0.001L * s.Ireg * s.U, 1);
    row.Field(0.001L * s.Ppic, 1);
    row.Field(s.nic, 0);
    row.Field(s.mic, 1);
    row.Field(s.Ila, 1);
    row.Field(s.COg, 0);
    row.Field(s.NOxg, 0);
    row.Field(s.HCg, 0);
    row.Field(static_cast<L>(s.vb) - s.v, 1);
    row.Field(s.ttot, 1);
    row.End();
    detail::PutResultText(s.results.resultp, row.data(), row.size(), s.Tresultatp);
}

} // namespace tralvik
