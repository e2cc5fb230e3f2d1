// The PLU view's alte taxe list: the tax grid over MemData and the tax
// commands. Every change is sent to the register at once by sending the whole
// list again (Save all taxes); the list logic is the core's
// (core/plu/AlteTaxeList.h).

#include "gui/plu/PluListUnit.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "gui/app/Application.h"
#include "gui/app/EcrHelpers.h"
#include "gui/app/GuiText.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/plu/EditPluUnit.h"
#include "ui_PluListUnit.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHeaderView>
#include <algorithm>

namespace {

constexpr const char* kAlteTaxesTitle = "Alte Taxes";
constexpr const char* kEditAlteTaxeTitle = "Edit Alte Taxe";
constexpr const char* kConfirmTaxeDelete = "Please, confirm deleting selected Alte Taxes. ";

class TViewTaxeSaveDecisions : public TAlteTaxeSaveDecisions {
public:
    TViewTaxeSaveDecisions(TPluListFrame& view, QLabel* status) : view_(view), status_(status) {}

    bool CancelRequested() override { return view_.AskCancel(); }
    void Failed(int32_t number) override
    {
        status_->setText(FromCp(S_ErrorInOperation));
        MyMessageDlg(S_ErrorInOperation + "\r\nInvalid input parameters.\rPlease validate Alte Taxe: " +
                         std::to_string(number),
                     mtWarning, mbAbort);
    }
    void Saved(int32_t) override { view_.StepProgress(); }

private:
    TPluListFrame& view_;
    QLabel* status_;
};

} // namespace

// The two columns NUMB and NAME of the tax table, read-only.
class TAlteTaxeGridModel : public QAbstractTableModel {
public:
    TAlteTaxeGridModel(TAlteTaxeTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table)
    {
        table_.Changed = [this] {
            beginResetModel();
            endResetModel();
        };
    }
    ~TAlteTaxeGridModel() override { table_.Changed = nullptr; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : table_.Count(); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::TextAlignmentRole && index.column() == 0)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        const TAlteTaxeRow& row = table_.Row(index.row());
        if (index.column() == 0)
            return row.NUMB ? QVariant(*row.NUMB) : QVariant();
        return FromCp(row.NAME);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return QString::fromLatin1(section == 0 ? "NUMB" : "NAME");
    }

private:
    TAlteTaxeTable& table_;
};

void TPluListFrame::SetUpAlteGrid()
{
    alteModel_ = new TAlteTaxeGridModel(memData_, this);
    QTableView* grid = ui_->AlteGrid;
    grid->setModel(alteModel_);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->resizeSection(0, grid->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { memData_.SetCurrent(current.row()); });
    // A double-click on a tax row deletes it, as the Delete Taxe button does.
    connect(grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && ui_->btnDeleteTaxe->isEnabled())
            RunHandler([this] { btnDeleteTaxeClick(); });
    });
}

std::vector<int> TPluListFrame::SelectedTaxeRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : ui_->AlteGrid->selectionModel()->selectedRows())
        rows.push_back(index.row());
    // Rows of the tax table are never reordered: creation order is row order.
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TPluListFrame::btnLoadAlteTaxesClick()
{
    ShowAlteTaxeMode();
    bool read = false;
    QDateTime start;
    {
        memData_.Clear();
        start = QDateTime::currentDateTime();
        ui_->Gauge->setRange(0, 10);
        abortRequested_ = false;
        ui_->StatusLabel->clear();
        // The navigation and the tax commands wait for the read; the PLU
        // commands are off in taxes mode anyway.
        TTransfer transfer(*this, false);
        EcrDevice.PortNumber = Set_ComPort;
        TECR_ALTETAXE_List taxes;
        read = EcrDevice.ReadAllAlteTaxes(taxes, ProgressProc());
        if (!read)
            MyMessageDlg(S_FailOperation + EcrDevice.LastError, mtError, mbOK);
        ui_->TitleLabel->setText(QString::fromLatin1(kAlteTaxesTitle));
        ui_->Gauge->setValue(0);
        LoadAlteTaxeRows(taxes, memData_, [this](int index) {
            ui_->StatusLabel->setText(FromCp(S_PluLoaded + std::to_string(index)));
        });
        ui_->Gauge->setValue(ui_->Gauge->value() + 1);
    }
    ShowOperationResult(read, abortRequested_, ui_->StatusLabel, start);
}

void TPluListFrame::SaveAllTaxes()
{
    ui_->StatusLabel->clear();
    if (memData_.Empty())
        return;
    abortRequested_ = false;
    TTransfer transfer(*this);
    const QDateTime start = QDateTime::currentDateTime();
    ui_->Gauge->setMaximum(memData_.Count());
    ui_->Gauge->setValue(0);
    TViewTaxeSaveDecisions decisions(*this, ui_->StatusLabel);
    const TAlteTaxeSaveSummary summary = SaveAllAlteTaxes(EcrDevice, memData_, pendingTaxeNumber_, decisions);
    ShowOperationResult(!summary.Failed, summary.Cancelled, ui_->StatusLabel, start);
}

void TPluListFrame::btnAddTaxeClick()
{
    try {
        TEditPluForm& form = EditPluForm();
        form.PrepareAlteTaxe("", true);
        const int32_t highest = memData_.HighestNumber();
        if (form.exec() == QDialog::Accepted) {
            pendingTaxeNumber_ = highest + 1;
            memData_.Append(highest + 1, form.AlteTaxeName());
        }
        SaveAllTaxes();
    } catch (const std::exception& e) {
        MyMessageDlg(e.what(), mtError, mbOK);
    }
}

void TPluListFrame::EditAlteTaxe()
{
    const int position = memData_.Current();
    if (position < 0)
        return;
    TEditPluForm& form = EditPluForm();
    form.PrepareAlteTaxe(memData_.Row(position).NAME, false);
    if (form.exec() == QDialog::Accepted)
        memData_.SetName(position, form.AlteTaxeName());
}

void TPluListFrame::btnEditTaxeClick()
{
    if (memData_.Empty())
        return;
    ui_->TitleLabel->setText(QString::fromLatin1(kEditAlteTaxeTitle));
    const std::vector<int> selected = SelectedTaxeRows();
    if (selected.size() <= 1) {
        EditAlteTaxe();
    } else {
        for (const int position : selected) {
            memData_.SetCurrent(position);
            EditAlteTaxe();
        }
    }
    SaveAllTaxes();
}

void TPluListFrame::btnDeleteTaxeClick()
{
    if (memData_.Empty())
        return;
    pendingTaxeNumber_ = 0;
    // A tax deleted on the register is gone: only Yes deletes.
    if (MyMessageDlg(std::string(kConfirmTaxeDelete) + "\r\n" + S_ConfirmOperation, mtConfirmation, mbYes | mbNo) !=
        mrYes)
        return;
    std::vector<int> selected = SelectedTaxeRows();
    if (selected.size() <= 1)
        selected = {memData_.Current()};
    try {
        for (const int position : selected) {
            // A failed write empties the list; nothing is left to delete.
            if (position < 0 || position >= memData_.Count())
                break;
            memData_.SetCurrent(position);
            pendingTaxeNumber_ = memData_.Row(position).NUMB.value_or(0);
            memData_.ClearRow(position);
            SaveAllTaxes();
        }
    } catch (const std::exception&) {
        // Told nothing, as the list shows what happened.
    }
}
