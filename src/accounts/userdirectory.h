#pragma once

#include "safety/recyclebin.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"
#include "storage/recordtable.h"
#include "storage/status.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace vellumar {

// The outcome of adding, renaming or deleting a user. A refusal says why, so the window can
// tell a name the operator should change from a failure of the disk or the table.
class [[nodiscard]] UserChange {
public:
    enum class Refusal {
        None,        // done
        InvalidName, // not usable as a ledger file name
        NameInUse,   // another user has it
        Failed,      // the table, a file or the folder refused; the status says which and why
    };

    UserChange() = default;
    static UserChange refused(Refusal refusal, Status status) {
        return UserChange(refusal, std::move(status));
    }
    static UserChange failed(Status status) {
        return UserChange(Refusal::Failed, std::move(status));
    }

    bool ok() const { return m_refusal == Refusal::None; }
    explicit operator bool() const { return ok(); }
    Refusal refusal() const { return m_refusal; }
    const Status& status() const { return m_status; }

private:
    UserChange(Refusal refusal, Status status) : m_refusal(refusal), m_status(std::move(status)) {}
    Refusal m_refusal = Refusal::None;
    Status m_status;
};

// The account holders: the user table's records in table order, each user's name being the
// base name of their ledger file in the ledger folder. Adding, renaming and deleting change the
// table and the ledger files together; whatever happens, even a crash at any moment, leaves
// both as they were before the change or as they are after it, never in between.
//
// A user's files are their ledger and their folder of backups (which also holds the journal of
// changes not yet saved); they go wherever the user goes. A deleted user goes into the recycle
// bin with them, and can come back from it.
//
// A change that moves files first writes a note into the user table saying what it is about
// to do, then moves the files, then changes the record and drops the note in one transaction.
// Opening the directory finishes or undoes whatever a note shows was cut short, by what the
// files show, before anyone sees a user.
class UserDirectory final : public QObject {
    Q_OBJECT

public:
    // Opens the user table and puts right any change a crash cut short. Fails when the table
    // cannot be read or what was cut short cannot be settled, so the users are never shown in
    // a state that is not final.
    static Result<std::unique_ptr<UserDirectory>> open(const DataPaths& paths, FileSystem& files);

    // What settling an interrupted change found that the operator should know; empty as a rule.
    const QList<Status>& warnings() const { return m_warnings; }

    // The users in table order: position i is table record i + 1.
    const QStringList& users() const { return m_users; }
    int count() const { return static_cast<int>(m_users.size()); }
    // Position of the user with exactly this name (letter case counts), if any.
    std::optional<int> find(const QString& name) const;

    // The most bytes the ledger file name of a user may have ("name.z" included).
    qsizetype fileNameLimit() const { return m_fileNameLimit; }
    // Whether the name can be given to a user: a plain file name that fits the ledger folder.
    bool isValidName(const QString& name) const;

    // A new user at the end. Never starts with a ledger file that is already there.
    UserChange add(const QString& name);
    // The user at the position gets a new name, and their ledger and backups move with it.
    UserChange rename(int position, const QString& newName);
    // The user at the position goes into the recycle bin at that moment, with their ledger
    // and backups. A ledger that cannot be moved keeps its user.
    UserChange remove(int position, const QDateTime& now = QDateTime::currentDateTime());
    // A user from the recycle bin comes back at the end of the list, with the ledger and the
    // backups they had; refused while the name belongs to someone.
    UserChange restore(const QString& entryId);

    RecycleBin& recycleBin() { return m_bin; }

Q_SIGNALS:
    void userAdded(int position);
    void userRenamed(int position);
    void userRemoved(int position);
    // The table was found changed from outside; read users() afresh.
    void usersReloaded();

private:
    UserDirectory(const DataPaths& paths, FileSystem& files, RecordTable table);

    struct Pending;
    struct Move;
    Status settle(const RecordTable::Note& note);
    Status settleRename(const Pending& pending);
    Status settleRemove(const Pending& pending);
    Status settleDiscard(const Pending& pending);
    Status settleRecycle(const Pending& pending);
    Status settleRestore(const Pending& pending);
    Status settleRestored(const Pending& pending);
    Result<qint64> writeNote(const Pending& pending);

    // The files of a user that exist, in the order they move: ledger, then backups.
    Result<QStringList> filesOf(const QString& name) const;
    QList<Move> renameMoves(const Pending& pending) const;
    enum class BinWay { In, Out };
    QList<Move> binMoves(const Pending& pending, BinWay way) const;
    // Makes the moves in order; on a refusal the ones made go back. Answers the refusal.
    Status moveAll(const QList<Move>& moves);
    // Moves back what arrived; answers whether all went back.
    Status moveBack(const QList<Move>& moves);
    // The user's files out of the bin entry again, and the entry gone.
    Status takeBackFromBin(const Pending& pending);
    Status tidyBinEntry(const QString& id);

    // Runs changes as one transaction after checking that the table still holds the users this
    // directory shows; when it does not, the users are read afresh and the change is refused.
    Status transaction(const std::function<Status(RecordTable::Editor&)>& changes);
    Status reload();
    Status dropNote(qint64 id);

    // Whether a name can be given to a user now; a failure to look is told after the lead.
    UserChange checkNewName(const QString& name, const QString& lead = QString()) const;
    // What has the user's ledger file name, Missing when nothing has. An old table may hold a
    // name that cannot be a file name in the ledger folder; such a user has no ledger, and no
    // file is ever touched on their behalf.
    Result<FileSystem::Kind> ledgerKind(const QString& name) const;
    QString ledgerPath(const QString& name) const;
    QString asidePath(const QString& asideName) const;
    QString backupsPath(const QString& name) const;
    // What has the name of the user's folder of backups; Missing for a name that cannot be one.
    Result<FileSystem::Kind> backupsKind(const QString& name) const;

    const DataPaths& m_paths;
    FileSystem& m_files;
    RecycleBin m_bin;
    RecordTable m_table;
    QStringList m_users;
    QList<Status> m_warnings;
    qsizetype m_fileNameLimit;
};

} // namespace vellumar
