#pragma once

#include <QByteArrayView>
#include <QString>

#include <clocale>

// Some tests run a second time under a comma-decimal locale (LC_ALL=de_DE.UTF-8 and the
// like), with VELLUMAR_EXPECT_DECIMAL_COMMA=1 set beside it. When that locale is not installed
// the C library quietly stays with "C", and the second run would prove nothing; this says so
// instead. Call it once QCoreApplication exists, since that is what applies the environment's
// locale. Answers what is wrong, or the empty text when all is as expected.
inline QString checkExpectedLocale() {
    if (qEnvironmentVariable("VELLUMAR_EXPECT_DECIMAL_COMMA") != QLatin1String("1"))
        return QString();
    const std::lconv* numeric = std::localeconv();
    const QByteArrayView point = numeric && numeric->decimal_point ? numeric->decimal_point : "";
    if (point == ",")
        return QString();
    return QStringLiteral("expected a decimal comma under LC_ALL=%1 but the C library uses "
                          "\"%2\": is the locale generated (scripts/install-deps.sh)?")
        .arg(qEnvironmentVariable("LC_ALL"), QString::fromLatin1(point));
}
