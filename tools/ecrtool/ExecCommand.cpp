// ecrtool exec: one raw transaction with the register.

#include "EcrTool.h"

#include "core/base/CodePage.h"
#include "core/base/FileUtil.h"
#include "core/link/LintelCommUnit.h"

#include <cstdio>
#include <iostream>
#include <iterator>

namespace {

int ExecUsageError(const std::string& message)
{
    std::fprintf(stderr, "ecrtool exec: %s\nTry 'ecrtool --help'.\n", message.c_str());
    return 2;
}

bool ReadData(const std::string& file, std::string& data)
{
    if (file == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    return ReadWholeFile(file, data);
}

int RunExec(const TToolContext& context, const std::vector<std::string>& args)
{
    std::vector<std::string> words;
    std::string dataFile;
    bool haveDataFile = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "--data-file") {
            if (i + 1 >= args.size())
                return ExecUsageError("--data-file needs a file name");
            dataFile = args[++i];
            haveDataFile = true;
        } else if (!optionsEnded && a.rfind("--data-file=", 0) == 0) {
            dataFile = a.substr(12);
            haveDataFile = true;
        } else {
            const auto bytes = Utf8ToCodePage(a);
            if (!bytes)
                return ExecUsageError("'" + a + "' has characters that Windows-1251 cannot hold");
            words.push_back(*bytes);
        }
    }
    if (words.empty())
        return ExecUsageError("no register command given");

    std::string data;
    if (haveDataFile && !ReadData(dataFile, data)) {
        std::fprintf(stderr, "ecrtool exec: cannot read '%s'\n", dataFile.c_str());
        return 1;
    }

    TLintelComm link(0);
    if (!OpenToolLink(context, link))
        return 1;
    link.Unlock(); // as the device layer does: a register that answers oddly may still work

    TLinkProgressEvent progress;
    int sent = 0;
    int received = 0;
    if (context.StderrIsTerminal)
        progress = [&](int direction, int, const std::string&, bool&) {
            (direction == 1 ? sent : received)++;
            std::fprintf(stderr, "\rpackets sent %d, received %d", sent, received);
            std::fflush(stderr);
        };
    const std::string command = words.front();
    const std::vector<std::string> commandArgs(words.begin() + 1, words.end());
    const bool ok = link.ExecText(command, commandArgs, data, 512, progress, nullptr);
    if (context.StderrIsTerminal && (sent || received))
        std::fputs("\r\033[K", stderr);
    link.ClosePort();
    if (!ok) {
        PrintToolError(link.LastError());
        return 1;
    }
    if (!WriteToolOutput(data)) {
        std::fprintf(stderr, "ecrtool exec: cannot write the reply to standard output\n");
        return 1;
    }
    return 0;
}

const bool registered = RegisterToolCommand({
    "exec",
    "exec COMMAND [ARG...] [--data-file FILE]",
    "Sends the command line COMMAND ARG... (joined by blanks) and writes the\n"
    "register's reply bytes to stdout unchanged. --data-file sends the bytes of\n"
    "FILE ('-' for stdin) as the command's data, in packets of 512 bytes.\n"
    "A word that begins with '--' goes after '--'.\n"
    "Example: ecrtool --port 3 exec cat /sd0/db0/1",
    RunExec,
});

} // namespace
