// Fault tolerance at scale. N PLU items are written one by one through the
// façade (WriteSinglePlu, one connection each, as "Save all to ECR" does)
// and read back with one ReadAllPlues, against the simulator: first on a
// clean line, then with a share of the replies damaged by every fault the
// link recovers from (retry and busy replies, wrong frame, bad and
// lower-case checksums, noise, extra ESC, control bytes, cut packets).
// Prints for both runs side by side: records written, read and differing,
// failed operations, and the time per PLU.
//
//   soak_bench [count = 10000] [fault rate = 0.05] [seed = 1] [bit/s = 0, unpaced]

#include "core/device/EcrDeviceUnit.h"

#include "ecrsim/EcrSim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Every field the register file holds, varied from item to item.
TECR_PLU Plu(uint32_t n)
{
    TECR_PLU p;
    p.Number = n;
    p.Name = "Article, number " + std::to_string(n);
    p.Barcode = std::to_string(3800000000000ULL + n) + (n % 3 ? "" : "," + std::to_string(2000000 + n));
    p.Price = static_cast<double>(n % 100000) / 100.0;
    p.Group = static_cast<uint8_t>(n % 30 + 1);
    p.SubGroup = static_cast<uint8_t>(n % 10 + 1);
    p.TaxGroup = static_cast<uint8_t>(n % 4 + 1);
    p.PayType = static_cast<uint8_t>(n % 4 + 1);
    p.AlteTaxeId = static_cast<int32_t>(n % 3);
    if (p.AlteTaxeId) {
        p.AlteTaxeName = "Eco tax " + std::to_string(p.AlteTaxeId);
        p.TaxValue = "0.1" + std::to_string(p.AlteTaxeId);
    }
    for (int f = 0; f < kPluFlagCount; ++f)
        p.Flags[f] = f != kPluDeletedFlag && (n >> f) & 1;
    p.Comment = n % 5 ? "" : "note " + std::to_string(n);
    p.Unit = n % 2 ? "BUC" : "KG";
    return p;
}

struct TRun {
    int written = 0;
    size_t read = 0;
    int differing = 0;
    int failed = 0;
    double writeSeconds = 0;
    double readSeconds = 0;
    std::string firstError;
};

TRun Soak(const std::string& dosDevices, int count, double rate, uint32_t seed, int baud)
{
    TRun run;
    ecrsim::TEcrSim sim;
    sim.SetLogging(false);
    sim.SetBaudRate(baud);
    if (!sim.Start() || !sim.LinkAs(dosDevices + "com9")) {
        run.failed = 1;
        run.firstError = "simulator: " + sim.Error();
        return run;
    }
    sim.SetRandomFaults(rate, seed);
    TEcrDevice ecr(9);
    auto failed = [&] {
        if (run.failed++ == 0)
            run.firstError = ecr.LastError;
    };

    auto start = Clock::now();
    for (int n = 1; n <= count; ++n) {
        if (ecr.WriteSinglePlu(Plu(static_cast<uint32_t>(n))))
            ++run.written;
        else
            failed();
    }
    run.writeSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    TECR_PLU_List list;
    start = Clock::now();
    if (!ecr.ReadAllPlues(list))
        failed();
    run.readSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.read = list.size();
    for (const TECR_PLU& p : list)
        if (p.Number < 1 || p.Number > static_cast<uint32_t>(count) || !(p == Plu(p.Number)))
            ++run.differing;
    sim.Stop();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const double rate = argc > 2 ? std::atof(argv[2]) : 0.05;
    const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
    const int baud = argc > 4 ? std::atoi(argv[4]) : 0;
    char dirTemplate[] = "/tmp/soakbench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir || count < 1 || rate < 0 || rate > 1)
        return 2;
    const std::string dosDevices = std::string(dir) + "/dosdevices/";
    SetComPortFolder(dosDevices);

    std::fprintf(stderr, "clean run...\n");
    const TRun clean = Soak(dosDevices, count, 0, seed, baud);
    std::fprintf(stderr, "faulty run...\n");
    const TRun faulty = Soak(dosDevices, count, rate, seed, baud);

    std::printf("%d PLU items, %s, random faults seed %u\n", count,
                baud > 0 ? (std::to_string(baud) + " bit/s").c_str() : "unpaced line", seed);
    std::printf("%-22s %10s %10s %10s %10s %14s %14s\n", "run", "written", "read", "differing", "failed",
                "write ms/PLU", "read ms/PLU");
    char label[32];
    std::snprintf(label, sizeof label, "%.1f %% faults", rate * 100);
    for (const auto& [name, r] : { std::pair<const char*, const TRun&>("clean", clean), { label, faulty } })
        std::printf("%-22s %10d %10zu %10d %10d %14.3f %14.3f\n", name, r.written, r.read, r.differing, r.failed,
                    1000.0 * r.writeSeconds / count, 1000.0 * r.readSeconds / count);
    std::printf("faulty / clean time per PLU: write %.2f, read %.2f\n", faulty.writeSeconds / clean.writeSeconds,
                faulty.readSeconds / clean.readSeconds);
    for (const TRun* r : { &clean, &faulty })
        if (!r->firstError.empty())
            std::printf("first failure (%s run):\n%s\n", r == &clean ? "clean" : "faulty", r->firstError.c_str());

    std::error_code removeError;
    std::filesystem::remove_all(dir, removeError);
    const bool perfect = clean.failed == 0 && faulty.failed == 0 && clean.differing == 0 && faulty.differing == 0
                         && faulty.read == static_cast<size_t>(count) && clean.read == static_cast<size_t>(count);
    return perfect ? 0 : 1;
}
