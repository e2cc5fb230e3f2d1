#pragma once
// The search dialog: asks for one value under a caption the caller gives.
// One dialog serves the whole program (SearchForm()); every use starts with
// an empty value.

#include <QDialog>
#include <QString>

class QLineEdit;

namespace Ui {
class TSearchForm;
}

class TSearchForm : public QDialog {
    Q_OBJECT
public:
    explicit TSearchForm(QWidget* parent = nullptr);
    ~TSearchForm() override;

    // Shows the dialog modally with caption above an empty value field.
    // True and the value on OK; false on Cancel (value untouched).
    bool Execute(const QString& caption, QString& value);

    QLineEdit* ValueEdit() const;

public slots:
    // OK with an empty value keeps the dialog open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Ui::TSearchForm* ui_;
    QString designCaption_;
    QString caption_;
};

// The program's one search dialog, made on first use, a child of the main
// window when there is one.
TSearchForm& SearchForm();
