#include "gui/ecrviews/FieldValidators.h"

#include "core/app/EcrParamsRules.h"

#include <QLineEdit>
#include <QToolTip>

namespace {

constexpr const char* kTextCharRefused = "The register cannot store this character.";
constexpr const char* kTextNumberRefused = "Cashier numbers are 1 to 30.";

QValidator::State Refused(const QValidator* validator, const char* why)
{
    if (auto* edit = qobject_cast<QLineEdit*>(validator->parent()); edit && edit->isVisible())
        QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), QString::fromLatin1(why), edit);
    return QValidator::Invalid;
}

} // namespace

TFieldTextValidator::TFieldTextValidator(QLineEdit* edit) : QValidator(edit) {}

QValidator::State TFieldTextValidator::validate(QString& input, int&) const
{
    return FieldTextAcceptable(input.toStdString()) ? Acceptable : Refused(this, kTextCharRefused);
}

TCashierNumberValidator::TCashierNumberValidator(QLineEdit* edit) : QValidator(edit) {}

QValidator::State TCashierNumberValidator::validate(QString& input, int&) const
{
    return CashierNumberTextAcceptable(input.toStdString()) ? Acceptable : Refused(this, kTextNumberRefused);
}
