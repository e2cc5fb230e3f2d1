// ecrtool's record commands on the ECR façade.

#include "DeviceCommands.h"

#include "core/backup/DeviceJson.h"
#include "core/base/CodePage.h"
#include "core/base/FileUtil.h"
#include "core/device/EcrDeviceUnit.h"

#include <charconv>
#include <utility>
#include <iostream>
#include <iterator>

namespace {

struct TRun {
    const std::string& name;
    const TToolContext& context;
    const std::vector<std::string>& args;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;

    int Usage(const std::string& message) const
    {
        err << "ecrtool " << name << ": " << message << "\nTry 'ecrtool --help'.\n";
        return 2;
    }
    int Refuse(const std::string& message) const
    {
        err << "ecrtool " << name << ": " << message << "\n";
        return 1;
    }
    int Failed(const TEcrDevice& ecr) const
    {
        EndProgress();
        err << CodePageToUtf8(ecr.LastError) << "\n";
        err.flush();
        return 1;
    }
    void Setup(TEcrDevice& ecr) const
    {
        ecr.PortNumber = context.PortNumber;
        ecr.DevicePath = context.DevicePath;
    }

    // Progress goes to a terminal only; scripts that capture stderr get the
    // error text alone.
    TDevProgressProc Progress(const std::string& label) const
    {
        if (!context.StderrIsTerminal)
            return nullptr;
        return [this, label, shown = -1](int position, int total, bool&) mutable {
            const int percent = total > 0 ? static_cast<int>(100LL * position / total) : 0;
            if (percent == shown)
                return;
            shown = percent;
            err << "\r" << label << " " << position << "/" << total << " (" << percent << "%)\x1b[K";
            err.flush();
            progressShown = true;
        };
    }
    void EndProgress() const
    {
        if (progressShown) {
            err << "\r\x1b[K";
            err.flush();
            progressShown = false;
        }
    }
    mutable bool progressShown = false;

    // The input text of [FILE|-]; false (with the message printed) when it
    // cannot be read.
    bool Input(std::string& text, int& status) const
    {
        if (args.size() > 1) {
            status = Usage("takes at most one input file");
            return false;
        }
        if (args.empty() || args[0] == "-") {
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (in.bad()) {
                status = Refuse("cannot read standard input");
                return false;
            }
        } else if (!ReadWholeFile(args[0], text)) {
            status = Refuse("cannot read '" + args[0] + "'");
            return false;
        }
        // Editors on other systems like to start UTF-8 files with a byte order mark.
        if (text.rfind("\xEF\xBB\xBF", 0) == 0)
            text.erase(0, 3);
        return true;
    }
    bool NoArgs(int& status) const
    {
        if (args.empty())
            return true;
        status = Usage("takes no arguments");
        return false;
    }
};

// Numbered non-blank lines of a JSON-lines text.
std::vector<std::pair<int, std::string>> InputLines(const std::string& text)
{
    std::vector<std::pair<int, std::string>> lines;
    std::size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++number;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            lines.emplace_back(number, std::move(line));
        start = end + 1;
    }
    return lines;
}

int Info(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    TECR_DeviceInfo info;
    if (!ecr.GetDevInfo(info))
        return r.Failed(ecr);
    r.out << DeviceInfoToJson(info) << "\n";
    return 0;
}

int Fisc(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    bool fiscal = false;
    std::string tin, name;
    if (!ecr.GetFiscInfo(fiscal, tin, name))
        return r.Failed(ecr);
    r.out << FiscInfoToJson(fiscal, tin, name) << "\n";
    return 0;
}

int PluRead(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    TECR_PLU_List list;
    if (!ecr.ReadAllPlues(list, r.Progress("Reading PLUs")))
        return r.Failed(ecr);
    r.EndProgress();
    for (const TECR_PLU& plu : list)
        r.out << PluToJson(plu) << "\n";
    return 0;
}

int PluWrite(const TRun& r)
{
    std::string text;
    int status = 0;
    if (!r.Input(text, status))
        return status;
    TECR_PLU_List list;
    for (const auto& [number, line] : InputLines(text)) {
        TECR_PLU plu;
        std::string error;
        if (!PluFromJson(line, plu, error))
            return r.Refuse("line " + std::to_string(number) + ": " + error);
        list.push_back(plu);
    }
    TEcrDevice ecr;
    r.Setup(ecr);
    const TDevProgressProc progress = r.Progress("Writing PLUs");
    bool abort = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (progress)
            progress(static_cast<int>(i), static_cast<int>(list.size()), abort);
        if (!ecr.WriteSinglePlu(list[i]))
            return r.Failed(ecr);
    }
    r.EndProgress();
    return 0;
}

int PluDeleteAll(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    if (!ecr.DeleteAllPlues(r.Progress("Reading PLUs")))
        return r.Failed(ecr);
    r.EndProgress();
    return 0;
}

int TaxesRead(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    TECR_ALTETAXE_List list;
    if (!ecr.ReadAllAlteTaxes(list, r.Progress("Reading taxes")))
        return r.Failed(ecr);
    r.EndProgress();
    for (const TECR_ALTETAXE& tax : list)
        r.out << AlteTaxeToJson(tax) << "\n";
    return 0;
}

int TaxWrite(const TRun& r)
{
    if (r.args.size() != 2)
        return r.Usage("needs NUMBER and NAME");
    const std::string& n = r.args[0];
    int32_t number = 0;
    auto res = std::from_chars(n.data(), n.data() + n.size(), number);
    if (n.empty() || res.ec != std::errc() || res.ptr != n.data() + n.size())
        return r.Usage("NUMBER must be a whole number from -2147483648 to 2147483647, not '" + n + "'");
    const auto name = Utf8ToCodePage(r.args[1]);
    if (!name || name->find('\0') != std::string::npos)
        return r.Usage("NAME has characters that Windows-1251 cannot hold");
    TEcrDevice ecr;
    r.Setup(ecr);
    if (!ecr.WriteSingleAlteTaxe({number, *name, ""}))
        return r.Failed(ecr);
    return 0;
}

int CashiersRead(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    TECR_Cashiers list;
    if (!ecr.GetCashiers(list))
        return r.Failed(ecr);
    for (const TECR_Cashier& c : list)
        r.out << CashierToJson(c) << "\n";
    return 0;
}

int CashiersWrite(const TRun& r)
{
    std::string text;
    int status = 0;
    if (!r.Input(text, status))
        return status;
    TECR_Cashiers list;
    for (const auto& [number, line] : InputLines(text)) {
        TECR_Cashier c;
        std::string error;
        if (!CashierFromJson(line, c, error))
            return r.Refuse("line " + std::to_string(number) + ": " + error);
        list.push_back(c);
    }
    TEcrDevice ecr;
    r.Setup(ecr);
    if (!ecr.WriteCashiers(list))
        return r.Failed(ecr);
    // The register takes no more than these; say so rather than drop the rest unseen.
    if (list.size() > static_cast<std::size_t>(kMaxCashiersWritten))
        r.err << "ecrtool " << r.name << ": only the first " << kMaxCashiersWritten << " cashiers were written; "
              << list.size() - kMaxCashiersWritten << " more ignored\n";
    return 0;
}

int AdvRead(const TRun& r)
{
    int status = 0;
    if (!r.NoArgs(status))
        return status;
    TEcrDevice ecr;
    r.Setup(ecr);
    TECR_AdvLines lines;
    bool fiscal = false;
    if (!ecr.ReadAdvLines(lines, fiscal))
        return r.Failed(ecr);
    r.out << AdvLinesToJson(lines) << "\n";
    return 0;
}

int AdvWrite(const TRun& r)
{
    std::string text;
    int status = 0;
    if (!r.Input(text, status))
        return status;
    TECR_AdvLines lines;
    std::string error;
    if (!AdvLinesFromJson(text, lines, error))
        return r.Refuse(error);
    TEcrDevice ecr;
    r.Setup(ecr);
    if (!ecr.WriteAdvLines(lines))
        return r.Failed(ecr);
    return 0;
}

struct TEntry {
    const char* name;
    const char* synopsis;
    const char* help;
    int (*run)(const TRun&);
};

const TEntry kCommands[] = {
    {"info", "info",
     "Prints the register's identification as one JSON object: Model, Version,\n"
     "SerialNumber, FiscalMemoryNumber, DeviceType.",
     Info},
    {"fisc", "fisc",
     "Prints whether the register is fiscal, its TIN and fiscal name as one\n"
     "JSON object: IsFiscal, Tin, Name.",
     Fisc},
    {"plu-read", "plu-read",
     "Prints every PLU item, one JSON object a line with the fields Number,\n"
     "Name, Barcode (comma-separated), Price, Group, AlteTaxeId, AlteTaxeName,\n"
     "TaxValue, SubGroup (the department), TaxGroup, PayType, Flags (nine \"0\"\n"
     "or \"1\", flag 1 first), Comment and Unit.",
     PluRead},
    {"plu-write", "plu-write [FILE|-]",
     "Writes the PLU items of FILE or standard input (UTF-8), one JSON object a\n"
     "line, each in a connection of its own. The fields are those plu-read\n"
     "prints, all of them required. Every line is checked before the first is\n"
     "sent; a bad one ends with status 1 and its line number. Stops at the first\n"
     "item the register refuses (those before it stay written).",
     PluWrite},
    {"plu-delete-all", "plu-delete-all", "Marks every PLU item on the register as deleted.", PluDeleteAll},
    {"taxes-read", "taxes-read", "Prints every alte tax, one JSON object a line: Number, Name.", TaxesRead},
    {"tax-write", "tax-write NUMBER NAME", "Writes one alte tax; an empty NAME removes it.", TaxWrite},
    {"cashiers-read", "cashiers-read",
     "Prints every cashier, one JSON object a line with the fields Number,\n"
     "Name, Password and the forbidding flags Sell, Admin, Reports, Program.",
     CashiersRead},
    {"cashiers-write", "cashiers-write [FILE|-]",
     "Writes the cashiers of FILE or standard input (UTF-8, one JSON object a\n"
     "line, fields as cashiers-read prints them; the first 30 only); an empty\n"
     "Name deletes that cashier.",
     CashiersWrite},
    {"adv-read", "adv-read", "Prints the ten receipt advertising lines as one JSON array of strings.", AdvRead},
    {"adv-write", "adv-write [FILE|-]", "Writes the ten advertising lines given as one JSON array of ten strings.",
     AdvWrite},
};


template <std::size_t I>
int RunRegistered(const TToolContext& context, const std::vector<std::string>& args)
{
    return RunDeviceCommand(kCommands[I].name, context, args, std::cin, std::cout, std::cerr);
}

template <std::size_t... I>
bool RegisterAll(std::index_sequence<I...>)
{
    (RegisterToolCommand({kCommands[I].name, kCommands[I].synopsis, kCommands[I].help, &RunRegistered<I>}), ...);
    return true;
}

[[maybe_unused]] const bool registered = RegisterAll(std::make_index_sequence<std::size(kCommands)>());

} // namespace

int RunDeviceCommand(const std::string& name, const TToolContext& context, const std::vector<std::string>& args,
                     std::istream& in, std::ostream& out, std::ostream& err)
{
    const TRun run{name, context, args, in, out, err};
    for (const TEntry& e : kCommands) {
        if (name != e.name)
            continue;
        // "ecrtool plu-write --help" is a question, not a file name.
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            out << "Usage: ecrtool [--port N | --device PATH] " << e.synopsis << "\n" << e.help << "\n";
            return 0;
        }
        const int status = e.run(run);
        // Records that never reach standard output (a full disk) are a failure, not a success.
        out.flush();
        if (status == 0 && !out) {
            err << "ecrtool " << name << ": cannot write to standard output\n";
            return 1;
        }
        return status;
    }
    return run.Usage("unknown command");
}
