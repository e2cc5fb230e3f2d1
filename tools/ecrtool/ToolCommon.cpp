#include "EcrTool.h"

#include "core/base/CodePage.h"
#include "core/link/LintelCommUnit.h"

#include <cstdio>
#include <map>

namespace {

std::map<std::string, TToolCommand>& Registry()
{
    static std::map<std::string, TToolCommand> commands;
    return commands;
}

} // namespace

bool RegisterToolCommand(const TToolCommand& command)
{
    Registry()[command.Name] = command;
    return true;
}

std::vector<TToolCommand> ToolCommands()
{
    std::vector<TToolCommand> list;
    for (const auto& [name, command] : Registry())
        list.push_back(command);
    return list;
}

bool OpenToolLink(const TToolContext& context, TLintelComm& link)
{
    const bool open = context.DevicePath.empty() ? link.OpenPort(static_cast<uint8_t>(context.PortNumber), 2)
                                                 : link.OpenDevice(context.DevicePath, 2);
    if (!open)
        PrintToolError(link.LastError());
    return open;
}

void PrintToolError(const std::string& codePageText)
{
    const std::string text = CodePageToUtf8(codePageText);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool WriteToolOutput(const std::string& bytes)
{
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return std::fflush(stdout) == 0 && written;
}
