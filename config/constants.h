// The constants record: the fields named after the lines of the constants file
// (CONS.VAL) and the values taken from the vehicle and engine tables.
#pragma once

#include "core/common.h"

namespace tralvik {

struct Constants {
    // Lines 1 to 15: file names and the user's name.
    Text Ttidd;      // 1  time cycle
    Text Tkarta;     // 2  map cycle
    Text Bilmapp;    // 3  car folder
    Text Rad4;       // 4
    Text Tforb;      // 5  engine table
    Text Rad6;       // 6
    Text Tford;      // 7  vehicle table
    Text Tvx;        // 8  gear table
    Text Rad9;       // 9
    Text Mussfil;    // 10 engine map picture
    Text Rad11;      // 11
    Text Rad12;      // 12
    Text Tresultat;  // 13 result file
    Text Tresultatp; // 14 supplementary result file
    Text Myname;     // 15

    double Imax = 0;     // 16 A
    double Rad17 = 0;    // 17 A, taken only by the start-up read
    double Massa = 0;    // 18 kg (-1: from the vehicle table)
    double Katalysator = 0; // 19 (1: catalyst and engine temperature in the step)
    double Stoppstart = 0; // 20 (1: the engine stops while the car stands)
    double Tank = 0;     // 21 l
    double Sparfoljning = 0; // 22 (1: the driver follows the time cycle's trace ahead)
    double Omvandlare = 0; // 23 % lost in the open torque converter at high demand
    double Fbmax = 0;    // 24 N
    double Phjalp = 0;   // 25 W
    double Starttemp = 0; // 26 °C, the air's and, at a cold start, the engine's
    double CdA = 0;      // 27 m2 (-1: from the vehicle table)
    double Uppehall = 0; // 28 s the warm engine has stood before the run (0: cold start)
    double Rad29 = 0;    // 29
    double Brannv = 0;   // 32 kWh/l
    double Tathet = 0;   // 33 kg/l
    double Nmax = 0;     // 34 rpm
    double Fulltid = 0;  // 35 s
    double Fullangd = 0; // 36 m
    char Cykeltyp = 0;   // 37 'T' time cycle, 'K' map
    double Rad38 = 0;    // 38
    std::string Spara;   // 39 four save switches
    double Rad40 = 0;    // 40
    char Rad41 = 0;      // 41
    char Stopptom = 0;   // 42 'J': stop on an empty tank
    char Vagkrokar = 0;  // 43 'J': road curves from the cycle
    char Rad44 = 0;      // 44
    double Rad49 = 0;    // 49, every step sets it to 100
    double Rad52 = 0;    // 52
    double Rad53 = 0;    // 53
    double Rad54 = 0;    // 54

    // Values that go with the record but are not lines of the file.
    Text Konsfil;         // path of the constants file
    Text Progmapp;        // working directory captured at start-up
    Text Sparfil;         // name from the last save or open dialog
    double Massatab = 0;  // kg, reference mass of the vehicle table
    double CdAtab = 0;    // m2, reference drag area of the vehicle table
    double Stegtid = 0;   // s, minimum interval between throttle key steps
    bool Forstlast = false;
    bool Uppdat = false;
};

} // namespace tralvik
