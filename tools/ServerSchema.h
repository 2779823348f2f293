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

// Whether name may be given as the desks' role: ASCII letters, digits and underscores, so that it needs
// no quoting in a connection string, a password file or a shell, and can be put into statements as it is.
bool isPlainRoleName(const QString& name);

// What lets the role do a desk's work and no more, on the objects statements() made in schema of
// database: select, insert, update and delete on 信访数据 (the inserts' 编号 comes from the identity of the
// table behind the view, which PostgreSQL checks against the view's owner, so the role needs no right on
// the table or its sequence), the LIKE functions when there are any, and the database's CONNECT.
// Everyone else's (PUBLIC's) right to connect, to make temporary tables and to create objects in the
// schema is taken away, so the role holds no right to create anything through PUBLIC either.
QStringList deskRoleStatements(const QString& role, const QString& database, const QString& schema,
                               bool withLikeFunctions);

// The signatures of the LIKE functions statements() makes, for a GRANT.
QStringList likeFunctions();

} // namespace serverschema
