#include "core/backup/DeviceJson.h"

#include "core/base/Json.h"
#include "core/base/CodePage.h"

#include <stdexcept>
#include <utility>

namespace {

using TKind = TJsonValue::TKind;

std::string Utf8(const std::string& codePage) { return CodePageToUtf8(codePage); }

template <class Record>
bool ReadLine(const std::string& line, Record& record, std::string& error,
              bool (*read)(const TJsonValue&, Record&, std::string&))
{
    const auto value = ParseJson(line, error);
    if (!value) {
        error = "not JSON: " + error;
        return false;
    }
    return read(*value, record, error);
}

std::string FlagsText(const std::array<bool, kPluFlagCount>& flags)
{
    std::string s;
    for (bool f : flags)
        s += f ? '1' : '0';
    return s;
}

} // namespace

// --- TJsonFieldReader -----------------------------------------------------------

const TJsonValue& TJsonFieldReader::Get(const char* key)
{
    const TJsonValue* v = object_.Member(key);
    if (!v)
        throw EJsonField(std::string("field \"") + key + "\" is missing");
    used_.insert(key);
    return *v;
}

std::string TJsonFieldReader::Text(const char* key, std::size_t maxBytes)
{
    const TJsonValue& v = Get(key);
    if (v.Kind != TKind::String)
        throw EJsonField(std::string("field \"") + key + "\" must be a string");
    const auto bytes = Utf8ToCodePage(v.Text);
    if (!bytes)
        throw EJsonField(std::string("field \"") + key + "\" has characters that Windows-1251 cannot hold");
    if (bytes->find('\0') != std::string::npos)
        throw EJsonField(std::string("field \"") + key + "\" must not contain a zero character");
    if (bytes->size() > maxBytes)
        throw EJsonField(std::string("field \"") + key + "\" is longer than " + std::to_string(maxBytes) +
                         " characters");
    return *bytes;
}

int64_t TJsonFieldReader::Int(const char* key, int64_t min, int64_t max)
{
    const auto n = JsonInteger(Get(key), min, max);
    if (!n)
        throw EJsonField(std::string("field \"") + key + "\" must be a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max));
    return *n;
}

double TJsonFieldReader::Double(const char* key)
{
    const TJsonValue& v = Get(key);
    const auto d = JsonDouble(v);
    if (!d)
        throw EJsonField(std::string("field \"") + key + "\" must be a " +
                         (v.Kind == TKind::Number ? "number within the double range" : "number"));
    return *d;
}

bool TJsonFieldReader::Bool(const char* key)
{
    const TJsonValue& v = Get(key);
    if (v.Kind != TKind::Bool)
        throw EJsonField(std::string("field \"") + key + "\" must be true or false");
    return v.Bool;
}

void TJsonFieldReader::Finish()
{
    for (const auto& m : object_.Members)
        if (!used_.count(m.first))
            throw EJsonField("unknown field \"" + m.first + "\"");
}

// --- Records ----------------------------------------------------------------------

std::string PluToJson(const TECR_PLU& p)
{
    return TJsonObjectWriter()
        .Int("Number", p.Number)
        .String("Name", Utf8(p.Name))
        .String("Barcode", Utf8(p.Barcode))
        .Double("Price", p.Price)
        .Int("Group", p.Group)
        .Int("AlteTaxeId", p.AlteTaxeId)
        .String("AlteTaxeName", Utf8(p.AlteTaxeName))
        .String("TaxValue", Utf8(p.TaxValue))
        .Int("SubGroup", p.SubGroup)
        .Int("TaxGroup", p.TaxGroup)
        .Int("PayType", p.PayType)
        .String("Flags", FlagsText(p.Flags))
        .String("Comment", Utf8(p.Comment))
        .String("Unit", Utf8(p.Unit))
        .Text();
}

bool PluFromJson(const std::string& line, TECR_PLU& plu, std::string& error)
{
    return ReadLine<TECR_PLU>(line, plu, error, PluFromJson);
}

bool PluFromJson(const TJsonValue& object, TECR_PLU& p, std::string& error)
{
    return ReadJsonObject(object, error, [&](TJsonFieldReader& r) {
        TECR_PLU plu;
        plu.Number = static_cast<uint32_t>(r.Int("Number", 0, 4294967295LL));
        plu.Name = r.Text("Name", kMaxRecordText);
        plu.Barcode = r.Text("Barcode");
        plu.Price = r.Double("Price");
        plu.Group = static_cast<uint8_t>(r.Int("Group", 0, 255));
        plu.AlteTaxeId = static_cast<int32_t>(r.Int("AlteTaxeId", INT32_MIN, INT32_MAX));
        plu.AlteTaxeName = r.Text("AlteTaxeName");
        plu.TaxValue = r.Text("TaxValue");
        plu.SubGroup = static_cast<uint8_t>(r.Int("SubGroup", 0, 255));
        plu.TaxGroup = static_cast<uint8_t>(r.Int("TaxGroup", 0, 255));
        plu.PayType = static_cast<uint8_t>(r.Int("PayType", 0, 255));
        const TJsonValue& flags = r.Get("Flags");
        bool ok = flags.Kind == TKind::String && flags.Text.size() == kPluFlagCount;
        for (int i = 0; ok && i < kPluFlagCount; ++i) {
            ok = flags.Text[i] == '0' || flags.Text[i] == '1';
            plu.Flags[i] = flags.Text[i] == '1';
        }
        if (!ok)
            throw EJsonField("field \"Flags\" must be a string of nine \"0\" or \"1\"");
        plu.Comment = r.Text("Comment");
        plu.Unit = r.Text("Unit");
        p = plu;
    });
}

std::string AlteTaxeToJson(const TECR_ALTETAXE& t)
{
    return TJsonObjectWriter().Int("Number", t.Number).String("Name", Utf8(t.Name)).Text();
}

bool AlteTaxeFromJson(const TJsonValue& object, TECR_ALTETAXE& t, std::string& error)
{
    return ReadJsonObject(object, error, [&](TJsonFieldReader& r) {
        TECR_ALTETAXE tax;
        tax.Number = static_cast<int32_t>(r.Int("Number", INT32_MIN, INT32_MAX));
        tax.Name = r.Text("Name");
        t = tax;
    });
}

std::string CashierToJson(const TECR_Cashier& c)
{
    return TJsonObjectWriter()
        .Int("Number", c.Number)
        .String("Name", Utf8(c.Name.Str()))
        .String("Password", Utf8(c.Password.Str()))
        .Bool("Sell", c.Sell)
        .Bool("Admin", c.Admin)
        .Bool("Reports", c.Reports)
        .Bool("Program", c.Program)
        .Text();
}

bool CashierFromJson(const std::string& line, TECR_Cashier& cashier, std::string& error)
{
    return ReadLine<TECR_Cashier>(line, cashier, error, CashierFromJson);
}

bool CashierFromJson(const TJsonValue& object, TECR_Cashier& c, std::string& error)
{
    return ReadJsonObject(object, error, [&](TJsonFieldReader& r) {
        TECR_Cashier cashier;
        cashier.Number = static_cast<int32_t>(r.Int("Number", INT32_MIN, INT32_MAX));
        cashier.Name = r.Text("Name", kMaxRecordText);
        cashier.Password = r.Text("Password", kMaxRecordText);
        cashier.Sell = r.Bool("Sell");
        cashier.Admin = r.Bool("Admin");
        cashier.Reports = r.Bool("Reports");
        cashier.Program = r.Bool("Program");
        c = cashier;
    });
}

std::string DeviceInfoToJson(const TECR_DeviceInfo& i)
{
    return TJsonObjectWriter()
        .String("Model", Utf8(i.Model))
        .String("Version", Utf8(i.Version))
        .String("SerialNumber", Utf8(i.SerialNumber))
        .String("FiscalMemoryNumber", Utf8(i.FiscalMemoryNumber))
        .String("DeviceType", Utf8(i.DeviceType))
        .Text();
}

bool DeviceInfoFromJson(const TJsonValue& object, TECR_DeviceInfo& i, std::string& error)
{
    return ReadJsonObject(object, error, [&](TJsonFieldReader& r) {
        TECR_DeviceInfo info;
        info.Model = r.Text("Model");
        info.Version = r.Text("Version");
        info.SerialNumber = r.Text("SerialNumber");
        info.FiscalMemoryNumber = r.Text("FiscalMemoryNumber");
        info.DeviceType = r.Text("DeviceType");
        i = info;
    });
}

std::string FiscInfoToJson(bool isFiscal, const std::string& tin, const std::string& name)
{
    return TJsonObjectWriter().Bool("IsFiscal", isFiscal).String("Tin", Utf8(tin)).String("Name", Utf8(name)).Text();
}

bool FiscInfoFromJson(const TJsonValue& object, bool& isFiscal, std::string& tin, std::string& name,
                      std::string& error)
{
    return ReadJsonObject(object, error, [&](TJsonFieldReader& r) {
        const bool fiscal = r.Bool("IsFiscal");
        std::string t = r.Text("Tin");
        std::string n = r.Text("Name");
        isFiscal = fiscal;
        tin = std::move(t);
        name = std::move(n);
    });
}

std::string AdvLinesToJson(const TECR_AdvLines& lines)
{
    std::string out = "[";
    for (int k = 0; k < kAdvLineCount; ++k) {
        if (k)
            out += ',';
        out += JsonString(Utf8(lines[k]));
    }
    return out + "]";
}

bool AdvLinesFromJson(const std::string& text, TECR_AdvLines& lines, std::string& error)
{
    return ReadLine<TECR_AdvLines>(text, lines, error, AdvLinesFromJson);
}

bool AdvLinesFromJson(const TJsonValue& array, TECR_AdvLines& lines, std::string& error)
{
    if (array.Kind != TKind::Array || array.Items.size() != kAdvLineCount) {
        error = "an array of ten strings is expected";
        return false;
    }
    TECR_AdvLines read;
    for (int k = 0; k < kAdvLineCount; ++k) {
        const TJsonValue& item = array.Items[k];
        const auto bytes = item.Kind == TKind::String ? Utf8ToCodePage(item.Text) : std::nullopt;
        if (item.Kind != TKind::String) {
            error = "line " + std::to_string(k) + " must be a string";
            return false;
        }
        if (!bytes || bytes->find('\0') != std::string::npos) {
            error = "line " + std::to_string(k) + " has characters that Windows-1251 cannot hold";
            return false;
        }
        read[k] = *bytes;
    }
    lines = read;
    return true;
}
