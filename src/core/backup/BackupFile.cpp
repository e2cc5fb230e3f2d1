#include "core/backup/BackupFile.h"

#include "core/backup/DeviceJson.h"
#include "core/base/FileUtil.h"

#include <ctime>
#include <set>

namespace {

using TKind = TJsonValue::TKind;

template <class Record>
std::string JsonList(const std::vector<Record>& records, std::string (*toJson)(const Record&))
{
    if (records.empty())
        return "[]";
    std::string text = "[\n";
    for (std::size_t i = 0; i < records.size(); ++i)
        text += "    " + toJson(records[i]) + (i + 1 < records.size() ? ",\n" : "\n");
    return text + "  ]";
}

// A record of a list that cannot go to a register as it stands.
class EBadRecord : public EJsonField {
public:
    using EJsonField::EJsonField;
};

// Reads list `key` with read, then checks each record with problem (empty
// when the record is sound); numbers must not repeat. Positions in messages
// count from 1, as people do.
template <class Record>
std::vector<Record> ReadList(TJsonFieldReader& fields, const char* key, const char* what,
                             bool (*read)(const TJsonValue&, Record&, std::string&),
                             std::string (*problem)(const Record&))
{
    const TJsonValue& list = fields.Get(key);
    if (list.Kind != TKind::Array)
        throw EBadRecord(std::string("field \"") + key + "\" must be an array");
    std::vector<Record> records;
    std::set<int64_t> numbers;
    for (std::size_t i = 0; i < list.Items.size(); ++i) {
        const std::string where = std::string(key) + ", item " + std::to_string(i + 1);
        Record r;
        std::string error;
        if (!read(list.Items[i], r, error))
            throw EBadRecord(where + ": " + error);
        const std::string named = where + " (" + what + " " + std::to_string(r.Number) + "): ";
        if (std::string p = problem(r); !p.empty())
            throw EBadRecord(named + p);
        if (!numbers.insert(r.Number).second)
            throw EBadRecord(named + "the number is given twice");
        records.push_back(std::move(r));
    }
    return records;
}

std::string TaxProblem(const TECR_ALTETAXE& tax) { return AlteTaxeWriteProblem(tax); }

std::string PluProblem(const TECR_PLU& plu)
{
    // A register lists its PLU items from number 1 up, so 0 never comes back.
    if (plu.Number == 0)
        return "PLU number 0 is not possible";
    return PluWriteProblem(plu);
}

std::string CashierProblem(const TECR_Cashier& cashier)
{
    if (cashier.Name.empty())
        return "Name must not be empty (writing a cashier without a name deletes it)";
    return CashierWriteProblem(cashier);
}

} // namespace

std::string BackupTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string BackupToJson(const TRegisterBackup& backup)
{
    const TRegisterContent& c = backup.Content;
    return "{\n"
           "  \"Format\": " + JsonString(kBackupFormatName) + ",\n"
           "  \"FormatVersion\": " + JsonNumber(int64_t{kBackupFormatVersion}) + ",\n"
           "  \"Time\": " + JsonString(backup.Time) + ",\n"
           "  \"Register\": " + DeviceInfoToJson(c.Info) + ",\n"
           "  \"Fiscal\": " + FiscInfoToJson(c.IsFiscal, c.Tin, c.FiscalName) + ",\n"
           "  \"AlteTaxes\": " + JsonList(c.Taxes, AlteTaxeToJson) + ",\n"
           "  \"Plues\": " + JsonList(c.Plues, PluToJson) + ",\n"
           "  \"Cashiers\": " + JsonList(c.Cashiers, CashierToJson) + ",\n"
           "  \"AdvLines\": " + AdvLinesToJson(c.AdvLines) + "\n"
           "}\n";
}

bool BackupFromJson(const std::string& text, TRegisterBackup& backup, std::string& error)
{
    const auto document = ParseJson(text, error);
    if (!document) {
        error = "not JSON: " + error;
        return false;
    }
    const TJsonValue* format = document->Kind == TKind::Object ? document->Member("Format") : nullptr;
    if (!format || format->Kind != TKind::String || format->Text != kBackupFormatName) {
        error = std::string("not a register backup (no \"Format\": \"") + kBackupFormatName + "\")";
        return false;
    }
    TRegisterBackup read;
    TRegisterContent& c = read.Content;
    const bool ok = ReadJsonObject(*document, error, [&](TJsonFieldReader& fields) {
        fields.Get("Format");
        const TJsonValue& version = fields.Get("FormatVersion");
        if (version.Kind != TKind::Number)
            throw EBadRecord("field \"FormatVersion\" must be a number");
        if (!JsonInteger(version, kBackupFormatVersion, kBackupFormatVersion))
            throw EBadRecord("format version " + version.Text + " is not one this program reads (it reads " +
                             std::to_string(kBackupFormatVersion) + ")");
        read.Time = fields.Text("Time");
        std::string inner;
        if (!DeviceInfoFromJson(fields.Get("Register"), c.Info, inner))
            throw EBadRecord("Register: " + inner);
        if (!FiscInfoFromJson(fields.Get("Fiscal"), c.IsFiscal, c.Tin, c.FiscalName, inner))
            throw EBadRecord("Fiscal: " + inner);
        c.Taxes = ReadList<TECR_ALTETAXE>(fields, "AlteTaxes", "alte taxe", AlteTaxeFromJson, TaxProblem);
        c.Plues = ReadList<TECR_PLU>(fields, "Plues", "PLU", PluFromJson, PluProblem);
        c.Cashiers = ReadList<TECR_Cashier>(fields, "Cashiers", "cashier", CashierFromJson, CashierProblem);
        if (!AdvLinesFromJson(fields.Get("AdvLines"), c.AdvLines, inner))
            throw EBadRecord("AdvLines: " + inner);
        if (std::string p = AdvLinesWriteProblem(c.AdvLines); !p.empty())
            throw EBadRecord("AdvLines: " + p);
    });
    if (!ok)
        return false;
    backup = std::move(read);
    return true;
}

bool WriteBackupFile(const std::string& path, const TRegisterBackup& backup, std::string& error)
{
    if (WriteFileAtomic(path, BackupToJson(backup)))
        return true;
    error = "cannot write '" + path + "'";
    return false;
}

bool ReadBackupFile(const std::string& path, TRegisterBackup& backup, std::string& error)
{
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = "cannot read '" + path + "'";
        return false;
    }
    // Editors on other systems like to start UTF-8 files with a byte order mark.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    if (!BackupFromJson(text, backup, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
