#pragma once
// A fresh program folder with the register simulator on COM4: the link
// "dosdevices/com4" leads to its pty, Set_ComPort is 4, settings and
// catalogue texts are at their defaults. Tests that drive register commands
// from the windows start from it; they link ecrsimlib.

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "support/TempDir.h"

#include "EcrSim.h"

#include <gtest/gtest.h>

class SimulatedRegisterTest : public ::testing::Test {
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

    TempDir dir;
    ecrsim::TEcrSim sim;
};
