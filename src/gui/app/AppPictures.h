#pragma once
// The program's pictures, compiled into the GUI library.

#include <QPixmap>
#include <QSize>
#include <QString>

// Makes the program's pictures (compiled into the GUI library) reachable
// under ":/app/images/". Safe to call more than once.
void InitAppResources();

// A picture of the program drawn at size (device-independent pixels) for
// the screen's pixel ratio.
QPixmap AppPicture(const QString& name, QSize size, qreal devicePixelRatio = 0);
