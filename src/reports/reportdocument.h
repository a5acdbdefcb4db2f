#pragma once

#include "storage/status.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;

namespace vellumar {

struct ReportColumn {
    QString title;
    double weight = 1.0; // its share of the page's width
    Qt::Alignment alignment = Qt::AlignLeft;
};

// One table of the report, and the lines printed under it.
struct ReportSection {
    QString heading; // above the table; may be empty
    qint64 rows = 0;
    std::function<QString(qint64 row, int column)> cell;
    QStringList after;
};

// A printed list: the shop's heading, a title and a few lines about what is listed, then
// tables whose title row is repeated at the top of every page they run onto. A cell's text is
// wrapped within its column, never cut, and a row too tall for the rest of a page goes on
// over the next. Every page ends with the printing date and "第 N 页 / 共 M 页".
struct ReportDocument {
    QString heading;     // the shop's name line; may be empty
    QString title;       // "对账单"
    QStringList details; // under the title: whose, which period
    QString runningHead; // at the top of the pages after the first
    QList<ReportColumn> columns;
    QList<ReportSection> sections;
    QString printedOn; // at the foot of every page
};

// Called before each page is painted with the page and the number of pages; false stops.
using PageProgress = std::function<bool(int page, int pages)>;

// Lays the document out on the device's pages and paints it. Answers false when stopped.
Result<bool> paintReport(const ReportDocument& document, QPagedPaintDevice& device,
                         const PageProgress& progress = {});

// The document as a PDF file, written crash-safely; false when stopped.
Result<bool> saveReportPdf(const ReportDocument& document, const QString& path,
                           const PageProgress& progress = {});

} // namespace vellumar
