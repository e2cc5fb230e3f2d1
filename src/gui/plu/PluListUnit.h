#pragma once
// The PLU view: the PLU grid over the view's PluTable, the command buttons,
// the register and file menus, the status line with its progress bar and
// Abort button, and the alte taxe grid that takes the PLU grid's place in
// taxes mode.
//
// The main window creates it, translates it, shows it and runs InitPluView;
// DonePluView runs before it is destroyed. Each command is one slot named
// after its control (btnDeletePluClick, NSaveToFileClick, ...); the enabled
// state of every command goes through EnablePluButtons.

#include "core/plu/AlteTaxeList.h"
#include "core/plu/PluTable.h"
#include "core/plu/PluTransfer.h"

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QPushButton;
class QTableView;
class QFileDialog;
class TPluGridModel;
class TAlteTaxeGridModel;

namespace Ui {
class TPluListFrame;
}

class TPluListFrame : public QWidget {
    Q_OBJECT
public:
    explicit TPluListFrame(QWidget* parent = nullptr);
    ~TPluListFrame() override;

    // Run once after the view has been created, translated and shown: tax
    // buttons hidden, sort on NUMB ascending, no search column, a fresh
    // UsedBarcodes, column titles from the display labels, the hidden
    // columns of the settings, the table opened empty.
    void InitPluView();
    // Run before the view is destroyed: discards the PLU list without asking.
    void DonePluView();

    // PLU mode: the PLU grid shown instead of the alte taxe grid, the tax
    // buttons hidden, the PLU buttons enabled, the view shown.
    void ShowPluListMode();
    // Taxes mode: the alte taxe grid in the PLU grid's place, the tax
    // buttons shown, the PLU buttons disabled. Filling the tax list is the
    // tax commands' work.
    void ShowAlteTaxeMode();
    bool InPluListMode() const;

    // Enables or disables "Add new item", "Edit item data", "Delete item",
    // "Edit multiple items", "Visible columns", "ECR operations", "Print",
    // "File operations" and "Search in:".
    void EnablePluButtons(bool enable);
    // Shows or hides "Edit Taxe", "Delete Taxe" and "Add Taxe".
    void ShowTaxeButtons(bool show);
    // Column at position p (1-based, current order) visible when the p-th
    // character is '0', hidden otherwise; columns past the text's end keep
    // their visibility.
    void ApplyHiddenColumns(const std::string& hidden);

    PluTable& Table() { return table_; }
    TUsedBarcodes& UsedBarcodes() { return usedBarcodes_; }
    TPluGridModel& GridModel() { return *model_; }
    QTableView* PluesGrid() const;
    // The grid's selected rows in creation order.
    std::vector<TPluRowId> SelectedRows() const;

    TPluField SortFieldName() const { return sortFieldName_; }
    bool SortAscending() const { return sortAscending_; }
    std::optional<TPluField> SearchField() const { return searchField_; }
    bool AbortRequested() const { return abortRequested_; }

    // --- Register transfers (PluListTransfers.cpp) -----------------------------
    // The progress handler of every register operation of the view: moves
    // the bar, lets pending events run, returns the abort request.
    bool ReportProgress(int position, int total);
    // The bar one step on, pending events run.
    void StepProgress();
    // Off for a transfer: the PLU buttons, the tax commands, both grids and
    // the main window's navigation; the Abort button always acts.
    void EnableAllControls(bool enable);
    // Asked before each row of a Save loop while Abort was pressed: true
    // (Yes) cancels, No goes on with the request cleared.
    bool AskCancel();
    // The current row to the register: its record with the tax id, the
    // check, the write (Result psSent, psInvalid or psFailed).
    TPluSendOutcome SaveCurrentPluToEcr();

    // --- Alte taxe list (PluListTaxes.cpp) --------------------------------------
    TAlteTaxeTable& MemData() { return memData_; }
    int32_t PendingTaxeNumber() const { return pendingTaxeNumber_; }
    // Sends every row of the tax table (after each tax command).
    void SaveAllTaxes();
    // The edit dialog in taxes mode for the current tax row.
    void EditAlteTaxe();

    // --- Edit commands (PluListEdits.cpp) ----------------------------------------
    // The edit dialog for the current row; on OK the row takes its values.
    void EditCurrentPlu();
    // The VAT position the last new PLU was given (0: none yet).
    int LastVatGroupIndex() const { return lastVatGroupIndex_; }

public slots:
    void btnAddPluClick();
    void btnEditPluClick();
    void btnDeletePluClick();
    void btnMultiEditClick();
    void btnVisibleColumnsClick();
    void btnEcrOperationsClick();
    void btnFileOperationsClick();
    void btnPrintClick();
    void btnSearchClick();
    void btnXStopClick();
    void NSaveToFileClick();
    void NLoadFromFileClick();
    void NSaveAllToECRClick();
    void NSaveSelectedToECRClick();
    void NDeleteAllFromECRClick();
    void NLoadFromECRClick();
    void btnLoadAlteTaxesClick();
    void btnAddTaxeClick();
    void btnEditTaxeClick();
    void btnDeleteTaxeClick();
    void NExportToExcelClick();
    void NImportFromExcelClick();
    // A click on a column title sorts; the same title again reverses.
    void PluesGridTitleClick(int column);
    // A click on a cell chooses its column for searching.
    void PluesGridCellClick(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpGrid();
    void SetUpMenus();
    void UpdateSortMark();
    void FollowCurrentRow(int position);
    // Opens menu below button, unless this click is the one that just
    // closed it (the pointer has not left the button since).
    void PopupBelow(QPushButton* button, QMenu* menu);
    QString SearchCaption(TPluField field) const;
    // The file chosen in one of the view's file dialogs (in the file
    // system's encoding), or nothing when the dialog was cancelled.
    static std::optional<std::string> RunFileDialog(QFileDialog* dialog);
    // What the whole table can be asked for: open and not empty.
    bool HasRows() const { return table_.IsOpen() && !table_.Empty(); }

    // --- Transfers, taxes, edits (their own files) -------------------------------
    // Connects their commands and sets up the tax grid.
    void SetUpTransfers();
    // A register operation's span: the view's commands off (or, for the tax
    // list read, the register commands only), on again on every way out.
    class TTransfer {
    public:
        explicit TTransfer(TPluListFrame& view, bool allControls = true);
        ~TTransfer();
        TTransfer(const TTransfer&) = delete;
        TTransfer& operator=(const TTransfer&) = delete;

    private:
        TPluListFrame& view_;
        bool all_;
    };
    struct TBusyCursor {
        TBusyCursor();
        ~TBusyCursor();
    };
    void EnableRegisterCommands(bool enable);
    TDevProgressProc ProgressProc();
    void ProcessPendingEvents();
    void SetUpAlteGrid();
    std::vector<int> SelectedTaxeRows() const;
    void FillAlteTaxeDropDown();

    Ui::TPluListFrame* ui_;
    PluTable table_;
    TUsedBarcodes usedBarcodes_;
    TPluGridModel* model_;
    QMenu* ecrMenu_;
    QMenu* fileMenu_;
    QFileDialog* openDialog_;
    QFileDialog* saveDialog_;
    QFileDialog* saveExcelDialog_;
    QFileDialog* openExcelDialog_;
    QPushButton* menuJustClosedOn_ = nullptr;

    TPluField sortFieldName_ = TPluField::NUMB;
    bool sortAscending_ = true;
    std::optional<TPluField> searchField_;
    bool abortRequested_ = false;

    TAlteTaxeTable memData_;
    TAlteTaxeGridModel* alteModel_ = nullptr;
    int32_t pendingTaxeNumber_ = 0;
    int lastVatGroupIndex_ = 0;
    int transferDepth_ = 0;
};
