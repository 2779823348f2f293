#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

QString wholeNumberText(qint64 value) {
    return QString::number(value);
}

QString realNumberText(double value) {
    // std::to_chars writes exactly what printf("%.13g") writes in the "C" locale, whatever locale Qt has
    // set for the C library from the environment (which may use a decimal comma).
    char buffer[32];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return QString::fromLatin1(buffer, written.ptr - buffer);
}

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Moves `at` past a run of ASCII digits and returns how many there were.
qsizetype skipDigits(const QString& text, qsizetype& at) {
    const qsizetype start = at;
    while (at < text.size() && isDigit(text[at])) {
        ++at;
    }
    return at - start;
}

} // namespace

double readNumber(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }

    const qsizetype start = at;
    const qsizetype integerDigits = skipDigits(text, at);
    qsizetype fractionDigits = 0;
    if (at < text.size() && text[at] == u'.') {
        ++at;
        fractionDigits = skipDigits(text, at);
    }
    if (integerDigits + fractionDigits == 0) {
        return 0; // no number at all: "", "abc", ".", "-", ".e5"
    }
    const qsizetype mantissaEnd = at;

    // The exponent is taken only with at least one digit: "1e" and "1e+" read as 1.
    double exponent = 0;
    if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
        qsizetype next = at + 1;
        const bool negativeExponent = next < text.size() && text[next] == u'-';
        if (next < text.size() && (text[next] == u'+' || text[next] == u'-')) {
            ++next;
        }
        const qsizetype exponentStart = next;
        if (skipDigits(text, next) > 0) {
            for (qsizetype i = exponentStart; i < next; ++i) {
                exponent = exponent * 10 + text[i].digitValue();
            }
            exponent = negativeExponent ? -exponent : exponent;
            at = next;
        }
    }

    // Only ASCII has been taken, so Latin-1 is exact; from_chars reads it the same in every locale.
    const QByteArray number = text.sliced(start, at - start).toLatin1();
    double value = 0;
    const std::from_chars_result read = std::from_chars(number.begin(), number.end(), value);
    if (read.ec == std::errc::result_out_of_range) {
        // Beyond the range of double, where from_chars leaves the value alone. Read it as strtod does, as
        // infinity or zero, told apart by the decimal exponent of the leading non-zero digit.
        qsizetype leadingZeros = 0;
        for (qsizetype i = start; i < mantissaEnd && (text[i] == u'0' || text[i] == u'.'); ++i) {
            leadingZeros += text[i] == u'0' ? 1 : 0;
        }
        const double order = static_cast<double>(integerDigits - 1 - leadingZeros) + exponent;
        value = order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

qint32 readWholeNumber(const QString& text) {
    const double value = std::trunc(readNumber(text));
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= std::numeric_limits<qint32>::min()) {
        return std::numeric_limits<qint32>::min();
    }
    if (value >= std::numeric_limits<qint32>::max()) {
        return std::numeric_limits<qint32>::max();
    }
    return static_cast<qint32>(value);
}
