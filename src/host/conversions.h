#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

namespace vellumar {

// Reads the number at the start of a text the way a shop operator means it. It never fails:
// the empty text and text without a leading number give 0, surrounding blanks are ignored,
// and digits, point and sign typed in full width by a Chinese input method count as well.
// An exponent counts only with digits after it ("2e" is 2). A number too large for a double,
// and the overflow text that numberToText writes ("溢出", "-溢出"), read as plus or minus
// infinity, so an overflowed figure never passes for 0; one too small reads as 0. The result
// is never NaN and never a negative zero, and it does not depend on the process locale.
double textToNumber(QStringView text);

// Writes a number as the operator reads it on the counter: the shortest digits that read back
// through textToNumber to exactly the same double, in plain notation from 1e-15 up to below
// 1e15 and as "d.dddE+XX" outside that range, never "-0". Infinity is "溢出" ("-溢出" below
// zero), and so is NaN, which only an overflow can produce (infinity minus infinity). The
// text does not depend on the process locale.
QString numberToText(double value);

// Local date and time as "yyyy-MM-dd HH:mm:ss".
QString dateTimeToText(const QDateTime& moment);

} // namespace vellumar
