#pragma once

#include <QString>
#include <QStringView>

namespace vellumar {

// Where the program keeps its data: everything lives beside the executable, so a copy of the
// program folder is a complete copy of the shop's books.
class DataPaths {
public:
    // The two spellings of the ledger folder the program uses; both name the same folder.
    static constexpr QStringView LedgerDirSlash = u"/source/用户/";
    static constexpr QStringView LedgerDirBackslash = u"\\source\\用户\\";
    static constexpr QStringView UserTableLiteral = u"\\source\\liebiao.edb";
    static constexpr QStringView PasswordTableLiteral = u"\\source\\liebiao1.edb";
    static constexpr QStringView HelpLiteral = u"\\help\\*help.doc";

    // programDirectory has no trailing separator.
    explicit DataPaths(QString programDirectory);

    const QString& programDirectory() const { return m_programDirectory; }
    QString sourceDirectory() const;
    QString ledgerDirectory() const;
    QString helpDirectory() const;
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
};

} // namespace vellumar
