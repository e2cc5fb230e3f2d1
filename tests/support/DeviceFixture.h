#pragma once
// A register simulator on a pty, reachable as "COM7" through the
// port folder "dosdevices/" in a fresh temp folder; "COM8" leads nowhere.

#include "core/link/MyCPort.h"
#include "ecrsim/EcrSim.h"
#include "support/AbsentPort.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
inline bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class DeviceFixture : public ::testing::Test {
protected:
    static constexpr int kPort = 7;
    static constexpr int kAbsentPort = 8;

    void SetUp() override
    {
        SetComPortFolder(dir.File("dosdevices/"));
        ASSERT_TRUE(sim.Start()) << sim.Error();
        ASSERT_TRUE(sim.LinkAs(dir.File("dosdevices/com7"))) << sim.Error();
        LinkAbsentPort(dir, kAbsentPort);
    }

    // The command lines the register received, in order, without the
    // greeting's ping and info.
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> out;
        for (const auto& p : sim.ReceivedPackets())
            if ((p.Type == 'S' || p.Type == 'R') && !p.Repeat && p.Data.rfind("ping ", 0) != 0 &&
                p.Data.rfind("info ", 0) != 0)
                out.push_back(p.Data);
        return out;
    }

    // Every packet the register received as its type letter and data.
    std::vector<std::string> TypedPackets() const
    {
        std::vector<std::string> out;
        for (const auto& p : sim.ReceivedPackets())
            out.push_back(std::string(1, p.Type) + p.Data);
        return out;
    }

    TempDir dir;
    ecrsim::TEcrSim sim;
};
