// ecrtool: global options, then one registered sub-command.

#include "EcrTool.h"

#include "core/base/FileUtil.h"
#include "core/base/ProgramDirs.h"
#include "core/link/LinkTrace.h"
#include "core/link/MyCPort.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void PrintUsage(FILE* out)
{
    std::string text =
        "Usage: ecrtool [--port N | --device PATH] [--trace FILE] COMMAND [ARG...]\n"
        "\n"
        "Talks to a cash register on a serial line at 115200 bit/s: opens the line,\n"
        "unlocks the register, runs the command and closes the line again.\n"
        "\n"
        "Options:\n"
        "  --port N       the register is on COM port N (1..255, default 1): the link\n"
        "                 comN in the folder dosdevices/ beside the settings file\n"
        "                 when it exists, else /dev/ttyS<N-1> ('ecrtool ports' shows\n"
        "                 the folder and the devices)\n"
        "  --device PATH  open the serial device PATH as it is (e.g. /dev/ttyUSB0)\n"
        "  --trace FILE   write every exchange on the line to FILE as it happens: the\n"
        "                 bytes, the packets decoded and the link's error lines (what\n"
        "                 a service technician asks for when a register misbehaves)\n"
        "  -h, --help     show this text and exit\n"
        "Option values may also be given as --port=N, --device=PATH and --trace=FILE.\n"
        "A command other than exec followed by --help shows its own text.\n"
        "\n"
        "Commands:\n";
    for (const auto& command : ToolCommands()) {
        text += "  " + command.Synopsis + "\n";
        size_t start = 0;
        while (start < command.Help.size()) {
            size_t end = command.Help.find('\n', start);
            if (end == std::string::npos)
                end = command.Help.size();
            text += "      " + command.Help.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
    text +=
        "\n"
        "Exit status: 0 success; 1 the line or the register failed, or an input line\n"
        "was refused (the reason is on stderr); 2 the command line was wrong.\n";
    std::fputs(text.c_str(), out);
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "ecrtool: %s\nTry 'ecrtool --help'.\n", message.c_str());
    return 2;
}

// The value of "--name VALUE" or "--name=VALUE" at args[i]; advances i.
bool OptionValue(const std::vector<std::string>& args, size_t& i, const std::string& name, std::string& value)
{
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size())
            return false;
        value = args[++i];
        return true;
    }
    value = a.substr(name.size() + 1);
    return true;
}

// The trace's first line: when, and what was asked.
std::string TraceHeading(const std::vector<std::string>& args)
{
    char when[32] = "";
    const std::time_t now = std::time(nullptr);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::string heading = std::string("ecrtool trace of ") + when + ":";
    for (const auto& a : args)
        heading += " " + a;
    return heading;
}

} // namespace

int main(int argc, char** argv)
{
    InitProgramDirs(ExtractFilePath(OwnExecutablePath(argv[0])) + kProgramFileName);
    SetComPortFolder(DosDevicesDir());
    std::vector<std::string> args(argv + 1, argv + argc);

    TToolContext context;
    context.StderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    bool portGiven = false;
    std::string traceFile;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (a == "--port" || a.rfind("--port=", 0) == 0) {
            std::string value;
            if (!OptionValue(args, i, "--port", value))
                return UsageError("--port needs a port number");
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 255)
                return UsageError("--port takes a number from 1 to 255, not '" + value + "'");
            context.PortNumber = static_cast<int>(n);
            portGiven = true;
        } else if (a == "--device" || a.rfind("--device=", 0) == 0) {
            if (!OptionValue(args, i, "--device", context.DevicePath) || context.DevicePath.empty())
                return UsageError("--device needs a device path");
        } else if (a == "--trace" || a.rfind("--trace=", 0) == 0) {
            if (!OptionValue(args, i, "--trace", traceFile) || traceFile.empty())
                return UsageError("--trace needs a file name");
        } else if (a.rfind("-", 0) == 0) {
            return UsageError("unknown option '" + a + "'");
        } else {
            break;
        }
    }
    if (portGiven && !context.DevicePath.empty())
        return UsageError("give either --port or --device, not both");
    if (i >= args.size())
        return UsageError("no command given");

    for (const auto& command : ToolCommands()) {
        if (command.Name != args[i])
            continue;
        TLinkTraceFile trace;
        if (!traceFile.empty()) {
            if (!trace.Open(traceFile, TraceHeading(args))) {
                std::fprintf(stderr, "ecrtool: cannot write the trace to '%s': %s\n", traceFile.c_str(),
                             std::strerror(errno));
                return 1;
            }
            SetLinkObserver(&trace);
        }
        const int status = command.Run(context, std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        SetLinkObserver(nullptr);
        return status;
    }
    return UsageError("unknown command '" + args[i] + "'");
}
