#pragma once

#include "storage/status.h"

#include <QString>

#include <memory>
#include <optional>

struct sqlite3;

namespace vellumar {

// A file of numbered records with numbered text fields, both counted from 1. Records keep the
// order they were appended in; deleting one moves the later ones up. Every change is one
// SQLite transaction, committed before the call returns, so two views of the same file see
// each other's changes at once and a crash leaves the file as before or after the change.
class RecordTable {
public:
    RecordTable(RecordTable&&) noexcept;
    RecordTable& operator=(RecordTable&&) noexcept;
    ~RecordTable();

    // Opens an existing table. A file that is missing or is not a table of this program is
    // left exactly as it is and reported.
    static std::optional<RecordTable> open(const QString& path, QString* error = nullptr);

    // Makes a new table with the given number of empty records. The file appears complete or
    // not at all; an existing file is never replaced.
    static Status create(const QString& path, int emptyRecords = 0);

    const QString& path() const { return m_path; }

    int recordCount() const;
    // An absent record or field reads as the empty text.
    QString readField(int record, int field) const;
    Status writeField(int record, int field, const QString& value);
    Status appendRecord();
    Status deleteRecords(int first, int count);

private:
    struct Connection;
    RecordTable(QString path, std::unique_ptr<Connection> connection);

    QString m_path;
    std::unique_ptr<Connection> m_connection;
};

} // namespace vellumar
