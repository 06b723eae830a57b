#include "core/Bber.h"

#include "core/Ccykel.h"
#include "core/stages.h"
#include "files/RRFIL.h"
#include "files/Ssparap.h"
#include "station/Mmussla.h"

namespace tralvik {

void ComputeStep(Sim& s) {
    if (s.Nsteg == 1) s.gearTableDue = true;
    CycleStage(s);
    TimeStep(s);
    GradientStage(s);
    DriverStage(s);
    if (s.Tangent == 'C' || s.Tangent == 'c') {
        // Declutched, engine stopped: the car rolls.
        s.mic = 0;
        s.Bflode = 0;
        s.Pdrag = 0;
        s.Iic = 0;
        s.Idrag = 0;
    } else {
        GearStage(s);
        EngineStage(s);
        EmissionStage(s, 0);
        EmissionStage(s, 1);
        EmissionStage(s, 2);
    }
    ResistanceStage(s);
    BrakeStage(s);
    SpeedStage(s);
    DistanceStage(s);
    EngineStage(s);
    s.Bensin = s.Bensin - s.Dt * s.Bflode;
    s.Rad49 = 100;
    s.U = 120;
    MarkerStage(s);
    if (s.Spara.size() > 0 && s.Spara[0] == '1' && s.Resstat == 'K') WriteResultRow(s);
    if (s.Spara.size() > 1 && s.Spara[1] == '1' && s.Resstatp == 'K') WriteResultRowP(s);
}

} // namespace tralvik
