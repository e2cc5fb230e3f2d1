// ecrtool ports: which serial devices and comN links there are, and whether
// this user may use them. Opens nothing.

#include "EcrTool.h"

#include "core/base/Json.h"
#include "core/link/MyCPort.h"
#include "core/link/PortList.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

int RunPorts(const TToolContext&, const std::vector<std::string>& args)
{
    if (!args.empty()) {
        std::fprintf(stderr, "ecrtool ports: takes no arguments\nTry 'ecrtool --help'.\n");
        return 2;
    }
    struct stat st {};
    const std::string& folder = ComPortFolder();
    std::string text = TJsonObjectWriter()
                           .String("folder", folder)
                           .Bool("exists", ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                           .Text()
        + "\n";
    for (const auto& entry : ListSerialPorts()) {
        TJsonObjectWriter line;
        line.String("path", entry.Path);
        if (entry.Port > 0)
            line.Int("port", entry.Port);
        else
            line.Raw("port", "null");
        if (entry.IsLink)
            line.String("target", entry.Target);
        line.Bool("exists", entry.Exists).Bool("read", entry.Readable).Bool("write", entry.Writable);
        if (!entry.Group.empty())
            line.String("group", entry.Group);
        text += line.Text() + "\n";
    }
    if (!WriteToolOutput(text)) {
        std::fprintf(stderr, "ecrtool ports: cannot write to standard output\n");
        return 1;
    }
    return 0;
}

const bool registered = RegisterToolCommand({
    "ports",
    "ports",
    "Lists where the program looks for comN links (first line: folder, exists),\n"
    "then each link there and each /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM*, one\n"
    "JSON object a line: path, port (the N of COM N that opens it, or null),\n"
    "target (links only), exists, read and write (whether this user may), group.\n"
    "Opens no device.",
    RunPorts,
});

} // namespace
