#include "EcrViewsFixture.h"

#include "core/base/IniFile.h"
#include "core/device/EcrDeviceUnit.h"
#include "gui/ecrviews/EcrParamsUnit.h"
#include "gui/ecrviews/EcrSettingsUnit.h"
#include "support/ModalAnswerer.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <sys/stat.h>

namespace {

class SettingsView : public EcrViewsTest {
protected:
    template <class T> T* Child(const char* name) { return view.findChild<T*>(name); }
    QSpinBox* Port() { return Child<QSpinBox>("EcrPortSpin"); }
    QPushButton* Save() { return Child<QPushButton>("btnSave"); }
    QString Info() { return Child<QLabel>("InfoLabel")->text(); }

    TEcrSettingsFrame view;
};

} // namespace

TEST_F(SettingsView, LoadingFillsTheControlsAndLeavesSaveDisabled)
{
    Set_ComPort = 17;
    Set_EcrNumb = 3;
    Set_OneECR = true;
    Save()->setEnabled(true);
    Child<QLabel>("InfoLabel")->setText("old");
    view.LoadSettingsIntoView();
    EXPECT_EQ(Port()->value(), 17);
    EXPECT_EQ(Child<QSpinBox>("EcrNumbSpin")->value(), 3);
    EXPECT_TRUE(Child<QCheckBox>("OneEcrCheckBox")->isChecked());
    EXPECT_FALSE(Save()->isEnabled()) << "the value changes of the load do not count as edits";
    EXPECT_EQ(Info(), "");

    // Every edit, and only an edit, enables saving.
    Port()->setValue(18);
    EXPECT_TRUE(Save()->isEnabled());
    view.LoadSettingsIntoView();
    Child<QSpinBox>("EcrNumbSpin")->setValue(4);
    EXPECT_TRUE(Save()->isEnabled());
    view.LoadSettingsIntoView();
    Child<QCheckBox>("OneEcrCheckBox")->click();
    EXPECT_TRUE(Save()->isEnabled());

    EXPECT_EQ(Port()->minimum(), 1);
    EXPECT_EQ(Port()->maximum(), 255);
    view.show();
    for (const char* hidden : {"OneEcrCheckBox", "OneEcrLabel", "EcrNumbSpin", "EcrNumbLabel", "EcrNumbLabel1"})
        EXPECT_FALSE(Child<QWidget>(hidden)->isVisible()) << hidden;
    for (const char* shown : {"TitleLabel", "EcrPortSpin", "PortLabel", "btnTestConnection", "InfoLabel", "btnSave"})
        EXPECT_TRUE(Child<QWidget>(shown)->isVisible()) << shown;
    EXPECT_EQ(Child<QPushButton>("btnSave")->text(), "Appply and Save settings");
    EXPECT_EQ(Child<QLabel>("PortLabel")->text(), "Serial inteface (COM).");
}

TEST_F(SettingsView, TheTestedPortServesLaterOperationsWithoutBeingSaved)
{
    dir.Write("morvane-tessel.ini", "[ECRSETTINGS]\r\nSet_ComPort=9\r\n");
    LoadProgramSettings();
    LinkAbsentPort(dir, 9);
    view.LoadSettingsIntoView();
    ASSERT_EQ(Port()->value(), 9);
    {
        ModalAnswerer answerer({ModalAnswerer::Press("btnOk")});
        Child<QPushButton>("btnTestConnection")->click();
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_TRUE(answerer.Texts()[0].startsWith("GetDevInfo failed! -> OpenDevice -> "))
            << answerer.Texts()[0].toStdString();
        EXPECT_EQ(Info(), "") << "a failed test leaves the line empty";
    }

    sim.SetInfo("MOD", "T-200");
    sim.SetInfo("FDIN", "SN77");
    sim.SetInfo("FMIN", "FM88");
    Port()->setValue(4);
    {
        ModalAnswerer answerer({ModalAnswerer::Press("btnOk")});
        Child<QPushButton>("btnTestConnection")->click();
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Texts()[0], "Succesful connection with ECR:  \nModel: T-200\nSN Number: SN77\nFM Number: FM88");
        EXPECT_EQ(answerer.Boxes()[0].buttons, QStringList{"btnOk"});
    }
    EXPECT_EQ(Info(), "Succesful connection with ECR:  \nModel: T-200\nSN Number: SN77  FM Number: FM88");
    EXPECT_EQ(Set_ComPort, 4);
    EXPECT_EQ(EcrDevice.PortNumber, 4);
    EXPECT_EQ(TIniFile(dir.File("morvane-tessel.ini")).ReadInteger(kEcrSection, "Set_ComPort", 0), 9)
        << "testing does not save";
    EXPECT_TRUE(Save()->isEnabled());

    // A later register command reaches the tested register.
    TEcrParamsFrame params;
    ModalAnswerer dialogs({ModalAnswerer::Press("btnCancel")});
    params.findChild<QPushButton*>("btnOperators")->click();
    ASSERT_EQ(dialogs.Boxes().size(), 1u);
    EXPECT_EQ(dialogs.Boxes()[0].window, "EcrOperatorsDlgUnit");
}

TEST_F(SettingsView, SavingWritesThePortTheLinkSpeedAndTheHiddenValuesAsLoaded)
{
    dir.Write("morvane-tessel.ini", "[ECRSETTINGS]\r\nSet_EcrNumb=12\r\nSet_ComPort=2\r\nSet_OneECR=1\r\n"
                                    "Set_EcrSpeed=9600\r\n[Other]\r\nKeep=yes\r\n");
    LoadProgramSettings();
    view.LoadSettingsIntoView();
    Port()->setValue(4);
    ModalAnswerer answerer;
    Save()->click();
    EXPECT_EQ(answerer.Boxes().size(), 0u);
    EXPECT_FALSE(Save()->isEnabled());
    const TIniFile ini(dir.File("morvane-tessel.ini"));
    EXPECT_EQ(ini.ReadInteger(kEcrSection, "Set_ComPort", 0), 4);
    EXPECT_EQ(ini.ReadInteger(kEcrSection, "Set_EcrSpeed", 0), 115200);
    EXPECT_EQ(ini.ReadInteger(kEcrSection, "Set_EcrNumb", 0), 12);
    EXPECT_TRUE(ini.ReadBool(kEcrSection, "Set_OneECR", false));
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "yes");
    EXPECT_EQ(Set_EcrSpeed, 115200);
}

TEST_F(SettingsView, AFailedSaveSaysSoAndKeepsTheButtonEnabled)
{
    dir.Write("morvane-tessel.ini", "[ECRSETTINGS]\r\nSet_ComPort=2\r\n");
    ASSERT_EQ(chmod(dir.File("morvane-tessel.ini").c_str(), 0444), 0);
    LoadProgramSettings();
    view.LoadSettingsIntoView();
    Port()->setValue(4);
    ModalAnswerer answerer({ModalAnswerer::Press("btnOk")});
    Save()->click();
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], "Error saving the settings");
    EXPECT_EQ(answerer.Boxes()[0].buttons, QStringList{"btnOk"});
    EXPECT_TRUE(Save()->isEnabled());
    EXPECT_EQ(Set_ComPort, 4) << "the values are applied all the same";
    EXPECT_EQ(dir.Read("morvane-tessel.ini"), "[ECRSETTINGS]\r\nSet_ComPort=2\r\n");
}

TEST_F(SettingsView, TheLineUnderThePortTellsWhereTheNumberLeads)
{
    LinkAbsentPort(dir, 9);
    const auto line = [&] { return Child<QPlainTextEdit>("PortDeviceEdit")->toPlainText(); };
    const QString arrow = Utf8(" \u2192 ");
    const QString links = QString::fromStdString(dir.File("dosdevices/"));
    view.LoadSettingsIntoView();
    EXPECT_EQ(line(), "COM4" + arrow + links + "com4\n" + arrow.trimmed() + " " +
                          QString::fromStdString(sim.DevicePath()) + " (ready)");
    Port()->setValue(9);
    EXPECT_EQ(line(), "COM9" + arrow + links + "com9\n" + arrow.trimmed() + " " +
                          QString::fromStdString(dir.File("absent-port")) + " (the link leads nowhere)");
    Port()->setValue(200);
    EXPECT_EQ(line(), "COM200" + arrow + "/dev/ttyS199 (no such device)");
    EXPECT_TRUE(Child<QPlainTextEdit>("PortDeviceEdit")->isReadOnly());

    // Texts of the catalogue: a language file translates them.
    S_PortMissing = "\xED\xFF\xEC\xE0";  // "няма" in the code page
    Port()->setValue(201);
    EXPECT_EQ(line(), "COM201" + arrow + "/dev/ttyS200 (" + Utf8("няма") + ")");
}
