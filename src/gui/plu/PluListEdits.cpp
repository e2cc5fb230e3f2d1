// The PLU view's edit commands: Add new item and Edit item data through the
// PLU edit dialog, Edit multiple items through the multi-item dialog. The
// checks and the per-row changes are the core's (core/plu/PluEditRules.h).

#include "gui/plu/PluListUnit.h"

#include "core/app/ConstUnit.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/plu/EditPluUnit.h"
#include "gui/plu/MultiPluUnit.h"
#include "ui_PluListUnit.h"

void TPluListFrame::FillAlteTaxeDropDown()
{
    TECR_ALTETAXE_List taxes;
    {
        // Without a register the list stays empty, unannounced: the PLU can
        // still be saved without a tax.
        TBusyCursor busy;
        EcrDevice.ReadAllAlteTaxes(taxes, ProgressProc());
    }
    std::vector<std::string> names;
    for (const TECR_ALTETAXE& tax : taxes)
        if (!tax.Name.empty())
            names.push_back(tax.Name);
    EditPluForm().SetAlteTaxeNames(names);
}

void TPluListFrame::btnAddPluClick()
{
    TEditPluForm& form = EditPluForm();
    form.ShowFields(true);
    form.ShowAlteTaxeEdit(false);
    form.FillVatGroups();
    FillAlteTaxeDropDown();
    form.CheckTable = &table_;
    form.UsedBarcodes = &usedBarcodes_;
    form.PrepareNew(table_.ProposeNumber(), lastVatGroupIndex_ != 0 ? lastVatGroupIndex_ : 1);
    const bool accepted = form.exec() == QDialog::Accepted;
    form.CheckTable = nullptr;
    if (!accepted)
        return;
    TPluRow row;
    form.StoreIntoRow(row, true);
    {
        // Rows marked deleted under the new number give way to it.
        TPluUpdateGuard updates(table_);
        for (const TPluRowId id : form.ReplacedRows())
            if (table_.Position(id) >= 0)
                table_.RemoveRow(table_.Position(id));
        table_.AppendRow(row);
    }
    lastVatGroupIndex_ = form.VatGroupIndex();
    usedBarcodes_.AddBarcodesOf(row.BARCODE);
}

void TPluListFrame::btnEditPluClick()
{
    if (!HasRows())
        return;
    TEditPluForm& form = EditPluForm();
    form.SetNumberEditable(false);
    form.ShowAlteTaxeEdit(false);
    FillAlteTaxeDropDown();
    struct TNumberBack {
        TEditPluForm& form;
        ~TNumberBack() { form.SetNumberEditable(true); }
    } numberBack{form};
    const std::vector<TPluRowId> selected = SelectedRows();
    if (selected.size() <= 1) {
        EditCurrentPlu();
        return;
    }
    for (const TPluRowId id : selected) {
        const int position = table_.Position(id);
        if (position < 0)
            continue;
        table_.SetCurrent(position);
        EditCurrentPlu();
    }
}

void TPluListFrame::EditCurrentPlu()
{
    TEditPluForm& form = EditPluForm();
    form.ShowFields(true);
    form.ShowAlteTaxeEdit(false);
    form.FillVatGroups();
    const int position = table_.Current();
    TPluRow row = table_.Row(position);
    form.FillFromRow(row);
    // The row's own barcodes do not count as taken while it is edited.
    usedBarcodes_.RemoveBarcodesOf(row.BARCODE);
    form.OriginalBarcodes = row.BARCODE;
    form.UsedBarcodes = &usedBarcodes_;
    form.CheckTable = nullptr;
    if (form.exec() != QDialog::Accepted) {
        usedBarcodes_.AddBarcodesOf(row.BARCODE);
        return;
    }
    try {
        form.StoreIntoRow(row, false);
    } catch (...) {
        usedBarcodes_.AddBarcodesOf(table_.Row(position).BARCODE);
        throw;
    }
    usedBarcodes_.AddBarcodesOf(row.BARCODE);
    table_.SetRow(position, std::move(row));
}

void TPluListFrame::btnMultiEditClick()
{
    if (!HasRows())
        return;
    const std::vector<TPluRowId> selected = SelectedRows();
    if (selected.size() < 2)
        return;
    const std::optional<TMultiPluChange> change = MultiPluForm().Execute();
    if (!change)
        return;
    const TPluRowId remembered = table_.Bookmark();
    TPluUpdateGuard updates(table_);
    try {
        ApplyMultiPluChange(table_, selected, *change);
    } catch (const std::exception& e) {
        MyMessageDlg(e.what(), mtError, mbOK);
    }
    table_.GotoBookmark(remembered);
}
