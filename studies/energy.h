// Where the fuel's energy goes in a run, step by step, from the state the
// simulation leaves after each step (the simulation itself is not touched).
#pragma once

#include <cstdint>

#include "core/Vvaria.h"

namespace tralvik::studies {

// Joules over a run. fuel = engine + auxiliaries + drivetrain + air +
// rolling + gradient + brake + limits + kinetic + remainder. `limits` is
// the work of the speed stage's holds (1.2 times the requested speed, the
// creep speed, the engine's top speed), which take energy from the car as a
// brake would. The remainder is what no term accounts for (the drive force
// of a step is taken at the engine speed before the speed changes, the fuel
// after it) and is never folded into another term.
struct EnergyBalance {
    double fuel = 0;       // fuel burned x heating value
    double engine = 0;     // fuel energy not turned into shaft work
    double auxiliaries = 0;
    double drivetrain = 0; // gearbox and final drive losses
    double air = 0, rolling = 0, gradient = 0, brake = 0;
    double limits = 0;     // speed holds of the speed stage
    double kinetic = 0;    // change of the car's kinetic energy
    double remainder = 0;
    // An electric drive: the energy out of the battery's cells (a source,
    // as the fuel is; less than 0 when braking charged more than driving
    // took), the motor's and inverter's losses and the battery's own (its
    // internal resistance). `drivetrain` is then the reduction's loss.
    bool electric = false;
    double battery = 0, motor = 0, batteryLoss = 0;
    double Source() const { return fuel + battery; }
    double Sum() const {
        return engine + auxiliaries + drivetrain + air + rolling + gradient + brake + limits +
               kinetic + motor + batteryLoss + remainder;
    }
};

class EnergyMeter {
  public:
    // At START.
    void Start(const Sim& s);
    // After each tick; a tick without a computation step adds nothing.
    void Tick(const Sim& s);
    const EnergyBalance& Result() const { return sum_; }

  private:
    int32_t step_ = 0;
    double bensin_ = 0;
    EnergyBalance sum_;

};

} // namespace tralvik::studies
