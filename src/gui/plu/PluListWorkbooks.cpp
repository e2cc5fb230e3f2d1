// The PLU view's workbook commands: Export to EXCEL and Import from EXCEL.
// The sheet layout and the import's reading, checks and messages are the
// core's (core/workbook/PluWorkbook.h); here are the file dialogs, the boxes,
// the status line and the grid's columns and selection.

#include "gui/plu/PluListUnit.h"

#include "core/workbook/PluWorkbook.h"
#include "gui/app/GuiText.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/plu/PluGridModel.h"
#include "ui_PluListUnit.h"

#include <QHeaderView>

namespace {

// Code page text for a box. Workbook messages may name the file, whose name
// may hold characters the code page lacks: those show as "?".
std::string ShownText(const QString& text)
{
    if (const std::optional<std::string> bytes = ToCp(text))
        return *bytes;
    std::string bytes;
    for (const char32_t codePoint : text.toUcs4())
        bytes += ToCp(QString::fromUcs4(&codePoint, 1)).value_or("?");
    return bytes;
}

// The exported columns: the grid's visible ones in the order the user sees
// them, with the titles it shows.
std::vector<TPluSheetColumn> VisibleSheetColumns(const QTableView& grid)
{
    const QHeaderView* titles = grid.horizontalHeader();
    std::vector<TPluSheetColumn> columns;
    for (int position = 0; position < titles->count(); ++position) {
        const int column = titles->logicalIndex(position);
        if (titles->isSectionHidden(column))
            continue;
        const QString title = grid.model()->headerData(column, Qt::Horizontal).toString();
        columns.push_back({TPluGridModel::FieldOfColumn(column), ShownText(title)});
    }
    return columns;
}

// The rows to export: the selected ones when there are two or more. The grid
// selects the row it moves to, so one selected row is no choice of the
// user's: the whole list goes then, as the view's other commands that walk
// the selection take one selected row for the current row alone.
std::vector<TPluRowId> ExportedRows(const TPluListFrame& view)
{
    std::vector<TPluRowId> rows = view.SelectedRows();
    if (rows.size() < 2)
        rows.clear();
    return rows;
}

void ShowWorkbookError(const EWorkbook& error)
{
    MyMessageDlg(kExcelServerError + ShownText(QString::fromUtf8(error.what())), mtWarning, mbOK);
}

} // namespace

void TPluListFrame::NExportToExcelClick()
{
    const std::optional<std::string> path = RunFileDialog(saveExcelDialog_);
    if (!path)
        return;
    ui_->StatusLabel->setText(FromCp(kExportingFile));
    {
        // The navigation column and the view's commands stay off until the
        // box of a failure is closed, whichever way the export ends.
        TTransfer busy(*this);
        try {
            ExportPluWorkbook(*path, table_, VisibleSheetColumns(*ui_->PluesGrid), ExportedRows(*this), [this] {
                ProcessPendingEvents();
                return false;
            });
        } catch (const EWorkbook& error) {
            ShowWorkbookError(error);
        }
    }
    ui_->StatusLabel->setText(FromCp(kExportingDone));
}

void TPluListFrame::NImportFromExcelClick()
{
    abortRequested_ = false;
    const std::optional<std::string> path = RunFileDialog(openExcelDialog_);
    if (!path)
        return;
    TPluImportResult result;
    {
        // The grid takes the new list in one go when the import ends: a
        // grid that followed every row would repaint for each of them.
        TPluUpdateGuard updates(table_);
        TTransfer busy(*this);
        ui_->StatusLabel->setText(FromCp(kImportingFile));
        try {
            // The core switches UsedBarcodes to refusing duplicates first,
            // then replaces the list only once the file reads as a workbook.
            result = ImportPluWorkbook(*path, table_, usedBarcodes_, [this] {
                ProcessPendingEvents();
                return abortRequested_;
            });
        } catch (const EWorkbook& error) {
            ShowWorkbookError(error);
        }
    }
    ui_->StatusLabel->setText(FromCp(kImportingDone));
    if (!result.ErrorText.empty())
        MyMessageDlg(result.ErrorText, mtInformation, mbOK);
}
