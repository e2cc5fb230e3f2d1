#include "core/workbook/Workbook.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <freexl.h>
#include <minizip/unzip.h>
#include <pugixml.hpp>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One part of a workbook is never allowed to grow past this when unpacked:
// a list of 29 999 items takes a few MB, and a hostile zip must not take the
// machine's memory.
constexpr std::uint64_t kMaxPartSize = 64ull * 1024 * 1024;

const std::string kEmpty;

// --- Zip parts ---------------------------------------------------------------

class TZip {
public:
    explicit TZip(const std::string& path) : zip_(unzOpen64(path.c_str())) {}
    ~TZip()
    {
        if (zip_)
            unzClose(zip_);
    }
    TZip(const TZip&) = delete;
    TZip& operator=(const TZip&) = delete;

    bool IsOpen() const { return zip_ != nullptr; }
    bool Has(const std::string& name) { return zip_ && unzLocateFile(zip_, name.c_str(), 1) == UNZ_OK; }

    // The unpacked part; throws for a damaged or oversized part.
    std::string Read(const std::string& name)
    {
        if (!Has(name))
            throw EWorkbook(kWorkbookNotFound);
        unz_file_info64 info {};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            throw EWorkbook(kWorkbookNotFound);
        if (info.uncompressed_size > kMaxPartSize)
            throw TooLarge(name);
        if (unzOpenCurrentFile(zip_) != UNZ_OK)
            throw EWorkbook(kWorkbookNotFound);
        std::string out;
        char buf[65536];
        for (;;) {
            const int n = unzReadCurrentFile(zip_, buf, sizeof buf);
            if (n < 0) {
                unzCloseCurrentFile(zip_);
                throw EWorkbook(kWorkbookNotFound);
            }
            if (n == 0)
                break;
            // The size in the directory may lie; the bytes decide.
            if (out.size() + static_cast<size_t>(n) > kMaxPartSize) {
                unzCloseCurrentFile(zip_);
                throw TooLarge(name);
            }
            out.append(buf, static_cast<size_t>(n));
        }
        if (unzCloseCurrentFile(zip_) != UNZ_OK) // CRC mismatch
            throw EWorkbook(kWorkbookNotFound);
        return out;
    }

    static EWorkbook TooLarge(const std::string& name)
    {
        return EWorkbook("The workbook is too large to read: its part \"" + name + "\" unpacks to more than " +
                         std::to_string(kMaxPartSize / (1024 * 1024)) + " MB.");
    }

private:
    unzFile zip_;
};

pugi::xml_document ParseXml(const std::string& text, const std::string& partName)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!r)
        throw EWorkbook("The workbook is damaged: " + partName + " does not parse (" + r.description() +
                        " at byte " + std::to_string(r.offset) + ").");
    return doc;
}

// Element name without its namespace prefix.
const char* LocalName(const pugi::xml_node& node)
{
    const char* name = node.name();
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

bool Is(const pugi::xml_node& node, const char* local) { return std::strcmp(LocalName(node), local) == 0; }

pugi::xml_node Child(const pugi::xml_node& node, const char* local)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && Is(c, local))
            return c;
    return {};
}

pugi::xml_attribute Attr(const pugi::xml_node& node, const char* local)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        const char* colon = std::strrchr(name, ':');
        if (std::strcmp(colon ? colon + 1 : name, local) == 0)
            return a;
    }
    return {};
}

bool ParseDouble(const char* text, double& value)
{
    const char* end = text + std::strlen(text);
    while (text < end && *text == ' ')
        ++text;
    const auto r = std::from_chars(text, end, value);
    return r.ec == std::errc() && r.ptr == end;
}

std::string NumberCellText(const char* raw)
{
    // Most stored numbers are already what General shows (12, 0.125): a plain
    // decimal of at most 15 digits only loses trailing zeros.
    const char* p = raw + (*raw == '-');
    int digits = 0;
    const char* point = nullptr;
    for (; *p; ++p) {
        if (*p >= '0' && *p <= '9')
            ++digits;
        else if (*p == '.' && !point)
            point = p;
        else
            break;
    }
    if (!*p && digits > 0 && digits <= 15 && (p[-1] != '.') && !(raw[0] == '0' && raw[1] >= '0' && raw[1] <= '9')) {
        std::string text(raw);
        if (point) {
            while (text.back() == '0')
                text.pop_back();
            if (text.back() == '.')
                text.pop_back();
        }
        if (text != "-0" && text != "-")
            return text;
    }
    double v = 0;
    return ParseDouble(raw, v) ? GeneralNumberText(v) : std::string(raw);
}

// Days since 1899-12-30, the serial number a spreadsheet shows for a date,
// plus the time of day as a fraction. Nothing for a text that is no date.
bool DateSerial(const std::string& iso, double& serial)
{
    int y = 0, m = 0, d = 0, hh = 0, mm = 0;
    double ss = 0;
    const int n = std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &m, &d, &hh, &mm, &ss);
    if (n < 3 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    // Days from civil, proleptic Gregorian.
    const int yy = y - (m <= 2);
    const int era = (yy >= 0 ? yy : yy - 399) / 400;
    const int yoe = yy - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe - 719468; // since 1970-01-01
    serial = static_cast<double>(days + 25569) + (hh * 3600 + mm * 60 + ss) / 86400.0;
    return true;
}

// "AB12" -> column 28, row 12.
bool ParseCellRef(const char* ref, int& row, int& column)
{
    int c = 0, r = 0;
    const char* p = ref;
    while (*p >= 'A' && *p <= 'Z') {
        c = c * 26 + (*p - 'A' + 1);
        if (c > 1 << 20)
            return false;
        ++p;
    }
    while (*p >= '0' && *p <= '9') {
        r = r * 10 + (*p - '0');
        if (r > 1 << 24)
            return false;
        ++p;
    }
    if (*p || c == 0 || r == 0)
        return false;
    row = r;
    column = c;
    return true;
}

// All text of the <t> elements below node, leaving out phonetic runs.
void CollectRunText(const pugi::xml_node& node, std::string& out)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        if (Is(c, "t"))
            out += c.text().get();
        else if (Is(c, "r"))
            CollectRunText(c, out);
    }
}

// --- .xlsx -------------------------------------------------------------------

std::string JoinPartPath(const std::string& base, const std::string& target)
{
    if (!target.empty() && target[0] == '/')
        return target.substr(1);
    std::string folder = base.substr(0, base.rfind('/') + 1);
    std::string rest = target;
    while (rest.rfind("../", 0) == 0) {
        rest.erase(0, 3);
        if (!folder.empty())
            folder.erase(folder.rfind('/', folder.size() - 2) + 1);
    }
    return folder + rest;
}

std::string RelsPathOf(const std::string& part)
{
    const size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

// Target of the relationship with this id (or, with an empty id, of the
// first whose type ends in typeSuffix).
std::string RelTarget(TZip& zip, const std::string& part, const std::string& id, const char* typeSuffix)
{
    const std::string relsName = RelsPathOf(part);
    if (!zip.Has(relsName))
        return {};
    const pugi::xml_document rels = ParseXml(zip.Read(relsName), relsName);
    for (pugi::xml_node r = Child(rels, "Relationships").first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element)
            continue;
        const std::string type = r.attribute("Type").value();
        const bool match = id.empty() ? type.size() >= std::strlen(typeSuffix) &&
                                            type.compare(type.size() - std::strlen(typeSuffix), std::string::npos, typeSuffix) == 0
                                      : id == r.attribute("Id").value();
        if (match)
            return JoinPartPath(part, r.attribute("Target").value());
    }
    return {};
}

TWorkbookSheet ReadXlsx(TZip& zip, int maxColumns)
{
    std::string workbookPart = RelTarget(zip, "", "", "/officeDocument");
    if (workbookPart.empty())
        workbookPart = "xl/workbook.xml";
    if (!zip.Has(workbookPart))
        throw EWorkbook(kWorkbookNotFound);
    const pugi::xml_document workbook = ParseXml(zip.Read(workbookPart), workbookPart);
    const pugi::xml_node wbRoot = Child(workbook, "workbook");

    // The active sheet is the workbook view's active tab among the sheets.
    std::vector<std::string> sheetIds;
    for (pugi::xml_node s = Child(Child(wbRoot, "sheets"), "sheet"); s; s = s.next_sibling())
        if (s.type() == pugi::node_element && Is(s, "sheet"))
            sheetIds.push_back(Attr(s, "id").value());
    if (sheetIds.empty())
        throw EWorkbook(kActiveSheetNotFound);
    size_t active = Child(Child(wbRoot, "bookViews"), "workbookView").attribute("activeTab").as_uint(0);
    if (active >= sheetIds.size())
        active = 0;
    std::string sheetPart = RelTarget(zip, workbookPart, sheetIds[active], "");
    if (sheetPart.empty() || !zip.Has(sheetPart))
        sheetPart = RelTarget(zip, workbookPart, sheetIds[0], "");
    if (sheetPart.empty() || !zip.Has(sheetPart))
        throw EWorkbook(kActiveSheetNotFound);

    std::vector<std::string> shared;
    const std::string sharedPart = RelTarget(zip, workbookPart, "", "/sharedStrings");
    if (!sharedPart.empty() && zip.Has(sharedPart)) {
        const pugi::xml_document sst = ParseXml(zip.Read(sharedPart), sharedPart);
        for (pugi::xml_node si = Child(sst, "sst").first_child(); si; si = si.next_sibling()) {
            if (si.type() != pugi::node_element || !Is(si, "si"))
                continue;
            std::string text;
            CollectRunText(si, text);
            shared.push_back(std::move(text));
        }
    }

    const pugi::xml_document doc = ParseXml(zip.Read(sheetPart), sheetPart);
    TWorkbookSheet sheet;
    int nextRow = 1;
    for (pugi::xml_node row = Child(Child(Child(doc, "worksheet"), "sheetData"), "row"); row; row = row.next_sibling()) {
        if (row.type() != pugi::node_element || !Is(row, "row"))
            continue;
        const int rowNumber = row.attribute("r").as_int(nextRow);
        if (rowNumber < 1)
            continue;
        nextRow = rowNumber + 1;
        int nextColumn = 1;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || !Is(c, "c"))
                continue;
            int r = rowNumber, col = nextColumn;
            if (const char* ref = c.attribute("r").value(); *ref && !ParseCellRef(ref, r, col))
                continue;
            nextColumn = col + 1;
            if (col > maxColumns)
                continue;
            const std::string type = c.attribute("t").value();
            const char* v = Child(c, "v").text().get();
            std::string text;
            if (type == "s") {
                const long index = std::strtol(v, nullptr, 10);
                if (*v && index >= 0 && static_cast<size_t>(index) < shared.size())
                    text = shared[static_cast<size_t>(index)];
            } else if (type == "inlineStr") {
                CollectRunText(Child(c, "is"), text);
            } else if (type == "b") {
                text = std::strcmp(v, "1") == 0 ? "TRUE" : std::strcmp(v, "0") == 0 ? "FALSE" : v;
            } else if (type == "str" || type == "e") {
                text = v;
            } else if (type == "d") {
                double serial = 0;
                text = DateSerial(v, serial) ? GeneralNumberText(serial) : std::string(v);
            } else {
                text = *v ? NumberCellText(v) : std::string();
            }
            if (!text.empty())
                sheet.SetCell(r, col, std::move(text));
        }
    }
    return sheet;
}

// --- .ods --------------------------------------------------------------------

// A paragraph's text: spans, spaces (text:s), tabs and line breaks.
void CollectOdsText(const pugi::xml_node& node, std::string& out)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
            out += c.value();
        } else if (c.type() == pugi::node_element) {
            if (Is(c, "s"))
                out.append(std::min(Attr(c, "c").as_uint(1), 1024u), ' ');
            else if (Is(c, "tab"))
                out += '\t';
            else if (Is(c, "line-break"))
                out += '\n';
            else if (!Is(c, "annotation"))
                CollectOdsText(c, out);
        }
    }
}

std::string OdsCellText(const pugi::xml_node& cell)
{
    const std::string type = Attr(cell, "value-type").value();
    if (type == "float" || type == "percentage" || type == "currency") {
        // LibreOffice keeps a boolean as the number 1 or 0 shown as TRUE or FALSE.
        const std::string value = Attr(cell, "value").value();
        const std::string shown = Child(cell, "p").text().get();
        if ((value == "1" && shown == "TRUE") || (value == "0" && shown == "FALSE"))
            return shown;
        return NumberCellText(value.c_str());
    }
    if (type == "boolean")
        return std::strcmp(Attr(cell, "boolean-value").value(), "true") == 0 ? "TRUE" : "FALSE";
    if (type == "date") {
        double serial = 0;
        if (DateSerial(Attr(cell, "date-value").value(), serial))
            return GeneralNumberText(serial);
    }
    std::string text;
    bool first = true;
    for (pugi::xml_node p = cell.first_child(); p; p = p.next_sibling()) {
        if (p.type() != pugi::node_element || !Is(p, "p"))
            continue;
        if (!first)
            text += '\n';
        first = false;
        CollectOdsText(p, text);
    }
    return text;
}

// The rows of a table, also inside row groups and header rows.
template <class F> void ForEachOdsRow(const pugi::xml_node& parent, F&& f)
{
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        if (Is(c, "table-row"))
            f(c);
        else if (Is(c, "table-row-group") || Is(c, "table-header-rows") || Is(c, "table-rows"))
            ForEachOdsRow(c, f);
    }
}

TWorkbookSheet ReadOds(TZip& zip, int maxColumns)
{
    if (!zip.Has("content.xml"))
        throw EWorkbook(kWorkbookNotFound);
    std::string activeName;
    if (zip.Has("settings.xml")) {
        const pugi::xml_document settings = ParseXml(zip.Read("settings.xml"), "settings.xml");
        const pugi::xpath_node item = settings.select_node("//*[local-name()='config-item'][@*[local-name()='name']='ActiveTable']");
        if (item)
            activeName = item.node().text().get();
    }
    const pugi::xml_document content = ParseXml(zip.Read("content.xml"), "content.xml");
    const pugi::xml_node spreadsheet = Child(Child(Child(content, "document-content"), "body"), "spreadsheet");
    pugi::xml_node table;
    for (pugi::xml_node t = spreadsheet.first_child(); t; t = t.next_sibling()) {
        if (t.type() != pugi::node_element || !Is(t, "table"))
            continue;
        if (!table)
            table = t;
        if (!activeName.empty() && activeName == Attr(t, "name").value()) {
            table = t;
            break;
        }
    }
    if (!table)
        throw EWorkbook(kActiveSheetNotFound);

    TWorkbookSheet sheet;
    long row = 1;
    ForEachOdsRow(table, [&](const pugi::xml_node& r) {
        const long repeat = std::max(1L, static_cast<long>(Attr(r, "number-rows-repeated").as_uint(1)));
        long column = 1;
        std::vector<std::pair<long, std::string>> cells;
        for (pugi::xml_node c = r.first_child(); c && column <= maxColumns; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || !(Is(c, "table-cell") || Is(c, "covered-table-cell")))
                continue;
            const long colRepeat = std::max(1L, static_cast<long>(Attr(c, "number-columns-repeated").as_uint(1)));
            const std::string text = OdsCellText(c);
            if (!text.empty())
                for (long k = 0; k < colRepeat && column + k <= maxColumns; ++k)
                    cells.emplace_back(column + k, text);
            column += colRepeat;
        }
        // Repeated rows are how a sheet's empty tail is written; only rows
        // with content are spelled out, and only up to the largest sheet.
        if (!cells.empty()) {
            const long last = std::min(row + repeat - 1, 1L << 20);
            for (long k = row; k <= last; ++k)
                for (const auto& [col, text] : cells)
                    sheet.SetCell(static_cast<int>(k), static_cast<int>(col), text);
        }
        row += repeat;
    });
    return sheet;
}

// --- .xls --------------------------------------------------------------------

TWorkbookSheet ReadXlsHere(const std::string& path, int maxColumns)
{
    const void* handle = nullptr;
    if (freexl_open(path.c_str(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        throw EWorkbook(kWorkbookNotFound);
    }
    std::unique_ptr<const void, int (*)(const void*)> guard(handle, freexl_close);
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        throw EWorkbook(kActiveSheetNotFound);
    // The file format keeps no active sheet that the reader exposes: the first.
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK)
        throw EWorkbook(kActiveSheetNotFound);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        throw EWorkbook(kActiveSheetNotFound);
    TWorkbookSheet sheet;
    const unsigned short lastColumn = static_cast<unsigned short>(std::min<int>(columns, maxColumns));
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < lastColumn; ++c) {
            FreeXL_CellValue cell {};
            if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK)
                continue;
            std::string text;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                text = std::to_string(cell.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = GeneralNumberText(cell.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                text = cell.value.text_value ? cell.value.text_value : "";
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME: {
                double serial = 0;
                std::string iso = cell.value.text_value ? cell.value.text_value : "";
                std::replace(iso.begin(), iso.end(), ' ', 'T');
                text = DateSerial(iso, serial) ? GeneralNumberText(serial) : iso;
                break;
            }
            case FREEXL_CELL_TIME: {
                int hh = 0, mm = 0;
                double ss = 0;
                if (cell.value.text_value && std::sscanf(cell.value.text_value, "%d:%d:%lf", &hh, &mm, &ss) == 3)
                    text = GeneralNumberText((hh * 3600 + mm * 60 + ss) / 86400.0);
                break;
            }
            default:
                break;
            }
            if (!text.empty())
                sheet.SetCell(static_cast<int>(r) + 1, c + 1, std::move(text));
        }
    }
    return sheet;
}

// FreeXL reads damaged 97/2003 files out of bounds (seen with fuzzed
// files), so the file is read in a child process: whatever the file does to
// the reader, this process gets the cells, a refusal, or nothing and then
// refuses the file.
bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void PutRecord(int fd, int row, int column, const std::string& text)
{
    const std::uint32_t head[3] = {static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column),
                                   static_cast<std::uint32_t>(text.size())};
    if (!WriteAll(fd, head, sizeof head) || !WriteAll(fd, text.data(), text.size()))
        ::_exit(3);
}

TWorkbookSheet ReadXls(const std::string& path, int maxColumns)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw EWorkbook(std::string("Cannot read the workbook: ") + std::strerror(errno));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw EWorkbook(std::string("Cannot read the workbook: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(fds[0]);
        // Row 0 carries the outcome: column 0 for cells, 1 for a refusal.
        try {
            const TWorkbookSheet sheet = ReadXlsHere(path, maxColumns);
            for (int r = 1; r <= sheet.LastRow(); ++r)
                for (int c = 1; c <= maxColumns; ++c)
                    if (const std::string& t = sheet.CellText(r, c); !t.empty())
                        PutRecord(fds[1], r, c, t);
            PutRecord(fds[1], 0, 0, {});
        } catch (const std::exception& e) {
            PutRecord(fds[1], 0, 1, e.what());
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    TWorkbookSheet sheet;
    size_t at = 0;
    while (at + 12 <= bytes.size()) {
        std::uint32_t head[3];
        std::memcpy(head, bytes.data() + at, sizeof head);
        at += sizeof head;
        if (head[2] > bytes.size() - at)
            break;
        std::string text = bytes.substr(at, head[2]);
        at += head[2];
        if (head[0] == 0) {
            if (head[1] == 1)
                throw EWorkbook(text);
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                return sheet;
            break;
        }
        sheet.SetCell(static_cast<int>(head[0]), static_cast<int>(head[1]), std::move(text));
    }
    throw EWorkbook(kWorkbookNotFound);
}

} // namespace

const std::string& TWorkbookSheet::CellText(int row, int column) const
{
    if (row < 1 || column < 1 || static_cast<size_t>(row) > rows_.size())
        return kEmpty;
    const std::vector<std::string>& cells = rows_[static_cast<size_t>(row) - 1];
    return static_cast<size_t>(column) > cells.size() ? kEmpty : cells[static_cast<size_t>(column) - 1];
}

void TWorkbookSheet::SetCell(int row, int column, std::string text)
{
    // Far more than any list the program holds, far less than the memory of
    // a machine: a sheet past it is refused instead of exhausting memory.
    constexpr size_t kMaxCells = 4'000'000;
    if (row < 1 || column < 1)
        return;
    if (cellCount_ >= kMaxCells || static_cast<size_t>(row) > kMaxCells)
        throw EWorkbook("The sheet is too large to read: it holds more than " + std::to_string(kMaxCells) +
                        " cells.");
    if (rows_.size() < static_cast<size_t>(row))
        rows_.resize(static_cast<size_t>(row));
    std::vector<std::string>& cells = rows_[static_cast<size_t>(row) - 1];
    if (cells.size() < static_cast<size_t>(column))
        cells.resize(static_cast<size_t>(column));
    cellCount_ += cells[static_cast<size_t>(column) - 1].empty() ? 1 : 0;
    cells[static_cast<size_t>(column) - 1] = std::move(text);
    lastRow_ = std::max(lastRow_, row);
}

std::string GeneralNumberText(double value)
{
    if (value == 0 || !std::isfinite(value))
        return value == 0 ? "0" : "#NUM!";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string text(buf, r.ptr);
    for (char& ch : text)
        if (ch == 'e')
            ch = 'E';
    return text;
}

TWorkbookSheet ReadWorkbookSheet(const std::string& path, int maxColumns)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EWorkbook("Cannot open \"" + path + "\": " + std::strerror(errno));
    char magic[8] = {};
    in.read(magic, sizeof magic);
    const std::streamsize got = in.gcount();
    in.close();
    static const unsigned char kOle2[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (got == 8 && std::memcmp(magic, kOle2, 8) == 0)
        return ReadXls(path, maxColumns);
    if (got >= 4 && std::memcmp(magic, "PK\x03\x04", 4) == 0) {
        TZip zip(path);
        if (!zip.IsOpen())
            throw EWorkbook(kWorkbookNotFound);
        if (zip.Has("content.xml") && zip.Has("mimetype"))
            return ReadOds(zip, maxColumns);
        return ReadXlsx(zip, maxColumns);
    }
    throw EWorkbook(kWorkbookNotFound);
}
