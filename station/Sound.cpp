#include "station/Sound.h"

#include <cerrno>
#include <cstdio>

#include "core/paths.h"

namespace tralvik {

void LoadSoundTable(Station& st, const Text& file) {
    for (int k = 1; k <= 10; ++k) st.Ljudnamn[k] = "Blaha";
    if (!FileExists(file)) return;
    std::FILE* f = OpenOrThrow(file, "rb");
    for (int k = 1; k <= 10; ++k) {
        Text line;
        int c = std::fgetc(f);
        if (c == EOF) break; // no line left
        while (c != EOF && c != '\n') {
            line += static_cast<char>(c);
            c = std::fgetc(f);
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        st.Ljudnamn[k] = Cut250(line);
    }
    bool bad = std::ferror(f);
    int err = errno;
    std::fclose(f);
    if (bad) ThrowIo(err ? err : EIO, Cp1252ToUtf8(file));
}

int SoundBand(double v) {
    for (int k = 10; k >= 2; --k)
        if (v > 5.0 * (k - 1)) return k;
    return 1;
}

static void ReportMediaFailure(Station& st, const MediaError& e) {
    if (st.mediaFailureShown) return;
    st.mediaFailureShown = true;
    st.platform.ShowError(e.what());
}

void SelectSound(Sim& s, Station& st) {
    if (!st.Ljud) return;
    int k = SoundBand(s.v);
    Text dir = s.Progmapp + "/"; // the platform's separator
    if (dir.size() > 251) dir.resize(251);
    st.Ljudfil = dir + st.Ljudnamn[k];
    if (FileExists(st.Ljudfil) && k != s.Ljudsteg) {
        // Stop and close may fail when no device is open (the start-up sound
        // could not be opened); the new sound is started all the same.
        try {
            st.platform.MediaStop();
        } catch (const MediaError&) {}
        try {
            st.platform.MediaClose();
        } catch (const MediaError&) {}
        try {
            st.platform.MediaOpen(st.Ljudfil);
            st.platform.MediaPlay();
        } catch (const MediaError& e) { ReportMediaFailure(st, e); }
    }
    s.Ljudsteg = k;
}

void ToggleSound(Station& st) {
    st.Ljud = !st.Ljud;
    st.platform.SetSoundCaption(st.Ljud ? Text("Tyst") : Text("Ljud p\xE5"));
}

void OpenStartupSound(Sim& s, Station& st) {
    Text name = JoinPath(s.Progmapp, "Air.mid");
    try {
        st.platform.MediaOpen(name);
    } catch (const MediaError& e) { ReportMediaFailure(st, e); }
}

} // namespace tralvik
