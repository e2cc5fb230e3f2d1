#pragma once
// ecrtool: the register from a shell. main.cpp reads the global options and
// hands the rest of the command line to one sub-command. Each sub-command
// lives in a source file of its own and registers itself there:
//
//   static int RunInfo(const TToolContext& ctx, const std::vector<std::string>& args);
//   static const bool registered = RegisterToolCommand({
//       "info", "info", "Prints the register's identification.", RunInfo });
//
// A sub-command returns the exit status: 0 success, 1 the register or the
// line failed (the error is on stderr), 2 the command line was wrong.

#include <functional>
#include <string>
#include <vector>

class TLintelComm;

// What the global options chose.
struct TToolContext {
    int PortNumber = 1;     // --port N: "COM" + N, resolved like the program does
    std::string DevicePath; // --device PATH: opened as given; empty when not used
    bool StderrIsTerminal = false;
};

// A function, or a lambda that knows which of a table's commands it runs.
using TToolRun = std::function<int(const TToolContext& context, const std::vector<std::string>& args)>;

struct TToolCommand {
    std::string Name;     // the word on the command line
    std::string Synopsis; // what follows the global options in the usage line
    std::string Help;     // one or more lines, shown indented under the synopsis
    TToolRun Run;
};

// Always true, so that it can initialise a static in the command's file.
bool RegisterToolCommand(const TToolCommand& command);
// The registered commands in name order.
std::vector<TToolCommand> ToolCommands();

// Opens the line the options name at 115200 bit/s. On failure prints the
// link's error and returns false.
bool OpenToolLink(const TToolContext& context, TLintelComm& link);

// Writes a Windows-1251 text to stderr as UTF-8, with a line break.
void PrintToolError(const std::string& codePageText);

// Writes the bytes to stdout and flushes it. False when they did not all
// arrive (a full disk, a closed pipe): a failure, not a success with lost
// bytes.
bool WriteToolOutput(const std::string& bytes);
