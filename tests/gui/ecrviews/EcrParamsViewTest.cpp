#include "EcrViewsFixture.h"

#include "core/base/FileUtil.h"
#include "core/device/EcrDeviceUnit.h"
#include "gui/app/LngTranslate.h"
#include "gui/ecrviews/EcrAdvLinesUnit.h"
#include "gui/ecrviews/EcrOperatorsDlgUnit.h"
#include "gui/ecrviews/EcrParamsUnit.h"
#include "gui/ecrviews/EcrSettingsUnit.h"
#include "support/ModalAnswerer.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using Answer = ModalAnswerer;

constexpr const char* kRows = "/fd0/1/n_snd/ROWS";

class ParamsView : public EcrViewsTest {
protected:
    void Click(const char* button) { view.findChild<QPushButton*>(button)->click(); }
    static void Press(QWidget* box, const char* button) { box->findChild<QPushButton*>(button)->click(); }
    static void Retype(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        Type(edit, text);
    }
    // What the register holds now, read by the program's own façade.
    TECR_Cashiers RegisterCashiers()
    {
        TECR_Cashiers list;
        EXPECT_TRUE(EcrDevice.GetCashiers(list)) << EcrDevice.LastError;
        return list;
    }
    TECR_AdvLines RegisterLines()
    {
        TECR_AdvLines lines{};
        bool fiscal = false;
        EXPECT_TRUE(EcrDevice.ReadAdvLines(lines, fiscal)) << EcrDevice.LastError;
        return lines;
    }

    TEcrParamsFrame view;
};

TEcrAdvLinesDlg& Lines(QWidget* box)
{
    auto* dialog = qobject_cast<TEcrAdvLinesDlg*>(box);
    EXPECT_TRUE(dialog) << box->objectName().toStdString();
    return *dialog;
}

// The window active, as a desktop makes it when the box over it closes, so
// that focus moves and focus events come.
void Activate(QWidget* window)
{
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

TEcrOperatorsDlgUnit& Cashiers(QWidget* box)
{
    auto* dialog = qobject_cast<TEcrOperatorsDlgUnit*>(box);
    EXPECT_TRUE(dialog) << box->objectName().toStdString();
    Activate(box);
    return *dialog;
}

} // namespace

TEST_F(ParamsView, TheTwoCommandsAreShownTheOthersHidden)
{
    view.show();
    const struct {
        const char* name;
        const char* caption;
        bool visible;
    } buttons[] = {
        {"btnAdvLines", "Receipt advertising lines", true},
        {"btnOperators", "Cashier names and passwords", true},
        {"btnParameters", "Yes / No parameters", false},
        {"btnGroups", "PLU departments", false},
        {"btnPayments", "Payment types", false},
        {"btnDiscounts", "Discounts and Add on", false},
        {"btnTimePeriods", "Hour periods", false},
        {"btnSetClock", "Set ECR system time", false},
        {"btnFiscalization", "ECR Fiscalization", false},
    };
    for (const auto& b : buttons) {
        const auto* button = view.findChild<QPushButton*>(b.name);
        ASSERT_TRUE(button) << b.name;
        EXPECT_EQ(button->text(), b.caption);
        EXPECT_EQ(button->isVisible(), b.visible) << b.name;
    }
    EXPECT_EQ(view.findChild<QLabel*>("TitleLabel")->text(), "ECR programming options");
    EXPECT_TRUE(view.findChild<QLabel*>("NoteLabel")->text().startsWith("All above parameters are directly"));
    EXPECT_EQ(view.minimumSize(), QSize(450, 360));
}

TEST_F(ParamsView, AdvertisingLinesOnARegisterWithoutTheFile)
{
    sim.SetZregs("5", std::nullopt, std::nullopt); // not fiscal
    ASSERT_FALSE(sim.GetFile(kRows));
    ModalAnswerer answerer({Answer::Do([&](QWidget* box) {
                                TEcrAdvLinesDlg& dialog = Lines(box);
                                for (int k = 0; k < kAdvLineCount; ++k)
                                    EXPECT_EQ(dialog.LineEdit(k)->text(), "") << k;
                                EXPECT_FALSE(dialog.LineEdit(0)->isEnabled());
                                EXPECT_EQ(dialog.LineEdit(1)->maxLength(), 31);
                                Type(dialog.LineEdit(2), "Welcome, friends");
                                // A character the register's code page has no place for is refused.
                                Type(dialog.LineEdit(3), Utf8("Благодарим\u4e2d ви!"));
                                Press(box, "btnSave");
                            }),
                            Answer::Press("btnOk")});
    Click("btnAdvLines");
    EXPECT_EQ(answerer.Texts(), QStringList({"Recept advertising lines", "Operation completed succesfully."}));
    EXPECT_EQ(answerer.Unexpected(), 0);

    const std::string rows = sim.GetFile(kRows).value_or("");
    for (int k = 0; k < kAdvLineCount; ++k)
        EXPECT_NE(rows.find("<ROW" + std::to_string(k)), std::string::npos) << "ten lines are written: " << rows;
    const TECR_AdvLines back = RegisterLines();
    EXPECT_EQ(back[0], "");
    EXPECT_EQ(back[2], "Welcome, friends");
    EXPECT_EQ(back[3], "\xC1\xEB\xE0\xE3\xEE\xE4\xE0\xF0\xE8\xEC \xE2\xE8!");
    EXPECT_EQ(back[4], "");
}

TEST_F(ParamsView, AdvertisingLinesRoundTripKeepingTheFiscalNameAndUneditedLines)
{
    const std::string longLine(40, 'L');
    sim.PutFile(kRows, "<ROWS><ROW0>Stored row 0</ROW0><ROW1>One</ROW1><ROW2/><ROW3/><ROW4/><ROW5/><ROW6/>"
                       "<ROW7/><ROW8/><ROW9>" + longLine + "</ROW9></ROWS>");
    ModalAnswerer answerer({Answer::Do([&](QWidget* box) {
                                TEcrAdvLinesDlg& dialog = Lines(box);
                                EXPECT_EQ(dialog.LineEdit(0)->text(), "Test Shop") << "the fiscal name";
                                EXPECT_EQ(dialog.LineEdit(1)->text(), "One");
                                EXPECT_EQ(dialog.LineEdit(9)->text(), QString::fromStdString(longLine));
                                Retype(dialog.LineEdit(1), "Two");
                                // Enter saves wherever the focus is.
                                QTest::keyClick(dialog.LineEdit(5), Qt::Key_Return);
                            }),
                            Answer::Press("btnOk"),
                            // Reopened: what was saved; Esc leaves without writing.
                            Answer::Do([&](QWidget* box) {
                                TEcrAdvLinesDlg& dialog = Lines(box);
                                EXPECT_EQ(dialog.LineEdit(0)->text(), "Test Shop");
                                EXPECT_EQ(dialog.LineEdit(1)->text(), "Two");
                                Retype(dialog.LineEdit(2), "Not saved");
                            }),
                            Answer::Escape()});
    Click("btnAdvLines");
    const std::string saved = sim.GetFile(kRows).value_or("");
    EXPECT_NE(saved.find("<ROW0>Test Shop</ROW0>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<ROW9>" + longLine + "</ROW9>"), std::string::npos) << "not cut to the edit's length";
    Click("btnAdvLines");
    EXPECT_EQ(sim.GetFile(kRows).value_or(""), saved);
    EXPECT_EQ(answerer.Texts(), QStringList({"Recept advertising lines", "Operation completed succesfully.",
                                             "Recept advertising lines"}));
    EXPECT_EQ(answerer.Unexpected(), 0);
}

TEST_F(ParamsView, AFailedReadShowsWhyAndOpensNoDialog)
{
    LinkAbsentPort(dir, 9);
    Set_ComPort = 9;
    ModalAnswerer answerer({Answer::Press("btnOk"), Answer::Press("btnOk")});
    Click("btnAdvLines");
    Click("btnOperators");
    const QStringList texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].startsWith("Operation failed:\nReadAdvLines failed! GetFiscInfo -> OpenDevice failed! -> "))
        << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith("Operation failed:\nGetCashiers failed! -> OpenDevice -> "))
        << texts[1].toStdString();
    EXPECT_EQ(answerer.Boxes()[1].buttons, QStringList{"btnOk"});
}

TEST_F(ParamsView, CashiersOfAnEmptyRegisterThenAddUpToThirty)
{
    ASSERT_TRUE(sim.ListFiles("/fd0/4/oper").empty());
    ModalAnswerer answerer;
    answerer.Add(Answer::Do([&](QWidget* box) {
        TEcrOperatorsDlgUnit& dialog = Cashiers(box);
        EXPECT_TRUE(dialog.MemData().empty());
        for (int i = 0; i < 30; ++i)
            Press(box, "btnAdd");
        ASSERT_EQ(dialog.MemData().size(), 30u);
        EXPECT_EQ(dialog.CurrentRow(), 29);
        EXPECT_EQ(QApplication::focusWidget(), dialog.Row(29).Numb) << "ready for the new number";
        {
            ModalAnswerer warning({Answer::Press("btnOk")});
            warning.Ignore(box);
            Press(box, "btnAdd"); // one too many: a warning, nothing added
            EXPECT_EQ(warning.Texts(), QStringList{"Maximum operators count is 30!"});
        }
        EXPECT_EQ(dialog.MemData().size(), 30u);

        Type(dialog.Row(0).Numb, "1");
        Type(dialog.Row(0).Name, "Ann");
        Type(dialog.Row(0).Password, "11");
        Type(dialog.Row(29).Numb, "30");
        Type(dialog.Row(29).Name, "Zed");
        dialog.Row(29).Reports->click();
        Press(box, "btnSave");
    }));
    answerer.Add(Answer::Press("btnOk"));
    Click("btnOperators");
    EXPECT_EQ(answerer.Texts(), QStringList({"Cashier names and passwords", "Operation completed succesfully."}));
    const TECR_Cashiers back = RegisterCashiers();
    ASSERT_EQ(back.size(), 2u) << "rows without a number are not sent";
    EXPECT_EQ(back[0].Number, 1);
    EXPECT_EQ(back[0].Name.Str(), "Ann");
    EXPECT_EQ(back[0].Password.Str(), "11");
    EXPECT_EQ(back[1].Number, 30);
    EXPECT_TRUE(back[1].Reports && !back[1].Sell && !back[1].Admin && !back[1].Program);
}

TEST_F(ParamsView, CashierEditsReachTheRegister)
{
    sim.FillSample(0); // 1 Manager, 2 Front desk (Admin, Program), 3 Trainee (all four)
    const std::string trainee = sim.GetFile("/fd0/4/oper/3").value_or("");
    ModalAnswerer answerer({Answer::Do([&](QWidget* box) {
                                TEcrOperatorsDlgUnit& dialog = Cashiers(box);
                                ASSERT_EQ(dialog.MemData().size(), 3u);
                                const auto& desk = dialog.Row(1);
                                EXPECT_EQ(desk.Name->text(), "Front desk");
                                EXPECT_EQ(desk.Password->text(), "2222");
                                EXPECT_TRUE(desk.Admin->isChecked() && desk.Program->isChecked());
                                EXPECT_FALSE(desk.Sell->isChecked() || desk.Reports->isChecked());

                                Retype(dialog.Row(0).Password, "99");
                                dialog.Row(0).Sell->click();
                                Retype(desk.Name, "");                    // deletes cashier 2
                                Retype(dialog.Row(2).Numb, "");           // cashier 3 is left alone
                                Retype(dialog.Row(2).Name, "Renamed");
                                Press(box, "btnSave");
                            }),
                            Answer::Press("btnOk")});
    Click("btnOperators");
    EXPECT_EQ(answerer.Texts().last(), "Operation completed succesfully.");
    EXPECT_FALSE(sim.GetFile("/fd0/4/oper/2"));
    EXPECT_EQ(sim.GetFile("/fd0/4/oper/3").value_or(""), trainee);
    const TECR_Cashiers back = RegisterCashiers();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Name.Str(), "Manager");
    EXPECT_EQ(back[0].Password.Str(), "99");
    EXPECT_TRUE(back[0].Sell);
    EXPECT_FALSE(back[0].Admin || back[0].Program || back[0].Reports);
}

TEST_F(ParamsView, CashierEditsRefuseWhatTheRegisterCannotKeep)
{
    sim.FillSample(0);
    ModalAnswerer answerer({Answer::Do([&](QWidget* box) {
                                const auto& row = Cashiers(box).Row(0);
                                Retype(row.Password, "123456");
                                EXPECT_EQ(row.Password->text(), "12345") << "the field holds five";
                                Retype(row.Name, "A name of twenty-five ch");
                                EXPECT_EQ(row.Name->text(), "A name of twenty-fiv");
                                Retype(row.Name, Utf8("Ива\u4e2dн, старши"));
                                EXPECT_EQ(row.Name->text(), Utf8("Иван, старши"));
                                Retype(row.Numb, "35");
                                EXPECT_EQ(row.Numb->text(), "3");
                                Retype(row.Numb, "0x");
                                EXPECT_EQ(row.Numb->text(), "");
                                Retype(row.Numb, "12");
                                EXPECT_EQ(Cashiers(box).MemData()[0].Name, "\xC8\xE2\xE0\xED, \xF1\xF2\xE0\xF0\xF8\xE8");
                                EXPECT_EQ(Cashiers(box).MemData()[0].Password, "12345");
                                Press(box, "btnCancel");
                            })});
    Click("btnOperators");
    EXPECT_EQ(answerer.Boxes().size(), 1u) << "cancel writes nothing and says nothing";
    EXPECT_EQ(RegisterCashiers()[0].Name.Str(), "Manager");
}

TEST_F(ParamsView, DuplicateNumbersAndPasswordsAreWarnedAndRefused)
{
    sim.FillSample(0);
    ModalAnswerer answerer({Answer::Do([&](QWidget* box) {
                                TEcrOperatorsDlgUnit& dialog = Cashiers(box);
                                const auto& third = dialog.Row(2);
                                ModalAnswerer warnings;
                                warnings.Ignore(box);
                                warnings.AnswerRestWith(Answer::Press("btnOk"));

                                // Leaving a number another row has: a warning, and back into the edit.
                                Retype(third.Numb, "1");
                                QTest::keyClick(third.Numb, Qt::Key_Tab);
                                ASSERT_TRUE(warnings.WaitForBoxes(1));
                                Activate(box);
                                EXPECT_EQ(QApplication::focusWidget(), third.Numb);
                                EXPECT_EQ(dialog.CurrentRow(), 2);

                                // Save is refused while it lasts, the edits stay.
                                Press(box, "btnSave");
                                Activate(box);
                                EXPECT_EQ(warnings.Boxes().size(), 2u);
                                EXPECT_TRUE(dialog.isVisible());
                                EXPECT_EQ(QApplication::focusWidget(), third.Numb);
                                EXPECT_EQ(dialog.MemData()[2].Numb, "1");

                                Retype(third.Numb, "7");
                                Retype(third.Password, "1111"); // the manager's
                                QTest::keyClick(third.Password, Qt::Key_Backtab);
                                ASSERT_TRUE(warnings.WaitForBoxes(3));
                                Activate(box);
                                EXPECT_EQ(QApplication::focusWidget(), third.Password);
                                Press(box, "btnSave");
                                Activate(box);
                                EXPECT_EQ(warnings.Boxes().size(), 4u);
                                Retype(third.Password, "7777");
                                QTest::keyClick(third.Password, Qt::Key_Tab);
                                EXPECT_FALSE(warnings.WaitForBoxes(5, 200)) << "a unique password passes";
                                EXPECT_EQ(warnings.Texts(),
                                          QStringList({"Operator numbers must be unique!",
                                                       "Operator numbers must be unique!",
                                                       "Password numbers must be unique!",
                                                       "Password numbers must be unique!"}));
                                EXPECT_EQ(warnings.Unexpected(), 0);
                                Press(box, "btnSave");
                            }),
                            Answer::Press("btnOk")});
    Click("btnOperators");
    EXPECT_EQ(answerer.Texts(), QStringList({"Cashier names and passwords", "Operation completed succesfully."}));
    const TECR_Cashiers back = RegisterCashiers();
    ASSERT_EQ(back.size(), 4u) << "cashier 3 stays, its copy becomes cashier 7";
    EXPECT_EQ(back[3].Number, 7);
    EXPECT_EQ(back[3].Password.Str(), "7777");
}

TEST_F(ParamsView, EnterInTheNameEditSaves)
{
    sim.FillSample(0);
    ModalAnswerer answerer({Answer::Do([&](QWidget* box) {
                                const auto& row = Cashiers(box).Row(0);
                                Retype(row.Name, "Boss");
                                QTest::keyClick(row.Name, Qt::Key_Return);
                            }),
                            Answer::Press("btnOk")});
    Click("btnOperators");
    EXPECT_EQ(answerer.Texts().last(), "Operation completed succesfully.");
    EXPECT_EQ(RegisterCashiers()[0].Name.Str(), "Boss");
}

TEST_F(ParamsView, CashierFilesTheProgramCannotTake)
{
    // A damaged file: no dialog, the reason in the box.
    sim.PutFile("/fd0/4/oper/2", "oper,2,Front desk\r\n");
    {
        ModalAnswerer answerer({Answer::Press("btnOk")});
        Click("btnOperators");
        EXPECT_EQ(answerer.Texts(),
                  QStringList{"Operation failed:\nGetCashiers failed! -> GetCashier failed! -> Unexpected file content!"});
    }
    // A number the table does not hold: said, and the dialog opens with the
    // cashiers before it.
    sim.ClearFiles();
    sim.FillSample(0);
    sim.PutFile("/fd0/4/oper/31", "oper,31,Extra\r\npass,31\r\nflg,00000000\r\n");
    ModalAnswerer answerer({Answer::Press("btnOk"), Answer::Do([&](QWidget* box) {
                                EXPECT_EQ(Cashiers(box).MemData().size(), 3u);
                                Press(box, "btnCancel");
                            })});
    Click("btnOperators");
    EXPECT_EQ(answerer.Texts(), QStringList({"Unexpected error: \nCashier number 31 is outside 1..30",
                                             "Cashier names and passwords"}));
}

TEST_F(ParamsView, TheShippedBulgarianFileTranslatesTheseWindowsWithoutWriteBack)
{
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, shipped));
    dir.Write("Bulgarian.lng", shipped);
    TLngINISupp lng;
    lng.SetLanguageFile(dir.File("Bulgarian.lng"));
    SetAppLanguageSupport(&lng);
    TEcrSettingsFrame settings;
    TranslateControl(lng, &settings);
    TranslateControl(lng, &view);
    TEcrAdvLinesDlg lines;
    TEcrOperatorsDlgUnit cashiers;
    SetAppLanguageSupport(nullptr);
    EXPECT_EQ(dir.Read("Bulgarian.lng"), shipped) << "a caption was missing and got written back";
    EXPECT_EQ(settings.findChild<QPushButton*>("btnSave")->text(), Utf8("Приложи и запиши настройките"));
    EXPECT_EQ(view.findChild<QPushButton*>("btnOperators")->text(), Utf8("Имена и пароли на касиерите"));
    EXPECT_EQ(lines.windowTitle(), Utf8("Рекламни редове в бона"));
    EXPECT_EQ(cashiers.findChild<QPushButton*>("btnAdd")->text(), Utf8("Добави"));
}
