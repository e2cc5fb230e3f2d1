// Export and import of a 29 999-item PLU list through workbooks, against
// openpyxl writing and reading the same sheet in the same run (and
// LibreOffice converting it, when installed). Each side runs in a process of
// its own so that its peak memory can be read beside its time. Times are the
// processor time of the process and what it waited for, so that other work
// on the machine does not tilt the ratios.
//
//   workbook_bench [rows]

#include "core/workbook/PluWorkbook.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TRun {
    double Seconds = -1;
    long PeakKb = 0;
};

double ChildrenCpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs body in a child; its processor time and peak resident memory.
TRun Measure(const std::function<void()>& body)
{
    std::fflush(nullptr);
    const double before = ChildrenCpuSeconds();
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        std::fflush(nullptr);
        ::_exit(0);
    }
    int status = 0;
    rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    TRun run;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        run.Seconds = ChildrenCpuSeconds() - before;
        run.PeakKb = usage.ru_maxrss;
    }
    return run;
}

// A program run in place of the child, so that its own peak memory is read.
TRun MeasureProgram(std::vector<std::string> args)
{
    return Measure([&] {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    });
}

void FillTable(PluTable& table, int rows)
{
    table.Reserve(rows);
    for (int n = 1; n <= rows; ++n) {
        TPluRow row;
        row.SetInt(TPluField::NUMB, n);
        row.SetText(TPluField::NAME, "Item number " + std::to_string(n));
        row.SetText(TPluField::UNIT, "BUC");
        row.SetInt(TPluField::TAX_GROUP, 2);
        row.SetInt(TPluField::PAY_TYPE, 1);
        row.SetInt(TPluField::PLU_GROUP, 1 + n % 30);
        row.SetText(TPluField::BARCODE, std::to_string(3800000000000LL + n));
        row.SetFloat(TPluField::PRICE_SELL, n * 0.125);
        row.SetInt(TPluField::PLU_SUBGROUP, 1 + n % 10);
        row.SetText(TPluField::COMMENT, "note");
        row.SetText(TPluField::FLAGS, "000000001");
        table.AppendRow(std::move(row));
    }
}

const char* kOpenpyxlScript = R"(
import sys, time, resource, openpyxl
mode, path, rows = sys.argv[1], sys.argv[2], int(sys.argv[3])
if mode == "write":
    wb = openpyxl.Workbook(); ws = wb.active; ws.title = "Export"
    ws.append([]); ws.append(["Number","PLU Name","UNIT","Tax Group","Barcode","Sell Price","Pay Type",
                             "Department","Plu Group","Alte Taxe","Tax Value","Comment","Flags"])
    for n in range(1, rows + 1):
        ws.append([n, "Item number %d" % n, "BUC", 2, str(3800000000000 + n), n * 0.125, 1,
                   1 + n % 10, 1 + n % 30, "", "", "note", "000000001"])
    wb.save(path)
else:
    ws = openpyxl.load_workbook(path).active
    cells = [[c.value for c in row] for row in ws.iter_rows(min_row=3, max_col=13)]
)";

void PrintRow(const char* what, const TRun& ours, const TRun& other, const char* otherName)
{
    if (ours.Seconds < 0 || other.Seconds < 0) {
        std::printf("%-8s ours %.3f s, %s failed or missing\n", what, ours.Seconds, otherName);
        return;
    }
    std::printf("%-8s ours %7.3f s cpu (peak %6ld KB)  %s %7.3f s cpu (peak %6ld KB)  ratio %.1fx\n", what, ours.Seconds,
                ours.PeakKb, otherName, other.Seconds, other.PeakKb, other.Seconds / ours.Seconds);
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 29999;
    char dirTemplate[] = "/tmp/workbookbench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir || rows < 1)
        return 1;
    const std::string ours = std::string(dir) + "/ours.xlsx";
    const std::string theirs = std::string(dir) + "/openpyxl.xlsx";
    const std::string script = std::string(dir) + "/bench.py";
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fputs(kOpenpyxlScript, f);
        std::fclose(f);
    }

    std::printf("%d rows, 13 columns\n", rows);
    const TRun exportRun = Measure([&] {
        PluTable table;
        FillTable(table, rows);
        ExportPluWorkbook(ours, table, PluDesignSheetColumns(), {}, {});
    });
    const TRun openpyxlWrite = MeasureProgram({"/usr/bin/python3", script, "write", theirs, std::to_string(rows)});
    PrintRow("export", exportRun, openpyxlWrite, "openpyxl");

    const TRun importRun = Measure([&] {
        PluTable table;
        TUsedBarcodes used;
        const TPluImportResult r = ImportPluWorkbook(ours, table, used, {});
        if (!r.ErrorText.empty() || table.Count() != rows)
            ::_exit(1);
    });
    const TRun openpyxlRead = MeasureProgram({"/usr/bin/python3", script, "read", ours, std::to_string(rows)});
    PrintRow("import", importRun, openpyxlRead, "openpyxl");

    if (CanWriteXls()) {
        const TRun soffice = MeasureProgram({"/bin/sh", "-c",
                                             "cd " + std::string(dir) + " && soffice -env:UserInstallation=file://" +
                                                 dir + "/profile --headless --convert-to ods ours.xlsx >/dev/null 2>&1"});
        PrintRow("convert", importRun, soffice, "soffice --convert-to ods (against our import)");
    }
    std::system(("rm -rf " + std::string(dir)).c_str());
    return 0;
}
