#pragma once

#include "checks.h"
#include "safety/safetypaths.h"
#include "storage/datapaths.h"
#include "storage/recordtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

// The books of the account holders as the disk holds them, told as one text, so that two
// states compare (and a difference reads) at a glance.
namespace userbooks {

using vellumar::DataPaths;
using vellumar::RecordTable;

// Everything the books consist of: the users in table order, every entry of the ledger folder
// with what it holds, the notes still open, the holders in the recycle bin and the folders of
// backups. Two states are equal when these texts are.
inline QString describe(const QStringList& users, QStringList files, int notes = 0,
                        QStringList bin = {}, QStringList backups = {}) {
    files.sort();
    bin.sort();
    backups.sort();
    QString text = QStringLiteral("users: ") + users.join(u'|') + QStringLiteral("; files: ") +
                   files.join(QStringLiteral(", "));
    if (notes)
        text += QStringLiteral("; notes: %1").arg(notes);
    if (!bin.isEmpty())
        text += QStringLiteral("; bin: ") + bin.join(QStringLiteral(", "));
    if (!backups.isEmpty())
        text += QStringLiteral("; backups: ") + backups.join(QStringLiteral(", "));
    return text;
}

// What a file or folder holds, told briefly: a file's text, "link", and "folder" or the names
// in it.
inline QString contentOf(const QFileInfo& entry, bool namesInFolders = true) {
    if (entry.isSymLink())
        return QStringLiteral("link");
    if (entry.isDir() && !namesInFolders)
        return QStringLiteral("folder");
    if (entry.isDir()) {
        QStringList names = QDir(entry.filePath())
                                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        return u'[' + names.join(u' ') + u']';
    }
    QFile file(entry.filePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

inline QStringList entriesOf(const QString& folder, bool namesInFolders = true) {
    QStringList entries;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot))
        entries.append(entry.fileName() + u'=' + contentOf(entry, namesInFolders));
    return entries;
}

// A holder in the recycle bin: their name, "=" and their ledger's content when they had one,
// "+backups" when their folder of backups came along.
inline QString binEntry(const QString& name, const QString& ledger = QString(),
                        bool backups = false) {
    return name + (ledger.isNull() ? QString() : u'=' + ledger) +
           (backups ? QStringLiteral("+backups") : QString());
}

// The bin's entries by what they hold; a folder that is not a whole entry shows as such.
inline QStringList binOf(const DataPaths& paths) {
    QStringList bin;
    const QString root = vellumar::SafetyPaths::recycleRoot(paths);
    for (const QFileInfo& entry :
         QDir(root).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFile record(entry.filePath() + QStringLiteral("/条目.json"));
        if (!record.open(QIODevice::ReadOnly)) {
            bin.append(QStringLiteral("unfinished ") + entry.fileName() + u'=' + contentOf(entry));
            continue;
        }
        const QString name =
            QJsonDocument::fromJson(record.readAll()).object().value(u"name").toString();
        const QFileInfo ledger(entry.filePath() + QStringLiteral("/账本.z"));
        const bool backups = QFileInfo(entry.filePath() + QStringLiteral("/备份")).isDir();
        bin.append(binEntry(name, ledger.exists() ? contentOf(ledger) : QString(), backups));
    }
    return bin;
}

inline QString describeDisk(const DataPaths& paths) {
    RecordTable table = valueOf(RecordTable::open(paths.userTable()));
    return describe(valueOf(table.readColumn(1)), entriesOf(paths.ledgerDirectory(), false),
                    static_cast<int>(valueOf(table.notes()).size()), binOf(paths),
                    entriesOf(vellumar::SafetyPaths::backupRoot(paths)));
}

inline QStringList tableUsers(const DataPaths& paths) {
    return valueOf(valueOf(RecordTable::open(paths.userTable())).readColumn(1));
}

} // namespace userbooks
