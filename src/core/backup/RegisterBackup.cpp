#include "core/backup/RegisterBackup.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Hands the façade's progress on under a step and notes an abort asked for,
// so that a false result of the façade can be told from a failure.
class TSteps {
public:
    TSteps(TEcrDevice& ecr, const TRegisterProgress& progress) : ecr_(ecr), progress_(progress) {}

    // Reports a position of work done here rather than inside the façade;
    // true when the work must stop. A callback that raises fails the work as
    // it would inside the façade.
    bool Stop(TRegisterStep step, std::size_t position, std::size_t total)
    {
        if (progress_ && !failed_) {
            try {
                progress_(step, static_cast<int>(position), static_cast<int>(total), abort_);
            } catch (const std::exception& e) {
                Fail(e.what());
            } catch (...) {
                Fail("Unknown error");
            }
        }
        return abort_ || failed_;
    }

    TDevProgressProc Forward(TRegisterStep step)
    {
        if (!progress_)
            return nullptr;
        return [this, step](int position, int total, bool& abort) {
            progress_(step, position, total, abort);
            abort_ = abort_ || abort;
        };
    }

    // Why the work stopped after Stop() said so or the façade returned false.
    TRunResult Result() const { return failed_ || !abort_ ? TRunResult::Failed : TRunResult::Aborted; }

private:
    void Fail(const std::string& text)
    {
        ecr_.LastError = "Dev Progress ExtProc -> " + text;
        failed_ = true;
    }

    TEcrDevice& ecr_;
    const TRegisterProgress& progress_;
    bool abort_ = false;
    bool failed_ = false;
};

// Splits two lists of records by number: the backup's records that the
// target lacks or holds otherwise go to toWrite; the target's records that
// the backup lacks go to onlyOnTarget.
template <class Record, class Number, class Lines>
void Compare(const std::vector<Record>& backup, const std::vector<Record>& target, Number number, Lines lines,
             std::vector<Record>& toWrite, std::vector<Record>& onlyOnTarget)
{
    std::map<int64_t, const Record*> onTarget;
    for (const Record& r : target)
        onTarget[number(r)] = &r;
    std::set<int64_t> inBackup;
    for (const Record& r : backup) {
        inBackup.insert(number(r));
        const auto it = onTarget.find(number(r));
        if (it == onTarget.end() || lines(*it->second) != lines(r))
            toWrite.push_back(r);
    }
    for (const Record& r : target)
        if (!inBackup.count(number(r)))
            onlyOnTarget.push_back(r);
}

// "1-3, 7, 9-12", at most a dozen runs.
std::string NumberRuns(std::vector<int64_t> numbers)
{
    constexpr int kMaxRuns = 12;
    std::sort(numbers.begin(), numbers.end());
    std::string text;
    int runs = 0;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        if (runs == kMaxRuns)
            return text + ", ...";
        if (runs++)
            text += ", ";
        text += std::to_string(numbers[i]);
        if (j > i)
            text += "-" + std::to_string(numbers[j]);
        i = j + 1;
    }
    return text;
}

template <class Record>
std::string Numbered(std::size_t count, const char* what, const std::vector<Record>& records)
{
    std::vector<int64_t> numbers;
    for (const Record& r : records)
        numbers.push_back(r.Number);
    return std::to_string(count) + " " + what + " (" + NumberRuns(numbers) + ")";
}

// "PLU items: 3 to write (1-3), 1 to mark deleted (9)"; empty when both lists are.
template <class Record>
std::string PlanLine(const char* kind, const std::vector<Record>& first, const char* firstWhat,
                     const std::vector<Record>& second, const char* secondWhat)
{
    std::string line;
    if (!first.empty())
        line = Numbered(first.size(), firstWhat, first);
    if (!second.empty())
        line += (line.empty() ? "" : ", ") + Numbered(second.size(), secondWhat, second);
    return line.empty() ? line : kind + (": " + line);
}

} // namespace

const char* RegisterStepText(TRegisterStep step)
{
    switch (step) {
    case TRegisterStep::ReadInfo: return "Reading the identification";
    case TRegisterStep::ReadTaxes: return "Reading alte taxes";
    case TRegisterStep::ReadPlues: return "Reading PLU items";
    case TRegisterStep::ReadCashiers: return "Reading cashiers";
    case TRegisterStep::ReadAdvLines: return "Reading advertising lines";
    case TRegisterStep::WriteTaxes: return "Writing alte taxes";
    case TRegisterStep::WritePlues: return "Writing PLU items";
    case TRegisterStep::RemoveTaxes: return "Removing alte taxes";
    case TRegisterStep::WriteCashiers: return "Writing cashiers";
    case TRegisterStep::WriteAdvLines: return "Writing advertising lines";
    }
    return "";
}

TRunResult ReadRegisterContent(TEcrDevice& ecr, TRegisterContent& content, const TRegisterProgress& progress)
{
    TSteps steps(ecr, progress);
    TRegisterContent read;
    if (steps.Stop(TRegisterStep::ReadInfo, 0, 1) || !ecr.GetDevInfo(read.Info))
        return steps.Result();
    if (!ecr.GetFiscInfo(read.IsFiscal, read.Tin, read.FiscalName)) {
        ecr.LastError = "GetFiscInfo -> " + ecr.LastError;
        return steps.Result();
    }
    if (steps.Stop(TRegisterStep::ReadTaxes, 0, 1) ||
        !ecr.ReadAllAlteTaxes(read.Taxes, steps.Forward(TRegisterStep::ReadTaxes)))
        return steps.Result();
    if (steps.Stop(TRegisterStep::ReadPlues, 0, 1) ||
        !ecr.ReadAllPlues(read.Plues, steps.Forward(TRegisterStep::ReadPlues)))
        return steps.Result();
    if (steps.Stop(TRegisterStep::ReadCashiers, 0, 1) || !ecr.GetCashiers(read.Cashiers))
        return steps.Result();
    bool fiscal = false;
    if (steps.Stop(TRegisterStep::ReadAdvLines, 0, 1) || !ecr.ReadAdvLines(read.AdvLines, fiscal))
        return steps.Result();
    content = std::move(read);
    return TRunResult::Done;
}

bool TRestorePlan::Empty() const
{
    return TaxesToWrite.empty() && PluesToWrite.empty() && PluesToDelete.empty() && TaxesToRemove.empty() &&
           CashiersToWrite.empty() && CashiersToDelete.empty() && !WriteAdvLines;
}

TRestorePlan PlanRestore(const TRegisterContent& backup, const TRegisterContent& target)
{
    TRestorePlan plan;
    const auto number = [](const auto& r) -> int64_t { return r.Number; };

    TECR_ALTETAXE_List taxesOnTarget;
    Compare(backup.Taxes, target.Taxes, number, AlteTaxeFileLines, plan.TaxesToWrite, taxesOnTarget);
    for (TECR_ALTETAXE tax : taxesOnTarget)
        if (!tax.Name.empty()) {
            tax.Name.clear();
            plan.TaxesToRemove.push_back(tax);
        }

    TECR_PLU_List pluesOnTarget;
    Compare(backup.Plues, target.Plues, number, PluFileLines, plan.PluesToWrite, pluesOnTarget);
    for (TECR_PLU plu : pluesOnTarget)
        if (!plu.Flags[kPluDeletedFlag]) {
            plu.Flags[kPluDeletedFlag] = true;
            plan.PluesToDelete.push_back(plu);
        }

    TECR_Cashiers cashiersOnTarget;
    Compare(backup.Cashiers, target.Cashiers, number, CashierFileLines, plan.CashiersToWrite, cashiersOnTarget);
    for (const TECR_Cashier& c : cashiersOnTarget) {
        TECR_Cashier deleted;
        deleted.Number = c.Number;
        plan.CashiersToDelete.push_back(deleted);
    }

    plan.AdvLines = backup.AdvLines;
    plan.KeepsLine0 = target.IsFiscal;
    if (target.IsFiscal)
        plan.AdvLines[0] = target.FiscalName;
    plan.WriteAdvLines = plan.AdvLines != target.AdvLines;
    return plan;
}

std::vector<std::string> RestorePlanLines(const TRestorePlan& plan)
{
    if (plan.Empty())
        return {"Nothing to do: the register matches the backup."};
    std::vector<std::string> lines;
    const std::string taxes = PlanLine("Alte taxes", plan.TaxesToWrite, "to write", plan.TaxesToRemove, "to remove");
    const std::string plues =
        PlanLine("PLU items", plan.PluesToWrite, "to write", plan.PluesToDelete, "to mark deleted");
    const std::string cashiers =
        PlanLine("Cashiers", plan.CashiersToWrite, "to write", plan.CashiersToDelete, "to delete");
    for (const std::string& line : {taxes, plues, cashiers})
        if (!line.empty())
            lines.push_back(line);
    if (plan.WriteAdvLines)
        lines.push_back(plan.KeepsLine0 ? "Advertising lines: to write (line 0 stays the register's fiscal name)"
                                        : "Advertising lines: to write");
    return lines;
}

TRunResult RunRestorePlan(TEcrDevice& ecr, const TRestorePlan& plan, const TRegisterProgress& progress,
                          TRestoreReport& report)
{
    report = {};
    TSteps steps(ecr, progress);

    const auto writeTaxes = [&](TRegisterStep step, const TECR_ALTETAXE_List& taxes, std::size_t& done) {
        for (std::size_t i = 0; i < taxes.size(); ++i) {
            if (steps.Stop(step, i, taxes.size()) || !ecr.WriteSingleAlteTaxe(taxes[i]))
                return false;
            ++done;
        }
        return true;
    };
    if (!writeTaxes(TRegisterStep::WriteTaxes, plan.TaxesToWrite, report.TaxesWritten))
        return steps.Result();

    TECR_PLU_List plues = plan.PluesToWrite;
    plues.insert(plues.end(), plan.PluesToDelete.begin(), plan.PluesToDelete.end());
    if (!plues.empty()) {
        if (steps.Stop(TRegisterStep::WritePlues, 0, plues.size()))
            return steps.Result();
        std::size_t written = 0;
        const bool ok = ecr.WriteAllPlues(plues, steps.Forward(TRegisterStep::WritePlues), &written);
        report.PluesWritten = std::min(written, plan.PluesToWrite.size());
        report.PluesDeleted = written - report.PluesWritten;
        if (!ok)
            return steps.Result();
    }

    if (!writeTaxes(TRegisterStep::RemoveTaxes, plan.TaxesToRemove, report.TaxesRemoved))
        return steps.Result();

    // One connection a cashier, so that the work can stop between any two.
    TECR_Cashiers cashiers = plan.CashiersToWrite;
    cashiers.insert(cashiers.end(), plan.CashiersToDelete.begin(), plan.CashiersToDelete.end());
    for (std::size_t i = 0; i < cashiers.size(); ++i) {
        if (steps.Stop(TRegisterStep::WriteCashiers, i, cashiers.size()) || !ecr.WriteCashiers({cashiers[i]}))
            return steps.Result();
        ++(i < plan.CashiersToWrite.size() ? report.CashiersWritten : report.CashiersDeleted);
    }

    if (plan.WriteAdvLines) {
        if (steps.Stop(TRegisterStep::WriteAdvLines, 0, 1) || !ecr.WriteAdvLines(plan.AdvLines))
            return steps.Result();
        report.AdvLinesWritten = true;
    }
    return TRunResult::Done;
}

TRunResult CheckRestored(TEcrDevice& ecr, const TRegisterContent& backup, const TRegisterProgress& progress,
                         TRestorePlan& left)
{
    TRegisterContent after;
    const TRunResult result = ReadRegisterContent(ecr, after, progress);
    if (result == TRunResult::Done)
        left = PlanRestore(backup, after);
    return result;
}

std::string RestoreReportText(const TRestorePlan& plan, const TRestoreReport& report)
{
    std::vector<std::string> parts;
    const auto add = [&](const char* what, std::size_t done, std::size_t planned) {
        if (planned)
            parts.push_back(what + (" " + std::to_string(done)) + " of " + std::to_string(planned));
    };
    add("alte taxes written", report.TaxesWritten, plan.TaxesToWrite.size());
    add("PLU items written", report.PluesWritten, plan.PluesToWrite.size());
    add("PLU items marked deleted", report.PluesDeleted, plan.PluesToDelete.size());
    add("alte taxes removed", report.TaxesRemoved, plan.TaxesToRemove.size());
    add("cashiers written", report.CashiersWritten, plan.CashiersToWrite.size());
    add("cashiers deleted", report.CashiersDeleted, plan.CashiersToDelete.size());
    if (plan.WriteAdvLines)
        parts.push_back(report.AdvLinesWritten ? "advertising lines written" : "advertising lines not written");
    if (parts.empty())
        return "nothing to write";
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}
