#pragma once

#include "storage/status.h"

#include <QIODevice>
#include <QString>

#include <memory>

class QFile;

namespace vellumar {

// Writes a whole file so that a crash, a full disk or a refusal of the system leaves the old
// file whole: the new content goes to a temporary file in the same folder, is flushed to the
// disk, and only then takes the old file's place in one step (rename). It never writes through
// a symbolic link, and never into a folder, a device or anything else that is not a regular
// file: such a target is refused before anything is written.
class SafeFileWriter {
public:
    enum class Mode {
        Replace,   // the file may exist and is replaced as a whole
        CreateNew, // the file must not exist yet; an existing one is never replaced
    };

    // How the temporary files begin (hidden, beside the target); a crash may leave one behind.
    static constexpr QStringView TemporaryPrefix = u".vellumar-";

    explicit SafeFileWriter(QString target, Mode mode = Mode::Replace);
    ~SafeFileWriter(); // an unfinished write is thrown away; the target stays as it was
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Checks the target and makes the temporary file.
    Status open();
    // Where the content goes between open() and commit().
    QIODevice& device();
    // The first refusal of a write to device(), if any; ok while every write went through.
    Status writeFailure() const;
    // Flushes the content to the disk and puts it in the target's place.
    Status commit();
    // Throws the content away; the target stays as it was.
    void discard();

    const QString& target() const { return m_target; }

private:
    class Device;
    QString m_target;
    Mode m_mode;
    QString m_temporary;
    std::unique_ptr<Device> m_device;
};

// Opens a file for reading. With followLinks false a symbolic link is refused instead of
// being followed, and so is anything that is not a regular file.
Status openForReading(QFile& file, const QString& path, bool followLinks);

// Writes a regular file's bytes to another file through the writer (a link is not followed):
// a new file, or one that replaces the target whole.
Status copyFile(const QString& from, const QString& to, SafeFileWriter::Mode mode);

// Writes the bytes as the whole of the file, through SafeFileWriter.
Status writeWholeFile(const QString& path, const QByteArray& bytes,
                      SafeFileWriter::Mode mode = SafeFileWriter::Mode::Replace);

} // namespace vellumar
