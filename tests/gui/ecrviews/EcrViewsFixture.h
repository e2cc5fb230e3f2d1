#pragma once
// The ECR parameter views against the simulator on COM4. A port that leads
// nowhere is a dangling link (LinkAbsentPort), never a host serial device.

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "support/AbsentPort.h"
#include "support/SimulatedRegister.h"

#include <QString>
#include <QTest>

class EcrViewsTest : public SimulatedRegisterTest {
protected:
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
};
