#include "storage/passwordstore.h"

#include "storage/passwordhash.h"

namespace vellumar {

bool PasswordStore::matches(const QString& typed) const {
    return passwordMatches(m_table.readField(1, 1), typed);
}

Status PasswordStore::change(const QString& newPassword) {
    const std::optional<QString> hash = hashPassword(newPassword);
    if (!hash)
        return Status::failure(QStringLiteral("无法生成密码摘要。"));
    // A table that lost its only record gets it back rather than refusing the change.
    if (m_table.recordCount() < 1)
        if (Status status = m_table.appendRecord(); !status)
            return status;
    return m_table.writeField(1, 1, *hash);
}

} // namespace vellumar
