#include "gui/plu/PluListUnit.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/plu/PluFile.h"
#include "core/workbook/PluWorkbook.h"
#include "gui/app/Application.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/plu/ColListUnit.h"
#include "gui/plu/PluGridModel.h"
#include "gui/plu/PluReport.h"
#include "gui/plu/SearchUnit.h"
#include "ui_PluListUnit.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QStyleOptionHeader>

namespace {

const QColor kTitleRowColour(255, 201, 14);

// "Caption|pattern|Caption|pattern" as the file dialog's name filters.
QStringList NameFilters(const char* filter)
{
    const QStringList parts = QString::fromLatin1(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                       QLatin1Char(')');
    return filters;
}

QFileDialog* MakePluFileDialog(QWidget* parent, const char* name, const char* title,
                               QFileDialog::AcceptMode mode, const char* filter = kPluFileFilter,
                               const char* defaultExt = kPluFileDefaultExt)
{
    auto* dialog = new QFileDialog(parent, QString::fromLatin1(title));
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dialog->setNameFilters(NameFilters(filter));
    dialog->setDefaultSuffix(QString::fromLatin1(defaultExt));
    return dialog;
}

bool IsWholeNumberField(TPluField field)
{
    const TPluFieldType type = PluFieldInfo(field).Type;
    return type == TPluFieldType::Int16 || type == TPluFieldType::Int32;
}

// A number typed by the user: the locale's way first, then the C way.
std::optional<double> ParseNumber(const QString& text, bool wholeNumber)
{
    bool ok = false;
    if (wholeNumber) {
        const int value = QLocale().toInt(text.trimmed(), &ok);
        if (ok)
            return value;
        const int plain = text.trimmed().toInt(&ok);
        return ok ? std::optional<double>(plain) : std::nullopt;
    }
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    if (ok)
        return value;
    const double plain = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(plain) : std::nullopt;
}

// The value a search refuses beside texts that are no number.
constexpr double kRefusedSearchValue = -100;

// Column titles whose sort mark points up for an ascending sort and down
// for a descending one (Qt's own header draws them the other way round).
class TTitleRow : public QHeaderView {
public:
    explicit TTitleRow(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override
    {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        if (option->sortIndicator == QStyleOptionHeader::SortDown)
            option->sortIndicator = QStyleOptionHeader::SortUp;
        else if (option->sortIndicator == QStyleOptionHeader::SortUp)
            option->sortIndicator = QStyleOptionHeader::SortDown;
    }
};

} // namespace

TPluListFrame::TPluListFrame(QWidget* parent)
    : QWidget(parent), ui_(new Ui::TPluListFrame), model_(new TPluGridModel(table_, this))
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    // Opened by InitPluView: until then every command finds no rows.
    table_.Close();
    openDialog_ = MakePluFileDialog(this, "OpenDialog", "Load from file", QFileDialog::AcceptOpen);
    saveDialog_ = MakePluFileDialog(this, "SaveDialog", "Save to file", QFileDialog::AcceptSave);
    saveExcelDialog_ = MakePluFileDialog(this, "SaveExcelDialog", "Export to EXCEL", QFileDialog::AcceptSave,
                                         kSaveExcelFilter, kExcelDefaultExt);
    openExcelDialog_ = MakePluFileDialog(this, "OpenExcelDialog", "Import from EXCEL", QFileDialog::AcceptOpen,
                                         kOpenExcelFilter, kExcelDefaultExt);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    QPalette navy = ui_->TitleLabel->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    ui_->TitleLabel->setPalette(navy);
    ui_->Gauge->setStyleSheet(QStringLiteral(
        "QProgressBar { background: white; border: 1px solid #7f7f7f; }"
        "QProgressBar::chunk { background: #000080; }"));

    SetUpGrid();
    SetUpMenus();

    connect(ui_->btnDeletePlu, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnDeletePluClick(); }); });
    connect(ui_->btnVisibleColumns, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnVisibleColumnsClick(); }); });
    connect(ui_->btnEcrOperations, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnEcrOperationsClick(); }); });
    connect(ui_->btnFileOperations, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnFileOperationsClick(); }); });
    connect(ui_->btnPrint, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnPrintClick(); }); });
    connect(ui_->btnSearch, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnSearchClick(); }); });
    connect(ui_->btnXStop, &QPushButton::clicked, this, &TPluListFrame::btnXStopClick);
    connect(ui_->NSaveToFile, &QAction::triggered, this,
            [this] { RunHandler([this] { NSaveToFileClick(); }); });
    connect(ui_->NLoadFromFile, &QAction::triggered, this,
            [this] { RunHandler([this] { NLoadFromFileClick(); }); });
    // Export and import live in PluListWorkbooks.cpp.
    connect(ui_->NExportToExcel, &QAction::triggered, this,
            [this] { RunHandler([this] { NExportToExcelClick(); }); });
    connect(ui_->NImportFromExcel, &QAction::triggered, this,
            [this] { RunHandler([this] { NImportFromExcelClick(); }); });

    SetUpTransfers();

    EnablePluButtons(true);
    ShowTaxeButtons(false);
}

TPluListFrame::~TPluListFrame()
{
    // The grid's model goes before the table it watches.
    ui_->PluesGrid->setModel(nullptr);
    delete model_;
    delete ui_;
}

void TPluListFrame::SetUpGrid()
{
    QTableView* grid = ui_->PluesGrid;
    grid->setHorizontalHeader(new TTitleRow(grid));
    grid->setModel(model_);
    QHeaderView* titles = grid->horizontalHeader();
    titles->setSectionsClickable(true);
    titles->setSectionsMovable(true);
    titles->setSortIndicatorShown(true);
    titles->setHighlightSections(false);
    titles->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: black;"
                                         " border: 0px; border-right: 1px solid #a07d00;"
                                         " border-bottom: 1px solid #a07d00; padding: 2px 4px; }")
                              .arg(kTitleRowColour.name()));
    // One height for every row: the grid never measures its 30 000 rows.
    QHeaderView* rows = grid->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    const int charWidth = grid->fontMetrics().averageCharWidth();
    for (int column = 0; column < kPluGridColumnCount; ++column) {
        const TPluFieldInfo& info = PluFieldInfo(TPluGridModel::FieldOfColumn(column));
        const int byTitle =
            titles->fontMetrics().horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString()) + 24;
        titles->resizeSection(column, std::max(byTitle, (info.DisplayWidth + 1) * charWidth + 8));
    }
    // The selection stays visible when the grid loses the focus.
    QPalette palette = grid->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    grid->setPalette(palette);

    connect(titles, &QHeaderView::sectionClicked, this,
            [this](int column) { RunHandler([&] { PluesGridTitleClick(column); }); });
    connect(grid, &QTableView::clicked, this,
            [this](const QModelIndex& index) { PluesGridCellClick(index.column()); });
    connect(grid, &QTableView::doubleClicked, this, [this] { ui_->btnEditPlu->click(); });
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != table_.Current())
                    table_.SetCurrent(current.row());
            });
    connect(model_, &TPluGridModel::CurrentRowChanged, this, &TPluListFrame::FollowCurrentRow);
    grid->installEventFilter(this);

    ui_->AlteGrid->horizontalHeader()->setStyleSheet(titles->styleSheet());
    ui_->AlteGrid->verticalHeader()->hide();
}

void TPluListFrame::SetUpMenus()
{
    ecrMenu_ = new QMenu(this);
    ecrMenu_->addAction(ui_->NSaveAllToECR);
    ecrMenu_->addAction(ui_->NSaveSelectedToECR);
    ecrMenu_->addSeparator();
    ecrMenu_->addAction(ui_->NDeleteAllFromECR);
    ecrMenu_->addSeparator();
    ecrMenu_->addAction(ui_->NLoadFromECR);
    fileMenu_ = new QMenu(this);
    fileMenu_->addAction(ui_->NSaveToFile);
    fileMenu_->addAction(ui_->NLoadFromFile);
    fileMenu_->addSeparator();
    fileMenu_->addAction(ui_->NExportToExcel);
    fileMenu_->addAction(ui_->NImportFromExcel);
    for (QMenu* menu : {ecrMenu_, fileMenu_})
        UseOwnerDrawnMenu(menu);
    for (QPushButton* button : {ui_->btnEcrOperations, ui_->btnFileOperations})
        button->installEventFilter(this);
}

QTableView* TPluListFrame::PluesGrid() const
{
    return ui_->PluesGrid;
}

// --- Opening, closing, modes ----------------------------------------------

void TPluListFrame::InitPluView()
{
    ShowTaxeButtons(false);
    sortFieldName_ = TPluField::NUMB;
    sortAscending_ = true;
    searchField_.reset();
    ui_->AlteGrid->hide();
    usedBarcodes_ = TUsedBarcodes();
    if (table_.IsOpen())
        table_.Close();
    model_->AssignDisplayLabels();
    ApplyHiddenColumns(Set_HiddenCols);
    QCoreApplication::processEvents();
    table_.Open();
    table_.Sort(sortFieldName_, sortAscending_);
    UpdateSortMark();
}

void TPluListFrame::DonePluView()
{
    usedBarcodes_ = TUsedBarcodes();
    table_.Close();
}

void TPluListFrame::ShowPluListMode()
{
    ui_->AlteGrid->hide();
    ui_->PluesGrid->show();
    ShowTaxeButtons(false);
    EnablePluButtons(true);
    show();
}

void TPluListFrame::ShowAlteTaxeMode()
{
    ShowTaxeButtons(true);
    EnablePluButtons(false);
    ui_->PluesGrid->hide();
    ui_->AlteGrid->show();
}

bool TPluListFrame::InPluListMode() const
{
    return !ui_->PluesGrid->isHidden() && ui_->AlteGrid->isHidden();
}

void TPluListFrame::EnablePluButtons(bool enable)
{
    for (QPushButton* button :
         {ui_->btnAddPlu, ui_->btnEditPlu, ui_->btnDeletePlu, ui_->btnMultiEdit,
          ui_->btnVisibleColumns, ui_->btnEcrOperations, ui_->btnPrint, ui_->btnFileOperations,
          ui_->btnSearch})
        button->setEnabled(enable);
    // The tax commands and the menu items come back with the view's commands.
    for (QPushButton* button :
         {ui_->btnLoadAlteTaxes, ui_->btnAddTaxe, ui_->btnDeleteTaxe, ui_->btnEditTaxe})
        button->setEnabled(true);
    for (QMenu* menu : {ecrMenu_, fileMenu_})
        for (QAction* item : menu->actions())
            item->setEnabled(true);
}

void TPluListFrame::ShowTaxeButtons(bool show)
{
    for (QPushButton* button : {ui_->btnEditTaxe, ui_->btnDeleteTaxe, ui_->btnAddTaxe})
        button->setVisible(show);
}

void TPluListFrame::ApplyHiddenColumns(const std::string& hidden)
{
    QHeaderView* header = ui_->PluesGrid->horizontalHeader();
    const int count = std::min<int>(static_cast<int>(hidden.size()), header->count());
    for (int position = 0; position < count; ++position)
        header->setSectionHidden(header->logicalIndex(position), hidden[position] != '0');
}

std::vector<TPluRowId> TPluListFrame::SelectedRows() const
{
    std::vector<int> positions;
    for (const QModelIndex& index : ui_->PluesGrid->selectionModel()->selectedRows())
        positions.push_back(index.row());
    return table_.CreationOrder(positions);
}

// --- Grid --------------------------------------------------------------------

void TPluListFrame::PluesGridTitleClick(int column)
{
    const TPluField field = TPluGridModel::FieldOfColumn(column);
    if (field != sortFieldName_) {
        sortFieldName_ = field;
        sortAscending_ = true;
    } else {
        sortAscending_ = !sortAscending_;
    }
    table_.Sort(sortFieldName_, sortAscending_);
    UpdateSortMark();
}

void TPluListFrame::UpdateSortMark()
{
    ui_->PluesGrid->horizontalHeader()->setSortIndicator(
        TPluGridModel::ColumnOfField(sortFieldName_),
        sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TPluListFrame::PluesGridCellClick(int column)
{
    const TPluField field = TPluGridModel::FieldOfColumn(column);
    searchField_ = field;
    ui_->btnSearch->setText(SearchCaption(field));
}

QString TPluListFrame::SearchCaption(TPluField field) const
{
    return FromCp(S_SearchBy) + QLatin1Char('"') + FromCp(PluFieldDisplayLabel(field)) +
           QLatin1Char('"');
}

void TPluListFrame::FollowCurrentRow(int position)
{
    QTableView* grid = ui_->PluesGrid;
    if (position < 0)
        return;
    const QModelIndex current = grid->currentIndex();
    if (current.isValid() && current.row() == position)
        return;
    const QModelIndex target =
        model_->index(position, current.isValid() ? current.column() : grid->horizontalHeader()->logicalIndex(0));
    grid->selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->scrollTo(target);
}

bool TPluListFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->PluesGrid && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Insert:
            ui_->btnAddPlu->click();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ui_->btnEditPlu->click();
            return true;
        case Qt::Key_Delete:
            RunHandler([this] { btnDeletePluClick(); });
            return true;
        default:
            break;
        }
    }
    if (event->type() == QEvent::Leave && watched == menuJustClosedOn_)
        menuJustClosedOn_ = nullptr;
    return QWidget::eventFilter(watched, event);
}

// --- Commands ----------------------------------------------------------------

void TPluListFrame::btnDeletePluClick()
{
    if (!HasRows())
        return;
    // Closing the question box is no consent: only Yes marks.
    if (MyMessageDlg(S_ConfirmPluDelete + "\r\n" + S_ConfirmOperation, mtConfirmation,
                     mbYes | mbNo) != mrYes)
        return;
    const std::vector<TPluRowId> selected = SelectedRows();
    if (selected.size() <= 1) {
        table_.MarkDeleted(table_.Current());
        return;
    }
    TPluUpdateGuard guard(table_);
    for (TPluRowId id : selected) {
        const int position = table_.Position(id);
        if (position >= 0)
            table_.MarkDeleted(position);
    }
}

void TPluListFrame::btnVisibleColumnsClick()
{
    const std::string kept = Set_HiddenCols;
    Set_HiddenCols = ColListForm().Execute(ui_->PluesGrid);
    // A failure to write is not told: the columns stay as chosen for now.
    if (Set_HiddenCols != kept)
        WriteProgramSettings();
}

void TPluListFrame::PopupBelow(QPushButton* button, QMenu* menu)
{
    if (menuJustClosedOn_ == button) {
        menuJustClosedOn_ = nullptr;
        return;
    }
    menu->exec(button->mapToGlobal(QPoint(0, button->height())));
    if (button->rect().contains(button->mapFromGlobal(QCursor::pos())))
        menuJustClosedOn_ = button;
}

void TPluListFrame::btnEcrOperationsClick()
{
    PopupBelow(ui_->btnEcrOperations, ecrMenu_);
}

void TPluListFrame::btnFileOperationsClick()
{
    PopupBelow(ui_->btnFileOperations, fileMenu_);
}

void TPluListFrame::btnPrintClick()
{
    ShowPluReportPreview(*ui_->PluesGrid, ui_->TitleLabel->text(), this);
}

void TPluListFrame::btnSearchClick()
{
    if (!HasRows())
        return;
    const TPluField field = searchField_.value_or(TPluField::NUMB);
    QString value;
    if (!SearchForm().Execute(SearchCaption(field), value))
        return;
    bool found = false;
    if (PluFieldIsText(field)) {
        const std::optional<std::string> text = ToCp(value);
        if (!text) {
            MyMessageDlg(S_InvalidValue, mtWarning, mbOK);
            return;
        }
        found = table_.Locate(field, *text);
    } else {
        const std::optional<double> number = ParseNumber(value, IsWholeNumberField(field));
        if (!number || *number == kRefusedSearchValue) {
            MyMessageDlg(S_InvalidValue, mtWarning, mbOK);
            return;
        }
        found = table_.Locate(field, *number);
    }
    if (!found)
        MyMessageDlg(S_SearchFail, mtInformation, mbOK);
}

void TPluListFrame::btnXStopClick()
{
    abortRequested_ = true;
}

std::optional<std::string> TPluListFrame::RunFileDialog(QFileDialog* dialog)
{
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog->selectedFiles().constFirst()).toStdString();
}

void TPluListFrame::NSaveToFileClick()
{
    const std::optional<std::string> path = RunFileDialog(saveDialog_);
    if (!path)
        return;
    std::string error;
    if (!SavePluFile(*path, table_, error))
        MyMessageDlg(error, mtError, mbOK);
}

void TPluListFrame::NLoadFromFileClick()
{
    const std::optional<std::string> path = RunFileDialog(openDialog_);
    if (!path)
        return;
    const TPluLoadResult result = LoadPluFile(*path, table_, usedBarcodes_);
    if (!result.Ok)
        MyMessageDlg(S_WrongFileFormat, mtError, mbOK);
}
