#pragma once

#include <QString>
#include <QStringList>

// The five statements the program sends, built by joining fixed fragments and field texts. Single quotes
// inside values and keywords are doubled, so every value stays inside its literal and no input can change
// what a statement does; % and _ in a keyword stay wildcards of the LIKE pattern.
namespace statements {

// "select * from 信访数据"
QString selectAll();

// Every row in which any of the 22 columns contains the keyword (编号 through its decimal text).
QString search(const QString& keyword);

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
