#pragma once

#include "checks.h"
#include "filesizelimit.h"

#include "accounts/userlistwindow.h"
#include "guifixture.h"
#include "storage/recordtable.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

// Shared steps of the user list tests: a user table to start from, the window on it, and what
// the list and the table hold afterwards.
namespace userlist {

inline QStringList tableNames(const vellumar::DataPaths& paths) {
    return valueOf(valueOf(vellumar::RecordTable::open(paths.userTable())).readColumn(1));
}

inline QStringList listNames(QWidget* window) {
    QStringList names;
    auto* list = GuiFixture::control<QListWidget>(window, "列表框1");
    for (int row = 0; row < list->count(); ++row)
        names.append(list->item(row)->text());
    return names;
}

inline void writeUsers(const vellumar::DataPaths& paths, const QStringList& names) {
    auto table = valueOf(vellumar::RecordTable::open(paths.userTable()));
    for (const QString& name : names)
        must(table.appendRecord({name}));
}

inline QString ledgerPath(const vellumar::DataPaths& paths, const QString& name) {
    return paths.ledgerFile(vellumar::DataPaths::LedgerDirSlash, name);
}

// A saved ledger with recognisable content, so a test can tell whose it is.
inline void writeLedger(const vellumar::DataPaths& paths, const QString& name) {
    QFile file(ledgerPath(paths, name));
    if (file.open(QIODevice::WriteOnly))
        file.write("ledger of " + name.toUtf8());
}

inline QByteArray ledgerContent(const vellumar::DataPaths& paths, const QString& name) {
    QFile file(ledgerPath(paths, name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Typing as the operator would; QTest's key clicks cannot carry Chinese characters.
inline void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->clear();
    box->insert(text);
}

// Puts the text into the box as it stands, past the box's own length cap, to reach the check
// behind the cap.
inline void putInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->setText(text);
}

// The one message a change of the users showed, if any: the program's own words exactly, with
// no icon; anything else is the start of a failure report, with the warning icon.
inline void checkMessage(const ScriptedHost& host, const QString& expected) {
    if (expected.isEmpty()) {
        QCOMPARE(host.messageTexts(), QStringList());
        return;
    }
    QCOMPARE(host.messages().size(), 1);
    const ScriptedHost::Message& shown = host.messages().first();
    if (expected == u"此用户已存在！" || expected == u"用户名无效！") {
        QCOMPARE(shown.text, expected);
        QCOMPARE(shown.flags, 0);
    } else {
        QVERIFY2(shown.text.startsWith(expected), qPrintable(shown.text));
        QCOMPARE(shown.flags, 0x30);
    }
    QCOMPARE(shown.title, QString());
}

inline vellumar::UserListWindow* openUserList(GuiFixture& fixture, const QStringList& users = {}) {
    writeUsers(fixture.paths, users);
    auto* window = new vellumar::UserListWindow(fixture.services);
    fixture.frame.open(window);
    return window;
}

inline void select(QWidget* window, int row) {
    auto* list = GuiFixture::control<QListWidget>(window, "列表框1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// Makes a file immutable (chattr +i) for one scope, so that even root can neither rename nor
// delete it: the real refusal a shop meets with a protected file.
class ImmutableFile {
public:
    explicit ImmutableFile(const QString& path) : m_path(path) { m_active = setFlag(true); }
    ~ImmutableFile() {
        if (m_active)
            setFlag(false);
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    // False where the file system or the process's rights do not allow the flag.
    bool active() const { return m_active; }

private:
    bool setFlag(bool on) const {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QString m_path;
    bool m_active = false;
};

// While it lives no file of the process may grow, so every table write fails.
class FileWritesFail : public FileSizeLimit {
public:
    FileWritesFail() : FileSizeLimit(0) {}
};

} // namespace userlist
