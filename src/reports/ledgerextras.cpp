#include "reports/ledgerextras.h"

#include "frame/frame.h"
#include "frame/waitcursor.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerwindow.h"
#include "reports/reportoutput.h"
#include "reports/statementdialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace vellumar {

namespace {

QToolButton* barButton(const QString& text, const char* name, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(text);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("findBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    auto* label = new QLabel(QStringLiteral("查找："), this);
    label->setAccessibleName(QStringLiteral("查找"));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("findText"));
    m_text->setAccessibleName(QStringLiteral("查找商品名称或备注"));
    m_text->setPlaceholderText(QStringLiteral("商品名称或备注"));
    m_text->setClearButtonEnabled(true);
    m_text->setMinimumWidth(180);
    m_text->installEventFilter(this);
    label->setBuddy(m_text);
    QToolButton* next =
        barButton(QStringLiteral("下一个"), "findNext", QStringLiteral("查找下一个（F3）"), this);
    QToolButton* previous = barButton(QStringLiteral("上一个"), "findPrevious",
                                      QStringLiteral("查找上一个（Shift+F3）"), this);
    QToolButton* close =
        barButton(QStringLiteral("关闭"), "findClose", QStringLiteral("关闭查找栏（Esc）"), this);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("findMessage"));
    m_message->setAccessibleName(QStringLiteral("查找结果"));
    layout->addWidget(label);
    layout->addWidget(m_text, 1);
    layout->addWidget(next);
    layout->addWidget(previous);
    layout->addWidget(m_message, 1);
    layout->addWidget(close);
    connect(next, &QToolButton::clicked, this,
            [this] { Q_EMIT findRequested(LedgerSearch::Direction::Next); });
    connect(previous, &QToolButton::clicked, this,
            [this] { Q_EMIT findRequested(LedgerSearch::Direction::Previous); });
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        Q_EMIT closed();
    });
    connect(m_text, &QLineEdit::textEdited, this, [this] { m_message->clear(); });
}

QString FindBar::text() const {
    return m_text->text();
}

void FindBar::open() {
    show();
    m_text->setFocus();
    m_text->selectAll();
}

void FindBar::tell(const QString& message) {
    m_message->setText(message);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Q_EMIT findRequested((key->modifiers() & Qt::ShiftModifier)
                                     ? LedgerSearch::Direction::Previous
                                     : LedgerSearch::Direction::Next);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        Q_EMIT closed();
        return;
    }
    QWidget::keyPressEvent(event);
}

LedgerExtras::LedgerExtras(Services services, LedgerWindow& window)
    : QObject(&window), m_services(services), m_window(window), m_totals(window.sheet()) {
    setObjectName(QStringLiteral("ledgerExtras"));
    QStatusBar* status = window.statusBar();
    status->setSizeGripEnabled(true);
    m_findBar = new FindBar(status);
    m_findBar->hide();
    status->addWidget(m_findBar, 1);
    m_selection = new QLabel(status);
    m_selection->setObjectName(QStringLiteral("selectionSummary"));
    m_selection->setAccessibleName(QStringLiteral("所选记录的合计"));
    status->addPermanentWidget(m_selection);
    connect(m_findBar, &FindBar::findRequested, this, &LedgerExtras::find);
    connect(m_findBar, &FindBar::closed, this, [this] { m_window.grid()->setFocus(); });

    addMenuItems();
    QTableView* grid = window.grid();
    connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LedgerExtras::showSelection);
    // A change of the ledger changes the sums of what stays selected.
    const LedgerSheet& sheet = window.sheet();
    connect(&sheet, &LedgerSheet::contentReplaced, this, &LedgerExtras::showSelection,
            Qt::QueuedConnection);
    connect(&sheet, &LedgerSheet::rowInserted, this, &LedgerExtras::showSelection,
            Qt::QueuedConnection);
    connect(&sheet, &LedgerSheet::rowsInserted, this, &LedgerExtras::showSelection,
            Qt::QueuedConnection);
    connect(&sheet, &LedgerSheet::rowChanged, this, &LedgerExtras::showSelection,
            Qt::QueuedConnection);
    connect(&sheet, &LedgerSheet::rowsRemoved, this, &LedgerExtras::showSelection,
            Qt::QueuedConnection);
    showSelection();
    prepareSums();
}

void LedgerExtras::addMenuItems() {
    auto* fileMenu = m_window.findChild<QMenu*>(QStringLiteral("menuFile"));
    auto* editMenu = m_window.findChild<QMenu*>(QStringLiteral("menuEdit"));
    if (fileMenu) {
        fileMenu->addSeparator();
        QAction* statement = fileMenu->addAction(QStringLiteral("打印对账单…"));
        statement->setObjectName(QStringLiteral("actionStatement"));
        statement->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
        connect(statement, &QAction::triggered, this, &LedgerExtras::showStatement);
        QAction* workbook = fileMenu->addAction(QStringLiteral("导出为 Excel…"));
        workbook->setObjectName(QStringLiteral("actionExportExcel"));
        connect(workbook, &QAction::triggered, this, &LedgerExtras::exportWorkbook);
    }
    if (editMenu) {
        editMenu->addSeparator();
        QAction* findAction = editMenu->addAction(QStringLiteral("查找"));
        findAction->setObjectName(QStringLiteral("actionFind"));
        findAction->setShortcut(QKeySequence(Qt::Key_F3));
        connect(findAction, &QAction::triggered, this, &LedgerExtras::startFinding);
    }
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), &m_window);
    previous->setObjectName(QStringLiteral("findPreviousShortcut"));
    connect(previous, &QShortcut::activated, this, [this] {
        if (m_findBar->text().isEmpty())
            startFinding();
        else
            find(LedgerSearch::Direction::Previous);
    });
}

void LedgerExtras::showStatement() {
    m_services.frame.open(
        new StatementDialog(m_services, m_window.sheet(), m_window.ledger().userName()));
}

void LedgerExtras::exportWorkbook() {
    const LedgerSheet& sheet = m_window.sheet();
    std::vector<int> rows;
    for (int row = 1; row < sheet.rowCount(); ++row)
        if (isReportedRow(sheet, row))
            rows.push_back(row);
    QList<int> widths;
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        widths.append(m_window.grid()->horizontalHeader()->sectionSize(column));
    ReportOutput::saveWorkbook(m_services.host, ledgerTable(sheet, rows, widths),
                               m_window.ledger().userName() + QStringLiteral("的账目"));
}

void LedgerExtras::startFinding() {
    // With a text to look for and the bar open, F3 goes on to the next record.
    if (m_findBar->isVisible() && !m_findBar->text().isEmpty()) {
        find(LedgerSearch::Direction::Next);
        return;
    }
    m_findBar->open();
}

void LedgerExtras::find(LedgerSearch::Direction direction) {
    const QString text = m_findBar->text();
    if (text.isEmpty()) {
        m_findBar->open();
        return;
    }
    std::optional<LedgerSearch::Found> found;
    {
        WaitCursor wait;
        found = LedgerSearch::find(m_window.sheet(), text, m_window.currentRow(), direction);
    }
    if (!found) {
        m_findBar->tell(QStringLiteral("找不到“%1”").arg(text));
        return;
    }
    m_findBar->tell(found->wrapped ? (direction == LedgerSearch::Direction::Next
                                          ? QStringLiteral("已查到末尾，从头继续")
                                          : QStringLiteral("已查到开头，从末尾继续"))
                                   : QString());
    QTableView* grid = m_window.grid();
    const QModelIndex cell = grid->model()->index(LedgerModel::modelRow(found->row), found->column);
    grid->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    grid->scrollTo(cell, QAbstractItemView::PositionAtCenter);
}

QString LedgerExtras::selectionText() const {
    return m_selection->text();
}

void LedgerExtras::showSelection() {
    QTableView* grid = m_window.grid();
    int top = -1;
    int bottom = -1;
    for (const QItemSelectionRange& range : grid->selectionModel()->selection()) {
        top = top < 0 ? range.top() : std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    if (top < 0) {
        m_selection->setText(QStringLiteral("未选择记录"));
        return;
    }
    const RangeTotals::Sum sum =
        m_totals.over(LedgerModel::sheetRow(top), LedgerModel::sheetRow(bottom));
    m_selection->setText(QStringLiteral("已选 %1 条记录，%2合计：%3")
                             .arg(sum.records)
                             .arg(LedgerSheet::titles().at(LedgerSheet::Total),
                                  m_services.host.toText(sum.total.toDouble())));
}

// The sums of a large ledger are worked out in small steps while the window is idle, so a
// selection of every record shows its sum at once.
void LedgerExtras::prepareSums() {
    auto* timer = new QTimer(this);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        if (!m_totals.prepare(16))
            timer->stop();
    });
    const LedgerSheet& sheet = m_window.sheet();
    connect(&sheet, &LedgerSheet::contentReplaced, timer, qOverload<>(&QTimer::start));
    connect(&sheet, &LedgerSheet::rowInserted, timer, qOverload<>(&QTimer::start));
    connect(&sheet, &LedgerSheet::rowsInserted, timer, qOverload<>(&QTimer::start));
    connect(&sheet, &LedgerSheet::rowsRemoved, timer, qOverload<>(&QTimer::start));
    timer->start();
}

} // namespace vellumar
