#pragma once

#include <QString>
#include <QtGlobal>

// Whole number in plain decimal: minus sign when negative, no leading zeros, no group separators.
QString wholeNumberText(qint64 value);

// A real number with at most 13 significant digits, as C's "%.13g" writes it: no trailing zeros and no
// trailing decimal point ("13", "100", "1.5", "1e+15"). Independent of the locale.
QString realNumberText(double value);

// A text read as a number: leading blanks are skipped, then the longest leading decimal number
// (optional sign, digits, optional decimal point and digits, optional exponent) is taken; a text
// without one reads as 0.
double readNumber(const QString& text);

// readNumber() cut toward zero to a 32-bit signed integer (clamped to its range).
qint32 readWholeNumber(const QString& text);
