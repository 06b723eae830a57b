// The electric drive (a car folder with ELDRIFT.TAB): the motor's share of
// the driver's demand before the speed stage, regeneration after the brake
// stage, and the motor, inverter and battery after it, from the force the
// speed stage actually applied, so that the battery pays exactly for the
// work done at the wheels.
//
// Motor losses (W), a documented model instead of a map:
//   copper  k_cu T^2         (current grows with torque)
//   iron    k_fe w^1.5       (hysteresis and eddy currents with speed)
//   friction k_fr w          (bearings, seals, windage at low speed)
//   standby P_0              (gate drives, pumps) while the drive is live,
// T in Nm, w in rad/s; the inverter passes on a fixed share of its power in
// either direction. The battery: open-circuit voltage by state of charge
// (table 2) behind an internal resistance; the terminal power P draws the
// current I = (U0 - sqrt(U0^2 - 4 R P)) / (2 R).
#include <algorithm>
#include <cmath>

#include "core/stages.h"
#include "core/ttabr1.h"

namespace tralvik {

namespace {

constexpr double kPi = 3.14159265358979323846;

// rad/s of the motor per m/s of the car, as the speed stage converts.
double WheelRate(const Sim& s) { return s.Kvot * 2 * 3.14 / 60; }

double MotorLoss(const ElectricParams& p, double torque, double omega) {
    if (torque == 0 && omega <= 0) return 0;
    return p.copperLoss * torque * torque + p.ironLoss * std::pow(std::max(omega, 0.0), 1.5) +
           p.frictionLoss * std::max(omega, 0.0) + p.standbyLoss;
}

double OpenCircuitVoltage(Sim& s, double soc) {
    return TABR1(s, s.Teldrift, "2", 'i', std::clamp(soc, 0.0, 100.0), 1);
}

// The battery's capacity in ampere-hours: its energy at the voltage of half
// charge.
double CapacityAh(Sim& s) {
    if (s.el.ahCapacity <= 0) {
        const double u = OpenCircuitVoltage(s, 50);
        s.el.ahCapacity = u > 0 ? s.elp.batteryKwh * 1000 / u : 0;
    }
    return s.el.ahCapacity;
}

// The greatest power the motor may give (W) so that the battery stays
// within its discharge limit: the limit less the auxiliaries, through the
// inverter (the motor's own losses are left out of this bound).
double DischargeLimitedPower(const Sim& s) {
    const double terminal = s.elp.dischargeKw * 1000 - s.Phjalp;
    return terminal > 0 ? terminal * s.elp.inverterEff / 100 : 0;
}

double Fade(const Sim& s) {
    const double kmh = s.v * 3.6, lo = s.elp.regenLowKmh, hi = s.elp.regenHighKmh;
    if (kmh <= lo) return 0;
    if (kmh >= hi || hi <= lo) return 1;
    return (kmh - lo) / (hi - lo);
}

} // namespace

bool HasElectricDrive(const Sim& s) { return s.elp.kind != 0; }

void ElectricStartState(Sim& s) {
    s.el = ElectricState{};
    s.el.soc = s.el.socAtStart = s.elp.socStart;
}

void ElectricDriveStage(Sim& s) {
    const ElectricParams& p = s.elp;
    s.Kvot = p.ratio;
    s.Vaxel = 1;
    s.nic = s.v * s.Kvot;
    s.nel = s.nic;
    s.Bflode = 0;
    s.Iic = 0;
    const double rate = WheelRate(s), eff = p.reductionEff / 100;
    // The demand as a force: the cycle driver's wheel power over the mean
    // of the speed and the requested speed it was worked out at; a power
    // asked by keys or mouse over the speed, at least walking pace, so that
    // a start from standstill asks for a force, not for infinity.
    const double at = FollowsRequestedSpeed(s) ? std::max((s.vb + s.v) / 2, 0.1) : std::max(s.v, 1.0);
    double force = std::max(s.Pdrag, 0.0) / at;
    const double limit = TABR1(s, s.Teldrift, "1", 'i', s.nic, 1); // Nm, motoring
    force = std::min(force, std::max(limit, 0.0) * rate * eff);
    // The battery's discharge limit, and an empty battery drives nothing.
    const double power = DischargeLimitedPower(s);
    if (s.v * force / eff > power) force = power * eff / std::max(s.v, 1e-3);
    if (s.el.soc <= p.socLow) force = 0;
    s.mic = rate > 0 && eff > 0 ? force / (rate * eff) : 0;
    s.Mmax = limit;
    // The speed stage turns Pdrag at omega into the force rate x Pdrag / omega.
    s.Pdrag = force * s.v;
    s.Ppic = s.Pdrag / (eff > 0 ? eff : 1);
}

void RegenerationStage(Sim& s) {
    const ElectricParams& p = s.elp;
    if (!(s.Broms > 0) || p.regenShare <= 0 || s.el.soc >= p.socHigh) return;
    const double rate = WheelRate(s), eff = p.reductionEff / 100;
    double force = s.Broms * p.regenShare / 100 * Fade(s);
    // The motor's generating torque at its speed; the wheels give the motor
    // their braking power less the reduction's loss.
    const double limit = std::max(TABR1(s, s.Teldrift, "1", 'i', s.nic, 2), 0.0);
    if (eff > 0) force = std::min(force, limit * rate / eff);
    // The battery takes at most its charge limit, with the auxiliaries fed
    // from the same current.
    const double intake = (p.chargeKw * 1000 + s.Phjalp) / (p.inverterEff > 0 ? p.inverterEff / 100 : 1);
    if (s.v * force * eff > intake) force = intake / (eff * std::max(s.v, 1e-3));
    if (!(force > 0)) return;
    s.Broms -= force;
    s.Pdrag -= force * s.v;
    s.mic = s.Pdrag >= 0 ? s.mic : -force * eff / rate;
}

void BatteryStage(Sim& s) {
    const ElectricParams& p = s.elp;
    ElectricState& e = s.el;
    const double eff = p.reductionEff / 100, inverter = p.inverterEff / 100;
    // The force the speed stage applied over the step's distance.
    const double force = WheelRate(s) * s.Mhjul;
    const double ds = (s.v + s.vf) * s.Dt / 2;
    const double wheel = force * ds;
    const double shaft = wheel >= 0 ? (eff > 0 ? wheel / eff : 0) : wheel * eff;
    const double vMean = (s.v + s.vf) / 2;
    const double rpm = vMean * p.ratio;
    const double omega = rpm * 2 * kPi / 60;
    const double torque = s.Dt > 0 && omega > 0 ? shaft / s.Dt / omega : 0;
    // The drive is live while the motor turns and works; a car creeping at
    // the speed stage's floor with nothing asked keeps it asleep.
    const double live = shaft != 0 && rpm > 1 ? 1 : 0;
    const double loss = live * MotorLoss(p, torque, omega) * s.Dt;
    // The DC side: the inverter's loss on whatever passes it.
    const double ac = shaft + loss;
    const double dc = ac >= 0 ? (inverter > 0 ? ac / inverter : 0) : ac * inverter;
    const double terminalJ = dc + s.Phjalp * s.Dt;
    const double u0 = OpenCircuitVoltage(s, e.soc), r = p.resistance;
    double current = 0;
    if (s.Dt > 0) {
        const double power = terminalJ / s.Dt;
        if (r > 0) {
            const double d = u0 * u0 - 4 * r * power;
            current = (u0 - std::sqrt(std::max(d, 0.0))) / (2 * r);
        } else if (u0 > 0) {
            current = power / u0;
        }
    }
    const double cellsJ = u0 * current * s.Dt;
    const double heatJ = current * current * r * s.Dt;
    e.stepBatteryJ = cellsJ;
    e.stepBatteryLossJ = heatJ;
    e.stepMotorLossJ = loss + (dc - ac);
    e.stepReductionJ = shaft - wheel;
    e.batteryJ += cellsJ;
    if (dc < 0) e.regeneratedJ -= dc;
    const double ah = CapacityAh(s);
    if (ah > 0) e.soc -= current * s.Dt / (ah * 3600) * 100;
    // The panel's efficiency figure: the motor's and inverter's while it drives.
    s.ICvgr = ac > 0 && dc > 0 && shaft > 0 ? shaft / dc * 100 : 0;
    e.powerW = s.Dt > 0 ? terminalJ / s.Dt : 0;
    s.nic = s.v * p.ratio;
    s.Ppic = s.Dt > 0 ? shaft / s.Dt : 0;
}

} // namespace tralvik
