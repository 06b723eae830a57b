#include "station/Station.h"

#include "core/Bber.h"
#include "core/tabread.h"

namespace tralvik {

Station::Station(Platform& p) : platform(p), computeStep(ComputeStep) {
    Ljudnamn.fill("Blaha");
}

bool RunEvent(Sim& s, Station& st, const std::function<void()>& event) {
    try {
        event();
        return true;
    } catch (const IoError& e) {
        st.platform.ShowError(e.what());
        return false;
    } catch (const TableAbort& e) {
        st.platform.TableAborted(e.what(), e.written());
        EndAfterTableAbort(s);
    }
}

} // namespace tralvik
