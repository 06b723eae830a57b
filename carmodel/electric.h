// A battery electric car's drive in a car description (`drive electric`):
// the motor, the fixed reduction, the inverter and the battery, and what the
// car folder gets from them: the motor's torque limits and efficiency map in
// MOTOR.TAB (the instrument panel's map shows the motor) and the electric
// drive's table ELDRIFT.TAB, which asks the simulation for the drive.
//
// Defaults where a description is silent (public engineering figures of
// production cars, documented here so a reader can check them):
// - motor losses: copper 6 % of the peak power at peak torque, iron 0.4 % and
//   friction 0.5 % of it at the top speed, no standby (a motor and inverter
//   that peak at about 95 %; the iron and standby shares, like the charger's
//   efficiency, fitted to the 2021 test-car list's electric cars);
// - inverter 97.5 %, reduction 97 %;
// - battery: an NMC pack's open-circuit voltage from 0.82 (empty) to 1.10
//   (full) of its voltage at half charge; internal resistance losing 2 % of
//   the power at a one-hour discharge; window 5-95 %; discharge limit 1.2
//   times the motor's peak power, charge limit 1.5 times the capacity an
//   hour; START at 90 %;
// - charger 86 % (the US tests' energy from the wall);
// - regeneration: 90 % of the braking force, fading out between 15 and
//   5 km/h.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace tralvik::carmodel {

// The table a car folder holds to have the electric drive (the simulation's
// own name for it is in core/electric.h, which this library does not use).
inline constexpr const char* kElectricTable = "ELDRIFT.TAB";

struct ElectricDescription {
    double motorKw = 0, motorNm = 0, maxRpm = 0;
    double generatingNm = 0;   // generating torque limit (0: the motoring one)
    double reduction = 0;      // motor turns per wheel turn
    double reductionEff = 97;  // %
    double inverterEff = 97.5; // %
    // copper W/Nm^2, iron W/(rad/s)^1.5, friction W/(rad/s), standby W;
    // negative: the default from the motor's figures.
    std::array<double, 4> losses{-1, -1, -1, -1};
    double batteryKwh = 0, batteryVolts = 0;
    double resistance = -1;    // ohm; negative: the default
    double socLow = 5, socHigh = 95, socStart = 90;
    double dischargeKw = -1, chargeKw = -1; // negative: the defaults
    double chargerEff = 86;
    double regenShare = 90, regenLowKmh = 5, regenHighKmh = 15;
};

// The loss model's coefficients as the description gives or defaults them.
std::array<double, 4> MotorLossCoefficients(const ElectricDescription& e);
// Motor and inverter efficiency (fraction) at torque T (Nm, > 0) and n (rpm).
double MotorEfficiency(const ElectricDescription& e, double torque, double rpm);
// The motor's motoring torque limit at n (rpm): peak torque up to the speed
// where peak power is reached, peak power above, nothing beyond the top.
double MotorTorqueLimit(const ElectricDescription& e, double rpm);
// Open-circuit voltage at state of charge `soc` (%).
double OpenCircuitVolts(const ElectricDescription& e, double soc);

// Reads a description key of the electric drive; false when `key` is none.
// Throws std::runtime_error naming `where` for a bad value.
bool ParseElectricKey(ElectricDescription& e, const std::string& key, const std::vector<double>& v,
                      const std::string& where);
// Checks a whole drive (throws naming `where`).
void CheckElectric(const ElectricDescription& e, const std::string& where);

// ELDRIFT.TAB of the drive, for a car of wheel radius `wheelRadius` (m), as
// the file's bytes (CRLF, Windows-1252 as the other tables).
std::string ElectricTableFile(const std::string& name, const ElectricDescription& e, double wheelRadius);

} // namespace tralvik::carmodel
