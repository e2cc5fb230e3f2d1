#include "core/workbook/Workbook.h"

#include "core/base/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// LibreOffice may need a while on its first start (it builds its profile);
// a conversion that takes longer than this is stuck.
constexpr auto kConvertTimeLimit = std::chrono::seconds(120);

bool EndsWithNoCase(const std::string& s, const std::string& suffix)
{
    if (s.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i])
            return false;
    return true;
}

// Characters of a UTF-8 text (continuation bytes do not count).
size_t Utf8Length(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string FormattedNumberText(double value, const std::string& format)
{
    // Only fixed-decimal formats are used ("0.000"); General otherwise.
    const size_t point = format.find('.');
    if (format.rfind("0", 0) == 0 && point != std::string::npos) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(format.size() - point - 1), value);
        return buf;
    }
    return GeneralNumberText(value);
}

std::string TempPathBeside(const std::string& path, const char* extension)
{
    return ExtractFilePath(path) + "." + ExtractFileName(path) + "." + std::to_string(::getpid()) + extension;
}

// Messages name `target`, the file the user chose, not the temporary one.
void WriteXlsxFile(const std::string& path, const TSheetData& sheet, const std::string& target)
{
    lxw_workbook_options options {};
    // Rows go to the file as they are written: no shared-string table to
    // build, and memory stays flat for any list size.
    options.constant_memory = LXW_FALSE;
    options.tmpdir = nullptr;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (!workbook)
        throw EWorkbook("Cannot create \"" + target + "\": " + std::strerror(errno));
    lxw_worksheet* ws = workbook_add_worksheet(workbook, sheet.Name.empty() ? nullptr : sheet.Name.c_str());
    if (!ws) {
        workbook_close(workbook);
        std::remove(path.c_str());
        throw EWorkbook("Invalid sheet name \"" + sheet.Name + "\".");
    }

    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    format_set_align(bold, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format* textColumn = workbook_add_format(workbook);
    format_set_num_format(textColumn, "@");
    std::map<std::string, lxw_format*> numberFormats;

    size_t columns = 0;
    for (const auto& row : sheet.Rows)
        columns = std::max(columns, row.size());
    if (sheet.TextColumn > 0)
        columns = std::max(columns, static_cast<size_t>(sheet.TextColumn));
    std::vector<double> widths(columns, 0);

    lxw_error error = LXW_NO_ERROR;
    if (sheet.BoldRow > 0)
        error = worksheet_set_row(ws, static_cast<lxw_row_t>(sheet.BoldRow - 1), LXW_DEF_ROW_HEIGHT, bold);
    for (size_t r = 0; r < sheet.Rows.size() && error == LXW_NO_ERROR; ++r) {
        const bool isBold = static_cast<int>(r) + 1 == sheet.BoldRow;
        for (size_t c = 0; c < sheet.Rows[r].size() && error == LXW_NO_ERROR; ++c) {
            const TSheetCell& cell = sheet.Rows[r][c];
            lxw_format* format = isBold ? bold : static_cast<int>(c) + 1 == sheet.TextColumn ? textColumn : nullptr;
            std::string shown;
            if (cell.Type == TSheetCell::Kind::Text) {
                error = worksheet_write_string(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                               cell.Text.c_str(), format);
                shown = cell.Text;
            } else if (cell.Type == TSheetCell::Kind::Number) {
                if (!cell.Format.empty() && !isBold) {
                    lxw_format*& f = numberFormats[cell.Format];
                    if (!f) {
                        f = workbook_add_format(workbook);
                        format_set_num_format(f, cell.Format.c_str());
                    }
                    format = f;
                }
                error = worksheet_write_number(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), cell.Number,
                                               format);
                shown = FormattedNumberText(cell.Number, cell.Format);
            }
            // Bold characters are wider; one more for the cell's margins.
            const double width = static_cast<double>(Utf8Length(shown)) * (isBold ? 1.15 : 1.0) + 1.5;
            widths[c] = std::max(widths[c], width);
        }
    }
    for (size_t c = 0; c < columns && error == LXW_NO_ERROR; ++c) {
        const double width = widths[c] > 0 ? std::min(widths[c], 255.0) : LXW_DEF_COL_WIDTH;
        lxw_format* format = static_cast<int>(c) + 1 == sheet.TextColumn ? textColumn : nullptr;
        error = worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width, format);
    }
    const lxw_error closeError = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closeError;
    if (error != LXW_NO_ERROR) {
        std::remove(path.c_str());
        throw EWorkbook(std::string("Cannot write \"") + target + "\": " + lxw_strerror(error));
    }
}

std::string FindSoffice()
{
    for (const char* name : {"soffice", "libreoffice"}) {
        const char* pathEnv = std::getenv("PATH");
        std::string paths = pathEnv ? pathEnv : "/usr/bin:/bin";
        size_t start = 0;
        while (start <= paths.size()) {
            size_t end = paths.find(':', start);
            if (end == std::string::npos)
                end = paths.size();
            const std::string candidate = paths.substr(start, end - start) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
            start = end + 1;
        }
    }
    return {};
}

// soffice --convert-to xls in a private profile, so that a LibreOffice the
// user has open is neither used nor disturbed.
void ConvertToXls(const std::string& xlsxPath, const std::string& xlsPath, const std::string& target)
{
    const std::string soffice = FindSoffice();
    if (soffice.empty())
        throw EWorkbook("Writing the 97/2003 format (.xls) needs LibreOffice, which is not installed. "
                        "The 2007 format (.xlsx) is written without it.");
    std::error_code ec;
    const fs::path work = fs::temp_directory_path(ec) / ("mt-xls-" + std::to_string(::getpid()) + "-" +
                                                        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(work / "out", ec);
    if (ec)
        throw EWorkbook("Cannot create a temporary folder: " + ec.message());
    struct Cleanup {
        fs::path dir;
        ~Cleanup()
        {
            std::error_code e;
            fs::remove_all(dir, e);
        }
    } cleanup {work};

    const std::string profile = "-env:UserInstallation=file://" + (work / "profile").string();
    const std::string outDir = (work / "out").string();
    std::vector<std::string> args = {soffice, profile, "--headless", "--norestore", "--convert-to", "xls",
                                     "--outdir", outDir, xlsxPath};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, soffice.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw EWorkbook("Cannot start LibreOffice (" + soffice + "): " + std::strerror(spawned));

    const auto deadline = std::chrono::steady_clock::now() + kConvertTimeLimit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            throw EWorkbook(std::string("LibreOffice could not be waited for: ") + std::strerror(errno));
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            throw EWorkbook("LibreOffice did not finish converting to the 97/2003 format within " +
                            std::to_string(kConvertTimeLimit.count()) + " seconds.");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const fs::path produced = work / "out" / (fs::path(xlsxPath).stem().string() + ".xls");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !fs::exists(produced))
        throw EWorkbook("LibreOffice could not convert the workbook to the 97/2003 format.");
    fs::copy_file(produced, xlsPath, fs::copy_options::overwrite_existing, ec);
    if (ec)
        throw EWorkbook("Cannot write \"" + target + "\": " + ec.message());
}

} // namespace

bool CanWriteXls() { return !FindSoffice().empty(); }

void WriteWorkbook(const std::string& path, const TSheetData& sheet)
{
    const bool xls = EndsWithNoCase(path, ".xls");
    const std::string tmpXlsx = TempPathBeside(path, ".xlsx");
    WriteXlsxFile(tmpXlsx, sheet, path);
    std::string ready = tmpXlsx;
    if (xls) {
        const std::string tmpXls = TempPathBeside(path, ".xls");
        try {
            ConvertToXls(tmpXlsx, tmpXls, path);
        } catch (...) {
            std::remove(tmpXlsx.c_str());
            std::remove(tmpXls.c_str());
            throw;
        }
        std::remove(tmpXlsx.c_str());
        ready = tmpXls;
    }
    if (std::rename(ready.c_str(), path.c_str()) != 0) {
        const int e = errno;
        std::remove(ready.c_str());
        throw EWorkbook("Cannot write \"" + path + "\": " + std::strerror(e));
    }
}
