#include "gui/app/AppPictures.h"

#include <QApplication>
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
