#pragma once

#include <QString>
#include <QTemporaryDir>

// Real faults of the file system for tests of failure messages: a small tmpfs that can be
// filled up, a folder mounted read-only, a file made immutable. They need root (mount and
// chattr); without it a test skips, unless VELLUMAR_REQUIRE_ALL_TESTS is set (as in CI), where
// a skip would hide a missing check and so fails instead.
namespace realfaults {

// Whether the process may make the faults; fails the test when they are required but missing.
bool available(QString* why);

// A tmpfs of the given size mounted on a folder of its own; unmounted at the end.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_folder.path(); }
    // Writes a filler file until the disk has no room left.
    bool fill();

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
};

// A folder with files in it, seen again read-only through a bind mount.
class ReadOnlyView {
public:
    explicit ReadOnlyView(const QString& folder);
    ~ReadOnlyView();
    ReadOnlyView(const ReadOnlyView&) = delete;
    ReadOnlyView& operator=(const ReadOnlyView&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_view.path(); }

private:
    QTemporaryDir m_view;
    bool m_mounted = false;
};

// Sets or clears the immutable attribute of a file (what chattr +i does).
bool setImmutable(const QString& path, bool immutable);

} // namespace realfaults

// Skips the test when the faults cannot be made here (or fails it where they are required).
#define REQUIRE_REAL_FAULTS()                                                                      \
    do {                                                                                           \
        QString realFaultsMissing;                                                                 \
        if (!realfaults::available(&realFaultsMissing)) {                                          \
            if (qEnvironmentVariableIsSet("VELLUMAR_REQUIRE_ALL_TESTS"))                           \
                QFAIL(qPrintable(realFaultsMissing));                                              \
            QSKIP(qPrintable(realFaultsMissing));                                                  \
        }                                                                                          \
    } while (false)
