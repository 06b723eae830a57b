#include "core/Bber.h"

#include "core/Ccykel.h"
#include "core/stages.h"
#include "files/RRFIL.h"
#include "files/Ssparap.h"
#include "station/Mmussla.h"

namespace tralvik {

static void FinishStep(Sim& s);

void ComputeStep(Sim& s) {
    const bool electric = HasElectricDrive(s);
    if (s.Nsteg == 1) {
        s.gearTableDue = true;
        if (HasCatalyst(s)) StartTemperatures(s);
        if (electric) ElectricStartState(s);
    }
    CycleStage(s);
    TimeStep(s);
    GradientStage(s);
    DriverStage(s);
    if (electric) {
        // No engine: the motor drives and brakes, the battery pays.
        s.converterShare = 1;
        ElectricDriveStage(s);
        ResistanceStage(s);
        BrakeStage(s);
        RegenerationStage(s);
        SpeedStage(s);
        DistanceStage(s);
        BatteryStage(s);
        FinishStep(s);
        return;
    }
    const bool stopped = s.Tangent != 'C' && s.Tangent != 'c' && EngineStopsHere(s);
    s.converterShare = 1; // the gear stage opens the converter where it must
    if (stopped) {
        // Stop-start: the engine stands, no fuel, no emissions, no drive.
        s.nic = 0;
        s.nel = 0;
        s.mic = 0;
        s.Ppic = 0;
        s.Bflode = 0;
        s.Pdrag = 0;
        s.Iic = 0;
        s.Idrag = 0;
    } else if (s.Tangent == 'C' || s.Tangent == 'c') {
        // Declutched, engine stopped: the car rolls.
        s.mic = 0;
        s.Bflode = 0;
        s.Pdrag = 0;
        s.Iic = 0;
        s.Idrag = 0;
    } else {
        GearStage(s);
        EngineStage(s);
        if (HasCatalyst(s)) s.exhaustRich = Enrichment(s);
        EmissionStage(s, 0);
        EmissionStage(s, 1);
        EmissionStage(s, 2);
    }
    ResistanceStage(s);
    BrakeStage(s);
    SpeedStage(s);
    DistanceStage(s);
    if (stopped) {
        s.nic = 0; // the speed stage turns the engine with the wheels
        s.stoppedTime += s.Dt;
        s.engineStopped = true;
    } else {
        EngineStage(s);
        if (s.engineStopped && s.Dt > 0) {
            // Started again: the start and the battery's recharge, this step.
            s.Bflode += RestartFuel(s, s.stoppedTime) / s.Dt;
            s.engineStopped = false;
            s.stoppedTime = 0;
        }
    }
    if (HasCatalyst(s)) TemperatureStage(s);
    FinishStep(s);
}

// What every step ends with: the tank, the map marker, the result rows.
static void FinishStep(Sim& s) {
    s.Bensin = s.Bensin - s.Dt * s.Bflode;
    s.Rad49 = 100;
    s.U = 120;
    MarkerStage(s);
    if (s.Spara.size() > 0 && s.Spara[0] == '1' && s.Resstat == 'K') WriteResultRow(s);
    if (s.Spara.size() > 1 && s.Spara[1] == '1' && s.Resstatp == 'K') WriteResultRowP(s);
}

} // namespace tralvik
