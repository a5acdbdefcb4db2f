#include "reports/receivableswindow.h"

#include "accounts/userlistwindow.h"
#include "frame/windowstyle.h"
#include "reports/reportoutput.h"
#include "reports/statementdialog.h"
#include "storage/settingsfile.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>

namespace vellumar {

namespace {

constexpr int SortRole = Qt::UserRole + 1;

const QStringList& columnTitles() {
    static const QStringList titles = {QStringLiteral("账户"),     QStringLiteral("记录数"),
                                       QStringLiteral("总金额"),   QStringLiteral("首笔日期"),
                                       QStringLiteral("末笔日期"), QStringLiteral("说明")};
    return titles;
}

QString dayText(const QDateTime& moment) {
    return moment.isValid() ? moment.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

} // namespace

void addReceivablesItem(Services services, UserListWindow& window) {
    auto* fileMenu = window.findChild<QMenu*>(QStringLiteral("menuFile"));
    if (!fileMenu)
        return;
    fileMenu->addSeparator();
    QAction* overview = fileMenu->addAction(QStringLiteral("应收汇总…"));
    overview->setObjectName(QStringLiteral("actionReceivables"));
    QObject::connect(overview, &QAction::triggered, &window, [services, &window] {
        // Without readable holders there is nobody to sum up; the list says why.
        if (!window.holders())
            return;
        BooksStore& books = services.books.store();
        // The local ledger files are read several at once; shared books through one reader
        // that sees one state of the server.
        if (books.kind() == BooksStore::Kind::Local) {
            services.frame.open(new ReceivablesWindow(services, window.holders()->users(),
                                                      localLedgerReader(services.paths)));
            return;
        }
        Result<std::unique_ptr<BooksReader>> reader = books.reader();
        if (!reader) {
            services.host.reportFailure(reader.status(), QStringLiteral("无法汇总应收：\n"));
            return;
        }
        services.frame.open(new ReceivablesWindow(
            services, window.holders()->users(),
            booksLedgerReader(std::shared_ptr<BooksReader>(std::move(reader).value()))));
    });
}

ReceivablesWindow::ReceivablesWindow(Services services, QStringList holders, LedgerReader reader,
                                     QWidget* parent)
    : Dialog(parent), m_services(services), m_holders(std::move(holders)),
      m_reader(std::move(reader)) {
    setObjectName(QStringLiteral("ReceivablesWindow"));
    setWindowTitle(QStringLiteral("应收汇总"));
    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels(columnTitles());
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(SortRole);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("receivablesTable"));
    m_table->setAccessibleName(QStringLiteral("各账户应收汇总"));
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder); // list order until a title is clicked
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    const int widths[ColumnCount] = {210, 70, 110, 90, 90, 200};
    for (int column = 0; column < ColumnCount; ++column)
        m_table->horizontalHeader()->resizeSection(column, widths[column]);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_grandTotal = new QLabel(this);
    m_grandTotal->setObjectName(QStringLiteral("grandTotal"));
    m_grandTotal->setAccessibleName(QStringLiteral("应收合计"));
    m_grandTotal->setWordWrap(true);
    QFont bold = m_grandTotal->font();
    bold.setBold(true);
    m_grandTotal->setFont(bold);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exportButton =
        addReportButton(buttons, QStringLiteral("导出为 Excel…"), "exportButton");
    QPushButton* previewButton =
        addReportButton(buttons, QStringLiteral("打印预览…"), "previewButton");
    QPushButton* printButton = addReportButton(buttons, QStringLiteral("打印…"), "printButton");
    QPushButton* pdfButton = addReportButton(buttons, QStringLiteral("保存为 PDF…"), "pdfButton");
    QPushButton* closeButton = addReportButton(buttons, QStringLiteral("关闭"), "closeButton",
                                               QDialogButtonBox::RejectRole);
    closeButton->setDefault(true);
    connect(exportButton, &QPushButton::clicked, this, &ReceivablesWindow::exportWorkbook);
    connect(previewButton, &QPushButton::clicked, this, &ReceivablesWindow::preview);
    connect(printButton, &QPushButton::clicked, this, &ReceivablesWindow::print);
    connect(pdfButton, &QPushButton::clicked, this, &ReceivablesWindow::savePdf);
    connect(closeButton, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
    for (QPushButton* output : {exportButton, previewButton, printButton, pdfButton})
        output->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_grandTotal);
    layout->addWidget(buttons);
    resize(820, 520);
    applyFrameKind(this, FrameKind::Dialog);
}

void ReceivablesWindow::created() {
    compute();
    fill();
    for (auto* output : findChildren<QPushButton*>())
        output->setEnabled(output->objectName() == u"closeButton" || m_overview);
    m_table->setFocus();
}

void ReceivablesWindow::compute() {
    const std::unique_ptr<Progress> progress = m_services.host.startProgress(
        QStringLiteral("正在读取 %1 个账户的账目…").arg(m_holders.size()), m_holders.size());
    m_overview = computeOverview(m_holders, m_reader,
                                 [&progress](int done, int) { return progress->advance(done); });
}

QString ReceivablesWindow::cellText(const HolderSummary& holder, int column) const {
    switch (column) {
    case Holder:
        return holder.holder;
    case Records:
        return holder.readable() ? QString::number(holder.records) : QString();
    case Total:
        return holder.readable() ? m_services.host.toText(holder.total.toDouble()) : QString();
    case First:
        return dayText(holder.first);
    case Last:
        return dayText(holder.last);
    case Note:
        if (!holder.readable())
            return QStringLiteral("账目无法读取：") + holder.status.message();
        if (!holder.hasLedger)
            return QStringLiteral("还没有账目");
        if (holder.undated > 0)
            return QStringLiteral("%1 条记录的日期无法识别").arg(holder.undated);
        return QString();
    default:
        return QString();
    }
}

void ReceivablesWindow::fill() {
    m_model->removeRows(0, m_model->rowCount());
    if (!m_overview) {
        m_grandTotal->setText(
            QStringLiteral("汇总已取消，没有读完所有账目。关闭后可以重新打开汇总。"));
        return;
    }
    constexpr double lowest = -std::numeric_limits<double>::infinity();
    for (const HolderSummary& holder : m_overview->holders) {
        QList<QStandardItem*> row;
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QStandardItem(cellText(holder, column));
            QVariant key = item->text();
            if (column == Records)
                key = holder.readable() ? double(holder.records) : lowest;
            else if (column == Total)
                key = holder.readable() ? holder.total.toDouble() : lowest;
            else if (column == First)
                key = holder.first;
            else if (column == Last)
                key = holder.last;
            item->setData(key, SortRole);
            if (column == Records || column == Total)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!holder.readable())
                item->setForeground(QColor(180, 0, 0));
            if (column == Note && !holder.readable())
                item->setToolTip(holder.status.message() + u'\n' + holder.status.detail());
            row.append(item);
        }
        m_model->appendRow(row);
    }
    m_grandTotal->setText(grandTotalText());
}

QString ReceivablesWindow::grandTotalText() const {
    QString text = QStringLiteral("共 %1 个账户，%2 条记录，应收合计：%3")
                       .arg(m_overview->holders.size())
                       .arg(m_overview->records)
                       .arg(m_services.host.toText(m_overview->grandTotal.toDouble()));
    if (m_overview->unreadable > 0)
        text += QStringLiteral("（另有 %1 本账目无法读取，没有计入）").arg(m_overview->unreadable);
    return text;
}

ReportDocument ReceivablesWindow::document() const {
    ReportDocument document;
    Result<SettingsFile> settings = SettingsFile::load(m_services.paths.settingsFile());
    if (settings)
        document.heading = settings->value(StatementDialog::HeadingKey.toString()).trimmed();
    document.title = QStringLiteral("应收汇总");
    document.details = {grandTotalText()};
    document.runningHead = QStringList{document.heading, document.title}.join(u' ').trimmed();
    const double weights[ColumnCount] = {1.8, 0.8, 1.2, 1.1, 1.1, 2.2};
    for (int column = 0; column < ColumnCount; ++column)
        document.columns.append(
            {columnTitles()[column], weights[column],
             column == Records || column == Total ? Qt::AlignRight : Qt::AlignLeft});
    document.printedOn =
        QStringLiteral("打印日期：") + m_services.host.toText(m_services.host.now());
    ReportSection rows;
    rows.rows = m_sorted->rowCount();
    // As the table shows them, sorted as the operator sorted it.
    rows.cell = [this](qint64 row, int column) {
        return m_sorted->index(int(row), column).data().toString();
    };
    rows.after = {grandTotalText()};
    document.sections.append(rows);
    return document;
}

void ReceivablesWindow::preview() {
    ReportOutput::preview(m_services.host, document());
}

void ReceivablesWindow::print() {
    ReportOutput::print(m_services.host, document());
}

void ReceivablesWindow::savePdf() {
    ReportOutput::savePdf(m_services.host, document(), QStringLiteral("应收汇总"));
}

void ReceivablesWindow::exportWorkbook() {
    if (!m_overview)
        return;
    Xlsx::Table table;
    table.sheetName = QStringLiteral("应收汇总");
    const Xlsx::CellKind kinds[ColumnCount] = {Xlsx::CellKind::Text,     Xlsx::CellKind::Number,
                                               Xlsx::CellKind::Number,   Xlsx::CellKind::DateTime,
                                               Xlsx::CellKind::DateTime, Xlsx::CellKind::Text};
    for (int column = 0; column < ColumnCount; ++column)
        table.columns.append({columnTitles()[column],
                              m_table->horizontalHeader()->sectionSize(column), kinds[column]});
    table.rows = m_sorted->rowCount();
    table.cell = [this](qint64 row, int column) {
        return m_sorted->index(int(row), column).data().toString();
    };
    table.totals = Xlsx::Totals{Holder, QStringLiteral("合计"), {Records, Total}, Note};
    ReportOutput::saveWorkbook(m_services.host, table, QStringLiteral("应收汇总"));
}

} // namespace vellumar
