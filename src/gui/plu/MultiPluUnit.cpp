#include "gui/plu/MultiPluUnit.h"

#include "gui/app/Application.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "gui/plu/EditPluUnit.h"
#include "ui_MultiPluUnit.h"

#include <QPointer>

namespace {

// The value control follows its check box.
void ShowWhileChecked(QCheckBox* box, QWidget* value)
{
    value->setVisible(box->isChecked());
    QObject::connect(box, &QCheckBox::toggled, value, &QWidget::setVisible);
}

} // namespace

TMultiPluForm::TMultiPluForm(QWidget* parent) : QDialog(parent), ui_(new Ui::TMultiPluForm)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    FillPickList(ui_->GroupCombo, 10);
    FillPickList(ui_->SubGroupCombo, 9);
    FillPickList(ui_->PayTypeEdit, 9);
    ShowWhileChecked(ui_->chkGroup, ui_->GroupCombo);
    ShowWhileChecked(ui_->chkSubGroup, ui_->SubGroupCombo);
    ShowWhileChecked(ui_->chkTaxGroup, ui_->TaxGroupCombo);
    ShowWhileChecked(ui_->chkBarcodes, ui_->BarcodePanel);
    ShowWhileChecked(ui_->chkParams, ui_->FlagsPanel);
    ShowWhileChecked(ui_->chkPayType, ui_->PayTypeEdit);
    connect(ui_->btnOk, &QPushButton::clicked, this, &TMultiPluForm::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &TMultiPluForm::reject);
}

TMultiPluForm::~TMultiPluForm()
{
    delete ui_;
}

void TMultiPluForm::PrepareOpening()
{
    FillPickList(ui_->TaxGroupCombo, 4);
    for (QCheckBox* box : {ui_->chkGroup, ui_->chkSubGroup, ui_->chkTaxGroup, ui_->chkBarcodes, ui_->chkParams})
        box->setChecked(false);
    ui_->GroupCombo->setCurrentIndex(0);
    ui_->SubGroupCombo->setCurrentIndex(0);
    ui_->TaxGroupCombo->setCurrentIndex(1);
    // Radio buttons of one group cannot be unchecked one by one.
    for (QRadioButton* radio : {ui_->rbBarcodeNumber, ui_->rbBarcodeEmpty}) {
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(true);
    }
    for (QCheckBox* flag : ui_->FlagsPanel->findChildren<QCheckBox*>())
        flag->setChecked(false);
}

std::optional<TMultiPluChange> TMultiPluForm::Execute()
{
    PrepareOpening();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return Change();
}

TMultiPluChange TMultiPluForm::Change() const
{
    TMultiPluChange change;
    const auto value = [](const QComboBox* combo) { return combo->currentIndex() + 1; };
    if (ui_->chkGroup->isChecked())
        change.Group = value(ui_->GroupCombo);
    if (ui_->chkSubGroup->isChecked())
        change.SubGroup = value(ui_->SubGroupCombo);
    if (ui_->chkTaxGroup->isChecked())
        change.TaxGroup = value(ui_->TaxGroupCombo);
    if (ui_->chkPayType->isChecked())
        change.PayType = value(ui_->PayTypeEdit);
    if (ui_->chkBarcodes->isChecked()) {
        if (ui_->rbBarcodeNumber->isChecked())
            change.Barcode = TMultiBarcode::FromNumber;
        else if (ui_->rbBarcodeEmpty->isChecked())
            change.Barcode = TMultiBarcode::Empty;
    }
    if (ui_->chkParams->isChecked()) {
        const QCheckBox* const boxes[] = {ui_->chkFlag1, ui_->chkFlag2, ui_->chkFlag3, ui_->chkFlag4, ui_->chkFlag5,
                                          ui_->chkFlag6, ui_->chkFlag7, ui_->chkFlag8, ui_->chkFlag9};
        std::array<bool, kPluFlagsWidth> flags{};
        for (int i = 0; i < kPluFlagsWidth; ++i)
            flags[i] = boxes[i]->isChecked();
        change.Flags = PluFlagsText(flags);
    }
    return change;
}

void TMultiPluForm::accept()
{
    for (const QCheckBox* box : {ui_->chkGroup, ui_->chkSubGroup, ui_->chkTaxGroup, ui_->chkBarcodes,
                                 ui_->chkParams, ui_->chkPayType})
        if (box->isChecked()) {
            QDialog::accept();
            return;
        }
}

void TMultiPluForm::showEvent(QShowEvent* event)
{
    if (TLngINISupp* lng = AppLanguageSupport())
        RunHandler([&] { TranslateControl(*lng, this); });
    QDialog::showEvent(event);
}

TMultiPluForm& MultiPluForm()
{
    static QPointer<TMultiPluForm> form;
    if (!form)
        form = new TMultiPluForm(TMainForm::Instance());
    return *form;
}
