// ecrsim: a simulated cash register on a pseudo-terminal, so the program can
// be tried without hardware. See --help.

#include "EcrSim.h"
#include "core/base/FileUtil.h"
#include "core/base/ProgramDirs.h"

#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <limits.h>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace {

const char kUsage[] =
    "Usage: ecrsim [OPTION]...\n"
    "Simulates a cash register on a pseudo-terminal until stopped (Ctrl+C,\n"
    "SIGINT or SIGTERM).\n"
    "\n"
    "  --com N          link the device as dosdevices/comN beside the program's\n"
    "                   settings file, so the program's port N reaches it\n"
    "                   (default 1)\n"
    "  --link PATH      make the link at PATH instead\n"
    "  --baud B         pace the line at B bit/s, 10 bits a byte (default 115200;\n"
    "                   0 = as fast as possible)\n"
    "  --delay MS       processing time per command in milliseconds (default 0)\n"
    "  --fault-rate R   damage replies at random with probability R, 0..1\n"
    "                   (default 0)\n"
    "  --seed S         seed of the random faults (default 1)\n"
    "  --page-size N    PLU numbers per listing page, 0 = all (default 50)\n"
    "  --plus N         fill N PLU items, three taxes, three cashiers and the\n"
    "                   advertising lines\n"
    "  --state DIR      load the register's files from DIR and save them back on\n"
    "                   exit (DIR/sd0/db0/12 is the file /sd0/db0/12)\n"
    "  --unlock TEXT    answer to the unlock text (default UNLOCKED)\n"
    "  --help           show this help\n";

bool ParseInt(const char* text, long lo, long hi, long& out)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

int Fail(const std::string& text)
{
    std::cerr << "ecrsim: " << text << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    long com = 1, baud = 115200, delay = 0, seed = 1, pageSize = 50, plus = -1;
    double faultRate = 0;
    std::string link, stateDir, unlock = "UNLOCKED";

    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc)
            return Fail("unknown option or missing value: " + opt + " (see --help)");
        const char* value = argv[++i];
        bool ok = true;
        if (opt == "--com")
            ok = ParseInt(value, 1, 255, com);
        else if (opt == "--link")
            link = value;
        else if (opt == "--baud")
            ok = ParseInt(value, 0, 10'000'000, baud);
        else if (opt == "--delay")
            ok = ParseInt(value, 0, 600'000, delay);
        else if (opt == "--seed")
            ok = ParseInt(value, 0, 0xFFFFFFFFL, seed);
        else if (opt == "--page-size")
            ok = ParseInt(value, 0, 1'000'000, pageSize);
        else if (opt == "--plus")
            ok = ParseInt(value, 0, 30000, plus);
        else if (opt == "--state")
            stateDir = value;
        else if (opt == "--unlock")
            unlock = value;
        else if (opt == "--fault-rate") {
            char* end = nullptr;
            faultRate = std::strtod(value, &end);
            ok = end != value && *end == '\0' && faultRate >= 0 && faultRate <= 1;
        } else
            return Fail("unknown option: " + opt + " (see --help)");
        if (!ok)
            return Fail("invalid value for " + opt + ": " + value);
    }

    if (link.empty()) {
        InitProgramDirs(ExtractFilePath(OwnExecutablePath(argv[0])) + kProgramFileName);
        link = DosDevicesDir() + "com" + std::to_string(com);
    }

    // Signals are taken by sigwait below; block them before the server
    // thread exists so that it inherits the mask. A shell starts background
    // jobs with SIGINT ignored, and an ignored signal never reaches sigwait.
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ecrsim::TEcrSim sim;
    sim.SetLogging(false);
    sim.SetBaudRate(static_cast<int>(baud));
    sim.SetCommandDelay(static_cast<int>(delay));
    sim.SetPageSize(static_cast<size_t>(pageSize));
    sim.SetUnlockAnswer(unlock.empty() ? "" : unlock + "\r\n");
    if (faultRate > 0)
        sim.SetRandomFaults(faultRate, static_cast<uint32_t>(seed));
    std::string error;
    if (!stateDir.empty() && !sim.LoadState(stateDir, error))
        return Fail(error);
    if (plus >= 0)
        sim.FillSample(static_cast<int>(plus));

    if (!sim.Start())
        return Fail(sim.Error());
    if (!sim.LinkAs(link))
        return Fail(sim.Error());
    std::cout << "ecrsim: serving " << sim.DevicePath() << " as " << link << std::endl;

    int sig = 0;
    sigwait(&stopSignals, &sig);

    sim.Stop();
    sim.UnlinkAll();
    if (!stateDir.empty() && !sim.SaveState(stateDir, error))
        return Fail(error);
    std::cout << "ecrsim: stopped" << std::endl;
    return 0;
}
