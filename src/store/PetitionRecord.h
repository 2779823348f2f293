#pragma once

#include <QString>
#include <QStringList>

#include <array>

// One row of the table 信访数据: 编号 (assigned by the database) and 21 text columns. The same order
// numbers the columns of the record list and the fields of the entry form. Two column names are spelled
// with 仿 (来仿人民族, 来仿人职业): the table carries them spelled so.
inline constexpr int columnCount = 22;
inline constexpr int firstTextColumn = 1;

// Column names in table order; columnNames()[0] is 编号.
const QStringList& columnNames();

// The name of the table.
QString tableName();
