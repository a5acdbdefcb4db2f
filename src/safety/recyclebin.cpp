#include "safety/recyclebin.h"

#include "safety/safefolders.h"
#include "safety/safetypaths.h"
#include "storage/safefile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace vellumar {

namespace {

constexpr QStringView PurgePrefix = u".正在清除-";
// A record is a few lines; anything larger is not one of ours and is not read.
constexpr qint64 MaxRecordBytes = 64 * 1024;

} // namespace

RecycleBin::RecycleBin(const DataPaths& paths, FileSystem& files)
    : m_files(files), m_root(SafetyPaths::recycleRoot(paths)) {}

bool RecycleBin::isEntryId(const QString& id) {
    static const QRegularExpression pattern(QStringLiteral("^\\d{8}-\\d{6}-[0-9a-f]{8}$"));
    return pattern.match(id).hasMatch();
}

QString RecycleBin::newId(const QDateTime& now) {
    return now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + u'-' +
           QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16,
                                    QLatin1Char('0'));
}

Status RecycleBin::makeEntry(const QString& id) {
    if (Status made = ensureFolder(m_files, m_root); !made)
        return made;
    return m_files.makeFolder(folderOf(id));
}

Status RecycleBin::writeRecord(const RecycledHolder& holder) {
    const QJsonObject object{{QStringLiteral("name"), holder.name},
                             {QStringLiteral("deletedAt"), holder.deletedAt.toString(Qt::ISODate)},
                             {QStringLiteral("position"), holder.position},
                             {QStringLiteral("records"), holder.records},
                             {QStringLiteral("hasLedger"), holder.hasLedger},
                             {QStringLiteral("hasBackups"), holder.hasBackups}};
    const QByteArray bytes = QJsonDocument(object).toJson();
    return writeWholeFile(recordOf(holder.id), bytes, SafeFileWriter::Mode::CreateNew);
}

Result<RecycledHolder> RecycleBin::holder(const QString& id) const {
    const QString path = recordOf(id);
    QFile file;
    if (Status opened = openForReading(file, path, false); !opened)
        return opened;
    const QString damaged = QStringLiteral("回收站中的记录“%1”已经损坏。").arg(path);
    if (file.size() > MaxRecordBytes)
        return Status::failure(damaged);
    const QByteArray bytes = file.read(MaxRecordBytes);
    if (file.error() != QFileDevice::NoError)
        return Status::failure(QStringLiteral("读取文件“%1”时出错。").arg(path),
                               file.errorString());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (!document.isObject())
        return Status::failure(damaged, error.errorString());
    const QJsonObject object = document.object();
    RecycledHolder holder;
    holder.id = id;
    holder.name = object.value(u"name").toString();
    holder.deletedAt = QDateTime::fromString(object.value(u"deletedAt").toString(), Qt::ISODate);
    holder.position = object.value(u"position").toInt(-1);
    holder.records = object.value(u"records").toInt(-1);
    holder.hasLedger = object.value(u"hasLedger").toBool();
    holder.hasBackups = object.value(u"hasBackups").toBool();
    if (!object.value(u"name").isString() || !holder.deletedAt.isValid())
        return Status::failure(damaged);
    return holder;
}

Status RecycleBin::finishPurges() {
    const Result<QStringList> names = m_files.list(m_root);
    if (!names)
        return names.status();
    for (const QString& name : *names)
        if (name.startsWith(PurgePrefix))
            if (Status removed = removeTree(m_files, m_root + u'/' + name); !removed)
                return removed;
    return Status();
}

Result<RecycleBin::Listing> RecycleBin::holders() {
    Listing listing;
    QList<RecycledHolder>& all = listing.holders;
    const Result<FileSystem::Kind> kind = m_files.kind(m_root);
    if (!kind)
        return kind.status();
    if (*kind == FileSystem::Kind::Missing)
        return listing;
    if (Status finished = finishPurges(); !finished)
        return finished;
    const Result<QStringList> names = m_files.list(m_root);
    if (!names)
        return names.status();
    for (const QString& id : *names) {
        if (!isEntryId(id))
            continue;
        const Result<FileSystem::Kind> record = m_files.kind(recordOf(id));
        if (!record)
            return record.status();
        if (*record != FileSystem::Kind::Regular)
            continue; // a holder on the way in or out
        Result<RecycledHolder> found = holder(id);
        if (found)
            all.append(std::move(found).value());
        else
            listing.unreadable.append(found.status());
    }
    std::sort(all.begin(), all.end(), [](const RecycledHolder& a, const RecycledHolder& b) {
        return a.deletedAt != b.deletedAt ? a.deletedAt > b.deletedAt : a.id > b.id;
    });
    return listing;
}

Status RecycleBin::purge(const QString& id) {
    if (!isEntryId(id))
        return Status::failure(QStringLiteral("回收站中没有这一项。"));
    const QString leaving = m_root + u'/' + PurgePrefix + id;
    if (Status moved = m_files.rename(folderOf(id), leaving); !moved)
        return moved;
    return removeTree(m_files, leaving);
}

} // namespace vellumar
