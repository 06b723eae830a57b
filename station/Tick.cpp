#include "station/Tick.h"

#include "core/tabread.h"
#include "core/tabstore.h"
#include "files/RRFIL.h"
#include "station/Panel.h"
#include "station/Sound.h"

namespace tralvik {

static char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Steps 1 to 12 of a tick; returns false when the run had ended.
static bool RunTick(Sim& s, Station& st) {
    // The table files are asked once in this tick whether they changed.
    TableTick tableTick(s.Tables());
    if (EndOfRunTest(s)) return false;
    // Nsteg wraps like the 32-bit counter it is.
    s.Nsteg = static_cast<int32_t>(static_cast<uint32_t>(s.Nsteg) + 1u);
    if (s.Nsteg < 1) s.Startmark = 'S';
    if (s.Startmark == 'S') PanelSetup(s, st);
    s.Startmark = 'G';
    st.platform.TimeStepBegins();
    st.computeStep(s);
    if (st.view) {
        st.view->PanelTick(s, st);
        st.view->RoadView(s, st);
    }
    st.platform.ClearKeyBox();
    if (Upper(s.Tangent) != 'C') s.Tangent = '.';
    st.platform.FocusKeyBox();
    if (Upper(s.Stopptom) == 'J' && s.Bensin < 0) {
        st.platform.ShowMessage("Bensinstopp");
        st.platform.SetTimer(false);
    }
    return true;
}

TickOutcome Timer1Timer(Sim& s, Station& st) {
    TickOutcome outcome;
    try {
        outcome = RunTick(s, st) ? TickOutcome::Computed : TickOutcome::RunEnded;
    } catch (const IoError& e) {
        // A failure here would repeat on every tick; pause the run as
        // Stopp/Start does and report it once. Stopp/Start resumes.
        st.platform.SetTimer(false);
        s.Omstart = true;
        st.platform.ShowError(e.what());
        return TickOutcome::Failed;
    } catch (const TableAbort& e) {
        st.platform.TableAborted(e.what(), e.written());
        EndAfterTableAbort(s);
    }
    SelectSound(s, st);
    return outcome;
}

void Edit1KeyPress(Sim& s, char key) {
    s.Tangent = key;
}

void FormMouseMove(Sim& s, int32_t x, int32_t y) {
    s.MusX = x;
    s.MusY = y;
}

void StClick(Sim& s, Station& st) {
    RunEvent(s, st, [&] {
        if (!s.Omstart) {
            s.Omstart = true;
            st.platform.SetTimer(false);
        } else {
            PanelSetup(s, st);
            st.platform.SetTimer(true);
        }
    });
}

} // namespace tralvik
