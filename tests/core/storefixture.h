#pragma once

#include "books/booksstore.h"
#include "books/localbooks.h"
#include "checks.h"
#include "sharedstore/sharedbooks.h"
#include "storage/datastore.h"
#include "testdatabase.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The books of a test case in either store, so that the same case runs against both: the
// local books in a folder of their own, or shared books in a database of their own.
namespace storefixture {

enum class Kind { Local, Shared };

inline const char* kindName(Kind kind) {
    return kind == Kind::Local ? "local" : "shared";
}

// A counter of shared books as the tests name them.
inline vellumar::LedgerEditor counterNamed(const QString& name) {
    vellumar::LedgerEditor counter;
    counter.counter = name;
    counter.host = QStringLiteral("host-") + name;
    counter.osUser = QStringLiteral("user-") + name;
    return counter;
}

inline vellumar::HolderList& holdersOf(vellumar::BooksStore& store) {
    return *valueOf(store.holders());
}

// A counter of the shared books in the database.
inline std::unique_ptr<vellumar::SharedBooks> openCounter(testdatabase::FreshDatabase& database,
                                                          const QString& counter) {
    return valueOf(vellumar::SharedBooks::open(database.connection(), counterNamed(counter)));
}

// A holder's ledger, loaded into the sheet.
inline std::unique_ptr<vellumar::HolderBook>
opened(vellumar::BooksStore& store, const QString& holder, vellumar::LedgerSheet& sheet) {
    std::unique_ptr<vellumar::HolderBook> book = store.book(holder);
    (void)valueOf(book->load(sheet));
    return book;
}

class Books {
public:
    explicit Books(Kind kind) : m_kind(kind) {
        if (kind == Kind::Local) {
            must(vellumar::prepareDataDirectory(m_paths));
        } else {
            m_database = std::make_unique<testdatabase::FreshDatabase>();
        }
    }

    Kind kind() const { return m_kind; }
    // Why the books could not be made; empty when they are ready.
    QString problem() const {
        if (m_database && m_database->connection().isEmpty())
            return m_database->why();
        return QString();
    }
    const vellumar::DataPaths& paths() const { return m_paths; }
    testdatabase::FreshDatabase& database() { return *m_database; }

    // A program working on these books: another counter of shared books, or the local books
    // opened once more.
    std::unique_ptr<vellumar::BooksStore> open(const QString& counter = QStringLiteral("前台")) {
        if (m_kind == Kind::Local)
            return std::make_unique<vellumar::LocalBooks>(m_paths, m_files);
        return valueOf(
            vellumar::SharedBooks::open(m_database->connection(), counterNamed(counter)));
    }
    std::unique_ptr<vellumar::SharedBooks> openShared(const QString& counter) {
        return valueOf(
            vellumar::SharedBooks::open(m_database->connection(), counterNamed(counter)));
    }

private:
    Kind m_kind;
    QTemporaryDir m_folder;
    vellumar::DataPaths m_paths{m_folder.path()};
    vellumar::LocalFileSystem m_files;
    std::unique_ptr<testdatabase::FreshDatabase> m_database;
};

} // namespace storefixture

Q_DECLARE_METATYPE(storefixture::Kind)

// Makes the books of the row's store kind, skipping or failing as REQUIRE_TEST_SERVER does
// when shared books have no server.
#define BOOKS_OF_ROW(variable)                                                                     \
    QFETCH(storefixture::Kind, kind);                                                              \
    if (kind == storefixture::Kind::Shared)                                                        \
        REQUIRE_TEST_SERVER();                                                                     \
    storefixture::Books variable(kind);                                                            \
    if (!variable.problem().isEmpty())                                                             \
    QFAIL(qPrintable(QStringLiteral("cannot make the books: ") + variable.problem()))
