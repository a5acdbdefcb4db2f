#include "storage/datapaths.h"

#include <QDir>

namespace vellumar {

namespace {

// Both separators in a literal of the program mean "folder"; on this platform that is '/'.
QString nativeLiteral(QStringView literal) {
    QString path = literal.toString();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QString withoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

DataPaths::DataPaths(QString programDirectory) : DataPaths(programDirectory, programDirectory) {}

DataPaths::DataPaths(QString dataDirectory, QString programFilesDirectory)
    : m_programDirectory(withoutTrailingSlash(QDir::fromNativeSeparators(dataDirectory))),
      m_programFilesDirectory(
          withoutTrailingSlash(QDir::fromNativeSeparators(programFilesDirectory))) {}

QString DataPaths::resolve(QStringView literal) const {
    return m_programDirectory + nativeLiteral(literal);
}

QString DataPaths::sourceDirectory() const {
    return resolve(u"/source");
}

QString DataPaths::ledgerDirectory() const {
    return withoutTrailingSlash(resolve(LedgerDirSlash));
}

QString DataPaths::helpDirectory() const {
    return m_programFilesDirectory + QStringLiteral("/help");
}

QString DataPaths::helpCommandLine() const {
    return m_programFilesDirectory + HelpLiteral;
}

QString DataPaths::instanceLockFile() const {
    return resolve(u"/source/.vellumar.lock");
}

QString DataPaths::userTable() const {
    return resolve(UserTableLiteral);
}

QString DataPaths::passwordTable() const {
    return resolve(PasswordTableLiteral);
}

QString DataPaths::settingsFile() const {
    return sourceDirectory() + QStringLiteral("/settings.json");
}

QString DataPaths::ledgerFile(QStringView directoryLiteral, const QString& userName) const {
    return resolve(directoryLiteral) + userName + QStringLiteral(".z");
}

} // namespace vellumar
