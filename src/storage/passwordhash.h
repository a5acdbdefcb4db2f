#pragma once

#include <QString>

#include <optional>

namespace vellumar {

// The administrator password is kept only as a salted Argon2id hash. The empty text stays the
// empty text: it means that no password is set. Nothing when the hash cannot be made.
std::optional<QString> hashPassword(const QString& password);

// Compares a typed password with what the password table holds, exactly (case and spaces
// count). An empty stored value is matched by the empty entry only; a value that is not a
// hash (a table written before passwords were hashed) is compared as plain text.
bool passwordMatches(const QString& stored, const QString& typed);

} // namespace vellumar
