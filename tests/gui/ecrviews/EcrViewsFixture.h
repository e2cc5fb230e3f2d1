#pragma once
// The ECR parameter views against the simulator: a register on COM4 (a
// "dosdevices/com4" link to the simulator's pty) and a fresh settings folder.
// A port that leads nowhere is a dangling link, never a host serial device.

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "support/AbsentPort.h"
#include "support/TempDir.h"

#include "EcrSim.h"

#include <QString>
#include <QTest>
#include <gtest/gtest.h>
#include <string>

class EcrViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RestoreBuiltInMessages();
        ResetSettingsToDefaults();
        InitProgramLocation(dir.File("morvane-tessel"));
        ASSERT_TRUE(sim.Start()) << sim.Error();
        ASSERT_TRUE(sim.LinkAs(dir.File("dosdevices/com4"))) << sim.Error();
        Set_ComPort = 4;
    }
    void TearDown() override { RestoreBuiltInMessages(); }

    static QString Utf8(const char* text) { return QString::fromUtf8(text); }

    // Types text into w key by key, as a keyboard would, letters of any
    // script included.
    static void Type(QWidget* w, const QString& text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(w, static_cast<char>(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    TempDir dir;
    ecrsim::TEcrSim sim;
};
