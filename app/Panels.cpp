#include "app/Panels.h"

#include <QEvent>
#include <QRect>
#include <QScrollBar>

#include "qtsurface/QtSurface.h"
#include "app/Ravek.h"
#include "core/paths.h"

namespace tralvik {

namespace {

QString Q(const Text& cp1252) {
    return QString::fromUtf8(Cp1252ToUtf8(cp1252).c_str());
}
Text FromQ(const QString& s) {
    return Utf8ToCp1252(s.toStdString());
}

struct Geometry {
    QRect label;
    QRect value; // empty: no value box
};

Geometry GeometryOf(PanelKind kind) {
    switch (kind) {
    case PanelKind::FileNames:
        return {QRect(10, 0, 385, 385), QRect(400, 0, 700, 385)};
    case PanelKind::CarFolder:
        return {QRect(0, 0, 401, 89), QRect(400, 40, 390, 26)};
    case PanelKind::Vehicle:
        return {QRect(8, 0, 489, 409), QRect(520, 20, 249, 353)};
    case PanelKind::Program:
        return {QRect(8, 0, 489, 353), QRect(520, 0, 249, 353)};
    case PanelKind::Modes:
        return {QRect(8, 0, 489, 257), QRect(520, 0, 249, 145)};
    case PanelKind::NotYet:
        return {QRect(16, 0, 481, 97), QRect()};
    case PanelKind::Manual:
        return {QRect(8, 0, 625, 401), QRect()};
    }
    return {};
}

// A multi-line box whose text may start lower than its top edge.
class RowMemo : public QPlainTextEdit {
  public:
    using QPlainTextEdit::QPlainTextEdit;
    void StartTextLower(int dy) {
        setViewportMargins(0, dy, 0, 0);
        // The strip above the text shows the box's own background.
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Base));
        setPalette(pal);
    }
};

// A multi-line box whose rows stay aligned with its neighbour's: no wrapping.
RowMemo* MakeMemo(QWidget* parent, const QRect& at, bool wrap) {
    auto* m = new RowMemo(parent);
    m->setGeometry(at);
    m->setFont(QtSurface::WindowFont());
    m->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->hide();
    return m;
}

QString JoinRows(const std::vector<std::string>& utf8Rows) {
    QStringList rows;
    for (const auto& r : utf8Rows) rows << QString::fromUtf8(r.c_str());
    return rows.join('\n');
}

QString JoinTextRows(const std::vector<Text>& rows) {
    QStringList out;
    for (const auto& r : rows) out << Q(r);
    return out.join('\n');
}

constexpr PanelKind kAll[] = {PanelKind::FileNames, PanelKind::CarFolder, PanelKind::Vehicle,
                              PanelKind::Program,   PanelKind::Modes,     PanelKind::NotYet,
                              PanelKind::Manual};

} // namespace

PanelSet::PanelSet(TForm1& form) : QObject(&form), form_(form) {
    for (PanelKind kind : kAll) {
        Geometry g = GeometryOf(kind);
        RowMemo* label = MakeMemo(form_.client, g.label, kind == PanelKind::Manual);
        // The vehicle panel's value box stands 20 pixels lower than its label
        // box; the labels start as much lower, so that row n still stands
        // beside row n.
        if (HasValueBox(kind) && kind != PanelKind::CarFolder && g.value.top() > g.label.top())
            label->StartTextLower(g.value.top() - g.label.top());
        label->setReadOnly(true);
        label->setPlainText(JoinRows(PanelLabelRows(kind)));
        if (kind == PanelKind::Manual) label->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        label->viewport()->installEventFilter(this);
        labels_[Index(kind)] = label;
        if (!HasValueBox(kind)) continue;
        if (kind == PanelKind::CarFolder) {
            edit3_ = new QLineEdit(form_.client);
            edit3_->setGeometry(g.value);
            edit3_->setFont(QtSurface::WindowFont());
            edit3_->setMaxLength(250);
            edit3_->hide();
            edit3_->installEventFilter(this);
        } else {
            QPlainTextEdit* memo = MakeMemo(form_.client, g.value, false);
            memo->viewport()->installEventFilter(this);
            memos_[Index(kind)] = memo;
        }
    }
}

QPlainTextEdit* PanelSet::LabelBox(PanelKind kind) const {
    return labels_[Index(kind)];
}
QPlainTextEdit* PanelSet::ValueMemo(PanelKind kind) const {
    return memos_[Index(kind)];
}

QWidget* PanelSet::ValueBox(PanelKind kind) const {
    if (kind == PanelKind::CarFolder) return edit3_;
    return memos_[Index(kind)];
}

bool PanelSet::IsOpen(PanelKind kind) const {
    return !LabelBox(kind)->isHidden();
}

void PanelSet::Open(PanelKind kind) {
    form_.Edit5->hide(); // the torque-axis figure lies under the panels
    QPlainTextEdit* label = LabelBox(kind);
    label->verticalScrollBar()->setValue(0);
    label->show();
    label->raise();
    if (kind == PanelKind::CarFolder) {
        std::vector<Text> rows = PanelValueRows(kind, form_.sim);
        edit3_->setText(Q(rows.empty() ? Text() : rows[0]));
        edit3_->show();
        edit3_->raise();
    } else if (QPlainTextEdit* memo = ValueMemo(kind)) {
        memo->setPlainText(JoinTextRows(PanelValueRows(kind, form_.sim)));
        memo->show();
        memo->raise();
    }
}

void PanelSet::Hide(PanelKind kind) {
    LabelBox(kind)->hide();
    if (QWidget* value = ValueBox(kind)) value->hide();
}

void PanelSet::LabelClicked(PanelKind kind) {
    Recorder* rec = form_.recorder();
    if (!HasValueBox(kind)) {
        if (rec) rec->PanelClose(kind);
        Hide(kind);
        RunEvent(form_.sim, form_.station, [&] { CloseInfoPanel(form_.sim, form_.station, kind); });
    } else {
        std::vector<Text> rows;
        if (kind == PanelKind::CarFolder)
            rows.push_back(FromQ(edit3_->text()));
        else
            rows = SplitRows(FromQ(ValueMemo(kind)->toPlainText()));
        if (rec) rec->PanelApply(kind, rows);
        RunEvent(form_.sim, form_.station,
                 [&] { ApplyPanel(form_.sim, form_.station, kind, rows, [&] { Hide(kind); }); });
    }
    form_.client->update();
}

void PanelSet::ValueClicked(PanelKind) {
    if (Recorder* rec = form_.recorder()) rec->Menu("panel-edit");
    ValueBoxClicked(form_.station);
}

bool PanelSet::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress) {
        for (PanelKind kind : kAll) {
            if (watched == labels_[Index(kind)]->viewport()) {
                LabelClicked(kind);
                return true;
            }
            QWidget* value = ValueBox(kind);
            if (!value) continue;
            QObject* target = kind == PanelKind::CarFolder ? value : ValueMemo(kind)->viewport();
            if (watched == target) {
                ValueClicked(kind);
                return false; // the box still takes the click for editing
            }
        }
    }
    return QObject::eventFilter(watched, e);
}

} // namespace tralvik
