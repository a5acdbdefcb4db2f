#include "storage/passwordhash.h"

#include <QByteArray>

#include <sodium.h>

namespace vellumar {

namespace {

const QString HashPrefix = QStringLiteral("$argon2id$");

bool sodiumReady() {
    return sodium_init() >= 0;
}

bool isHash(const QString& stored) {
    return stored.startsWith(HashPrefix);
}

} // namespace

std::optional<QString> hashPassword(const QString& password) {
    if (password.isEmpty())
        return QString();
    if (!sodiumReady())
        return std::nullopt;
    const QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return std::nullopt;
    return QString::fromLatin1(hash);
}

bool passwordMatches(const QString& stored, const QString& typed) {
    if (stored.isEmpty())
        return typed.isEmpty();
    if (!isHash(stored))
        return stored == typed;
    if (!sodiumReady())
        return false;
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

} // namespace vellumar
