#pragma once

#include "storage/status.h"

#include <QMap>
#include <QString>

namespace vellumar {

// A few named texts the program keeps in its data folder (the shop's heading on printed
// statements, for one): a small JSON object in one file, written crash-safely as a whole, so
// a crash leaves the old settings or the new ones. A file that cannot be read is reported,
// never taken for empty settings, and is not written over.
class SettingsFile {
public:
    // The most a settings file may be; a larger one is not one of ours.
    static constexpr qint64 MaxBytes = 1 << 20;

    // Reads the file; a file that is not there yet gives no settings.
    static Result<SettingsFile> load(const QString& path);

    // The empty text when the setting was never given.
    QString value(const QString& key) const { return m_values.value(key); }
    void setValue(const QString& key, const QString& value) { m_values.insert(key, value); }

    // Writes every setting back to the file.
    Status save() const;

private:
    explicit SettingsFile(QString path) : m_path(std::move(path)) {}
    QString m_path;
    QMap<QString, QString> m_values;
};

} // namespace vellumar
