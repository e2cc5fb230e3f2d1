#include "core/plu/PluJson.h"

#include "core/base/CodePage.h"
#include "core/base/Json.h"

#include <limits>

namespace {

using TKind = TJsonValue::TKind;

std::string Quoted(const char* name) { return std::string("field \"") + name + "\""; }

// One field's value from its JSON value, through the row's setters.
bool SetFromJson(TPluRow& row, const TPluFieldInfo& info, const TJsonValue& value, std::string& error)
{
    switch (info.Type) {
    case TPluFieldType::Text: {
        if (value.Kind != TKind::String) {
            error = Quoted(info.Name) + " must be a string";
            return false;
        }
        const auto bytes = Utf8ToCodePage(value.Text);
        if (!bytes) {
            error = Quoted(info.Name) + " has characters that Windows-1251 cannot hold";
            return false;
        }
        row.SetText(info.Field, *bytes);
        return true;
    }
    case TPluFieldType::Double: {
        const auto number = value.Kind == TKind::Number ? JsonDouble(value) : std::nullopt;
        if (!number) {
            error = Quoted(info.Name) + " must be a number";
            return false;
        }
        row.SetFloat(info.Field, *number);
        return true;
    }
    default: {
        const auto number = value.Kind == TKind::Number
            ? JsonInteger(value, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max())
            : std::nullopt;
        if (!number) {
            error = Quoted(info.Name) + " must be a whole number";
            return false;
        }
        row.SetInt(info.Field, *number);
        return true;
    }
    }
}

} // namespace

std::string PluRowToJson(const TPluRow& row)
{
    TJsonObjectWriter json;
    for (int i = 0; i < kPluFieldCount; ++i) {
        const TPluFieldInfo& info = PluFieldInfo(i);
        switch (info.Type) {
        case TPluFieldType::Text: json.String(info.Name, CodePageToUtf8(row.Text(info.Field))); break;
        case TPluFieldType::Double: json.Double(info.Name, row.PRICE_SELL); break;
        default: json.Int(info.Name, row.Int(info.Field)); break;
        }
    }
    return json.Text();
}

bool PluRowFromJson(const std::string& line, TPluRow& row, std::string& error)
{
    const auto value = ParseJson(line, error);
    if (!value) {
        error = "not JSON: " + error;
        return false;
    }
    if (value->Kind != TKind::Object) {
        error = "a JSON object is expected";
        return false;
    }
    for (const auto& member : value->Members)
        if (!PluFieldByName(member.first)) {
            error = "unknown field \"" + member.first + "\"";
            return false;
        }
    TPluRow read;
    try {
        for (int i = 0; i < kPluFieldCount; ++i) {
            const TPluFieldInfo& info = PluFieldInfo(i);
            const TJsonValue* v = value->Member(info.Name);
            if (!v) {
                error = Quoted(info.Name) + " is missing";
                return false;
            }
            if (!SetFromJson(read, info, *v, error))
                return false;
        }
    } catch (const EPluFieldError& e) {
        error = e.what();
        return false;
    }
    row = std::move(read);
    return true;
}

std::string PluTableToJsonLines(const PluTable& table)
{
    std::string out;
    for (int p = 0; p < table.Count(); ++p)
        out += PluRowToJson(table.Row(p)) + "\n";
    return out;
}

TPluLoadResult LoadPluJsonLines(std::string_view text, PluTable& table, TUsedBarcodes& barcodes)
{
    // Editors on other systems like to start UTF-8 files with a byte order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    TPluUpdateGuard quiet(table);
    table.Clear();
    barcodes.Clear();
    TPluLoadResult result;
    result.TableReplaced = true;
    int index = 0;
    for (std::size_t start = 0; start < text.size(); ++index) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        TPluRow row;
        std::string error;
        try {
            if (!PluRowFromJson(line, row, error))
                throw std::runtime_error(error);
            const int position = table.AppendRow(std::move(row));
            barcodes.AddBarcodesOf(table.Row(position).BARCODE);
        } catch (const std::runtime_error& e) {
            result.Ok = false;
            result.Record = index;
            result.Reason = e.what();
            break;
        }
    }
    return result;
}
