#include "gui/ecrviews/EcrAdvLinesUnit.h"

#include "core/app/EcrParamsRules.h"
#include "gui/app/GuiText.h"
#include "gui/ecrviews/FieldValidators.h"
#include "gui/ecrviews/ViewLook.h"
#include "ui_EcrAdvLinesUnit.h"

TEcrAdvLinesDlg::TEcrAdvLinesDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TEcrAdvLinesDlg)
{
    ui_->setupUi(this);
    for (int k = 0; k < kAdvLineCount; ++k) {
        LineEdit(k)->setMaxLength(static_cast<int>(kAdvLineLength));
        LineEdit(k)->setValidator(new TFieldTextValidator(LineEdit(k)));
    }
    connect(ui_->btnSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    PrepareDialog(this, ui_->pnlHeader, ui_->lblTitle);
}

TEcrAdvLinesDlg::~TEcrAdvLinesDlg()
{
    delete ui_;
}

QLineEdit* TEcrAdvLinesDlg::LineEdit(int k) const
{
    QLineEdit* const edits[kAdvLineCount] = {
        ui_->LineEdit0, ui_->LineEdit1, ui_->LineEdit2, ui_->LineEdit3, ui_->LineEdit4,
        ui_->LineEdit5, ui_->LineEdit6, ui_->LineEdit7, ui_->LineEdit8, ui_->LineEdit9};
    return edits[k];
}

void TEcrAdvLinesDlg::FillLines(const TECR_AdvLines& lines)
{
    filled_ = lines;
    for (int k = 0; k < kAdvLineCount; ++k) {
        // setText would cut a longer line to the edit's length; the whole
        // line is shown and kept, only typing is limited.
        QLineEdit* edit = LineEdit(k);
        const QString text = FromCp(lines[k]);
        edit->setMaxLength(std::max(static_cast<int>(kAdvLineLength), static_cast<int>(text.size())));
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

void TEcrAdvLinesDlg::TakeLines(TECR_AdvLines& lines) const
{
    for (int k = 0; k < kAdvLineCount; ++k) {
        const QLineEdit* edit = LineEdit(k);
        // The validator lets only code-page text in, so the conversion holds.
        lines[k] = edit->isModified() ? ToCp(edit->text()).value_or(filled_[k]) : filled_[k];
    }
}
