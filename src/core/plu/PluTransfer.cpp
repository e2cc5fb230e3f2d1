#include "core/plu/PluTransfer.h"

#include <exception>

namespace {

constexpr int kMaxGroup = 30;
constexpr int kMaxTaxGroup = 4;

uint8_t LowByte(int64_t value) { return static_cast<uint8_t>(value & 0xFF); }

} // namespace

TECR_PLU PluRecordFromRow(const TPluRow& row)
{
    TECR_PLU plu;
    plu.Number = static_cast<uint32_t>(row.NUMB);
    plu.Name = row.NAME;
    plu.Barcode = row.BARCODE;
    plu.Price = row.PRICE_SELL;
    plu.Group = LowByte(row.PLU_GROUP);
    plu.SubGroup = LowByte(row.PLU_SUBGROUP);
    plu.TaxGroup = LowByte(row.TAX_GROUP);
    if (plu.TaxGroup == 1)
        plu.TaxGroup = 2;
    plu.PayType = LowByte(row.PAY_TYPE);
    plu.Comment = row.COMMENT;
    plu.AlteTaxeName = row.ALTE_TAXE;
    plu.TaxValue = row.TAX_VALUE;
    plu.Unit = row.UNIT;
    const auto flags = PluFlagsFromText(row.FLAGS);
    for (int i = 0; i < kPluFlagCount; ++i)
        plu.Flags[i] = flags[i];
    return plu;
}

TPluRow PluRowFromRecord(const TECR_PLU& plu)
{
    TPluRow row;
    row.SetInt(TPluField::NUMB, plu.Number);
    row.SetText(TPluField::NAME, plu.Name);
    row.SetFloat(TPluField::PRICE_SELL, plu.Price);
    row.SetInt(TPluField::PLU_GROUP, plu.Group);
    row.SetInt(TPluField::PLU_SUBGROUP, plu.SubGroup);
    row.SetInt(TPluField::TAX_GROUP, plu.TaxGroup);
    row.SetText(TPluField::ALTE_TAXE, plu.AlteTaxeName);
    row.SetText(TPluField::TAX_VALUE, plu.TaxValue);
    row.SetText(TPluField::BARCODE, plu.Barcode);
    row.SetText(TPluField::UNIT, plu.Unit);
    row.SetText(TPluField::COMMENT, plu.Comment);
    row.SetInt(TPluField::PAY_TYPE, plu.PayType);
    std::array<bool, kPluFlagsWidth> flags{};
    for (int i = 0; i < kPluFlagsWidth; ++i)
        flags[i] = plu.Flags[i];
    row.SetText(TPluField::FLAGS, PluFlagsText(flags));
    return row;
}

bool PluRecordValid(const TECR_PLU& plu, const TPluSendLimits& limits)
{
    const auto in = [](int64_t value, int64_t min, int64_t max) { return value >= min && value <= max; };
    return in(plu.Number, 1, limits.MaxNumber) && !(plu.Price < 0) && in(plu.Group, 1, kMaxGroup) &&
           in(plu.SubGroup, 1, limits.MaxSubgroup) && in(plu.TaxGroup, 1, kMaxTaxGroup);
}

int32_t FindAlteTaxeId(const TECR_ALTETAXE_List& taxes, std::string_view name)
{
    int32_t id = 0;
    if (name.empty())
        return id;
    for (const TECR_ALTETAXE& tax : taxes)
        if (tax.Name == name)
            id = tax.Number;
    return id;
}

TAlteTaxeIdLookup GetAlteTaxeId(TEcrDevice& ecr, std::string_view name, const TDevProgressProc& progress)
{
    TAlteTaxeIdLookup lookup;
    TECR_ALTETAXE_List taxes;
    const bool read = ecr.ReadAllAlteTaxes(taxes, progress);
    lookup.Id = FindAlteTaxeId(taxes, name);
    if (!read && !name.empty()) {
        lookup.Ok = false;
        lookup.Id = 0;
        lookup.Error = ecr.LastError;
    }
    return lookup;
}

TPluSendOutcome SendPluRow(TEcrDevice& ecr, const TPluRow& row, const TPluSendLimits& limits,
                           const TDevProgressProc& progress)
{
    TPluSendOutcome outcome;
    outcome.Record = PluRecordFromRow(row);
    const TAlteTaxeIdLookup lookup = GetAlteTaxeId(ecr, outcome.Record.AlteTaxeName, progress);
    outcome.Record.AlteTaxeId = lookup.Id;
    if (!PluRecordValid(outcome.Record, limits)) {
        outcome.Result = psInvalid;
    } else if (!lookup.Ok) {
        outcome.Result = psFailed;
        outcome.Error = lookup.Error;
    } else if (!ecr.WriteSinglePlu(outcome.Record)) {
        outcome.Result = psFailed;
        outcome.Error = ecr.LastError;
    }
    return outcome;
}

TPluSaveSummary SavePluRows(PluTable& table, const std::vector<TPluRowId>& rows, TEcrDevice& ecr,
                            const TPluSendLimits& limits, const TDevProgressProc& progress,
                            TPluSaveDecisions& decisions)
{
    TPluSaveSummary summary;
    summary.Rows = static_cast<int>(rows.size());
    for (const TPluRowId id : rows) {
        for (;;) {
            if (decisions.CancelRequested()) {
                summary.Cancelled = true;
                return summary;
            }
            const int position = table.Position(id);
            if (position < 0)
                break;
            table.SetCurrent(position);
            summary.LastRow = id;
            decisions.Sending(position);
            const TPluSendOutcome outcome = SendPluRow(ecr, table.Row(position), limits, progress);
            if (outcome.Result == psSent) {
                ++summary.Written;
                decisions.Sent(outcome);
                break;
            }
            if (outcome.Result == psInvalid) {
                ++summary.Invalid;
                if (decisions.Invalid(outcome) == TPluInvalidChoice::Abort) {
                    summary.AbortedAt = id;
                    summary.AbortedAtInvalid = true;
                    return summary;
                }
                break;
            }
            const TPluFailureChoice choice = decisions.Failed(outcome);
            if (choice == TPluFailureChoice::Retry)
                continue;
            ++summary.Failed;
            if (choice == TPluFailureChoice::Abort) {
                summary.AbortedAt = id;
                return summary;
            }
            break;
        }
    }
    return summary;
}

bool SavePluRowsFast(const PluTable& table, const std::vector<TPluRowId>& rows, TEcrDevice& ecr,
                     const TPluSendLimits& limits, TPluSaveDecisions& decisions, TPluSaveSummary& summary)
{
    summary = {};
    summary.Rows = static_cast<int>(rows.size());
    TECR_ALTETAXE_List taxes;
    if (!ecr.ReadAllAlteTaxes(taxes))
        return false;

    TECR_PLU_List records;
    std::vector<int> positions;
    for (const TPluRowId id : rows) {
        const int position = table.Position(id);
        if (position < 0)
            continue;
        TPluSendOutcome outcome;
        outcome.Record = PluRecordFromRow(table.Row(position));
        outcome.Record.AlteTaxeId = FindAlteTaxeId(taxes, outcome.Record.AlteTaxeName);
        if (PluRecordValid(outcome.Record, limits)) {
            records.push_back(outcome.Record);
            positions.push_back(position);
            continue;
        }
        outcome.Result = psInvalid;
        ++summary.Invalid;
        if (decisions.Invalid(outcome) == TPluInvalidChoice::Abort) {
            summary.AbortedAt = id;
            summary.AbortedAtInvalid = true;
            return true;
        }
    }

    std::size_t next = 0; // the first record not yet written or skipped
    while (next < records.size()) {
        decisions.Sending(positions[next]);
        if (decisions.CancelRequested()) {
            summary.Cancelled = true;
            return true;
        }
        const TECR_PLU_List rest(records.begin() + static_cast<long>(next), records.end());
        bool cancelled = false;
        const auto progress = [&](int written, int total, bool& abort) {
            decisions.Sent({psSent, rest[written - 1], {}});
            if (written < total) {
                decisions.Sending(positions[next + written]);
                abort = cancelled = decisions.CancelRequested();
            }
        };
        std::size_t written = 0;
        const bool ok = ecr.WriteAllPlues(rest, progress, &written);
        summary.Written += static_cast<int>(written);
        next += written;
        if (ok)
            break;
        if (cancelled) {
            summary.Cancelled = true;
            return true;
        }
        const TPluFailureChoice choice = decisions.Failed({psFailed, records[next], ecr.LastError});
        if (choice == TPluFailureChoice::Retry)
            continue;
        ++summary.Failed;
        if (choice == TPluFailureChoice::Abort) {
            summary.AbortedAt = table.Id(positions[next]);
            return true;
        }
        ++next;
    }
    return true;
}

std::vector<TPluRowId> AllPluRows(const PluTable& table)
{
    std::vector<TPluRowId> ids;
    ids.reserve(static_cast<std::size_t>(table.Count()));
    for (int position = 0; position < table.Count(); ++position)
        ids.push_back(table.Id(position));
    return ids;
}

void AppendPluRecords(const TECR_PLU_List& records, PluTable& table, TUsedBarcodes& barcodes,
                      const std::function<void(int index)>& entryStarting,
                      const std::function<void(int index)>& rowAppended)
{
    table.Reserve(table.Count() + static_cast<int>(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int index = static_cast<int>(i);
        if (entryStarting)
            entryStarting(index);
        if (records[i].Number == 0)
            continue;
        const TPluRow row = PluRowFromRecord(records[i]);
        table.AppendRow(row);
        barcodes.AddBarcodesOf(row.BARCODE);
        if (rowAppended)
            rowAppended(index);
    }
}
