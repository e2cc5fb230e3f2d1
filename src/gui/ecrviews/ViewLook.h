#pragma once
// The look the ECR parameter views and dialogs share. The views cover the
// main window's content area (logo and version line included) with its
// gradient and hold their controls on a white card in the middle; the
// dialogs have a white header band above their controls.

class QWidget;

void ApplyViewLook(QWidget* view, QWidget* card);
void ApplyDialogLook(QWidget* dialog, QWidget* header);
