#pragma once
// The dialog that edits the ten receipt advertising lines. Line 0 is shown
// but cannot be edited (on a fiscal register it is the fiscal name). "Save"
// (also Enter, wherever the focus is) accepts, "Cancel" and Esc reject.

#include "core/device/EcrRecords.h"

#include <QDialog>

class QLineEdit;

namespace Ui {
class TEcrAdvLinesDlg;
}

class TEcrAdvLinesDlg : public QDialog {
    Q_OBJECT
public:
    // Translated from the program's language file, when there is one.
    explicit TEcrAdvLinesDlg(QWidget* parent = nullptr);
    ~TEcrAdvLinesDlg() override;

    // Line k into LineEditk.
    void FillLines(const TECR_AdvLines& lines);
    // LineEditk into line k. A line the user did not edit comes back exactly
    // as it was filled, even when it is longer than an edit holds.
    void TakeLines(TECR_AdvLines& lines) const;

    QLineEdit* LineEdit(int k) const;

private:
    Ui::TEcrAdvLinesDlg* ui_;
    TECR_AdvLines filled_{};
};
