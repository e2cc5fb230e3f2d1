// The PLU view's Export to EXCEL and Import from EXCEL, driven headless
// through the file menu inside the main window (whose navigation column the
// commands switch off), with workbooks made by other software.

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/workbook/PluWorkbook.h"
#include "gui/app/MainUnit.h"
#include "gui/plu/PluGridModel.h"
#include "gui/plu/PluListUnit.h"
#include "support/AbsentPort.h"
#include "support/FileDialogAnswer.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"

#include <QAction>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

using A = ModalAnswerer;

const std::string kFixtures = WORKBOOK_FIXTURES "/";
const QString kNotFound = QStringLiteral("Excel server gave an error: \nWorkBook not found.");

struct TSample {
    int numb;
    const char* name;
    const char* unit;
    const char* barcode;
    double price;
    const char* flags;
};

class PluWorkbookView : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitProgramLocation(dir.File("morvane-tessel"));
        ResetSettingsToDefaults();
        RestoreBuiltInMessages();
        LinkAllPortsAbsent(dir);
        form = std::make_unique<TMainForm>();
        form->show();
        {
            // Opening the view finds no register: its box is answered.
            ModalAnswerer opening;
            opening.AnswerRestWith(A::Press("btnOk"));
            Child<QToolButton>("btnPlues")->click();
        }
        view = form->PluView();
        ASSERT_TRUE(view);
        answerer = std::make_unique<ModalAnswerer>();
    }
    void TearDown() override { form.reset(); }

    void Fill(std::initializer_list<TSample> rows)
    {
        for (const TSample& s : rows) {
            TPluRow row;
            row.SetInt(TPluField::NUMB, s.numb);
            row.SetText(TPluField::NAME, s.name);
            row.SetText(TPluField::UNIT, s.unit);
            row.SetText(TPluField::BARCODE, s.barcode);
            row.SetFloat(TPluField::PRICE_SELL, s.price);
            row.SetInt(TPluField::TAX_GROUP, 2);
            row.SetInt(TPluField::PAY_TYPE, 1);
            row.SetInt(TPluField::PLU_SUBGROUP, 1);
            row.SetInt(TPluField::PLU_GROUP, 1);
            row.SetText(TPluField::FLAGS, s.flags);
            view->Table().AppendRow(row);
        }
    }
    template <class T> T* Child(const char* name) { return form->findChild<T*>(name); }
    PluTable& Table() { return view->Table(); }
    QTableView* Grid() { return view->PluesGrid(); }
    QHeaderView* Titles() { return Grid()->horizontalHeader(); }
    static int Column(TPluField field) { return TPluGridModel::ColumnOfField(field); }
    QString Status() { return Child<QLabel>("StatusLabel")->text(); }
    bool NavigationEnabled() { return Child<QWidget>("pnlMenu")->isEnabled(); }

    // The box's OK, after noting what the view showed meanwhile.
    A::Answer NoteAndOk()
    {
        return A::Do([this](QWidget* box) {
            statusDuringBox = Status();
            navigationDuringBox = NavigationEnabled();
            box->findChild<QPushButton*>("btnOk")->click();
        });
    }
    void Export(const std::string& path)
    {
        answerer->Add(ChooseFileAnswer("SaveExcelDialog", path));
        Child<QAction>("NExportToExcel")->trigger();
    }
    void Import(const std::string& path)
    {
        answerer->Add(ChooseFileAnswer("OpenExcelDialog", path));
        Child<QAction>("NImportFromExcel")->trigger();
    }
    // Row r (from 1) of a sheet, columns 1..13.
    static QStringList SheetRow(const TWorkbookSheet& sheet, int r)
    {
        QStringList cells;
        for (int c = 1; c <= 13; ++c)
            cells << QString::fromStdString(sheet.CellText(r, c));
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        return cells;
    }

    TempDir dir;
    std::unique_ptr<TMainForm> form;
    TPluListFrame* view = nullptr;
    // Made once the view is open, so that it meets only the commands' boxes.
    std::unique_ptr<ModalAnswerer> answerer;
    QString statusDuringBox;
    bool navigationDuringBox = true;
};

TEST_F(PluWorkbookView, BothCommandsAreOnInTheFileMenuWithTheirDialogs)
{
    for (const char* name : {"NExportToExcel", "NImportFromExcel"})
        EXPECT_TRUE(Child<QAction>(name)->isEnabled()) << name;
    auto* save = Child<QFileDialog>("SaveExcelDialog");
    auto* open = Child<QFileDialog>("OpenExcelDialog");
    ASSERT_TRUE(save && open);
    EXPECT_EQ(save->nameFilters(), (QStringList{"EXCEL (97/2003 format) files (*.xls)",
                                                "EXCEL (2007 format) files (*.xlsx)", "All files (*)"}));
    EXPECT_EQ(open->nameFilters(), (QStringList{"EXCEL files (*.xls *.xlsx *.ods)", "All files (*.*)"}));
    EXPECT_EQ(save->defaultSuffix(), "xls");
    EXPECT_EQ(open->defaultSuffix(), "xls");
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);

    // Cancelled: nothing written, nothing read, the status line as it was.
    Fill({{1, "Kept", "", "", 1, ""}});
    Child<QLabel>("StatusLabel")->setText("before");
    answerer->Add(A::Escape());
    Child<QAction>("NExportToExcel")->trigger();
    answerer->Add(A::Escape());
    Child<QAction>("NImportFromExcel")->trigger();
    EXPECT_EQ(Status(), "before");
    EXPECT_EQ(Table().Count(), 1);
    EXPECT_EQ(answerer->Boxes().size(), 2u);
    EXPECT_EQ(answerer->Unexpected(), 0);
}

TEST_F(PluWorkbookView, ExportWritesTheVisibleColumnsInGridOrderAndOnlyTheSelectedRows)
{
    Fill({{1, "Apple", "kg", "0012345678905", 1.5, "000000001"},
          {2, "Bread", "BUC", "", 0.8, "000000000"},
          {3, "Cheese", "kg", "123456789012345678", 12.25, "000000010"},
          {4, "Dates", "kg", "", 3, "000000000"},
          {5, "Eggs", "BUC", "", 0.25, "100000000"}});
    // The name column sorted descending: Eggs, Dates, Cheese, Bread, Apple.
    view->PluesGridTitleClick(Column(TPluField::NAME));
    view->PluesGridTitleClick(Column(TPluField::NAME));
    Titles()->setSectionHidden(Column(TPluField::UNIT), true);
    Titles()->moveSection(Titles()->visualIndex(Column(TPluField::PRICE_SELL)), 0);
    Titles()->moveSection(Titles()->visualIndex(Column(TPluField::FLAGS)), 1);
    // Apple, Dates and Eggs selected in this order; Cheese is current.
    QItemSelectionModel* selection = Grid()->selectionModel();
    Grid()->setCurrentIndex(Grid()->model()->index(2, 0));
    selection->clearSelection();
    for (int row : {4, 1, 0})
        selection->select(Grid()->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(view->SelectedRows().size(), 3u);

    Export(dir.File("three.xlsx"));
    EXPECT_EQ(answerer->Unexpected(), 0);
    EXPECT_EQ(Status(), "Exporting file done!");
    EXPECT_TRUE(NavigationEnabled());
    EXPECT_EQ(Table().CurrentRow().NAME, "Cheese");
    EXPECT_EQ(Grid()->currentIndex().row(), 2);
    EXPECT_EQ(view->SelectedRows().size(), 3u);

    const TWorkbookSheet sheet = ReadWorkbookSheet(dir.File("three.xlsx"), 13);
    EXPECT_EQ(SheetRow(sheet, 1), QStringList{});
    EXPECT_EQ(SheetRow(sheet, 2),
              (QStringList{"Sell Price", "Flags", "Number", "PLU Name", "Tax Group", "Barcode", "Pay Type",
                           "Department", "Plu Group", "Alte Taxe", "Tax Value", "Comment"}));
    // The table's order, not the order of selecting; the flags keep their
    // leading zeros, the barcodes theirs and all their digits.
    EXPECT_EQ(SheetRow(sheet, 3), (QStringList{"0.25", "100000000", "5", "Eggs", "2", "", "1", "1", "1"}));
    EXPECT_EQ(SheetRow(sheet, 4), (QStringList{"3", "000000000", "4", "Dates", "2", "", "1", "1", "1"}));
    EXPECT_EQ(SheetRow(sheet, 5),
              (QStringList{"1.5", "000000001", "1", "Apple", "2", "0012345678905", "1", "1", "1"}));
    EXPECT_EQ(sheet.LastRow(), 5);

    // Without a selection every row goes, and the file imports back.
    selection->clearSelection();
    Titles()->setSectionHidden(Column(TPluField::UNIT), false);
    Export(dir.File("all.xlsx"));
    EXPECT_EQ(ReadWorkbookSheet(dir.File("all.xlsx"), 13).LastRow(), 7);
    std::vector<TPluRow> before;
    for (int i = 0; i < Table().Count(); ++i)
        before.push_back(Table().Row(i));
    // Back in the design order, the layout the import reads.
    for (int column = 0; column < kPluGridColumnCount; ++column)
        Titles()->moveSection(Titles()->visualIndex(column), column);
    Export(dir.File("design.xlsx"));
    Import(dir.File("design.xlsx"));
    EXPECT_EQ(answerer->Unexpected(), 0);
    ASSERT_EQ(Table().Count(), 5);
    for (const TPluRow& row : before) {
        const int at = Table().FindNumber(row.NUMB);
        ASSERT_GE(at, 0) << row.NUMB;
        EXPECT_EQ(Table().Row(at).NAME, row.NAME);
        EXPECT_EQ(Table().Row(at).UNIT, row.UNIT);
        EXPECT_EQ(Table().Row(at).BARCODE, row.BARCODE);
        EXPECT_EQ(Table().Row(at).PRICE_SELL, row.PRICE_SELL);
        EXPECT_EQ(Table().Row(at).FLAGS, row.FLAGS);
    }
}

TEST_F(PluWorkbookView, AnEmptyListExportsTheTitleRowOnly)
{
    Export(dir.File("empty.xlsx"));
    const TWorkbookSheet sheet = ReadWorkbookSheet(dir.File("empty.xlsx"), 13);
    EXPECT_EQ(sheet.LastRow(), 2);
    QStringList design;
    for (const TPluSheetColumn& column : PluDesignSheetColumns())
        design << QString::fromStdString(column.Title);
    EXPECT_EQ(SheetRow(sheet, 2), design);
    EXPECT_EQ(Status(), "Exporting file done!");
}

TEST_F(PluWorkbookView, AnExportThatCannotWriteWarnsAndKeepsTheNavigationOffUntilTheBoxCloses)
{
    Fill({{1, "One", "", "", 1, ""}});
    // A name the file system takes, but not with the temporary file's
    // longer name beside it (refused even for root).
    const std::string path = dir.File(std::string(240, 'n') + ".xlsx");
    answerer->Add(ChooseFileAnswer("SaveExcelDialog", path));
    answerer->Add(NoteAndOk());
    Child<QAction>("NExportToExcel")->trigger();
    ASSERT_EQ(answerer->Boxes().size(), 2u);
    const ModalAnswerer::Box& box = answerer->Boxes()[1];
    // The file chosen is named, not the temporary one written beside it.
    EXPECT_TRUE(box.text.startsWith("Excel server gave an error: \nCannot write \"" + QString::fromStdString(path) +
                                    "\": "))
        << box.text.toStdString();
    EXPECT_EQ(box.buttons, QStringList{"btnOk"});
    EXPECT_EQ(statusDuringBox, "Exporting file. Please wait...");
    EXPECT_FALSE(navigationDuringBox);
    EXPECT_EQ(Status(), "Exporting file done!");
    EXPECT_TRUE(NavigationEnabled());
    EXPECT_TRUE(Child<QWidget>("btnFileOperations")->isEnabled());
}

TEST_F(PluWorkbookView, ImportStopsAtTheFirstInvalidRowAndTellsRowAndColumn)
{
    const struct {
        const char* file;
        const char* text;
        QStringList names;
    } cases[] = {
        {"plu-edge.lo.xlsx", "Row: 6 Column: 6\nInvalid PLU price \"-1\"",
         {"Long quoted name of ", QString::fromUtf8("Хляб"), "Free"}},
        {"plu-dup-barcode.lo.ods", "Row: 4 Column: 14\nString list does not allow duplicates", {"One"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        // Pressed before the command: the import clears it.
        Child<QPushButton>("btnXStop")->click();
        const size_t seen = answerer->Boxes().size();
        answerer->Add(ChooseFileAnswer("OpenExcelDialog", kFixtures + c.file));
        answerer->Add(NoteAndOk());
        Child<QAction>("NImportFromExcel")->trigger();
        ASSERT_EQ(answerer->Boxes().size(), seen + 2);
        EXPECT_EQ(answerer->Boxes()[seen + 1].text, QString("Excel file contain invalid data.\n") + c.text);
        EXPECT_EQ(answerer->Boxes()[seen + 1].buttons, QStringList{"btnOk"});
        EXPECT_EQ(statusDuringBox, "Importing file done!");
        EXPECT_TRUE(navigationDuringBox);
        // The grid shows what the table holds.
        QStringList names;
        for (int row = 0; row < Grid()->model()->rowCount(); ++row)
            names << Grid()->model()->index(row, Column(TPluField::NAME)).data().toString();
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(Table().Count(), c.names.size());
        EXPECT_TRUE(view->UsedBarcodes().RefusesDuplicates());
        EXPECT_FALSE(view->AbortRequested());
        EXPECT_TRUE(NavigationEnabled());
        EXPECT_EQ(answerer->Unexpected(), 0);
    }
    // UsedBarcodes now refuses the barcodes the list holds.
    EXPECT_THROW(view->UsedBarcodes().Add("555"), EDuplicateBarcode);
}

TEST_F(PluWorkbookView, AFileThatIsNoWorkbookLeavesTheListAsItWas)
{
    Fill({{1, "Kept", "", "777", 1, ""}, {2, "Also kept", "", "", 2, ""}});
    view->UsedBarcodes().Add("777");
    dir.Write("notes.xlsx", "plain text, not a workbook\n");
    answerer->Add(ChooseFileAnswer("OpenExcelDialog", dir.File("notes.xlsx")));
    answerer->Add(NoteAndOk());
    Child<QAction>("NImportFromExcel")->trigger();
    ASSERT_EQ(answerer->Boxes().size(), 2u);
    EXPECT_EQ(answerer->Boxes()[1].text, kNotFound);
    EXPECT_FALSE(navigationDuringBox);
    EXPECT_EQ(Status(), "Importing file done!");
    EXPECT_TRUE(NavigationEnabled());
    ASSERT_EQ(Table().Count(), 2);
    EXPECT_EQ(Table().Row(0).NAME, "Kept");
    EXPECT_EQ(Grid()->model()->rowCount(), 2);
    EXPECT_TRUE(view->UsedBarcodes().Contains("777"));
    // Switched on confirming the dialog, whatever the file turned out to be.
    EXPECT_TRUE(view->UsedBarcodes().RefusesDuplicates());
    EXPECT_EQ(answerer->Unexpected(), 0);
}

TEST_F(PluWorkbookView, AbortDuringTheImportKeepsTheRowsReadSoFar)
{
    for (int n = 1; n <= 40; ++n)
        Fill({{n, "Row", "", "", 1, ""}});
    Export(dir.File("forty.xlsx"));
    ASSERT_EQ(ReadWorkbookSheet(dir.File("forty.xlsx"), 13).LastRow(), 42);

    // Pressed by the user once five rows are read: the view lets events
    // run while it reads, so a timer due at every turn sees the rows come.
    bool navigationMeanwhile = true;
    QString statusMeanwhile;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (Table().Count() != 5 || view->AbortRequested())
            return;
        navigationMeanwhile = NavigationEnabled();
        statusMeanwhile = Status();
        auto* abort = Child<QPushButton>("btnXStop");
        EXPECT_TRUE(abort->isEnabled());
        QTest::mouseClick(abort, Qt::LeftButton);
    });
    watch.start(0);
    Import(dir.File("forty.xlsx"));
    watch.stop();
    EXPECT_EQ(Table().Count(), 5);
    EXPECT_EQ(Grid()->model()->rowCount(), 5);
    EXPECT_FALSE(navigationMeanwhile);
    EXPECT_EQ(statusMeanwhile, "Importing file. Please wait...");
    EXPECT_EQ(Status(), "Importing file done!");
    EXPECT_TRUE(NavigationEnabled());
    // No box: the dialog was the only one.
    EXPECT_EQ(answerer->Boxes().size(), 2u);
    EXPECT_EQ(answerer->Unexpected(), 0);
}

} // namespace
