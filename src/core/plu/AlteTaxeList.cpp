#include "core/plu/AlteTaxeList.h"

#include <algorithm>
#include <exception>

EAlteTaxeFieldError::EAlteTaxeFieldError(int64_t value)
    : std::runtime_error("Field NUMB: " + std::to_string(value) + " is outside the allowed range " +
                         std::to_string(kMinAlteTaxeNumb) + " to " + std::to_string(kMaxAlteTaxeNumb) + ".")
{
}

int TAlteTaxeTable::Append(std::optional<int64_t> numb, std::string_view name)
{
    if (numb && (*numb < kMinAlteTaxeNumb || *numb > kMaxAlteTaxeNumb))
        throw EAlteTaxeFieldError(*numb);
    TAlteTaxeRow row;
    if (numb)
        row.NUMB = static_cast<int32_t>(*numb);
    row.NAME = std::string(name.substr(0, kAlteTaxeNameWidth));
    rows_.push_back(std::move(row));
    current_ = Count() - 1;
    Notify();
    return current_;
}

void TAlteTaxeTable::SetName(int position, std::string_view name)
{
    rows_.at(static_cast<std::size_t>(position)).NAME = std::string(name.substr(0, kAlteTaxeNameWidth));
    Notify();
}

void TAlteTaxeTable::ClearRow(int position)
{
    rows_.at(static_cast<std::size_t>(position)) = TAlteTaxeRow{};
    Notify();
}

void TAlteTaxeTable::Clear()
{
    rows_.clear();
    current_ = -1;
    Notify();
}

void TAlteTaxeTable::SetCurrent(int position)
{
    if (position >= 0 && position < Count())
        current_ = position;
}

int32_t TAlteTaxeTable::HighestNumber() const
{
    int32_t highest = 0;
    for (const TAlteTaxeRow& row : rows_)
        if (row.NUMB)
            highest = std::max(highest, *row.NUMB);
    return highest;
}

void LoadAlteTaxeRows(const TECR_ALTETAXE_List& taxes, TAlteTaxeTable& table,
                      const std::function<void(int index)>& entryStarting)
{
    table.Clear();
    for (std::size_t i = 0; i < taxes.size(); ++i) {
        if (entryStarting)
            entryStarting(static_cast<int>(i));
        if (!taxes[i].Name.empty())
            table.Append(taxes[i].Number, taxes[i].Name);
    }
}

TECR_ALTETAXE AlteTaxeRecordFromRow(const TAlteTaxeRow& row, int32_t pending)
{
    TECR_ALTETAXE tax;
    tax.Number = row.NUMB && *row.NUMB != 0 ? *row.NUMB : pending;
    tax.Name = row.NAME;
    tax.NumberText = row.NUMB ? std::to_string(*row.NUMB) : std::string();
    return tax;
}

int SaveAlteTaxeRow(TEcrDevice& ecr, TAlteTaxeTable& table, int position, int32_t pending, int32_t& number)
{
    try {
        const TECR_ALTETAXE tax = AlteTaxeRecordFromRow(table.Row(position), pending);
        number = tax.Number;
        if (!ecr.WriteSingleAlteTaxe(tax)) {
            table.Clear();
            return 1;
        }
        return 0;
    } catch (const std::exception&) {
        return 1;
    }
}

TAlteTaxeSaveSummary SaveAllAlteTaxes(TEcrDevice& ecr, TAlteTaxeTable& table, int32_t pending,
                                      TAlteTaxeSaveDecisions& decisions)
{
    TAlteTaxeSaveSummary summary;
    const int remembered = table.Current();
    for (int position = 0; position < table.Count(); ++position) {
        if (decisions.CancelRequested()) {
            summary.Cancelled = true;
            break;
        }
        table.SetCurrent(position);
        int32_t number = 0;
        if (SaveAlteTaxeRow(ecr, table, position, pending, number) != 0) {
            decisions.Failed(number);
            summary.Failed = true;
            break;
        }
        decisions.Saved(number);
    }
    table.SetCurrent(remembered);
    return summary;
}
