// The engine sound: one sound file per band of vehicle speed, started on the
// media player when the band changes.
#pragma once

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

// Sets the ten names to "Blaha" and, when `file` exists, takes its first ten
// lines as the names, unchanged. Throws IoError when it exists but cannot be
// read.
void LoadSoundTable(Station& st, const Text& file = "ljud.tab");

// The speed band of `v` (m/s): 1 up to and including 5 m/s, then one band per
// 5 m/s, 10 above 45 m/s.
int SoundBand(double v);

// The tick's last step: while sound is on, starts the band's sound when the
// band has changed and its file exists; Ljudsteg remembers the band either
// way. A media-player failure is shown once and never stops the tick.
void SelectSound(Sim& s, Station& st);

// The menu item "Ljud på" / "Tyst": switches sound on or off; the caption
// names what the next click does.
void ToggleSound(Station& st);

// Start-up: opens the player on Progmapp\Air.mid without playing, so that a
// device is open when the first band change stops it. A failure is shown
// once and start-up goes on.
void OpenStartupSound(Sim& s, Station& st);

} // namespace tralvik
