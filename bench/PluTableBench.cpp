// The PLU table at its largest (29 999 rows) against plain code doing the
// same work, measured side by side in one run:
//   .plu save   SavePluFile           vs encoding plain structs into the same
//                                        bytes and writing them (with fsync,
//                                        as a save that must survive needs)
//   .plu load   LoadPluFile           vs reading the bytes and decoding them
//                                        into plain structs
//   sort        PluTable::Sort        vs std::stable_sort of the same keys
//   search      PluTable::Find        vs a loop over the names comparing the
//                                        prefix byte for byte
// Each figure is the best of several runs, in wall-clock time and in the
// thread's processor time. Usage: plu_table_bench [ROWS [RUNS]]

#include "core/plu/PluFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using F = TPluField;

// What a program without the table's rules would keep per row.
struct TPlainRow {
    int32_t numb, taxGroup, payType, group, subGroup;
    double price;
    std::string name, unit, barcode, alteTaxe, taxValue, comment, flags;
};

std::string RandomText(std::mt19937& random, std::size_t length)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\xE0\xE1\xE2\xC0\xC1\xC2";
    std::string s;
    for (std::size_t i = 0; i < length; ++i)
        s += letters[random() % (sizeof letters - 1)];
    return s;
}

void Fill(PluTable& table, int rows)
{
    std::mt19937 random(42);
    TPluUpdateGuard quiet(table);
    table.Reserve(rows);
    for (int n = 1; n <= rows; ++n) {
        TPluRow r;
        r.SetInt(F::NUMB, n);
        r.SetText(F::NAME, RandomText(random, 8 + random() % 13));
        r.SetText(F::UNIT, "BUC");
        r.SetInt(F::TAX_GROUP, 2);
        r.SetInt(F::PAY_TYPE, 1);
        r.SetInt(F::PLU_GROUP, static_cast<int>(n % 30 + 1));
        r.SetText(F::BARCODE, std::to_string(3800000000000LL + n));
        r.SetFloat(F::PRICE_SELL, static_cast<double>(random() % 1000000) / 100);
        r.SetInt(F::PLU_SUBGROUP, static_cast<int>(n % 10 + 1));
        r.SetText(F::COMMENT, n % 7 ? "" : "weekly offer");
        r.SetText(F::FLAGS, "000000000");
        table.AppendRow(std::move(r));
    }
}

struct TTask {
    std::function<void()> prepare; // not timed
    std::function<void()> work;
};

// The best wall-clock and the best processor time, in seconds.
struct TTimes {
    double wall = 1e30;
    double cpu = 1e30;
};

double ThreadSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The two tasks run in turns, so that both meet the same load of the
// machine. On a busy machine the processor time, which leaves out the time
// the task waited for a processor, is the steadier figure.
std::pair<TTimes, TTimes> Best(int runs, const TTask& ours, const TTask& baseline)
{
    TTimes best[2];
    for (int i = 0; i < runs; ++i)
        for (int k = 0; k < 2; ++k) {
            const TTask& task = k == 0 ? ours : baseline;
            if (task.prepare)
                task.prepare();
            const double cpu = ThreadSeconds();
            const auto start = Clock::now();
            task.work();
            best[k].wall = std::min(best[k].wall, std::chrono::duration<double>(Clock::now() - start).count());
            best[k].cpu = std::min(best[k].cpu, ThreadSeconds() - cpu);
        }
    return {best[0], best[1]};
}

void Report(const char* label, const TTimes& measured, const TTimes& baseline)
{
    std::printf("%-20s wall %8.3f ms vs %8.3f ms  ratio %5.2f   cpu %8.3f ms vs %8.3f ms  ratio %5.2f\n", label,
                measured.wall * 1e3, baseline.wall * 1e3, measured.wall / baseline.wall, measured.cpu * 1e3,
                baseline.cpu * 1e3, measured.cpu / baseline.cpu);
}

std::string Text(const char* at)
{
    return std::string(at + 1, static_cast<unsigned char>(at[0]));
}

int32_t Int(const char* at)
{
    uint32_t v;
    std::memcpy(&v, at, 4);
    return static_cast<int32_t>(v);
}

void PutText(char* at, const std::string& s, std::size_t capacity)
{
    const std::size_t n = std::min(s.size(), capacity);
    at[0] = static_cast<char>(n);
    std::memcpy(at + 1, s.data(), n);
}

std::vector<TPlainRow> PlainDecode(const std::string& bytes)
{
    std::vector<TPlainRow> rows;
    rows.reserve(bytes.size() / kPluRecordSize);
    for (std::size_t at = 0; at + kPluRecordSize <= bytes.size(); at += kPluRecordSize) {
        const char* r = bytes.data() + at;
        TPlainRow p;
        p.numb = Int(r);
        p.unit = Text(r + 4);
        p.barcode = Text(r + 25);
        p.name = Text(r + 50);
        std::memcpy(&p.price, r + 80, 8);
        p.group = Int(r + 88);
        p.subGroup = Int(r + 92);
        p.taxGroup = Int(r + 96);
        p.payType = Int(r + 100);
        p.alteTaxe = Text(r + 104);
        p.taxValue = Text(r + 120);
        p.comment = Text(r + 136);
        p.flags = Text(r + 158);
        rows.push_back(std::move(p));
    }
    return rows;
}

std::string PlainEncode(const std::vector<TPlainRow>& rows)
{
    std::string bytes(rows.size() * kPluRecordSize, '\0');
    char* r = bytes.data();
    for (const auto& p : rows) {
        std::memcpy(r, &p.numb, 4);
        PutText(r + 4, p.unit, 20);
        PutText(r + 25, p.barcode, 24);
        PutText(r + 50, p.name, 24);
        std::memcpy(r + 80, &p.price, 8);
        std::memcpy(r + 88, &p.group, 4);
        std::memcpy(r + 92, &p.subGroup, 4);
        std::memcpy(r + 96, &p.taxGroup, 4);
        std::memcpy(r + 100, &p.payType, 4);
        PutText(r + 104, p.alteTaxe, 15);
        PutText(r + 120, p.taxValue, 15);
        PutText(r + 136, p.comment, 21);
        PutText(r + 158, p.flags, 12);
        r += kPluRecordSize;
    }
    return bytes;
}

bool PlainRead(const std::string& path, std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes.resize(static_cast<std::size_t>(std::filesystem::file_size(path)));
    const bool ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    return ok;
}

bool PlainWrite(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::fsync(fd) == 0;
    return (::close(fd) == 0) && ok;
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : kMaxPluNumb;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    if (rows < 1 || rows > kMaxPluNumb || runs < 1) {
        std::fprintf(stderr, "usage: plu_table_bench [ROWS 1..%d [RUNS]]\n", kMaxPluNumb);
        return 2;
    }
    char dirTemplate[] = "/tmp/plubench-XXXXXX";
    if (!::mkdtemp(dirTemplate))
        return 1;
    const std::string dir = dirTemplate;
    const std::string ours = dir + "/table.plu";
    const std::string plain = dir + "/plain.plu";

    PluTable table;
    Fill(table, rows);
    std::printf("%d rows, best of %d runs\n", rows, runs);

    // Save. The plain rows are what the file holds.
    std::string error;
    bool ok = SavePluFile(ours, table, error);
    std::string bytes;
    ok = PlainRead(ours, bytes) && ok;
    const std::vector<TPlainRow> plainRows = PlainDecode(bytes);
    auto [save, saveBase] = Best(runs, {nullptr, [&] { ok = SavePluFile(ours, table, error) && ok; }},
                                 {nullptr, [&] { ok = PlainWrite(plain, PlainEncode(plainRows)) && ok; }});
    Report(".plu save", save, saveBase);

    // Load.
    PluTable loaded;
    TUsedBarcodes barcodes;
    std::vector<TPlainRow> decoded;
    auto [load, loadBase] = Best(runs, {nullptr, [&] { ok = LoadPluFile(ours, loaded, barcodes).Ok && ok; }},
                                 {nullptr, [&] {
                                      std::string read;
                                      ok = PlainRead(plain, read) && ok;
                                      decoded = PlainDecode(read);
                                  }});
    Report(".plu load", load, loadBase);
    ok = ok && loaded.Count() == rows && decoded.size() == static_cast<std::size_t>(rows);

    // Sorts, each from creation order (the table sorted on NUMB), against
    // the same keys copied out in that order.
    auto sortBoth = [&](F field, const char* label, auto key) {
        std::vector<decltype(key(decoded.front()))> keys;
        auto [sort, base] = Best(runs, {[&] { loaded.Sort(F::NUMB, true); }, [&] { loaded.Sort(field, true); }},
                                 {[&] {
                                      keys.clear();
                                      for (const auto& p : decoded)
                                          keys.push_back(key(p));
                                  },
                                  [&] { std::stable_sort(keys.begin(), keys.end()); }});
        Report(label, sort, base);
    };
    sortBoth(F::NAME, "sort on NAME", [](const TPlainRow& p) { return p.name; });
    sortBoth(F::PRICE_SELL, "sort on PRICE_SELL", [](const TPlainRow& p) { return p.price; });

    // Search for the last row's name, in creation order.
    loaded.Sort(F::NUMB, true);
    const std::string last = loaded.Row(rows - 1).NAME;
    int found = -1;
    std::size_t foundBase = 0;
    auto [search, searchBase] = Best(runs, {nullptr, [&] { found = loaded.Find(F::NAME, last); }},
                                     {nullptr, [&] {
                                          foundBase = decoded.size();
                                          for (std::size_t i = 0; i < decoded.size(); ++i)
                                              if (decoded[i].name.compare(0, last.size(), last) == 0) {
                                                  foundBase = i;
                                                  break;
                                              }
                                      }});
    Report("search last NAME", search, searchBase);
    ok = ok && found >= 0 && found <= static_cast<int>(foundBase);

    std::filesystem::remove_all(dir);
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
