#include "safety/backuppreviewwindow.h"

#include "ledger/ledgerdelegate.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerrecords.h"
#include "safety/ledgerbackups.h"
#include "ui_backuppreviewwindow.h"

#include <QHeaderView>

namespace vellumar {

BackupPreviewWindow::BackupPreviewWindow(Services services, QWidget* parent)
    : Dialog(parent), m_services(services), m_ui(std::make_unique<Ui::BackupPreviewWindow>()) {
    m_ui->setupUi(this);
    QTableView* grid = m_ui->previewGrid;
    m_model = new LedgerModel(m_sheet, this);
    showLedgerIn(grid, m_model);
    QHeaderView* titles = grid->horizontalHeader();
    titles->setDefaultAlignment(Qt::AlignCenter);
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        titles->resizeSection(column, LedgerModel::columnWidth(column));
    connect(m_ui->closeButton, &QPushButton::clicked, this,
            [this] { m_services.frame.close(this); });
    m_ui->closeButton->setDefault(true);
}

BackupPreviewWindow::~BackupPreviewWindow() = default;

Status BackupPreviewWindow::load(const QString& holder, const BackupVersion& version) {
    if (Status loaded = LedgerFile::load(version.path, m_sheet, /*followLinks=*/false); !loaded)
        return loaded;
    if (const Result<bool> titled = LedgerRecords::placeTitles(m_sheet); !titled)
        return titled.status();
    const LedgerSummary summary = LedgerBackups::summarize(m_sheet);
    const QString moment = m_services.host.toText(version.savedAt);
    setWindowTitle(QStringLiteral("预览：%1 %2").arg(holder, moment));
    m_ui->previewSummary->setText(
        QStringLiteral("“%1”在 %2 保存的版本：%3 条记录，总金额 %4。这里只能查看，不能修改。")
            .arg(holder, moment)
            .arg(summary.records)
            .arg(m_services.host.toText(summary.total)));
    return Status();
}

} // namespace vellumar
