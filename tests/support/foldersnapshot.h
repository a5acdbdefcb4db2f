#pragma once

#include <QDir>
#include <QFileInfo>
#include <QStringList>

// Every entry under a folder, hidden ones included, with its size and modification time: two
// snapshots are equal when nothing in the folder was made, removed or written.
inline QStringList folderSnapshot(const QString& folder) {
    QStringList entries;
    const QFileInfoList found = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : found) {
        entries.append(entry.fileName() + QStringLiteral(" %1 %2")
                                              .arg(entry.size())
                                              .arg(entry.lastModified().toMSecsSinceEpoch()));
        if (entry.isDir() && !entry.isSymLink())
            for (const QString& inner : folderSnapshot(entry.filePath()))
                entries.append(entry.fileName() + u'/' + inner);
    }
    return entries;
}
