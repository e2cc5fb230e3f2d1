// ecrtool backup and restore on the core's register content and restore plan.

#include "BackupCommands.h"

#include "core/backup/BackupFile.h"
#include "core/base/CodePage.h"

#include <csignal>
#include <iostream>
#include <utility>

#include <unistd.h>

namespace {

struct TRun {
    const std::string& name;
    const TToolContext& context;
    TBackupIo& io;

    int Usage(const std::string& message) const
    {
        io.Err << "ecrtool " << name << ": " << message << "\nTry 'ecrtool " << name << " --help'.\n";
        return 2;
    }
    int Refuse(const std::string& message) const
    {
        EndProgress();
        io.Err << "ecrtool " << name << ": " << message << "\n";
        return 1;
    }
    int Failed(const TEcrDevice& ecr, const std::string& afterwards) const
    {
        EndProgress();
        io.Err << CodePageToUtf8(ecr.LastError) << "\n";
        return Refuse(afterwards);
    }
    // 0 when the work was done; else the exit status, with the stop or the
    // failure told and what it means for the register.
    int Outcome(TRunResult result, const TEcrDevice& ecr, const std::string& whenStopped,
                const std::string& whenFailed) const
    {
        switch (result) {
        case TRunResult::Done:
            EndProgress();
            return 0;
        case TRunResult::Aborted:
            return Refuse(whenStopped);
        case TRunResult::Failed:
            break;
        }
        return Failed(ecr, whenFailed);
    }
    void Setup(TEcrDevice& ecr) const
    {
        ecr.PortNumber = context.PortNumber;
        ecr.DevicePath = context.DevicePath;
    }

    // Shown on a terminal only, one line rewritten in place; the interrupt
    // request is passed on either way.
    TRegisterProgress Progress() const
    {
        return [this, shown = std::string()](TRegisterStep step, int position, int total, bool& abort) mutable {
            if (io.Interrupted && io.Interrupted())
                abort = true;
            if (!context.StderrIsTerminal)
                return;
            const int percent = total > 0 ? static_cast<int>(100LL * position / total) : 0;
            std::string line = std::string(RegisterStepText(step)) + " " + std::to_string(position) + "/" +
                               std::to_string(total) + " (" + std::to_string(percent) + "%)";
            if (line == shown)
                return;
            shown = line;
            io.Err << "\r" << line << "\x1b[K";
            io.Err.flush();
            progressShown = true;
        };
    }
    void EndProgress() const
    {
        if (progressShown) {
            io.Err << "\r\x1b[K";
            io.Err.flush();
            progressShown = false;
        }
    }
    mutable bool progressShown = false;
};

std::string Describe(const TECR_DeviceInfo& info)
{
    return CodePageToUtf8(info.SerialNumber + " (" + info.Model + " " + info.Version + ")");
}

int Backup(const TRun& r, const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return r.Usage(args.size() == 1 ? "unknown option '" + args[0] + "'" : "needs one FILE");
    const std::string& path = args[0];
    TEcrDevice ecr;
    r.Setup(ecr);
    TRegisterBackup backup;
    backup.Time = BackupTimeNow();
    if (const int status = r.Outcome(ReadRegisterContent(ecr, backup.Content, r.Progress()), ecr,
                                     "stopped; no file written", "no file written"))
        return status;
    std::string error;
    if (!WriteBackupFile(path, backup, error))
        return r.Refuse(error);
    const TRegisterContent& c = backup.Content;
    r.io.Out << "Register " << Describe(c.Info) << ": " << c.Taxes.size() << " alte taxes, " << c.Plues.size()
             << " PLU items, " << c.Cashiers.size() << " cashiers and the advertising lines written to " << path
             << "\n";
    return 0;
}

bool Confirmed(const TRun& r)
{
    r.io.Err << "Write this to the register? [y/N] ";
    r.io.Err.flush();
    std::string answer;
    if (!std::getline(r.io.In, answer))
        return false;
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
        answer.pop_back();
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

int Restore(const TRun& r, const std::vector<std::string>& args)
{
    bool yes = false, dryRun = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--yes" || a == "-y")
            yes = true;
        else if (a == "--dry-run" || a == "-n")
            dryRun = true;
        else if (a.size() > 1 && a[0] == '-')
            return r.Usage("unknown option '" + a + "'");
        else
            files.push_back(a);
    }
    if (files.size() != 1)
        return r.Usage("needs one FILE");
    if (!yes && !dryRun && !r.io.InIsTerminal)
        return r.Usage("standard input is no terminal to ask on: give --yes to restore without asking, or "
                       "--dry-run to see the plan only");

    // The whole file is checked before the register hears a word.
    TRegisterBackup backup;
    std::string error;
    if (!ReadBackupFile(files[0], backup, error))
        return r.Refuse(error + "; nothing sent");

    TEcrDevice ecr;
    r.Setup(ecr);
    TRegisterContent target;
    if (const int status = r.Outcome(ReadRegisterContent(ecr, target, r.Progress()), ecr,
                                     "stopped before anything was written", "nothing written"))
        return status;

    const TRestorePlan plan = PlanRestore(backup.Content, target);
    r.io.Out << "Restore of " << files[0] << " (register " << Describe(backup.Content.Info) << ", "
             << backup.Time << ") onto register " << Describe(target.Info) << ":\n";
    for (const std::string& line : RestorePlanLines(plan))
        r.io.Out << "  " << line << "\n";
    r.io.Out.flush();
    if (plan.Empty() || dryRun)
        return 0;
    if (!yes && !Confirmed(r))
        return r.Refuse("nothing written");

    TRestoreReport report;
    const TRunResult run = RunRestorePlan(ecr, plan, r.Progress(), report);
    const std::string written = RestoreReportText(plan, report);
    if (const int status = r.Outcome(run, ecr, "stopped by the user; " + written, "stopped: " + written))
        return status;

    // Only a register read back and found equal counts as restored.
    TRestorePlan left;
    if (const int status = r.Outcome(CheckRestored(ecr, backup.Content, r.Progress(), left), ecr,
                                     "stopped while checking the register; " + written,
                                     "could not check the register; " + written))
        return status;
    if (!left.Empty()) {
        r.io.Err << "ecrtool " << r.name << ": the register does not match the backup after the restore:\n";
        for (const std::string& line : RestorePlanLines(left))
            r.io.Err << "  " << line << "\n";
        return 1;
    }
    r.io.Out << "Done: " << written << "; the register matches the backup.\n";
    return 0;
}

struct TEntry {
    const char* name;
    const char* synopsis;
    const char* help;
    int (*run)(const TRun&, const std::vector<std::string>&);
};

const TEntry kCommands[] = {
    {"backup", "backup FILE",
     "Reads the register's identification, fiscal status, alte taxes, PLU\n"
     "items, cashiers and advertising lines into FILE (one JSON document, see\n"
     "docs/backup-format.md). FILE is replaced only once everything was read.",
     Backup},
    {"restore", "restore [--yes] [--dry-run] FILE",
     "Makes the register's programming equal to the backup FILE. Checks the\n"
     "whole file first, reads the register, prints the plan (what to write, and\n"
     "what the register holds beyond the backup, to delete) and asks before\n"
     "writing: --yes writes without asking (needed when standard input is no\n"
     "terminal), --dry-run prints the plan only. Writes taxes, PLU items (only\n"
     "those that differ), cashiers and advertising lines; a fiscal register\n"
     "keeps its fiscal name as line 0. Ctrl+C stops between two records and\n"
     "says what was written. Succeeds only when the register, read again,\n"
     "matches the backup.",
     Restore},
};

volatile std::sig_atomic_t interruptRequested = 0;

void OnInterrupt(int)
{
    interruptRequested = 1;
    static const char kNote[] = "\nStopping after the current record (Ctrl+C again quits at once)...\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
}

int RunWithCtrlC(const std::string& name, const TToolContext& context, const std::vector<std::string>& args)
{
    // The first Ctrl+C asks the work to stop at a record boundary; the
    // handler then falls back to the default, so a second one ends the
    // program at once.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ::sigaction(SIGINT, &action, &previous);
    TBackupIo io{std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) == 1,
                 [] { return interruptRequested != 0; }};
    const int status = RunBackupCommand(name, context, args, io);
    ::sigaction(SIGINT, &previous, nullptr);
    return status;
}

[[maybe_unused]] const bool registered = [] {
    for (const TEntry& e : kCommands)
        RegisterToolCommand({e.name, e.synopsis, e.help, [name = std::string(e.name)](const TToolContext& context,
                                                                                      const std::vector<std::string>& args) {
                                 return RunWithCtrlC(name, context, args);
                             }});
    return true;
}();

} // namespace

int RunBackupCommand(const std::string& name, const TToolContext& context, const std::vector<std::string>& args,
                     TBackupIo& io)
{
    const TRun run{name, context, io};
    for (const TEntry& e : kCommands) {
        if (name != e.name)
            continue;
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            io.Out << "Usage: ecrtool [--port N | --device PATH] " << e.synopsis << "\n" << e.help << "\n";
            return 0;
        }
        const int status = e.run(run, args);
        io.Out.flush();
        if (status == 0 && !io.Out) {
            io.Err << "ecrtool " << name << ": cannot write to standard output\n";
            return 1;
        }
        return status;
    }
    return run.Usage("unknown command");
}
