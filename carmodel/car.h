// A car described in a few lines of text, its physical models, and the files
// of a car folder made from them: the vehicle, engine and gear tables and the
// engine efficiency map picture.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "carmodel/electric.h"

namespace tralvik::carmodel {

enum class Fuel { Petrol, Diesel };

// Exhaust after-treatment. None: the engine table's emissions are what leaves
// the tailpipe, as the model of a warm car always had. Otherwise the tables
// are the engine's own and the simulation warms a catalyst (constants line 19).
enum class Catalyst { None, ThreeWay, OxidationScr };

// A catalyst's conversion by its temperature: for CO, NOx and HC the share
// converted when warm (%), and the temperature at which half of that is
// reached (light-off, °C).
struct CatalystFigures {
    std::array<double, 3> conversion{}; // CO, NOx, HC
    std::array<double, 3> lightOff{};
};
// The defaults of a kind; ThreeWay for petrol, OxidationScr for diesel.
CatalystFigures CatalystDefaults(Catalyst c);

// Engine technologies with their loss figures. The defaults come from public
// engineering figures (peak brake efficiency, friction and pumping mean
// effective pressures of production engines); a description may override any.
enum class Tech { PortInjection, HighCompressionDi, TurboDi, TurboDiesel };

struct TechFigures {
    Fuel fuel = Fuel::Petrol;
    double indicatedEff = 0;          // best indicated efficiency (fraction)
    std::array<double, 3> friction{}; // friction mep a + b N + c N^2 (bar, N = rpm/1000)
    double pumping = 0;      // bar: throttling loss at no load (petrol), back pressure (diesel)
    double throttleOpen = 0; // bar of brake mep where the throttle is wide open; 0 = at full load
    double lightLoad = 0;    // fraction of indicated efficiency lost at no load
    double heatLoss = 0.07;  // indicated efficiency x (1 - heatLoss / N)
    double enrichment = 1;   // share of the classic full-load enrichment
    // Petrol: indicated efficiency lost to knock-limited spark timing at full
    // load and standstill speed, falling with load^4 and to nothing at 3500 rpm.
    double knock = 0.06;
    double fullLoadMep = 0;  // bar, peak torque when a description gives none
    double powerRpm = 0, torqueRpm = 0, torqueRpmEnd = 0, maxRpm = 0; // defaults for made-up cars
};

// The figures of a technology, and its name in descriptions ("pfi", "gdi",
// "turbo-gdi", "diesel").
TechFigures TechDefaults(Tech t);
std::string TechName(Tech t);
// Throws std::runtime_error listing the known names.
Tech TechFromName(const std::string& name);

struct CarDescription {
    std::string name; // model name (the car folder's name)
    double mass = 0;  // kg, reference mass of the vehicle table
    // Driving resistance: either drag area and rolling resistance...
    double cda = 0; // m2
    double crr = 0; // rolling resistance coefficient
    // ...or the road-load coefficients of a coast-down test, F = f0 + f1 v + f2 v2.
    bool roadLoad = false;
    double f0 = 0, f1 = 0, f2 = 0; // N, N/(m/s), N/(m/s)2
    double wheelRadius = 0;        // m, dynamic rolling radius
    std::vector<double> gears;     // gearbox ratios, first gear first
    double finalDrive = 0;
    std::vector<double> gearEff{97}; // % gearbox efficiency, one value or one per gear
    double finalEff = 96;           // % final drive and wheel bearings
    std::vector<double> upRpm;      // engine speed at which the automatic shifts up, per gear
    std::vector<double> downRpm;    // engine speed below which it shifts down, per gear
    double displacement = 0;        // litres
    double power = 0, powerRpm = 0; // kW at rpm (rated power)
    double torque = 0, torqueRpm = 0, torqueRpmEnd = 0; // Nm, from rpm to rpm (plateau)
    double idleRpm = 0, maxRpm = 0;
    Fuel fuel = Fuel::Petrol;
    Tech tech = Tech::PortInjection;
    TechFigures figures;           // the technology's loss figures with any overrides
    double idleTorqueFraction = 0; // full-load torque at idle / peak torque
    // Below idle speed (the simulator turns the engine no slower than 300
    // rpm while it runs) the engine turns at idle; false: the asked torque
    // costs what it costs at idle (a clutch slipping at a start), true: the
    // asked power does (a car standing, its auxiliaries the only load).
    bool belowIdlePower = false;
    double throttleStep = 0.1;     // s, minimum time between throttle key steps
    // Used for the constants file only.
    double tank = 50;          // l
    double auxPower = 400;     // W
    double brakeForce = 10000; // N
    bool stopStart = false;    // the engine stops while the car stands
    double converterSlip = 0;  // % lost from third gear up at high demand (automatic)
    Catalyst catalyst = Catalyst::None;
    CatalystFigures catalystFigures;
    double startTemp = 23;     // °C: the air, and the engine at a cold start (a test cell's)
    // `drive electric`: a battery electric car; the engine's keys are not
    // taken, and power, torque, max_rpm, gears and final_drive are the
    // motor's and its reduction's.
    bool electricDrive = false;
    ElectricDescription electric;
};

// Reads a car description (see the carmaker's --help). Throws std::runtime_error
// naming the line for an unknown key, a bad or out-of-range number or a
// missing value, and the file when it is not a regular file or over 1 MB.
CarDescription ReadCarDescription(const std::string& path);
// The same for a description held in `text`; `where` names it in messages.
CarDescription ParseCarDescription(const std::string& text, const std::string& where);

// A whole file, refused when it is not a regular file or larger than `limit`
// bytes (std::runtime_error naming the file).
std::string ReadBounded(const std::string& path, std::size_t limit);

// Heating value (kWh/l) and density (kg/l) of the fuel.
double FuelHeatingValue(Fuel f);
double FuelDensity(Fuel f);

struct Emissions {
    double co = 0, nox = 0, hc = 0; // g per kg of fuel
};

// The physical engine: full-load curve, Willans-line efficiency, emission maps.
class EngineModel {
  public:
    explicit EngineModel(const CarDescription& desc);
    // Full-load torque (Nm) at engine speed n (rpm); held at the idle value
    // below idle, falling to zero just above the maximum speed.
    double FullLoad(double n) const;
    // Brake efficiency (fraction of the fuel's heating value) at torque T (Nm)
    // and engine speed n as the simulator sees it: below idle the engine turns
    // at idle speed with a slipping clutch, so the same torque costs idle-speed
    // fuel while only n reaches the gearbox.
    double Efficiency(double T, double n) const;
    Emissions Specific(double T, double n) const;
    // The engine's own emissions (before a catalyst), g per kg of fuel, and
    // the enrichment at full load (share of fuel over the stoichiometric;
    // none for a diesel, which runs lean).
    Emissions EngineOut(double T, double n) const;
    double Enrichment(double T, double n) const;
    // Brake efficiency at brake mean effective pressure `bmep` (bar) and n,
    // for the report's points of the map.
    double EfficiencyAtMep(double bmep, double n) const;
    // Mean effective pressures (bar) of the model, for the documentation.
    double FrictionMep(double n) const;
    double PumpingMep(double bmep, double x, double n) const;

  private:
    double EfficiencyAbove(double T, double n) const;
    double EfficiencyAt(double bmep, double x, double n) const;
    double Lambda(double x, double n) const;
    // The operating point as the maps see it: the engine speed (idle at
    // least), the load (share of full-load torque) and speed over rated.
    struct Point {
        double ne, x, r;
    };
    Point At(double T, double n) const;
    const CarDescription& s_;
};

// One written table: the numbers exactly as they stand in the file.
struct Table1 {
    std::vector<double> x, y;
    double At(double v) const; // the simulator's linear look-up (from (0,0) below the first row)
};
struct Table2 {
    std::vector<double> cols, rows;
    std::vector<std::vector<double>> z;          // z[row][col]
    double At(double colin, double rowin) const; // bilinear, column 0 counts as 0
};

struct CarTables {
    Table1 resistance; // vehicle "1"
    double massTab = 0, cdaTab = 0;
    Table1 fullLoad;         // engine "1"
    Table2 eff, co, nox, hc; // engine "2".."5"
    // With a catalyst: engine "6", conversion % of CO, NOx, HC over
    // catalyst temperature (°C), and "7", the enrichment (% fuel over the
    // stoichiometric) over torque and speed.
    std::vector<std::array<double, 4>> conversion;
    Table2 enrichment;
    // Gear table: ten gears of upshift m/s, downshift m/s, eff1 %, rpm per m/s, eff2 %.
    std::array<std::array<double, 5>, 10> gears{};
    double mommax = 0;      // torque-axis maximum the instrument panel will find
    double ratedPowerW = 0; // largest n*2*3.14/60*T of the written full-load curve
};

// Builds every table of the car (values rounded as they are written).
CarTables BuildTables(const CarDescription& desc);
// The torque-axis search of the instrument panel on a full-load curve look-up.
double FindMommax(const Table1& fullLoad, double nmax);

// The three tables of a car folder, as file name and bytes.
std::vector<std::pair<std::string, std::string>> CarTableFiles(const CarDescription& desc, const CarTables& t);
// Writes FORDON.TAB, MOTOR.TAB and VAXEL.TAB into `folder` (no picture, so no
// toolkit: carpicture.h writes the folder with its engine map).
void WriteCarTables(const CarDescription& desc, const CarTables& t, const std::string& folder);
// A car with an engine written into a folder: an electric drive's table left
// there by an earlier car is removed (throws when it cannot be).
void RemoveElectricTableOfAnEngine(const CarDescription& desc, const std::string& folder);

// Picture geometry shared with the instrument panel's marker.
constexpr int kMapOriginX = 38;  // pixel of 0 rpm
constexpr int kMapOriginY = 184; // pixel of 0 Nm
constexpr double kMapRpmPerPixel = 20;
// An electric motor turns twice as fast as an engine: its map takes 40 rpm a
// pixel so that it fits the panel (the marker's scale follows the car folder).
constexpr double kMotorMapRpmPerPixel = 40;
inline double MapRpmPerPixel(const CarDescription& car) {
    return car.electricDrive ? kMotorMapRpmPerPixel : kMapRpmPerPixel;
}
constexpr int kMapAxisPixels = 200; // Mommax is 200 pixels above the origin

// Quasi-static estimate of fuel use with the simulator's rules (automatic
// gearbox, minimum demand, auxiliary power), for checking a new car.
struct DriveResult {
    double km = 0, litres = 0, coG = 0, noxG = 0, hcG = 0, seconds = 0;
    double LitresPer100() const { return km > 0 ? 100.0 * litres / km : 0; }
};
DriveResult DriveSteady(const CarDescription& desc, const CarTables& t, double speedMs, double auxW);
DriveResult DriveTrace(const CarDescription& desc, const CarTables& t, const std::vector<double>& speedMs,
                       double auxW);

} // namespace tralvik::carmodel
