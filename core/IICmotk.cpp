// The engine stage (torque limit, wheel power, efficiency, fuel flow) and the
// emission stages.
#include "core/Ttabr2.h"
#include "core/stages.h"
#include "core/ttabr1.h"

namespace tralvik {

static int64_t Key(double x) { return Rnd64(1000 * x); }

// The memo applies only where the operating point matches its keys.
static bool MemoHit(const Sim& s) { return Key(s.mic) == s.Mmemo && Key(s.nic) == s.Nmemo; }

void EngineStage(Sim& s) {
    if (!(s.nic > 2)) return;
    s.Mmax = TABR1(s, s.Tforb, "1", 'i', s.nic, 1);
    if (s.mic > s.Mmax) s.mic = s.Mmax;
    s.Ppic = s.nic * 2 * 3.14 / 60 * s.mic;
    int g = s.Vaxel >= 1 && s.Vaxel <= 10 ? s.Vaxel : 1;
    s.Pdrag = (s.Ppic - s.Phjalp) * s.Vxeta1[g] * s.Vxeta2[g] / 10000;
    if (s.converterShare != 1) s.Pdrag = s.Pdrag * s.converterShare;
    s.Bflode = 0;
    if (MemoHit(s))
        s.ICvgr = s.Effmemo / 1000.0;
    else
        s.ICvgr = TABR2(s, s.Tforb, "2", 'i', s.mic, s.nic, 'i');
    if (s.ICvgr > 0.1) s.Bflode = s.Ppic / (s.Brannv * 3600000) * 100 / s.ICvgr;
}

void EmissionStage(Sim& s, int substance) {
    static const char* const kTable[3] = {"3", "4", "5"};
    int32_t* memo[3] = {&s.COmemo, &s.NOxmemo, &s.HCmemo};
    double* grams[3] = {&s.COg, &s.NOxg, &s.HCg};
    double* part[3] = {&s.COdel, &s.NOxdel, &s.HCdel};
    double specific;
    if (MemoHit(s)) {
        specific = *memo[substance] / 1000.0;
    } else {
        specific = TABR2(s, s.Tforb, kTable[substance], 'i', s.mic, s.nic, 'i');
        *memo[substance] = Rnd(1000 * specific);
    }
    const bool catalyst = HasCatalyst(s);
    if (catalyst)
        specific = EnrichedEmission(specific, substance, s.exhaustRich) * ColdEmissionFactor(s, substance);
    double e = s.Bflode * s.Tathet * specific * s.Dt;
    if (catalyst) {
        double* engineOut[3] = {&s.COeng, &s.NOxeng, &s.HCeng};
        *engineOut[substance] = *engineOut[substance] + e;
        e = e * TailpipeShare(s, substance, s.exhaustRich);
    }
    *grams[substance] = *grams[substance] + e;
    if (s.Delmat >= 1) *part[substance] = *part[substance] + e;
}

} // namespace tralvik
