#include "safety/ledgersafetynet.h"

#include "frame/waitcursor.h"
#include "ledger/ledgerclosing.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerwindow.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTableView>
#include <QUndoStack>

namespace vellumar {

LedgerSafetyNet::LedgerSafetyNet(Services services, LedgerWindow& window, QMenu& editMenu)
    : QObject(&window), m_services(services), m_window(window) {
    QUndoStack& stack = window.edits().undoStack();
    // The item says what it undoes ("撤销 删除记录") and is greyed when there is nothing.
    m_undo = stack.createUndoAction(&window, QStringLiteral("撤销"));
    m_undo->setObjectName(QStringLiteral("actionUndo"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo = stack.createRedoAction(&window, QStringLiteral("重做"));
    m_redo->setObjectName(QStringLiteral("actionRedo"));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* action : {m_undo, m_redo})
        action->setShortcutContext(Qt::WindowShortcut);
    editMenu.addSeparator();
    editMenu.addAction(m_undo);
    editMenu.addAction(m_redo);

    connect(&window.edits(), &LedgerEdits::rowsTouched, this, &LedgerSafetyNet::showRows);
    connect(&window.edits(), &LedgerEdits::recordingFailed, this, &LedgerSafetyNet::journalRefused);
}

void LedgerSafetyNet::ledgerLoaded() {
    // The grid stays out of sight until the operator has said what becomes of the changes.
    QTableView* grid = m_window.grid();
    grid->hide();
    const bool journalUsable = recover();
    grid->show();
    if (RecoveryJournal* journal = m_window.ledger().journal(); journal && journalUsable)
        m_window.edits().setRecorder(journal);
}

bool LedgerSafetyNet::recover() {
    HolderBook& ledger = m_window.ledger();
    const Result<std::optional<LeftJournal>> found = ledger.leftJournal();
    if (!found) {
        m_services.host.reportFailure(found.status(),
                                      QStringLiteral("无法查看上次未保存的修改有没有留下：\n"),
                                      MessageFlags::IconWarning, noticeTitle());
        return false;
    }
    if (!*found)
        return true;
    const LeftJournal& left = **found;
    const bool usable = left.fitsLedger && !left.contents.changes.isEmpty();
    if (!usable) {
        // Kept out of the way, never deleted: the operator or a helper can still look at it.
        const Result<QString> aside =
            Recovery::setAside(m_services.files, left.folder, m_services.host.now());
        const QString why = !left.fitsLedger && left.contents.damage.ok()
                                ? QStringLiteral("账目文件在那之后已经改变（也许已经保存过，或从"
                                                 "备份恢复过），这些修改无法放回现在的账目。")
                                : QStringLiteral("但其中没有能够恢复的修改。");
        if (aside)
            m_services.host.messageBox(QStringLiteral("发现上次未保存的修改，") + why +
                                           QStringLiteral("\n\n它们已另存在“%1”，没有删除。")
                                               .arg(QDir::toNativeSeparators(*aside)),
                                       MessageFlags::IconWarning, noticeTitle(),
                                       left.contents.damage.message());
        else
            m_services.host.reportFailure(aside.status(),
                                          QStringLiteral("发现上次未保存的修改，") + why +
                                              QStringLiteral("可是没能把它们移到一旁：\n"));
        return aside.ok();
    }
    if (m_services.host.messageBox(QStringLiteral("发现上次未保存的修改，是否恢复？"),
                                   MessageFlags::IconQuestion | MessageFlags::YesNo,
                                   noticeTitle()) != MessageAnswer::Yes) {
        if (const Result<QString> aside =
                Recovery::setAside(m_services.files, left.folder, m_services.host.now());
            !aside) {
            m_services.host.reportFailure(
                aside.status(), QStringLiteral("上次未保存的修改没能移到一旁，下次打开时还会问"
                                               "一次：\n"));
            return false;
        }
        return true;
    }
    LedgerEdits::Replayed replayed;
    {
        WaitCursor wait;
        replayed = m_window.edits().replay(left.contents.changes, left.folder);
    }
    QString text = QStringLiteral("已恢复 %1 项修改。请核对后保存账目。").arg(replayed.made);
    QString detail;
    Status resumed;
    if (!left.contents.damage.ok() || !replayed.stoppedBy.ok()) {
        const Status& cut = !replayed.stoppedBy.ok() ? replayed.stoppedBy : left.contents.damage;
        text += QStringLiteral("\n\n修改记录的末尾不完整，之后的修改无法恢复：") + cut.message();
        detail = cut.detail();
        // The journal is written anew without its damaged end; the end is kept, not dropped.
        const Result<QString> kept =
            Recovery::keepCopy(m_services.files, left.folder, m_services.host.now());
        if (kept)
            text +=
                QStringLiteral("\n原来的修改记录另存在“%1”。").arg(QDir::toNativeSeparators(*kept));
        else
            resumed = kept.status();
    }
    // The journal stays, now holding what was made again, until the ledger is saved.
    const QList<LedgerChange> made = left.contents.changes.mid(0, replayed.made);
    if (resumed.ok() && ledger.journal())
        resumed = ledger.journal()->resume(made);
    if (!resumed)
        text += QStringLiteral("\n\n此后的修改暂时无法记下（") + resumed.message() +
                QStringLiteral("），请尽快保存。");
    m_services.host.messageBox(text, MessageFlags::IconInformation, noticeTitle(), detail);
    return resumed.ok();
}

void LedgerSafetyNet::showRows(int first, int count) {
    QTableView* grid = m_window.grid();
    const int row = LedgerModel::modelRow(std::max(first, 1));
    if (row >= grid->model()->rowCount())
        return;
    const QModelIndex top = grid->model()->index(row, 0);
    grid->setCurrentIndex(top);
    if (count > 0) {
        const QModelIndex bottom = grid->model()->index(
            std::min(row + count, grid->model()->rowCount()) - 1, grid->model()->columnCount() - 1);
        grid->selectionModel()->select(QItemSelection(top, bottom),
                                       QItemSelectionModel::ClearAndSelect);
    }
    grid->scrollTo(top);
}

void LedgerSafetyNet::journalRefused(const Status& why) {
    m_services.host.reportFailure(
        why,
        QStringLiteral("无法记下账目的修改（以备程序意外退出时恢复）。账目照常可以修改，但请尽快"
                       "保存。\n"),
        MessageFlags::IconWarning, noticeTitle());
}

} // namespace vellumar
