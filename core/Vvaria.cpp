#include "core/Vvaria.h"

#include "core/numread.h"
#include "core/tabstore.h"

namespace tralvik {

ResultFiles::~ResultFiles() {
    CloseResult();
    CloseResultP();
}

void ResultFiles::CloseResult() {
    if (result) std::fclose(result);
    result = nullptr;
}

void ResultFiles::CloseResultP() {
    if (resultp) std::fclose(resultp);
    resultp = nullptr;
}

Sim::Sim() : tables(std::make_unique<TableStore>()) {}
Sim::~Sim() = default;

void ResetState(Sim& s) {
    // Time and position.
    s.Dt = 1;
    s.ttot = 0;
    s.tcykel = 0;
    s.ltot = -1;
    s.lkarta = -1;
    s.Hojd = 0;
    s.Klocka = 0;
    s.Klockaf = 0;
    s.Nsteg = 0;
    s.Startmark = 'S';

    // Drive cycle; Aktrad and Cykelfil stay, so an open cycle file stays usable.
    s.Xrad = 0;
    s.vbrad = 0;
    s.Lutnrad = 0;
    s.Modrad = 0;
    s.Dtrad = 1;
    s.Kurvrad = 0;
    s.Xnasta = 0.01;
    s.Nastarad = CycleRow{0, 1, 0, 0, 0, 0};
    s.Xstart = 0;
    s.vbmal = 0;
    s.Lutncykel = 0;
    s.Dtcykel = 1;
    s.Kurvf = 0;
    s.Modcykel = 0;
    s.Mod = 0;
    s.Modf = 0;
    s.Tvanta = 0;
    s.tmark = 0;
    s.lmark = 0;
    s.vbspar = 0;
    s.Tab10.fill(0);
    s.Tab11.fill(0);
    s.Tab12.fill(0);
    s.Tab13.fill(0);
    s.Tab14.fill(0);
    s.Tab15.fill(0);

    // Driver and modes; Vaxel is set by the first step.
    s.Tangent = ' ';
    s.Motorstyr = ' ';
    s.Lutnmod = ' ';
    s.Tidsmod = ' ';
    s.Reservmod = ' ';
    s.Vaxelmod = 20;
    s.Kacc = 1;
    s.Kbroms = 1;
    s.Tsteg = 0;
    s.Fextra = 0;
    s.Imaxflagga = '0';

    // Powertrain and fuel.
    s.Pdrag = 0;
    s.Idrag = 0;
    s.U = 120;
    s.Iic = 0;
    s.Ppic = 0;
    s.nic = 0;
    s.mic = 0;
    s.Mmax = 0;
    s.Kvot = 0;
    s.Mhjul = 0;
    s.nel = 0;
    s.nelmin = 0;
    s.ICvgr = 0;
    s.Bflode = 0;
    s.engineStopped = false;
    s.stoppedTime = 0;
    s.converterShare = 1;
    s.catalystHeating = false;
    s.ratedKw = 0;
    s.exhaustRich = 0;
    s.COg = 0;
    s.NOxg = 0;
    s.HCg = 0;
    s.Delmat = 0;
    s.COdel = 0;
    s.NOxdel = 0;
    s.HCdel = 0;
    s.Nmemo = 0;
    s.Mmemo = 0;
    s.COmemo = 0;
    s.NOxmemo = 0;
    s.HCmemo = 0;

    // Vehicle dynamics.
    s.v = 0;
    s.vf = 0;
    s.vb = 0;
    s.Broms = 0;
    s.Fmotst = 0;
    s.Lutn = 0;
    s.Vmfakt = 1;

    // Result-file values.
    s.Energi = 0;
    s.Iaba = 0;
    s.Ila = 0;
    s.mel = 0;
    s.Ireg = 0;
    s.ltotf = 0;

    // Values owned by the station and the constants record.
    s.Medelforbr = 0;
    s.Ljudsteg = 0;
    s.Kursfel = 1;
    s.Imax = 0;
    s.Rad17 = 0;
    s.CdA = 0;
    s.CdAtab = 0;
    s.Nmax = 7000;
    s.Brannv = 8.74;
    s.Tathet = 0.75;
    s.Rad38 = 1;
    s.Rad40 = 1;
    s.Rad41 = 'J';
    s.Rad49 = 0.01;
    s.Stopptom = 'N';
    s.Vagkrokar = 'N';
    s.Spara = "0111";
    s.Stegtid = 0;

    // Spare values carried by the snapshot: those the reset sets.
    s.Slinga = 101; // the reset's own loop ends with its counter at 101
    s.Sn6 = 0;
    s.Sn7 = 0;
    s.Sn12 = 0;
    s.Sn13 = 0;
    s.HCeng = s.Sn16 = s.Sn17 = 0;
    s.Sn30 = 0;
    s.Sn39 = 0;
    s.Sn47 = '0';
    s.engineTemp = s.catalystTemp = s.COeng = s.NOxeng = 0;
    s.el = ElectricState{};
    s.Sn54 = 50;
    s.Sn58 = 0;
    s.Sn69 = 0;
    s.Sn70_77.fill(0);
    s.Sn79 = 0;
    s.Sn80 = 0;
    s.Sn97.clear();
    s.Sn118 = 120;
    s.Sn119 = 0;
    s.Sn149 = 0;
    s.Sn153 = 0;
    s.Sn155 = 0;
    s.Sn158 = 0;
    s.Sn160_163.fill(0);
    s.Sn171 = 0;
    s.Sn178_180.fill(0);
    s.Sn183 = 0;
    s.Sn186_192.fill(0);
    s.Sn195_199.fill(0);
    s.Sn201_203.fill(0);
    s.Sn204 = 120;
    s.Sn205_208.fill(0);
    s.Sn210_215.fill(0);
    s.Sn227 = 0;
    s.Sn229 = 0;
    s.Sn295.clear();
    s.Sn445_449.fill(0);

    s.Bensin = s.Tank;
}

} // namespace tralvik
