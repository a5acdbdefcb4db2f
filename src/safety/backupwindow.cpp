#include "safety/backupwindow.h"

#include "frame/frame.h"
#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ledger/holderledger.h"
#include "ledger/ledgerclosing.h"
#include "safety/backuppreviewwindow.h"
#include "safety/safetypaths.h"
#include "safety/tableselection.h"
#include "storage/usernames.h"
#include "ui_backupwindow.h"

#include <QFileInfo>
#include <QHeaderView>

namespace vellumar {

namespace {

QString sizeText(qint64 bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < (qint64(1) << 20))
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 MB").arg(QString::number(double(bytes) / (1 << 20), 'f', 1));
}

} // namespace

BackupWindow::BackupWindow(Services services, QStringList holders, const QString& shownFirst,
                           QWidget* parent)
    : Dialog(parent), m_services(services), m_ui(std::make_unique<Ui::BackupWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    QHeaderView* columns = m_ui->versions->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Stretch);
    m_ui->versions->verticalHeader()->hide();
    m_ui->holders->addItems(holders);
    m_ui->previewButton->setDefault(true);
    connect(m_ui->holders, &QListWidget::currentRowChanged, this, &BackupWindow::showVersions);
    connect(m_ui->versions, &QTableWidget::itemSelectionChanged, this,
            &BackupWindow::updateButtons);
    connect(m_ui->versions, &QTableWidget::itemDoubleClicked, this, &BackupWindow::preview);
    connect(m_ui->previewButton, &QPushButton::clicked, this, &BackupWindow::preview);
    connect(m_ui->restoreButton, &QPushButton::clicked, this, &BackupWindow::restore);
    connect(m_ui->closeButton, &QPushButton::clicked, this,
            [this] { m_services.frame.close(this); });
    const qsizetype first = holders.indexOf(shownFirst);
    m_ui->holders->setCurrentRow(first < 0 ? 0 : static_cast<int>(first));
    updateButtons();
}

BackupWindow::~BackupWindow() = default;

void BackupWindow::created() {
    m_ui->holders->setFocus();
}

QString BackupWindow::holder() const {
    const QListWidgetItem* item = m_ui->holders->currentItem();
    return item ? item->text() : QString();
}

void BackupWindow::showVersions() {
    m_versions.clear();
    QString note;
    if (m_ui->holders->currentItem() && !isSafeUserName(holder())) {
        // A name from an old table that is no file name has no folder of its own.
        note = QStringLiteral("用户名“%1”不能用作文件名，这个用户没有备份。").arg(holder());
    } else if (m_ui->holders->currentItem()) {
        LedgerBackups backups(m_services.files,
                              SafetyPaths::holderFolder(m_services.paths, holder()));
        const Result<QList<BackupVersion>> found = backups.versions();
        if (found)
            m_versions = *found;
        else
            note = QStringLiteral("无法读取备份：") + found.status().message();
    }
    const bool complete = readSummaries();
    QTableWidget* table = m_ui->versions;
    table->setRowCount(static_cast<int>(m_versions.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const BackupVersion& version = m_versions[row];
        const Summary* summary =
            m_summaries.contains(version.path) ? &m_summaries[version.path] : nullptr;
        QString records = QStringLiteral("未读取");
        QString total = records;
        if (summary && summary->summary) {
            records = QString::number(summary->summary->records);
            total = m_services.host.toText(summary->summary->total);
        } else if (summary) {
            records = total = QStringLiteral("无法读取");
        }
        const QStringList cells = {m_services.host.toText(version.savedAt), records, total,
                                   sizeText(version.size)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (summary && !summary->summary)
                item->setToolTip(summary->summary.status().message());
            table->setItem(row, column, item);
        }
    }
    if (note.isEmpty())
        note = m_versions.isEmpty()
                   ? QStringLiteral("这个用户还没有备份：账目第二次保存时才会有第一个备份。")
                   : QStringLiteral("共 %1 个版本，最新的在最上面。").arg(m_versions.size());
    if (!complete)
        note += QStringLiteral("已停止读取，有些版本的记录数和总金额没有显示。");
    m_ui->backupNotes->setText(note);
    if (!m_versions.isEmpty())
        table->selectRow(0);
    updateButtons();
}

bool BackupWindow::readSummaries() {
    QList<const BackupVersion*> unread;
    for (const BackupVersion& version : m_versions) {
        const QFileInfo info(version.path);
        const auto known = m_summaries.constFind(version.path);
        if (known == m_summaries.cend() || known->size != info.size() ||
            known->modified != info.lastModified())
            unread.append(&version);
    }
    if (unread.isEmpty())
        return true;
    // Reading a large version takes a moment; many of them show their progress.
    const std::unique_ptr<Progress> progress = m_services.host.startProgress(
        QStringLiteral("正在读取“%1”的 %2 个版本…").arg(holder(), QString::number(unread.size())),
        unread.size());
    WaitCursor wait;
    for (qsizetype n = 0; n < unread.size(); ++n) {
        if (!progress->advance(n))
            return false;
        const QFileInfo info(unread[n]->path);
        m_summaries.insert(unread[n]->path, Summary{info.size(), info.lastModified(),
                                                    LedgerBackups::summarize(unread[n]->path)});
    }
    return progress->advance(unread.size());
}

std::optional<BackupVersion> BackupWindow::selected() const {
    if (const std::optional<int> row = chosenRow(*m_ui->versions, m_versions.size()))
        return m_versions[*row];
    return std::nullopt;
}

void BackupWindow::updateButtons() {
    const bool chosen = selected().has_value();
    m_ui->previewButton->setEnabled(chosen);
    m_ui->restoreButton->setEnabled(chosen);
}

void BackupWindow::preview() {
    const std::optional<BackupVersion> version = selected();
    if (!version)
        return;
    auto window = std::make_unique<BackupPreviewWindow>(m_services);
    Status loaded;
    {
        WaitCursor wait;
        loaded = window->load(holder(), *version);
    }
    if (!loaded) {
        m_services.host.reportFailure(loaded, QStringLiteral("这个版本无法打开：\n"),
                                      MessageFlags::IconWarning, noticeTitle());
        return;
    }
    m_services.frame.open(window.release());
}

void BackupWindow::restore() {
    const std::optional<BackupVersion> version = selected();
    if (!version)
        return;
    const QString name = holder();
    const QString moment = m_services.host.toText(version->savedAt);
    Question question;
    question.text = QStringLiteral("用 %1 保存的版本替换“%2”现在的账目吗？\n\n现在的账目会先保留"
                                   "为一个版本，需要时可以再恢复回来。")
                        .arg(moment, name);
    question.buttons = {QStringLiteral("恢复"), QStringLiteral("取消")};
    question.defaultButton = 0;
    question.cancelButton = 1;
    question.icon = MessageFlags::IconQuestion;
    question.title = windowTitle();
    if (m_services.host.ask(question) != 0)
        return;
    Status restored;
    {
        WaitCursor wait;
        HolderLedger ledger(m_services.paths, m_services.files, name);
        restored = ledger.restore(version->path, m_services.host.now());
    }
    if (!restored)
        m_services.host.reportFailure(restored, QStringLiteral("账目没有恢复：\n"),
                                      MessageFlags::IconWarning, noticeTitle());
    else
        m_services.host.messageBox(
            QStringLiteral("“%1”的账目已恢复为 %2 保存的版本。").arg(name, moment),
            MessageFlags::IconInformation, noticeTitle());
    showVersions();
}

} // namespace vellumar
