// carmaker: makes a car folder (vehicle, engine and gear tables and the engine
// efficiency map picture) from a short text description of a car.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "carmodel/car.h"
#include "carmodel/carpicture.h"
#include "formats/csv.h"
#include "formats/textout.h"

using namespace tralvik::formats;
using namespace tralvik::carmodel;

namespace {

const char* kHelp = R"(carmaker - make a car folder for the driving simulator

Usage: carmaker DESCRIPTION FOLDER [--report] [--cycle TRACE.csv ...]

Writes into FOLDER:
  FORDON.TAB  vehicle: driving resistance on the level (N) over speed 0..150 m/s,
              and a Const section with the reference mass and drag area
  MOTOR.TAB   engine: 1 full-load torque (Nm) over rpm; 2 efficiency (%), 3 CO,
              4 NOx, 5 HC (g per kg of fuel) over torque (columns) and rpm
              (rows); a Const section with the throttle step time
  VAXEL.TAB   gearbox: ten gears of upshift m/s, downshift m/s, gearbox
              efficiency %, rpm per m/s, final-drive efficiency %
  MUSSEL.BMP  engine efficiency map at the instrument panel's scale
--report prints key figures: the torque axis, peak efficiency, fuel use at
steady speeds and, for each --cycle (CSV time s, speed km/h), fuel and
emissions over the trace, estimated with the simulator's own rules.

DESCRIPTION: one "key value..." per line, '#' starts a comment.
  name NAME                 model name (one word)
  mass KG                   reference mass
  cda M2  and  crr C        drag area and rolling resistance coefficient, or
  f0 N, f1 N/(m/s), f2 N/(m/s)^2   coast-down road load F = f0 + f1 v + f2 v^2
                            (f1 may be negative if F stays positive)
  wheel_radius M            dynamic rolling radius
  gears R1 R2 ...           gearbox ratios (up to ten; the top gear is repeated)
  final_drive R
  gear_efficiency %...  final_efficiency %  (default 97 and 96; one gearbox
                            efficiency, or one per gear)
  shift_up_rpm RPM...  shift_down_rpm RPM... automatic gearbox, one value or
                            one per gear (default 0.45/0.5 x rated-power rpm and
                            1.6/1.5 x idle for petrol/diesel)
  displacement L
  power KW RPM              rated power and its engine speed
  torque NM RPM [RPM2]      peak torque, held from RPM to RPM2
  idle_rpm RPM  max_rpm RPM
  technology T              the engine: pfi (naturally aspirated, port
                            injection), gdi (high-compression direct
                            injection), turbo-gdi (downsized turbo, direct
                            injection) or diesel (common-rail turbo diesel)
  fuel petrol|diesel        without technology: petrol = pfi, diesel = diesel
  idle_torque_fraction F    full-load torque at idle / peak (0.70 / 0.50)
  Overrides of the technology's figures (defaults below):
  indicated_efficiency F    best indicated efficiency
  friction_mep A B C        friction mep A + B N + C N^2 bar, N = rpm/1000
  pumping_mep P             throttling loss at no load (petrol), exhaust back
                            pressure (diesel), bar
  throttle_open_mep P       brake mep (bar) where the throttle is wide open;
                            0 = at full load (naturally aspirated)
  light_load_loss F         share of indicated efficiency lost at no load
  heat_loss F               indicated efficiency x (1 - F / N)
  enrichment F              share of the full-load enrichment (0..2)
  knock_loss F              petrol: efficiency lost to knock-limited timing
                            at full load and low speed (0.06; 0..0.5)
  throttle_step S           minimum time between throttle key steps (0.1)
  tank L  aux_power W  brake_force N   (for the constants file)
  below_idle torque|power   below idle speed (a car standing or starting)
                            the engine turns at idle and costs the fuel of
                            the asked torque there (torque, default: a
                            slipping clutch) or of the asked power (power: a
                            standing car whose only load is its auxiliaries)
  converter_slip P          an automatic's torque converter: % of efficiency
                            lost from third gear up while the engine works
                            above 70 % of full load (the lock-up clutch open;
                            line 23 of the constants file, Omvandlare; 0..50,
                            default 0: none)
  stop_start yes|no         the engine stops while the car stands and starts
                            again when it pulls away, the start costing fuel
                            (line 20 of the constants file, Stoppstart=1;
                            default no)
  catalyst yes|no|three-way|oxidation-scr
                            after-treatment in the simulation (line 19 of the
                            constants file, Katalysator=1): MOTOR.TAB's tables
                            3-5 become the engine's own emissions (below),
                            table 6 the catalyst's conversion % of CO, NOx, HC
                            over its temperature 0..1050 C, table 7 the
                            enrichment % over torque and rpm; yes: three-way
                            on petrol, oxidation catalyst with SCR on diesel
                            (default no)
  catalyst_conversion CO NOx HC   % converted when warm (three-way 94.8 99.65
                            99.83, oxidation-scr 99 98.5 98)
  catalyst_light_off CO NOx HC    C at half the warm conversion (250 270 280,
                            180 230 200); the curve is S-shaped, 18 C wide
  start_temp C              with a catalyst: the air's and the cold engine's
                            temperature (line 26, Starttemp; default 23)
  An electric car (drive electric) has no engine: gears, final_drive, the
  engine's keys, technology, fuel, catalyst and stop_start are refused. It
  writes MOTOR.TAB for the motor (1 its torque limit, 2 its and the
  inverter's efficiency, 3-5 no emissions), VAXEL.TAB with the reduction as
  every gear, MUSSEL.BMP the motor's map, and ELDRIFT.TAB, whose presence
  gives the folder the electric drive (1 the motor's driving and braking
  torque limits over rpm, 2 the battery's open-circuit voltage over charge,
  Const its figures); defaults in carmodel/electric.h:
  drive electric|combustion (default combustion)
  motor KW NM               peak power and torque (power held above the speed
                            where the torque gives it)
  motor_max_rpm RPM         the motor's top speed (line 34, Nmax)
  generating_torque NM      braking torque limit (default the motor's)
  reduction R [%]           motor turns a wheel turn, efficiency (97)
  inverter_efficiency %     either way (97.5)
  motor_losses CU FE FR P0  W per Nm^2, per (rad/s)^1.5, per rad/s, W standby
  battery KWH V             capacity and voltage at half charge
  battery_resistance OHM    (default: 2 % lost at a one-hour discharge)
  battery_window LOW HIGH   usable charge, % (5 95)
  battery_power KW KW       discharge and charge limits (1.2 x motor, 1.5 C)
  start_charge %            at START (90)
  charger_efficiency %      grid to battery (86)
  regeneration % [KMH KMH]  share of the braking force the motor takes, none
                            below the first speed, all from the second (90 5 15)
  Every number is range-checked (a message names the line and key); a
  description over 1 MB, or one that is not a regular file, is refused.

Physical model
  Driving resistance: F(v) = f0 + f1 v + f2 v^2; from cda and crr,
  f0 = crr m 9.81, f1 = 0, f2 = 0.638 cda. The simulator splits F into an air
  part 0.638 CdA v^2 and a rolling part, so the table's drag area is f2/0.638.
  Full-load torque: from idle (idle_torque_fraction x peak) rising as a
  quarter sine to the peak, flat to RPM2, falling as a quarter cosine to the
  torque of rated power, then as (n_rated/n)^1.5 so that power falls beyond
  rated speed, and to zero within 500 rpm above max_rpm (fuel cut-off).
  Efficiency (Willans line): with pme = 4 pi T / Vd (four-stroke),
      fuel mep = (pme + friction mep + pumping mep) / indicated efficiency,
      efficiency = pme / fuel mep.
    friction mep = A + B N + C N^2 bar, N = rpm/1000
    pumping mep  = P (1 - q) petrol, q = pme / throttle_open_mep (or the load
                   when that is 0), clamped to 0..1; P + 0.03 N^2 diesel
    indicated efficiency = best x (1 - heat_loss/N) x
                   (1 - light_load_loss e^(-pme/1.5 bar))
                   petrol: x (1 - 0.06 load^4 (1 - N/3.5)) knock-limited timing,
                           x lambda, rich mixture above 85 % load
                           (1 - lambda = 0.03..0.14 at full load, x enrichment)
                   diesel: x (1 - 0.04 ((load-0.85)/0.15)^2) at the smoke limit
  Technologies (public figures of production engines; peak brake efficiency
  about 35, 40, 39 and 42 %):
               best   friction A B C     P     open  light  heat  enrich
    pfi        0.415  0.68 0.105 0.035   0.85  0     0.08   0.07  1.0
    gdi        0.455  0.58 0.10  0.03    0.55  0     0.06   0.07  0.5
    turbo-gdi  0.43   0.62 0.10  0.035   0.80  9.0   0.06   0.07  0.7
    diesel     0.48   0.78 0.12  0.04    0.15  -     0.04   0.07  -
  The best efficiency lies at low speed and 60..90 % load, falling towards
  low load, where friction and pumping dominate. Below idle speed the engine
  turns at idle with a slipping clutch: the same torque costs the fuel of
  idle speed.
  Emissions, g per kg of fuel, hot three-way catalyst (petrol):
    CO  = 3 + 6 e^(-load/0.08) + 1000 (1 - lambda)   (direct injection
          enriches less, so less CO and HC at full load)
    HC  = 0.3 + 3 e^(-load/0.1) + 10 (1 - lambda)
    NOx = 0.15 + 2.5 load^2 e^(-((n/n_rated - 0.45)/0.35)^2), falling when rich
  Diesel with oxidation catalyst, particle filter and SCR:
    CO  = 0.4 + 6 e^(-load/0.08) + 8 ((load-0.85)/0.15)^2 above 85 %
    HC  = 0.1 + 1.5 e^(-load/0.08)
    NOx = 0.5 + 5 load^1.5 e^(-((n/n_rated - 0.5)/0.4)^2)
  With a catalyst, the engine's own emissions, g per kg of fuel:
    petrol CO = 12 + 20 e^(-load/0.1), HC = 6 + 12 e^(-load/0.08),
           NOx = 4 + 40 load^1.3 e^(-((n/n_rated - 0.45)/0.4)^2)
           (the simulation adds what an enriched mixture makes)
    diesel CO = 3 + 25 e^(-load/0.08) + 20 ((load-0.85)/0.15)^2 above 85 %,
           HC = 1 + 8 e^(-load/0.08), NOx = 8 + 25 load^1.2 e^(-((n/n_rated - 0.5)/0.45)^2)
  Fuel: petrol 8.9 kWh/l, 0.745 kg/l; diesel 10.0 kWh/l, 0.835 kg/l.
)";

void Report(const CarDescription& s, const CarTables& t, const std::vector<std::string>& cycles) {
    std::printf("%s: mass %.0f kg, drag area %.4f m2, resistance at 25 m/s %.1f N\n",
                s.name.c_str(), t.massTab, t.cdaTab, t.resistance.At(25));
    std::printf("  torque axis of the map: %.0f Nm (%.2f Nm per pixel)\n", t.mommax,
                t.mommax / kMapAxisPixels);
    std::printf("  largest power of the full-load curve: %.1f kW (Imax %.0f A)\n",
                t.ratedPowerW / 1000, s.power * 1000 / 120);
    double best = 0, bn = 0, bt = 0;
    for (std::size_t i = 0; i < t.eff.rows.size(); ++i)
        for (std::size_t j = 0; j < t.eff.cols.size(); ++j)
            if (t.eff.rows[i] <= s.maxRpm && t.eff.cols[j] <= t.fullLoad.At(t.eff.rows[i]) &&
                t.eff.z[i][j] > best) {
                best = t.eff.z[i][j];
                bn = t.eff.rows[i];
                bt = t.eff.cols[j];
            }
    const EngineModel eng(s);
    const double vd = s.displacement * 1e-3;
    std::printf("  engine: %s, best efficiency %.1f %% at %.0f rpm, %.0f Nm (%.1f bar)\n",
                TechName(s.tech).c_str(), best, bn, bt, 4 * 3.14159265358979 * bt / vd / 1e5);
    std::printf("  efficiency at 2000 rpm: %.1f %% at 2 bar, %.1f %% at 8 bar\n",
                100 * eng.EfficiencyAtMep(2, 2000), 100 * eng.EfficiencyAtMep(8, 2000));
    std::printf("  gears (rpm per m/s):");
    for (const auto& g : t.gears) std::printf(" %.1f", g[3]);
    std::printf("\n");
    for (double kmh : {50.0, 70.0, 90.0, 110.0, 120.0}) {
        const DriveResult r = DriveSteady(s, t, kmh / 3.6, s.auxPower);
        std::printf("  steady %3.0f km/h: %.2f l/100 km, CO %.3f NOx %.3f HC %.3f g/km\n", kmh,
                    r.LitresPer100(), r.coG / r.km, r.noxG / r.km, r.hcG / r.km);
    }
    for (const auto& path : cycles) {
        // A trace is read whole: refuse special files and anything huge first.
        (void)ReadBounded(path, 64u << 20);
        std::vector<double> v;
        for (const auto& p : ReadTrace(path, true)) v.push_back(p.v);
        const DriveResult r = DriveTrace(s, t, v, s.auxPower);
        std::printf("  %s: %.3f km, %.2f l/100 km, CO %.3f NOx %.3f HC %.3f g/km\n", path.c_str(),
                    r.km, r.LitresPer100(), r.coG / r.km, r.noxG / r.km, r.hcG / r.km);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::vector<std::string> positional, cycles;
    bool report = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (args[i] == "--report") {
            report = true;
        } else if (args[i] == "--cycle" && i + 1 < args.size()) {
            cycles.push_back(args[++i]);
        } else if (!args[i].empty() && args[i][0] == '-') {
            std::fprintf(stderr, "carmaker: unknown option %s (see --help)\n", args[i].c_str());
            return 2;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        std::fprintf(stderr,
                     "usage: carmaker DESCRIPTION FOLDER [--report] [--cycle TRACE.csv ...]\n");
        return 2;
    }
    try {
        const CarDescription desc = ReadCarDescription(positional[0]);
        const CarTables tables = BuildTables(desc);
        WriteCarFolder(desc, tables, positional[1]);
        // The map picture starts 16 pixels below the top of the torque axis, so
        // the panel cannot show torques above 184/200 of it.
        const double peak = *std::max_element(tables.fullLoad.y.begin(), tables.fullLoad.y.end());
        if (peak > tables.mommax * 184 / 200)
            std::fprintf(stderr,
                         "carmaker: warning: peak torque %.0f Nm lies above the top of the map "
                         "picture (%.0f Nm)\n",
                         peak, tables.mommax * 184 / 200);
        if (report) Report(desc, tables, cycles);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "carmaker: %s\n", e.what());
        return 1;
    }
    return 0;
}
