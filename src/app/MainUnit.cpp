#include "app/MainUnit.h"
TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) { setObjectName("MainForm"); }
