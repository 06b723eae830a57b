#include "app/ScriptedDrive.h"

#include <QDir>

#include <optional>
#include <vector>

#include "app/Ravek.h"
#include "config/Panels.h"
#include "core/paths.h"
#include "run/headless.h"

namespace tralvik {

void RecordScriptedDrive(const std::string& recording, const DriveStyle& st) {
    run::SimulatedClock clock;
    TForm1 f;
    f.modalErrors = false;
    f.testClock = &clock;
    if (st.spara) f.spara = Text(st.spara);
    f.Record(recording);
    f.FormActivate();
    if (st.name) {
        std::vector<Text> rows = PanelValueRows(PanelKind::FileNames, f.sim);
        rows[16] = Utf8ToCp1252(st.name);
        f.recorder()->PanelApply(PanelKind::FileNames, rows);
        ApplyPanel(f.sim, f.station, PanelKind::FileNames, rows, [] {});
    }
    if (!st.start) return;
    const Text loaded = st.load ? Utf8ToCp1252((QDir::currentPath() + "/" + st.load).toStdString()) : Text();
    if (st.load) {
        f.dialogAnswer = [&](const FileDialogSpec&, bool) { return std::optional<Text>(loaded); };
        f.MGetKonsClick();
    }
    f.Button1Click();
    for (int t = 0; t < st.ticks; ++t) {
        if (t < st.power) f.KeyPressed('P');
        if (t >= st.brakeAt && t < st.brakeAt + st.brake) f.KeyPressed('0');
        clock.BeginTick();
        if (f.TimerEnabled()) f.Timer1Timer();
    }
}

} // namespace tralvik
