#include "app/Application.h"

#include "app/MyMessageUnit.h"
#include "base/EAbort.h"

#include <QPainter>
#include <QSvgRenderer>

static void InitResourcesOutsideNamespace()
{
    Q_INIT_RESOURCE(images);
}

void InitAppResources()
{
    static const bool done = (InitResourcesOutsideNamespace(), true);
    (void)done;
}

QPixmap AppPicture(const QString& name, QSize size, qreal devicePixelRatio)
{
    InitAppResources();
    if (devicePixelRatio <= 0)
        devicePixelRatio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/app/images/") + name);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

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
