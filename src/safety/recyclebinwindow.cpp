#include "safety/recyclebinwindow.h"

#include "accounts/accountmessages.h"
#include "accounts/userdirectory.h"
#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "safety/tableselection.h"
#include "ui_recyclebinwindow.h"

#include <QHeaderView>

namespace vellumar {

namespace {

QString recordsText(int records) {
    return records < 0 ? QStringLiteral("无法读取") : QString::number(records);
}

QString positionText(int position) {
    return position < 0 ? QString() : QStringLiteral("第 %1 位").arg(position + 1);
}

} // namespace

RecycleBinWindow::RecycleBinWindow(Services services, UserDirectory& directory, QWidget* parent)
    : Dialog(parent), m_services(services), m_directory(&directory),
      m_ui(std::make_unique<Ui::RecycleBinWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    QHeaderView* columns = m_ui->deletedHolders->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::ResizeToContents);
    columns->setSectionResizeMode(0, QHeaderView::Stretch);
    m_ui->deletedHolders->verticalHeader()->hide();
    // Enter brings the chosen holder back: the one thing here that loses nothing.
    m_ui->restoreButton->setDefault(true);
    connect(m_ui->restoreButton, &QPushButton::clicked, this, &RecycleBinWindow::restore);
    connect(m_ui->purgeButton, &QPushButton::clicked, this, &RecycleBinWindow::purge);
    connect(m_ui->closeButton, &QPushButton::clicked, this,
            [this] { m_services.frame.close(this); });
    connect(m_ui->deletedHolders, &QTableWidget::itemSelectionChanged, this,
            &RecycleBinWindow::updateButtons);
    showHolders();
}

RecycleBinWindow::~RecycleBinWindow() = default;

void RecycleBinWindow::created() {
    m_ui->deletedHolders->setFocus();
}

void RecycleBinWindow::showHolders() {
    m_holders.clear();
    QStringList notes;
    if (m_directory) {
        const Result<RecycleBin::Listing> listing = m_directory->recycleBin().holders();
        if (listing) {
            m_holders = listing->holders;
            for (const Status& unreadable : listing->unreadable)
                notes.append(unreadable.message());
        } else {
            // A bin that cannot be read is not an empty one.
            notes.append(QStringLiteral("无法读取回收站：") + listing.status().message());
        }
    }
    QTableWidget* table = m_ui->deletedHolders;
    table->setRowCount(static_cast<int>(m_holders.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const RecycledHolder& holder = m_holders[row];
        const QStringList cells = {holder.name, m_services.host.toText(holder.deletedAt),
                                   recordsText(holder.records), positionText(holder.position)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    }
    if (m_holders.isEmpty() && notes.isEmpty())
        notes.append(QStringLiteral("回收站是空的。"));
    m_ui->binNotes->setText(notes.join(u'\n'));
    m_ui->binNotes->setVisible(!notes.isEmpty());
    if (!m_holders.isEmpty())
        table->selectRow(0);
    updateButtons();
}

std::optional<RecycledHolder> RecycleBinWindow::selected() const {
    if (const std::optional<int> row = chosenRow(*m_ui->deletedHolders, m_holders.size()))
        return m_holders[*row];
    return std::nullopt;
}

void RecycleBinWindow::updateButtons() {
    const bool chosen = selected().has_value() && m_directory;
    m_ui->restoreButton->setEnabled(chosen);
    m_ui->purgeButton->setEnabled(chosen);
}

void RecycleBinWindow::restore() {
    const std::optional<RecycledHolder> holder = selected();
    if (!holder || !m_directory)
        return;
    UserChange change;
    {
        WaitCursor wait;
        change = m_directory->restore(holder->id);
    }
    reportUserChange(m_services.host, change);
    showHolders();
}

void RecycleBinWindow::purge() {
    const std::optional<RecycledHolder> holder = selected();
    if (!holder || !m_directory)
        return;
    if (!m_services.host.confirmDeliberately(
            QStringLiteral("彻底删除后，用户“%1”的账目和备份都将无法恢复。\n\n确定要彻底删除吗？")
                .arg(holder->name),
            QStringLiteral("彻底删除"), QStringLiteral("取消"), MessageFlags::IconWarning,
            windowTitle()))
        return;
    Status purged;
    {
        WaitCursor wait;
        purged = m_directory->recycleBin().purge(holder->id);
    }
    if (!purged)
        m_services.host.reportFailure(purged, QStringLiteral("没能彻底删除：\n"));
    showHolders();
}

} // namespace vellumar
