#include "books/bookslocation.h"

#include "books/localbooks.h"
#include "sharedstore/pgconnection.h"
#include "sharedstore/sharedbooks.h"

namespace vellumar {

Result<BooksLocation> chooseBooks(const std::optional<BooksLocation>& saved) {
    const QString variable = qEnvironmentVariable(DatabaseVariable).trimmed();
    if (!variable.isEmpty()) {
        if (Status readable = PgConnection::checkText(variable); !readable)
            return readable.prefixed(QStringLiteral("环境变量 %1 设置的共享账本无法使用。")
                                         .arg(QLatin1String(DatabaseVariable)));
        return BooksLocation{BooksLocation::Kind::Shared, variable,
                             BooksLocation::Source::Environment};
    }
    if (saved && saved->kind == BooksLocation::Kind::Shared) {
        if (Status readable = PgConnection::checkText(saved->connection); !readable)
            return readable;
        return BooksLocation{BooksLocation::Kind::Shared, saved->connection,
                             BooksLocation::Source::Saved};
    }
    if (saved)
        return BooksLocation{BooksLocation::Kind::Local, QString(), BooksLocation::Source::Saved};
    return BooksLocation{};
}

Result<std::unique_ptr<BooksStore>> openBooks(const BooksLocation& location, const DataPaths& paths,
                                              FileSystem& files) {
    if (location.kind == BooksLocation::Kind::Local)
        return std::unique_ptr<BooksStore>(std::make_unique<LocalBooks>(paths, files));
    Result<std::unique_ptr<SharedBooks>> shared = SharedBooks::open(location.connection);
    if (!shared)
        return shared.status();
    return std::unique_ptr<BooksStore>(std::move(shared).value());
}

} // namespace vellumar
