#pragma once

#include "storage/status.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace vellumar {

// A connection to shared books as the choice-of-books dialog shows it: one field per setting
// an operator usually needs. Every other setting (a service name, a URI, options of libpq's
// own) is kept as a connection text instead.
struct ConnectionFields {
    QString host;
    QString port;
    QString database;
    QString user;
    QString sslMode; // empty: libpq's default

    bool operator==(const ConnectionFields&) const = default;
};

// The libpq connection string of the fields: key='value' pairs, quoted so that spaces,
// quotes and backslashes in a value stay part of it; empty fields are left out.
QString connectionText(const ConnectionFields& fields);

// The fields of a connection text that names nothing but them; nothing when it names other
// settings too (a service, a password, an option) or libpq cannot read it.
std::optional<ConnectionFields> connectionFields(const QString& text);

// Whether the connection text carries a password; such a text is not kept by the program
// (passwords belong in ~/.pgpass).
bool connectionHasPassword(const QString& text);

// Connects once and disconnects, to try a connection before it is chosen; answers where the
// connection went, or why it failed (with the server's address and what to do).
Result<QString> tryConnection(const QString& text);

} // namespace vellumar
