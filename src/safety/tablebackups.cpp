#include "safety/tablebackups.h"

#include "safety/safefolders.h"
#include "safety/safetypaths.h"
#include "storage/posixfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

namespace vellumar::TableBackups {

namespace {

constexpr QStringView DayFormat = u"yyyyMMdd";
constexpr QStringView BuildingPrefix = u".正在备份-";

Status sqliteRefused(sqlite3* db, int rc, const QString& table) {
    return Status::failure(QStringLiteral("数据表“%1”没能备份。").arg(table),
                           QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) +
                               QStringLiteral("（") + QString::fromUtf8(sqlite3_errstr(rc)) +
                               QStringLiteral("）"));
}

// Deletes the days beyond the newest KeptDays, and any folder a crash left half built.
Status prune(FileSystem& files, const QString& root) {
    const Result<QStringList> names = files.list(root);
    if (!names)
        return names.status();
    static const QRegularExpression day(QStringLiteral("^\\d{8}$"));
    QStringList days;
    for (const QString& name : *names) {
        if (day.match(name).hasMatch())
            days.append(name);
        else if (name.startsWith(BuildingPrefix))
            if (Status removed = removeTree(files, root + u'/' + name); !removed)
                return removed;
    }
    std::sort(days.begin(), days.end(), std::greater<>());
    for (qsizetype i = KeptDays; i < days.size(); ++i)
        if (Status removed = removeTree(files, root + u'/' + days[i]); !removed)
            return removed;
    return Status();
}

} // namespace

Status copyTable(const QString& from, const QString& to) {
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    const auto close = [&] {
        sqlite3_close(source);
        sqlite3_close(target);
    };
    int rc = sqlite3_open_v2(QFile::encodeName(from).constData(), &source,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc != SQLITE_OK) {
        const Status failed = sqliteRefused(source, rc, from);
        close();
        return failed;
    }
    sqlite3_busy_timeout(source, 5000);
    rc =
        sqlite3_open_v2(QFile::encodeName(to).constData(), &target,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(target, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const Status failed = sqliteRefused(target, rc, from);
        close();
        return failed;
    }
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) {
        const Status failed = sqliteRefused(target, sqlite3_errcode(target), from);
        close();
        return failed;
    }
    // All pages in one step; a table busy with another view is waited for.
    do {
        rc = sqlite3_backup_step(backup, -1);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            sqlite3_sleep(50);
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(backup);
    const int finished = sqlite3_errcode(target);
    Status status;
    if (rc != SQLITE_DONE || finished != SQLITE_OK)
        status = sqliteRefused(target, rc != SQLITE_DONE ? rc : finished, from);
    close();
    return status;
}

Result<bool> backUpIfDue(const DataPaths& paths, FileSystem& files, const QDateTime& now) {
    const QString root = SafetyPaths::tableBackupRoot(paths);
    const QString today = root + u'/' + now.toString(DayFormat.toString());
    if (Status made = ensureFolder(files, root); !made)
        return made;
    const Result<FileSystem::Kind> done = files.kind(today);
    if (!done)
        return done.status();
    if (*done != FileSystem::Kind::Missing)
        return false;
    const QString building = root + u'/' + BuildingPrefix + now.toString(DayFormat.toString());
    if (const Result<FileSystem::Kind> left = files.kind(building); !left)
        return left.status();
    else if (*left != FileSystem::Kind::Missing)
        if (Status removed = removeTree(files, building); !removed)
            return removed;
    if (Status made = files.makeFolder(building); !made)
        return made;
    for (const QString& table : {paths.userTable(), paths.passwordTable()}) {
        const QString copy = building + u'/' + QFileInfo(table).fileName();
        if (Status copied = copyTable(table, copy); !copied) {
            (void)removeTree(files, building);
            return copied;
        }
    }
    if (Status named = files.rename(building, today); !named) {
        (void)removeTree(files, building);
        return named;
    }
    if (Status pruned = prune(files, root); !pruned)
        return pruned.prefixed(QStringLiteral("今天的数据表备份已经做好，但旧的备份没能清理："));
    return true;
}

} // namespace vellumar::TableBackups
