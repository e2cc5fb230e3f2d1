// The ECR parameters view's backup and restore commands: the core's register
// content, backup file and restore plan (core/backup), shown and asked for.

#include "gui/ecrviews/EcrParamsUnit.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/backup/BackupFile.h"
#include "core/base/CodePage.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MyMessageUnit.h"
#include "ui_EcrParamsUnit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>

#include <algorithm>
#include <vector>

namespace {

// While it lives the view's commands and the main window's navigation are
// off, and a progress dialog shows the work whenever the work reports;
// Cancel (or Esc, or the close box) asks the work to stop at the next
// record boundary.
class TRegisterWork {
public:
    TRegisterWork(QWidget* view, std::vector<QWidget*> commands, const std::string& title)
        : commands_(std::move(commands)), dialog_(view->window())
    {
        dialog_.setObjectName(QStringLiteral("RegisterProgress"));
        dialog_.setWindowTitle(FromCp(title));
        dialog_.setWindowModality(Qt::NonModal);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumDuration(0);
        Enable(false);
        EcrDevice.PortNumber = Set_ComPort;
    }
    ~TRegisterWork() { Enable(true); }
    TRegisterWork(const TRegisterWork&) = delete;
    TRegisterWork& operator=(const TRegisterWork&) = delete;

    TRegisterProgress Progress()
    {
        return [this](TRegisterStep step, int position, int total, bool& abort) {
            const bool reading = step <= TRegisterStep::ReadAdvLines;
            dialog_.setLabelText(FromCp(reading ? S_ReadingRegister : S_WritingRegister));
            dialog_.setMaximum(std::max(total, 1));
            dialog_.setValue(std::clamp(position, 0, std::max(total, 1)));
            if (!dialog_.isVisible())
                dialog_.show();
            QCoreApplication::processEvents();
            abort = abort || dialog_.wasCanceled();
        };
    }
    // Before a box: the dialog goes, and a cancel asked for is forgotten.
    void Hide()
    {
        dialog_.hide();
        dialog_.reset();
    }

private:
    void Enable(bool enable)
    {
        for (QWidget* command : commands_)
            command->setEnabled(enable);
        if (TMainForm* main = TMainForm::Instance())
            main->SetNavigationEnabled(enable);
    }

    std::vector<QWidget*> commands_;
    QProgressDialog dialog_;
};

// The file the user picks, as the file system names it; empty when the
// dialog was cancelled.
std::string ChooseBackupFile(QWidget* view, QFileDialog::AcceptMode mode, const std::string& caption)
{
    QString title = FromCp(caption);
    if (title.endsWith(QStringLiteral("...")))
        title.chop(3);
    QFileDialog dialog(view->window(), title);
    dialog.setObjectName(mode == QFileDialog::AcceptSave ? QStringLiteral("BackupDialog")
                                                         : QStringLiteral("RestoreDialog"));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters({FromCp(S_BackupFiles) + QStringLiteral(" (*.json)")});
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

// The core's texts are UTF-8 where they carry a file name; the box shows
// Windows-1251.
std::string Shown(const std::string& utf8)
{
    return Utf8ToCodePage(utf8).value_or(utf8);
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

void ShowFailure(const std::string& text)
{
    MyMessageDlg(S_FailOperation + "\r\n" + text, mtInformation, mbOK);
}

// A read or a run that did not get done: the box that says so, with what
// the register holds by now. False when the work went through.
bool ShowUndone(TRunResult result, const std::string& soFar)
{
    if (result == TRunResult::Aborted)
        MyMessageDlg(S_OperationCanceled + (soFar.empty() ? "" : "\r\n" + soFar), mtInformation, mbOK);
    else if (result == TRunResult::Failed)
        ShowFailure(EcrDevice.LastError + (soFar.empty() ? "" : "\r\n" + soFar));
    return result != TRunResult::Done;
}

} // namespace

void TEcrParamsFrame::SetBackupCaptions()
{
    // The two buttons sit on a panel that the language files' walk does not
    // enter: their captions are the catalogue's.
    MarkLanguageWindow(ui_->pnlBackup);
    ui_->btnBackup->setText(FromCp(S_BackupRegister));
    ui_->btnRestore->setText(FromCp(S_RestoreRegister));
}

void TEcrParamsFrame::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        SetBackupCaptions();
    QWidget::changeEvent(event);
}

void TEcrParamsFrame::btnBackupClick()
{
    const std::string path = ChooseBackupFile(this, QFileDialog::AcceptSave, S_BackupRegister);
    if (path.empty())
        return;
    TRegisterWork work(this, {ui_->btnAdvLines, ui_->btnOperators, ui_->btnBackup, ui_->btnRestore},
                       S_BackupRegister);
    TRegisterBackup backup;
    backup.Time = BackupTimeNow();
    const TRunResult read = ReadRegisterContent(EcrDevice, backup.Content, work.Progress());
    work.Hide();
    if (ShowUndone(read, ""))
        return;
    std::string error;
    if (!WriteBackupFile(path, backup, error)) {
        ShowFailure(Shown(error));
        return;
    }
    MyMessageDlg(S_RegisterBackedUp + Shown(path), mtInformation, mbOK);
}

void TEcrParamsFrame::btnRestoreClick()
{
    const std::string path = ChooseBackupFile(this, QFileDialog::AcceptOpen, S_RestoreRegister);
    if (path.empty())
        return;
    // The whole file is checked before the register hears a word.
    TRegisterBackup backup;
    std::string error;
    if (!ReadBackupFile(path, backup, error)) {
        ShowFailure(Shown(error));
        return;
    }
    TRegisterWork work(this, {ui_->btnAdvLines, ui_->btnOperators, ui_->btnBackup, ui_->btnRestore},
                       S_RestoreRegister);
    TRegisterContent target;
    const TRunResult read = ReadRegisterContent(EcrDevice, target, work.Progress());
    work.Hide();
    if (ShowUndone(read, ""))
        return;
    const TRestorePlan plan = PlanRestore(backup.Content, target);
    const std::string planText = Lines(RestorePlanLines(plan));
    if (plan.Empty()) {
        MyMessageDlg(planText, mtInformation, mbOK);
        return;
    }
    if (MyMessageDlg(planText + "\r\n\r\n" + S_ConfirmRestore, mtConfirmation, mbYes | mbNo) != mrYes)
        return;

    TRestoreReport report;
    const TRunResult run = RunRestorePlan(EcrDevice, plan, work.Progress(), report);
    const std::string soFar = S_RestoreStopped + RestoreReportText(plan, report);
    TRestorePlan left;
    const TRunResult check =
        run == TRunResult::Done ? CheckRestored(EcrDevice, backup.Content, work.Progress(), left) : run;
    work.Hide();
    if (ShowUndone(check, soFar))
        return;
    if (!left.Empty())
        ShowFailure(S_RestoreMismatch + "\r\n" + Lines(RestorePlanLines(left)));
    else
        MyMessageDlg(S_SuccesOperation, mtInformation, mbOK);
}
