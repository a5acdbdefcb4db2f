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

// A number the operator typed, for arithmetic that is exact in decimal. Each answer is the
// double nearest to the exact decimal result, so numberToText shows the result's own digits:
// 3 × 1.1 is "3.3" and 0.1 + 0.2 is "0.3", where plain double arithmetic on the two read numbers
// would give 3.3000000000000003 and 0.30000000000000004 (the binary rounding of its operands,
// which the exact number texts would then show). A number is read from its text as
// textToNumber reads it; one with more significant digits than the exact arithmetic holds
// (about 38), or a result that would need more, is worked in double precision instead, and an
// overflow stays an overflow.
class DecimalNumber {
public:
    DecimalNumber() = default; // zero
    static DecimalNumber fromText(QStringView text);

    DecimalNumber times(const DecimalNumber& other) const;
    DecimalNumber plus(const DecimalNumber& other) const;
    DecimalNumber minus(const DecimalNumber& other) const;

    double toDouble() const;
    // Whether the value is held exactly (not in double precision).
    bool isExact() const { return m_exact; }

private:
    __extension__ using Coefficient = unsigned __int128;
    static DecimalNumber approximate(double value);
    static DecimalNumber exact(bool negative, Coefficient coefficient, qint64 exponent);
    DecimalNumber negated() const;

    // value = (negative ? -1 : 1) × coefficient × 10^exponent when exact, else m_approximate.
    bool m_exact = true;
    bool m_negative = false;
    Coefficient m_coefficient = 0;
    qint64 m_exponent = 0;
    double m_approximate = 0.0;
};

// Local date and time as "yyyy-MM-dd HH:mm:ss".
QString dateTimeToText(const QDateTime& moment);

} // namespace vellumar
