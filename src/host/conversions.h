#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

namespace vellumar {

// Reads the number at the start of a text the way a shop operator means it: never fails,
// the empty text and text without a leading number give 0, surrounding spaces are ignored,
// and digits, point and sign typed in full width by a Chinese input method count as well.
double textToNumber(QStringView text);

// Writes a number as the operator reads it on the counter: at most 15 significant digits,
// no trailing zeros, plain notation below 1e15, never "-0".
QString numberToText(double value);

// Local date and time as "yyyy-MM-dd HH:mm:ss".
QString dateTimeToText(const QDateTime& moment);

} // namespace vellumar
