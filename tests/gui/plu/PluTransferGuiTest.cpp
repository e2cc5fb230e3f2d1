// The PLU view's register commands, the edit dialogs and the alte taxe list,
// driven headless against the register simulator on "COM7".

#include "core/app/ConstUnit.h"
#include "core/app/LngINISupp.h"
#include "core/app/MsgINISupp.h"
#include "core/base/FileUtil.h"
#include "core/link/MyCPort.h"
#include "ecrsim/EcrSim.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "gui/plu/EditPluUnit.h"
#include "gui/plu/MultiPluUnit.h"
#include "gui/plu/PluListUnit.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <unistd.h>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) { *os << list.join(" | ").toStdString(); }

namespace {

using A = ModalAnswerer;

// Presses a dialog's button once the answerer is out of its timer slot: a
// box the press opens is then met like any other (the answerer's timer does
// not fire inside its own slot).
ModalAnswerer::Answer Later(const char* button)
{
    return ModalAnswerer::Do([button](QWidget* box) {
        QTimer::singleShot(0, box->findChild<QPushButton*>(button), &QPushButton::click);
    });
}

const QString kSuccess = QStringLiteral("Operation completed succesfully.");
const QString kFailure = QStringLiteral("Error during an operation");

// The texts of the message boxes met, without the dialogs.
QStringList Messages(const ModalAnswerer& answerer)
{
    QStringList texts;
    for (const auto& box : answerer.Boxes())
        if (box.window == QLatin1String("MyMessageForm"))
            texts << box.text;
    return texts;
}

std::string PluFile(int numb, const std::string& name, int vat = 2, int group = 1, int dept = 1,
                    const std::string& bar = "")
{
    return "plu," + std::to_string(numb) + "," + name + "\r\nbar," + bar + "\r\nprc,1.5," + std::to_string(vat) +
           ",BUC\r\ndep," + std::to_string(dept) + "," + std::to_string(group) + ",\r\nalte,0,,\r\nflg,00\r\n";
}

class PluTransferView : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitProgramLocation(dir.File("morvane-tessel"));
        ResetSettingsToDefaults();
        RestoreBuiltInMessages();
        SetComPortFolder(dir.File("dosdevices/"));
        ASSERT_TRUE(sim.Start()) << sim.Error();
        ASSERT_TRUE(sim.LinkAs(dir.File("dosdevices/com7"))) << sim.Error();
        Set_ComPort = 7;
        EcrDevice.PortNumber = 7;
        MaxPluNumber = 30000;
        MaxPluSubgroup = 10;
        view = std::make_unique<TPluListFrame>();
        view->resize(900, 500);
        view->show();
        view->InitPluView();
    }
    void TearDown() override
    {
        view.reset();
        sim.SetCommandHandler(nullptr);
    }

    TPluRow Row(int numb, int vat = 2, int dept = 1, const std::string& barcode = "", const std::string& flags = "000000000")
    {
        TPluRow r;
        r.SetInt(TPluField::NUMB, numb);
        r.SetText(TPluField::NAME, "Item " + std::to_string(numb));
        r.SetText(TPluField::UNIT, "BUC");
        r.SetInt(TPluField::TAX_GROUP, vat);
        r.SetInt(TPluField::PAY_TYPE, 1);
        r.SetInt(TPluField::PLU_GROUP, 1);
        r.SetInt(TPluField::PLU_SUBGROUP, dept);
        r.SetText(TPluField::BARCODE, barcode);
        r.SetText(TPluField::FLAGS, flags);
        r.SetFloat(TPluField::PRICE_SELL, 1.5);
        return r;
    }
    void Add(std::initializer_list<TPluRow> rows)
    {
        for (const TPluRow& r : rows) {
            Table().AppendRow(r);
            view->UsedBarcodes().AddBarcodesOf(r.BARCODE);
        }
    }
    PluTable& Table() { return view->Table(); }
    template <class T> T* Child(const char* name) { return view->findChild<T*>(name); }
    void Trigger(const char* action) { Child<QAction>(action)->trigger(); }
    void Click(const char* button) { Child<QPushButton>(button)->click(); }
    QString Status() { return Child<QLabel>("StatusLabel")->text(); }
    void Select(QTableView* grid, std::initializer_list<int> rows)
    {
        grid->clearSelection();
        for (int row : rows)
            grid->selectionModel()->select(grid->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The register refuses writes of these files, the given number of times.
    void Refuse(const std::string& path, int times)
    {
        refusals[path] = times;
        sim.SetCommandHandler([this](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
            for (auto& [file, left] : refusals)
                if (left > 0 && line == "put " + file) {
                    --left;
                    ecrsim::TCommandReply reply;
                    reply.Parts = {{'L', "Disk full"}};
                    return reply;
                }
            return std::nullopt;
        });
    }
    std::vector<int> Numbers()
    {
        std::vector<int> n;
        for (int p = 0; p < Table().Count(); ++p)
            n.push_back(Table().Row(p).NUMB);
        return n;
    }
    bool ViewEnabled() { return Child<QWidget>("btnAddPlu")->isEnabled() && Child<QWidget>("PluesGrid")->isEnabled(); }

    TempDir dir;
    ecrsim::TEcrSim sim;
    std::unique_ptr<TPluListFrame> view;
    std::map<std::string, int> refusals;
};

} // namespace

// --- Save all, Save selected, Delete all ------------------------------------------

TEST_F(PluTransferView, SaveAllReportsFailureWhenAnyRowWasNotWritten)
{
    Add({Row(1), Row(2, 2, 11), Row(3), Row(4, 1)});
    Table().SetCurrent(0);
    Refuse("/sd0/db0/3", 1);
    {
        // Ignore the invalid row, retry the refused write (sent again).
        A answerer({A::Press("btnIgnore"), A::Press("btnRetry"), A::Press("btnOk")});
        Trigger("NSaveAllToECR");
        const QStringList texts = Messages(answerer);
        ASSERT_EQ(texts.size(), 3) << texts.join("|").toStdString();
        EXPECT_EQ(texts[0], kFailure + "\nInvalid input parameters.\nPlease validate PLU: 2");
        EXPECT_TRUE(texts[1].startsWith(kFailure + "\nWriteSinglePlu failed! -> ")) << texts[1].toStdString();
        EXPECT_EQ(answerer.Boxes()[1].buttons, (QStringList{"btnAbort", "btnRetry"}));
        EXPECT_EQ(texts[2], kFailure);
        EXPECT_EQ(answerer.Unexpected(), 0);
    }
    EXPECT_EQ(Status(), kFailure);
    for (int n : {1, 3, 4})
        EXPECT_TRUE(sim.GetFile("/sd0/db0/" + std::to_string(n))) << n;
    EXPECT_FALSE(sim.GetFile("/sd0/db0/2"));
    // VAT group 1 went as 2.
    EXPECT_NE(sim.GetFile("/sd0/db0/4")->find("prc,1.5,2,BUC"), std::string::npos);
    EXPECT_EQ(Table().Current(), 0);
    EXPECT_TRUE(ViewEnabled());

    // Abort at the invalid row: failure, and that row stays current.
    {
        A answerer({A::Press("btnAbort"), A::Press("btnOk")});
        Trigger("NSaveAllToECR");
        EXPECT_EQ(Messages(answerer).size(), 2);
        EXPECT_EQ(Messages(answerer).back(), kFailure);
    }
    EXPECT_EQ(Table().CurrentRow().NUMB, 2);

    // Abort at a register failure is a failure too; the remembered row returns.
    Table().SetCurrent(3);
    Refuse("/sd0/db0/1", 1);
    {
        A answerer({A::Press("btnAbort"), A::Press("btnOk")});
        Trigger("NSaveAllToECR");
        EXPECT_EQ(Messages(answerer).back(), kFailure);
    }
    EXPECT_EQ(Table().Current(), 3);

    // Every row written: the success report.
    TPluRow valid = Row(2);
    Table().SetRow(1, valid);
    {
        A answerer({A::Press("btnOk")});
        Trigger("NSaveAllToECR");
        EXPECT_EQ(Messages(answerer), QStringList{kSuccess});
    }
    EXPECT_TRUE(Status().startsWith(kSuccess + " (00:00:")) << Status().toStdString();

    // An empty table: nothing, no report.
    Table().Clear();
    A none;
    Trigger("NSaveAllToECR");
    EXPECT_TRUE(none.Boxes().empty());
}

TEST_F(PluTransferView, AbortDuringSaveAllAsksFirst)
{
    Add({Row(1), Row(2), Row(3)});
    struct {
        const char* answer;
        std::vector<bool> written;
        QString status;
    } cases[] = {
        {"btnYes", {true, false, false}, "Operation canceled by user."},
        {"btnNo", {true, true, true}, kSuccess},
    };
    for (const auto& c : cases) {
        sim.ClearFiles();
        // Pressed while the first row's tax list is read.
        QTimer::singleShot(0, view.get(), [this] { Click("btnXStop"); });
        A answerer({A::Press(c.answer), A::Press("btnOk")});
        answerer.AnswerRestWith(A::Press("btnOk"));
        Trigger("NSaveAllToECR");
        const QStringList texts = Messages(answerer);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0], "Do you want to cancel the operation?");
        EXPECT_EQ(answerer.Boxes()[0].buttons, (QStringList{"btnYes", "btnNo"}));
        for (int n = 1; n <= 3; ++n)
            EXPECT_EQ(sim.GetFile("/sd0/db0/" + std::to_string(n)).has_value(), c.written[n - 1]) << c.answer << n;
        EXPECT_TRUE(Status().startsWith(c.status)) << Status().toStdString();
        EXPECT_FALSE(view->AbortRequested() && c.answer == std::string("btnNo"));
        EXPECT_TRUE(ViewEnabled());
    }
}

TEST_F(PluTransferView, SaveSelected)
{
    Add({Row(1), Row(2, 2, 11), Row(3), Row(4)});
    QTableView* grid = Child<QTableView>("PluesGrid");
    // Rows in creation order whatever the display order.
    Table().Sort(TPluField::NUMB, false);
    Select(grid, {0, 1, 2}); // numbers 4, 3, 2
    Refuse("/sd0/db0/3", 1);
    {
        // Creation order: 2 (invalid), 3 (refused once), 4.
        A answerer({A::Press("btnIgnore"), A::Press("btnRetry"), A::Press("btnOk")});
        Trigger("NSaveSelectedToECR");
        const QStringList texts = Messages(answerer);
        ASSERT_EQ(texts.size(), 3) << texts.join("|").toStdString();
        EXPECT_EQ(texts[0], kFailure + "\nInvalid input parameters.\nPlease validate PLU: 2");
        EXPECT_TRUE(texts[1].startsWith(kFailure + "\nThere is no connection with the device.\nWriteSinglePlu"))
            << texts[1].toStdString();
        // A row was not written: the failure report, not success.
        EXPECT_EQ(texts[2], kFailure);
    }
    EXPECT_TRUE(sim.GetFile("/sd0/db0/3"));
    EXPECT_TRUE(sim.GetFile("/sd0/db0/4"));
    EXPECT_FALSE(sim.GetFile("/sd0/db0/1"));
    EXPECT_EQ(Table().CurrentRow().NUMB, 4) << "the last processed row stays current";
    EXPECT_TRUE(ViewEnabled());

    // One row: the current row, an OK box for its failure.
    Select(grid, {});
    Table().SetCurrent(2); // number 2, invalid
    {
        A answerer({A::Press("btnOk"), A::Press("btnOk")});
        Trigger("NSaveSelectedToECR");
        EXPECT_EQ(Messages(answerer),
                  (QStringList{kFailure + "\nInvalid input parameters.\nPlease validate PLU: 2", kFailure}));
        EXPECT_EQ(answerer.Boxes()[0].buttons, QStringList{"btnOk"});
    }
    Table().SetCurrent(3); // number 1
    {
        A answerer({A::Press("btnOk")});
        Trigger("NSaveSelectedToECR");
        EXPECT_EQ(Messages(answerer), QStringList{kSuccess});
    }
    EXPECT_TRUE(sim.GetFile("/sd0/db0/1"));
}

TEST_F(PluTransferView, DeleteAllAsksNothingAndKeepsTheTable)
{
    sim.FillSample(3);
    Add({Row(9)});
    A answerer({A::Press("btnOk")});
    Trigger("NDeleteAllFromECR");
    EXPECT_EQ(Messages(answerer), QStringList{kSuccess});
    for (int n = 1; n <= 3; ++n) {
        const std::string file = *sim.GetFile("/sd0/db0/" + std::to_string(n));
        EXPECT_NE(file.find("flg,80"), std::string::npos) << file;
    }
    EXPECT_EQ(Numbers(), std::vector<int>{9});
}

// --- Load from ECR ---------------------------------------------------------------------

TEST_F(PluTransferView, LoadFromEcr)
{
    sim.FillSample(12);
    sim.PutFile("/sd0/db0/5", PluFile(5, "Five", 1));
    Add({Row(99)});
    view->ShowAlteTaxeMode();
    {
        A answerer({A::Press("btnOk")});
        Trigger("NLoadFromECR");
        EXPECT_EQ(Messages(answerer), QStringList{kSuccess});
    }
    EXPECT_TRUE(view->InPluListMode());
    ASSERT_EQ(Table().Count(), 12);
    EXPECT_EQ(Table().Row(0).NUMB, 1);
    EXPECT_EQ(Table().Row(4).TAX_GROUP, 1) << "the VAT group comes back as the register holds it";
    EXPECT_EQ(Table().Row(4).FLAGS, "000000000");
    EXPECT_EQ(view->UsedBarcodes().Count(), 7); // every third sample PLU has none, nor the new 5
    EXPECT_EQ(Child<QLabel>("TitleLabel")->text(), "PLU Items");
    EXPECT_TRUE(ViewEnabled());

    // A register PLU the table refuses ends the load with its message.
    sim.PutFile("/sd0/db0/30000", PluFile(30000, "Big"));
    {
        A answerer({A::Press("btnOk")});
        Trigger("NLoadFromECR");
        EXPECT_EQ(Messages(answerer), QStringList{"Field NUMB: 30000 is outside the allowed range 1 to 29999."});
    }
    EXPECT_EQ(Table().Count(), 12);
    EXPECT_TRUE(ViewEnabled());
}

TEST_F(PluTransferView, LoadFromEcrFailures)
{
    // Abort while the records are read: the rows read so far stay.
    for (int n = 1; n <= 20; ++n)
        sim.PutFile("/sd0/db0/" + std::to_string(n), PluFile(n, "P" + std::to_string(n)));
    std::atomic<bool> sixthRead{false};
    sim.SetCommandHandler([&](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
        if (line == "cat /sd0/db0/6")
            sixthRead = true;
        return std::nullopt;
    });
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, view.get(), [&] {
        if (sixthRead && !view->AbortRequested())
            Click("btnXStop");
    });
    presser.start(1);
    {
        A answerer({A::Press("btnOk")});
        Trigger("NLoadFromECR");
        const QStringList texts = Messages(answerer);
        ASSERT_EQ(texts.size(), 1);
        EXPECT_EQ(texts[0], "Operation failed:User aborted operation!");
    }
    presser.stop();
    EXPECT_GE(Table().Count(), 6);
    EXPECT_LT(Table().Count(), 20);
    EXPECT_EQ(Status(), "Operation canceled by user.");

    // No register: the failure text, an empty table, the failure report.
    sim.UnlinkAll();
    ASSERT_EQ(::symlink(dir.File("nowhere").c_str(), dir.File("dosdevices/com7").c_str()), 0);
    {
        A answerer({A::Press("btnOk"), A::Press("btnOk")});
        Trigger("NLoadFromECR");
        const QStringList texts = Messages(answerer);
        ASSERT_EQ(texts.size(), 2);
        EXPECT_TRUE(texts[0].startsWith("Operation failed:ReadAllPlues failed -> OpenDevice -> ")) << texts[0].toStdString();
        EXPECT_EQ(texts[1], kFailure);
    }
    EXPECT_EQ(Table().Count(), 0);
    EXPECT_EQ(Status(), kFailure);
    EXPECT_TRUE(ViewEnabled());
}

// --- The PLU edit dialog ------------------------------------------------------------------

namespace {

void SetText(QWidget* box, const char* edit, const QString& text)
{
    box->findChild<QLineEdit*>(edit)->setText(text);
}
QString Text(QWidget* box, const char* edit) { return box->findChild<QLineEdit*>(edit)->text(); }
QString Combo(QWidget* box, const char* combo) { return box->findChild<QComboBox*>(combo)->currentText(); }

} // namespace

TEST_F(PluTransferView, AddNewItemOffersDefaultsAndChecksOnOk)
{
    sim.PutFile("/fd0/4/alte/1", "alte,1,Eco tax\r\n");
    sim.PutFile("/fd0/4/alte/2", "alte,2,\r\n");
    QStringList offered;
    QString unit, pay, group, dept, vat, price;
    {
        A answerer({A::Do([&](QWidget* box) {
                        offered << Text(box, "NumbEdit");
                        unit = Text(box, "pluUnitEdit");
                        pay = Combo(box, "PayTypeCombo");
                        group = Combo(box, "GroupCombo");
                        dept = Combo(box, "SubGroupCombo");
                        vat = Combo(box, "TaxGroupCombo");
                        price = box->findChild<QDoubleSpinBox*>("SellPriceEdit")->text();
                        auto* taxes = box->findChild<QComboBox*>("alteTaxeDropDown");
                        EXPECT_EQ(taxes->count(), 1);
                        EXPECT_EQ(taxes->currentIndex(), -1);
                        EXPECT_EQ(box->windowTitle(), "Edit PLU Items");
                        SetText(box, "NameEdit", "Milk");
                        box->findChild<QComboBox*>("TaxGroupCombo")->setCurrentIndex(2);
                        taxes->setCurrentIndex(0);
                    }),
                    A::Enter()});
        Click("btnAddPlu");
        EXPECT_EQ(answerer.Unexpected(), 0);
    }
    EXPECT_EQ(offered, QStringList{"1"});
    EXPECT_EQ(QStringList({unit, pay, group, dept, vat}), QStringList({"BUC", "1", "1", "1", "2"}));
    EXPECT_TRUE(price == "0.000" || price == "0,000") << price.toStdString();
    ASSERT_EQ(Table().Count(), 1);
    EXPECT_EQ(Table().Row(0).NAME, "Milk");
    EXPECT_EQ(Table().Row(0).TAX_GROUP, 3);
    EXPECT_EQ(Table().Row(0).ALTE_TAXE, "Eco tax");
    EXPECT_EQ(Table().Row(0).UNIT, "BUC");
    EXPECT_EQ(view->LastVatGroupIndex(), 2);

    // The next Add offers VAT group 3 and number 2; VAT group 1 is never carried over.
    {
        A answerer({A::Do([&](QWidget* box) {
                        vat = Combo(box, "TaxGroupCombo");
                        offered << Text(box, "NumbEdit");
                        SetText(box, "NameEdit", "Bread");
                        box->findChild<QComboBox*>("TaxGroupCombo")->setCurrentIndex(0);
                    }),
                    A::Press("btnOk")});
        Click("btnAddPlu");
    }
    EXPECT_EQ(vat, "3");
    {
        A answerer({A::Do([&](QWidget* box) { vat = Combo(box, "TaxGroupCombo"); }), A::Escape()});
        Click("btnAddPlu");
    }
    EXPECT_EQ(vat, "2");
    EXPECT_EQ(Table().Count(), 2);
}

TEST_F(PluTransferView, EditDialogChecksInOrder)
{
    Add({Row(7, 2, 1, "501"), Row(8, 2, 1, "", "000000010")});
    struct Case {
        const char* what;
        QString numb, name, barcode;
        double price;
        QString message;
        const char* focus;
    } cases[] = {
        {"number too high", "30000", "X", "", 1, "Invalid plu number.\nInvalid number.", "NumbEdit"},
        {"number not a number", "12a", "X", "", 1, "Invalid plu number.\nInvalid number.", "NumbEdit"},
        {"live duplicate with a leading zero", "07", "X", "", 1, "Invalid plu number.\nThe number is duplicated",
         "NumbEdit"},
        {"barcode twice", "9", "X", "5,5", 1, "The entered barcode already exists.", nullptr},
        {"barcode of another row", "9", "X", "502,501", 1, "The entered barcode already exists.", "BarcodeEdit"},
        {"no name", "9", "", "", 1, "Plu ECR name is required.", "NameEdit"},
        {"negative price", "9", "X", "", -1, "Invalid Price.", "SellPriceEdit"},
    };
    for (const Case& c : cases) {
        QString focus;
        A answerer({A::Do([&](QWidget* box) {
                        SetText(box, "NumbEdit", c.numb);
                        SetText(box, "NameEdit", c.name);
                        SetText(box, "BarcodeEdit", c.barcode);
                        box->findChild<QDoubleSpinBox*>("SellPriceEdit")->setValue(c.price);
                    }),
                    Later("btnOk"), A::Press("btnOk"), A::Do([&](QWidget* box) {
                        focus = box->focusWidget() ? box->focusWidget()->objectName() : QString();
                        box->findChild<QPushButton*>("btnCancel")->click();
                    })});
        Click("btnAddPlu");
        EXPECT_EQ(Messages(answerer), QStringList{c.message}) << c.what;
        if (c.focus)
            EXPECT_EQ(focus, c.focus) << c.what;
        EXPECT_EQ(Numbers(), (std::vector<int>{7, 8})) << c.what;
    }
    // The barcode twice is an error box, the barcode of another row a warning.
}

TEST_F(PluTransferView, NumberOfADeletedRowReplacesItOnlyOnOk)
{
    Add({Row(7), Row(8, 2, 1, "", "000000010")});
    // A later check fails, then Cancel: the deleted row is still there.
    {
        A answerer({A::Do([](QWidget* box) {
                        SetText(box, "NumbEdit", "8");
                        SetText(box, "NameEdit", "");
                    }),
                    Later("btnOk"), A::Press("btnOk"), A::Escape()});
        Click("btnAddPlu");
        EXPECT_EQ(Messages(answerer), QStringList{"Plu ECR name is required."});
    }
    EXPECT_EQ(Numbers(), (std::vector<int>{7, 8}));
    // OK with every check passed: the deleted row gives way.
    {
        A answerer({A::Do([](QWidget* box) {
                        SetText(box, "NumbEdit", "8");
                        SetText(box, "NameEdit", "New eight");
                    }),
                    A::Press("btnOk")});
        Click("btnAddPlu");
    }
    EXPECT_EQ(Numbers(), (std::vector<int>{7, 8}));
    EXPECT_EQ(Table().Row(1).NAME, "New eight");
    EXPECT_FALSE(Table().Row(1).Deleted());
}

TEST_F(PluTransferView, EditItemDataKeepsTheBarcodeListRight)
{
    TPluRow odd = Row(3, 2, 1, "777");
    odd.SetInt(TPluField::PLU_GROUP, 31);
    Add({Row(1, 2, 1, "501"), Row(2, 2, 1, "501"), odd});
    QTableView* grid = Child<QTableView>("PluesGrid");
    Table().SetCurrent(0);
    // Cancel and OK without a change both leave the list as it was.
    {
        A answerer({A::Do([](QWidget* box) { EXPECT_FALSE(box->findChild<QLineEdit*>("NumbEdit")->isEnabled()); }),
                    A::Escape()});
        Click("btnEditPlu");
    }
    EXPECT_EQ(view->UsedBarcodes().Occurrences("501"), 2);
    {
        A answerer({A::Press("btnOk")});
        Click("btnEditPlu");
        EXPECT_TRUE(Messages(answerer).isEmpty());
    }
    EXPECT_EQ(view->UsedBarcodes().Occurrences("501"), 2);
    EXPECT_TRUE(Child<QWidget>("btnAddPlu")->isEnabled());

    // Three selected rows: three dialogs, each with its own row; the group
    // outside the list stays unchosen and is stored as 0.
    Select(grid, {0, 1, 2});
    QStringList names;
    QString group;
    A answerer({A::Do([&](QWidget* box) { names << Text(box, "NameEdit"); }), A::Escape(),
                A::Do([&](QWidget* box) {
                    names << Text(box, "NameEdit");
                    SetText(box, "BarcodeEdit", "502");
                }),
                A::Press("btnOk"),
                A::Do([&](QWidget* box) {
                    names << Text(box, "NameEdit");
                    group = Combo(box, "GroupCombo");
                }),
                A::Press("btnOk")});
    Click("btnEditPlu");
    EXPECT_EQ(names, (QStringList{"Item 1", "Item 2", "Item 3"}));
    EXPECT_EQ(group, "");
    EXPECT_EQ(Table().Row(2).PLU_GROUP, 0);
    EXPECT_EQ(Table().Row(1).BARCODE, "502");
    EXPECT_EQ(view->UsedBarcodes().Occurrences("501"), 1);
    EXPECT_EQ(view->UsedBarcodes().Occurrences("502"), 1);
    EXPECT_TRUE(Child<QLineEdit>("NumbEdit") == nullptr); // the dialog is not the view's child
    EXPECT_TRUE(EditPluForm().findChild<QLineEdit*>("NumbEdit")->isEnabled());
}

TEST_F(PluTransferView, TextsTheRegisterCannotKeepAreRefusedAsTyped)
{
    QString unit, name;
    A answerer({A::Do([&](QWidget* box) {
                    auto* unitEdit = box->findChild<QLineEdit*>("pluUnitEdit");
                    unitEdit->clear();
                    unitEdit->setFocus();
                    QTest::keyClicks(unitEdit, "kg,");
                    unit = unitEdit->text();
                }),
                A::Press("btnOk"),
                A::Do([&](QWidget* box) {
                    auto* nameEdit = box->findChild<QLineEdit*>("NameEdit");
                    nameEdit->setFocus();
                    nameEdit->insert(QStringLiteral("A,\u4e2d"));
                    name = nameEdit->text();
                }),
                A::Press("btnOk"), A::Escape()});
    Click("btnAddPlu");
    EXPECT_EQ(unit, "kg");
    EXPECT_EQ(name, "");
    EXPECT_EQ(Messages(answerer), (QStringList{"A comma cannot be stored in this field.",
                                               "This character cannot be stored: the register's character set has "
                                               "no place for it."}));
}

// --- Multi-item edit -------------------------------------------------------------------------

TEST_F(PluTransferView, EditMultipleItems)
{
    Add({Row(42, 2, 1, "x"), Row(5), Row(6, 2, 1, "keep", "000000010")});
    QTableView* grid = Child<QTableView>("PluesGrid");
    // One row selected: nothing.
    Select(grid, {0});
    {
        A answerer;
        Click("btnMultiEdit");
        EXPECT_TRUE(answerer.Boxes().empty());
    }
    Table().SetCurrent(1);
    Select(grid, {0, 1, 2});
    bool stayedOpen = false;
    QString vatOffered;
    {
        A answerer({A::Press("btnOk"),
                    A::Do([&](QWidget* box) {
                        stayedOpen = box->isVisible();
                        vatOffered = Combo(box, "TaxGroupCombo");
                        EXPECT_FALSE(box->findChild<QWidget*>("GroupCombo")->isVisible());
                        box->findChild<QCheckBox*>("chkBarcodes")->setChecked(true);
                        EXPECT_TRUE(box->findChild<QWidget*>("rbBarcodeNumber")->isVisible());
                        box->findChild<QRadioButton*>("rbBarcodeNumber")->setChecked(true);
                        box->findChild<QCheckBox*>("chkParams")->setChecked(true);
                        box->findChild<QCheckBox*>("chkFlag1")->setChecked(true);
                        box->findChild<QCheckBox*>("chkPayType")->setChecked(true);
                        box->findChild<QComboBox*>("PayTypeEdit")->setCurrentIndex(4);
                    }),
                    A::Press("btnOk")});
        Click("btnMultiEdit");
    }
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(vatOffered, "2");
    EXPECT_EQ(Table().Row(0).BARCODE, "000000000042");
    EXPECT_EQ(Table().Row(2).BARCODE, "000000000006");
    EXPECT_EQ(Table().Row(2).FLAGS, "100000000") << "the deleted row is brought back";
    EXPECT_EQ(Table().Row(1).PAY_TYPE, 5);
    EXPECT_EQ(Table().Current(), 1);
    EXPECT_EQ(view->UsedBarcodes().Occurrences("x"), 1) << "the list is not changed";

    // Pay Type stays chosen for the next use; Barcodes without a choice changes nothing.
    bool payTypeKept = false;
    {
        A answerer({A::Do([&](QWidget* box) {
                        payTypeKept = box->findChild<QCheckBox*>("chkPayType")->isChecked() &&
                                      Combo(box, "PayTypeEdit") == "5";
                        EXPECT_FALSE(box->findChild<QCheckBox*>("chkBarcodes")->isChecked());
                        box->findChild<QCheckBox*>("chkPayType")->setChecked(false);
                        box->findChild<QCheckBox*>("chkBarcodes")->setChecked(true);
                    }),
                    A::Press("btnOk")});
        Click("btnMultiEdit");
    }
    EXPECT_TRUE(payTypeKept);
    EXPECT_EQ(Table().Row(0).BARCODE, "000000000042");
}

// --- Alte taxe list ------------------------------------------------------------------------

TEST_F(PluTransferView, AlteTaxeList)
{
    sim.PutFile("/fd0/4/alte/2", "alte,2,Eco tax\r\n");
    sim.PutFile("/fd0/4/alte/7", "alte,7,Deposit\r\n");
    sim.PutFile("/fd0/4/alte/8", "alte,8,\r\n");
    QTableView* grid = Child<QTableView>("AlteGrid");
    {
        A answerer({A::Press("btnOk")});
        Click("btnLoadAlteTaxes");
        EXPECT_EQ(Messages(answerer), QStringList{kSuccess});
    }
    EXPECT_FALSE(view->InPluListMode());
    EXPECT_TRUE(Child<QWidget>("btnAddTaxe")->isVisible());
    EXPECT_FALSE(Child<QWidget>("btnAddPlu")->isEnabled());
    EXPECT_EQ(Child<QLabel>("TitleLabel")->text(), "Alte Taxes");
    ASSERT_EQ(view->MemData().Count(), 2) << "the tax with an empty name is left out";

    // Add: highest + 1, even with lower numbers free; the list is sent.
    {
        A answerer({A::Do([](QWidget* box) {
                        EXPECT_EQ(box->windowTitle(), "Edit Alte Taxes");
                        EXPECT_FALSE(box->findChild<QWidget*>("NameEdit")->isVisible());
                        SetText(box, "alteTaxeEdit", "Tourist tax");
                    }),
                    A::Press("btnOk"), A::Press("btnOk")});
        Click("btnAddTaxe");
        EXPECT_EQ(Messages(answerer), QStringList{kSuccess});
    }
    EXPECT_EQ(view->MemData().Row(2).NUMB, 8);
    EXPECT_EQ(view->PendingTaxeNumber(), 8);
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/8"), "alte,8,Tourist tax\r\n");

    // Cancelled Add still sends the list; so does a cancelled rename.
    sim.ClearLogs();
    {
        A answerer({A::Escape(), A::Press("btnOk")});
        Click("btnAddTaxe");
    }
    EXPECT_EQ(view->MemData().Count(), 3);
    int puts = 0;
    for (const auto& p : sim.ReceivedPackets())
        puts += p.Type == 'R' && p.Data.rfind("put /fd0/4/alte/", 0) == 0 && !p.Repeat;
    EXPECT_EQ(puts, 3);

    // Rename the selected row.
    Select(grid, {1});
    view->MemData().SetCurrent(1);
    {
        A answerer({A::Do([](QWidget* box) {
                        EXPECT_EQ(Text(box, "alteTaxeEdit"), "Deposit");
                        SetText(box, "alteTaxeEdit", "Bottle deposit");
                    }),
                    A::Press("btnOk"), A::Press("btnOk")});
        Click("btnEditTaxe");
    }
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/7"), "alte,7,Bottle deposit\r\n");
    EXPECT_EQ(Child<QLabel>("TitleLabel")->text(), "Edit Alte Taxe");

    // Delete: closing the question deletes nothing; Yes empties the row and
    // writes the number with an empty name.
    {
        A answerer({A::Close()});
        Click("btnDeleteTaxe");
    }
    EXPECT_EQ(view->MemData().Row(1).NAME, "Bottle deposit");
    {
        A answerer({A::Press("btnYes"), A::Press("btnOk")});
        Click("btnDeleteTaxe");
        EXPECT_EQ(Messages(answerer).first(), "Please, confirm deleting selected Alte Taxes. \nPlease, confirm the operation.");
    }
    EXPECT_FALSE(view->MemData().Row(1).NUMB);
    EXPECT_EQ(view->MemData().Row(1).NAME, "");
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/7"), "alte,7,\r\n");
    EXPECT_EQ(view->MemData().Count(), 3);

    // A write the register refuses empties the list and ends as failed.
    Refuse("/fd0/4/alte/8", 1);
    {
        A answerer({A::Press("btnOk"), A::Press("btnAbort"), A::Press("btnOk")});
        Click("btnEditTaxe");
        const QStringList texts = Messages(answerer);
        ASSERT_EQ(texts.size(), 2);
        EXPECT_EQ(texts[0], kFailure + "\nInvalid input parameters.\nPlease validate Alte Taxe: 8");
        EXPECT_EQ(texts[1], kFailure);
    }
    EXPECT_TRUE(view->MemData().Empty());

    // Load from ECR brings the PLU grid back.
    {
        A answerer({A::Press("btnOk")});
        Trigger("NLoadFromECR");
    }
    EXPECT_TRUE(view->InPluListMode());
    EXPECT_TRUE(Child<QWidget>("btnAddPlu")->isEnabled());
}

TEST_F(PluTransferView, TheShippedBulgarianFileCoversBothEditDialogs)
{
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, shipped));
    dir.Write("Bulgarian.lng", shipped);
    TLngINISupp lng;
    lng.SetLanguageFile("Bulgarian.lng");
    SetAppLanguageSupport(&lng);
    Add({Row(1), Row(2)});
    Select(Child<QTableView>("PluesGrid"), {0, 1});
    QString deleted, emptyBarcode;
    A answerer({A::Do([&](QWidget* box) {
                    deleted = box->findChild<QCheckBox*>("chkFlag8")->text();
                    box->findChild<QPushButton*>("btnCancel")->click();
                }),
                A::Do([&](QWidget* box) {
                    emptyBarcode = box->findChild<QRadioButton*>("rbBarcodeEmpty")->text();
                    box->findChild<QPushButton*>("btnCancel")->click();
                })});
    Click("btnAddPlu");
    Click("btnMultiEdit");
    SetAppLanguageSupport(nullptr);
    EXPECT_EQ(answerer.Boxes().size(), 2u);
    EXPECT_EQ(dir.Read("Bulgarian.lng"), shipped) << "a caption was missing and got written back";
    EXPECT_EQ(deleted, QStringLiteral("Артикулът е изтрит"));
    EXPECT_EQ(emptyBarcode, QStringLiteral("Празен баркод"));
}
