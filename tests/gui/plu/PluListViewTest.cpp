#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/app/LngINISupp.h"
#include "core/base/FileUtil.h"
#include "core/base/IniFile.h"
#include "core/plu/PluFile.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "gui/plu/ColListUnit.h"
#include "gui/plu/PluGridModel.h"
#include "gui/plu/PluListUnit.h"
#include "gui/plu/SearchUnit.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using A = ModalAnswerer;

struct TSample {
    int numb;
    const char* name;
    double price;
    const char* flags;
};

class PluView : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitProgramLocation(dir.File("morvane-tessel"));
        ResetSettingsToDefaults();
        RestoreBuiltInMessages();
        view = std::make_unique<TPluListFrame>();
        view->resize(900, 500);
        view->show();
        view->InitPluView();
    }
    void TearDown() override { view.reset(); }

    void Fill(std::initializer_list<TSample> rows)
    {
        for (const TSample& s : rows) {
            TPluRow row;
            row.SetInt(TPluField::NUMB, s.numb);
            row.SetText(TPluField::NAME, s.name);
            row.SetFloat(TPluField::PRICE_SELL, s.price);
            row.SetText(TPluField::FLAGS, s.flags);
            view->Table().AppendRow(row);
        }
    }
    PluTable& Table() { return view->Table(); }
    QTableView* Grid() { return view->PluesGrid(); }
    template <class T> T* Child(const char* name) { return view->findChild<T*>(name); }
    QHeaderView* Titles() { return Grid()->horizontalHeader(); }
    static int Column(TPluField field) { return TPluGridModel::ColumnOfField(field); }

    // Names in the grid's row order.
    QStringList Names()
    {
        QStringList names;
        for (int row = 0; row < Grid()->model()->rowCount(); ++row)
            names << Grid()->model()->index(row, Column(TPluField::NAME)).data().toString();
        return names;
    }
    void ClickTitle(TPluField field)
    {
        const int column = Column(field);
        QTest::mouseClick(Titles()->viewport(), Qt::LeftButton, {},
                          QPoint(Titles()->sectionViewportPosition(column) + 5, 5));
    }
    void ClickCell(int row, TPluField field, Qt::KeyboardModifiers keys = {})
    {
        const QModelIndex index = Grid()->model()->index(row, Column(field));
        Grid()->scrollTo(index);
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, keys,
                          Grid()->visualRect(index).center());
    }
    int CurrentNumb() { return Table().CurrentRow().NUMB; }

    TempDir dir;
    std::unique_ptr<TPluListFrame> view;
};

TEST_F(PluView, LayoutNamesAndEnablingRules)
{
    for (const char* name : {"TitleLabel", "PluesGrid", "AlteGrid", "Gauge", "StatusLabel",
                             "btnXStop", "btnAddPlu", "btnEditPlu", "btnDeletePlu",
                             "btnMultiEdit", "btnVisibleColumns", "btnEcrOperations",
                             "btnFileOperations", "btnPrint", "btnSearch", "btnLoadAlteTaxes",
                             "btnAddTaxe", "btnDeleteTaxe", "btnEditTaxe"})
        EXPECT_TRUE(Child<QWidget>(name)) << name;
    EXPECT_EQ(Child<QLabel>("TitleLabel")->text(), "PLU Items");
    EXPECT_EQ(view->minimumSize(), QSize(450, 360));

    // Opened: PLU mode, tax buttons hidden; the commands built so far on.
    EXPECT_TRUE(view->InPluListMode());
    for (const char* name : {"btnAddTaxe", "btnDeleteTaxe", "btnEditTaxe"})
        EXPECT_FALSE(Child<QWidget>(name)->isVisible()) << name;
    EXPECT_TRUE(Child<QWidget>("btnLoadAlteTaxes")->isVisible());
    const char* built[] = {"btnDeletePlu", "btnVisibleColumns", "btnEcrOperations",
                           "btnFileOperations", "btnPrint", "btnSearch"};
    for (const char* name : built)
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(Child<QWidget>("btnXStop")->isEnabled());

    view->ShowAlteTaxeMode();
    EXPECT_FALSE(view->InPluListMode());
    for (const char* name : built)
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(Child<QWidget>("btnEditTaxe")->isVisible());
    view->ShowPluListMode();
    EXPECT_TRUE(view->InPluListMode());
    EXPECT_FALSE(Child<QWidget>("btnEditTaxe")->isVisible());
    for (const char* name : built)
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;

    EXPECT_FALSE(view->AbortRequested());
    Child<QPushButton>("btnXStop")->click();
    EXPECT_TRUE(view->AbortRequested());
}

TEST_F(PluView, MenusHoldTheirItemsAndAreDrawnByTheMenuPainter)
{
    struct {
        const char* button;
        QStringList items;
        QStringList enabled;
    } menus[] = {
        {"btnEcrOperations",
         {"Save all to ECR", "Save selected to ECR", "-", "Delete all from ECR", "-",
          "Load from ECR"},
         {"Save all to ECR", "Save selected to ECR", "Delete all from ECR", "Load from ECR"}},
        {"btnFileOperations",
         {"Save to file", "Load from file", "-", "Export to EXCEL", "Import from EXCEL"},
         {"Save to file", "Load from file", "Export to EXCEL", "Import from EXCEL"}},
    };
    for (const auto& m : menus) {
        QPushButton* button = Child<QPushButton>(m.button);
        QStringList items, enabled;
        QPoint at;
        bool ownerDrawn = false;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_TRUE(menu);
            at = menu->pos();
            ownerDrawn = dynamic_cast<TMenuItemStyle*>(menu->style()) != nullptr;
            for (QAction* action : menu->actions()) {
                items << (action->isSeparator() ? QStringLiteral("-") : action->text());
                if (!action->isSeparator() && action->isEnabled())
                    enabled << action->text();
            }
            menu->close();
        });
        button->click();
        EXPECT_EQ(items, m.items) << m.button;
        EXPECT_EQ(enabled, m.enabled) << m.button;
        EXPECT_TRUE(ownerDrawn) << m.button;
        // Just below the button (moved left only where the screen ends).
        EXPECT_EQ(at.y(), button->mapToGlobal(QPoint(0, button->height())).y()) << m.button;
        EXPECT_LE(at.x(), button->mapToGlobal(QPoint(0, 0)).x()) << m.button;
    }
}

TEST_F(PluView, AClickThatClosesAMenuOnItsButtonDoesNotOpenItAgain)
{
    QPushButton* button = Child<QPushButton>("btnFileOperations");
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    int opened = 0;
    // Each click that opens the menu closes it again at once, the pointer
    // still on the button.
    auto click = [&] {
        QTimer::singleShot(50, [&] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                ++opened;
                menu->close();
            }
        });
        button->click();
        QTest::qWait(80);
    };
    click();
    EXPECT_EQ(opened, 1);
    click(); // the click that closed it
    EXPECT_EQ(opened, 1);
    click();
    EXPECT_EQ(opened, 2);
    // Leaving the button forgets the closing.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    click();
    EXPECT_EQ(opened, 3);
}

TEST_F(PluView, TitleClicksSortOnceAndMarkTheColumn)
{
    Fill({{3, "beta", 2.0, ""}, {1, "Alpha", 3.0, ""}, {2, "gamma", 1.0, ""}});
    EXPECT_EQ(Titles()->sortIndicatorSection(), Column(TPluField::NUMB));
    const struct {
        TPluField title;
        QStringList names;
        Qt::SortOrder mark;
    } steps[] = {
        {TPluField::NAME, {"Alpha", "beta", "gamma"}, Qt::AscendingOrder},
        {TPluField::NAME, {"gamma", "beta", "Alpha"}, Qt::DescendingOrder},
        {TPluField::PRICE_SELL, {"gamma", "beta", "Alpha"}, Qt::AscendingOrder},
        {TPluField::NAME, {"Alpha", "beta", "gamma"}, Qt::AscendingOrder},
        {TPluField::NUMB, {"Alpha", "gamma", "beta"}, Qt::AscendingOrder},
        {TPluField::NUMB, {"beta", "gamma", "Alpha"}, Qt::DescendingOrder},
    };
    for (const auto& step : steps) {
        ClickTitle(step.title);
        EXPECT_EQ(Names(), step.names) << PluFieldInfo(step.title).Name;
        EXPECT_EQ(view->SortFieldName(), step.title);
        EXPECT_EQ(Titles()->sortIndicatorSection(), Column(step.title));
        EXPECT_EQ(Titles()->sortIndicatorOrder(), step.mark);
    }
    // A sort is once: a row added later goes to the end.
    Fill({{9, "Aaron", 0.5, ""}});
    EXPECT_EQ(Names().last(), "Aaron");
}

TEST_F(PluView, SearchFindsInNameAndNumberColumnsAndRefusesWhatIsNoNumber)
{
    const QString invalid = "Invalid value";
    const QString none = "There is no data\nconforming the condition.";
    const struct {
        std::optional<TPluField> column; // clicked before the search
        const char* value;
        int numb;                        // current row afterwards
        QString box;                     // the message shown, if any
    } cases[] = {
        {std::nullopt, "3", 3, {}},
        {TPluField::NAME, "milk", 2, {}},
        {TPluField::NAME, "MILK C", 2, {}},
        {TPluField::NAME, "bre", 4, {}},
        {TPluField::NAME, "xyz", 1, none},
        {TPluField::PRICE_SELL, "1.5", 3, {}},
        {TPluField::PRICE_SELL, "7", 1, none},
        {TPluField::PRICE_SELL, "-100", 1, invalid},
        {TPluField::PRICE_SELL, "1.5x", 1, invalid},
        {TPluField::NUMB, "4", 4, {}},
        {TPluField::NUMB, "abc", 1, invalid},
        {TPluField::NUMB, "-100", 1, invalid},
        {TPluField::NUMB, "2.5", 1, invalid},
    };
    for (const auto& c : cases) {
        const std::string label = std::string(c.value) + " in " +
                                  (c.column ? PluFieldInfo(*c.column).Name : "(no column)");
        view.reset();
        SetUp();
        Fill({{1, "apple", 0.5, ""},
              {2, "MILK chocolate", 2.25, ""},
              {3, "Milk", 1.5, ""},
              {4, "Bread", 1.5, ""}});
        if (c.column)
            ClickCell(0, *c.column);
        Table().SetCurrent(0);
        QString caption;
        ModalAnswerer answerer({A::Do([&](QWidget* box) {
            caption = box->findChild<QLabel*>("lblCaption")->text();
            box->findChild<QLineEdit*>("ValueEdit")->setText(QString::fromLatin1(c.value));
            box->findChild<QPushButton*>("btnOk")->click();
        })});
        answerer.AnswerRestWith(A::Press("btnOk"));
        Child<QPushButton>("btnSearch")->click();
        const QString field = c.column && *c.column == TPluField::NAME         ? "PLU Name"
                              : c.column && *c.column == TPluField::PRICE_SELL ? "Sell Price"
                                                                               : "Number";
        EXPECT_EQ(caption, "Search By \"" + field + "\"") << label;
        EXPECT_EQ(CurrentNumb(), c.numb) << label;
        EXPECT_EQ(Grid()->currentIndex().row(), Table().Current()) << label;
        const QStringList texts = answerer.Texts();
        ASSERT_EQ(texts.size(), c.box.isEmpty() ? 1 : 2) << label;
        EXPECT_EQ(texts[0], "Searching") << label;
        if (!c.box.isEmpty()) {
            EXPECT_EQ(texts[1], c.box) << label;
        }
        EXPECT_EQ(answerer.Unexpected(), 0) << label;
    }
}

TEST_F(PluView, SearchDialogKeepsAnEmptyValueOpenAndCancelFindsNothing)
{
    Fill({{1, "apple", 0.5, ""}, {2, "pear", 0.5, ""}});
    Table().SetCurrent(1);
    bool stillOpen = false;
    ModalAnswerer answerer({A::Do([&](QWidget* box) {
        box->findChild<QPushButton*>("btnOk")->click();
        stillOpen = box->isVisible();
        box->findChild<QPushButton*>("btnCancel")->click();
    })});
    Child<QPushButton>("btnSearch")->click();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(CurrentNumb(), 2);
    EXPECT_EQ(answerer.Boxes().size(), 1u);

    // An empty table asks nothing.
    view->InitPluView();
    Child<QPushButton>("btnSearch")->click();
    EXPECT_EQ(answerer.Boxes().size(), 1u);
}

TEST_F(PluView, DeleteItemMarksOnlyAfterYes)
{
    const struct {
        const char* name;
        A::Answer answer;
        bool marks;
    } answers[] = {
        {"Yes", A::Press("btnYes"), true},
        {"No", A::Press("btnNo"), false},
        {"close box", A::Close(), false},
    };
    for (const auto& a : answers) {
        view.reset();
        SetUp();
        Fill({{1, "a", 1, ""}, {2, "b", 1, "0000"}, {3, "c", 1, "111111111"},
              {4, "d", 1, "000000000"}, {5, "e", 1, ""}});
        // Three rows picked with Ctrl in the grid, one left out in between.
        ClickCell(1, TPluField::NAME);
        ClickCell(2, TPluField::NAME, Qt::ControlModifier);
        ClickCell(4, TPluField::NAME, Qt::ControlModifier);
        ModalAnswerer answerer({a.answer});
        Child<QPushButton>("btnDeletePlu")->click();
        ASSERT_EQ(answerer.Texts(), QStringList{"Please, confirm deleting selected plues.\n"
                                                "Please, confirm the operation."})
            << a.name;
        EXPECT_EQ(Table().Count(), 5) << a.name;
        const std::vector<std::string> expected =
            a.marks ? std::vector<std::string>{"", "000000010", "111111111", "000000000",
                                               "000000010"}
                    : std::vector<std::string>{"", "0000", "111111111", "000000000", ""};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Table().Row(i).FLAGS, expected[i]) << a.name << " row " << i;
    }
}

TEST_F(PluView, DeleteItemWithOneOrNoRowSelectedMarksTheCurrentRowAndTheDeleteKeyAsks)
{
    Fill({{1, "a", 1, ""}, {2, "b", 1, ""}});
    Grid()->clearSelection();
    Table().SetCurrent(0);
    Grid()->selectionModel()->clearSelection();
    ModalAnswerer answerer({A::Press("btnYes")});
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_Delete);
    EXPECT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(Table().Row(0).FLAGS, "000000010");
    EXPECT_EQ(Table().Row(1).FLAGS, "");

    // An empty table asks nothing.
    view->InitPluView();
    Child<QPushButton>("btnDeletePlu")->click();
    EXPECT_EQ(answerer.Boxes().size(), 1u);
}

TEST_F(PluView, SelectionIsWalkedInCreationOrder)
{
    Fill({{1, "a", 1, ""}, {2, "b", 1, ""}, {3, "c", 1, ""}});
    ClickTitle(TPluField::NAME);
    ClickTitle(TPluField::NAME); // c, b, a
    ClickCell(0, TPluField::NAME);
    ClickCell(2, TPluField::NAME, Qt::ControlModifier);
    const std::vector<TPluRowId> ids = view->SelectedRows();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(Table().Row(Table().Position(ids[0])).NAME, "a");
    EXPECT_EQ(Table().Row(Table().Position(ids[1])).NAME, "c");
    // The selection stays on its rows through a sort.
    ClickTitle(TPluField::NAME);
    EXPECT_EQ(view->SelectedRows(), ids);
}

TEST_F(PluView, SilverRowsAreThoseWithNineFlagsAndTheEighthSet)
{
    const struct {
        const char* flags;
        bool silver;
    } cases[] = {
        {"000000010", true},  {"111111111", true}, {"0000000100", true},
        {"00000001", false},  {"000000001", false}, {"", false}, {"000000100", false},
    };
    for (const auto& c : cases)
        Fill({{1, "x", 1, c.flags}});
    Grid()->clearSelection();
    Grid()->setCurrentIndex(QModelIndex());
    QCoreApplication::processEvents();
    const QImage image = Grid()->viewport()->grab().toImage();
    for (int row = 0; row < static_cast<int>(std::size(cases)); ++row) {
        const QModelIndex index = Grid()->model()->index(row, Column(TPluField::UNIT));
        const QColor shown = image.pixelColor(Grid()->visualRect(index).center());
        EXPECT_EQ(shown == QColor(192, 192, 192), cases[row].silver) << cases[row].flags;
    }
}

TEST_F(PluView, HiddenColumnsTextShorterThanTheColumnsLeavesTheRestVisible)
{
    view->ApplyHiddenColumns("0101");
    for (int position = 0; position < kPluGridColumnCount; ++position)
        EXPECT_EQ(Titles()->isSectionHidden(Titles()->logicalIndex(position)),
                  position == 1 || position == 3)
            << position;
    // Positions, not fields: after a move the text means other columns.
    Titles()->moveSection(3, 0);
    view->ApplyHiddenColumns("1000");
    EXPECT_TRUE(Titles()->isSectionHidden(Column(TPluField::TAX_GROUP)));
    EXPECT_FALSE(Titles()->isSectionHidden(Column(TPluField::NAME)));
}

// Drags list item from onto item to with the mouse, the way a user does.
void DragItem(QListWidget* list, int from, int to)
{
    QWidget* viewport = list->viewport();
    const QPoint start = list->visualItemRect(list->item(from)).center();
    const QPoint end = list->visualItemRect(list->item(to)).center();
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons, {});
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, start + (end - start) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, end, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, end, Qt::NoButton);
}

TEST_F(PluView, VisibleColumnsDragMovesAtOnceAndCancelKeepsTheVisibility)
{
    Set_HiddenCols = "0001";
    view->ApplyHiddenColumns(Set_HiddenCols);
    QStringList listed;
    ModalAnswerer answerer({A::Do([&](QWidget* box) {
        auto* list = box->findChild<QListWidget*>("aCheckListBox");
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text() + (list->item(i)->checkState() ? "" : " (hidden)");
        DragItem(list, 1, 0);
        list->item(5)->setCheckState(Qt::Unchecked);
        box->findChild<QPushButton*>("btnCancel")->click();
    })});
    Child<QPushButton>("btnVisibleColumns")->click();
    EXPECT_EQ(answerer.Texts(), QStringList{"Select visible columns"});
    EXPECT_EQ(listed.mid(0, 5), (QStringList{"Number", "PLU Name", "UNIT", "Tax Group (hidden)",
                                             "Barcode"}));
    // The move stayed; the check marks did not.
    EXPECT_EQ(Titles()->logicalIndex(0), Column(TPluField::NAME));
    EXPECT_EQ(Titles()->logicalIndex(1), Column(TPluField::NUMB));
    EXPECT_TRUE(Titles()->isSectionHidden(Column(TPluField::TAX_GROUP)));
    EXPECT_FALSE(Titles()->isSectionHidden(Titles()->logicalIndex(5)));
    // The text of all columns differs from the short one: it is written.
    EXPECT_EQ(Set_HiddenCols, "0001000000000");
    EXPECT_EQ(TIniFile(SettingsFileName()).ReadString(kProgramSection, "Set_HiddenCols", ""),
              "0001000000000");
}

TEST_F(PluView, VisibleColumnsOkAppliesTheChecksAndRefusesToHideEverything)
{
    ModalAnswerer answerer({A::Do([&](QWidget* box) {
                                box->findChild<QPushButton*>("btnSelectNone")->click();
                                // From the event loop: the refusal is a box
                                // of its own for the answerer.
                                QTimer::singleShot(0, box->findChild<QPushButton*>("btnOk"),
                                                   &QPushButton::click);
                            }),
                            A::Press("btnOk"),
                            A::Do([&](QWidget* box) {
                                auto* list = box->findChild<QListWidget*>("aCheckListBox");
                                box->findChild<QPushButton*>("btnSelectAll")->click();
                                list->item(0)->setCheckState(Qt::Unchecked);
                                list->item(12)->setCheckState(Qt::Unchecked);
                                box->findChild<QPushButton*>("btnOk")->click();
                            })});
    Child<QPushButton>("btnVisibleColumns")->click();
    EXPECT_EQ(answerer.Texts(), (QStringList{"Select visible columns",
                                             "You have to check at least one field!",
                                             "Select visible columns"}));
    EXPECT_EQ(answerer.Boxes()[1].buttons, QStringList{"btnOk"});
    EXPECT_TRUE(Titles()->isSectionHidden(Column(TPluField::NUMB)));
    EXPECT_TRUE(Titles()->isSectionHidden(Column(TPluField::FLAGS)));
    EXPECT_FALSE(Titles()->isSectionHidden(Column(TPluField::NAME)));
    EXPECT_EQ(Set_HiddenCols, "1000000000001");
    const TIniFile ini(SettingsFileName());
    EXPECT_EQ(ini.ReadString(kProgramSection, "Set_HiddenCols", ""), "1000000000001");
}

// Types path into a file dialog and presses its accept button.
void ChooseFile(QFileDialog* dialog, const QString& path)
{
    // The dialog leaves a name field that has the focus as it is.
    if (QWidget* focus = dialog->focusWidget())
        focus->clearFocus();
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
}

// Text of each page of a PDF (pdftotext from poppler-utils).
QStringList PdfPages(const QString& path)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", path, "-"});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Prints through the preview's "Save as PDF" into path.
void PrintToPdf(QPushButton* print, const QString& path, ModalAnswerer& answerer)
{
    answerer.Add(A::Do([](QWidget* preview) {
        // From the event loop, so that the answerer meets the file dialog.
        QTimer::singleShot(0, preview, [preview] {
            preview->findChild<QAction*>("actSaveAsPdf")->trigger();
        });
    }));
    answerer.Add(A::Do([path](QWidget* box) {
        auto* dialog = qobject_cast<QFileDialog*>(box);
        ASSERT_TRUE(dialog);
        ChooseFile(dialog, path);
    }));
    answerer.Add(A::Close());
    print->click();
}

TEST_F(PluView, PrintSavesAPdfWithEveryRowAndTheHeaderOnEveryPage)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_FAIL() << "pdftotext (poppler-utils) is missing: scripts/install-deps installs it";
    for (int n = 1; n <= 100; ++n)
        Fill({{n, QString("Article %1").arg(n, 3, 10, QChar('0')).toLatin1().constData(), n * 0.5,
               ""}});
    ClickTitle(TPluField::NAME);
    ClickTitle(TPluField::NAME); // descending: the report follows the grid's order
    view->ApplyHiddenColumns("0101101111111"); // Number, UNIT, Sell Price
    ModalAnswerer answerer;
    const QString path = QString::fromStdString(dir.File("list.pdf"));
    PrintToPdf(Child<QPushButton>("btnPrint"), path, answerer);
    EXPECT_EQ(answerer.Unexpected(), 0);
    EXPECT_EQ(answerer.Failures(), QStringList{});

    const QStringList pages = PdfPages(path);
    ASSERT_GE(pages.size(), 2) << "100 rows do not fit one A4 page";
    EXPECT_LE(pages.size(), 4);
    EXPECT_TRUE(pages[0].contains("PLU Items"));
    QStringList numbers;
    for (const QString& page : pages) {
        const QStringList lines = page.split('\n', Qt::SkipEmptyParts);
        const int header = static_cast<int>(lines.indexOf(QRegularExpression(R"(\s*Number\s+UNIT\s+Sell Price\s*)")));
        EXPECT_GE(header, 0) << page.toStdString();
        for (const QString& line : lines.mid(header + 1))
            numbers << line.simplified().section(' ', 0, 0);
        EXPECT_FALSE(page.contains("Tax Group"));
    }
    QStringList expected;
    for (int n = 100; n >= 1; --n)
        expected << QString::number(n);
    EXPECT_EQ(numbers, expected);
}

TEST_F(PluView, PrintedColumnsThatDoNotFitContinueOnFurtherPages)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_FAIL() << "pdftotext (poppler-utils) is missing: scripts/install-deps installs it";
    Fill({{7, "Only row", 1.25, "000000010"}});
    ModalAnswerer answerer;
    const QString path = QString::fromStdString(dir.File("wide.pdf"));
    PrintToPdf(Child<QPushButton>("btnPrint"), path, answerer);
    const QStringList pages = PdfPages(path);
    ASSERT_GE(pages.size(), 2);
    const QString all = pages.join('\n');
    for (const char* title : {"Number", "PLU Name", "Barcode", "Department", "Comment", "Flags"})
        EXPECT_TRUE(all.contains(title)) << title;
    EXPECT_TRUE(pages[0].contains("Only row"));
    EXPECT_TRUE(pages.last().contains("000000010"));
}

TEST_F(PluView, SaveToFileAndLoadFromFileGoThroughTheirDialogs)
{
    Fill({{2, "b", 1.5, ""}, {1, "a", 2.5, "000000010"}});
    const QString path = QString::fromStdString(dir.File("list"));
    auto choose = [](const QString& file) {
        return A::Do([file](QWidget* box) {
            auto* dialog = qobject_cast<QFileDialog*>(box);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->nameFilters(),
                      (QStringList{"PLU files (*.plu)", "All files (*.*)"}));
            ChooseFile(dialog, file);
        });
    };
    ModalAnswerer answerer({choose(path)});
    Child<QAction>("NSaveToFile")->trigger();
    EXPECT_EQ(answerer.Texts(), QStringList{"Save to file"});
    // The default extension is added.
    EXPECT_EQ(dir.Read("list.plu").size(), 2 * kPluRecordSize);

    view->InitPluView();
    answerer.Add(choose(path + ".plu"));
    Child<QAction>("NLoadFromFile")->trigger();
    ASSERT_EQ(Table().Count(), 2);
    EXPECT_EQ(Table().Row(0).NAME, "b");
    EXPECT_EQ(Table().Row(1).FLAGS, "000000010");
    EXPECT_EQ(view->UsedBarcodes().Count(), 0);

    // A length byte over its capacity: refused, the table as it was.
    std::string bad = dir.Read("list.plu");
    bad[4] = 21;
    dir.Write("bad.plu", bad);
    answerer.Add(choose(QString::fromStdString(dir.File("bad.plu"))));
    answerer.Add(A::Press("btnOk"));
    Child<QAction>("NLoadFromFile")->trigger();
    EXPECT_EQ(answerer.Texts().last(), "Wrong file format.");
    EXPECT_EQ(Table().Count(), 2);

    // Cancel changes nothing.
    answerer.Add(A::Escape());
    Child<QAction>("NLoadFromFile")->trigger();
    EXPECT_EQ(Table().Count(), 2);
    EXPECT_EQ(answerer.Unexpected(), 0);
}

} // namespace

namespace {

TEST_F(PluView, TheShippedBulgarianFileCoversBothDialogs)
{
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, shipped));
    dir.Write("Bulgarian.lng", shipped);
    TLngINISupp lng;
    lng.SetLanguageFile("Bulgarian.lng");
    SetAppLanguageSupport(&lng);
    Fill({{1, "a", 1, ""}});
    QString cancel, selectAll;
    ModalAnswerer answerer({A::Do([&](QWidget* box) {
                                cancel = box->findChild<QPushButton*>("btnCancel")->text();
                                box->findChild<QPushButton*>("btnCancel")->click();
                            }),
                            A::Do([&](QWidget* box) {
                                selectAll = box->findChild<QPushButton*>("btnSelectAll")->text();
                                box->findChild<QPushButton*>("btnCancel")->click();
                            })});
    Child<QPushButton>("btnSearch")->click();
    Child<QPushButton>("btnVisibleColumns")->click();
    SetAppLanguageSupport(nullptr);
    EXPECT_EQ(answerer.Boxes().size(), 2u);
    EXPECT_EQ(dir.Read("Bulgarian.lng"), shipped) << "a caption was missing and got written back";
    EXPECT_EQ(cancel, FromCp("\xCE\xF2\xEA\xE0\xE7"));
    EXPECT_EQ(selectAll, FromCp("\xC8\xE7\xE1\xE5\xF0\xE8 \xE2\xF1\xE8\xF7\xEA\xE8"));
}

} // namespace
