#include "host/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace vellumar {

namespace {

// What numberToText writes for a figure beyond the range of a double.
constexpr char16_t OverflowText[] = u"溢出";
constexpr std::u32string_view OverflowFolded = U"溢出";

// Folds the full-width forms a Chinese input method produces into ASCII.
char32_t foldWidth(char32_t c) {
    if (c >= U'\uFF10' && c <= U'\uFF19')
        return U'0' + (c - U'\uFF10');
    switch (c) {
    case U'\uFF0E':
        return U'.';
    case U'\uFF0D':
    case U'\u2212':
        return U'-';
    case U'\uFF0B':
        return U'+';
    case U'\uFF45':
        return U'e';
    case U'\uFF25':
        return U'E';
    default:
        return c;
    }
}

bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\u3000' || c == U'\u00A0' || c == U'\r' || c == U'\n';
}

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

struct LeadingNumber {
    std::string ascii;     // "[-] digits [. digits] [e [sign] digits]", empty when there is none
    bool overflow = false; // the text starts with the overflow text instead
    bool negative = false;
};

// Collects the longest leading number of the text as plain ASCII.
LeadingNumber leadingNumber(QStringView text) {
    std::u32string folded;
    folded.reserve(static_cast<size_t>(text.size()));
    for (char32_t c : text.toUcs4())
        folded.push_back(foldWidth(c));

    LeadingNumber found;
    size_t i = 0;
    while (i < folded.size() && isBlank(folded[i]))
        ++i;
    if (i < folded.size() && (folded[i] == U'+' || folded[i] == U'-'))
        found.negative = folded[i++] == U'-';
    if (std::u32string_view(folded).substr(i).starts_with(OverflowFolded)) {
        found.overflow = true;
        return found;
    }

    std::string& out = found.ascii;
    if (found.negative)
        out.push_back('-');
    bool anyDigit = false;
    while (i < folded.size() && isDigit(folded[i])) {
        out.push_back(static_cast<char>(folded[i++]));
        anyDigit = true;
    }
    if (i < folded.size() && folded[i] == U'.') {
        out.push_back('.');
        ++i;
        while (i < folded.size() && isDigit(folded[i])) {
            out.push_back(static_cast<char>(folded[i++]));
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        out.clear();
        return found;
    }
    // An exponent only counts when digits follow it: "2e" is 2, "2e3" is 2000.
    if (i < folded.size() && (folded[i] == U'e' || folded[i] == U'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < folded.size() && (folded[j] == U'+' || folded[j] == U'-'))
            exponent.push_back(static_cast<char>(folded[j++]));
        const size_t digitsStart = j;
        while (j < folded.size() && isDigit(folded[j]))
            exponent.push_back(static_cast<char>(folded[j++]));
        if (j > digitsStart)
            out += exponent;
    }
    return found;
}

// For a number text beyond the range of a double: whether it is too large (rather than too
// small). Only the sign of its decimal magnitude matters, so a saturated exponent will do.
bool isTooLarge(std::string_view number) {
    size_t i = number.starts_with('-') ? 1 : 0;
    long long magnitude = 0; // power of ten of the first significant digit, exponent aside
    bool significant = false;
    long long integerDigits = 0;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
        significant = significant || number[i] != '0';
        if (significant)
            ++integerDigits;
    }
    if (significant) {
        magnitude = integerDigits - 1;
    } else if (i < number.size() && number[i] == '.') {
        for (++i, magnitude = -1; i < number.size() && number[i] == '0'; ++i)
            --magnitude;
    }
    while (i < number.size() && number[i] != 'e')
        ++i;
    long long exponent = 0;
    if (i < number.size()) {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+'))
            ++i;
        for (; i < number.size(); ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), 1'000'000'000'000LL);
        if (negative)
            exponent = -exponent;
    }
    return magnitude + exponent > 0;
}

} // namespace

double textToNumber(QStringView text) {
    const LeadingNumber number = leadingNumber(text);
    constexpr double infinity = std::numeric_limits<double>::infinity();
    if (number.overflow)
        return number.negative ? -infinity : infinity;
    if (number.ascii.empty())
        return 0.0;
    const char* const begin = number.ascii.data();
    const char* const end = begin + number.ascii.size();
    double value = 0.0;
    const std::from_chars_result read = std::from_chars(begin, end, value);
    if (read.ec == std::errc::result_out_of_range) {
        if (!isTooLarge(number.ascii))
            return 0.0; // the nearest double to a figure that small
        return number.negative ? -infinity : infinity;
    }
    if (read.ec != std::errc() || read.ptr != end)
        return 0.0; // cannot happen: the text was collected in the form from_chars reads
    return value == 0.0 ? 0.0 : value;
}

QString numberToText(double value) {
    if (std::isnan(value))
        return QString::fromUtf16(OverflowText);
    if (std::isinf(value))
        return value > 0 ? QString::fromUtf16(OverflowText)
                         : QLatin1Char('-') + QString::fromUtf16(OverflowText);
    if (value == 0.0)
        return QStringLiteral("0");

    // The shortest digits that read back to the same double, as "-d.ddde+XX".
    char buffer[40];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view scientific(buffer, static_cast<size_t>(written.ptr - buffer));
    const size_t ePos = scientific.find('e');
    const bool negative = scientific.front() == '-';
    std::string digits;
    for (size_t k = negative ? 1 : 0; k < ePos; ++k)
        if (scientific[k] != '.')
            digits.push_back(scientific[k]);
    int exponent = 0;
    const char* exponentText = scientific.data() + ePos + 1;
    if (*exponentText == '+')
        ++exponentText;
    std::from_chars(exponentText, scientific.data() + scientific.size(), exponent);

    // Built with QString: GCC 12 misreads std::string concatenation here at -O3.
    QString out;
    if (negative)
        out += QLatin1Char('-');
    const QLatin1String all(digits.data(), static_cast<qsizetype>(digits.size()));
    if (exponent >= 15 || exponent < -15) {
        out += all.first(1);
        if (all.size() > 1)
            out += QLatin1Char('.') + all.sliced(1);
        out += QStringLiteral("E%1%2")
                   .arg(exponent < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                   .arg(std::abs(exponent));
    } else if (exponent >= 0) {
        const qsizetype intDigits = exponent + 1;
        if (all.size() <= intDigits) {
            out += all;
            out += QString(intDigits - all.size(), QLatin1Char('0'));
        } else {
            out += all.first(intDigits) + QLatin1Char('.') + all.sliced(intDigits);
        }
    } else {
        out += QStringLiteral("0.");
        out += QString(-exponent - 1, QLatin1Char('0'));
        out += all;
    }
    return out;
}

namespace {

__extension__ using Coefficient = unsigned __int128;
constexpr int MaxCoefficientDigits = 38; // 10^38 < 2^128
// Exponents are kept far from overflowing while still beyond any double's range.
constexpr qint64 ExponentLimit = 1'000'000;

Coefficient powerOfTen(int n) {
    Coefficient power = 1;
    for (int i = 0; i < n; ++i)
        power *= 10;
    return power;
}

const Coefficient& coefficientLimit() {
    static const Coefficient limit = powerOfTen(MaxCoefficientDigits);
    return limit;
}

std::string digitsOf(Coefficient value) {
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
}

} // namespace

DecimalNumber DecimalNumber::approximate(double value) {
    DecimalNumber number;
    number.m_exact = false;
    number.m_approximate = value;
    return number;
}

DecimalNumber DecimalNumber::exact(bool negative, Coefficient coefficient, qint64 exponent) {
    DecimalNumber number;
    if (coefficient == 0)
        return number;
    // Trailing zeros go into the exponent, which keeps coefficients small for what follows.
    while (coefficient % 10 == 0) {
        coefficient /= 10;
        ++exponent;
    }
    if (exponent > ExponentLimit || exponent < -ExponentLimit)
        return approximate((negative ? -1.0 : 1.0) * (exponent > 0 ? HUGE_VAL : 0.0));
    number.m_negative = negative;
    number.m_coefficient = coefficient;
    number.m_exponent = exponent;
    return number;
}

DecimalNumber DecimalNumber::fromText(QStringView text) {
    const LeadingNumber number = leadingNumber(text);
    if (number.overflow)
        return approximate(textToNumber(text));
    if (number.ascii.empty())
        return DecimalNumber(); // no number: 0, exactly
    // "[-] digits [. digits] [e [sign] digits]", as leadingNumber collected it.
    const std::string_view ascii = number.ascii;
    size_t i = number.negative ? 1 : 0;
    Coefficient coefficient = 0;
    int significant = 0;
    qint64 exponent = 0;
    bool afterPoint = false;
    for (; i < ascii.size() && ascii[i] != 'e' && ascii[i] != 'E'; ++i) {
        if (ascii[i] == '.') {
            afterPoint = true;
            continue;
        }
        const int digit = ascii[i] - '0';
        if (coefficient == 0 && digit == 0) {
            if (afterPoint)
                --exponent;
            continue;
        }
        if (++significant > MaxCoefficientDigits)
            return approximate(textToNumber(text));
        coefficient = coefficient * 10 + static_cast<unsigned>(digit);
        if (afterPoint)
            --exponent;
    }
    if (i < ascii.size()) {
        ++i;
        const bool negativeExponent = i < ascii.size() && ascii[i] == '-';
        if (i < ascii.size() && (ascii[i] == '-' || ascii[i] == '+'))
            ++i;
        qint64 written = 0;
        for (; i < ascii.size(); ++i)
            written = std::min<qint64>(written * 10 + (ascii[i] - '0'), 10 * ExponentLimit);
        exponent += negativeExponent ? -written : written;
    }
    return exact(number.negative, coefficient, exponent);
}

DecimalNumber DecimalNumber::negated() const {
    DecimalNumber number = *this;
    if (m_exact)
        number.m_negative = m_coefficient != 0 && !m_negative;
    else
        number.m_approximate = -m_approximate;
    return number;
}

DecimalNumber DecimalNumber::times(const DecimalNumber& other) const {
    if (!m_exact || !other.m_exact)
        return approximate(toDouble() * other.toDouble());
    if (m_coefficient == 0 || other.m_coefficient == 0)
        return DecimalNumber();
    if (m_coefficient > (coefficientLimit() - 1) / other.m_coefficient)
        return approximate(toDouble() * other.toDouble());
    return exact(m_negative != other.m_negative, m_coefficient * other.m_coefficient,
                 m_exponent + other.m_exponent);
}

DecimalNumber DecimalNumber::plus(const DecimalNumber& other) const {
    if (!m_exact || !other.m_exact)
        return approximate(toDouble() + other.toDouble());
    if (other.m_coefficient == 0)
        return *this;
    if (m_coefficient == 0)
        return other;
    // Both on the smaller exponent, so the coefficients can be added as integers.
    const DecimalNumber& high = m_exponent >= other.m_exponent ? *this : other;
    const DecimalNumber& low = m_exponent >= other.m_exponent ? other : *this;
    const qint64 shift = high.m_exponent - low.m_exponent;
    const Coefficient limit = coefficientLimit();
    if (shift > MaxCoefficientDigits)
        return approximate(toDouble() + other.toDouble());
    const Coefficient scale = powerOfTen(static_cast<int>(shift));
    if (high.m_coefficient > (limit - 1) / scale)
        return approximate(toDouble() + other.toDouble());
    const Coefficient a = high.m_coefficient * scale;
    const Coefficient b = low.m_coefficient;
    if (high.m_negative == low.m_negative) {
        if (a > limit - 1 - b)
            return approximate(toDouble() + other.toDouble());
        return exact(high.m_negative, a + b, low.m_exponent);
    }
    if (a >= b)
        return exact(high.m_negative, a - b, low.m_exponent);
    return exact(low.m_negative, b - a, low.m_exponent);
}

DecimalNumber DecimalNumber::minus(const DecimalNumber& other) const {
    return plus(other.negated());
}

double DecimalNumber::toDouble() const {
    if (!m_exact)
        return m_approximate == 0.0 ? 0.0 : m_approximate;
    if (m_coefficient == 0)
        return 0.0;
    // The nearest double to the exact value: from_chars rounds correctly.
    const std::string digits = digitsOf(m_coefficient);
    const std::string text = digits + 'e' + std::to_string(m_exponent);
    double value = 0.0;
    const std::from_chars_result read =
        std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec == std::errc::result_out_of_range) {
        const bool tooLarge = static_cast<qint64>(digits.size()) + m_exponent > 0;
        value = tooLarge ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (value == 0.0)
        return 0.0;
    return m_negative ? -value : value;
}

QString dateTimeToText(const QDateTime& moment) {
    return moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace vellumar
