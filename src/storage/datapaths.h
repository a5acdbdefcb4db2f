#pragma once

#include <QString>
#include <QStringView>

namespace vellumar {

// Where the program keeps its data and finds its own files. The books live under one data
// folder (source/ with the two tables and the ledger folder); the user guide lives with the
// program. A portable copy keeps both beside the executable, so a copy of the program folder
// is a complete copy of the shop's books; an installed program keeps the books in the
// operator's own data folder and its guide in the installed share folder (see DataLocation).
class DataPaths {
public:
    // The two spellings of the ledger folder the program uses; both name the same folder.
    static constexpr QStringView LedgerDirSlash = u"/source/用户/";
    static constexpr QStringView LedgerDirBackslash = u"\\source\\用户\\";
    static constexpr QStringView UserTableLiteral = u"\\source\\liebiao.edb";
    static constexpr QStringView PasswordTableLiteral = u"\\source\\liebiao1.edb";
    static constexpr QStringView HelpLiteral = u"\\help\\*help.doc";

    // Books and guide under one folder, as in a portable copy; no trailing separator.
    explicit DataPaths(QString programDirectory);
    // The books under dataDirectory, the guide (help/) under programFilesDirectory.
    DataPaths(QString dataDirectory, QString programFilesDirectory);

    // The folder whose source/ holds the books: the program's folder in a portable copy.
    const QString& programDirectory() const { return m_programDirectory; }
    // The folder whose help/ holds the user guide.
    const QString& programFilesDirectory() const { return m_programFilesDirectory; }
    QString sourceDirectory() const;
    QString ledgerDirectory() const;
    QString helpDirectory() const;
    // What both help menu items hand to the host: the guide's folder and its file pattern.
    QString helpCommandLine() const;
    // The file that keeps a second start of the program away from books already open.
    QString instanceLockFile() const;
    QString userTable() const;
    QString passwordTable() const;
    // The program's few settings (storage/settingsfile.h), beside the tables.
    QString settingsFile() const;

    // The ledger file of a user, with the folder spelt either way; the user name is taken as
    // it stands, only the folder's separators are made native.
    QString ledgerFile(QStringView directoryLiteral, const QString& userName) const;

    // Program directory plus a literal that starts with a separator, made native.
    QString resolve(QStringView literal) const;

private:
    QString m_programDirectory;
    QString m_programFilesDirectory;
};

} // namespace vellumar
