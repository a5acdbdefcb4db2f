#include "books/bookslocation.h"

#include "books/localbooks.h"
#include "safety/safetypaths.h"
#include "sharedstore/pgconnection.h"
#include "sharedstore/sharedbooks.h"
#include "storage/settingsfile.h"

#include <QDir>

namespace vellumar {

namespace {

// The keys of the choice in the settings file.
constexpr QStringView BooksKey = u"books/kind";
constexpr QStringView ConnectionKey = u"books/connection";
constexpr QStringView LocalValue = u"local";
constexpr QStringView SharedValue = u"shared";

} // namespace

Result<std::optional<BooksLocation>> savedBooksChoice(const QString& settingsFile) {
    const Result<SettingsFile> settings = SettingsFile::load(settingsFile);
    if (!settings)
        return settings.status();
    const QString kind = settings->value(BooksKey.toString());
    if (kind == SharedValue)
        return std::optional<BooksLocation>(BooksLocation{BooksLocation::Kind::Shared,
                                                          settings->value(ConnectionKey.toString()),
                                                          BooksLocation::Source::Saved});
    if (kind == LocalValue)
        return std::optional<BooksLocation>(
            BooksLocation{BooksLocation::Kind::Local, QString(), BooksLocation::Source::Saved});
    if (!kind.isEmpty())
        return Status::failure(
            QStringLiteral("设置文件中记下的账本选择“%1”无法识别。请重新选择使用哪里的账本。")
                .arg(kind),
            QDir::toNativeSeparators(settingsFile));
    return std::optional<BooksLocation>();
}

Status saveBooksChoice(const QString& settingsFile, const BooksLocation& location) {
    Result<SettingsFile> settings = SettingsFile::load(settingsFile);
    if (!settings)
        return settings.status();
    const bool shared = location.kind == BooksLocation::Kind::Shared;
    settings->setValue(BooksKey.toString(), (shared ? SharedValue : LocalValue).toString());
    // The connection is kept for the next time shared books are chosen.
    if (shared)
        settings->setValue(ConnectionKey.toString(), location.connection);
    return settings->save();
}

bool environmentChoosesBooks() {
    return !qEnvironmentVariable(DatabaseVariable).trimmed().isEmpty();
}

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
    (*shared)->keepJournalsIn(files, SafetyPaths::sharedJournalRoot(paths));
    return std::unique_ptr<BooksStore>(std::move(shared).value());
}

} // namespace vellumar
