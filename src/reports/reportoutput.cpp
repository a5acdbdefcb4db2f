#include "reports/reportoutput.h"

#include <QDir>
#include <QPushButton>
#include <QStandardPaths>

namespace vellumar {

namespace {

const QList<ReportColumn>& statementColumns() {
    static const QList<ReportColumn> columns = [] {
        const QStringList& titles = LedgerSheet::titles();
        const double weights[LedgerSheet::ColumnCount] = {0.5, 1.8, 0.7, 0.55, 0.8, 1.0, 2.5, 2.2};
        const Qt::Alignment alignments[LedgerSheet::ColumnCount] = {
            Qt::AlignHCenter, Qt::AlignLeft,  Qt::AlignRight, Qt::AlignHCenter,
            Qt::AlignRight,   Qt::AlignRight, Qt::AlignLeft,  Qt::AlignLeft};
        QList<ReportColumn> all;
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            all.append({titles[column], weights[column], alignments[column]});
        return all;
    }();
    return columns;
}

// The cells of the rows; the list of rows goes with them, so it lives as long as they do.
std::function<QString(qint64, int)> cellsOf(const LedgerSheet& sheet, std::vector<int> rows) {
    return [&sheet, rows = std::move(rows)](qint64 row, int column) {
        return sheet.cell(rows[size_t(row)], column);
    };
}

QString suggestedPath(const QString& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    QString safe = name;
    for (const QChar c : {u'/', u'\\', u':', u'*', u'?', u'"', u'<', u'>', u'|'})
        safe.replace(c, u'_');
    return QDir(folder).filePath(safe);
}

PageProgress pageProgress(Progress& progress) {
    return [&progress](int page, int pages) {
        // While pages are counted the total is not known yet.
        return progress.advance(pages > 0 ? page : 0);
    };
}

// Asks where the file goes, then writes it; the operator hears why when it could not be.
// True when the file was written (not cancelled, not stopped).
bool writeChosenFile(Host& host, const FileFilter& filter, const QString& kind,
                     const QString& suggestedName,
                     const std::function<Result<bool>(const QString& path)>& write) {
    const std::optional<QString> path =
        host.chooseFileToSave({filter}, suggestedPath(suggestedName + filter.pattern.mid(1)));
    if (!path)
        return false;
    const Result<bool> saved = write(*path);
    if (!saved) {
        host.reportFailure(
            saved.status(),
            QStringLiteral("%1没有保存：%2\n").arg(kind, QDir::toNativeSeparators(*path)));
        return false;
    }
    return *saved;
}

} // namespace

QPushButton* addReportButton(QDialogButtonBox* box, const QString& text, const char* name,
                             QDialogButtonBox::ButtonRole role) {
    QPushButton* made = box->addButton(text, role);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

ReportDocument statementDocument(const LedgerSheet& sheet, const Statement& statement,
                                 const QString& holder, const QString& heading, const Host& host) {
    ReportDocument document;
    document.heading = heading.trimmed();
    document.title = QStringLiteral("对账单");
    document.details = {QStringLiteral("账户：") + holder,
                        QStringLiteral("期间：") + statement.period.describe()};
    document.runningHead =
        QStringList{document.heading, document.title, holder}.join(u' ').trimmed();
    document.columns = statementColumns();
    document.printedOn = QStringLiteral("打印日期：") + host.toText(host.now());

    ReportSection records;
    records.rows = qint64(statement.rows.size());
    records.cell = cellsOf(sheet, statement.rows);
    const QString totalTitle = LedgerSheet::titles().at(LedgerSheet::Total);
    records.after = {(statement.period.isAll() ? QStringLiteral("合计（%1）：")
                                               : QStringLiteral("本期合计（%1）："))
                             .arg(totalTitle) +
                         host.toText(statement.total.toDouble()),
                     QStringLiteral("记录数：%1 条").arg(statement.rows.size())};
    if (statement.rows.empty())
        records.after.prepend(QStringLiteral("这一期间没有记录。"));
    document.sections.append(records);

    if (!statement.undatedRows.empty()) {
        ReportSection undated;
        undated.heading = QStringLiteral("以下 %1 条记录的日期无法识别，不知是否属于这一期间，"
                                         "没有计入上面的合计：")
                              .arg(statement.undatedRows.size());
        undated.rows = qint64(statement.undatedRows.size());
        undated.cell = cellsOf(sheet, statement.undatedRows);
        document.sections.append(undated);
    }
    return document;
}

Xlsx::Table ledgerTable(const LedgerSheet& sheet, const std::vector<int>& rows,
                        const QList<int>& columnWidths) {
    using Xlsx::CellKind;
    const CellKind kinds[LedgerSheet::ColumnCount] = {
        CellKind::Number, CellKind::Text,   CellKind::Number,   CellKind::Text,
        CellKind::Number, CellKind::Number, CellKind::DateTime, CellKind::Text};
    Xlsx::Table table;
    table.sheetName = QStringLiteral("账目");
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        table.columns.append({LedgerSheet::titles().at(column), columnWidths.value(column, 100),
                              kinds[column], column == LedgerSheet::Remark});
    table.rows = qint64(rows.size());
    table.cell = cellsOf(sheet, rows);
    table.totals = Xlsx::Totals{
        LedgerSheet::UnitPrice, QStringLiteral("合计"), {LedgerSheet::Total}, LedgerSheet::Remark};
    return table;
}

namespace {

// Paints the document onto whatever device the host hands over, with the work shown as the
// text; finished, when given, tells whether every page was painted (not stopped).
PagePainter reportPainter(Host& host, const ReportDocument& document, const QString& text,
                          bool* finished = nullptr) {
    return [&host, &document, text, finished](QPagedPaintDevice& device) {
        const std::unique_ptr<Progress> progress = host.startProgress(text, 0);
        const Result<bool> painted = paintReport(document, device, pageProgress(*progress));
        if (finished)
            *finished = painted && *painted;
        return painted ? Status() : painted.status();
    };
}

} // namespace

namespace ReportOutput {

void preview(Host& host, const ReportDocument& document) {
    host.previewPrint(document.title, reportPainter(host, document, QStringLiteral("正在排版…")));
}

bool print(Host& host, const ReportDocument& document) {
    bool finished = false;
    const Result<bool> printed = host.print(
        document.title, reportPainter(host, document, QStringLiteral("正在打印…"), &finished));
    if (!printed) {
        host.reportFailure(printed.status(), QStringLiteral("打印没有完成。\n"));
        return false;
    }
    return *printed && finished;
}

bool savePdf(Host& host, const ReportDocument& document, const QString& suggestedName) {
    const FileFilter pdf{QStringLiteral("PDF 文件（*.pdf）"), QStringLiteral("*.pdf")};
    return writeChosenFile(host, pdf, QStringLiteral("PDF 文件"), suggestedName,
                           [&](const QString& path) {
                               const std::unique_ptr<Progress> progress =
                                   host.startProgress(QStringLiteral("正在生成 PDF 文件…"), 0);
                               return saveReportPdf(document, path, pageProgress(*progress));
                           });
}

bool saveWorkbook(Host& host, const Xlsx::Table& table, const QString& suggestedName) {
    const FileFilter workbook{QStringLiteral("Excel 工作簿（*.xlsx）"), QStringLiteral("*.xlsx")};
    QString written;
    const bool saved = writeChosenFile(
        host, workbook, QStringLiteral("Excel 文件"), suggestedName, [&](const QString& path) {
            written = path;
            const std::unique_ptr<Progress> progress =
                host.startProgress(QStringLiteral("正在导出到 Excel 文件…"), table.rows);
            return Xlsx::write(
                path, table, [&progress](qint64 done, qint64) { return progress->advance(done); });
        });
    if (saved)
        host.messageBox(QStringLiteral("已导出 %1 行到 Excel 文件：\n%2")
                            .arg(table.rows)
                            .arg(QDir::toNativeSeparators(written)),
                        MessageFlags::IconInformation, QStringLiteral("提示"));
    return saved;
}

} // namespace ReportOutput

} // namespace vellumar
