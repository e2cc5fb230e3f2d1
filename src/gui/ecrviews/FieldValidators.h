#pragma once
// Edits of register fields refuse, as it is typed or pasted, what the
// register could not keep (core/app/EcrParamsRules.h decides), and say why
// in a tip at the edit, without interrupting the typing.

#include <QValidator>

class QLineEdit;

// Characters of the code page only, no control characters.
class TFieldTextValidator : public QValidator {
public:
    explicit TFieldTextValidator(QLineEdit* edit);
    State validate(QString& input, int& pos) const override;
};

// A cashier number: empty or 1..30.
class TCashierNumberValidator : public QValidator {
public:
    explicit TCashierNumberValidator(QLineEdit* edit);
    State validate(QString& input, int& pos) const override;
};
