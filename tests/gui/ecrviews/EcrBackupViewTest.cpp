// The ECR parameters view's "Back up register..." and "Restore register...":
// captions from the catalogue, a register cloned onto another through a file,
// the plan asked about first, a cancel between records, a bad file refused
// before anything is sent.

#include "EcrViewsFixture.h"

#include "core/backup/BackupFile.h"
#include "core/base/FileUtil.h"
#include "gui/ecrviews/EcrParamsUnit.h"
#include "support/FileDialogAnswer.h"
#include "support/ModalAnswerer.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

namespace {

using Answer = ModalAnswerer;

class BackupView : public EcrViewsTest {
protected:
    void SetUp() override
    {
        EcrViewsTest::SetUp();
        sim.FillSample(12);
        ASSERT_TRUE(target.Start()) << target.Error();
        ASSERT_TRUE(target.LinkAs(dir.File("dosdevices/com5"))) << target.Error();
    }

    void Click(const char* button) { view.findChild<QPushButton*>(button)->click(); }

    // Backs the sample register up into path through the view.
    void BackUp(const std::string& path)
    {
        Set_ComPort = 4;
        ModalAnswerer answerer({ChooseFileAnswer("BackupDialog", path), Answer::Press("btnOk")});
        Click("btnBackup");
        EXPECT_EQ(answerer.Texts().value(1).toStdString(), "The register was backed up to " + path);
        Set_ComPort = 5;
    }

    std::size_t TargetPlues() const { return target.ListFiles("/sd0/db0").size(); }

    ecrsim::TEcrSim target;
    TEcrParamsFrame view;
};

} // namespace

TEST_F(BackupView, CaptionsAreTheCataloguesOwn)
{
    view.show();
    for (const char* name : {"btnBackup", "btnRestore"})
        EXPECT_TRUE(view.findChild<QPushButton*>(name)->isVisible()) << name;
    EXPECT_EQ(view.findChild<QPushButton*>("btnBackup")->text(), "Back up register...");
    EXPECT_EQ(view.findChild<QPushButton*>("btnRestore")->text(), "Restore register...");

    // A language chosen while the view is open: the main window loads the
    // catalogue and tells the view.
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, shipped));
    dir.Write("Bulgarian.lng", shipped);
    LoadMessages(dir.File("Bulgarian.lng"));
    EXPECT_EQ(dir.Read("Bulgarian.lng"), shipped) << "a catalogue key was missing and got written back";
    QEvent changed(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&view, &changed);
    EXPECT_EQ(view.findChild<QPushButton*>("btnBackup")->text(), Utf8("Архивиране на ЕКАФП..."));
    EXPECT_EQ(view.findChild<QPushButton*>("btnRestore")->text(), Utf8("Възстановяване на ЕКАФП..."));
}

TEST_F(BackupView, CloneOneRegisterOntoAnotherAskingFirst)
{
    const std::string file = dir.File("shop.json");
    BackUp(file);
    TRegisterBackup backup;
    std::string error;
    ASSERT_TRUE(ReadBackupFile(file, backup, error)) << error;
    EXPECT_EQ(backup.Content.Plues.size(), 12u);

    const QString plan = "Alte taxes: 3 to write (1-3)\nPLU items: 12 to write (1-12)\nCashiers: 3 to write (1-3)\n"
                         "Advertising lines: to write (line 0 stays the register's fiscal name)\n\n"
                         "Write this to the register?";
    {
        // No: nothing is written.
        ModalAnswerer no({ChooseFileAnswer("RestoreDialog", file), Answer::Press("btnNo")});
        Click("btnRestore");
        EXPECT_EQ(no.Texts().value(1), plan);
        EXPECT_EQ(no.Boxes().at(1).buttons, QStringList({"btnYes", "btnNo"}));
        EXPECT_EQ(TargetPlues(), 0u);
    }
    {
        ModalAnswerer yes({ChooseFileAnswer("RestoreDialog", file), Answer::Press("btnYes"), Answer::Press("btnOk")});
        Click("btnRestore");
        EXPECT_EQ(yes.Texts().mid(1), QStringList({plan, "Operation completed succesfully."}));
        EXPECT_EQ(yes.Unexpected(), 0);
        for (const char* path : {"/sd0/db0/12", "/fd0/4/alte/3", "/fd0/4/oper/2"})
            EXPECT_EQ(target.GetFile(path), sim.GetFile(path)) << path;
        EXPECT_TRUE(view.findChild<QPushButton*>("btnRestore")->isEnabled());
    }
    // Once more: nothing to do, and no question.
    ModalAnswerer again({ChooseFileAnswer("RestoreDialog", file), Answer::Press("btnOk")});
    Click("btnRestore");
    EXPECT_EQ(again.Texts().value(1), "Nothing to do: the register matches the backup.");
}

TEST_F(BackupView, CancelStopsBetweenRecordsAndTellsWhatWasWritten)
{
    const std::string file = dir.File("shop.json");
    BackUp(file);
    // Cancel in the progress dialog once four PLU items are on the register.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w);
                progress && progress->isVisible() && progress->labelText() == "Writing to the register..." &&
                progress->maximum() == 12 && progress->value() >= 4)
                progress->cancel();
    });
    canceller.start(0);
    ModalAnswerer answerer({ChooseFileAnswer("RestoreDialog", file), Answer::Press("btnYes"), Answer::Press("btnOk")});
    Click("btnRestore");
    canceller.stop();
    const QString said = answerer.Texts().value(2);
    const QString expected = "Operation canceled by user.\nThe restore stopped. So far: alte taxes written 3 of 3, "
                             "PLU items written " + QString::number(TargetPlues()) + " of 12, cashiers written 0 of "
                             "3, advertising lines not written";
    EXPECT_EQ(said, expected);
    EXPECT_GE(TargetPlues(), 4u);
    EXPECT_LT(TargetPlues(), 12u);
}

TEST_F(BackupView, ABadFileIsRefusedBeforeAnythingIsSent)
{
    const std::string file = dir.File("shop.json");
    BackUp(file);
    std::string text = dir.Read("shop.json");
    text.replace(text.find("\"Unit\":\"KG\""), 11, "\"Unit\":\"K,G\"");
    dir.Write("bad.json", text);
    ModalAnswerer answerer({ChooseFileAnswer("RestoreDialog", dir.File("bad.json")), Answer::Press("btnOk")});
    Click("btnRestore");
    EXPECT_EQ(answerer.Texts().value(1).toStdString(),
              "Operation failed:\n" + dir.File("bad.json") + ": Plues, item 1 (PLU 1): Unit must not contain a comma");
    EXPECT_TRUE(target.ReceivedPackets().empty());
}
