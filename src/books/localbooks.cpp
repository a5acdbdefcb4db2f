#include "books/localbooks.h"

#include "ledger/holderledger.h"
#include "storage/passwordstore.h"
#include "storage/recordtable.h"

#include <QDir>

namespace vellumar {

namespace {

// One holder's ledger file, always open for editing.
class LocalHolderBook final : public HolderBook {
public:
    LocalHolderBook(const DataPaths& paths, FileSystem& files, const QString& holder)
        : m_ledger(paths, files, holder) {}

    const QString& userName() const override { return m_ledger.userName(); }
    QString location() const override { return QDir::toNativeSeparators(m_ledger.path()); }
    QString filePath() const override { return m_ledger.path(); }
    Result<Opened> load(LedgerSheet& sheet) override { return m_ledger.load(sheet); }
    Access access() const override { return m_closed ? Access::ReadOnly : Access::Editing; }
    std::optional<LedgerEditor> editor() const override { return std::nullopt; }
    bool foundUnreadableFile() const override { return m_ledger.foundUnreadableFile(); }
    Status save(const LedgerSheet& sheet, const QDateTime& now) override {
        if (m_closed)
            return Status::failure(QStringLiteral("账本已经关闭，没有保存。"));
        return m_ledger.save(sheet, now);
    }
    QString keptCopy() const override { return m_ledger.keptCopy(); }
    void close() override { m_closed = true; }

    void trackEdits(LedgerEdits* edits) override { m_ledger.trackEdits(edits); }
    RecoveryJournal* journal() const override { return m_ledger.journal(); }
    Result<std::optional<LeftJournal>> leftJournal() const override {
        return m_ledger.leftJournal();
    }
    Status closedWithoutSaving() override { return m_ledger.closedWithoutSaving(); }
    Status tidiedUp() const override { return m_ledger.tidiedUp(); }

private:
    HolderLedger m_ledger;
    bool m_closed = false;
};

Result<RecordTable> passwordTable(const DataPaths& paths) {
    return RecordTable::open(paths.passwordTable());
}

// Local books change one step at a time, each kept at once and crash-safe as always.
class LocalBooksWriter final : public BooksWriter {
public:
    LocalBooksWriter(const DataPaths& paths, FileSystem& files, HolderList& holders)
        : m_paths(paths), m_files(files), m_holders(holders) {}

    Result<QStringList> holders() override { return m_holders.users(); }

    Result<QString> passwordHash() override {
        Result<RecordTable> table = passwordTable(m_paths);
        if (!table)
            return table.status();
        return PasswordStore(*table).storedHash();
    }

    Result<bool> readLedger(const QString& holder, LedgerSheet& sheet) override {
        if (!m_holders.find(holder))
            return missingHolder(holder);
        HolderLedger ledger(m_paths, m_files, holder);
        const Result<HolderLedger::Opened> opened = ledger.load(sheet);
        if (!opened)
            return opened.status().prefixed(QStringLiteral("用户“%1”的账本无法读取：").arg(holder));
        return *opened == HolderLedger::Opened::Loaded;
    }

    Result<QString> ledgerRevision(const QString&) override { return QString(); }

    UserChange addHolder(const QString& name) override { return m_holders.add(name); }

    Status writeLedger(const QString& holder, const LedgerSheet& sheet) override {
        if (!m_holders.find(holder))
            return missingHolder(holder);
        HolderLedger ledger(m_paths, m_files, holder);
        return ledger.save(sheet, QDateTime::currentDateTime());
    }

    Status setPasswordHash(const QString& hash) override {
        Result<RecordTable> table = passwordTable(m_paths);
        if (!table)
            return table.status();
        return PasswordStore(*table).storeHash(hash);
    }

    Status commit() override { return Status(); }

private:
    static Status missingHolder(const QString& holder) {
        return Status::failure(QStringLiteral("用户“%1”不在本机的用户表中。").arg(holder));
    }

    const DataPaths& m_paths;
    FileSystem& m_files;
    HolderList& m_holders;
};

} // namespace

// ----- LocalHolderList ------------------------------------------------------------------------

LocalHolderList::LocalHolderList(std::unique_ptr<UserDirectory> directory)
    : m_directory(std::move(directory)) {
    UserDirectory* source = m_directory.get();
    connect(source, &UserDirectory::userAdded, this, &HolderList::userAdded);
    connect(source, &UserDirectory::userRenamed, this, &HolderList::userRenamed);
    connect(source, &UserDirectory::userRemoved, this, &HolderList::userRemoved);
    connect(source, &UserDirectory::usersReloaded, this, &HolderList::usersReloaded);
}

LocalHolderList::~LocalHolderList() = default;

bool LocalHolderList::isValidName(const QString& name) const {
    return m_directory->isValidName(name);
}

UserChange LocalHolderList::add(const QString& name) {
    return m_directory->add(name);
}

UserChange LocalHolderList::rename(int position, const QString& newName) {
    return m_directory->rename(position, newName);
}

UserChange LocalHolderList::removeAt(int position, const QDateTime& now) {
    return m_directory->remove(position, now);
}

// ----- LocalBooks -----------------------------------------------------------------------------

LocalBooks::LocalBooks(const DataPaths& paths, FileSystem& files)
    : m_paths(paths), m_files(files) {}

LocalBooks::~LocalBooks() = default;

QString LocalBooks::description() const {
    return QStringLiteral("本机的账本（%1）")
        .arg(QDir::toNativeSeparators(m_paths.sourceDirectory()));
}

Result<HolderList*> LocalBooks::holders() {
    if (!m_holders) {
        Result<std::unique_ptr<UserDirectory>> opened = UserDirectory::open(m_paths, m_files);
        if (!opened)
            return opened.status();
        m_holders = std::make_unique<LocalHolderList>(std::move(opened).value());
    }
    return static_cast<HolderList*>(m_holders.get());
}

Result<bool> LocalBooks::passwordMatches(const QString& typed) {
    Result<RecordTable> table = passwordTable(m_paths);
    if (!table)
        return table.status();
    return PasswordStore(*table).matches(typed);
}

Status LocalBooks::changePassword(const QString& newPassword) {
    Result<RecordTable> table = passwordTable(m_paths);
    if (!table)
        return table.status();
    return PasswordStore(*table).change(newPassword);
}

std::unique_ptr<HolderBook> LocalBooks::book(const QString& holder) {
    return std::make_unique<LocalHolderBook>(m_paths, m_files, holder);
}

Result<std::unique_ptr<BooksReader>> LocalBooks::reader() {
    Result<std::unique_ptr<BooksWriter>> books = writer();
    if (!books)
        return books.status();
    return std::unique_ptr<BooksReader>(std::move(books).value());
}

Result<std::unique_ptr<BooksWriter>> LocalBooks::writer() {
    const Result<HolderList*> list = holders();
    if (!list)
        return list.status();
    return std::unique_ptr<BooksWriter>(
        std::make_unique<LocalBooksWriter>(m_paths, m_files, **list));
}

} // namespace vellumar
