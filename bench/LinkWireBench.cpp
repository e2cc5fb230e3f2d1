// Wire efficiency of the link: connections of the shape the façade makes
// (open, unlock, ping, info, the command, close) against the simulator pacing
// at 115200 bit/s, measured time divided by the time the bytes need on the
// wire (every byte both ways at 11 520 bytes/s). Clean line first, then with
// 5% of the replies faulty.

#include "core/link/LintelCommUnit.h"

#include "ecrsim/EcrSim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kBytesPerSecond = 11520.0;

struct TShape {
    const char* name;
    std::vector<std::pair<std::string, std::string>> commands; // command line, data
};

struct TResult {
    double seconds = 0;
    size_t bytes = 0;
    int failures = 0;
};

bool Connection(const std::string& device, const TShape& shape)
{
    TLintelComm link(0);
    if (!link.OpenDevice(device, 2))
        return false;
    link.Unlock();
    std::string data;
    bool ok = link.ExecText("ping", { "111" }, data, 512, nullptr, nullptr);
    data.clear();
    ok = ok && link.ExecText("info", { "TYPE", "MOD", "VER", "FDIN", "FMIN" }, data, 512, nullptr, nullptr);
    for (const auto& [line, payload] : shape.commands) {
        data = payload;
        ok = ok && link.Transact(line, data, 512, nullptr, nullptr);
    }
    link.ClosePort();
    return ok;
}

TResult Run(ecrsim::TEcrSim& sim, const std::vector<TShape>& shapes, int transactions, double faultRate)
{
    sim.SetRandomFaults(faultRate, 20261210);
    sim.ClearLogs();
    TResult r;
    const auto start = Clock::now();
    for (int i = 0; i < transactions; ++i)
        if (!Connection(sim.DevicePath(), shapes[static_cast<size_t>(i) % shapes.size()]))
            ++r.failures;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.bytes = sim.RawReceived().size() + sim.RawSent().size();
    sim.SetRandomFaults(0, 1);
    return r;
}

void Print(const char* label, const TResult& r)
{
    const double wire = static_cast<double>(r.bytes) / kBytesPerSecond;
    std::printf("%-22s %8.3f s measured %8.3f s on the wire (%zu bytes)  ratio %.3f  failed %d\n", label,
                r.seconds, wire, r.bytes, r.seconds / wire, r.failures);
}

} // namespace

int main(int argc, char** argv)
{
    const int transactions = argc > 1 ? std::atoi(argv[1]) : 200;
    char dirTemplate[] = "/tmp/linkbench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir)
        return 1;
    SetComPortFolder(std::string(dir) + "/dosdevices/");

    ecrsim::TEcrSim sim;
    sim.SetBaudRate(115200);
    sim.SetCommandDelay(0);
    if (!sim.Start()) {
        std::fprintf(stderr, "simulator: %s\n", sim.Error().c_str());
        return 1;
    }
    sim.FillSample(60);
    sim.PutFile("/sd0/db0/1", std::string(118, 'c') + "\r\n");
    const std::vector<TShape> shapes = {
        { "cat 120 bytes", { { "cat /sd0/db0/1", "" } } },
        { "put 120 bytes", { { "put /sd0/db0/2", std::string(118, 'p') + "\r\n" } } },
        { "ls page of 50", { { "cd /sd0/db0/1", "" }, { "ls", "" } } },
    };

    std::printf("%d connections (open, unlock, ping, info, command, close) at 115200 bit/s\n", transactions);
    for (const auto& shape : shapes) {
        const TResult r = Run(sim, { shape }, transactions / 3 > 0 ? transactions / 3 : 1, 0);
        Print(shape.name, r);
    }
    const TResult clean = Run(sim, shapes, transactions, 0);
    Print("all shapes, clean", clean);
    const TResult faulty = Run(sim, shapes, transactions, 0.05);
    Print("all shapes, 5% faults", faulty);
    std::printf("clean ratio %.3f (target at most 1.10), with 5%% faults %.3f\n",
                clean.seconds / (static_cast<double>(clean.bytes) / kBytesPerSecond),
                faulty.seconds / (static_cast<double>(faulty.bytes) / kBytesPerSecond));
    sim.Stop();
    // The figures are the result; a leftover temporary folder does not spoil them.
    std::error_code removeError;
    std::filesystem::remove_all(dir, removeError);
    return 0;
}
