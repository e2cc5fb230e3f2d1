#pragma once
// The multi-item edit dialog: six check boxes, each enabling one change
// (group, department, VAT group, barcodes, the flags, pay type) whose value
// control shows only while it is checked. One dialog serves the whole
// program (MultiPluForm()). Each opening starts with the first five
// unchecked and VAT group 2 offered; "Pay Type" keeps its state from the
// last use. OK with nothing checked keeps the dialog open.

#include "core/plu/PluEditRules.h"

#include <QDialog>
#include <optional>

namespace Ui {
class TMultiPluForm;
}

class TMultiPluForm : public QDialog {
    Q_OBJECT
public:
    explicit TMultiPluForm(QWidget* parent = nullptr);
    ~TMultiPluForm() override;

    // Shows the dialog modally from its opening state; the chosen change on
    // OK, nothing on Cancel.
    std::optional<TMultiPluChange> Execute();
    // The change the controls describe now.
    TMultiPluChange Change() const;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PrepareOpening();

    Ui::TMultiPluForm* ui_;
};

// The program's one multi-item edit dialog, made on first use, a child of
// the main window when there is one.
TMultiPluForm& MultiPluForm();
