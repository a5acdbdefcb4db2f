#pragma once

#include "storage/recordtable.h"
#include "storage/status.h"

namespace vellumar {

// The administrator password: field 1 of record 1 of the password table, read afresh at every
// check so a change made elsewhere counts at once.
class PasswordStore {
public:
    explicit PasswordStore(RecordTable& table) : m_table(table) {}

    bool matches(const QString& typed) const;

    // Stores the new password (hashed; the empty text clears it).
    Status change(const QString& newPassword);

private:
    RecordTable& m_table;
};

} // namespace vellumar
