#pragma once
// The dialog that edits the register's cashiers: a scrolling list of row
// panels, ten rows high, over the in-memory table MemData (one
// TCashierRow per cashier, core/app/EcrParamsRules.h). Each row holds a
// number, a name, a password and four forbid flags (Sell, Program,
// Reports, Admin); the list itself neither inserts nor deletes rows, "Add"
// appends one (30 at most).
//
// Leaving a number or password edit that another row shares warns and puts
// the focus back. "Save" (also Enter, wherever the focus is) is refused with
// the same warning while two rows would be written with the same number or
// password, so no cashier silently overwrites another on the register;
// "Cancel" and Esc reject.

#include "core/app/EcrParamsRules.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QFrame;
class QLineEdit;

namespace Ui {
class TEcrOperatorsDlgUnit;
}

class TEcrOperatorsDlgUnit : public QDialog {
    Q_OBJECT
public:
    // Translated from the program's language file, when there is one.
    explicit TEcrOperatorsDlgUnit(QWidget* parent = nullptr);
    ~TEcrOperatorsDlgUnit() override;

    // MemData := the list, sorted by number. A cashier the table cannot hold
    // (a number outside 1..30) is reported in an error box; the rows before
    // it stay.
    void FillCashiers(const TECR_Cashiers& cashiers);
    // The cashiers to write: every row with a number, in table order.
    void TakeCashiers(TECR_Cashiers& cashiers) const;

    const TCashierRows& MemData() const { return rows_; }
    int CurrentRow() const { return current_; }

    // The controls of row i, for the keyboard and for tests.
    struct TRowControls {
        QFrame* Panel = nullptr;
        QLineEdit* Numb = nullptr;
        QLineEdit* Name = nullptr;
        QLineEdit* Password = nullptr;
        QCheckBox* Sell = nullptr;
        QCheckBox* Program = nullptr;
        QCheckBox* Reports = nullptr;
        QCheckBox* Admin = nullptr;
    };
    const TRowControls& Row(int i) const { return controls_.at(static_cast<std::size_t>(i)); }

public slots:
    void btnAddClick();
    void btnSaveClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MeasureColumns();
    void RebuildRows();
    void AddRowControls(std::size_t i);
    void SetCurrentRow(int row);
    int RowOf(const QObject* control) const;
    // The check made when the focus has left row's number or password edit.
    void CheckLeftEdit(int row, bool number);
    void FocusField(std::size_t row, bool number);

    Ui::TEcrOperatorsDlgUnit* ui_;
    TCashierRows rows_;
    std::vector<TRowControls> controls_;
    int current_ = -1;
    int numbWidth_ = 0;
    int nameWidth_ = 0;
    int passwordWidth_ = 0;
    int flagsWidth_ = 0;
    int flagX_[4] = {};
};
