#include "safety/ledgerbackups.h"

#include "ledger/ledgerfile.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgersheet.h"
#include "safety/safefolders.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <set>

namespace vellumar {

namespace {

constexpr QStringView StampFormat = u"yyyyMMdd-HHmmss";

// "20261209-093015.z" or "20261209-093015-2.z": the moment and the number of the name.
struct VersionName {
    QDateTime savedAt;
    int number = 1;
};

std::optional<VersionName> parseName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{8}-\\d{6})(?:-(\\d{1,4}))?\\.z$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    VersionName parsed;
    parsed.savedAt = QDateTime::fromString(match.captured(1), StampFormat.toString());
    if (!parsed.savedAt.isValid())
        return std::nullopt;
    if (match.hasCaptured(2))
        parsed.number = match.captured(2).toInt();
    return parsed;
}

} // namespace

LedgerBackups::LedgerBackups(FileSystem& files, QString folder)
    : m_files(files), m_folder(std::move(folder)) {}

Result<QList<BackupVersion>> LedgerBackups::versions() const {
    const Result<FileSystem::Kind> kind = m_files.kind(m_folder);
    if (!kind)
        return kind.status();
    QList<BackupVersion> found;
    if (*kind == FileSystem::Kind::Missing)
        return found;
    const Result<QStringList> names = m_files.list(m_folder);
    if (!names)
        return names.status();
    QList<std::pair<VersionName, BackupVersion>> named;
    for (const QString& name : *names) {
        const std::optional<VersionName> parsed = parseName(name);
        if (!parsed)
            continue;
        const QString path = m_folder + u'/' + name;
        const QFileInfo info(path);
        if (info.isSymLink() || !info.isFile())
            continue;
        named.append({*parsed, BackupVersion{path, parsed->savedAt, info.size()}});
    }
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        if (a.first.savedAt != b.first.savedAt)
            return a.first.savedAt > b.first.savedAt;
        return a.first.number > b.first.number;
    });
    for (const auto& [name, version] : named)
        found.append(version);
    return found;
}

Result<BackupVersion> LedgerBackups::keep(const QString& ledgerFile, const QDateTime& savedAt) {
    if (Status made = ensureFolder(m_files, m_folder); !made)
        return made;
    const QString stamp = m_folder + u'/' + savedAt.toString(StampFormat.toString());
    const Result<QString> path = firstFreePath(m_files, [&](int number) -> QString {
        return number == 1 ? stamp + QStringLiteral(".z")
                           : QStringLiteral("%1-%2.z").arg(stamp).arg(number);
    });
    if (!path)
        return path.status();
    // A second name costs nothing and cannot be half made; a copy is crash-safe too.
    if (Status linked = m_files.link(ledgerFile, *path); !linked)
        if (Status copied = m_files.copy(ledgerFile, *path); !copied)
            return copied;
    return BackupVersion{*path, savedAt, QFileInfo(*path).size()};
}

QList<int> LedgerBackups::beyondBounds(const QList<BackupVersion>& newestFirst,
                                       const QDateTime& now, qint64 ledgerSize) {
    const auto count = static_cast<int>(newestFirst.size());
    std::vector<bool> kept(static_cast<size_t>(count), false);
    const QDate firstDay = now.date().addDays(1 - DailyDays);
    std::set<QDate> daysSeen;
    for (int i = 0; i < count; ++i) {
        const QDateTime& savedAt = newestFirst[i].savedAt;
        // A clock set back later must not cost the versions it made look young.
        const bool recent = i < RecentVersions || savedAt > now;
        const QDate day = savedAt.date();
        const bool newestOfItsDay = day >= firstDay && daysSeen.insert(day).second;
        kept[static_cast<size_t>(i)] = recent || newestOfItsDay;
    }
    // Then the size: the oldest kept go until the rest fits, but never the newest ones.
    qint64 total = 0;
    for (int i = 0; i < count; ++i)
        if (kept[static_cast<size_t>(i)])
            total += newestFirst[i].size;
    const qint64 allowed = SizeFactor * std::max<qint64>(ledgerSize, 0) + SizeAllowance;
    for (int i = count - 1; i >= AlwaysKept && total > allowed; --i) {
        if (!kept[static_cast<size_t>(i)])
            continue;
        kept[static_cast<size_t>(i)] = false;
        total -= newestFirst[i].size;
    }
    QList<int> beyond;
    for (int i = 0; i < count; ++i)
        if (!kept[static_cast<size_t>(i)])
            beyond.append(i);
    return beyond;
}

Status LedgerBackups::prune(const QDateTime& now, qint64 ledgerSize) {
    const Result<QList<BackupVersion>> all = versions();
    if (!all)
        return all.status();
    for (int index : beyondBounds(*all, now, ledgerSize))
        if (Status removed = m_files.remove((*all)[index].path); !removed)
            return removed;
    return Status();
}

Result<LedgerSummary> LedgerBackups::summarize(const QString& file) {
    LedgerSheet sheet(0);
    if (Status loaded = LedgerFile::load(file, sheet, /*followLinks=*/false); !loaded)
        return loaded;
    // Counted as the ledger window shows it, with the titles in their row.
    if (const Result<bool> titled = LedgerRecords::placeTitles(sheet); !titled)
        return titled.status();
    return summarize(sheet);
}

LedgerSummary LedgerBackups::summarize(const LedgerSheet& sheet) {
    return LedgerSummary{LedgerRecords::recordCount(sheet), LedgerRecords::total(sheet)};
}

} // namespace vellumar
