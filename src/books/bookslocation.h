#pragma once

#include "books/booksstore.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"
#include "storage/status.h"

#include <QString>

#include <memory>
#include <optional>

namespace vellumar {

// Where this counter keeps its books: the local books in the data folder, or shared books on
// a PostgreSQL server, named by a libpq connection string, a postgresql:// URI or
// "service=name" (a service of pg_service.conf). The connection text holds no password: libpq
// reads that from ~/.pgpass.
struct BooksLocation {
    enum class Kind { Local, Shared };
    // Where the choice came from, for the choice-of-books dialog.
    enum class Source { Default, Saved, Environment };

    Kind kind = Kind::Local;
    QString connection;
    Source source = Source::Default;
};

// The variable an administrator sets for an installation.
inline constexpr char DatabaseVariable[] = "VELLUMAR_DATABASE";
// Whether that variable is set and not blank, and so chooses the books.
bool environmentChoosesBooks();

// The books the start-up opens. VELLUMAR_DATABASE, when set and not blank, wins over the
// choice saved in the data folder; without either, the local books. A variable or a saved
// choice that libpq cannot read is refused, never taken for the local books: a counter must
// not keep books apart while its operator believes they are shared.
Result<BooksLocation> chooseBooks(const std::optional<BooksLocation>& saved);

// The choice of books saved in the data folder's settings file; nothing when none was saved.
// A settings file that cannot be read is a failure, never "no choice".
Result<std::optional<BooksLocation>> savedBooksChoice(const QString& settingsFile);
// Keeps the choice in the settings file, beside the other settings there.
Status saveBooksChoice(const QString& settingsFile, const BooksLocation& location);

// Opens the books at the location; shared books are connected to (and their tables made).
Result<std::unique_ptr<BooksStore>> openBooks(const BooksLocation& location, const DataPaths& paths,
                                              FileSystem& files);

} // namespace vellumar
