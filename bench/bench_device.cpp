// The façade's bulk transfers against the simulator pacing at 115200 bit/s:
// ReadAllPlues of N PLU items (one connection: walk, then one "cat" each) and
// N WriteSinglePlu calls (one connection each). Measured time divided by the
// time the bytes need on the wire (every byte both ways, 10 bits a byte).

#include "core/device/EcrDeviceUnit.h"

#include "ecrsim/EcrSim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 115200;
constexpr double kBytesPerSecond = kBaud / 10.0;

TECR_PLU Plu(uint32_t n)
{
    TECR_PLU p;
    p.Number = n;
    p.Name = "Article number " + std::to_string(n);
    p.Barcode = std::to_string(3800000000000ULL + n);
    p.Price = 0.01 * n + 0.99;
    p.Group = static_cast<uint8_t>(n % 30 + 1);
    p.SubGroup = static_cast<uint8_t>(n % 10 + 1);
    p.TaxGroup = 2;
    p.PayType = 1;
    p.Unit = "BUC";
    return p;
}

struct TFigure {
    double seconds = 0;
    size_t bytes = 0;
    bool ok = true;
};

void Print(const char* label, const TFigure& f)
{
    const double wire = static_cast<double>(f.bytes) / kBytesPerSecond;
    std::printf("%-24s %8.3f s measured %8.3f s on the wire (%zu bytes)  ratio %.3f%s\n", label, f.seconds, wire,
                f.bytes, f.seconds / wire, f.ok ? "" : "  FAILED");
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    char dirTemplate[] = "/tmp/devbench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir || count < 1)
        return 1;
    SetComPortFolder(std::string(dir) + "/dosdevices/");

    ecrsim::TEcrSim sim;
    sim.SetBaudRate(kBaud);
    if (!sim.Start() || !sim.LinkAs(ComPortFolder() + "com9")) {
        std::fprintf(stderr, "simulator: %s\n", sim.Error().c_str());
        return 1;
    }
    TEcrDevice ecr(9);

    TFigure writes;
    sim.ClearLogs();
    auto start = Clock::now();
    for (int n = 1; n <= count && writes.ok; ++n)
        writes.ok = ecr.WriteSinglePlu(Plu(static_cast<uint32_t>(n)));
    writes.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    writes.bytes = sim.RawReceived().size() + sim.RawSent().size();
    if (!writes.ok)
        std::fprintf(stderr, "%s\n", ecr.LastError.c_str());

    TFigure reads;
    TECR_PLU_List list;
    sim.ClearLogs();
    start = Clock::now();
    reads.ok = ecr.ReadAllPlues(list) && list.size() == static_cast<size_t>(count);
    reads.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    reads.bytes = sim.RawReceived().size() + sim.RawSent().size();
    if (!reads.ok)
        std::fprintf(stderr, "%s\n", ecr.LastError.c_str());

    std::printf("%d PLU items at %d bit/s\n", count, kBaud);
    Print("ReadAllPlues", reads);
    Print("WriteSinglePlu each", writes);
    std::printf("per WriteSinglePlu connection: %.2f ms measured, %.2f ms on the wire\n",
                1000.0 * writes.seconds / count, 1000.0 * static_cast<double>(writes.bytes) / kBytesPerSecond / count);
    sim.Stop();
    std::error_code removeError;
    std::filesystem::remove_all(dir, removeError);
    return !removeError && reads.ok && writes.ok ? 0 : 1;
}
