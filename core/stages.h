// The stages of one computation step, each working on the simulation state.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// The cycle-following driver or cruise control holds the car to vb (every
// engine-control letter but the keyboard, mouse and demand modes).
inline bool FollowsRequestedSpeed(const Sim& s) { return !InSet(s.Motorstyr, "IJMPWY"); }

// The trace-following driver (constants line 22 Sparfoljning = 1) on a time
// cycle whose speed is in force: it aims at the trace as it will be half a
// second ahead, where the built-in driver aims at the last row passed.
bool FollowsTraceAhead(const Sim& s);
// The time cycle's trace `ahead` seconds after the cycle's time: linear
// between the current row and the next, carried on at that slope past it.
double TraceSpeed(const Sim& s, double ahead);

// Ttid: the time increment; advances ttot and tcykel.
void TimeStep(Sim& s);
// Llutning: gradient keys and the gradient in force.
void GradientStage(Sim& s);
// Ppdrk: throttle keys, cruise control, mouse, demand modes, cycle-following driver.
void DriverStage(Sim& s);
// Bbrake: the brake force.
void BrakeStage(Sim& s);
// The engine never turns slower than this while it runs (rpm): standing,
// or with the clutch slipping at a start.
constexpr double kIdleRpm = 300;
// Stop-start (constants line 20 Stoppstart = 1): whether the engine stops
// in this step, the car standing with nothing asked of the engine.
bool EngineStopsHere(const Sim& s);
// The fuel (l) the restart after `stoppedTime` seconds costs.
double RestartFuel(const Sim& s, double stoppedTime);
// Ggear: the gearbox and the engine operating point.
void GearStage(Sim& s);
// IICmotk: engine torque limit, efficiency, fuel flow; emissions.
void EngineStage(Sim& s);
void EmissionStage(Sim& s, int substance); // 0 CO, 1 NOx, 2 HC
// Kkatal, the catalyst option (constants line 19 Katalysator = 1).
bool HasCatalyst(const Sim& s);
// The coolant's and catalyst's temperatures at the run's start: the air's
// (line 26), or a warm engine's cooled for line 28's seconds.
void StartTemperatures(Sim& s);
// The enrichment that reaches the exhaust (share of fuel over the
// stoichiometric): a share of the engine table's table 7. The step looks it
// up once (exhaustRich) for the three emission stages.
double Enrichment(Sim& s);
// The engine's CO (0), NOx (1) or HC (2), g per kg of fuel, with `rich`.
double EnrichedEmission(double specific, int substance, double rich);
// The share of it the catalyst lets through at its temperature (the engine
// table's table 6, % converted) and with `rich`.
double TailpipeShare(Sim& s, int substance, double rich);
// How many times more of it a cold engine makes.
double ColdEmissionFactor(const Sim& s, int substance);
// The cold engine's and the catalyst heating's extra fuel (raises Bflode);
// warms the coolant and the catalyst by the step's fuel.
void TemperatureStage(Sim& s);
// Eeldrift, the electric drive (a car folder with ELDRIFT.TAB).
bool HasElectricDrive(const Sim& s);
// At START: the state of charge the table gives, the sums cleared.
void ElectricStartState(Sim& s);
// In the engine's place: the motor's torque for the driver's demand within
// its limits and the battery's (sets Kvot, nic, mic and Pdrag).
void ElectricDriveStage(Sim& s);
// After the brake stage: the motor takes its share of the braking force.
void RegenerationStage(Sim& s);
// After the speed stage: the motor's losses, the inverter's and the
// battery's, from the force the speed stage applied; the state of charge.
void BatteryStage(Sim& s);
// Mmotst: driving resistance.
void ResistanceStage(Sim& s);
// Hhastk: speed.
void SpeedStage(Sim& s);
// Llength: distance and height.
void DistanceStage(Sim& s);

} // namespace tralvik
