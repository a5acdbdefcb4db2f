#include "sharedstore/connectiontext.h"

#include "sharedstore/pgconnection.h"

#include <libpq-fe.h>

#include <memory>

namespace vellumar {

namespace {

struct OptionsFree {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
using Options = std::unique_ptr<PQconninfoOption, OptionsFree>;

// The settings the text gives, by libpq's own reading of it.
std::optional<QList<QPair<QString, QString>>> givenSettings(const QString& text) {
    Options options(PQconninfoParse(text.toUtf8().constData(), nullptr));
    if (!options)
        return std::nullopt;
    QList<QPair<QString, QString>> given;
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option)
        if (option->val)
            given.append({QString::fromUtf8(option->keyword), QString::fromUtf8(option->val)});
    return given;
}

QString quoted(const QString& value) {
    QString text = value;
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + text + u'\'';
}

} // namespace

QString connectionText(const ConnectionFields& fields) {
    const QPair<const char*, const QString*> settings[] = {{"host", &fields.host},
                                                           {"port", &fields.port},
                                                           {"dbname", &fields.database},
                                                           {"user", &fields.user},
                                                           {"sslmode", &fields.sslMode}};
    QStringList parts;
    for (const auto& [key, value] : settings)
        if (!value->trimmed().isEmpty())
            parts.append(QLatin1String(key) + u'=' + quoted(value->trimmed()));
    return parts.join(u' ');
}

std::optional<ConnectionFields> connectionFields(const QString& text) {
    const std::optional<QList<QPair<QString, QString>>> given = givenSettings(text);
    if (!given)
        return std::nullopt;
    ConnectionFields fields;
    for (const auto& [key, value] : *given) {
        if (key == u"host")
            fields.host = value;
        else if (key == u"port")
            fields.port = value;
        else if (key == u"dbname")
            fields.database = value;
        else if (key == u"user")
            fields.user = value;
        else if (key == u"sslmode")
            fields.sslMode = value;
        else
            return std::nullopt;
    }
    return fields;
}

bool connectionHasPassword(const QString& text) {
    const std::optional<QList<QPair<QString, QString>>> given = givenSettings(text);
    if (!given)
        return false;
    for (const auto& setting : *given)
        if (setting.first == u"password" && !setting.second.isEmpty())
            return true;
    return false;
}

Result<QString> tryConnection(const QString& text) {
    if (Status readable = PgConnection::checkText(text); !readable)
        return readable;
    Result<std::unique_ptr<PgConnection>> connected = PgConnection::connect(text);
    if (!connected)
        return connected.status();
    return (*connected)->server();
}

} // namespace vellumar
