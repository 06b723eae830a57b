// The simulation state: every variable of the core, the station, the result
// files and the snapshot's spare values, plus the constants record. One `Sim`
// is one simulation; every stage takes it explicitly, so several simulations
// can live in one process and never see each other.
#pragma once

#include <array>
#include <cstdio>
#include <memory>

#include "config/constants.h"
#include "core/clock.h"
#include "core/common.h"
#include "core/electric.h"

namespace tralvik {

// One row of a drive cycle: position, requested speed, gradient, mode, time
// increment and road-curve code.
struct CycleRow {
    double X = 0, v = 0, Lutn = 0, Mod = 0, Dt = 0, Kurv = 0;
};

using EventTable = std::array<int32_t, 101>; // index 0..100
using GearColumn = std::array<double, 11>;   // index 1..10 (0 unused)

struct SimState {
    // Time and position.
    double Dt = 0, ttot = 0, tcykel = 0, ltot = 0, lkarta = 0, Hojd = 0;
    double Klocka = 0, Klockaf = 0;
    bool Omstart = false;
    int32_t Nsteg = 0;
    char Startmark = 0;

    // Drive cycle.
    double Xrad = 0, vbrad = 0, Lutnrad = 0, Modrad = 0, Dtrad = 0, Kurvrad = 0;
    double Xnasta = 0;
    CycleRow Nastarad, Aktrad;
    Text Cykelfil;
    double Xstart = 0, vbcykel = 0, vbmal = 0, Lutncykel = 0, Dtcykel = 0, Kurvf = 0;
    double Modcykel = 0;
    int32_t Mod = 0, Modf = 0;
    double Tvanta = 0, tmark = 0, lmark = 0, vbspar = 0;
    EventTable Tab10{}, Tab11{}, Tab12{}, Tab13{}, Tab14{};
    EventTable Tab15{}; // road view; element 0 is Motmode

    // Driver and modes.
    char Tangent = 0, Motorstyr = 0, Lutnmod = 0, Tidsmod = 0, Reservmod = 0;
    int32_t Vaxelmod = 0;
    uint8_t Vaxel = 0;
    int32_t Kacc = 0, Kbroms = 0;
    double Tsteg = 0;
    char Smark = 0;
    double Fextra = 0;
    char Fextramod = 0;
    char Imaxflagga = 0;
    double Imaxakt = 0;
    char Motorstyrf = 0; // saved Motorstyr of the throttle keys
    double Fbehov = 0;   // N, force demand of the cycle-following driver

    // Powertrain and fuel.
    double Pdrag = 0, Idrag = 0, U = 0, Iic = 0, Ppic = 0, nic = 0, mic = 0, Mmax = 0;
    double Kvot = 0, Mhjul = 0, nel = 0, nelmin = 0;
    GearColumn Vxupp{}, Vxned{}, Vxeta1{}, Vxkvot{}, Vxeta2{};
    // The gear table is read in the first step, or in the first later step that
    // runs the gear stage when the engine was stopped in the first step.
    bool gearTableDue = false;
    // Stop-start: the engine is stopped while the car stands, and for how
    // long it has stood so (s), which the restart's cost depends on.
    bool engineStopped = false;
    double stoppedTime = 0;
    // The share of the engine's power the open torque converter passes on in
    // this step (1: locked, or no such option).
    double converterShare = 1;
    // The catalyst option (constants line 19): the catalyst heating after a
    // cold start, the engine's greatest power (kW, 0 until first needed) and
    // this step's enrichment at the exhaust (looked up once for the three
    // emission stages).
    bool catalystHeating = false;
    double ratedKw = 0, exhaustRich = 0;
    double ICvgr = 0, Bflode = 0, Bensin = 0;
    double COg = 0, NOxg = 0, HCg = 0, COgf = 0, NOxgf = 0, HCgf = 0;
    // With a catalyst: coolant and catalyst temperature (°C) and the engine's
    // own CO, NOx and HC (g; COg.. are then what leaves the tailpipe).
    double engineTemp = 0, catalystTemp = 0, COeng = 0, NOxeng = 0, HCeng = 0;
    // The electric drive: what ELDRIFT.TAB gives (read with the constants;
    // kind 0 for every other car folder) and its state.
    ElectricParams elp;
    ElectricState el;
    Text Teldrift; // the table's name (empty: none)
    double Sn54 = 0;
    uint8_t Delmat = 0;
    double COdel = 0, NOxdel = 0, HCdel = 0;
    int32_t Nmemo = 0, Mmemo = 0, Effmemo = 0, COmemo = 0, NOxmemo = 0, HCmemo = 0;

    // Vehicle dynamics.
    double v = 0, vf = 0, vb = 0, Broms = 0, Fmotst = 0, Lutn = 0, Vmfakt = 0;

    // Result files.
    double Energi = 0, Iaba = 0, Ila = 0, mel = 0, Ireg = 0, ltotf = 0;
    char Resstat = 0, Resstatp = 0;

    // Tick driver input.
    int32_t MusX = 0, MusY = 0;

    // Instrument panel.
    double Medelforbr = 0, Mommax = 0, Momskala = 0;
    int32_t Mussx = 0, Mussy = 0;

    // Sound: the band whose sound was selected last.
    int32_t Ljudsteg = 0;

    // Road view and steering.
    int32_t Ratt = 0;
    double Vagriktf = 0;
    int32_t Vagrikt = 0, Kursfel = 0, Sidled = 0;
    double Kurvstart = 0;
    int32_t Djup = 0, Xfjarr = 0, Xmitt = 0, Motx = 0, Moty = 0, Bildtid = 0;
    Text Bildnr, Bildnamn;
    std::array<uint8_t, 129> Bytetab{}; // index 1..128
    int32_t& Motmode() { return Tab15[0]; }

    // Window-level values that the snapshot carries.
    Text Titel, Bilmodell;

    // Spare values: only the snapshot carries them.
    int32_t Slinga = 0;
    double Sn6 = 0;
    int32_t Sn7 = 0, Sn8 = 0, Sn9 = 0, Sn10 = 0, Sn11 = 0, Sn12 = 0, Sn13 = 0;
    double Sn16 = 0, Sn17 = 0;
    Text Sn18, Sn19;
    double Sn30 = 0, Sn39 = 0, Sn45 = 0;
    char Sn47 = 0;
    int32_t Sn58 = 0;
    char Sn64 = 0;
    int16_t Sn67 = 0;
    double Sn69 = 0;
    std::array<int32_t, 8> Sn70_77{};
    int32_t Sn79 = 0;
    double Sn80 = 0;
    Text Sn97;
    double Sn118 = 0, Sn119 = 0;
    uint8_t Sn149 = 0;
    double Sn151 = 0, Sn153 = 0, Sn155 = 0, Sn158 = 0, Sn159 = 0;
    std::array<double, 4> Sn160_163{};
    int32_t Sn171 = 0;
    std::array<double, 3> Sn178_180{};
    double Sn183 = 0;
    std::array<double, 7> Sn186_192{};
    std::array<double, 5> Sn195_199{};
    std::array<double, 3> Sn201_203{};
    double Sn204 = 0;
    std::array<double, 4> Sn205_208{};
    std::array<double, 6> Sn210_215{};
    double Sn227 = 0, Sn229 = 0, Sn231 = 0, Sn232 = 0;
    Text Sn295, Sn313;
    uint8_t Sn443 = 0, Sn444 = 0;
    std::array<int32_t, 5> Sn445_449{};
    int32_t Sn450 = 0;
};

class NumberReader; // the cycle reader's open file (core/numread)
class TableStore;   // the table files read so far (core/tabstore)

// The open result files; rows are written only while their flag is 'K'.
struct ResultFiles {
    std::FILE* result = nullptr;  // Tresultat
    std::FILE* resultp = nullptr; // Tresultatp
    // Names that could not be created: reported once, not retried until the
    // name changes, so a repeated panel set-up neither fails nor floods.
    bool failed = false, failedP = false;
    Text failedName, failedNameP;
    ResultFiles() = default;
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;
    ~ResultFiles();
    void CloseResult();
    void CloseResultP();
};

// One simulation: the state, the constants record and the resources it holds.
struct Sim : Constants, SimState {
    Sim();
    ~Sim();
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    Clock* clock = nullptr;            // set by the platform (window or batch)
    std::unique_ptr<NumberReader> cycle; // the cycle reader's open file
    ResultFiles results;
    std::unique_ptr<TableStore> tables;  // the table files, parsed for the look-ups
    TableStore& Tables() { return *tables; }
};

// Sets every variable to its reset value (start-up calls it once, before the
// constants file is read). Leaves the cycle reader's file and row (Aktrad,
// Cykelfil) and the gear in force (Vaxel) untouched.
void ResetState(Sim& s);

} // namespace tralvik
