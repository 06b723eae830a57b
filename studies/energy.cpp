#include "studies/energy.h"

#include "core/stages.h"

namespace tralvik::studies {

void EnergyMeter::Start(const Sim& s) {
    step_ = s.Nsteg;
    bensin_ = s.Bensin;
}

void EnergyMeter::Tick(const Sim& s) {
    if (s.Nsteg == step_) return;
    step_ = s.Nsteg;
    const double dt = s.Dt;
    const double fuel = (bensin_ - s.Bensin) * s.Brannv * 3600000.0;
    bensin_ = s.Bensin;
    // The distance of the step as the distance stage takes it.
    const double ds = (s.v + s.vf) * dt / 2;
    // The resistance at the step's mean speed, as the resistance stage
    // splits it: the air part scales with the drag area, the gradient part
    // is the mass's weight on the slope, the rest rolls.
    const double vm = s.vb > 5 ? s.vf + (s.vb - s.vf) * s.Vmfakt / 2 : s.vf;
    const double air = s.CdAtab != 0 ? 0.638 * s.CdAtab * vm * vm * s.CdA / s.CdAtab : 0;
    const double gradient = s.Massa * 9.81 * s.Lutn / 100;
    const double rolling = s.Fmotst - air - gradient;

    EnergyBalance e;
    e.fuel = fuel;
    // With the engine stopped no shaft work is made and nothing drives.
    const bool running = !(s.mic == 0 && s.Bflode == 0);
    if (HasElectricDrive(s)) {
        // The battery pays for the motor, the inverter, the reduction and
        // the auxiliaries, as the step worked them out.
        e.electric = sum_.electric = true;
        e.battery = s.el.stepBatteryJ;
        e.batteryLoss = s.el.stepBatteryLossJ;
        e.motor = s.el.stepMotorLossJ;
        e.drivetrain = s.el.stepReductionJ;
        e.auxiliaries = s.Phjalp * dt;
    } else if (running) {
        e.engine = fuel - s.Ppic * dt;
        e.auxiliaries = s.Phjalp * dt;
        e.drivetrain = (s.Ppic - s.Phjalp) * dt - s.Pdrag * dt;
    }
    e.air = air * ds;
    e.rolling = rolling * ds;
    e.gradient = gradient * ds;
    e.brake = s.Broms * ds;
    e.kinetic = s.Massa * (s.v * s.v - s.vf * s.vf) / 2;
    // The speed the forces alone would have given; the speed stage then
    // holds it to 1.2 times the requested speed, to the creep speed and to
    // the engine's top speed. The work of that hold over the step's distance.
    const double drive = s.Kvot * 2 * 3.14 / 60 * s.Mhjul;
    const double free = s.vf + (drive - s.Fmotst - s.Broms) / s.Massa * dt;
    e.limits = s.Massa * (free - s.v) * (s.v + s.vf) / 2;
    // While the engine pulls (over 8 Nm) the speed stage lifts the wheel
    // torque to at least 6 Nm, also when the auxiliaries take the engine's
    // whole power: work at the wheels the engine did not deliver, the
    // stage's as the holds are. The torque the engine's power gave is its
    // power over the engine speed at the step's start (Ppic / mic).
    if (s.mic > 8 && s.Mhjul == 6 && s.Ppic > 0) {
        const double own = s.Pdrag * s.mic / s.Ppic;
        if (own < 6) e.limits -= s.Kvot * 2 * 3.14 / 60 * (6 - own) * ds;
    }
    e.remainder = fuel + e.battery - (e.engine + e.auxiliaries + e.drivetrain + e.air + e.rolling +
                                      e.gradient + e.brake + e.limits + e.kinetic + e.motor + e.batteryLoss);
    sum_.fuel += e.fuel;
    sum_.engine += e.engine;
    sum_.auxiliaries += e.auxiliaries;
    sum_.drivetrain += e.drivetrain;
    sum_.air += e.air;
    sum_.rolling += e.rolling;
    sum_.gradient += e.gradient;
    sum_.brake += e.brake;
    sum_.limits += e.limits;
    sum_.kinetic += e.kinetic;
    sum_.remainder += e.remainder;
    sum_.battery += e.battery;
    sum_.motor += e.motor;
    sum_.batteryLoss += e.batteryLoss;
}

} // namespace tralvik::studies
