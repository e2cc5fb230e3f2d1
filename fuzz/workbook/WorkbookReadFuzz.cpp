// The .xlsx and .ods readers on arbitrary files: a sheet or a refusal with a
// text, never a crash. The readers take a path, so each input goes through a
// file. 97/2003 files are left out: they are read by a library in a child
// process, whose crashes the program survives but the fuzzer would report.

#include "core/workbook/Workbook.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const unsigned char kOle2[4] = {0xD0, 0xCF, 0x11, 0xE0};
    if (size >= 4 && std::memcmp(data, kOle2, 4) == 0)
        return 0;
    static const std::string path = "/tmp/workbook-fuzz-" + std::to_string(::getpid());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        const TWorkbookSheet sheet = ReadWorkbookSheet(path, 13);
        for (int row = 1; row <= sheet.LastRow() && row <= 50; ++row)
            for (int column = 1; column <= 13; ++column)
                (void)sheet.CellText(row, column).size();
    } catch (const EWorkbook&) {
    }
    return 0;
}
