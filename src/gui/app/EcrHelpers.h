#pragma once
// The register connection helpers every register-facing view shares.
// The register state itself (EcrDevice, EcrModel, ..., MaxPluNumber) lives in
// ConstUnit, below the windows.

#include <QDateTime>
#include <string>

class QLabel;

// Points the shared façade at the configured port and reads the register's
// identity (ReadEcrInfo). While it runs the window shows a busy cursor. When
// no register answers it shows the façade's reason in an error box (OK) and
// returns false; there is no caching: every call tries again.
bool ConnectAndReadEcrInfo();

// "HH:NN:SS" of a duration: hours of the day, so a duration of 24 hours or
// more starts again from 00.
std::string FormatElapsed(qint64 milliseconds);

// The end of every register command: cancelled -> the status label reads
// S_OperationCanceled, no box; success -> the label reads S_SuccesOperation
// + " (" + elapsed + " " + S_Min + ")" and an information box says
// S_SuccesOperation; failure -> a warning box with S_ErrorInOperation, then
// the label reads the same text.
void ShowOperationResult(bool success, bool cancelled, QLabel* status, const QDateTime& start);
