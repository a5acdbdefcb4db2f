#include "accounts/userdirectory.h"

#include "safety/ledgerbackups.h"
#include "safety/safetypaths.h"
#include "storage/fileerror.h"
#include "storage/safefile.h"
#include "storage/usernames.h"

#include <QDir>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <utility>

namespace vellumar {

namespace {

// The file steps a note can announce.
constexpr QStringView RenameStep = u"rename-ledger";       // the user's files to the new name
constexpr QStringView RecycleStep = u"into-recycle-bin";   // files into the bin, record to delete
constexpr QStringView RestoreStep = u"out-of-recycle-bin"; // files back, record to append
constexpr QStringView RestoredStep = u"tidy-recycle-bin";  // record appended, entry to remove
// Written by earlier versions of the program, which deleted a user's ledger for good; a note
// of theirs is still settled the way they meant it.
constexpr QStringView RemoveStep = u"set-ledger-aside"; // ledger to move aside, record to delete
constexpr QStringView DiscardStep = u"discard-ledger";  // record deleted, ledger aside to delete

// The user's files a note names, in the order they move.
constexpr QStringView LedgerFile = u"ledger";
constexpr QStringView BackupsFolder = u"backups";

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

Status staleTable() {
    return Status::failure(QStringLiteral("用户表已在本程序之外被改动（也许本程序同时开了两次）。"
                                          "用户列表已重新读取，请核对后再试一次。"));
}

Status noSuchUser() {
    return Status::failure(QStringLiteral("所选的用户已不在用户表中。"));
}

} // namespace

// One file step announced in the user table, as its note records it.
struct UserDirectory::Pending {
    qint64 id = 0;
    QString step;
    int record = 0;    // the user's record, from 1
    QString name;      // the user's name before the change
    QString newName;   // for a rename
    QString asideName; // for a delete: the ledger's name while it is set aside
    QString entry;     // the recycle bin's entry the files go to or come from
    QStringList files; // which of the user's files move ("ledger", "backups")

    static std::optional<Pending> parse(const RecordTable::Note& note) {
        const QJsonDocument document = QJsonDocument::fromJson(note.text.toUtf8());
        if (!document.isObject())
            return std::nullopt;
        const QJsonObject object = document.object();
        Pending pending;
        pending.id = note.id;
        pending.step = object.value(u"step").toString();
        pending.record = object.value(u"record").toInt();
        pending.name = object.value(u"name").toString();
        pending.newName = object.value(u"newName").toString();
        pending.asideName = object.value(u"aside").toString();
        pending.entry = object.value(u"entry").toString();
        // A rename noted before backups moved along names no files: the ledger alone.
        const QJsonValue files = object.value(u"files");
        pending.files = files.isUndefined() ? QStringList{LedgerFile.toString()}
                                            : files.toVariant().toStringList();
        // Names are only ever ours, so a damaged note cannot aim at other files.
        if (!pending.asideName.isEmpty() &&
            (!pending.asideName.startsWith(u'.') || !isSafeUserName(pending.asideName)))
            return std::nullopt;
        if (!pending.entry.isEmpty() && !RecycleBin::isEntryId(pending.entry))
            return std::nullopt;
        for (const QString& file : pending.files)
            if (file != LedgerFile && file != BackupsFolder)
                return std::nullopt;
        return pending;
    }

    QString text() const {
        QJsonObject object{{QStringLiteral("step"), step},
                           {QStringLiteral("record"), record},
                           {QStringLiteral("name"), name},
                           {QStringLiteral("newName"), newName}};
        if (!asideName.isEmpty())
            object.insert(u"aside", asideName);
        if (!entry.isEmpty())
            object.insert(u"entry", entry);
        object.insert(u"files", QJsonArray::fromStringList(files));
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
};

// One of a user's files on its way: what it is, from where, to where.
struct UserDirectory::Move {
    QString file;
    QString from;
    QString to;
};

UserDirectory::UserDirectory(const DataPaths& paths, FileSystem& files, RecordTable table)
    : m_paths(paths), m_files(files), m_bin(paths, files), m_table(std::move(table)),
      m_fileNameLimit(vellumar::fileNameLimit(paths.ledgerDirectory())) {}

Result<std::unique_ptr<UserDirectory>> UserDirectory::open(const DataPaths& paths,
                                                           FileSystem& files) {
    Result<RecordTable> table = RecordTable::open(paths.userTable());
    if (!table)
        return table.status();
    std::unique_ptr<UserDirectory> directory(
        new UserDirectory(paths, files, std::move(table).value()));

    const Result<QList<RecordTable::Note>> notes = directory->m_table.notes();
    if (!notes)
        return notes.status();
    for (const RecordTable::Note& note : *notes)
        if (Status settled = directory->settle(note); !settled)
            return settled.prefixed(QStringLiteral("上次修改用户时程序被中断了，现在无法把那次"
                                                   "修改做完或撤消。"));
    if (Status read = directory->reload(); !read)
        return read;
    return Result<std::unique_ptr<UserDirectory>>(std::move(directory));
}

std::optional<int> UserDirectory::find(const QString& name) const {
    const qsizetype position = m_users.indexOf(name);
    if (position < 0)
        return std::nullopt;
    return static_cast<int>(position);
}

bool UserDirectory::isValidName(const QString& name) const {
    return isSafeUserName(name) && fitsLedgerFileName(name, m_fileNameLimit);
}

QString UserDirectory::ledgerPath(const QString& name) const {
    return m_paths.ledgerFile(DataPaths::LedgerDirSlash, name);
}

QString UserDirectory::asidePath(const QString& asideName) const {
    return m_paths.ledgerDirectory() + u'/' + asideName;
}

Result<FileSystem::Kind> UserDirectory::ledgerKind(const QString& name) const {
    if (!isValidName(name))
        return FileSystem::Kind::Missing;
    return m_files.kind(ledgerPath(name));
}

QString UserDirectory::backupsPath(const QString& name) const {
    return SafetyPaths::holderFolder(m_paths, name);
}

Result<FileSystem::Kind> UserDirectory::backupsKind(const QString& name) const {
    if (!isValidName(name))
        return FileSystem::Kind::Missing;
    return m_files.kind(backupsPath(name));
}

Result<QStringList> UserDirectory::filesOf(const QString& name) const {
    QStringList files;
    const Result<FileSystem::Kind> ledger = ledgerKind(name);
    if (!ledger)
        return ledger.status();
    if (*ledger != FileSystem::Kind::Missing)
        files.append(LedgerFile.toString());
    // Only a folder is the user's backups; anything else of that name is left where it is.
    const Result<FileSystem::Kind> backups = backupsKind(name);
    if (!backups)
        return backups.status();
    if (*backups == FileSystem::Kind::Directory)
        files.append(BackupsFolder.toString());
    return files;
}

QList<UserDirectory::Move> UserDirectory::renameMoves(const Pending& pending) const {
    QList<Move> moves;
    for (const QString& file : pending.files)
        moves.append(file == LedgerFile
                         ? Move{file, ledgerPath(pending.name), ledgerPath(pending.newName)}
                         : Move{file, backupsPath(pending.name), backupsPath(pending.newName)});
    return moves;
}

// Into the bin (from the user's places to the entry), or out of it the other way round.
QList<UserDirectory::Move> UserDirectory::binMoves(const Pending& pending, BinWay way) const {
    QList<Move> moves;
    for (const QString& file : pending.files) {
        Move move = file == LedgerFile
                        ? Move{file, ledgerPath(pending.name), m_bin.ledgerOf(pending.entry)}
                        : Move{file, backupsPath(pending.name), m_bin.backupsOf(pending.entry)};
        if (way == BinWay::Out)
            std::swap(move.from, move.to);
        moves.append(move);
    }
    return moves;
}

Status UserDirectory::moveAll(const QList<Move>& moves) {
    for (qsizetype done = 0; done < moves.size(); ++done) {
        if (Status moved = m_files.rename(moves[done].from, moves[done].to); !moved) {
            if (Status back = moveBack(moves.first(done)); !back)
                return Status::failure(moved.message() + QStringLiteral("\n\n") + back.message(),
                                       moved.detail());
            return moved;
        }
    }
    return Status();
}

Status UserDirectory::moveBack(const QList<Move>& moves) {
    Status failed;
    for (auto move = moves.crbegin(); move != moves.crend(); ++move) {
        const Result<FileSystem::Kind> there = m_files.kind(move->to);
        if (!there) {
            failed = there.status();
            continue;
        }
        if (*there == FileSystem::Kind::Missing)
            continue;
        if (Status back = m_files.rename(move->to, move->from); !back)
            failed = back;
    }
    return failed;
}

Status UserDirectory::reload() {
    Result<QStringList> users = m_table.readColumn(1);
    if (!users)
        return users.status();
    m_users = std::move(users).value();
    return Status();
}

Status UserDirectory::transaction(const std::function<Status(RecordTable::Editor&)>& changes) {
    std::optional<QStringList> found;
    Status status = m_table.change([&](RecordTable::Editor& editor) -> Status {
        // Positions only mean something while the table holds what the operator sees.
        Result<QStringList> now = m_table.readColumn(1);
        if (!now)
            return now.status();
        if (*now != m_users) {
            found = std::move(now).value();
            return staleTable();
        }
        return changes(editor);
    });
    if (found) {
        m_users = std::move(*found);
        Q_EMIT usersReloaded();
    }
    return status;
}

Result<qint64> UserDirectory::writeNote(const Pending& pending) {
    qint64 id = 0;
    const Status written = transaction([&](RecordTable::Editor& editor) -> Status {
        const Result<qint64> added = editor.addNote(pending.text());
        if (!added)
            return added.status();
        id = *added;
        return Status();
    });
    if (!written)
        return written;
    return id;
}

Status UserDirectory::dropNote(qint64 id) {
    return m_table.change([&](RecordTable::Editor& editor) { return editor.removeNote(id); });
}

UserChange UserDirectory::checkNewName(const QString& name, const QString& lead) const {
    if (!isValidName(name))
        return UserChange::refused(UserChange::Refusal::InvalidName,
                                   Status::failure(QStringLiteral("用户名无效！")));
    if (find(name))
        return UserChange::refused(UserChange::Refusal::NameInUse,
                                   Status::failure(QStringLiteral("此用户已存在！")));
    // A file under the name belongs to nobody now (a ledger whose user went without it, or
    // something put there by hand), and so do someone's old versions. Handing them to a new
    // holder would show them someone else's books, so the name waits until the operator has
    // looked at them.
    const std::pair<QString, QString> inTheWay[] = {
        {ledgerPath(name),
         QStringLiteral("账本文件夹里已经有一个文件“%1”，但没有哪个用户叫“%2”。为了不让"
                        "这个名字的用户接手别人的账目，现在不能使用这个名字。\n\n请先查看"
                        "这个文件：需要时把它移到别处或删除，然后再试。")},
        {backupsPath(name),
         QStringLiteral("备份文件夹里已经有“%1”，但没有哪个用户叫“%2”。为了不让这个名字的用户"
                        "接手别人的备份，现在不能使用这个名字。\n\n请先查看它：需要时把它移到"
                        "别处或删除，然后再试。")}};
    for (const auto& [path, message] : inTheWay) {
        const Result<FileSystem::Kind> kind = m_files.kind(path);
        if (!kind)
            return UserChange::failed(kind.status().prefixed(lead));
        if (*kind != FileSystem::Kind::Missing)
            return UserChange::failed(Status::failure(message.arg(shown(path), name)));
    }
    return UserChange();
}

UserChange UserDirectory::add(const QString& name) {
    if (UserChange checked = checkNewName(name); !checked)
        return checked;
    // The record and its name are written together: there is never a user without a name.
    if (Status added =
            transaction([&](RecordTable::Editor& editor) { return editor.appendRecord({name}); });
        !added)
        return UserChange::failed(added.prefixed(QStringLiteral("用户没有添加。")));
    m_users.append(name);
    Q_EMIT userAdded(count() - 1);
    return UserChange();
}

UserChange UserDirectory::rename(int position, const QString& newName) {
    if (position < 0 || position >= count())
        return UserChange::failed(noSuchUser());
    const QString oldName = m_users[position];
    if (!isValidName(newName))
        return checkNewName(newName);
    if (newName == oldName)
        return UserChange();
    const QString notRenamed = QStringLiteral("用户名没有修改。");
    if (UserChange checked = checkNewName(newName, notRenamed); !checked)
        return checked;
    // Whatever has the user's ledger name moves with the user; it is nobody else's.
    const Result<QStringList> files = filesOf(oldName);
    if (!files)
        return UserChange::failed(files.status().prefixed(notRenamed));

    const int record = position + 1;
    const auto writeName = [&](RecordTable::Editor& editor) {
        return editor.writeField(record, 1, newName);
    };
    if (files->isEmpty()) {
        // A user who never saved a ledger: only the record changes.
        if (Status renamed = transaction(writeName); !renamed)
            return UserChange::failed(renamed.prefixed(notRenamed));
        m_users[position] = newName;
        Q_EMIT userRenamed(position);
        return UserChange();
    }

    Pending pending;
    pending.step = RenameStep.toString();
    pending.record = record;
    pending.name = oldName;
    pending.newName = newName;
    pending.files = *files;
    const Result<qint64> note = writeNote(pending);
    if (!note)
        return UserChange::failed(note.status().prefixed(notRenamed));

    const QList<Move> moves = renameMoves(pending);
    if (Status moved = moveAll(moves); !moved) {
        // Should the note stay, the next start sees the files unmoved and drops it.
        (void)dropNote(*note);
        return UserChange::failed(
            moved.prefixed(QStringLiteral("账本文件无法改名，用户名没有修改。")));
    }
    const Status renamed = transaction([&](RecordTable::Editor& editor) -> Status {
        if (Status written = writeName(editor); !written)
            return written;
        return editor.removeNote(*note);
    });
    if (!renamed) {
        if (Status back = moveBack(moves); !back)
            return UserChange::failed(Status::failure(
                QStringLiteral("%1\n\n账本文件已经改名为“%2”，却没能改回原名。用户“%3”暂时打不开"
                               "自己的账本；程序下次启动时会把这次改名做完。")
                    .arg(renamed.message(), shown(moves.first().to), oldName),
                renamed.detail()));
        (void)dropNote(*note);
        return UserChange::failed(renamed.prefixed(notRenamed));
    }
    m_users[position] = newName;
    Q_EMIT userRenamed(position);
    return UserChange();
}

UserChange UserDirectory::remove(int position, const QDateTime& now) {
    if (position < 0 || position >= count())
        return UserChange::failed(noSuchUser());
    const QString name = m_users[position];
    const QString notDeleted = QStringLiteral("用户“%1”没有删除。").arg(name);
    const Result<FileSystem::Kind> kind = ledgerKind(name);
    if (!kind)
        return UserChange::failed(kind.status().prefixed(notDeleted));
    // A folder or a device under the ledger's name is no ledger, and deleting a user never
    // takes anything else along.
    if (*kind == FileSystem::Kind::Directory || *kind == FileSystem::Kind::Other)
        return UserChange::failed(
            (*kind == FileSystem::Kind::Directory
                 ? fileFailure(FileAction::Remove, ledgerPath(name), EISDIR)
                 : notARegularFile(FileAction::Remove, ledgerPath(name), false))
                .prefixed(notDeleted));
    const Result<QStringList> files = filesOf(name);
    if (!files)
        return UserChange::failed(files.status().prefixed(notDeleted));

    RecycledHolder holder;
    holder.id = RecycleBin::newId(now);
    holder.name = name;
    holder.deletedAt = now;
    holder.position = position;
    holder.hasLedger = files->contains(LedgerFile);
    holder.hasBackups = files->contains(BackupsFolder);
    if (*kind == FileSystem::Kind::Regular) {
        const Result<LedgerSummary> summary = LedgerBackups::summarize(ledgerPath(name));
        holder.records = summary ? summary->records : -1;
    } else if (holder.hasLedger) {
        holder.records = -1;
    }

    // Into the bin first, with a note; the record goes last, together with the note, so until
    // then everything can go back to the user.
    Pending pending;
    pending.step = RecycleStep.toString();
    pending.record = position + 1;
    pending.name = name;
    pending.entry = holder.id;
    pending.files = *files;
    const Result<qint64> note = writeNote(pending);
    if (!note)
        return UserChange::failed(note.status().prefixed(notDeleted));
    const auto giveBack = [&](const Status& why) {
        if (Status back = takeBackFromBin(pending); !back)
            return UserChange::failed(Status::failure(
                QStringLiteral("%1\n\n用户“%2”没有删除，但其账本文件暂时放在了“%3”，没能放回"
                               "原处；程序下次启动时会把它放回去。")
                    .arg(why.message(), name, shown(m_bin.folderOf(holder.id))),
                why.detail()));
        (void)dropNote(*note);
        return UserChange::failed(why);
    };
    if (Status made = m_bin.makeEntry(holder.id); !made)
        return giveBack(made.prefixed(notDeleted));
    if (Status moved = moveAll(binMoves(pending, BinWay::In)); !moved)
        return giveBack(moved.prefixed(
            QStringLiteral("用户“%1”没有删除，因为其账本文件无法移到回收站：").arg(name)));
    if (Status recorded = m_bin.writeRecord(holder); !recorded)
        return giveBack(recorded.prefixed(notDeleted));
    const Status removed = transaction([&](RecordTable::Editor& editor) -> Status {
        if (Status deleted = editor.deleteRecords(pending.record, 1); !deleted)
            return deleted;
        return editor.removeNote(*note);
    });
    if (!removed)
        return giveBack(removed.prefixed(notDeleted));
    m_users.removeAt(position);
    Q_EMIT userRemoved(position);
    return UserChange();
}

UserChange UserDirectory::restore(const QString& entryId) {
    const Result<RecycledHolder> found = m_bin.holder(entryId);
    if (!found)
        return UserChange::failed(found.status());
    const RecycledHolder& holder = *found;
    const QString notRestored = QStringLiteral("用户“%1”没有恢复。").arg(holder.name);
    if (UserChange checked = checkNewName(holder.name, notRestored); !checked)
        return checked;

    Pending pending;
    pending.step = RestoreStep.toString();
    pending.name = holder.name;
    pending.entry = entryId;
    pending.files = {LedgerFile.toString(), BackupsFolder.toString()};
    // What the entry holds goes back; a ledger never saved has nothing to move.
    for (const Move& move : binMoves(pending, BinWay::In)) {
        const Result<FileSystem::Kind> kind = m_files.kind(move.to);
        if (!kind)
            return UserChange::failed(kind.status().prefixed(notRestored));
        if (*kind == FileSystem::Kind::Missing)
            pending.files.removeOne(move.file);
    }
    const Result<qint64> note = writeNote(pending);
    if (!note)
        return UserChange::failed(note.status().prefixed(notRestored));
    const QList<Move> moves = binMoves(pending, BinWay::Out);
    if (Status moved = moveAll(moves); !moved) {
        (void)dropNote(*note);
        return UserChange::failed(moved.prefixed(notRestored));
    }
    Pending tidy;
    tidy.step = RestoredStep.toString();
    tidy.name = holder.name;
    tidy.entry = entryId;
    qint64 tidyNote = 0;
    const Status appended = transaction([&](RecordTable::Editor& editor) -> Status {
        if (Status added = editor.appendRecord({holder.name}); !added)
            return added;
        if (Status dropped = editor.removeNote(*note); !dropped)
            return dropped;
        const Result<qint64> added = editor.addNote(tidy.text());
        if (!added)
            return added.status();
        tidyNote = *added;
        return Status();
    });
    if (!appended) {
        if (Status back = moveBack(moves); !back)
            return UserChange::failed(Status::failure(
                QStringLiteral("%1\n\n用户“%2”没有恢复，其账本文件却没能放回回收站；程序下次启动"
                               "时会把它放回去。")
                    .arg(appended.message(), holder.name),
                appended.detail()));
        (void)dropNote(*note);
        return UserChange::failed(appended.prefixed(notRestored));
    }
    m_users.append(holder.name);
    Q_EMIT userAdded(count() - 1);

    const QString restoredBut = QStringLiteral("用户“%1”已经恢复，但").arg(holder.name);
    if (Status tidied = tidyBinEntry(entryId); !tidied)
        return UserChange::failed(tidied.prefixed(
            restoredBut + QStringLiteral("回收站中的这一项没能清除；程序下次启动时会再试。")));
    if (Status dropped = dropNote(tidyNote); !dropped)
        return UserChange::failed(dropped.prefixed(
            restoredBut + QStringLiteral("用户表中一条待办记录没能清除；程序下次启动时会再试。")));
    return UserChange();
}

// Once its files are back with the user, the entry is only its record in an otherwise empty
// folder.
Status UserDirectory::tidyBinEntry(const QString& id) {
    for (const QString& path : {m_bin.recordOf(id), m_bin.folderOf(id)}) {
        const Result<FileSystem::Kind> kind = m_files.kind(path);
        if (!kind)
            return kind.status();
        if (*kind == FileSystem::Kind::Missing)
            continue;
        const Status removed = *kind == FileSystem::Kind::Directory ? m_files.removeFolder(path)
                                                                    : m_files.remove(path);
        if (!removed)
            return removed;
    }
    return Status();
}

// Everything that went into the entry goes back where it came from, unless something has taken
// its place meanwhile (then both stay, and the operator is told); the entry goes.
Status UserDirectory::takeBackFromBin(const Pending& pending) {
    const Result<FileSystem::Kind> entry = m_files.kind(m_bin.folderOf(pending.entry));
    if (!entry)
        return entry.status();
    if (*entry == FileSystem::Kind::Missing)
        return Status();
    if (const Result<FileSystem::Kind> record = m_files.kind(m_bin.recordOf(pending.entry));
        !record)
        return record.status();
    else if (*record != FileSystem::Kind::Missing)
        if (Status removed = m_files.remove(m_bin.recordOf(pending.entry)); !removed)
            return removed;
    bool bothThere = false;
    for (const Move& move : binMoves(pending, BinWay::In)) {
        const Result<FileSystem::Kind> inBin = m_files.kind(move.to);
        if (!inBin)
            return inBin.status();
        if (*inBin == FileSystem::Kind::Missing)
            continue;
        const Result<FileSystem::Kind> atHome = m_files.kind(move.from);
        if (!atHome)
            return atHome.status();
        if (*atHome != FileSystem::Kind::Missing) {
            bothThere = true;
            continue;
        }
        if (Status back = m_files.rename(move.to, move.from); !back)
            return back;
    }
    // A record cut off while it was written leaves its unfinished copy behind.
    const Result<QStringList> left = m_files.list(m_bin.folderOf(pending.entry));
    if (!left)
        return left.status();
    for (const QString& name : *left)
        if (name.startsWith(SafeFileWriter::TemporaryPrefix))
            if (Status removed = m_files.remove(m_bin.folderOf(pending.entry) + u'/' + name);
                !removed)
                return removed;
    if (bothThere) {
        m_warnings.append(Status::failure(
            QStringLiteral("删除用户“%1”时程序被中断了。用户没有删除；其账本“%2”还在，另有一份"
                           "旧账本放在“%3”。请查看这两个文件，需要时把旧的合并进来或删除它。")
                .arg(pending.name, shown(ledgerPath(pending.name)),
                     shown(m_bin.folderOf(pending.entry)))));
        return Status();
    }
    return m_files.removeFolder(m_bin.folderOf(pending.entry));
}

// ----- settling what a crash cut short -------------------------------------------------------

Status UserDirectory::settle(const RecordTable::Note& note) {
    const std::optional<Pending> pending = Pending::parse(note);
    if (!pending || !isValidName(pending->name)) {
        m_warnings.append(Status::failure(
            QStringLiteral("用户表中有一条本程序认不出的待办记录，没有处理它。"), note.text));
        return Status();
    }
    if (pending->step == RenameStep && isValidName(pending->newName) && !pending->files.isEmpty())
        return settleRename(*pending);
    if (pending->step == RecycleStep && !pending->entry.isEmpty())
        return settleRecycle(*pending);
    if (pending->step == RestoreStep && !pending->entry.isEmpty())
        return settleRestore(*pending);
    if (pending->step == RestoredStep && !pending->entry.isEmpty())
        return settleRestored(*pending);
    if (pending->step == RemoveStep && !pending->asideName.isEmpty())
        return settleRemove(*pending);
    if (pending->step == DiscardStep && !pending->asideName.isEmpty())
        return settleDiscard(*pending);
    m_warnings.append(Status::failure(
        QStringLiteral("用户表中有一条本程序认不出的待办记录，没有处理它。"), note.text));
    return Status();
}

// A rename's file steps are the only thing between the note and the record, and the first of
// them decides: where the first of the user's files is tells whether the rename happened.
Status UserDirectory::settleRename(const Pending& pending) {
    const Result<QString> held = m_table.readField(pending.record, 1);
    if (!held)
        return held.status();
    const QList<Move> moves = renameMoves(pending);
    const QString& from = moves.first().from;
    const QString& to = moves.first().to;
    const Result<FileSystem::Kind> atFrom = m_files.kind(from);
    if (!atFrom)
        return atFrom.status();
    const Result<FileSystem::Kind> atTo = m_files.kind(to);
    if (!atTo)
        return atTo.status();
    const bool moved = *atFrom == FileSystem::Kind::Missing;
    const bool arrived = *atTo != FileSystem::Kind::Missing;

    if (*held != pending.name) {
        m_warnings.append(Status::failure(
            QStringLiteral("给用户“%1”改名为“%2”时程序被中断了，而用户表之后又在本程序之外被改动"
                           "过。请检查账本文件夹中的“%3”和“%4”。")
                .arg(pending.name, pending.newName, shown(from), shown(to))));
        return dropNote(pending.id);
    }
    if (moved && arrived) {
        // The rest follow the first, where they have not yet.
        for (const Move& move : moves.mid(1)) {
            const Result<FileSystem::Kind> left = m_files.kind(move.from);
            if (!left)
                return left.status();
            if (*left == FileSystem::Kind::Missing)
                continue;
            if (Status followed = m_files.rename(move.from, move.to); !followed)
                return followed;
        }
        return m_table.change([&](RecordTable::Editor& editor) -> Status {
            if (Status written = editor.writeField(pending.record, 1, pending.newName); !written)
                return written;
            return editor.removeNote(pending.id);
        });
    }
    if (!moved && arrived)
        m_warnings.append(Status::failure(
            QStringLiteral("给用户“%1”改名为“%2”时程序被中断了。用户名仍是“%1”，账本仍是“%3”；"
                           "文件“%4”不属于任何用户，请查看后把它移到别处。")
                .arg(pending.name, pending.newName, shown(from), shown(to))));
    // Not moved (or nothing there to move): the user keeps the old name.
    return dropNote(pending.id);
}

// Until the record is deleted, a ledger set aside goes back to its user.
Status UserDirectory::settleRemove(const Pending& pending) {
    const QString ledger = ledgerPath(pending.name);
    const QString asideFile = asidePath(pending.asideName);
    const Result<FileSystem::Kind> atAside = m_files.kind(asideFile);
    if (!atAside)
        return atAside.status();
    if (*atAside == FileSystem::Kind::Missing)
        return dropNote(pending.id);
    const Result<FileSystem::Kind> atLedger = m_files.kind(ledger);
    if (!atLedger)
        return atLedger.status();
    if (*atLedger != FileSystem::Kind::Missing) {
        m_warnings.append(Status::failure(
            QStringLiteral("删除用户“%1”时程序被中断了。用户没有删除；其账本“%2”还在，另有一份"
                           "旧账本放在“%3”。请查看这两个文件，需要时把旧的合并进来或删除它。")
                .arg(pending.name, shown(ledger), shown(asideFile))));
        return dropNote(pending.id);
    }
    if (Status back = m_files.rename(asideFile, ledger); !back)
        return back;
    return dropNote(pending.id);
}

// The record is gone already; only the ledger set aside is left to delete.
Status UserDirectory::settleDiscard(const Pending& pending) {
    const QString asideFile = asidePath(pending.asideName);
    const Result<FileSystem::Kind> atAside = m_files.kind(asideFile);
    if (!atAside)
        return atAside.status();
    if (*atAside != FileSystem::Kind::Missing) {
        if (Status gone = m_files.remove(asideFile); !gone) {
            // The users are final; a leftover file does not keep anyone from working.
            m_warnings.append(gone.prefixed(
                QStringLiteral("用户“%1”已经删除，但其账本文件没能删掉：").arg(pending.name)));
            return Status();
        }
    }
    return dropNote(pending.id);
}

// The record is still there (it goes together with the note): the user keeps their files.
Status UserDirectory::settleRecycle(const Pending& pending) {
    if (Status back = takeBackFromBin(pending); !back)
        return back;
    return dropNote(pending.id);
}

// The record was not appended (it comes together with dropping the note): the files go back
// into the bin.
Status UserDirectory::settleRestore(const Pending& pending) {
    if (Status back = moveBack(binMoves(pending, BinWay::Out)); !back)
        return back;
    return dropNote(pending.id);
}

// The user is back; only the entry is left to remove.
Status UserDirectory::settleRestored(const Pending& pending) {
    if (Status tidied = tidyBinEntry(pending.entry); !tidied) {
        // The users are final; a leftover entry does not keep anyone from working.
        m_warnings.append(tidied.prefixed(
            QStringLiteral("用户“%1”已经恢复，但回收站中的这一项没能清除：").arg(pending.name)));
        return Status();
    }
    return dropNote(pending.id);
}

} // namespace vellumar
