// The window's language for Qt's own dialogs (the file dialogs of "Hämta"
// and "Spara"): Swedish as the rest of the window.
#pragma once

namespace tralvik {

// Installs Debian's Swedish translation of Qt, the few texts of the file
// dialog it leaves in English, and Swedish dates, sizes and file types.
// Call once, after the QApplication is made.
void SpeakSwedish();

} // namespace tralvik
