#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The properties the fuzz targets hold the program to, as plain functions so that the normal test suite
// can replay every input the fuzzers have kept. Each gives the empty text when the input passed, and
// otherwise what went wrong.
namespace fuzzchecks {

// set.ini holds these bytes: reading it never fails, and no value is longer than 10,239 bytes of the
// file, holds a line break or holds a NUL.
QString checkSettings(QByteArrayView fileBytes);

// The bytes give 21 values and a keyword (see textsFrom). The insert stores exactly those values, and
// nothing else, in one new row; the row reads back, updates and deletes exactly; the search for the
// keyword runs as one statement and finds the row when the keyword is one of its values. A value or
// keyword with a NUL is refused and changes nothing.
QString checkStatements(QByteArrayView input);

// Texts from fuzz bytes. 0xFE starts the next text; 0xFF and two more bytes give any UTF-16 code unit
// (NUL and lone surrogates included); other bytes from 0x80 give characters that matter to this
// program (Chinese, full-width quotes, the replacement character, ...); the rest are ASCII.
QStringList textsFrom(QByteArrayView input);

// What the database holds for a text the program sends: the text itself, except that each lone
// surrogate, which has no UTF-8 form, is the replacement character U+FFFD.
QString storedForm(const QString& text);

} // namespace fuzzchecks
