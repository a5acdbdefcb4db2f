#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTest>
#include <QtGlobal>

#include <sqlite3.h>

// Makes a table file unusable the ways a shop meets it (damaged, gone, a folder or a link in
// its place, locked by a second copy of the program) and puts the original back at the end.
class TableFault {
public:
    enum class Kind { Damaged, Missing, Folder, Link, Locked };

    TableFault(QString path, Kind kind) : m_path(std::move(path)), m_kind(kind) {
        QFile original(m_path);
        if (!original.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(m_path));
        m_original = original.readAll();
        original.close();
        switch (kind) {
        case Kind::Damaged:
            overwrite(QByteArray(m_original.size(), '\x5A'));
            break;
        case Kind::Missing:
            QFile::remove(m_path);
            break;
        case Kind::Folder:
            QFile::remove(m_path);
            QDir().mkdir(m_path);
            break;
        case Kind::Link:
            QFile::rename(m_path, m_path + QStringLiteral(".real"));
            QFile::link(m_path + QStringLiteral(".real"), m_path);
            break;
        case Kind::Locked:
            // An exclusive transaction of another connection keeps every reader out.
            if (sqlite3_open(QFile::encodeName(m_path).constData(), &m_lock) != SQLITE_OK ||
                sqlite3_exec(m_lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
                qFatal("cannot lock %s", qPrintable(m_path));
            break;
        }
    }

    ~TableFault() {
        if (m_lock) {
            sqlite3_exec(m_lock, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_lock);
            return;
        }
        QFile::remove(m_path);
        QDir().rmdir(m_path);
        QFile::remove(m_path + QStringLiteral(".real"));
        overwrite(m_original);
    }

    TableFault(const TableFault&) = delete;
    TableFault& operator=(const TableFault&) = delete;

    // Whether the fault left the file's bytes as they were (nothing was "repaired").
    bool untouched() const {
        QFile file(m_kind == Kind::Link ? m_path + QStringLiteral(".real") : m_path);
        if (m_kind == Kind::Missing || m_kind == Kind::Folder)
            return !QFile::exists(m_path) || QFileInfo(m_path).isDir();
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray now = file.readAll();
        return m_kind == Kind::Damaged ? now == QByteArray(m_original.size(), '\x5A')
                                       : now == m_original;
    }

private:
    void overwrite(const QByteArray& content) const {
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(m_path));
    }

    QString m_path;
    Kind m_kind;
    QByteArray m_original;
    sqlite3* m_lock = nullptr;
};

// The faults as the rows of a data-driven test; a locked table costs a few seconds of waiting.
inline void addTableFaultRows(bool withLock) {
    QTest::addColumn<int>("fault");
    QTest::newRow("damaged") << int(TableFault::Kind::Damaged);
    QTest::newRow("missing") << int(TableFault::Kind::Missing);
    QTest::newRow("a folder in its place") << int(TableFault::Kind::Folder);
    QTest::newRow("a link in its place") << int(TableFault::Kind::Link);
    if (withLock)
        QTest::newRow("locked by another copy") << int(TableFault::Kind::Locked);
}
