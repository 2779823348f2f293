#pragma once

#include <QString>
#include <QtGlobal>

// The value of one column of the current row, as the text the database holds. Every value is read as
// character data whatever type the table declares: SQLite's declared types are only affinities, and an
// office's table may keep plain text in a DATE, INT, BIT or BLOB column, which must read back byte for
// byte. A value that really is a number, a date or bytes comes in the driver's own text form of it. A NULL
// reads as the empty text.
struct FieldValue {
    QString text;
    bool isNull = false;

    static FieldValue fromText(const QString& text);

    QString toText() const { return text; }
    // The text as a whole number: optional blanks, an optional sign and decimal digits, nothing after them.
    // 0 for any other text; ok, when given, says whether it was one.
    qint64 toInteger(bool* ok = nullptr) const;
};
