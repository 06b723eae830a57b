// The electric drive of a car folder that has the table file ELDRIFT.TAB: a
// battery electric car (no engine; the driver's demand goes to one motor
// behind a fixed reduction). The parameters come from the table's Const
// section, read with the constants; the motor's torque limits and the
// battery's open-circuit voltage from its tables 1 and 2 at each step.
#pragma once

#include <cstdint>

namespace tralvik {

// The table file a car folder holds to ask for the electric drive.
inline constexpr const char* kElectricTable = "ELDRIFT.TAB";

// What the Const section gives, in its order (one title line before each
// value), in the units the file states.
struct ElectricParams {
    int32_t kind = 0;            // 0: none (a conventional car); 1: battery electric
    double ratio = 0;            // motor rpm per m/s of the car (the fixed reduction)
    double reductionEff = 0;     // % of the motor's power reaching the wheels
    double copperLoss = 0;       // W per Nm^2 of motor torque
    double ironLoss = 0;         // W per (rad/s)^1.5 of motor speed
    double frictionLoss = 0;     // W per rad/s
    double standbyLoss = 0;      // W while the drive is live (the motor turning and working)
    double inverterEff = 0;      // % of the DC power the inverter passes on (either way)
    double batteryKwh = 0;       // kWh: the capacity at the voltage of half charge
    double resistance = 0;       // ohm: the battery's internal resistance
    double socLow = 0, socHigh = 0; // % of charge: the usable window
    double dischargeKw = 0, chargeKw = 0; // kW: the battery's limits at its terminals
    double socStart = 0;         // % of charge at START
    double chargerEff = 0;       // % of the grid's energy reaching the battery
    double regenShare = 0;       // % of the braking force the motor takes
    double regenLowKmh = 0, regenHighKmh = 0; // regeneration fades out between these speeds
};
inline constexpr int kElectricParams = 19;

// The drive's state and its sums over the run (J), for the summary and the
// energy balance; `step…` are the last step's own.
struct ElectricState {
    double soc = 0;        // % of charge now
    double socAtStart = 0; // % at START
    double ahCapacity = 0; // Ah (0 until the first step works it out)
    double powerW = 0;     // the battery's terminal power (W; < 0 charging)
    // Sums since START (J).
    double batteryJ = 0;      // out of the cells (open-circuit voltage x current)
    double regeneratedJ = 0;  // what generating brought to the battery's terminals
    // The last step's own (J), for a meter that follows step by step.
    double stepBatteryJ = 0, stepBatteryLossJ = 0, stepMotorLossJ = 0, stepReductionJ = 0;
};

} // namespace tralvik
