#include "accounts/userdirectory.h"

#include "storage/fileerror.h"
#include "storage/usernames.h"

#include <QDir>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <cerrno>

namespace vellumar {

namespace {

// The file steps a note can announce.
constexpr QStringView RenameStep = u"rename-ledger";    // ledger to move to the new name
constexpr QStringView RemoveStep = u"set-ledger-aside"; // ledger to move aside, record to delete
constexpr QStringView DiscardStep = u"discard-ledger";  // record deleted, ledger aside to delete

// A ledger set aside during a delete is named so that it can never be any user's ledger (it
// does not end in ".z") and stays out of sight in the file manager.
QString newAsideName() {
    return QStringLiteral(".正在删除的账本-%1")
        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
}

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
        // An aside name is only ever one of ours, so a damaged note cannot aim at other files.
        if (!pending.asideName.isEmpty() &&
            (!pending.asideName.startsWith(u'.') || !isSafeUserName(pending.asideName)))
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
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
};

UserDirectory::UserDirectory(const DataPaths& paths, FileSystem& files, RecordTable table)
    : m_paths(paths), m_files(files), m_table(std::move(table)),
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

UserChange UserDirectory::checkNewName(const QString& name) const {
    if (!isValidName(name))
        return UserChange::refused(UserChange::Refusal::InvalidName,
                                   Status::failure(QStringLiteral("用户名无效！")));
    if (find(name))
        return UserChange::refused(UserChange::Refusal::NameInUse,
                                   Status::failure(QStringLiteral("此用户已存在！")));
    // A file under the name belongs to nobody now (a ledger whose user went without it, or
    // something put there by hand). Handing it to a new holder would show them someone
    // else's books, so the name waits until the operator has looked at the file.
    const QString path = ledgerPath(name);
    const Result<FileSystem::Kind> kind = m_files.kind(path);
    if (!kind)
        return UserChange::failed(kind.status());
    if (*kind != FileSystem::Kind::Missing)
        return UserChange::failed(Status::failure(
            QStringLiteral("账本文件夹里已经有一个文件“%1”，但没有哪个用户叫“%2”。为了不让"
                           "这个名字的用户接手别人的账目，现在不能使用这个名字。\n\n请先查看"
                           "这个文件：需要时把它移到别处或删除，然后再试。")
                .arg(shown(path), name)));
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
    if (UserChange checked = checkNewName(newName); !checked)
        return checked;
    // Whatever has the user's ledger name moves with the user; it is nobody else's.
    const Result<FileSystem::Kind> ledger = ledgerKind(oldName);
    if (!ledger)
        return UserChange::failed(ledger.status().prefixed(QStringLiteral("用户名没有修改。")));

    const int record = position + 1;
    const auto writeName = [&](RecordTable::Editor& editor) {
        return editor.writeField(record, 1, newName);
    };
    if (*ledger == FileSystem::Kind::Missing) {
        // A user whose ledger was never saved: only the record changes.
        if (Status renamed = transaction(writeName); !renamed)
            return UserChange::failed(renamed.prefixed(QStringLiteral("用户名没有修改。")));
        m_users[position] = newName;
        Q_EMIT userRenamed(position);
        return UserChange();
    }

    Pending pending;
    pending.step = RenameStep.toString();
    pending.record = record;
    pending.name = oldName;
    pending.newName = newName;
    const Result<qint64> note = writeNote(pending);
    if (!note)
        return UserChange::failed(note.status().prefixed(QStringLiteral("用户名没有修改。")));

    const QString oldPath = ledgerPath(oldName);
    const QString newPath = ledgerPath(newName);
    if (Status moved = m_files.rename(oldPath, newPath); !moved) {
        // Should the note stay, the next start sees the ledger unmoved and drops it.
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
        if (Status back = m_files.rename(newPath, oldPath); !back)
            return UserChange::failed(Status::failure(
                QStringLiteral("%1\n\n账本文件已经改名为“%2”，却没能改回原名。用户“%3”暂时打不开"
                               "自己的账本；程序下次启动时会把这次改名做完。")
                    .arg(renamed.message(), shown(newPath), oldName),
                renamed.detail()));
        (void)dropNote(*note);
        return UserChange::failed(renamed.prefixed(QStringLiteral("用户名没有修改。")));
    }
    m_users[position] = newName;
    Q_EMIT userRenamed(position);
    return UserChange();
}

UserChange UserDirectory::remove(int position) {
    if (position < 0 || position >= count())
        return UserChange::failed(noSuchUser());
    const QString name = m_users[position];
    const QString notDeleted = QStringLiteral("用户“%1”没有删除。").arg(name);
    const Result<FileSystem::Kind> kind = ledgerKind(name);
    if (!kind)
        return UserChange::failed(kind.status().prefixed(notDeleted));
    // A folder or a device under the ledger's name is no ledger, and deleting a user never
    // deletes anything else.
    if (*kind == FileSystem::Kind::Directory || *kind == FileSystem::Kind::Other)
        return UserChange::failed(
            (*kind == FileSystem::Kind::Directory
                 ? fileFailure(FileAction::Remove, ledgerPath(name), EISDIR)
                 : notARegularFile(FileAction::Remove, ledgerPath(name), false))
                .prefixed(notDeleted));

    const int record = position + 1;
    const auto deleteRecord = [&](RecordTable::Editor& editor) {
        return editor.deleteRecords(record, 1);
    };
    if (*kind == FileSystem::Kind::Missing) {
        if (Status removed = transaction(deleteRecord); !removed)
            return UserChange::failed(removed.prefixed(notDeleted));
        m_users.removeAt(position);
        Q_EMIT userRemoved(position);
        return UserChange();
    }

    // The ledger is set aside first and deleted only once the record is gone, so that until
    // then it can always go back to its user.
    Pending aside;
    aside.step = RemoveStep.toString();
    aside.record = record;
    aside.name = name;
    aside.asideName = newAsideName();
    const Result<qint64> asideNote = writeNote(aside);
    if (!asideNote)
        return UserChange::failed(asideNote.status().prefixed(notDeleted));
    const QString ledger = ledgerPath(name);
    const QString asideFile = asidePath(aside.asideName);
    if (Status moved = m_files.rename(ledger, asideFile); !moved) {
        (void)dropNote(*asideNote);
        return UserChange::failed(
            moved.prefixed(QStringLiteral("用户“%1”没有删除，因为其账本文件无法删除：").arg(name)));
    }

    Pending discard;
    discard.step = DiscardStep.toString();
    discard.record = record;
    discard.name = name;
    discard.asideName = aside.asideName;
    qint64 discardNote = 0;
    const Status removed = transaction([&](RecordTable::Editor& editor) -> Status {
        if (Status deleted = deleteRecord(editor); !deleted)
            return deleted;
        if (Status dropped = editor.removeNote(*asideNote); !dropped)
            return dropped;
        const Result<qint64> added = editor.addNote(discard.text());
        if (!added)
            return added.status();
        discardNote = *added;
        return Status();
    });
    if (!removed) {
        if (Status back = m_files.rename(asideFile, ledger); !back)
            return UserChange::failed(Status::failure(
                QStringLiteral("%1\n\n用户“%2”没有删除，但其账本文件暂时放在了“%3”，没能放回"
                               "原处；程序下次启动时会把它放回去。")
                    .arg(removed.message(), name, shown(asideFile)),
                removed.detail()));
        (void)dropNote(*asideNote);
        return UserChange::failed(removed.prefixed(notDeleted));
    }
    m_users.removeAt(position);
    Q_EMIT userRemoved(position);

    const QString deletedBut = QStringLiteral("用户“%1”已经删除，但").arg(name);
    if (Status gone = m_files.remove(asideFile); !gone)
        return UserChange::failed(gone.prefixed(
            deletedBut + QStringLiteral("其账本文件没能删掉；程序下次启动时会再试。")));
    if (Status dropped = dropNote(discardNote); !dropped)
        return UserChange::failed(dropped.prefixed(
            deletedBut + QStringLiteral("用户表中一条待办记录没能清除；程序下次启动时会再试。")));
    return UserChange();
}

// ----- settling what a crash cut short -------------------------------------------------------

Status UserDirectory::settle(const RecordTable::Note& note) {
    const std::optional<Pending> pending = Pending::parse(note);
    if (!pending || !isValidName(pending->name)) {
        m_warnings.append(Status::failure(
            QStringLiteral("用户表中有一条本程序认不出的待办记录，没有处理它。"), note.text));
        return Status();
    }
    if (pending->step == RenameStep && isValidName(pending->newName))
        return settleRename(*pending);
    if (pending->step == RemoveStep && !pending->asideName.isEmpty())
        return settleRemove(*pending);
    if (pending->step == DiscardStep && !pending->asideName.isEmpty())
        return settleDiscard(*pending);
    m_warnings.append(Status::failure(
        QStringLiteral("用户表中有一条本程序认不出的待办记录，没有处理它。"), note.text));
    return Status();
}

// A rename's file step is the only thing between the note and the record: where the ledger
// is tells whether it happened.
Status UserDirectory::settleRename(const Pending& pending) {
    const Result<QString> held = m_table.readField(pending.record, 1);
    if (!held)
        return held.status();
    const QString from = ledgerPath(pending.name);
    const QString to = ledgerPath(pending.newName);
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

} // namespace vellumar
