#include "config/Startup.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "config/Ffetch.h"
#include "core/paths.h"
#include "station/Mmussla.h"
#include "station/Panel.h"
#include "station/Sound.h"

namespace tralvik {

// The author line after the model name; the start-up title also carries the date.
static const char* const kAuthor = "   Tralviks fordonslab, Box 118, 442 31 Tralvik";
static const char* const kAuthorDate = "  1999-04-12";

Text DeriveBilmodell(const Text& Bilmapp) {
    return LastComponent(Bilmapp);
}

static Text TitleBody(const Sim& s) {
    return s.Myname + "   Bilmodell: " + s.Bilmodell;
}

Text TitleForm1(const Sim& s) {
    return "Tralvik Ver 2.1    " + TitleBody(s) + kAuthor + kAuthorDate;
}

Text TitleForm2(const Sim& s) {
    return "Tralvik Ver 2.0    " + TitleBody(s) + kAuthor;
}

Text TitleForm3(const Sim& s) {
    return s.Titel + "    " + TitleBody(s) + kAuthor;
}

Text CurrentDirectory() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) ThrowIo(errno, ".");
        buf.resize(buf.size() * 2);
    }
    return Cut250(SystemPathText(buf.data()));
}

void StartupBeforePictures(Sim& s, Station& st) {
    s.clock = &st.platform.GetClock();
    LoadSoundTable(st);
    st.Ljud = false;
    s.Progmapp = CurrentDirectory();
    ResetState(s);
    s.Resstat = '-';
    s.Resstatp = '-';
    OpenStartupSound(s, st);
    s.Konsfil = "CONS.VAL";
    s.Uppdat = false;
    ReadConstants(s);
    s.Forstlast = true;
    s.Nsteg = 0;
}

void StartupAfterPictures(Sim& s, Station& st) {
    s.Bilmodell = DeriveBilmodell(s.Bilmapp);
    st.platform.SetTitle(TitleForm1(s));
}

void StartRun(Sim& s, Station& st) {
    PanelSetup(s, st);
    struct ClearUppdat {
        Sim& s;
        ~ClearUppdat() { s.Uppdat = false; }
    } guard{s};
    s.Uppdat = true;
    MarkerStage(s);
    s.Uppdat = false;
    st.platform.FocusKeyBox();
    st.platform.SetTimer(true);
}

} // namespace tralvik
