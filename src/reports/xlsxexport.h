#pragma once

#include "host/conversions.h"
#include "storage/status.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

namespace vellumar::Xlsx {

// How the texts of a column go into the workbook. Whatever the kind, a cell reads back in the
// spreadsheet as the text the program shows; a text that a number or date would alter stays
// text, and no text ever becomes a formula.
enum class CellKind {
    Text,
    Number,   // a number where the whole text is plainly one (exactNumber)
    DateTime, // an Excel date where the text is the program's own date form
};

struct Column {
    QString title;
    int widthPixels = 64; // as wide as on the screen
    CellKind kind = CellKind::Text;
    bool wrap = false; // line breaks show as lines
};

// A row at the end that sums number columns with a formula. The value the formula would give
// is stored along with it, so a viewer that does not calculate shows it too.
struct Totals {
    int labelColumn = 0;
    QString label;
    QList<int> sumColumns;
    // Where to say that some cells of a summed column are text the formula leaves out.
    int noteColumn = -1;
};

struct Table {
    QString sheetName;
    QList<Column> columns;
    qint64 rows = 0;
    std::function<QString(qint64 row, int column)> cell;
    std::optional<Totals> totals;
};

// The most data rows a sheet can take below its title row, with the totals row.
constexpr qint64 MaxRows = 1048576 - 2;

// A text that is a number as a spreadsheet shows it: optional minus, digits without leading
// zeros, optional decimals, at most 15 significant digits (what a spreadsheet keeps), ASCII
// only. "007", "1e5", "+3", "-0", "1,000", "３" and "12元" are not. The number of decimals
// gives the format that shows the number as written ("3.50" stays "3.50").
struct ExactNumber {
    double value;
    int decimals;
};
std::optional<ExactNumber> exactNumber(QStringView text);

// Called every few thousand rows; false stops the export, and nothing is written.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Writes the table as a workbook of one sheet: the titles in a frozen first row, then the
// rows, then the totals. The file appears whole or not at all: it is made in a temporary
// folder and then put in place by the crash-safe writer. Answers false when stopped.
Result<bool> write(const QString& path, const Table& table, const Progress& progress = {});

} // namespace vellumar::Xlsx
