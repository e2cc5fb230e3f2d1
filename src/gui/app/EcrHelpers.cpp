#include "gui/app/EcrHelpers.h"

#include "core/app/ConstUnit.h"
#include "gui/app/GuiText.h"
#include "core/app/MsgINISupp.h"
#include "gui/app/MyMessageUnit.h"

#include <QApplication>
#include <QLabel>
#include <cstdio>

bool ConnectAndReadEcrInfo()
{
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = ReadEcrInfo(error);
    QApplication::restoreOverrideCursor();
    if (!ok)
        MyMessageDlg(error, mtError, mbOK);
    return ok;
}

std::string FormatElapsed(qint64 milliseconds)
{
    if (milliseconds < 0)
        milliseconds = 0;
    const qint64 seconds = milliseconds / 1000;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return buf;
}

void ShowOperationResult(bool success, bool cancelled, QLabel* status, const QDateTime& start)
{
    if (cancelled) {
        status->setText(FromCp(S_OperationCanceled));
    } else if (success) {
        const std::string elapsed = FormatElapsed(start.msecsTo(QDateTime::currentDateTime()));
        status->setText(FromCp(S_SuccesOperation + " (" + elapsed + " " + S_Min + ")"));
        MyMessageDlg(S_SuccesOperation, mtInformation, mbOK);
    } else {
        MyMessageDlg(S_ErrorInOperation, mtWarning, mbOK);
        status->setText(FromCp(S_ErrorInOperation));
    }
}
