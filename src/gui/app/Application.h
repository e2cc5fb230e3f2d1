#pragma once
// The application object and what belongs to the program as a whole: the
// general error handler.

#include <QApplication>
#include <exception>

// Catches what escapes an event handler and hands it to ShowGeneralError,
// so the program goes on after the error.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The general error handler: shows the error's text (Windows-1251 bytes) in
// an error box with an OK button. An EAbort is the silent kind: nothing is
// shown.
void ShowGeneralError(const std::exception& error);

// Runs an event handler's body and hands an error that escapes it to
// ShowGeneralError, before it could unwind through the toolkit: the rest of
// the handler is skipped and the program goes on. Slots connected to
// widget signals run their body through it.
template <class F> void RunHandler(F&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        ShowGeneralError(error);
    }
}
