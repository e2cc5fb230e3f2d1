// ecrtool convert: a PLU list from one file format into another, through
// the same load and save code as the PLU view's file commands.

#include "ConvertCommand.h"
#include "EcrTool.h"

#include "core/base/CodePage.h"
#include "core/base/FileUtil.h"
#include "core/plu/PluFile.h"
#include "core/plu/PluJson.h"
#include "core/workbook/PluWorkbook.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>

namespace {

enum class TFormat {
    PluFile,   // .plu: 176-byte records, texts in Windows-1251
    JsonLines, // .jsonl: one JSON object a line, texts in UTF-8
    Stdio,     // "-": JSON lines on standard input or output
    Workbook,  // .xlsx, .xls (read and write) and .ods (read): the export's sheet layout
};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<TFormat> FormatOf(const std::string& path)
{
    if (path == "-")
        return TFormat::Stdio;
    if (EndsWith(path, ".plu"))
        return TFormat::PluFile;
    if (EndsWith(path, ".jsonl"))
        return TFormat::JsonLines;
    if (EndsWith(path, ".xlsx") || EndsWith(path, ".xls") || EndsWith(path, ".ods"))
        return TFormat::Workbook;
    return std::nullopt;
}

int Usage(const std::string& message)
{
    std::fprintf(stderr, "ecrtool convert: %s\nTry 'ecrtool convert --help'.\n", message.c_str());
    return 2;
}

// The command whose messages these are: load and send use the same files.
std::string commandName = "convert";

int Refused(const std::string& message)
{
    std::fprintf(stderr, "ecrtool %s: %s\n", commandName.c_str(), message.c_str());
    return 1;
}

// Reads the list; on failure prints why and returns false.
bool ReadList(const std::string& path, TFormat format, PluTable& table, TUsedBarcodes& barcodes)
{
    if (format == TFormat::Workbook) {
        try {
            const TPluImportResult imported = ImportPluWorkbook(path, table, barcodes, {});
            if (imported.ErrorText.empty())
                return true;
            std::string text = imported.ErrorText;
            for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
                text.replace(at, 2, "\n");
            Refused("'" + path + "': " + CodePageToUtf8(text));
        } catch (const EWorkbook& e) {
            Refused("cannot read '" + path + "': " + e.what());
        }
        return false;
    }
    TPluLoadResult result;
    const char* unit = "line";
    if (format == TFormat::PluFile) {
        result = LoadPluFile(path, table, barcodes);
        unit = "record";
    } else {
        std::string text;
        if (format == TFormat::Stdio) {
            text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
            if (std::cin.bad()) {
                Refused("cannot read standard input");
                return false;
            }
        } else if (!ReadWholeFile(path, text)) {
            Refused("cannot read '" + path + "'");
            return false;
        }
        result = LoadPluJsonLines(text, table, barcodes);
    }
    if (result.Ok)
        return true;
    const std::string source = format == TFormat::Stdio ? "standard input" : "'" + path + "'";
    if (result.Record < 0)
        Refused("cannot read " + source + ": " + result.Reason);
    else
        Refused(source + ", " + unit + " " + std::to_string(result.Record + 1) + ": " + result.Reason);
    return false;
}

// A .plu record has less room than the table for some texts; say which rows
// lose characters rather than cutting them unnoticed.
void TellCuts(const PluTable& table)
{
    int rows = 0;
    std::string first;
    for (int p = 0; p < table.Count(); ++p) {
        const auto cut = PluRecordCuts(table.Row(p));
        if (cut.empty())
            continue;
        if (rows++ == 0) {
            first = "row " + std::to_string(p + 1) + " (";
            for (std::size_t i = 0; i < cut.size(); ++i)
                first += std::string(i ? ", " : "") + PluFieldInfo(cut[i]).Name;
            first += ")";
        }
    }
    if (rows > 0)
        std::fprintf(stderr,
                     "ecrtool %s: note: %d row(s) have texts longer than a .plu record holds and were cut, "
                     "the first %s\n",
                     commandName.c_str(), rows, first.c_str());
}

int WriteList(const std::string& path, TFormat format, PluTable& table)
{
    if (format == TFormat::PluFile) {
        std::string error;
        if (!SavePluFile(path, table, error))
            return Refused("cannot write '" + path + "': " + error);
        TellCuts(table);
        return 0;
    }
    if (format == TFormat::Workbook) {
        if (EndsWith(path, ".ods"))
            return Refused("cannot write '" + path + "': workbooks are written as .xlsx or .xls");
        try {
            ExportPluWorkbook(path, table, PluDesignSheetColumns(), {}, {});
        } catch (const EWorkbook& e) {
            return Refused("cannot write '" + path + "': " + e.what());
        }
        return 0;
    }
    const std::string text = PluTableToJsonLines(table);
    if (format == TFormat::JsonLines) {
        if (!WriteFileAtomic(path, text))
            return Refused("cannot write '" + path + "'");
        return 0;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written)
        return Refused("cannot write to standard output");
    return 0;
}

int RunConvert(const TToolContext&, const std::vector<std::string>& args);

const TToolCommand kConvert = {
    "convert",
    "convert IN OUT",
    "Converts a PLU list between file formats chosen by extension: .plu (the\n"
    "program's PLU files) and .jsonl (JSON lines, UTF-8); '-' reads JSON lines\n"
    "from stdin or writes them to stdout. One row a line, keyed by the PLU\n"
    "table's field names in this order:\n"
    "  {\"NUMB\":1,\"NAME\":\"Milk\",\"UNIT\":\"BUC\",\"TAX_GROUP\":2,\"PAY_TYPE\":1,\n"
    "   \"PLU_GROUP\":1,\"BARCODE\":\"501\",\"PRICE_SELL\":0.5,\"PLU_SUBGROUP\":1,\n"
    "   \"ALTE_TAXE\":\"\",\"TAX_VALUE\":\"\",\"COMMENT\":\"\",\"FLAGS\":\"000000000\"}\n"
    "All thirteen keys are required, in any order. NUMB is 1..29999, PRICE_SELL\n"
    "0..9999999.999 (any number), TAX_GROUP, PLU_GROUP and PLU_SUBGROUP 16-bit\n"
    "and PAY_TYPE 32-bit whole numbers; the others are strings, cut to 20\n"
    "characters (BARCODE 500, FLAGS 9: nine '0'/'1', flag 1 first, flag 8 marks\n"
    "the row deleted). Texts must be Windows-1251 characters. A .plu record\n"
    "keeps 24 characters of BARCODE and 15 of ALTE_TAXE and TAX_VALUE; a note\n"
    "on stderr names rows that were cut. Rows keep their order.\n"
    "Workbooks: .xlsx, .xls and .ods are read as the program's import reads\n"
    "them (the active sheet, rows from 3 until column A is empty, thirteen\n"
    "columns in the export's order); .xlsx and .xls are written as the\n"
    "program exports all thirteen columns (.xls needs LibreOffice). A refused\n"
    "workbook row is told as \"Excel file contain invalid data.\" with its row\n"
    "and column.\n"
    "A refused row ends with status 1, its line (JSON) or record (.plu),\n"
    "counted from 1, and the reason; then no output is written.",
    RunConvert,
};

int RunConvert(const TToolContext&, const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("Usage: ecrtool %s\n%s\n", kConvert.Synopsis.c_str(), kConvert.Help.c_str());
        return 0;
    }
    if (args.size() != 2)
        return Usage("takes an input and an output file");
    const auto in = FormatOf(args[0]);
    const auto out = FormatOf(args[1]);
    for (const auto& [format, path] : {std::pair{in, args[0]}, std::pair{out, args[1]}})
        if (!format)
            return Usage("'" + path + "' is neither .plu, .jsonl, .xlsx, .xls, .ods nor -");

    PluTable table;
    TUsedBarcodes barcodes;
    if (!ReadList(args[0], *in, table, barcodes))
        return 1;
    return WriteList(args[1], *out, table);
}

const bool registered = RegisterToolCommand(kConvert);

} // namespace

bool PluListPathKnown(const std::string& path) { return FormatOf(path).has_value(); }

bool ReadPluListFile(const std::string& command, const std::string& path, PluTable& table, TUsedBarcodes& barcodes)
{
    commandName = command;
    return ReadList(path, *FormatOf(path), table, barcodes);
}

int WritePluListFile(const std::string& command, const std::string& path, PluTable& table)
{
    commandName = command;
    return WriteList(path, *FormatOf(path), table);
}
