#include "app/ConstUnit.h"
#include "app/MainUnit.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitProgramLocation(QCoreApplication::applicationFilePath().toStdString());
    TMainForm w;
    w.show();
    return app.exec();
}
