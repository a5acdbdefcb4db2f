#include "reports/reportdocument.h"

#include "storage/fileerror.h"
#include "storage/safefile.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace vellumar {

namespace {

// The font the reports are printed in: a TrueType CJK font that PDF files carry inside them,
// so a statement reads the same on a computer without Chinese fonts.
QFont reportFont(double points, bool bold = false) {
    QFont font(QStringLiteral("AR PL UKai CN"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The lines a text takes within the width: its own line breaks, and breaks where a line
// would run past the width (between words where there are words, anywhere else otherwise).
QStringList wrapped(const QString& text, const QFont& font, QPaintDevice* device, qreal width) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QChar(u'\r'), QChar(u'\n'));
    const QFontMetricsF metrics(font, device);
    QStringList lines;
    for (const QString& paragraph : plain.split(QChar(u'\n'))) {
        if (metrics.horizontalAdvance(paragraph) <= width) {
            lines.append(paragraph);
            continue;
        }
        QTextLayout layout(paragraph, font, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(paragraph.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
    return lines;
}

// Walks the document page by page. Without a painter it only counts the pages; with one it
// paints them, knowing how many there are.
class Pages {
public:
    Pages(const ReportDocument& document, QPagedPaintDevice& device, QPainter* painter,
          int pageCount)
        : m_document(document), m_device(device), m_painter(painter), m_pageCount(pageCount),
          m_cell(reportFont(9)), m_header(reportFont(9, true)), m_detail(reportFont(10.5)),
          m_title(reportFont(18, true)), m_heading(reportFont(13)), m_small(reportFont(8)) {
        m_width = device.width();
        m_height = device.height();
        const QFontMetricsF metrics(m_cell, &device);
        m_line = metrics.lineSpacing();
        m_pad = m_line * 0.3;
        m_bottom = m_height - QFontMetricsF(m_small, &device).lineSpacing() * 2;
        double weights = 0;
        for (const ReportColumn& column : document.columns)
            weights += column.weight;
        double x = 0;
        for (const ReportColumn& column : document.columns) {
            const double width = m_width * column.weight / std::max(weights, 1e-9);
            m_columnX.append(x);
            m_columnWidth.append(width);
            x += width;
        }
    }

    // False when stopped.
    bool run(const PageProgress& progress) {
        m_progress = progress;
        if (!startPage())
            return false;
        firstPageTop();
        for (const ReportSection& section : m_document.sections)
            if (!table(section))
                return false;
        return true;
    }

    int pages() const { return m_page; }

private:
    bool startPage() {
        if (m_page > 0 && m_painter)
            m_device.newPage();
        ++m_page;
        if (m_progress && !m_progress(m_page, m_pageCount))
            return false;
        m_y = 0;
        footer();
        if (m_page > 1 && !m_document.runningHead.isEmpty()) {
            text(QRectF(0, 0, m_width, lineOf(m_small)), m_small, Qt::AlignLeft,
                 m_document.runningHead);
            m_y = lineOf(m_small) * 1.5;
        }
        return true;
    }

    void footer() {
        if (!m_painter)
            return;
        const double line = lineOf(m_small);
        const double top = m_height - line;
        m_painter->setPen(QPen(Qt::black, 0));
        m_painter->drawLine(QPointF(0, top - line * 0.3), QPointF(m_width, top - line * 0.3));
        text(QRectF(0, top, m_width, line), m_small, Qt::AlignLeft, m_document.printedOn);
        text(QRectF(0, top, m_width, line), m_small, Qt::AlignRight,
             QStringLiteral("第 %1 页 / 共 %2 页").arg(m_page).arg(m_pageCount));
    }

    void firstPageTop() {
        if (!m_document.heading.isEmpty())
            centred(m_heading, m_document.heading);
        centred(m_title, m_document.title);
        m_y += lineOf(m_detail) * 0.3;
        for (const QString& detail : m_document.details)
            paragraph(m_detail, detail);
        m_y += lineOf(m_detail) * 0.5;
    }

    void centred(const QFont& font, const QString& line) {
        for (const QString& part : wrapped(line, font, &m_device, m_width)) {
            text(QRectF(0, m_y, m_width, lineOf(font)), font, Qt::AlignHCenter, part);
            m_y += lineOf(font);
        }
    }

    // Lines of running text, going on over the next page where they must.
    bool paragraph(const QFont& font, const QString& line) {
        for (const QString& part : wrapped(line, font, &m_device, m_width)) {
            if (m_y + lineOf(font) > m_bottom && !startPage())
                return false;
            text(QRectF(0, m_y, m_width, lineOf(font)), font, Qt::AlignLeft, part);
            m_y += lineOf(font);
        }
        return true;
    }

    bool table(const ReportSection& section) {
        if (!section.heading.isEmpty()) {
            // A heading never stands alone at the foot of a page.
            if (m_y + lineOf(m_detail) + headerHeight() + rowHeight(1) > m_bottom && !startPage())
                return false;
            m_y += lineOf(m_detail) * 0.3;
            if (!paragraph(m_detail, section.heading))
                return false;
        }
        if (m_y + headerHeight() + rowHeight(1) > m_bottom && !startPage())
            return false;
        titleRow();
        for (qint64 row = 0; row < section.rows; ++row)
            if (!record(section, row))
                return false;
        m_y += lineOf(m_detail) * 0.3;
        for (const QString& line : section.after)
            if (!paragraph(m_detail, line))
                return false;
        return true;
    }

    double headerHeight() const {
        if (m_headerLines.isEmpty()) {
            qsizetype lines = 1;
            for (int column = 0; column < m_document.columns.size(); ++column) {
                const QStringList cell = wrapped(m_document.columns[column].title, m_header,
                                                 &m_device, m_columnWidth[column] - 2 * m_pad);
                lines = std::max(lines, cell.size());
                m_headerLines.append(cell);
            }
            m_headerRows = int(lines);
        }
        return m_headerRows * m_line + 2 * m_pad;
    }

    double rowHeight(qsizetype lines) const { return double(lines) * m_line + 2 * m_pad; }

    void titleRow() {
        const double height = headerHeight();
        if (m_painter)
            m_painter->fillRect(QRectF(0, m_y, m_width, height), QColor(230, 230, 230));
        QList<QStringList> lines = m_headerLines;
        cells(lines, 0, m_headerRows, height, m_header, true);
        m_y += height;
    }

    bool record(const ReportSection& section, qint64 row) {
        QList<QStringList> lines;
        qsizetype rowLines = 1;
        for (int column = 0; column < m_document.columns.size(); ++column) {
            lines.append(wrapped(section.cell(row, column), m_cell, &m_device,
                                 m_columnWidth[column] - 2 * m_pad));
            rowLines = std::max(rowLines, lines.last().size());
        }
        const double freshRoom = m_bottom - pageTop() - headerHeight();
        qsizetype from = 0;
        while (from < rowLines) {
            const qsizetype left = rowLines - from;
            const auto fit = qsizetype(std::floor((m_bottom - m_y - 2 * m_pad) / m_line));
            if (fit >= left) {
                cells(lines, from, left, rowHeight(left), m_cell, false);
                m_y += rowHeight(left);
                return true;
            }
            // A row that fits on a page of its own starts on the next one; a longer one is
            // split where the page ends. A fresh page takes at least one line of it.
            const bool freshPage = m_y <= pageTop() + headerHeight() + 1e-6;
            if (freshPage || (fit >= 1 && rowHeight(left) > freshRoom)) {
                const qsizetype taken = std::max<qsizetype>(fit, 1);
                cells(lines, from, taken, rowHeight(taken), m_cell, false);
                from += taken;
                if (from >= rowLines) {
                    m_y += rowHeight(taken);
                    return true;
                }
            }
            if (!startPage())
                return false;
            titleRow();
        }
        return true;
    }

    double pageTop() const {
        return m_page > 1 && !m_document.runningHead.isEmpty() ? lineOf(m_small) * 1.5 : 0;
    }

    void cells(const QList<QStringList>& lines, qsizetype from, qsizetype count, double height,
               const QFont& font, bool centred) {
        if (!m_painter)
            return;
        m_painter->setPen(QPen(Qt::black, 0));
        for (int column = 0; column < m_document.columns.size(); ++column) {
            const QRectF box(m_columnX[column], m_y, m_columnWidth[column], height);
            m_painter->drawRect(box);
            const Qt::Alignment alignment =
                centred ? Qt::AlignHCenter : m_document.columns[column].alignment;
            const QStringList& cell = lines[column];
            for (qsizetype n = 0; n < count && from + n < cell.size(); ++n)
                text(QRectF(box.x() + m_pad, m_y + m_pad + double(n) * m_line,
                            box.width() - 2 * m_pad, m_line),
                     font, alignment, cell[from + n]);
        }
    }

    void text(const QRectF& box, const QFont& font, Qt::Alignment alignment, const QString& line) {
        if (!m_painter || line.isEmpty())
            return;
        m_painter->setFont(font);
        m_painter->drawText(box, int(alignment | Qt::AlignVCenter | Qt::TextSingleLine), line);
    }

    double lineOf(const QFont& font) const { return QFontMetricsF(font, &m_device).lineSpacing(); }

    const ReportDocument& m_document;
    QPagedPaintDevice& m_device;
    QPainter* m_painter;
    int m_pageCount;
    PageProgress m_progress;
    QFont m_cell, m_header, m_detail, m_title, m_heading, m_small;
    double m_width = 0, m_height = 0, m_bottom = 0, m_line = 0, m_pad = 0, m_y = 0;
    QList<double> m_columnX, m_columnWidth;
    mutable QList<QStringList> m_headerLines;
    mutable int m_headerRows = 1;
    int m_page = 0;
};

} // namespace

Result<bool> paintReport(const ReportDocument& document, QPagedPaintDevice& device,
                         const PageProgress& progress) {
    Pages counting(document, device, nullptr, 0);
    if (!counting.run(progress ? [&](int page, int) { return progress(page, 0); } : PageProgress()))
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return Status::failure(QStringLiteral("无法开始打印：打印机或文件没有准备好。"));
    Pages painting(document, device, &painter, counting.pages());
    const bool finished = painting.run(progress);
    painter.end();
    return finished;
}

Result<bool> saveReportPdf(const ReportDocument& document, const QString& path,
                           const PageProgress& progress) {
    SafeFileWriter file(path);
    if (Status opened = file.open(); !opened)
        return opened;
    Result<bool> painted = false;
    {
        QPdfWriter pdf(&file.device());
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        pdf.setResolution(300);
        pdf.setTitle(document.title);
        pdf.setCreator(QStringLiteral("Vellumar"));
        painted = paintReport(document, pdf, progress);
    }
    // An unfinished file goes with the writer; commit refuses one that was not written whole.
    if (!painted || !*painted)
        return painted;
    if (Status committed = file.commit(); !committed)
        return committed;
    return true;
}

} // namespace vellumar
