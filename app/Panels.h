// The constant panels and the information panels on the main window: each a
// label box (click: apply and close) and, for the constant panels, a value
// box beside it (click: the run pauses while the user edits). The rows and
// what they do come from config/Panels.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <array>

#include "config/Panels.h"

namespace tralvik {

class TForm1;

class PanelSet : public QObject {
  public:
    explicit PanelSet(TForm1& form);

    // Opens a panel over the client area: Edit5 is hidden, the value box is
    // filled afresh. The timer is not touched.
    void Open(PanelKind kind);
    // The click on a panel's label box (or on an information panel).
    void LabelClicked(PanelKind kind);
    // The click into a panel's value box.
    void ValueClicked(PanelKind kind);

    bool IsOpen(PanelKind kind) const;
    QPlainTextEdit* LabelBox(PanelKind kind) const;
    QPlainTextEdit* ValueMemo(PanelKind kind) const; // nullptr for the car folder
    QLineEdit* Edit3() const { return edit3_; }
    QWidget* ValueBox(PanelKind kind) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    static constexpr int kCount = 7;
    static int Index(PanelKind kind) { return static_cast<int>(kind); }
    void Hide(PanelKind kind);

    TForm1& form_;
    std::array<QPlainTextEdit*, kCount> labels_{};
    std::array<QPlainTextEdit*, kCount> memos_{};
    QLineEdit* edit3_ = nullptr;
};

} // namespace tralvik
