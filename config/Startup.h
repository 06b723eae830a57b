// The start-up sequence and START, without the window's controls: the window
// (or the batch runner) performs the widget steps between these calls.
#pragma once

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

// The car model: the part of Bilmapp after its last '\' or '/' (all of it
// when there is none, empty when it ends in one).
Text DeriveBilmodell(const Text& Bilmapp);

// The three forms of the window title.
Text TitleForm1(const Sim& s); // after start-up: "Ver 2.1", author line with date
Text TitleForm2(const Sim& s); // after each panel set-up: "Ver 2.0", no date
Text TitleForm3(const Sim& s); // after a file-name or car-folder panel: Titel first

// The working directory as a Windows-1252 text, cut to 250 characters.
Text CurrentDirectory();

// Start-up up to the pictures: sound table, sound off, Progmapp, state
// reset, both result flags '-', the player opened on Air.mid, CONS.VAL read,
// Forstlast, Nsteg = 0. Also connects the simulation to the platform's
// clock. Throws IoError at the failing step (the steps before it stay done).
void StartupBeforePictures(Sim& s, Station& st);

// Start-up after the pictures: Bilmodell and the title (form 1).
void StartupAfterPictures(Sim& s, Station& st);

// START after the window has hidden its start screen and painted the upper
// area: the panel set-up, the torque axis (Uppdat set around the marker
// calculation), focus to the key box, the timer on. Throws IoError.
void StartRun(Sim& s, Station& st);

} // namespace tralvik
