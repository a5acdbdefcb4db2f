#include "sharedstore/sharedbooks.h"

#include "sharedstore/sharedbook.h"
#include "sharedstore/sharedtables.h"
#include "sharedstore/sharedtransfer.h"
#include "storage/passwordhash.h"

#include <QCryptographicHash>

namespace vellumar {

SharedBooks::SharedBooks(std::unique_ptr<SharedLink> link, LedgerEditor counter)
    : m_link(std::move(link)), m_counter(std::move(counter)) {}

SharedBooks::~SharedBooks() = default;

Result<std::unique_ptr<SharedBooks>> SharedBooks::open(const QString& connection,
                                                       const LedgerEditor& counter) {
    Result<std::unique_ptr<SharedLink>> link = SharedLink::open(connection);
    if (!link)
        return link.status();
    return std::unique_ptr<SharedBooks>(new SharedBooks(std::move(link).value(), counter));
}

Result<std::unique_ptr<SharedBooks>> SharedBooks::open(const QString& connection) {
    return open(connection, SharedTables::thisCounter());
}

QString SharedBooks::description() const {
    return QStringLiteral("共享账本（%1）").arg(m_link->server());
}

QString SharedBooks::safekeeping() const {
    return QStringLiteral("共享账本保存在数据库服务器上（%1），由服务器管理员用 pg_dump 备份、"
                          "恢复；删除的用户和保存前的账目版本不在本机保留。")
        .arg(m_link->server());
}

Result<HolderList*> SharedBooks::holders() {
    if (!m_holders) {
        Result<std::unique_ptr<SharedHolderList>> opened = SharedHolderList::open(*m_link);
        if (!opened)
            return opened.status();
        m_holders = std::move(opened).value();
    }
    return static_cast<HolderList*>(m_holders.get());
}

Result<bool> SharedBooks::passwordMatches(const QString& typed) {
    Result<QString> stored = Status();
    const Status read = m_link->run([&](PgConnection& connection) {
        stored = SharedTables::passwordHash(connection);
        return stored.status();
    });
    if (!read)
        return read;
    return vellumar::passwordMatches(*stored, typed);
}

Status SharedBooks::changePassword(const QString& newPassword) {
    const std::optional<QString> hash = hashPassword(newPassword);
    if (!hash)
        return Status::failure(QStringLiteral("无法生成密码摘要（内存不足或加密库无法使用）。"));
    return m_link->run([&](PgConnection& connection) -> Status {
        PgTransaction transaction(connection);
        if (!transaction.begun())
            return transaction.begun();
        if (Status stored = SharedTables::storePasswordHash(connection, *hash); !stored)
            return stored;
        return transaction.commit();
    });
}

void SharedBooks::keepJournalsIn(FileSystem& files, const QString& root) {
    m_journalFiles = &files;
    // The server's address names its folder, as a digest: the address may hold any character.
    const QByteArray digest =
        QCryptographicHash::hash(m_link->server().toUtf8(), QCryptographicHash::Sha256);
    m_journalRoot = root + u'/' + QString::fromLatin1(digest.toHex().left(16));
}

std::unique_ptr<HolderBook> SharedBooks::book(const QString& holder) {
    return std::make_unique<SharedHolderBook>(*m_link, m_counter, holder, m_journalFiles,
                                              m_journalRoot);
}

Result<std::unique_ptr<BooksReader>> SharedBooks::reader() {
    return SharedTransfer::openReader(m_link->connectionText());
}

Result<std::unique_ptr<BooksWriter>> SharedBooks::writer() {
    return SharedTransfer::openWriter(m_link->connectionText(), m_counter);
}

} // namespace vellumar
