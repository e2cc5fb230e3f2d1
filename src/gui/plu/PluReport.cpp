#include "gui/plu/PluReport.h"

#include "gui/app/GuiText.h"
#include "gui/app/MyMessageUnit.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTableView>
#include <QToolBar>
#include <algorithm>

namespace {

constexpr qreal kReportDpi = 96.0;
constexpr int kTitlePixels = 16;
constexpr int kCellPixels = 13;
constexpr qreal kCellPadding = 4.0;
constexpr qreal kPageMarginMm = 10.0;
const QColor kTeal(0, 128, 128);

QFont ReportFont(int pixels, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void DrawCell(QPainter& painter, const QRectF& rect, const QString& text, Qt::Alignment align,
              const QColor& background, const QColor& foreground)
{
    painter.fillRect(rect, background);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect);
    painter.setPen(foreground);
    painter.drawText(rect.adjusted(kCellPadding, 0, -kCellPadding, 0), align | Qt::AlignVCenter,
                     text);
}

} // namespace

TPluReport::TPluReport(const QTableView& grid, const QString& title) : title_(title)
{
    const QAbstractItemModel* model = grid.model();
    const QHeaderView* header = grid.horizontalHeader();
    const QFontMetricsF headerMetrics(ReportFont(kCellPixels, true));
    std::vector<int> logical;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column))
            continue;
        TColumn c;
        c.title = model->headerData(column, Qt::Horizontal).toString();
        c.width = std::max(header->sectionSize(column),
                           qRound(headerMetrics.horizontalAdvance(c.title) + 2 * kCellPadding + 1));
        c.rightAligned = model->rowCount() > 0 &&
                         (model->index(0, column).data(Qt::TextAlignmentRole).toInt() &
                          Qt::AlignRight) != 0;
        columns_.push_back(c);
        logical.push_back(column);
    }
    const int rows = model->rowCount();
    rows_.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(logical.size()));
        for (int column : logical)
            texts << model->index(row, column).data().toString();
        rows_.push_back(std::move(texts));
    }
}

void TPluReport::SetUpPrinter(QPrinter& printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                           QPageLayout::Millimeter);
}

bool TPluReport::Print(QPrinter& printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const qreal scale = printer.resolution() / kReportDpi;
    painter.scale(scale, scale);
    const QRectF device = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF page(0, 0, device.width() / scale, device.height() / scale);

    const QFont titleFont = ReportFont(kTitlePixels, true);
    const QFont headerFont = ReportFont(kCellPixels, true);
    const QFont cellFont = ReportFont(kCellPixels, false);
    const qreal titleHeight = QFontMetricsF(titleFont).height() + 12;
    const qreal headerHeight = QFontMetricsF(headerFont).height() + 6;
    const qreal rowHeight = QFontMetricsF(cellFont).height() + 6;

    // Columns side by side as long as they fit; a column wider than the page
    // stands alone (and is cut at the page edge).
    std::vector<std::pair<size_t, size_t>> bands;
    for (size_t first = 0; first < columns_.size();) {
        size_t last = first;
        qreal width = columns_[first].width;
        while (last + 1 < columns_.size() && width + columns_[last + 1].width <= page.width())
            width += columns_[++last].width;
        bands.emplace_back(first, last);
        first = last + 1;
    }

    bool firstPage = true;
    for (const auto& [first, last] : bands) {
        size_t row = 0;
        do {
            if (!firstPage)
                printer.newPage();
            qreal y = 0;
            if (firstPage) {
                painter.setFont(titleFont);
                painter.setPen(Qt::black);
                painter.fillRect(QRectF(0, 0, page.width(), titleHeight), Qt::white);
                painter.drawText(QRectF(0, 0, page.width(), titleHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, title_);
                y = titleHeight;
            }
            firstPage = false;
            painter.setFont(headerFont);
            qreal x = 0;
            for (size_t c = first; c <= last; ++c) {
                DrawCell(painter, QRectF(x, y, columns_[c].width, headerHeight), columns_[c].title,
                         Qt::AlignLeft, kTeal, Qt::white);
                x += columns_[c].width;
            }
            y += headerHeight;
            painter.setFont(cellFont);
            while (row < rows_.size() && y + rowHeight <= page.height()) {
                x = 0;
                for (size_t c = first; c <= last; ++c) {
                    DrawCell(painter, QRectF(x, y, columns_[c].width, rowHeight), rows_[row][c],
                             columns_[c].rightAligned ? Qt::AlignRight : Qt::AlignLeft, Qt::white,
                             Qt::black);
                    x += columns_[c].width;
                }
                y += rowHeight;
                ++row;
            }
        } while (row < rows_.size());
    }
    return painter.end();
}

namespace {

// The preview's own command beside its print button: the report as a PDF
// file, for a user without a printer.
void SaveAsPdf(const TPluReport& report, QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save as PDF"));
    dialog.setObjectName(QStringLiteral("PdfSaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("PDF files (*.pdf)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    // The printer only says that it failed; the file says why.
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        MyMessageDlg(ToCp(path + QStringLiteral(": ") + probe.errorString()).value_or(std::string()),
                     mtError, mbOK);
        return;
    }
    probe.close();
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    TPluReport::SetUpPrinter(pdf);
    if (!report.Print(pdf))
        MyMessageDlg(ToCp(path + QStringLiteral(": could not be written")).value_or(std::string()),
                     mtError, mbOK);
}

} // namespace

void ShowPluReportPreview(const QTableView& grid, const QString& title, QWidget* parent)
{
    const TPluReport report(grid, title);
    QPrinter printer(QPrinter::HighResolution);
    TPluReport::SetUpPrinter(printer);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&report](QPrinter* target) { report.Print(*target); });
    if (auto* toolbar = preview.findChild<QToolBar*>()) {
        auto* save = new QAction(QStringLiteral("Save as PDF"), &preview);
        save->setObjectName(QStringLiteral("actSaveAsPdf"));
        save->setIcon(preview.style()->standardIcon(QStyle::SP_DialogSaveButton));
        toolbar->addSeparator();
        toolbar->addAction(save);
        QObject::connect(save, &QAction::triggered, &preview,
                         [&report, &preview] { SaveAsPdf(report, &preview); });
    }
    preview.resize(900, 700);
    preview.exec();
}
