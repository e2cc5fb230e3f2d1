#include "core/plu/PluEditRules.h"

#include <charconv>
#include <cstdio>
#include <unordered_set>

std::optional<int> PluNumberFromText(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < kMinPluNumb || value > kMaxPluNumb)
        return std::nullopt;
    return value;
}

TPluNumberUse FindPluNumberUse(const PluTable& table, int numb)
{
    TPluNumberUse use;
    for (const int position : table.PositionsWithNumber(numb)) {
        if (table.Row(position).Deleted())
            use.DeletedRows.push_back(table.Id(position));
        else
            use.Live = true;
    }
    return use;
}

TPluBarcodeProblem CheckPluBarcodes(std::string_view text, std::string_view original, const TUsedBarcodes& used)
{
    if (text == original)
        return TPluBarcodeProblem::None;
    const std::vector<std::string> barcodes = PluBarcodes(text);
    if (text.find(',') != std::string_view::npos) {
        std::unordered_set<std::string_view> seen;
        for (const std::string& barcode : barcodes)
            if (!seen.insert(barcode).second)
                return TPluBarcodeProblem::Repeated;
    }
    for (const std::string& barcode : barcodes)
        if (used.Contains(barcode))
            return TPluBarcodeProblem::InUse;
    return TPluBarcodeProblem::None;
}

std::string PluBarcodeFromNumber(int numb)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%012d", numb);
    return buf;
}

void ApplyMultiPluChange(PluTable& table, const std::vector<TPluRowId>& rows, const TMultiPluChange& change)
{
    for (const TPluRowId id : rows) {
        const int position = table.Position(id);
        if (position < 0)
            continue;
        table.SetCurrent(position);
        TPluRow row = table.Row(position);
        if (change.Group)
            row.SetInt(TPluField::PLU_GROUP, *change.Group);
        if (change.SubGroup)
            row.SetInt(TPluField::PLU_SUBGROUP, *change.SubGroup);
        if (change.TaxGroup)
            row.SetInt(TPluField::TAX_GROUP, *change.TaxGroup);
        if (change.Barcode == TMultiBarcode::FromNumber)
            row.SetText(TPluField::BARCODE, PluBarcodeFromNumber(row.NUMB));
        else if (change.Barcode == TMultiBarcode::Empty)
            row.SetText(TPluField::BARCODE, "");
        if (change.PayType)
            row.SetInt(TPluField::PAY_TYPE, *change.PayType);
        if (change.Flags)
            row.SetText(TPluField::FLAGS, *change.Flags);
        table.SetRow(position, std::move(row));
    }
}
