#include "gui/ecrviews/EcrOperatorsDlgUnit.h"

#include "core/app/MsgINISupp.h"
#include "gui/app/GuiText.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/ecrviews/FieldValidators.h"
#include "gui/ecrviews/ViewLook.h"
#include "ui_EcrOperatorsDlgUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <algorithm>

namespace {

constexpr int kVisibleRows = 10;
constexpr int kRowMargin = 4;
constexpr int kColumnSpacing = 6;
constexpr int kFlagCount = 4;

// The x of each word's middle in a caption such as "Sell   Program Reports
// Admin", so each check box stands under its word in any translation; evenly
// spread when the caption does not have one word per flag.
void FlagCentres(const QLabel* caption, int width, int (&x)[kFlagCount])
{
    const QString text = caption->text();
    const QFontMetrics fm = caption->fontMetrics();
    std::vector<int> centres;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace())
            ++i;
        if (i > start)
            centres.push_back(fm.horizontalAdvance(text.left(start)) +
                              fm.horizontalAdvance(text.mid(start, i - start)) / 2);
    }
    for (int k = 0; k < kFlagCount; ++k)
        x[k] = centres.size() == kFlagCount ? centres[static_cast<std::size_t>(k)]
                                            : width * (2 * k + 1) / (2 * kFlagCount);
}

} // namespace

TEcrOperatorsDlgUnit::TEcrOperatorsDlgUnit(QWidget* parent)
    : QDialog(parent), ui_(new Ui::TEcrOperatorsDlgUnit)
{
    ui_->setupUi(this);
    // The list reads as one table: white under the rows too.
    ui_->CashierRowsPanel->setAutoFillBackground(true);
    ui_->CashierRowsPanel->setBackgroundRole(QPalette::Base);
    connect(ui_->btnAdd, &QPushButton::clicked, this, &TEcrOperatorsDlgUnit::btnAddClick);
    connect(ui_->btnSave, &QPushButton::clicked, this, &TEcrOperatorsDlgUnit::btnSaveClick);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Measured after the translation: the columns fit their captions.
    PrepareDialog(this, ui_->pnlHeader, ui_->lblTitle);
    MeasureColumns();
    adjustSize();
}

TEcrOperatorsDlgUnit::~TEcrOperatorsDlgUnit()
{
    delete ui_;
}

// The columns are as wide as their contents or their (translated) captions.
void TEcrOperatorsDlgUnit::MeasureColumns()
{
    const QFontMetrics fm = fontMetrics();
    // An edit's frame and margins around its text.
    constexpr int kEditPadding = 16;
    const auto column = [&](QLabel* caption, int textWidth) {
        const int width = std::max(textWidth + kEditPadding, caption->sizeHint().width());
        caption->setFixedWidth(width);
        return width;
    };
    numbWidth_ = column(ui_->lblNumbCaption, fm.horizontalAdvance(QStringLiteral("30")));
    nameWidth_ = column(ui_->lblNameCaption, fm.averageCharWidth() * static_cast<int>(kCashierNameLength));
    passwordWidth_ = column(ui_->lblPasswordCaption,
                            fm.averageCharWidth() * static_cast<int>(kCashierPasswordLength));
    flagsWidth_ = std::max(ui_->lblFlagNames->sizeHint().width(), ui_->lblForbidFlags->sizeHint().width());
    ui_->lblFlagNames->setFixedWidth(flagsWidth_);
    FlagCentres(ui_->lblFlagNames, flagsWidth_, flagX_);

    // The captions line up with the rows inside the scroll area's frame.
    const int frame = ui_->CashierGrid->frameWidth();
    ui_->CaptionsLayout->setContentsMargins(frame + kRowMargin, 0, 0, 0);
    ui_->CaptionsLayout->setHorizontalSpacing(kColumnSpacing);

    const int rowHeight = QLineEdit().sizeHint().height() + 2 * kRowMargin;
    const int rowWidth = 2 * kRowMargin + numbWidth_ + nameWidth_ + passwordWidth_ + flagsWidth_ +
                         3 * kColumnSpacing;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    ui_->CashierGrid->setFixedHeight(kVisibleRows * rowHeight + 2 * frame);
    ui_->CashierGrid->setMinimumWidth(rowWidth + scrollBar + 2 * frame);
}

void TEcrOperatorsDlgUnit::FillCashiers(const TECR_Cashiers& cashiers)
{
    const std::string error = FillCashierRows(cashiers, rows_);
    RebuildRows();
    if (!rows_.empty())
        SetCurrentRow(0);
    if (!error.empty())
        MyMessageDlg(S_UnexpectedError + "\r" + error, mtError, mbOK);
}

void TEcrOperatorsDlgUnit::TakeCashiers(TECR_Cashiers& cashiers) const
{
    cashiers = TakeCashierRows(rows_);
}

void TEcrOperatorsDlgUnit::RebuildRows()
{
    for (TRowControls& c : controls_)
        delete c.Panel;
    controls_.clear();
    current_ = -1;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        AddRowControls(i);
}

void TEcrOperatorsDlgUnit::AddRowControls(std::size_t i)
{
    TRowControls c;
    c.Panel = new QFrame(ui_->CashierRowsPanel);
    c.Panel->setAutoFillBackground(true);
    // Its own role: the list's white would otherwise be inherited.
    c.Panel->setBackgroundRole(QPalette::Window);
    auto* layout = new QHBoxLayout(c.Panel);
    layout->setContentsMargins(kRowMargin, kRowMargin, kRowMargin, kRowMargin);
    layout->setSpacing(kColumnSpacing);

    const auto edit = [&](int width, int maxLength, bool number) {
        auto* e = new QLineEdit(c.Panel);
        e->setFixedWidth(width);
        e->setMaxLength(maxLength);
        if (number)
            e->setValidator(new TCashierNumberValidator(e));
        else
            e->setValidator(new TFieldTextValidator(e));
        e->installEventFilter(this);
        layout->addWidget(e);
        return e;
    };
    const TCashierRow& row = rows_[i];
    c.Numb = edit(numbWidth_, 2, true);
    c.Name = edit(nameWidth_, static_cast<int>(kCashierNameLength), false);
    c.Password = edit(passwordWidth_, static_cast<int>(kCashierPasswordLength), false);
    c.Numb->setText(FromCp(row.Numb));
    c.Name->setText(FromCp(row.Name));
    c.Password->setText(FromCp(row.Password));

    auto* flags = new QWidget(c.Panel);
    flags->setFixedSize(flagsWidth_, c.Numb->sizeHint().height());
    layout->addWidget(flags);
    layout->addStretch();
    QCheckBox** boxes[kFlagCount] = {&c.Sell, &c.Program, &c.Reports, &c.Admin};
    const bool values[kFlagCount] = {row.Sell, row.Program, row.Reports, row.Admin};
    for (int k = 0; k < kFlagCount; ++k) {
        auto* box = new QCheckBox(flags);
        box->setChecked(values[k]);
        const QSize size = box->sizeHint();
        box->setGeometry(flagX_[k] - size.width() / 2, (flags->height() - size.height()) / 2, size.width(),
                         size.height());
        box->installEventFilter(this);
        *boxes[k] = box;
    }

    // MemData follows every edit.
    connect(c.Numb, &QLineEdit::textChanged, this,
            [this, i](const QString& t) { rows_[i].Numb = ToCp(t).value_or(rows_[i].Numb); });
    connect(c.Name, &QLineEdit::textChanged, this,
            [this, i](const QString& t) { rows_[i].Name = ToCp(t).value_or(rows_[i].Name); });
    connect(c.Password, &QLineEdit::textChanged, this,
            [this, i](const QString& t) { rows_[i].Password = ToCp(t).value_or(rows_[i].Password); });
    connect(c.Sell, &QCheckBox::toggled, this, [this, i](bool on) { rows_[i].Sell = on; });
    connect(c.Program, &QCheckBox::toggled, this, [this, i](bool on) { rows_[i].Program = on; });
    connect(c.Reports, &QCheckBox::toggled, this, [this, i](bool on) { rows_[i].Reports = on; });
    connect(c.Admin, &QCheckBox::toggled, this, [this, i](bool on) { rows_[i].Admin = on; });

    // Above the stretch that keeps the rows at the top.
    auto* rowsLayout = static_cast<QVBoxLayout*>(ui_->CashierRowsPanel->layout());
    rowsLayout->insertWidget(static_cast<int>(i), c.Panel);
    controls_.push_back(c);
    SetCurrentRow(current_);
}

void TEcrOperatorsDlgUnit::SetCurrentRow(int row)
{
    current_ = row;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        QPalette pal = controls_[i].Panel->palette();
        pal.setColor(QPalette::Window, static_cast<int>(i) == row ? QColor(0xdc, 0xe9, 0xf7) : palette().color(QPalette::Base));
        controls_[i].Panel->setPalette(pal);
    }
}

int TEcrOperatorsDlgUnit::RowOf(const QObject* control) const
{
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const TRowControls& c = controls_[i];
        for (const QObject* o : {static_cast<const QObject*>(c.Numb), static_cast<const QObject*>(c.Name),
                                 static_cast<const QObject*>(c.Password), static_cast<const QObject*>(c.Sell),
                                 static_cast<const QObject*>(c.Program), static_cast<const QObject*>(c.Reports),
                                 static_cast<const QObject*>(c.Admin)})
            if (o == control)
                return static_cast<int>(i);
    }
    return -1;
}

bool TEcrOperatorsDlgUnit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
        return QDialog::eventFilter(watched, event);
    const int row = RowOf(watched);
    if (row < 0)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        SetCurrentRow(row);
        return false;
    }
    const TRowControls& c = controls_[static_cast<std::size_t>(row)];
    if (watched != c.Numb && watched != c.Password)
        return false;
    // Only when the user moves on: not when the window merely lost the focus
    // (to a message box, say) or the dialog moved it (to a new row), and not
    // on the way to Save, which checks everything, or to Cancel.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
        reason != Qt::MouseFocusReason && reason != Qt::ShortcutFocusReason)
        return false;
    QWidget* next = QApplication::focusWidget();
    if (!next || next == ui_->btnSave || next == ui_->btnCancel || !isAncestorOf(next))
        return false;
    // After the focus has settled: a box shown inside a focus change would
    // fight it.
    const bool number = watched == c.Numb;
    QMetaObject::invokeMethod(this, [this, row, number] { CheckLeftEdit(row, number); }, Qt::QueuedConnection);
    return false;
}

void TEcrOperatorsDlgUnit::CheckLeftEdit(int row, bool number)
{
    if (!isVisible())
        return;
    const auto r = static_cast<std::size_t>(row);
    if (number ? !CashierNumberClashes(rows_, r) : !CashierPasswordClashes(rows_, r))
        return;
    MyMessageDlg(number ? kTextNumbersUnique : kTextPasswordsUnique, mtWarning, mbOK);
    FocusField(r, number);
}

void TEcrOperatorsDlgUnit::FocusField(std::size_t row, bool number)
{
    const TRowControls& c = controls_.at(row);
    QLineEdit* edit = number ? c.Numb : c.Password;
    SetCurrentRow(static_cast<int>(row));
    ui_->CashierGrid->ensureWidgetVisible(c.Panel);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

void TEcrOperatorsDlgUnit::btnAddClick()
{
    if (rows_.size() >= kMaxCashierRows) {
        MyMessageDlg(kTextMaxOperators, mtWarning, mbOK);
        return;
    }
    rows_.emplace_back();
    AddRowControls(rows_.size() - 1);
    // The new row is laid out before it can be scrolled to.
    ui_->CashierRowsPanel->layout()->activate();
    FocusField(rows_.size() - 1, true);
}

void TEcrOperatorsDlgUnit::btnSaveClick()
{
    if (const auto problem = CashierRowsSaveProblem(rows_)) {
        MyMessageDlg(problem->Text, mtWarning, mbOK);
        FocusField(problem->Row, problem->Field == TCashierRowsProblem::TField::Number);
        return;
    }
    accept();
}
