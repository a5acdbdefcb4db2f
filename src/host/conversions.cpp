#include "host/conversions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vellumar {

namespace {

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

// Collects the longest leading "[sign] digits [. digits] [e [sign] digits]" as ASCII.
std::string leadingNumber(QStringView text) {
    std::u32string folded;
    folded.reserve(static_cast<size_t>(text.size()));
    for (char32_t c : text.toUcs4())
        folded.push_back(foldWidth(c));

    size_t i = 0;
    while (i < folded.size() && isBlank(folded[i]))
        ++i;

    std::string out;
    if (i < folded.size() && (folded[i] == U'+' || folded[i] == U'-'))
        out.push_back(static_cast<char>(folded[i++]));
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
    if (!anyDigit)
        return {};
    // An exponent only counts when digits follow it: "2e" is 2, "2e3" is 2000.
    if (i < folded.size() && (folded[i] == U'e' || folded[i] == U'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < folded.size() && (folded[j] == U'+' || folded[j] == U'-'))
            exponent.push_back(static_cast<char>(folded[j++]));
        size_t digitsStart = j;
        while (j < folded.size() && isDigit(folded[j]))
            exponent.push_back(static_cast<char>(folded[j++]));
        if (j > digitsStart)
            out += exponent;
    }
    return out;
}

} // namespace

double textToNumber(QStringView text) {
    const std::string number = leadingNumber(text);
    if (number.empty())
        return 0.0;
    const double value = std::strtod(number.c_str(), nullptr);
    // A figure beyond the range of a double means nothing at a shop counter.
    if (!std::isfinite(value))
        return 0.0;
    return value == 0.0 ? 0.0 : value;
}

QString numberToText(double value) {
    if (std::isnan(value))
        return QStringLiteral("0");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("溢出") : QStringLiteral("-溢出");

    // Round to 15 significant digits first; everything below works on those digits.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const std::string scientific(buffer);
    const size_t ePos = scientific.find('e');
    const bool negative = scientific[0] == '-';
    std::string digits;
    for (size_t k = negative ? 1 : 0; k < ePos; ++k)
        if (scientific[k] != '.')
            digits.push_back(scientific[k]);
    int exponent = std::atoi(scientific.c_str() + ePos + 1);

    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    if (digits == "0")
        return QStringLiteral("0");

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

QString dateTimeToText(const QDateTime& moment) {
    return moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace vellumar
