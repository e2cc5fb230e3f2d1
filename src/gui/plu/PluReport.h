#pragma once
// The printed PLU list: the visible columns of a grid, in the grid's column
// order, and every row of its model in display order, laid out for A4 at
// the grid's column widths (not squeezed to the page). Columns that do not
// fit beside each other continue on further pages, each with the column
// headers again; rows run over as many pages as they need, the headers
// repeated on every page.
//
// Report pixels are 1/96 inch whatever the printer's resolution: the title
// is bold Arial 16 px on white, the headers bold white Arial 13 px on teal,
// the cells Arial 13 px, black on white; headers and cells are framed on
// all four sides. Where Arial is missing the system's sans-serif font
// stands in.

#include <QString>
#include <QStringList>
#include <vector>

class QPrinter;
class QTableView;
class QWidget;

class TPluReport {
public:
    // Takes the texts of grid as they are now.
    TPluReport(const QTableView& grid, const QString& title);

    // Prepares printer for the report: A4, portrait.
    static void SetUpPrinter(QPrinter& printer);
    // Paints every page on printer. False when the printer could not start
    // (for a PDF file: the file could not be written).
    bool Print(QPrinter& printer) const;

private:
    struct TColumn {
        QString title;
        int width = 0; // report pixels
        bool rightAligned = false;
    };
    QString title_;
    std::vector<TColumn> columns_;
    std::vector<QStringList> rows_;
};

// Shows the report of grid in a print preview, from which the user prints
// or saves it as a PDF file.
void ShowPluReportPreview(const QTableView& grid, const QString& title, QWidget* parent);
