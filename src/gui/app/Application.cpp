#include "gui/app/Application.h"

#include "gui/app/MyMessageUnit.h"
#include "core/base/EAbort.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowGeneralError(error);
    } catch (...) {
        ShowGeneralError(std::runtime_error("Unknown error"));
    }
    return false;
}

void ShowGeneralError(const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error))
        return;
    MyMessageDlg(error.what(), mtError, mbOK);
}
