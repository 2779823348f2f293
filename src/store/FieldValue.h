#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The value of one column of the current row. Its kind follows the SQL type the driver reports for the
// column; a NULL or zero-length text reads as the empty text.
struct FieldValue {
    enum class Kind {
        Text,     // SQL_CHAR, SQL_VARCHAR, SQL_LONGVARCHAR, SQL_W*CHAR, SQL_NUMERIC, SQL_DECIMAL, SQL_BIGINT
        Integer,  // SQL_INTEGER (32-bit), SQL_SMALLINT (16-bit), SQL_TINYINT (unsigned byte)
        Real,     // SQL_REAL, SQL_FLOAT, SQL_DOUBLE
        Boolean,  // SQL_BIT
        DateTime, // SQL_DATE, SQL_TIME, SQL_TIMESTAMP and their ODBC 3 codes
        Bytes,    // SQL_BINARY, SQL_VARBINARY, SQL_LONGVARBINARY
    };

    Kind kind = Kind::Text;
    QString text;
    qint64 integer = 0;
    double real = 0;
    bool boolean = false;
    QDateTime dateTime;
    QByteArray bytes;

    static FieldValue fromText(const QString& text);

    bool isText() const { return kind == Kind::Text; }

    // The value written as text: a text unchanged, an integer in decimal, a real as "%.13g", a date-time as
    // year-month-day hour:minute:second, a boolean as 0/1, bytes in hexadecimal.
    QString toText() const;

    // A date-time as an OLE automation date: days since 30 December 1899, the time of day as fraction.
    double oleDate() const;
};
