#include "files/Snapshot.h"

#include "core/stages.h"
#include "files/Ggetvari.h"
#include "files/Ssparvar.h"
#include "station/Panel.h"

namespace tralvik {

// The snapshot dialogs are plain: no title, filter or extension of their own.
// The working folder is kept, so relative names elsewhere keep their meaning.
static FileDialogSpec PlainDialog() {
    FileDialogSpec dlg;
    dlg.keepWorkingDir = true;
    return dlg;
}

// A cancelled dialog: the run goes on as before the command. A running run
// resumes through the panel set-up, which restarts the real-time clock so the
// time spent in the dialog is not counted; a paused or unstarted one stays so.
static void ResumeAsBefore(Sim& s, Station& st, bool timerWasOn, bool omstartWas) {
    if (timerWasOn) {
        PanelSetup(s, st);
        st.platform.SetTimer(true);
    } else {
        s.Omstart = omstartWas;
    }
}

void MSaveAs2Click(Sim& s, Station& st) {
    RunEvent(s, st, [&] {
        bool timerWasOn = st.platform.TimerEnabled();
        bool omstartWas = s.Omstart;
        st.platform.SetTimer(false);
        s.Omstart = true;
        std::optional<Text> name = st.platform.SaveFileDialog(PlainDialog());
        if (!name) {
            ResumeAsBefore(s, st, timerWasOn, omstartWas);
            return;
        }
        s.Sparfil = Cut250(*name);
        SaveSnapshot(s);
        st.platform.TimeStepBegins();
        TimeStep(s); // with Omstart still set
        if (timerWasOn || s.Nsteg > 1) {
            PanelSetup(s, st); // clears Omstart
            st.platform.SetTimer(true);
        } else {
            // No run has begun: switching the timer on would start one
            // behind the start screen.
            s.Omstart = omstartWas;
        }
    });
}

void GetVarClick(Sim& s, Station& st) {
    RunEvent(s, st, [&] {
        bool timerWasOn = st.platform.TimerEnabled();
        bool omstartWas = s.Omstart;
        st.platform.SetTimer(false);
        s.Omstart = true;
        std::optional<Text> name = st.platform.OpenFileDialog(PlainDialog());
        if (!name) {
            ResumeAsBefore(s, st, timerWasOn, omstartWas);
            return;
        }
        s.Sparfil = Cut250(*name);
        int32_t nstegBefore = s.Nsteg;
        LoadSnapshot(s);
        s.Omstart = true;
        st.platform.TimeStepBegins();
        TimeStep(s);
        s.Omstart = false;
        if (nstegBefore < 2) {
            // No run has begun: the first tick sets the panel up. The timer
            // stays off until START, unless START has switched it on already.
            s.Startmark = 'S';
            if (timerWasOn) st.platform.SetTimer(true);
        } else {
            PanelSetup(s, st);
            st.platform.SetTimer(true);
        }
    });
}

} // namespace tralvik
