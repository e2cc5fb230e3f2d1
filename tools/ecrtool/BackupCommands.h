#pragma once
// ecrtool backup FILE and ecrtool restore [--yes] [--dry-run] FILE: a
// register's whole programming into a file, and a register made equal to such
// a file. They register themselves; this entry point runs one of them on
// given streams, for the tests.

#include "EcrTool.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct TBackupIo {
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
    // A restore asks for confirmation only on a terminal; elsewhere it
    // needs --yes.
    bool InIsTerminal = false;
    // Asked at every record boundary; true stops the work there (Ctrl+C).
    std::function<bool()> Interrupted;
};

int RunBackupCommand(const std::string& name, const TToolContext& context, const std::vector<std::string>& args,
                     TBackupIo& io);
