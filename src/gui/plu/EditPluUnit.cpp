#include "gui/plu/EditPluUnit.h"

#include "core/app/MsgINISupp.h"
#include "core/plu/PluEditRules.h"
#include "gui/app/Application.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MyMessageUnit.h"
#include "ui_EditPluUnit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QValidator>

namespace {

// Said when a typed or pasted text is refused.
constexpr const char* kTextCommaRefused = "A comma cannot be stored in this field.";
constexpr const char* kTextCharRefused =
    "This character cannot be stored: the register's character set has no place for it.";

constexpr const char* kEditPluTitle = "Edit PLU Items";
constexpr const char* kEditTaxesTitle = "Edit Alte Taxes";
constexpr const char* kDefaultUnit = "BUC";

// Refuses what the register could not keep, and says so once the edit has
// calmed down (a box opened inside the key handling would steal its event).
class TRegisterTextValidator : public QValidator {
public:
    TRegisterTextValidator(QObject* parent, bool noComma, std::function<void(const char*)> refused)
        : QValidator(parent), noComma_(noComma), refused_(std::move(refused))
    {
    }
    State validate(QString& input, int&) const override
    {
        const char* why = nullptr;
        if (noComma_ && input.contains(QLatin1Char(',')))
            why = kTextCommaRefused;
        else if (!ToCp(input))
            why = kTextCharRefused;
        if (!why)
            return Acceptable;
        QTimer::singleShot(0, parent(), [refused = refused_, why] { refused(why); });
        return Invalid;
    }

private:
    bool noComma_;
    std::function<void(const char*)> refused_;
};

// Position of value in a "1".."n" pick list; -1 (no choice) outside it.
int PickPosition(const QComboBox* combo, int64_t value)
{
    return value >= 1 && value <= combo->count() ? static_cast<int>(value - 1) : -1;
}

int PickValue(const QComboBox* combo) { return combo->currentIndex() + 1; }

std::string Cp(const QString& text) { return ToCp(text).value_or(std::string()); }

// Keeps edit to what the code page holds (and, with noComma, without
// commas), telling the user when it refused something.
void GuardText(QLineEdit* edit, bool noComma)
{
    QPointer<QLineEdit> target(edit);
    edit->setValidator(new TRegisterTextValidator(edit, noComma, [target](const char* why) {
        MyMessageDlg(why, mtWarning, mbOK);
        if (target)
            target->setFocus();
    }));
}

} // namespace

void FillPickList(QComboBox* combo, int count)
{
    combo->clear();
    for (int i = 1; i <= count; ++i)
        combo->addItem(QString::number(i));
}

TEditPluForm::TEditPluForm(QWidget* parent) : QDialog(parent), ui_(new Ui::TEditPluForm)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    designTitle_ = ui_->FormTitle->text();
    title_ = designTitle_;
    FillPickList(ui_->PayTypeCombo, 9);
    FillPickList(ui_->SubGroupCombo, 30);
    FillPickList(ui_->GroupCombo, 30);
    ui_->alteTaxeEdit->hide();
    ui_->BarcodeEdit->installEventFilter(this);
    GuardText(ui_->NumbEdit, false);
    GuardText(ui_->NameEdit, false);
    GuardText(ui_->BarcodeEdit, false);
    GuardText(ui_->pluUnitEdit, true);
    GuardText(ui_->taxValueEdit, true);
    GuardText(ui_->CommentEdit, true);
    GuardText(ui_->alteTaxeEdit, true);
    connect(ui_->btnOk, &QPushButton::clicked, this, &TEditPluForm::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &TEditPluForm::reject);
}

TEditPluForm::~TEditPluForm()
{
    delete ui_;
}

void TEditPluForm::SetTitle(const QString& title)
{
    title_ = title;
    ui_->FormTitle->setText(title);
    setWindowTitle(title);
}

void TEditPluForm::ShowFields(bool pluMode)
{
    pluMode_ = pluMode;
    SetTitle(QString::fromLatin1(pluMode ? kEditPluTitle : kEditTaxesTitle));
    QWidget* const pluControls[] = {
        ui_->lblNumb,      ui_->NumbEdit,      ui_->lblName,       ui_->NameEdit,        ui_->lblUnit,
        ui_->pluUnitEdit,  ui_->lblBarcode,    ui_->BarcodeEdit,   ui_->lblBarcodeNote,  ui_->lblSellPrice,
        ui_->SellPriceEdit, ui_->lblPayType,   ui_->PayTypeCombo,  ui_->lblSubGroup,     ui_->SubGroupCombo,
        ui_->lblGroup,     ui_->GroupCombo,    ui_->lblTaxGroup,   ui_->TaxGroupCombo,   ui_->alteTaxeDropDown,
        ui_->lblTaxValue,  ui_->taxValueEdit,  ui_->lblComment,    ui_->CommentEdit,     ui_->FlagsPanel,
    };
    for (QWidget* w : pluControls)
        w->setVisible(pluMode);
    ui_->TaxGroupCombo->clear();
    adjustSize();
}

void TEditPluForm::FillVatGroups()
{
    FillPickList(ui_->TaxGroupCombo, 4);
    ui_->TaxGroupCombo->setCurrentIndex(-1);
}

void TEditPluForm::SetAlteTaxeNames(const std::vector<std::string>& names)
{
    ui_->alteTaxeDropDown->clear();
    for (const std::string& name : names)
        ui_->alteTaxeDropDown->addItem(FromCp(name));
    ui_->alteTaxeDropDown->setCurrentIndex(-1);
}

void TEditPluForm::ShowAlteTaxeEdit(bool nameField)
{
    ui_->alteTaxeEdit->setVisible(nameField);
    ui_->alteTaxeDropDown->setVisible(!nameField);
}

void TEditPluForm::PrepareNew(int number, int vatGroupIndex)
{
    ui_->NumbEdit->setText(QString::number(number));
    ui_->BarcodeEdit->clear();
    ui_->NameEdit->clear();
    ui_->CommentEdit->clear();
    ui_->SellPriceEdit->setValue(0);
    ui_->PayTypeCombo->setCurrentIndex(0);
    ui_->GroupCombo->setCurrentIndex(0);
    ui_->SubGroupCombo->setCurrentIndex(0);
    ui_->pluUnitEdit->setText(QString::fromLatin1(kDefaultUnit));
    ui_->TaxGroupCombo->setCurrentIndex(vatGroupIndex);
    ui_->alteTaxeDropDown->setCurrentIndex(-1);
    OriginalBarcodes.clear();
}

void TEditPluForm::FillFromRow(const TPluRow& row)
{
    ui_->NumbEdit->setText(QString::number(row.NUMB));
    ui_->BarcodeEdit->setText(FromCp(row.BARCODE));
    ui_->NameEdit->setText(FromCp(row.NAME));
    ui_->SellPriceEdit->setValue(row.PRICE_SELL);
    ui_->CommentEdit->setText(FromCp(row.COMMENT));
    ui_->taxValueEdit->setText(FromCp(row.TAX_VALUE));
    ui_->pluUnitEdit->setText(FromCp(row.UNIT));
    ui_->alteTaxeDropDown->setCurrentIndex(ui_->alteTaxeDropDown->findText(FromCp(row.ALTE_TAXE), Qt::MatchExactly));
    ui_->PayTypeCombo->setCurrentIndex(PickPosition(ui_->PayTypeCombo, row.PAY_TYPE));
    ui_->GroupCombo->setCurrentIndex(PickPosition(ui_->GroupCombo, row.PLU_GROUP));
    ui_->SubGroupCombo->setCurrentIndex(PickPosition(ui_->SubGroupCombo, row.PLU_SUBGROUP));
    ui_->TaxGroupCombo->setCurrentIndex(PickPosition(ui_->TaxGroupCombo, row.TAX_GROUP));
    const auto flags = PluFlagsFromText(row.FLAGS);
    QCheckBox* const boxes[] = {ui_->chkFlag1, ui_->chkFlag2, ui_->chkFlag3, ui_->chkFlag4, ui_->chkFlag5,
                                ui_->chkFlag6, ui_->chkFlag7, ui_->chkFlag8, ui_->chkFlag9};
    for (int i = 0; i < kPluFlagsWidth; ++i)
        boxes[i]->setChecked(flags[i]);
}

void TEditPluForm::StoreIntoRow(TPluRow& row, bool withNumber) const
{
    if (withNumber)
        row.SetInt(TPluField::NUMB, PluNumberFromText(Cp(ui_->NumbEdit->text())).value_or(0));
    row.SetText(TPluField::BARCODE, Cp(ui_->BarcodeEdit->text()));
    row.SetText(TPluField::NAME, Cp(ui_->NameEdit->text()));
    row.SetFloat(TPluField::PRICE_SELL, ui_->SellPriceEdit->value());
    row.SetText(TPluField::COMMENT, Cp(ui_->CommentEdit->text()));
    row.SetText(TPluField::ALTE_TAXE, Cp(ui_->alteTaxeDropDown->currentText()));
    row.SetText(TPluField::TAX_VALUE, Cp(ui_->taxValueEdit->text()));
    const std::string unit = Cp(ui_->pluUnitEdit->text());
    row.SetText(TPluField::UNIT, unit.empty() ? kDefaultUnit : unit);
    row.SetInt(TPluField::PLU_GROUP, PickValue(ui_->GroupCombo));
    row.SetInt(TPluField::PLU_SUBGROUP, PickValue(ui_->SubGroupCombo));
    row.SetInt(TPluField::TAX_GROUP, PickValue(ui_->TaxGroupCombo));
    row.SetInt(TPluField::PAY_TYPE, PickValue(ui_->PayTypeCombo));
    const QCheckBox* const boxes[] = {ui_->chkFlag1, ui_->chkFlag2, ui_->chkFlag3, ui_->chkFlag4, ui_->chkFlag5,
                                      ui_->chkFlag6, ui_->chkFlag7, ui_->chkFlag8, ui_->chkFlag9};
    std::array<bool, kPluFlagsWidth> flags{};
    for (int i = 0; i < kPluFlagsWidth; ++i)
        flags[i] = boxes[i]->isChecked();
    row.SetText(TPluField::FLAGS, PluFlagsText(flags));
}

int TEditPluForm::VatGroupIndex() const
{
    return ui_->TaxGroupCombo->currentIndex();
}

std::string TEditPluForm::AlteTaxeName() const
{
    return Cp(ui_->alteTaxeEdit->text());
}

void TEditPluForm::PrepareAlteTaxe(const std::string& name, bool adding)
{
    ShowFields(false);
    if (adding) {
        ui_->alteTaxeDropDown->clear();
        ui_->taxValueEdit->clear();
    }
    ShowAlteTaxeEdit(true);
    ui_->alteTaxeEdit->setText(FromCp(name));
}

void TEditPluForm::SetNumberEditable(bool editable)
{
    ui_->NumbEdit->setEnabled(editable);
}

void TEditPluForm::Refuse(const std::string& text, uint8_t kind, QWidget* focus)
{
    MyMessageDlg(text, kind, mbOK);
    if (focus)
        focus->setFocus();
}

bool TEditPluForm::CheckFields()
{
    replacedRows_.clear();
    const std::optional<int> number = PluNumberFromText(Cp(ui_->NumbEdit->text()));
    if (!number) {
        Refuse(S_InvalidPluNumber + "\r" + S_InvalidNumber, mtWarning, ui_->NumbEdit);
        return false;
    }
    if (CheckTable) {
        TPluNumberUse use = FindPluNumberUse(*CheckTable, *number);
        if (use.Live) {
            Refuse(S_InvalidPluNumber + "\r" + S_DuplicateNumber, mtWarning, ui_->NumbEdit);
            return false;
        }
        replacedRows_ = std::move(use.DeletedRows);
    }
    const std::string barcodes = Cp(ui_->BarcodeEdit->text());
    static const TUsedBarcodes kNoBarcodes;
    switch (CheckPluBarcodes(barcodes, OriginalBarcodes, UsedBarcodes ? *UsedBarcodes : kNoBarcodes)) {
    case TPluBarcodeProblem::Repeated:
        Refuse(kTextBarcodeExists, mtError, nullptr);
        return false;
    case TPluBarcodeProblem::InUse:
        Refuse(kTextBarcodeExists, mtWarning, ui_->BarcodeEdit);
        ui_->BarcodeEdit->selectAll();
        return false;
    case TPluBarcodeProblem::None:
        break;
    }
    if (ui_->NameEdit->text().isEmpty()) {
        Refuse(S_PluEcrNameIsRequired, mtWarning, ui_->NameEdit);
        return false;
    }
    if (ui_->SellPriceEdit->value() < 0) {
        Refuse(S_InvalidPrice, mtWarning, ui_->SellPriceEdit);
        return false;
    }
    return true;
}

void TEditPluForm::accept()
{
    if (pluMode_) {
        bool passed = false;
        RunHandler([&] { passed = CheckFields(); });
        if (!passed) {
            replacedRows_.clear();
            return;
        }
    }
    QDialog::accept();
}

void TEditPluForm::showEvent(QShowEvent* event)
{
    // The language file gets the design title, never a mode's title.
    ui_->FormTitle->setText(designTitle_);
    if (TLngINISupp* lng = AppLanguageSupport())
        RunHandler([&] { TranslateControl(*lng, this); });
    ui_->FormTitle->setText(title_);
    setWindowTitle(title_);
    QWidget* first = pluMode_ ? (ui_->NumbEdit->isEnabled() ? static_cast<QWidget*>(ui_->NumbEdit) : ui_->NameEdit)
                              : ui_->alteTaxeEdit;
    first->setFocus();
    QDialog::showEvent(event);
}

bool TEditPluForm::eventFilter(QObject* watched, QEvent* event)
{
    // Barcodes are separated by commas alone; the space key types nothing.
    if (watched == ui_->BarcodeEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space)
        return true;
    return QDialog::eventFilter(watched, event);
}

TEditPluForm& EditPluForm()
{
    static QPointer<TEditPluForm> form;
    if (!form)
        form = new TEditPluForm(TMainForm::Instance());
    return *form;
}
