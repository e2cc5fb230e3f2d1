#pragma once
// The look the ECR parameter views and dialogs share. The views cover the
// main window's content area (logo and version line included) with its
// gradient and hold their controls on a white card in the middle; the
// dialogs have a white header band above their controls.

class QDialog;
class QLabel;
class QWidget;

void ApplyViewLook(QWidget* view, QWidget* card);

// Finishes a dialog built from its form: the look, the captions from the
// program's language file when there is one (errors of the file go to the
// caller), the window title from the title label, and the size its
// contents need.
void PrepareDialog(QDialog* dialog, QWidget* header, const QLabel* title);
