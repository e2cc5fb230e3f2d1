// The record file readers on arbitrary register files: any bytes must end in
// a record or in a failure text, and what they accept must write back as
// lines that read again.

#include "core/device/EcrRecords.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// As the link hands reply data over: lines split at CR LF, CR or LF; a zero
// byte ends the text.
TLineList Lines(const std::string& data)
{
    TLineList lines;
    std::string line;
    bool pending = false;
    for (std::size_t i = 0; i < data.size() && data[i] != '\0'; ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
            if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
                ++i;
        } else {
            line += c;
            pending = true;
        }
    }
    if (pending)
        lines.push_back(line);
    return lines;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TLineList lines = Lines(std::string(reinterpret_cast<const char*>(data), size));

    TECR_PLU plu;
    try {
        ParsePluLines(lines, plu);
        Check(plu.Name.size() <= kMaxRecordText);
        Check(std::isfinite(plu.Price));
        // The price text of the writer must read again, to 15 digits.
        const double again = RecordStrToFloat(FormatPrice(plu.Price));
        Check(again == plu.Price || std::fabs(again - plu.Price) <= 1e-14 * std::fabs(plu.Price));
        if (PluWriteProblem(plu).empty()) {
            TECR_PLU back;
            ParsePluLines(PluFileLines(plu), back);
            Check(back.Number == plu.Number && back.Name == plu.Name && back.Flags == plu.Flags &&
                  back.Unit == plu.Unit && back.Comment == plu.Comment && back.Group == plu.Group);
        }
    } catch (const ERecordFormat&) {
    }

    TECR_ALTETAXE tax;
    try {
        ParseAlteTaxeLines(lines, tax);
        if (AlteTaxeWriteProblem(tax).empty()) {
            TECR_ALTETAXE back;
            ParseAlteTaxeLines(AlteTaxeFileLines(tax), back);
            Check(back == tax);
        }
    } catch (const ERecordFormat&) {
    }

    TECR_Cashier cashier;
    try {
        ParseCashierLines("7", lines, cashier);
        if (CashierWriteProblem(cashier).empty()) {
            TECR_Cashier back;
            ParseCashierLines("7", CashierFileLines(cashier), back);
            Check(back == cashier);
        }
    } catch (const ERecordFormat&) {
    }
    if (!lines.empty()) {
        try {
            ParseCashierLines(lines[0], TLineList(lines.begin() + 1, lines.end()), cashier);
        } catch (const ERecordFormat&) {
        }
    }
    return 0;
}
