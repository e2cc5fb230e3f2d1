#include "gui/ecrviews/ViewLook.h"

#include "gui/app/LngTranslate.h"

#include <QDialog>
#include <QLabel>

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

void PrepareDialog(QDialog* dialog, QWidget* header, const QLabel* title)
{
    dialog->setStyleSheet(QStringLiteral("#%1 { background: #ffffff; border-bottom: 1px solid #c9d3df; }"
                                         "#%1 QLabel { color: #22364d; }")
                              .arg(header->objectName()));
    if (TLngINISupp* lng = AppLanguageSupport())
        TranslateControl(*lng, dialog);
    dialog->setWindowTitle(title->text());
    dialog->adjustSize();
}
