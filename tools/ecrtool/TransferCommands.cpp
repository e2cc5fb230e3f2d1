// ecrtool load and send: the PLU view's "Load from ECR" and "Save all to
// ECR" from a shell, on the same core functions, with a PLU list file on the
// other side (the formats of convert).

#include "ConvertCommand.h"
#include "EcrTool.h"

#include "core/app/MsgINISupp.h"
#include "core/base/CodePage.h"
#include "core/plu/PluTransfer.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

namespace {

void Say(const std::string& command, const std::string& utf8)
{
    std::fprintf(stderr, "ecrtool %s: %s\n", command.c_str(), utf8.c_str());
    std::fflush(stderr);
}

int Usage(const std::string& command, const std::string& message)
{
    std::fprintf(stderr, "ecrtool %s: %s\nTry 'ecrtool %s --help'.\n", command.c_str(), message.c_str(),
                 command.c_str());
    return 2;
}

// One progress line on a terminal, rewritten in place; nothing elsewhere.
class TProgressLine {
public:
    TProgressLine(bool terminal, const char* label) : terminal_(terminal), label_(label) {}
    ~TProgressLine() { End(); }

    void Show(int position, int total)
    {
        if (!terminal_ || (position == shownPosition_ && total == shownTotal_))
            return;
        shownPosition_ = position;
        shownTotal_ = total;
        std::fprintf(stderr, "\r%s %d/%d\x1b[K", label_, position, total);
        std::fflush(stderr);
        shown_ = true;
    }
    // Clears the line, so that a message starts at the left edge.
    void End()
    {
        if (shown_) {
            std::fputs("\r\x1b[K", stderr);
            std::fflush(stderr);
            shown_ = false;
            shownPosition_ = -1;
        }
    }

private:
    bool terminal_;
    const char* label_;
    bool shown_ = false;
    int shownPosition_ = -1;
    int shownTotal_ = -1;
};

// A catalogue text on one line: its line breaks become blanks.
std::string OneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            line += ' ';
        } else {
            line += text[i];
        }
    }
    return line;
}

bool WantsHelp(const TToolCommand& command, const std::vector<std::string>& args)
{
    if (args.size() != 1 || (args[0] != "--help" && args[0] != "-h"))
        return false;
    std::printf("Usage: ecrtool %s\n%s\n", command.Synopsis.c_str(), command.Help.c_str());
    return true;
}

void Setup(const TToolContext& context, TEcrDevice& ecr)
{
    ecr.PortNumber = context.PortNumber;
    ecr.DevicePath = context.DevicePath;
}

// --- load ---------------------------------------------------------------------

int RunLoad(const TToolContext& context, const std::vector<std::string>& args);

const TToolCommand kLoad = {
    "load",
    "load OUT",
    "Reads every PLU of the register into a PLU list, as the program's \"Load\n"
    "from ECR\" does, and writes it as OUT in a format of convert (.plu, .jsonl,\n"
    "'-' for JSON lines on stdout; see 'ecrtool convert --help' for the rows).\n"
    "A failed read writes nothing. A register value the PLU list refuses (a\n"
    "PLU numbered 30000, say) ends with its message and status 1, after the\n"
    "rows before it have been written.",
    RunLoad,
};

int RunLoad(const TToolContext& context, const std::vector<std::string>& args)
{
    if (WantsHelp(kLoad, args))
        return 0;
    if (args.size() != 1)
        return Usage("load", "takes one output file");
    if (!PluListPathKnown(args[0]))
        return Usage("load", "'" + args[0] + "' is neither .plu nor .jsonl nor -");

    TEcrDevice ecr;
    Setup(context, ecr);
    TECR_PLU_List records;
    TProgressLine progress(context.StderrIsTerminal, "Reading PLUs");
    const bool read = ecr.ReadAllPlues(records, [&](int position, int total, bool&) { progress.Show(position, total); });
    progress.End();
    if (!read) {
        PrintToolError(ecr.LastError);
        return 1;
    }

    PluTable table;
    TUsedBarcodes barcodes;
    std::string refused;
    try {
        AppendPluRecords(records, table, barcodes);
    } catch (const std::exception& e) {
        refused = CodePageToUtf8(e.what());
    }
    const int written = WritePluListFile("load", args[0], table);
    if (!refused.empty()) {
        Say("load", refused);
        return 1;
    }
    return written;
}

// --- send ---------------------------------------------------------------------

// A row the check refuses is skipped; a row the register does not take is
// tried once more, then skipped. Every decision is told on stderr.
class TSendDecisions : public TPluSaveDecisions {
public:
    TSendDecisions(TProgressLine& progress, int rows) : progress_(progress), rows_(rows) {}

    bool CancelRequested() override { return false; }
    void Sending(int position) override { progress_.Show(position + 1, rows_); }
    TPluInvalidChoice Invalid(const TPluSendOutcome& outcome) override
    {
        progress_.End();
        Say("send", CodePageToUtf8(OneLine(S_InvalidPLUData)) + std::to_string(outcome.Record.Number));
        return TPluInvalidChoice::Ignore;
    }
    TPluFailureChoice Failed(const TPluSendOutcome& outcome) override
    {
        progress_.End();
        const bool again = !retried_;
        Say("send", "PLU " + std::to_string(outcome.Record.Number) + (again ? " not written, trying once more: "
                                                                             : " not written, skipped: ") +
                        CodePageToUtf8(outcome.Error));
        retried_ = again;
        return again ? TPluFailureChoice::Retry : TPluFailureChoice::Skip;
    }
    void Sent(const TPluSendOutcome&) override { retried_ = false; }

private:
    TProgressLine& progress_;
    int rows_;
    bool retried_ = false;
};

int RunSend(const TToolContext& context, const std::vector<std::string>& args);

const TToolCommand kSend = {
    "send",
    "send [--fast] IN",
    "Sends every row of the PLU list IN (a format of convert: .plu, .jsonl, '-'\n"
    "for JSON lines on stdin) to the register, as the program's \"Save all to\n"
    "ECR\" does: for each row the alte taxe id is looked up by name in the\n"
    "register's tax list, the row is checked (number 1..30000, price not\n"
    "below 0, group 1..30, department 1..10, VAT group 1..4; VAT group 1 is\n"
    "sent as 2) and written. An invalid row is named and skipped; a row the\n"
    "register does not take is tried once more, then skipped. Status 0 only\n"
    "when every row was written; otherwise 1 and a summary line. --fast reads\n"
    "the tax list once, names the invalid rows first and writes every valid\n"
    "one in a single connection, several times quicker.",
    RunSend,
};

int RunSend(const TToolContext& context, const std::vector<std::string>& args)
{
    if (WantsHelp(kSend, args))
        return 0;
    std::vector<std::string> files = args;
    const auto fastOption = std::find(files.begin(), files.end(), "--fast");
    const bool fast = fastOption != files.end();
    if (fast)
        files.erase(fastOption);
    if (files.size() != 1)
        return Usage("send", "takes one input file");
    if (!PluListPathKnown(files[0]))
        return Usage("send", "'" + files[0] + "' is neither .plu nor .jsonl nor -");

    PluTable table;
    TUsedBarcodes barcodes;
    if (!ReadPluListFile("send", files[0], table, barcodes))
        return 1;

    TEcrDevice ecr;
    Setup(context, ecr);
    TProgressLine progress(context.StderrIsTerminal, "Sending PLUs");
    TSendDecisions decisions(progress, table.Count());
    TPluSaveSummary summary;
    if (!fast) {
        summary = SavePluRows(table, AllPluRows(table), ecr, kRegisterPluLimits, nullptr, decisions);
    } else if (!SavePluRowsFast(table, AllPluRows(table), ecr, kRegisterPluLimits, decisions, summary)) {
        progress.End();
        PrintToolError(ecr.LastError);
        return 1;
    }
    progress.End();
    if (summary.AllWritten())
        return 0;
    Say("send", std::to_string(summary.Written) + " written, " + std::to_string(summary.Invalid) + " invalid, " +
                    std::to_string(summary.Failed) + " failed");
    return 1;
}

const bool registered = RegisterToolCommand(kLoad) && RegisterToolCommand(kSend);

} // namespace
