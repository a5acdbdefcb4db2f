#include "ledger/ledgerdocument.h"

#include "storage/fileerror.h"
#include "storage/usernames.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>

namespace vellumar {

namespace {

// The holder whose own ledger file this is: the file sits in the ledger folder of these books
// (by its real place, links followed) under the holder's exact name.
std::optional<QString> holderOf(const QFileInfo& file, const DataPaths& paths,
                                const QStringList& holders) {
    const QString real = file.canonicalFilePath();
    const QString ledgerFolder = QFileInfo(paths.ledgerDirectory()).canonicalFilePath();
    if (real.isEmpty() || ledgerFolder.isEmpty() || QFileInfo(real).path() != ledgerFolder)
        return std::nullopt;
    const QString name = QFileInfo(real).fileName();
    if (!name.endsWith(LedgerSuffix))
        return std::nullopt;
    const QString holder = name.chopped(LedgerSuffix.size());
    if (!holders.contains(holder) || !isSafeUserName(holder))
        return std::nullopt;
    return holder;
}

} // namespace

std::optional<QString> documentArgument(const QStringList& arguments) {
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnded && argument.startsWith(u'-')))
            continue;
        const QUrl url(argument);
        const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
        return QFileInfo(path).absoluteFilePath();
    }
    return std::nullopt;
}

Result<LedgerDocument> identifyLedgerDocument(const QString& path, const DataPaths& paths,
                                              const QStringList& holders) {
    const QFileInfo file(path);
    if (!file.exists())
        return fileFailure(FileAction::Read, path, ENOENT);
    if (file.isDir())
        return fileFailure(FileAction::Read, path, EISDIR);
    if (!file.isFile())
        return notARegularFile(FileAction::Read, path, false);

    LedgerDocument document;
    document.path = file.absoluteFilePath();
    if (const std::optional<QString> holder = holderOf(file, paths, holders)) {
        document.kind = LedgerDocument::Kind::HolderLedger;
        document.holder = *holder;
    }
    return document;
}

Status withDocumentNotOpened(const Status& refusal, const QString& path) {
    return Status::failure(refusal.message() +
                               QStringLiteral("\n\n文件“%1”没有打开：请先关闭已经打开的 "
                                              "Vellumar，再打开这个文件。")
                                   .arg(QDir::toNativeSeparators(path)),
                           refusal.detail());
}

} // namespace vellumar
