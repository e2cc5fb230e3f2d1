#include "core/app/ConstUnit.h"
#include "gui/app/EcrHelpers.h"
#include "gui/app/GuiText.h"
#include "core/app/MsgINISupp.h"
#include "core/device/EcrDeviceUnit.h"
#include "support/AbsentPort.h"
#include "support/ModalAnswerer.h"
#include "support/SimulatedRegister.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class EcrHelpers : public SimulatedRegisterTest {
protected:
    void SetUp() override
    {
        SimulatedRegisterTest::SetUp();
        LinkAbsentPort(dir, 9);
        EcrModel = EcrVersion = EcrSerialNumber = EcrFiscalMemoryNumber = EcrType = "";
        MaxPluNumber = MaxPluSubgroup = 0;
    }
};

} // namespace

TEST_F(EcrHelpers, AnsweringRegisterFillsIdentityAndLimitsWithoutABox)
{
    sim.SetInfo("MOD", "T-200");
    sim.SetInfo("VER", "2.1");
    sim.SetInfo("FDIN", "SN77");
    sim.SetInfo("FMIN", "FM88");
    sim.SetInfo("TYPE", "3");
    Set_ComPort = 4;
    ModalAnswerer answerer;
    EXPECT_TRUE(ConnectAndReadEcrInfo());
    EXPECT_EQ(answerer.Boxes().size(), 0u);
    EXPECT_EQ(EcrDevice.PortNumber, 4);
    EXPECT_EQ(EcrModel, "T-200");
    EXPECT_EQ(EcrVersion, "2.1");
    EXPECT_EQ(EcrSerialNumber, "SN77");
    EXPECT_EQ(EcrFiscalMemoryNumber, "FM88");
    EXPECT_EQ(EcrType, "3");
    EXPECT_EQ(MaxPluNumber, 30000);
    EXPECT_EQ(MaxPluSubgroup, 10);
}

TEST_F(EcrHelpers, AbsentRegisterShowsOneErrorBoxPerCallAndKeepsThePreviousIdentity)
{
    sim.SetInfo("MOD", "FIRST");
    Set_ComPort = 4;
    ASSERT_TRUE(ConnectAndReadEcrInfo());

    // The next port leads nowhere: the link names a device that is not there.
    Set_ComPort = 9;
    ModalAnswerer answerer({ModalAnswerer::Press("btnOk"), ModalAnswerer::Press("btnOk")});
    EXPECT_FALSE(ConnectAndReadEcrInfo());
    EXPECT_FALSE(ConnectAndReadEcrInfo()) << "a failure is not remembered";
    ASSERT_EQ(answerer.Boxes().size(), 2u);
    EXPECT_EQ(answerer.Unexpected(), 0);
    for (const auto& box : answerer.Boxes()) {
        EXPECT_EQ(box.buttons, QStringList{"btnOk"});
        EXPECT_TRUE(box.text.startsWith("GetDevInfo failed! -> OpenDevice -> Device communication error.\n"))
            << box.text.toStdString();
        EXPECT_TRUE(box.text.endsWith("\n[OpenDevice]")) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains("[COM9]")) << box.text.toStdString();
    }
    EXPECT_EQ(EcrModel, "FIRST");
    EXPECT_EQ(MaxPluNumber, 30000);
}

TEST(FormatElapsed, HoursMinutesSecondsOfTheDay)
{
    EXPECT_EQ(FormatElapsed(0), "00:00:00");
    EXPECT_EQ(FormatElapsed(75'900), "00:01:15");
    EXPECT_EQ(FormatElapsed(3661'000), "01:01:01");
    EXPECT_EQ(FormatElapsed((24 * 3600 + 62) * 1000LL), "00:01:02");
}

TEST(ShowOperationResult, TheThreeOutcomes)
{
    RestoreBuiltInMessages();
    QLabel status;
    {
        ModalAnswerer answerer;
        ShowOperationResult(true, true, &status, QDateTime::currentDateTime());
        EXPECT_EQ(status.text(), "Operation canceled by user.");
        EXPECT_EQ(answerer.Boxes().size(), 0u) << "a cancelled operation shows no box";
    }
    {
        ModalAnswerer answerer({ModalAnswerer::Press("btnOk")});
        ShowOperationResult(true, false, &status, QDateTime::currentDateTime().addSecs(-3661));
        EXPECT_EQ(status.text(), "Operation completed succesfully. (01:01:01 min)");
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].text, "Operation completed succesfully.");
    }
    {
        ModalAnswerer answerer({ModalAnswerer::Do([&](QWidget* box) {
            EXPECT_NE(status.text(), "Error during an operation") << "the label changes after the box";
            box->findChild<QPushButton*>("btnOk")->click();
        })});
        ShowOperationResult(false, false, &status, QDateTime::currentDateTime());
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].text, "Error during an operation");
        EXPECT_EQ(status.text(), "Error during an operation");
    }
}
