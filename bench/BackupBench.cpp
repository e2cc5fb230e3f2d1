// Restore of N PLU items (default 5000), three alte taxes and three cashiers,
// backed up from the simulator's sample register, onto an empty register
// against the simulator pacing at 115200 bit/s, as `ecrtool restore --yes`
// runs it: read the register, write the plan (the PLU items through
// WriteAllPlues, one connection), read the register again to check it. Each
// phase's measured time is divided by the time its bytes need on the wire
// (every byte both ways, 10 bits a byte).
//
// In the same run the same list goes to a second empty register the per-PLU
// way of the PLU view: for every item one connection that reads the tax list
// and one that writes the item. Printed: how many times longer that takes
// than the whole restore, check included, and than the restore's writes.

#include "core/backup/RegisterBackup.h"
#include "core/link/MyCPort.h"

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

// Seconds a piece of work took and the bytes it moved both ways on a line.
struct TPhase {
    double Seconds = 0;
    size_t Bytes = 0;
    bool Ok = true;

    double WireSeconds() const { return static_cast<double>(Bytes) / kBytesPerSecond; }
    double Ratio() const { return Seconds / WireSeconds(); }
    TPhase operator+(const TPhase& o) const { return {Seconds + o.Seconds, Bytes + o.Bytes, Ok && o.Ok}; }
};

template <class Work>
TPhase Timed(ecrsim::TEcrSim& line, Work work)
{
    line.ClearLogs();
    const auto start = Clock::now();
    const bool ok = work();
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            line.RawReceived().size() + line.RawSent().size(), ok};
}

void Report(const char* phase, const TPhase& p)
{
    std::printf("%-32s %9.2f s, wire %9.2f s, %9zu bytes: ratio %.3f%s\n", phase, p.Seconds, p.WireSeconds(), p.Bytes,
                p.Ratio(), p.Ok ? "" : " (FAILED)");
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    char dirTemplate[] = "/tmp/backupbench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir || count < 1)
        return 1;
    SetComPortFolder(std::string(dir) + "/dosdevices/");

    ecrsim::TEcrSim source, restored, perPlu;
    source.FillSample(count);
    for (auto* sim : {&source, &restored, &perPlu}) {
        sim->SetBaudRate(sim == &source ? 0 : kBaud);
        if (!sim->Start()) {
            std::fprintf(stderr, "simulator: %s\n", sim->Error().c_str());
            return 1;
        }
    }
    const std::string ports = std::string(dir) + "/dosdevices/com";
    if (!source.LinkAs(ports + "3") || !restored.LinkAs(ports + "1") || !perPlu.LinkAs(ports + "2")) {
        std::fprintf(stderr, "simulator link: %s\n", ports.c_str());
        return 1;
    }

    // The backup, read at full speed: its time is not measured.
    TRegisterContent backup;
    TEcrDevice sourceEcr(3);
    if (ReadRegisterContent(sourceEcr, backup, nullptr) != TRunResult::Done) {
        std::fprintf(stderr, "backup: %s\n", sourceEcr.LastError.c_str());
        return 1;
    }

    TEcrDevice ecr(1);
    TRegisterContent target;
    TRestorePlan plan;
    const TPhase read = Timed(restored, [&] {
        if (ReadRegisterContent(ecr, target, nullptr) != TRunResult::Done)
            return false;
        plan = PlanRestore(backup, target);
        return plan.PluesToWrite.size() == static_cast<size_t>(count);
    });
    TRestoreReport report;
    const TPhase write =
        Timed(restored, [&] { return RunRestorePlan(ecr, plan, nullptr, report) == TRunResult::Done; });
    const TPhase check = Timed(restored, [&] {
        TRegisterContent after;
        return ReadRegisterContent(ecr, after, nullptr) == TRunResult::Done && PlanRestore(backup, after).Empty();
    });
    const TPhase restore = read + write + check;
    if (!restore.Ok)
        std::fprintf(stderr, "restore: %s\n", ecr.LastError.c_str());

    // The PLU view's way: the tax list read before every item, one
    // connection each, then the item in a connection of its own.
    TEcrDevice view(2);
    for (const TECR_ALTETAXE& tax : backup.Taxes)
        view.WriteSingleAlteTaxe(tax);
    const TPhase single = Timed(perPlu, [&] {
        for (const TECR_PLU& plu : backup.Plues) {
            TECR_ALTETAXE_List taxes;
            if (!view.ReadAllAlteTaxes(taxes) || !view.WriteSinglePlu(plu))
                return false;
        }
        return true;
    });
    if (!single.Ok)
        std::fprintf(stderr, "per PLU: %s\n", view.LastError.c_str());

    std::printf("%d PLU items, 3 alte taxes, 3 cashiers onto an empty register at %d bit/s\n", count, kBaud);
    Report("restore: read the register", read);
    Report("restore: write (WriteAllPlues)", write);
    Report("restore: read again to check", check);
    Report("restore, whole", restore);
    Report("per PLU: tax list + item each", single);
    std::printf("restore against its wire time: %.3f (its writes alone %.3f)\n", restore.Ratio(), write.Ratio());
    std::printf("per-PLU way against restore: %.2f times as long (against the restore's writes alone %.2f)\n",
                single.Seconds / restore.Seconds, single.Seconds / write.Seconds);

    for (auto* sim : {&source, &restored, &perPlu})
        sim->Stop();
    std::error_code removeError;
    std::filesystem::remove_all(dir, removeError);
    return !removeError && restore.Ok && single.Ok ? 0 : 1;
}
