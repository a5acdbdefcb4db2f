#include "storage/passwordstore.h"

#include "storage/passwordhash.h"

namespace vellumar {

Result<bool> PasswordStore::matches(const QString& typed) const {
    const Result<QString> stored = m_table.readField(1, 1);
    if (!stored)
        return stored.status();
    return passwordMatches(*stored, typed);
}

Status PasswordStore::change(const QString& newPassword) {
    const std::optional<QString> hash = hashPassword(newPassword);
    if (!hash)
        return Status::failure(QStringLiteral("无法生成密码摘要（内存不足或加密库无法使用）。"));
    return storeHash(*hash);
}

Result<QString> PasswordStore::storedHash() const {
    return m_table.readField(1, 1);
}

Status PasswordStore::storeHash(const QString& hash) {
    return m_table.change([&](RecordTable::Editor& editor) -> Status {
        // A table that lost its only record gets it back rather than refusing the change.
        const Result<int> count = m_table.recordCount();
        if (!count)
            return count.status();
        if (*count < 1)
            return editor.appendRecord({hash});
        return editor.writeField(1, 1, hash);
    });
}

} // namespace vellumar
