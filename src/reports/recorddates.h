#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

namespace vellumar {

// Reads the date of a record. The program writes "yyyy-MM-dd HH:mm:ss"; a ledger edited in a
// spreadsheet may hold "2026/12/9 9:30", "2026.12.09", "2026年12月9日" or only the date, in
// full-width digits too, and those are read as well. The time is the wall-clock time written,
// with no time zone: it comes back as UTC, so comparing two never goes through the zone rules. Only
// year-first dates are read: in "03/04/2026" the day and the month cannot be told apart. Anything
// else is no date.
std::optional<QDateTime> readRecordDate(QStringView text);

// Whether the text is exactly the form the program writes, or that form without the time.
enum class DateForm { None, DateTime, DateOnly };
DateForm programDateForm(QStringView text);

// The days a statement covers, both ends included. A missing end leaves that side open; with
// neither end the period is the whole ledger.
struct Period {
    QDate from;
    QDate to;

    bool isAll() const { return from.isNull() && to.isNull(); }
    bool contains(QDate day) const;
    // "全部记录", or the two ends as "2026-12-01 至 2026-12-31".
    QString describe() const;

    static Period all() { return {}; }
    static Period month(QDate day);
    static Period lastMonth(QDate today) { return month(today.addMonths(-1)); }
    static Period year(QDate day);
};

} // namespace vellumar
