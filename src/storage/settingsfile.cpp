#include "storage/settingsfile.h"

#include "storage/fileerror.h"
#include "storage/safefile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <sys/stat.h>

namespace vellumar {

namespace {

Status notSettings(const QString& path, const QString& why, const QString& detail = QString()) {
    return Status::failure(QStringLiteral("设置文件“%1”%2请把它移到别处后再试，程序会重新建立"
                                          "设置。")
                               .arg(path, why),
                           detail);
}

} // namespace

Result<SettingsFile> SettingsFile::load(const QString& path) {
    SettingsFile settings(path);
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return settings;
        return fileFailure(FileAction::Read, path, errno);
    }
    QFile file;
    if (Status opened = openForReading(file, path, /*followLinks=*/false); !opened)
        return opened;
    // Never more than a settings file can be, whatever the file claims to hold.
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Status::failure(QStringLiteral("读取设置文件“%1”时出错。").arg(path),
                               file.errorString());
    if (bytes.size() > MaxBytes)
        return notSettings(path, QStringLiteral("太大，不是本程序的设置文件。"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return notSettings(path, QStringLiteral("已经损坏，无法读取。"), error.errorString());
    const QJsonObject object = document.object();
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (!entry.value().isString())
            return notSettings(path, QStringLiteral("中有无法识别的内容。"), entry.key());
        settings.m_values.insert(entry.key(), entry.value().toString());
    }
    return settings;
}

Status SettingsFile::save() const {
    QJsonObject object;
    for (auto entry = m_values.begin(); entry != m_values.end(); ++entry)
        object.insert(entry.key(), entry.value());
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    return writeWholeFile(m_path, bytes);
}

} // namespace vellumar
