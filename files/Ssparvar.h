// The snapshot of constants and variables: a text file of 1050 positional
// lines, one value per line, CR LF line ends. The writer lives here together
// with the one description of the layout that the writer and the reader
// (files/Ggetvari) both walk, so that they cannot drift apart.
#pragma once

#include <string>

#include "core/Vvaria.h"

namespace tralvik {

constexpr int kSnapshotLines = 1050;

// Writes the snapshot of `s` to s.Sparfil. The file is written in full to a
// temporary file in the same folder and then renamed over the target, so a
// save that fails (full disk, no write access) leaves an earlier file of that
// name as it was; a read-only file is not replaced. Texts are written up to
// 250 characters (Spara: 4) and end before a line feed, which would otherwise
// split their line. Throws IoError when the file cannot be written.
void SaveSnapshot(Sim& s);

// A real as the snapshot holds it: at most 15 significant digits, trailing
// zeros dropped, '.' as decimal separator; plain notation when the magnitude
// is at least 0.00001 and the integer part has at most 15 digits, otherwise
// mantissa, "E" and exponent (1E20, 1E-6, -1.5E-7). The rule applies to the
// value rounded to 15 digits. Not-a-number and infinities as "NAN", "INF",
// "-INF" (the reader's conversion takes them back).
std::string FormatSnapshotReal(double v);

// The line layout, in file order. `v` receives one call per line:
//   v.TextLine(Text&, max)   text, at most `max` characters
//   v.CharLine(char&)        one byte
//   v.IntLine(int32_t&) / IntLine(int16_t&) / IntLine(uint8_t&) / FlagLine(bool&)
//                            decimal integer of that width (bool: 8-bit 0/1)
//   v.RealLine(double&)      real
//   v.OmstartLine(bool&)     the pause flag as a byte 0/1; never loaded
//   v.CykelfilLine(Text&)    text; never loaded (the open cycle file's name)
template <class V> void SnapshotLayout(Sim& s, V& v) {
    v.TextLine(s.Titel, kTextMax);                 // 1
    v.TextLine(s.Bilmodell, kTextMax);             // 2
    v.TextLine(s.Progmapp, kTextMax);              // 3
    v.CharLine(s.Smark);                           // 4
    v.IntLine(s.Slinga);                           // 5
    v.RealLine(s.Sn6);                             // 6
    v.IntLine(s.Sn7);                              // 7
    v.IntLine(s.Sn8);                              // 8
    v.IntLine(s.Sn9);                              // 9
    v.IntLine(s.Sn10);                             // 10
    v.IntLine(s.Sn11);                             // 11
    v.IntLine(s.Sn12);                             // 12
    v.IntLine(s.Sn13);                             // 13
    v.RealLine(s.Energi);                          // 14
    v.RealLine(s.HCeng);                           // 15
    v.RealLine(s.Sn16);                            // 16
    v.RealLine(s.Sn17);                            // 17
    v.TextLine(s.Sn18, kTextMax);                  // 18
    v.TextLine(s.Sn19, kTextMax);                  // 19
    v.CharLine(s.Startmark);                       // 20
    v.RealLine(s.Rad38);                           // 21
    v.TextLine(s.Spara, 4);                        // 22
    v.IntLine(s.Nsteg);                            // 23
    v.RealLine(s.el.soc);                          // 24 (spare before the electric drive)
    v.RealLine(s.Vmfakt);                          // 25
    v.TextLine(s.Myname, kTextMax);                // 26
    v.CharLine(s.Rad44);                           // 27
    v.FlagLine(s.Uppdat);                          // 28
    v.RealLine(s.tcykel);                          // 29
    v.RealLine(s.Sn30);                            // 30
    v.RealLine(s.tmark);                           // 31
    v.RealLine(s.ttot);                            // 32
    v.RealLine(s.Tvanta);                          // 33
    v.RealLine(s.Dt);                              // 34
    v.RealLine(s.Klocka);                          // 35
    v.RealLine(s.Klockaf);                         // 36
    v.OmstartLine(s.Omstart);                      // 37
    v.RealLine(s.lkarta);                          // 38
    v.RealLine(s.Sn39);                            // 39
    v.RealLine(s.lmark);                           // 40
    v.RealLine(s.ltot);                            // 41
    v.RealLine(s.ltotf);                           // 42
    v.RealLine(s.Hojd);                            // 43
    v.RealLine(s.Rad49);                           // 44
    v.RealLine(s.Sn45);                            // 45
    v.CharLine(s.Imaxflagga);                      // 46
    v.CharLine(s.Sn47);                            // 47
    v.RealLine(s.Rad53);                           // 48
    v.RealLine(s.Rad54);                           // 49
    v.RealLine(s.engineTemp);                      // 50
    v.RealLine(s.catalystTemp);                    // 51
    v.RealLine(s.COeng);                           // 52
    v.RealLine(s.NOxeng);                          // 53
    v.RealLine(s.Sn54);                            // 54
    v.RealLine(s.Omvandlare);                      // 55
    v.IntLine(s.Mod);                              // 56
    v.IntLine(s.Modf);                             // 57
    v.IntLine(s.Sn58);                             // 58
    v.CharLine(s.Motorstyr);                       // 59
    v.CharLine(s.Lutnmod);                         // 60
    v.CharLine(s.Tidsmod);                         // 61
    v.CharLine(s.Reservmod);                       // 62
    v.CharLine(s.Cykeltyp);                        // 63
    v.CharLine(s.Sn64);                            // 64
    v.IntLine(s.Kacc);                             // 65
    v.IntLine(s.Kbroms);                           // 66
    v.IntLine(s.Sn67);                             // 67 (16-bit)
    v.CharLine(s.Fextramod);                       // 68
    v.RealLine(s.Sn69);                            // 69
    for (int32_t& x : s.Sn70_77) v.IntLine(x);     // 70-77
    v.RealLine(s.Medelforbr);                      // 78
    v.IntLine(s.Sn79);                             // 79
    v.RealLine(s.Sn80);                            // 80
    v.TextLine(s.Konsfil, kTextMax);               // 81
    v.TextLine(s.Bilmapp, kTextMax);               // 82
    v.TextLine(s.Mussfil, kTextMax);               // 83
    v.TextLine(s.Ttidd, kTextMax);                 // 84
    v.TextLine(s.Tkarta, kTextMax);                // 85
    v.TextLine(s.Rad4, kTextMax);                  // 86
    v.TextLine(s.Tforb, kTextMax);                 // 87
    v.TextLine(s.Rad6, kTextMax);                  // 88
    v.TextLine(s.Tford, kTextMax);                 // 89
    v.TextLine(s.Rad11, kTextMax);                 // 90
    v.TextLine(s.Rad9, kTextMax);                  // 91
    v.TextLine(s.Tvx, kTextMax);                   // 92
    v.TextLine(s.Tresultat, kTextMax);             // 93
    v.TextLine(s.Tresultatp, kTextMax);            // 94
    v.CharLine(s.Resstat);                         // 95
    v.CharLine(s.Resstatp);                        // 96
    v.TextLine(s.Sn97, kTextMax);                  // 97
    v.TextLine(s.Sparfil, kTextMax);               // 98
    v.RealLine(s.Imax);                            // 99
    v.RealLine(s.Rad17);                           // 100
    v.RealLine(s.Nmax);                            // 101
    v.RealLine(s.Imaxakt);                         // 102
    v.RealLine(s.Massa);                           // 103
    v.RealLine(s.Massatab);                        // 104
    v.RealLine(s.CdA);                             // 105
    v.RealLine(s.Katalysator);                           // 106
    v.RealLine(s.Stoppstart);                      // 107
    v.RealLine(s.Tank);                            // 108
    v.RealLine(s.Sparfoljning);                    // 109
    v.RealLine(s.Uppehall);                           // 110
    v.RealLine(s.Rad29);                           // 111
    v.RealLine(s.Fulltid);                         // 112
    v.RealLine(s.Fullangd);                        // 113
    v.RealLine(s.Fbmax);                           // 114
    v.RealLine(s.Fextra);                          // 115
    v.RealLine(s.CdAtab);                          // 116
    v.RealLine(s.Rad40);                           // 117
    v.RealLine(s.Sn118);                           // 118
    v.RealLine(s.Sn119);                           // 119
    v.RealLine(s.Stegtid);                         // 120
    v.RealLine(s.Tsteg);                           // 121
    v.RealLine(s.Xstart);                          // 122
    v.RealLine(s.vbmal);                           // 123
    v.RealLine(s.Lutncykel);                       // 124
    v.RealLine(s.Modcykel);                        // 125
    v.RealLine(s.Dtcykel);                         // 126
    v.RealLine(s.Kurvf);                           // 127
    v.RealLine(s.Xrad);                            // 128
    v.RealLine(s.vbrad);                           // 129
    v.RealLine(s.Lutnrad);                         // 130
    v.RealLine(s.Modrad);                          // 131
    v.RealLine(s.Dtrad);                           // 132
    v.RealLine(s.Kurvrad);                         // 133
    v.RealLine(s.Xnasta);                          // 134
    for (CycleRow* r : {&s.Nastarad, &s.Aktrad}) { // 135-140, 141-146
        v.RealLine(r->X);
        v.RealLine(r->v);
        v.RealLine(r->Lutn);
        v.RealLine(r->Mod);
        v.RealLine(r->Dt);
        v.RealLine(r->Kurv);
    }
    v.CykelfilLine(s.Cykelfil);                                                 // 147
    v.IntLine(s.Delmat);                                                        // 148 (8-bit)
    v.IntLine(s.Sn149);                                                         // 149 (8-bit)
    v.RealLine(s.Lutn);                                                         // 150
    v.RealLine(s.Sn151);                                                        // 151
    v.RealLine(s.Iic);                                                          // 152
    v.RealLine(s.Sn153);                                                        // 153
    v.RealLine(s.U);                                                            // 154
    v.RealLine(s.Sn155);                                                        // 155
    v.RealLine(s.nelmin);                                                       // 156
    v.RealLine(s.Mhjul);                                                        // 157
    v.RealLine(s.Sn158);                                                        // 158
    v.RealLine(s.Sn159);                                                        // 159
    for (double& x : s.Sn160_163) v.RealLine(x);                                // 160-163
    v.RealLine(s.nic);                                                          // 164
    v.RealLine(s.mic);                                                          // 165
    v.RealLine(s.Kvot);                                                         // 166
    v.RealLine(s.Ppic);                                                         // 167
    v.RealLine(s.Mmax);                                                         // 168
    v.IntLine(s.Nmemo);                                                         // 169
    v.IntLine(s.Mmemo);                                                         // 170
    v.IntLine(s.Sn171);                                                         // 171
    v.IntLine(s.Effmemo);                                                       // 172
    v.IntLine(s.COmemo);                                                        // 173
    v.IntLine(s.NOxmemo);                                                       // 174
    v.IntLine(s.HCmemo);                                                        // 175
    v.RealLine(s.Momskala);                                                     // 176
    v.RealLine(s.Idrag);                                                        // 177
    for (double& x : s.Sn178_180) v.RealLine(x);                                // 178-180
    v.RealLine(s.nel);                                                          // 181
    v.RealLine(s.mel);                                                          // 182
    v.RealLine(s.Sn183);                                                        // 183
    v.RealLine(s.Pdrag);                                                        // 184
    v.RealLine(s.Starttemp);                                                        // 185
    for (double& x : s.Sn186_192) v.RealLine(x);                                // 186-192
    v.RealLine(s.Phjalp);                                                       // 193
    v.RealLine(s.Ireg);                                                         // 194
    for (double& x : s.Sn195_199) v.RealLine(x);                                // 195-199
    v.RealLine(s.Iaba);                                                         // 200
    for (double& x : s.Sn201_203) v.RealLine(x);                                // 201-203
    v.RealLine(s.Sn204);                                                        // 204
    for (double& x : s.Sn205_208) v.RealLine(x);                                // 205-208
    v.RealLine(s.Ila);                                                          // 209
    for (double& x : s.Sn210_215) v.RealLine(x);                                // 210-215
    v.RealLine(s.Bensin);                                                       // 216
    v.RealLine(s.Bflode);                                                       // 217
    v.RealLine(s.ICvgr);                                                        // 218
    v.CharLine(s.Stopptom);                                                     // 219
    v.RealLine(s.Brannv);                                                       // 220
    v.RealLine(s.Tathet);                                                       // 221
    v.RealLine(s.vb);                                                           // 222
    v.RealLine(s.vbcykel);                                                      // 223
    v.RealLine(s.vbspar);                                                       // 224
    v.RealLine(s.v);                                                            // 225
    v.RealLine(s.vf);                                                           // 226
    v.RealLine(s.Sn227);                                                        // 227
    v.RealLine(s.Fmotst);                                                       // 228
    v.RealLine(s.Sn229);                                                        // 229
    v.RealLine(s.Broms);                                                        // 230
    v.RealLine(s.Sn231);                                                        // 231
    v.RealLine(s.Sn232);                                                        // 232
    v.RealLine(s.COg);                                                          // 233
    v.RealLine(s.NOxg);                                                         // 234
    v.RealLine(s.HCg);                                                          // 235
    v.RealLine(s.COgf);                                                         // 236
    v.RealLine(s.NOxgf);                                                        // 237
    v.RealLine(s.HCgf);                                                         // 238
    v.RealLine(s.COdel);                                                        // 239
    v.RealLine(s.NOxdel);                                                       // 240
    v.RealLine(s.HCdel);                                                        // 241
    v.IntLine(s.Vaxel);                                                         // 242 (8-bit)
    for (GearColumn* g : {&s.Vxupp, &s.Vxned, &s.Vxeta1, &s.Vxkvot, &s.Vxeta2}) // 243-292
        for (int i = 1; i <= 10; ++i) v.RealLine((*g)[i]);
    v.IntLine(s.Vaxelmod);                                  // 293
    v.TextLine(s.Bildnr, kTextMax);                         // 294
    v.TextLine(s.Sn295, kTextMax);                          // 295
    v.IntLine(s.Mussx);                                     // 296
    v.IntLine(s.Mussy);                                     // 297
    v.RealLine(s.Mommax);                                   // 298
    v.CharLine(s.Tangent);                                  // 299
    v.CharLine(s.Rad41);                                    // 300
    v.IntLine(s.Vagrikt);                                   // 301
    v.IntLine(s.Sidled);                                    // 302
    v.IntLine(s.Ratt);                                      // 303
    v.RealLine(s.Vagriktf);                                 // 304
    v.CharLine(s.Vagkrokar);                                // 305
    v.IntLine(s.Kursfel);                                   // 306
    v.IntLine(s.Motx);                                      // 307
    v.IntLine(s.Moty);                                      // 308
    v.IntLine(s.Djup);                                      // 309
    v.IntLine(s.Xfjarr);                                    // 310
    v.IntLine(s.Xmitt);                                     // 311
    v.IntLine(s.Bildtid);                                   // 312
    v.TextLine(s.Sn313, kTextMax);                          // 313
    v.TextLine(s.Bildnamn, kTextMax);                       // 314
    for (int i = 1; i <= 128; ++i) v.IntLine(s.Bytetab[i]); // 315-442 (8-bit)
    v.IntLine(s.Sn443);                                     // 443 (8-bit)
    v.IntLine(s.Sn444);                                     // 444 (8-bit)
    for (int32_t& x : s.Sn445_449) v.IntLine(x);            // 445-449
    v.IntLine(s.Sn450);                                     // 450
    for (EventTable* t : {&s.Tab10, &s.Tab11, &s.Tab12, &s.Tab13, &s.Tab14, &s.Tab15}) // 451-1050
        for (int i = 1; i <= 100; ++i) v.IntLine((*t)[i]);
}

} // namespace tralvik
