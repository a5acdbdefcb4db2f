// libFuzzer target for the number conversions. Properties: nothing crashes; every finite
// double reads back from its text as exactly itself; text-to-number of any text gives a
// number (never NaN) whose own text reads back to it; number-to-text writes nothing but
// digits, '.', '-', 'E', '+' or the overflow text. The decimal arithmetic on two texts never
// crashes, agrees with reading its operands when they are exact, and undoes itself exactly:
// (a + b) - b is a again whenever all of it stayed exact. The workbook export's number test
// and the reading of record dates take any text as well.

#include "host/conversions.h"
#include "reports/recorddates.h"
#include "reports/xlsxexport.h"

#include <QString>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace vellumar;

namespace {

bool isNumberText(const QString& text) {
    if (text == u"溢出" || text == u"-溢出")
        return true;
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!(u >= u'0' && u <= u'9') && u != u'.' && u != u'-' && u != u'E' && u != u'+')
            return false;
    }
    return true;
}

// The double's text is a number text and reads back to the double (or, for infinities and
// NaN, to an infinity: never to a finite value such as 0).
void checkDouble(double value) {
    const QString text = numberToText(value);
    if (!isNumberText(text))
        std::abort();
    const double back = textToNumber(text);
    if (std::isfinite(value) ? back != value : !std::isinf(back))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= sizeof(double)) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, data, sizeof bits);
        checkDouble(std::bit_cast<double>(bits));
    }
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const double value = textToNumber(text);
    if (std::isnan(value) || (value == 0.0 && std::signbit(value)))
        std::abort();
    checkDouble(value);

    // The text split in two, as two boxes of a dialog.
    const qsizetype half = text.size() / 2;
    const DecimalNumber a = DecimalNumber::fromText(QStringView(text).first(half));
    const DecimalNumber b = DecimalNumber::fromText(QStringView(text).sliced(half));
    if (a.isExact() && a.toDouble() != textToNumber(QStringView(text).first(half)))
        std::abort();
    const DecimalNumber sum = a.plus(b);
    const DecimalNumber back = sum.minus(b);
    if (sum.isExact() && back.isExact() && back.toDouble() != a.toDouble())
        std::abort();
    // Only an overflow (infinity less infinity) can give NaN.
    const bool finite = std::isfinite(a.toDouble()) && std::isfinite(b.toDouble());
    for (const double result : {sum.toDouble(), a.times(b).toDouble(), back.toDouble()})
        if (std::isnan(result) && finite)
            std::abort();

    // A text the workbook export writes as a number reads as that number and shows as it was;
    // a date read from any text is a real date.
    if (const std::optional<Xlsx::ExactNumber> exact = Xlsx::exactNumber(text))
        for (const QChar c : text)
            if (exact->value != value || !((c >= u'0' && c <= u'9') || c == u'.' || c == u'-'))
                std::abort();
    if (const std::optional<QDateTime> date = readRecordDate(text); date && !date->isValid())
        std::abort();
    return 0;
}
