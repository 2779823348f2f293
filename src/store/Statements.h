#pragma once

#include <QString>
#include <QStringList>

#include <span>

// The statements the program sends, built by joining fixed fragments and field texts. Single quotes
// inside values and keywords are doubled, so every value stays inside its literal and no input can change
// what a statement does; % and _ in a keyword stay wildcards of the LIKE pattern. Each runs unchanged on an
// SQLite file and on the server schema, whose view 信访数据 has the same name and columns.
namespace statements {

// "select * from 信访数据"
QString selectAll();

// Every row in which any of the 22 columns contains the keyword (编号 through its decimal text).
QString search(const QString& keyword);

// The record list reads only 编号 of the rows it lists, in the order the database gives them, and the
// cells of the few rows it shows by their numbers.
// "select 编号 from 信访数据 where coalesce(日期,…,备注,'') is not null": every row, in the order of
// "select *", whatever indexes the table has.
QString selectNumbers();
// 编号 of the rows that search(keyword) finds, by the same conditions.
QString searchNumbers(const QString& keyword);
// Every column of the rows with these numbers, in the database's order; the empty text for no numbers.
QString selectByNumbers(std::span<const qint32> numbers);

// values: the 21 texts of columns 1 to 21 in table order. 编号 is assigned by the database.
QString insert(const QStringList& values);

// values: the 21 texts of columns 1 to 21; number: the decimal text of the record's 编号.
QString update(const QStringList& values, const QString& number);

// number: the decimal text of the record's 编号.
QString remove(const QString& number);

// The text with each single quote doubled, for use inside a '…' literal.
QString literalText(const QString& text);

// Each square bracket outside a single-quoted literal replaced by the driver's identifier quote
// character; text inside a literal is never changed.
QString replaceBrackets(const QString& statement, const QString& quote);

} // namespace statements
