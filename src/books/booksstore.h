#pragma once

#include "accounts/userdirectory.h"
#include "ledger/holderledger.h"
#include "ledger/ledgersheet.h"
#include "safety/recoveryjournal.h"
#include "storage/status.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace vellumar {

// Who has a holder's ledger open for editing at another counter.
struct LedgerEditor {
    QString counter; // the counter's name
    QString host;    // the computer
    QString osUser;  // who is signed in to that computer
    QDateTime since; // local time; invalid when not known

    // "柜台“前台”（电脑 shop-1，系统用户 anna），自 2026-12-09 09:30:15 起"; an editor
    // nothing is known of is "另一个柜台".
    QString describe() const;
};

// The account holders of the books in list order, and the changes to them. Position i of the
// list is users()[i]. Every change says what became of it the way UserDirectory does (the
// same refusals: an invalid name, a name in use, a failure with its Status). The list follows
// changes made elsewhere too (another counter of shared books): it is then read afresh and
// usersReloaded() says so.
class HolderList : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~HolderList() override;

    virtual const QStringList& users() const = 0;
    int count() const { return static_cast<int>(users().size()); }
    // Position of the holder with exactly this name (letter case counts), if any.
    std::optional<int> find(const QString& name) const;

    // The most bytes the ledger file name of a holder ("name.z") may have, for the name boxes.
    virtual qsizetype fileNameLimit() const = 0;
    virtual bool isValidName(const QString& name) const = 0;

    virtual UserChange add(const QString& name) = 0;
    virtual UserChange rename(int position, const QString& newName) = 0;
    // The moment names what a deletion keeps of the holder (in the local recycle bin).
    UserChange remove(int position, const QDateTime& now = QDateTime::currentDateTime()) {
        return removeAt(position, now);
    }

    // What opening the list found that the operator should know; empty as a rule.
    virtual QList<Status> warnings() const = 0;

    // The user directory of the data folder, with its recycle bin, where the holders are kept
    // there; nothing for holders kept elsewhere.
    virtual UserDirectory* directory() { return nullptr; }

protected:
    virtual UserChange removeAt(int position, const QDateTime& now) = 0;

Q_SIGNALS:
    void userAdded(int position);
    void userRenamed(int position);
    void userRemoved(int position);
    // The holders were read afresh (changed elsewhere); read users() again.
    void usersReloaded();
};

// One holder's ledger as a ledger window keeps it: loaded once, saved as often as the
// operator asks, and given up when the window goes. Where the books are shared, opening it
// takes it for editing, unless another counter has it: then it is read-only and says who has
// it, and every save is refused. A save never writes over what another counter saved since
// the load.
class HolderBook : public QObject {
    Q_OBJECT

public:
    using Opened = HolderLedger::Opened;
    enum class Access {
        Editing,  // this counter may save
        ReadOnly, // open elsewhere, or lost while the server was away: saves are refused
    };

    using QObject::QObject;
    ~HolderBook() override;

    virtual const QString& userName() const = 0;
    // Where the ledger is, for sentences: its file, or the shared books on their server.
    virtual QString location() const = 0;
    // The ledger file itself, for a local ledger; empty for shared books.
    virtual QString filePath() const = 0;

    // Reads the ledger into the sheet (with the titles placed) and, for shared books, takes it
    // for editing where no other counter has it. On failure the sheet holds empty rows only.
    virtual Result<Opened> load(LedgerSheet& sheet) = 0;
    virtual Access access() const = 0;
    // Who has it, when it is read-only because another counter has it open.
    virtual std::optional<LedgerEditor> editor() const = 0;
    // Whether a file was found at opening that could not be read (kept aside at the next save).
    virtual bool foundUnreadableFile() const = 0;

    // Writes the whole sheet; refused while read-only and when another counter saved the
    // ledger since it was loaded here. A failure changes nothing that is kept.
    virtual Status save(const LedgerSheet& sheet, const QDateTime& now) = 0;
    // The copy of an unreadable file kept aside by the last save, or empty.
    virtual QString keptCopy() const = 0;

    // Gives the ledger up for other counters; saves are refused afterwards. Also done when
    // the book goes.
    virtual void close() = 0;

    // The recovery journal of the changes since the load or the last save, where the store
    // keeps one; a save marks the tracked edits saved.
    virtual void trackEdits(LedgerEdits* edits) { (void)edits; }
    virtual RecoveryJournal* journal() const { return nullptr; }
    // A journal an earlier run left for this ledger, when there is one.
    virtual Result<std::optional<LeftJournal>> leftJournal() const {
        return std::optional<LeftJournal>();
    }
    // The window closed without the ledger being saved: its journal goes.
    virtual Status closedWithoutSaving() { return Status(); }
    // What the last save could not tidy up after itself; ok as a rule.
    virtual Status tidiedUp() const { return Status(); }

Q_SIGNALS:
    // Another counter saved this ledger, or gave it up.
    void changedElsewhere();
    // access() or editor() changed (the server came back and another counter had it).
    void accessChanged();
};

// The whole books, read for a copy to other books: one consistent state where the store can
// give one.
class BooksReader {
public:
    virtual ~BooksReader();
    virtual Result<QStringList> holders() = 0;
    // The stored password hash; empty when no password is set.
    virtual Result<QString> passwordHash() = 0;
    // Reads a holder's ledger as the ledger window would show it; false when the holder has
    // no ledger yet (the sheet is then left as it was).
    virtual Result<bool> readLedger(const QString& holder, LedgerSheet& sheet) = 0;
    // What changes whenever the holder's ledger is saved, for telling whether it changed
    // since it was compared; empty where the store does not track it.
    virtual Result<QString> ledgerRevision(const QString& holder) = 0;
};

// Changes for a copy into these books. In shared books they are one transaction: nothing of
// them is kept unless commit() succeeds. Local books keep each change as it is made, each
// crash-safe as always.
class BooksWriter : public BooksReader {
public:
    virtual UserChange addHolder(const QString& name) = 0;
    // Replaces the holder's ledger with the sheet.
    virtual Status writeLedger(const QString& holder, const LedgerSheet& sheet) = 0;
    virtual Status setPasswordHash(const QString& hash) = 0;
    virtual Status commit() = 0;
};

// The books of the shop: the account holders, the administrator password and every holder's
// ledger, kept either in the data folder (the local store) or on a PostgreSQL server that
// several counters share. The windows work through this alone and do not know which it is.
class BooksStore {
public:
    enum class Kind { Local, Shared };

    virtual ~BooksStore();

    virtual Kind kind() const = 0;
    // Where the books are, for sentences.
    virtual QString description() const = 0;

    // The holders, read when first asked for; the list lives as long as the store. A list
    // that cannot be read is a failure, never an empty list, and the next call tries again.
    virtual Result<HolderList*> holders() = 0;

    // Whether the typed password is the administrator's, read afresh at every check. A store
    // that cannot be read is a failure, never a match. With no password set, the empty entry
    // matches.
    virtual Result<bool> passwordMatches(const QString& typed) = 0;
    // Stores the new password (hashed; the empty text clears it).
    virtual Status changePassword(const QString& newPassword) = 0;

    // The ledger of a holder, not yet loaded.
    virtual std::unique_ptr<HolderBook> book(const QString& holder) = 0;

    // The whole books at once, for copying between stores.
    virtual Result<std::unique_ptr<BooksReader>> reader() = 0;
    virtual Result<std::unique_ptr<BooksWriter>> writer() = 0;

    // Whether the books live in this computer's data folder, where the program itself keeps
    // deleted holders, replaced ledger versions and daily copies of the tables.
    virtual bool keepsSafetyNets() const = 0;
    // Who keeps the books safe where the program does not: empty when it does.
    virtual QString safekeeping() const = 0;
    // Whether the books can be copied to and from the local books of the data folder.
    virtual bool sharesWithOtherCounters() const = 0;
};

} // namespace vellumar
