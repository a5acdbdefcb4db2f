#pragma once

#include "storage/recordtable.h"
#include "storage/status.h"

namespace vellumar {

// The administrator password: field 1 of record 1 of the password table, read afresh at every
// check so a change made elsewhere counts at once.
class PasswordStore {
public:
    explicit PasswordStore(RecordTable& table) : m_table(table) {}

    // Whether the typed password is the stored one. A table that cannot be read is a failure,
    // never a match: not even the empty entry gets through then.
    Result<bool> matches(const QString& typed) const;

    // Stores the new password (hashed; the empty text clears it).
    Status change(const QString& newPassword);

    // The stored text itself (a hash, or empty when no password is set), for copying the
    // password to other books without knowing it.
    Result<QString> storedHash() const;
    Status storeHash(const QString& hash);

private:
    RecordTable& m_table;
};

} // namespace vellumar
