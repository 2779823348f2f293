#pragma once

#include <QString>
#include <QStringList>

// The program's schema on a PostgreSQL server, for offices where several desks share one database. The
// program sends the same five statements to the server as to a file, so the schema makes PostgreSQL
// answer them as SQLite does.
namespace serverschema {

// The table that holds the registrations; the program reads and writes it through the view 信访数据.
QString storageTableName();

// CREATE TABLE for a table called name with the program's 22 columns: 编号 an identity that is never
// handed out twice, the 21 texts as varchar without a length limit.
QString createTable(const QString& name);

// Everything the program needs, in order, made in the first schema of the search path. Run them in one
// transaction, so that a failure leaves nothing half made.
QStringList statements();

} // namespace serverschema
