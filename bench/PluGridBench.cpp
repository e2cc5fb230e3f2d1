// The PLU grid at the table's largest (29 999 rows), offscreen, against a
// plain grid doing the same work, measured side by side in one run:
//   fill + reset   the PLU view's table filled under one held-back update
//                  (the grid model resets once)  vs  a plain table model over
//                  a vector of the same rows, reset around the same appends
//   first paint    the PLU grid painted after the reset  vs  the plain grid
//                  of the same size, font and row height
// The plain model shows the same texts (the row's display text through the
// same code page conversion) and has nothing else: no silver rows, no
// alignment, no selection kept across sorts. Each figure is the best of
// several runs. Usage: plu_grid_bench [ROWS [RUNS]]

#include "core/app/ConstUnit.h"
#include "core/plu/PluTable.h"
#include "gui/app/GuiText.h"
#include "gui/plu/PluGridModel.h"
#include "gui/plu/PluListUnit.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using F = TPluField;

class TPlainModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : kPluGridColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return FromCp(rows_[index.row()].DisplayText(TPluGridModel::FieldOfColumn(index.column())));
    }
    void Load(const std::vector<TPluRow>& rows)
    {
        beginResetModel();
        rows_.clear();
        rows_.reserve(rows.size());
        for (const TPluRow& row : rows)
            rows_.push_back(row);
        endResetModel();
    }

private:
    std::vector<TPluRow> rows_;
};

std::vector<TPluRow> SampleRows(int count)
{
    std::mt19937 random(42);
    std::vector<TPluRow> rows;
    rows.reserve(count);
    for (int n = 1; n <= count; ++n) {
        TPluRow r;
        r.SetInt(F::NUMB, n);
        r.SetText(F::NAME, "Article " + std::to_string(random() % 100000));
        r.SetText(F::UNIT, "BUC");
        r.SetInt(F::TAX_GROUP, 2);
        r.SetInt(F::PAY_TYPE, 1);
        r.SetInt(F::PLU_GROUP, 1 + n % 30);
        r.SetText(F::BARCODE, std::to_string(3800000000000LL + n));
        r.SetFloat(F::PRICE_SELL, (random() % 100000) / 100.0);
        r.SetInt(F::PLU_SUBGROUP, 1 + n % 10);
        r.SetText(F::FLAGS, n % 7 == 0 ? "000000010" : "000000000");
        rows.push_back(r);
    }
    return rows;
}

struct TFigures {
    double fill = 1e9;
    double paint = 1e9;
};

double Seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Keep(TFigures& best, double fill, double paint)
{
    best.fill = std::min(best.fill, fill);
    best.paint = std::min(best.paint, paint);
}

void Print(const char* label, double ours, double plain)
{
    std::printf("%-14s %9.2f ms  plain %9.2f ms  ratio %.2f\n", label, ours * 1e3, plain * 1e3,
                ours / plain);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 29999;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (count < 1 || count > kMaxPluNumb || runs < 1) {
        std::fprintf(stderr, "usage: plu_grid_bench [ROWS (1..%d) [RUNS]]\n", kMaxPluNumb);
        return 2;
    }
    QTemporaryDir home;
    InitProgramLocation(QFile::encodeName(home.filePath("morvane-tessel")).toStdString());
    const std::vector<TPluRow> rows = SampleRows(count);
    const QSize size(1000, 700);

    TPluListFrame view;
    view.resize(size + QSize(200, 100));
    view.show();
    view.InitPluView();
    QTableView* grid = view.PluesGrid();
    grid->setFixedSize(size);

    TPlainModel plainModel;
    QTableView plain;
    plain.setModel(&plainModel);
    plain.setFont(grid->font());
    plain.verticalHeader()->hide();
    plain.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    plain.verticalHeader()->setDefaultSectionSize(grid->verticalHeader()->defaultSectionSize());
    for (int c = 0; c < kPluGridColumnCount; ++c)
        plain.horizontalHeader()->resizeSection(c, grid->horizontalHeader()->sectionSize(c));
    plain.resize(size);
    plain.show();
    QCoreApplication::processEvents();

    TFigures ours, base;
    for (int run = 0; run < runs; ++run) {
        PluTable& table = view.Table();
        const double fill = Seconds([&] {
            TPluUpdateGuard quiet(table);
            table.Clear();
            table.Reserve(count);
            for (const TPluRow& row : rows)
                table.AppendRow(row);
        });
        const double paint = Seconds([&] { grid->grab(); });
        Keep(ours, fill, paint);

        const double plainFill = Seconds([&] { plainModel.Load(rows); });
        const double plainPaint = Seconds([&] { plain.grab(); });
        Keep(base, plainFill, plainPaint);
    }
    std::printf("PLU grid, %d rows, %dx%d px offscreen, best of %d runs\n", count, size.width(),
                size.height(), runs);
    Print("fill + reset", ours.fill, base.fill);
    Print("first paint", ours.paint, base.paint);
    Print("both", ours.fill + ours.paint, base.fill + base.paint);
    return 0;
}
