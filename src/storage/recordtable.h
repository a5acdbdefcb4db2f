#pragma once

#include "storage/status.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vellumar {

// A file of numbered records with numbered text fields, both counted from 1. Records keep the
// order they were appended in; deleting one moves the later ones up. Every change is one
// SQLite transaction, committed before the call returns, so two views of the same file see
// each other's changes at once and a crash leaves the file as before or after the change.
//
// Every read answers with a Result: a table that cannot be read is never taken for an empty
// one. Beside the records a table keeps notes: short texts written in the same transaction as
// a change, for work outside the table (a file to rename) that the change still has to finish.
class RecordTable {
public:
    struct Note {
        qint64 id = 0;
        QString text;
    };

    // The changes of one transaction. Only valid inside change().
    class Editor {
    public:
        virtual ~Editor();
        // Appends a record whose fields 1, 2, … hold the given texts.
        virtual Status appendRecord(const QStringList& fields = {}) = 0;
        virtual Status writeField(int record, int field, const QString& value) = 0;
        virtual Status deleteRecords(int first, int count) = 0;
        virtual Result<qint64> addNote(const QString& text) = 0;
        virtual Status removeNote(qint64 id) = 0;
    };

    RecordTable(RecordTable&&) noexcept;
    RecordTable& operator=(RecordTable&&) noexcept;
    ~RecordTable();

    // Opens an existing table. A file that is missing, is not a regular file (a symbolic
    // link, say) or is not a table of this program is left exactly as it is and reported.
    static Result<RecordTable> open(const QString& path);

    // Makes a new table with the given number of empty records. The file appears complete or
    // not at all; an existing file is never replaced, not even one that appears meanwhile.
    static Status create(const QString& path, int emptyRecords = 0);

    const QString& path() const { return m_path; }

    Result<int> recordCount() const;
    // An absent record or field reads as the empty text; only a failure to read is a failure.
    Result<QString> readField(int record, int field) const;
    // Field `field` of every record, in record order, read in one go.
    Result<QStringList> readColumn(int field) const;
    Result<QList<Note>> notes() const;

    // Runs the editor's changes as one transaction: all of them reach the file, or none.
    Status change(const std::function<Status(Editor&)>& changes);

    // One change each, each its own transaction.
    Status writeField(int record, int field, const QString& value);
    Status appendRecord(const QStringList& fields = {});
    Status deleteRecords(int first, int count);

private:
    struct Connection;
    class ConnectionEditor;
    RecordTable(QString path, std::unique_ptr<Connection> connection);

    QString m_path;
    std::unique_ptr<Connection> m_connection;
};

} // namespace vellumar
