#include "gui/ecrviews/ViewLook.h"

#include <QWidget>

void ApplyViewLook(QWidget* view, QWidget* card)
{
    view->setAttribute(Qt::WA_StyledBackground);
    view->setStyleSheet(
        QStringLiteral("#%1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, "
                       "stop:0 #f6f8fb, stop:1 #dfe6ef); }"
                       "#%2 { background: #ffffff; border: 1px solid #c9d3df; border-radius: 8px; }"
                       "#%2 QLabel#TitleLabel { color: #22364d; }")
            .arg(view->objectName(), card->objectName()));
}

void ApplyDialogLook(QWidget* dialog, QWidget* header)
{
    dialog->setStyleSheet(QStringLiteral("#%1 { background: #ffffff; border-bottom: 1px solid #c9d3df; }"
                                         "#%1 QLabel { color: #22364d; }")
                              .arg(header->objectName()));
}
