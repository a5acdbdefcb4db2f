#pragma once

#include "checks.h"
#include "storage/datapaths.h"
#include "storage/recordtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

// The books of the account holders as the disk holds them, told as one text, so that two
// states compare (and a difference reads) at a glance.
namespace userbooks {

using vellumar::DataPaths;
using vellumar::RecordTable;

// Everything the books consist of: the users in table order, every entry of the ledger folder
// with what it holds, and the notes still open. Two states are equal when these texts are.
inline QString describe(const QStringList& users, QStringList files, int notes = 0) {
    files.sort();
    QString text = QStringLiteral("users: ") + users.join(u'|') + QStringLiteral("; files: ") +
                   files.join(QStringLiteral(", "));
    if (notes)
        text += QStringLiteral("; notes: %1").arg(notes);
    return text;
}

inline QString describeDisk(const DataPaths& paths) {
    RecordTable table = valueOf(RecordTable::open(paths.userTable()));
    QStringList files;
    const QFileInfoList entries =
        QDir(paths.ledgerDirectory())
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        QString content;
        if (entry.isSymLink()) {
            content = QStringLiteral("link");
        } else if (entry.isDir()) {
            content = QStringLiteral("folder");
        } else {
            QFile file(entry.filePath());
            if (file.open(QIODevice::ReadOnly))
                content = QString::fromUtf8(file.readAll());
        }
        files.append(entry.fileName() + u'=' + content);
    }
    return describe(valueOf(table.readColumn(1)), files,
                    static_cast<int>(valueOf(table.notes()).size()));
}

inline QStringList tableUsers(const DataPaths& paths) {
    return valueOf(valueOf(RecordTable::open(paths.userTable())).readColumn(1));
}

} // namespace userbooks
