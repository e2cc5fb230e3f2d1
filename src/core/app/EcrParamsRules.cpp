#include "core/app/EcrParamsRules.h"

#include "core/base/CodePage.h"

#include <algorithm>

namespace {

// Empty (and anything that is no number) counts as 0.
int NumberOf(std::string_view text)
{
    if (text.size() > 9)
        return 0;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

std::string Cut(std::string_view text, std::size_t length)
{
    return std::string(text.substr(0, length));
}

bool Written(const TCashierRow& row)
{
    return !row.Numb.empty() && !row.Name.empty();
}

} // namespace

bool FieldTextAcceptable(std::string_view utf8)
{
    const std::optional<std::string> bytes = Utf8ToCodePage(std::string(utf8));
    if (!bytes)
        return false;
    // 0x98 stands for U+0098, a control character of its own.
    return std::none_of(bytes->begin(), bytes->end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F || b == 0x98;
    });
}

bool CashierNumberTextAcceptable(std::string_view text)
{
    if (text.empty())
        return true;
    if (text.size() > 2 || text[0] == '0')
        return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return NumberOf(text) <= kMaxCashierNumber;
}

std::string FillCashierRows(const TECR_Cashiers& cashiers, TCashierRows& rows)
{
    rows.clear();
    std::string error;
    for (const TECR_Cashier& c : cashiers) {
        if (c.Number < 1 || c.Number > kMaxCashierNumber) {
            error = "Cashier number " + DecimalText(c.Number) + " is outside 1.." +
                    DecimalText(kMaxCashierNumber);
            break;
        }
        TCashierRow row;
        row.Numb = DecimalText(c.Number);
        row.Name = Cut(c.Name.View(), kCashierNameLength);
        row.Password = Cut(c.Password.View(), kCashierPasswordLength);
        row.Sell = c.Sell;
        row.Program = c.Program;
        row.Reports = c.Reports;
        row.Admin = c.Admin;
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const TCashierRow& a, const TCashierRow& b) {
        return NumberOf(a.Numb) < NumberOf(b.Numb);
    });
    return error;
}

TECR_Cashiers TakeCashierRows(const TCashierRows& rows)
{
    TECR_Cashiers list;
    for (const TCashierRow& row : rows) {
        if (row.Numb.empty())
            continue;
        TECR_Cashier c;
        c.Number = NumberOf(row.Numb);
        c.Name = row.Name;
        c.Password = row.Password;
        c.Sell = row.Sell;
        c.Admin = row.Admin;
        c.Reports = row.Reports;
        c.Program = row.Program;
        list.push_back(c);
    }
    return list;
}

bool CashierNumberClashes(const TCashierRows& rows, std::size_t row)
{
    const int number = NumberOf(rows.at(row).Numb);
    return std::count_if(rows.begin(), rows.end(),
                         [&](const TCashierRow& r) { return NumberOf(r.Numb) == number; }) > 1;
}

bool CashierPasswordClashes(const TCashierRows& rows, std::size_t row)
{
    const std::string& password = rows.at(row).Password;
    if (IsBlank(password))
        return false;
    return std::count_if(rows.begin(), rows.end(),
                         [&](const TCashierRow& r) { return r.Password == password; }) > 1;
}

std::optional<TCashierRowsProblem> CashierRowsSaveProblem(const TCashierRows& rows)
{
    using TField = TCashierRowsProblem::TField;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TCashierRow& later = rows[i];
        for (std::size_t j = 0; j < i; ++j) {
            const TCashierRow& earlier = rows[j];
            if (!later.Numb.empty() && NumberOf(earlier.Numb) == NumberOf(later.Numb))
                return TCashierRowsProblem{i, TField::Number, kTextNumbersUnique};
            if (Written(later) && Written(earlier) && !IsBlank(later.Password) &&
                earlier.Password == later.Password)
                return TCashierRowsProblem{i, TField::Password, kTextPasswordsUnique};
        }
    }
    return std::nullopt;
}
