#include "ledger/ledgerclosing.h"

#include "ledger/ledgerfile.h"
#include "storage/usernames.h"

#include <QDir>
#include <QFileInfo>

namespace vellumar {

namespace {

// One spelling for a path whose folder exists: its folder resolved, its own name as it is (a
// link in the last place stays a link).
QString sameFileKey(const QString& path) {
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
}

} // namespace

const QString& noticeTitle() {
    static const QString title = QStringLiteral("提示");
    return title;
}

SaveBeforeClosing::SaveBeforeClosing(Host& host, HolderBook& ledger, const LedgerSheet& sheet,
                                     Runner runner)
    : m_host(host), m_ledger(ledger), m_sheet(sheet), m_runner(std::move(runner)) {
    if (!m_runner)
        m_runner = [](const Work& work) {
            return work();
        };
}

Status SaveBeforeClosing::saveHere() {
    return m_runner([this] { return m_ledger.save(m_sheet, m_host.now()); });
}

bool SaveBeforeClosing::run() {
    Status failure = saveHere();
    while (!failure.ok()) {
        Question question;
        question.text = QStringLiteral("文件保存失败！\n") + failure.message() +
                        QStringLiteral("\n\n账目还没有保存。关闭之前请选择：再试一次，"
                                       "把账目另存到别处，或者不保存就关闭。");
        question.buttons = {QStringLiteral("重试"), QStringLiteral("另存为…"),
                            QStringLiteral("不保存"), QStringLiteral("返回")};
        question.defaultButton = Retry;
        question.cancelButton = Back;
        question.icon = MessageFlags::IconWarning;
        question.title = noticeTitle();
        question.detail = failure.detail();
        switch (m_host.ask(question)) {
        case Retry:
            failure = saveHere();
            break;
        case SaveCopy:
            // A cancelled save dialog comes back to the same question.
            if (std::optional<Status> copied = saveCopy()) {
                if (copied->ok())
                    return closeWithoutSaving();
                failure = *copied;
            }
            break;
        case Discard:
            if (confirmDiscard())
                return closeWithoutSaving();
            break;
        default:
            return false;
        }
    }
    return true;
}

bool SaveBeforeClosing::closeWithoutSaving() {
    // The operator chose where the changes go (elsewhere, or nowhere): the journal that would
    // offer them again goes. Should it stay, the next opening offers them once more, which
    // loses nothing.
    (void)m_ledger.closedWithoutSaving();
    return true;
}

std::optional<Status> SaveBeforeClosing::saveCopy() {
    const std::optional<QString> chosen =
        m_host.chooseFileToSave(ledgerFileFilters(), suggestedCopyPath());
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    // The holder's own file is saved the holder's way, so an unreadable one is kept aside.
    if (!m_ledger.filePath().isEmpty() && sameFileKey(*chosen) == sameFileKey(m_ledger.filePath()))
        return saveHere();
    const QString target = *chosen;
    const Status saved = m_runner([this, &target] { return LedgerFile::save(target, m_sheet); });
    if (saved)
        m_host.messageBox(QStringLiteral("账目已另存到“%1”。\n原来的账目文件没有改动。")
                              .arg(QDir::toNativeSeparators(target)),
                          MessageFlags::IconInformation, noticeTitle());
    return saved;
}

bool SaveBeforeClosing::confirmDiscard() {
    return m_host.confirmDeliberately(
        QStringLiteral("不保存就关闭，账目中没有保存的改动将全部丢失，无法恢复。\n\n"
                       "确定不保存就关闭吗？"),
        QStringLiteral("不保存，关闭"), QStringLiteral("返回"), MessageFlags::IconWarning,
        noticeTitle());
}

QString SaveBeforeClosing::suggestedCopyPath() const {
    const QString& user = m_ledger.userName();
    const QString home = QDir::homePath();
    const QString base = user + QStringLiteral("的账目");
    if (user.isEmpty() || !isSafeUserName(user) || !fitsLedgerFileName(base, fileNameLimit(home)))
        return home + QStringLiteral("/账目副本.z");
    return home + u'/' + base + LedgerSuffix;
}

} // namespace vellumar
