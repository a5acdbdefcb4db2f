#include "ledger/ledgerviewwindow.h"

#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ledger/ledgerdelegate.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerrecords.h"
#include "ui_ledgerviewwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace vellumar {

LedgerViewWindow::LedgerViewWindow(QString path, QWidget* parent)
    : Dialog(parent), m_path(std::move(path)), m_ui(std::make_unique<Ui::LedgerViewWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Resizable);
    setWindowTitle(QFileInfo(m_path).fileName() + QStringLiteral(" - ") + windowTitle());
    m_ui->viewedFileLabel->setText(m_ui->viewedFileLabel->text() +
                                   QDir::toNativeSeparators(m_path));
    m_ui->viewedFileLabel->setAccessibleName(m_ui->viewedFileLabel->text());
    m_ui->readOnlyNotice->setAccessibleName(m_ui->readOnlyNotice->text());
    // A quiet yellow: the notice is what the operator must read before anything else.
    m_ui->readOnlyNotice->setAutoFillBackground(true);
    QPalette notice = m_ui->readOnlyNotice->palette();
    notice.setColor(QPalette::Window, QColor(255, 248, 214));
    notice.setColor(QPalette::WindowText, QColor(70, 50, 0));
    m_ui->readOnlyNotice->setPalette(notice);

    QTableView* view = m_ui->ledgerGrid;
    showLedgerIn(view, new LedgerModel(m_sheet, this));
    view->horizontalHeader()->setStretchLastSection(true);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &Dialog::reject);
    view->setFocus();
}

LedgerViewWindow::~LedgerViewWindow() = default;

QTableView* LedgerViewWindow::grid() const {
    return m_ui->ledgerGrid;
}

Status LedgerViewWindow::load() {
    WaitCursor wait;
    if (Status loaded = LedgerFile::load(m_path, m_sheet); !loaded)
        return loaded;
    // Titles for a file whose title row was removed in a spreadsheet, in the window only; at
    // the row ceiling there is no room for them, and the file shows as it is.
    const Result<bool> titled = LedgerRecords::placeTitles(m_sheet);
    Q_UNUSED(titled);
    // As wide as the rows in view need, but a long remark does not push the rest away.
    QHeaderView* titles = m_ui->ledgerGrid->horizontalHeader();
    m_ui->ledgerGrid->resizeColumnsToContents();
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        titles->resizeSection(column, std::clamp(titles->sectionSize(column), 60, 280));
    showRecordCount();
    return Status();
}

void LedgerViewWindow::showRecordCount() {
    m_ui->recordCountLabel->setText(
        QStringLiteral("共 %1 条记录").arg(LedgerRecords::recordCount(m_sheet)));
}

} // namespace vellumar
