#include "reports/recorddates.h"

#include <QRegularExpression>

namespace vellumar {

namespace {

int digit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'\uFF10' && u <= u'\uFF19')
        return u - u'\uFF10';
    return -1;
}

// The number written by the digits at [at, at + count), or -1.
int number(QStringView text, qsizetype at, qsizetype count) {
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const int d = digit(text[i]);
        if (d < 0)
            return -1;
        value = value * 10 + d;
    }
    return value;
}

// The program's own form, read without a regular expression: this is the date of nearly
// every record, and an overview reads a million of them.
std::optional<QDateTime> programForm(QStringView text) {
    if (text.size() != 19 && text.size() != 10)
        return std::nullopt;
    if (text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const QDate day(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
    if (!day.isValid() || text[0].unicode() > 0x7F)
        return std::nullopt;
    if (text.size() == 10)
        return QDateTime(day, QTime(0, 0), Qt::UTC);
    if (text[10] != u' ' || text[13] != u':' || text[16] != u':')
        return std::nullopt;
    const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
    if (!time.isValid())
        return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

} // namespace

DateForm programDateForm(QStringView text) {
    // Digits in full width would not show as they were typed once written as a date.
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            return DateForm::None;
    if (!programForm(text))
        return DateForm::None;
    return text.size() == 19 ? DateForm::DateTime : DateForm::DateOnly;
}

std::optional<QDateTime> readRecordDate(QStringView text) {
    if (std::optional<QDateTime> exact = programForm(text))
        return exact;
    static const QRegularExpression form(QStringLiteral(
        "^\\s*(\\d{4})\\s*[-/.年]\\s*(\\d{1,2})\\s*[-/.月]\\s*(\\d{1,2})\\s*日?"
        "(?:(?:\\s+|T)(\\d{1,2})[:：](\\d{1,2})(?:[:：](\\d{1,2})(?:\\.\\d+)?)?)?\\s*$"));
    QString folded = text.toString();
    for (QChar& c : folded) {
        const char16_t u = c.unicode();
        if (u >= u'\uFF01' && u <= u'\uFF5E' && u != u'\uFF1A')
            c = QChar(char16_t(u - 0xFEE0)); // full-width digits and separators
        else if (u == u'\u3000')
            c = QChar(u' ');
    }
    const QRegularExpressionMatch match = form.match(folded);
    if (!match.hasMatch())
        return std::nullopt;
    const auto part = [&match](int n) {
        return match.captured(n).toInt();
    };
    const QDate day(part(1), part(2), part(3));
    const QTime time = match.hasCaptured(4) ? QTime(part(4), part(5), part(6)) : QTime(0, 0);
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

bool Period::contains(QDate day) const {
    return (from.isNull() || day >= from) && (to.isNull() || day <= to);
}

QString Period::describe() const {
    if (isAll())
        return QStringLiteral("全部记录");
    const QString format = QStringLiteral("yyyy-MM-dd");
    if (to.isNull())
        return from.toString(format) + QStringLiteral(" 起");
    if (from.isNull())
        return QStringLiteral("截至 ") + to.toString(format);
    return from.toString(format) + QStringLiteral(" 至 ") + to.toString(format);
}

Period Period::month(QDate day) {
    const QDate first(day.year(), day.month(), 1);
    return {first, first.addMonths(1).addDays(-1)};
}

Period Period::year(QDate day) {
    return {QDate(day.year(), 1, 1), QDate(day.year(), 12, 31)};
}

} // namespace vellumar
