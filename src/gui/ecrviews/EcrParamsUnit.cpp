#include "gui/ecrviews/EcrParamsUnit.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/device/EcrDeviceUnit.h"
#include "gui/app/Application.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/ecrviews/EcrAdvLinesUnit.h"
#include "gui/ecrviews/EcrOperatorsDlgUnit.h"
#include "gui/ecrviews/ViewLook.h"
#include "ui_EcrParamsUnit.h"

#include <QApplication>
#include <functional>

namespace {

// One façade operation under a busy cursor, on the configured port.
bool RunOnRegister(const std::function<bool()>& operation)
{
    EcrDevice.PortNumber = Set_ComPort;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = operation();
    QApplication::restoreOverrideCursor();
    return ok;
}

void ShowFailure()
{
    MyMessageDlg(S_FailOperation + "\r\n" + EcrDevice.LastError, mtInformation, mbOK);
}

void ShowWriteResult(bool ok)
{
    if (ok)
        MyMessageDlg(S_SuccesOperation, mtInformation, mbOK);
    else
        ShowFailure();
}

} // namespace

TEcrParamsFrame::TEcrParamsFrame(QWidget* parent) : QWidget(parent), ui_(new Ui::TEcrParamsFrame)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    ApplyViewLook(this, ui_->pnlParams);
    connect(ui_->btnAdvLines, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnAdvLinesClick(); }); });
    connect(ui_->btnOperators, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnOperatorsClick(); }); });
    connect(ui_->btnBackup, &QPushButton::clicked, this, [this] { RunHandler([this] { btnBackupClick(); }); });
    connect(ui_->btnRestore, &QPushButton::clicked, this, [this] { RunHandler([this] { btnRestoreClick(); }); });
    SetBackupCaptions();
}

TEcrParamsFrame::~TEcrParamsFrame()
{
    delete ui_;
}

void TEcrParamsFrame::btnAdvLinesClick()
{
    TECR_AdvLines lines{};
    bool isFiscal = false;
    if (!RunOnRegister([&] { return EcrDevice.ReadAdvLines(lines, isFiscal); })) {
        ShowFailure();
        return;
    }
    TEcrAdvLinesDlg dialog(window());
    dialog.FillLines(lines);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.TakeLines(lines);
    ShowWriteResult(RunOnRegister([&] { return EcrDevice.WriteAdvLines(lines); }));
}

void TEcrParamsFrame::btnOperatorsClick()
{
    TECR_Cashiers cashiers;
    if (!RunOnRegister([&] { return EcrDevice.GetCashiers(cashiers); })) {
        ShowFailure();
        return;
    }
    TEcrOperatorsDlgUnit dialog(window());
    dialog.FillCashiers(cashiers);
    if (dialog.exec() != QDialog::Accepted)
        return;
    cashiers.clear();
    dialog.TakeCashiers(cashiers);
    ShowWriteResult(RunOnRegister([&] { return EcrDevice.WriteCashiers(cashiers); }));
}
