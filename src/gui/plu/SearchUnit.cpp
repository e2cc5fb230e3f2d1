#include "gui/plu/SearchUnit.h"

#include "gui/app/Application.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "ui_SearchUnit.h"

#include <QPointer>

TSearchForm::TSearchForm(QWidget* parent) : QDialog(parent), ui_(new Ui::TSearchForm)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    designCaption_ = ui_->lblCaption->text();
    connect(ui_->btnOk, &QPushButton::clicked, this, &TSearchForm::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &TSearchForm::reject);
}

TSearchForm::~TSearchForm()
{
    delete ui_;
}

QLineEdit* TSearchForm::ValueEdit() const
{
    return ui_->ValueEdit;
}

bool TSearchForm::Execute(const QString& caption, QString& value)
{
    caption_ = caption;
    ui_->ValueEdit->clear();
    if (exec() != QDialog::Accepted)
        return false;
    value = ui_->ValueEdit->text();
    return true;
}

void TSearchForm::accept()
{
    if (ui_->ValueEdit->text().isEmpty()) {
        ui_->ValueEdit->setFocus();
        return;
    }
    QDialog::accept();
}

void TSearchForm::showEvent(QShowEvent* event)
{
    // The file gets the design caption, never a caller's text; the caller's
    // text is shown after the translation.
    ui_->lblCaption->setText(designCaption_);
    if (TLngINISupp* lng = AppLanguageSupport())
        RunHandler([&] { TranslateControl(*lng, this); });
    ui_->lblCaption->setText(caption_);
    ui_->ValueEdit->selectAll();
    ui_->ValueEdit->setFocus();
    QDialog::showEvent(event);
}

TSearchForm& SearchForm()
{
    static QPointer<TSearchForm> form;
    if (!form)
        form = new TSearchForm(TMainForm::Instance());
    return *form;
}
