// The PLU view's register commands: Save all, Save selected, Delete all and
// Load from ECR, with the progress, abort and enabling they share. The work
// itself is the core's (core/plu/PluTransfer.h); here are the boxes, the
// status line and the progress bar.

#include "gui/plu/PluListUnit.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "gui/app/Application.h"
#include "gui/app/EcrHelpers.h"
#include "gui/app/GuiText.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/plu/EditPluUnit.h"
#include "ui_PluListUnit.h"

#include <QApplication>
#include <QDateTime>

namespace {

constexpr const char* kPluItemsTitle = "PLU Items";

std::string Number(const TECR_PLU& plu) { return std::to_string(plu.Number); }

// The boxes of the two Save commands. Save selected names the lost
// connection in its failure box, Save all does not.
class TViewSaveDecisions : public TPluSaveDecisions {
public:
    TViewSaveDecisions(TPluListFrame& view, QLabel* status, bool selected)
        : view_(view), status_(status), selected_(selected)
    {
    }

    bool CancelRequested() override { return view_.AskCancel(); }
    TPluInvalidChoice Invalid(const TPluSendOutcome& outcome) override
    {
        status_->setText(FromCp(S_ErrorInOperation));
        const int answer = MyMessageDlg(S_ErrorInOperation + "\r\n" + S_InvalidPLUData + Number(outcome.Record),
                                        mtWarning, mbAbort | mbIgnore);
        return answer == mrIgnore ? TPluInvalidChoice::Ignore : TPluInvalidChoice::Abort;
    }
    TPluFailureChoice Failed(const TPluSendOutcome& outcome) override
    {
        status_->setText(FromCp(S_ErrorInOperation));
        const std::string reason = selected_ ? S_NoConnection + "\r\n" + outcome.Error : outcome.Error;
        const int answer = MyMessageDlg(S_ErrorInOperation + "\r\n" + reason, mtWarning, mbAbort | mbRetry);
        return answer == mrRetry ? TPluFailureChoice::Retry : TPluFailureChoice::Abort;
    }
    void Sent(const TPluSendOutcome& outcome) override
    {
        status_->setText(FromCp(S_PluSet + Number(outcome.Record)));
        view_.StepProgress();
    }

private:
    TPluListFrame& view_;
    QLabel* status_;
    bool selected_;
};

} // namespace

// --- Shared by every register command of the view ------------------------

void TPluListFrame::SetUpTransfers()
{
    const auto handle = [this](auto member) { return [this, member] { RunHandler([&] { (this->*member)(); }); }; };
    connect(ui_->btnAddPlu, &QPushButton::clicked, this, handle(&TPluListFrame::btnAddPluClick));
    connect(ui_->btnEditPlu, &QPushButton::clicked, this, handle(&TPluListFrame::btnEditPluClick));
    connect(ui_->btnMultiEdit, &QPushButton::clicked, this, handle(&TPluListFrame::btnMultiEditClick));
    connect(ui_->NSaveAllToECR, &QAction::triggered, this, handle(&TPluListFrame::NSaveAllToECRClick));
    connect(ui_->NSaveSelectedToECR, &QAction::triggered, this, handle(&TPluListFrame::NSaveSelectedToECRClick));
    connect(ui_->NDeleteAllFromECR, &QAction::triggered, this, handle(&TPluListFrame::NDeleteAllFromECRClick));
    connect(ui_->NLoadFromECR, &QAction::triggered, this, handle(&TPluListFrame::NLoadFromECRClick));
    connect(ui_->btnLoadAlteTaxes, &QPushButton::clicked, this, handle(&TPluListFrame::btnLoadAlteTaxesClick));
    connect(ui_->btnAddTaxe, &QPushButton::clicked, this, handle(&TPluListFrame::btnAddTaxeClick));
    connect(ui_->btnEditTaxe, &QPushButton::clicked, this, handle(&TPluListFrame::btnEditTaxeClick));
    connect(ui_->btnDeleteTaxe, &QPushButton::clicked, this, handle(&TPluListFrame::btnDeleteTaxeClick));
    // The Abort button keeps its arrow while the view shows the busy cursor.
    ui_->btnXStop->setCursor(Qt::ArrowCursor);
    SetUpAlteGrid();
}

TPluListFrame::TTransfer::TTransfer(TPluListFrame& view, bool allControls) : view_(view), all_(allControls)
{
    if (all_)
        view_.EnableAllControls(false);
    else
        view_.EnableRegisterCommands(false);
}

TPluListFrame::TTransfer::~TTransfer()
{
    if (all_)
        view_.EnableAllControls(true);
    else
        view_.EnableRegisterCommands(true);
}

TPluListFrame::TBusyCursor::TBusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TPluListFrame::TBusyCursor::~TBusyCursor()
{
    QApplication::restoreOverrideCursor();
}

bool TPluListFrame::ReportProgress(int position, int total)
{
    ui_->Gauge->setMaximum(total);
    ui_->Gauge->setValue(position);
    ProcessPendingEvents();
    return abortRequested_;
}

TDevProgressProc TPluListFrame::ProgressProc()
{
    return [this](int position, int total, bool& abort) { abort = ReportProgress(position, total); };
}

void TPluListFrame::StepProgress()
{
    ui_->Gauge->setValue(ui_->Gauge->value() + 1);
    ProcessPendingEvents();
}

void TPluListFrame::ProcessPendingEvents()
{
    // Outside a transfer the commands are not disabled: the window repaints,
    // but no click may start a second register operation inside this one.
    QCoreApplication::processEvents(transferDepth_ > 0 ? QEventLoop::AllEvents
                                                       : QEventLoop::ExcludeUserInputEvents);
}

void TPluListFrame::EnableAllControls(bool enable)
{
    EnablePluButtons(enable);
    EnableRegisterCommands(enable);
    ui_->PluesGrid->setEnabled(enable);
    ui_->Gauge->setMinimum(0);
    ui_->Gauge->setValue(0);
    ui_->PluesGrid->viewport()->update();
}

void TPluListFrame::EnableRegisterCommands(bool enable)
{
    transferDepth_ += enable ? -1 : 1;
    // No other register command may start while one runs; Abort still acts.
    for (QPushButton* button : {ui_->btnLoadAlteTaxes, ui_->btnAddTaxe, ui_->btnDeleteTaxe, ui_->btnEditTaxe})
        button->setEnabled(enable);
    if (TMainForm* main = TMainForm::Instance())
        main->SetNavigationEnabled(enable);
    ui_->AlteGrid->setEnabled(enable);
    if (enable)
        unsetCursor();
    else
        setCursor(Qt::BusyCursor);
}

bool TPluListFrame::AskCancel()
{
    if (!abortRequested_)
        return false;
    ui_->StatusLabel->setText(FromCp(S_UserCancelOperation));
    // Only Yes cancels: closing the box goes on like No.
    if (MyMessageDlg(S_UserCancelOperation, mtWarning, mbYes | mbNo) == mrYes)
        return true;
    abortRequested_ = false;
    return false;
}

TPluSendOutcome TPluListFrame::SaveCurrentPluToEcr()
{
    return SendPluRow(EcrDevice, table_.CurrentRow(), TPluSendLimits{MaxPluNumber, MaxPluSubgroup}, ProgressProc());
}

// --- The commands ---------------------------------------------------------------

void TPluListFrame::NSaveAllToECRClick()
{
    ui_->StatusLabel->clear();
    if (!HasRows())
        return;
    const TPluRowId remembered = table_.Bookmark();
    TPluUpdateGuard updates(table_);
    abortRequested_ = false;
    TTransfer transfer(*this);
    const QDateTime start = QDateTime::currentDateTime();
    ui_->Gauge->setMaximum(table_.Count());
    ui_->Gauge->setValue(0);
    TViewSaveDecisions decisions(*this, ui_->StatusLabel, false);
    const TPluSaveSummary summary = SavePluRows(table_, AllPluRows(table_), EcrDevice,
                                                TPluSendLimits{MaxPluNumber, MaxPluSubgroup}, ProgressProc(),
                                                decisions);
    ShowOperationResult(summary.AllWritten(), summary.Cancelled, ui_->StatusLabel, start);
    // An invalid row the user stopped at stays current, to be mended.
    table_.GotoBookmark(summary.AbortedAtInvalid ? summary.AbortedAt : remembered);
}

void TPluListFrame::NSaveSelectedToECRClick()
{
    ui_->StatusLabel->clear();
    abortRequested_ = false;
    if (!HasRows())
        return;
    const QDateTime start = QDateTime::currentDateTime();
    const std::vector<TPluRowId> selected = SelectedRows();
    if (selected.size() <= 1) {
        TPluSendOutcome outcome;
        {
            TBusyCursor busy;
            outcome = SaveCurrentPluToEcr();
        }
        if (outcome.Result == psInvalid) {
            ui_->StatusLabel->setText(FromCp(S_ErrorInOperation));
            MyMessageDlg(S_ErrorInOperation + "\r\n" + S_InvalidPLUData + Number(outcome.Record), mtWarning, mbOK);
        } else if (outcome.Result == psFailed) {
            ui_->StatusLabel->setText(FromCp(S_ErrorInOperation));
            MyMessageDlg(S_ErrorInOperation + "\r\n" + S_NoConnection + "\r\n" + outcome.Error, mtWarning, mbOK);
        }
        ShowOperationResult(outcome.Result == psSent, abortRequested_, ui_->StatusLabel, start);
        return;
    }
    TTransfer transfer(*this);
    ui_->Gauge->setMaximum(static_cast<int>(selected.size()));
    ui_->Gauge->setValue(0);
    TPluSaveSummary summary;
    {
        TPluUpdateGuard updates(table_);
        TViewSaveDecisions decisions(*this, ui_->StatusLabel, true);
        summary = SavePluRows(table_, selected, EcrDevice, TPluSendLimits{MaxPluNumber, MaxPluSubgroup},
                              ProgressProc(), decisions);
    }
    ShowOperationResult(summary.AllWritten(), summary.Cancelled, ui_->StatusLabel, start);
}

void TPluListFrame::NDeleteAllFromECRClick()
{
    ui_->StatusLabel->clear();
    abortRequested_ = false;
    TTransfer transfer(*this);
    const QDateTime start = QDateTime::currentDateTime();
    const bool deleted = EcrDevice.DeleteAllPlues(ProgressProc());
    ShowOperationResult(deleted, abortRequested_, ui_->StatusLabel, start);
}

void TPluListFrame::NLoadFromECRClick()
{
    ShowTaxeButtons(false);
    EnablePluButtons(true);
    ui_->AlteGrid->hide();
    ui_->PluesGrid->show();
    bool read = false;
    QDateTime start;
    {
        TPluUpdateGuard updates(table_);
        table_.Close();
        usedBarcodes_.Clear();
        table_.Open();
        EditPluForm().ShowAlteTaxeEdit(false);
        start = QDateTime::currentDateTime();
        ui_->Gauge->setRange(0, 10);
        abortRequested_ = false;
        TTransfer transfer(*this);
        ui_->StatusLabel->clear();

        EcrDevice.PortNumber = Set_ComPort;
        TECR_PLU_List records;
        read = EcrDevice.ReadAllPlues(records, ProgressProc());
        if (!read)
            MyMessageDlg(S_FailOperation + EcrDevice.LastError, mtError, mbOK);
        ui_->TitleLabel->setText(QString::fromLatin1(kPluItemsTitle));
        ui_->Gauge->setValue(0);
        AppendPluRecords(
            records, table_, usedBarcodes_,
            [this](int index) { ui_->StatusLabel->setText(FromCp(S_PluLoaded + std::to_string(index))); },
            [this](int) { StepProgress(); });
    }
    ShowOperationResult(read, abortRequested_, ui_->StatusLabel, start);
}
