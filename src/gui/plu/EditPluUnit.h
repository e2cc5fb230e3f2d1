#pragma once
// The PLU edit dialog: one PLU's fields for Add and Edit (PLU mode), or only
// an alte taxe name for the tax commands (taxes mode, ShowFields(false)).
// One dialog serves the whole program (EditPluForm()); its controls keep
// their content between uses except what the caller sets.
//
// OK in PLU mode runs the checks in this order and keeps the dialog open,
// with a box and the focus on the field, at the first that fails: the
// number (1..29999), a duplicate number (only while adding), the barcodes
// (only when the text differs from OriginalBarcodes), the name, the price.
// Texts refuse, as they are typed, characters Windows-1251 cannot hold;
// unit, comment, tax value and tax name refuse commas as well (the register
// file has no escape for them there).

#include "core/plu/PluTable.h"

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

class QComboBox;


namespace Ui {
class TEditPluForm;
}

class TEditPluForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditPluForm(QWidget* parent = nullptr);
    ~TEditPluForm() override;

    // --- Set by the view before the dialog shows -----------------------------
    // The barcodes in use, for the barcode check.
    TUsedBarcodes* UsedBarcodes = nullptr;
    // The barcode text of the row being edited; empty when adding.
    std::string OriginalBarcodes;
    // The PLU table while adding (its numbers are checked); null otherwise.
    PluTable* CheckTable = nullptr;

    // After OK while adding: the rows marked deleted that carry the new
    // number. They are the caller's to remove; nothing is removed before
    // every check passed.
    const std::vector<TPluRowId>& ReplacedRows() const { return replacedRows_; }

    // PLU mode (true): title "Edit PLU Items", every PLU control shown.
    // Taxes mode (false): title "Edit Alte Taxes", only "Alte Taxe:", OK and
    // Cancel. Both empty the VAT pick list; the caller shows either the tax
    // drop-down or the tax name field.
    void ShowFields(bool pluMode);
    void SetTitle(const QString& title);
    // "1" to "4" into the VAT pick list, nothing chosen.
    void FillVatGroups();
    // The tax drop-down's list, without a choice.
    void SetAlteTaxeNames(const std::vector<std::string>& names);
    // Either the drop-down (PLU mode) or the name field (taxes mode).
    void ShowAlteTaxeEdit(bool nameField);
    // Taxes mode with the name field showing name. Adding a tax also empties
    // the drop-down and the tax value field.
    void PrepareAlteTaxe(const std::string& name, bool adding);
    // The number can be changed while adding only.
    void SetNumberEditable(bool editable);

    // The fields of a new PLU: number, VAT position, empty barcode, name and
    // comment, price 0, pay type, group and department "1", unit "BUC", no
    // tax chosen. The tax value and the flags stay as they were.
    void PrepareNew(int number, int vatGroupIndex);
    // The fields from a row; a value outside a pick list leaves it without
    // a choice, a tax name not in the drop-down leaves it without a choice.
    void FillFromRow(const TPluRow& row);
    // Stores the fields into row through the table's setters (which throw
    // EPluFieldError); NUMB only when withNumber. A pick list without a
    // choice stores 0, an empty unit "BUC".
    void StoreIntoRow(TPluRow& row, bool withNumber) const;

    int VatGroupIndex() const;
    // The tax name field's text (taxes mode), in the code page.
    std::string AlteTaxeName() const;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CheckFields();
    void Refuse(const std::string& text, uint8_t kind, QWidget* focus);

    Ui::TEditPluForm* ui_;
    bool pluMode_ = true;
    QString designTitle_;
    QString title_;
    std::vector<TPluRowId> replacedRows_;
};

// A pick list of "1" to count; the value of a position is the position + 1.
void FillPickList(QComboBox* combo, int count);

// The program's one PLU edit dialog, made on first use, a child of the main
// window when there is one.
TEditPluForm& EditPluForm();
