#include "ServerSchema.h"

#include "store/PetitionRecord.h"

namespace serverschema {

QString storageTableName() {
    return QStringLiteral("信访登记");
}

QString createTable(const QString& name) {
    // GENERATED ALWAYS: the program never names 编号 in an insert, and nobody else should either, or the
    // sequence would later hand out a number that is taken. A sequence never goes back, so the number of
    // a deleted registration, perhaps written on a paper file, never comes to name another case.
    // The columns are varchar rather than text only so that the LIKE operator below applies to them.
    QString sql = QStringLiteral("CREATE TABLE ") + name + QStringLiteral(" (") + columnNames()[0] +
                  QStringLiteral(" integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
    for (int column = firstTextColumn; column < columnCount; ++column) {
        sql += QStringLiteral(", ") + columnNames()[column] + QStringLiteral(" varchar");
    }
    return sql + QLatin1Char(')');
}

QStringList likeFunctions() {
    return {QStringLiteral("xinfang_like(varchar, varchar)"), QStringLiteral("xinfang_like(integer, text)")};
}

QStringList statements() {
    QStringList out;
    out << createTable(storageTableName());

    // PostgreSQL hands out rows in storage order, and a corrected row moves to the end of the storage.
    // The list would then reorder itself after every correction; SQLite lists by 编号, and so does the view.
    // A view this simple takes the program's insert, update and delete as they are.
    QString view = QStringLiteral("CREATE VIEW ") + tableName() + QStringLiteral(" AS SELECT ");
    view += columnNames().join(QStringLiteral(", "));
    view += QStringLiteral(" FROM ") + storageTableName() + QStringLiteral(" ORDER BY ") + columnNames()[0];
    out << view;

    // The search sends "column like '%keyword%'" for every column and expects SQLite's answer: ASCII letters
    // match without regard to case, every other character only itself, and nothing escapes a wildcard
    // (PostgreSQL's LIKE is case-sensitive and takes a backslash as escape character, so a keyword ending
    // in one would fail the whole search). lower() under the C collation folds ASCII letters alone,
    // whatever the database's locale. pg_catalog's LIKE for text is found before any of ours, but it has
    // none for varchar, so for the varchar columns ours is the exact match.
    out << QStringLiteral("CREATE FUNCTION ") + likeFunctions()[0] +
               QStringLiteral(" RETURNS boolean LANGUAGE sql IMMUTABLE "
                              "STRICT PARALLEL SAFE AS $$SELECT lower($1 COLLATE \"C\") LIKE lower($2 COLLATE \"C\") "
                              "ESCAPE ''$$");
    out << QStringLiteral("CREATE OPERATOR ~~ (LEFTARG = varchar, RIGHTARG = varchar, FUNCTION = xinfang_like)");
    // SQLite matches the integer 编号 through its decimal text (keyword 1 finds 10 and 21); PostgreSQL has no
    // LIKE for an integer at all.
    out << QStringLiteral("CREATE FUNCTION ") + likeFunctions()[1] +
               QStringLiteral(" RETURNS boolean LANGUAGE sql IMMUTABLE "
                              "STRICT PARALLEL SAFE AS $$SELECT $1::text LIKE $2 ESCAPE ''$$");
    out << QStringLiteral("CREATE OPERATOR ~~ (LEFTARG = integer, RIGHTARG = text, FUNCTION = xinfang_like)");
    return out;
}

namespace {

QString quotedIdentifier(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

} // namespace

bool isPlainRoleName(const QString& name) {
    if (name.isEmpty() || name.size() > 63) { // PostgreSQL cuts longer names short
        return false;
    }
    for (const QChar c : name) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
        if (!plain) {
            return false;
        }
    }
    return true;
}

QStringList deskRoleStatements(const QString& role, const QString& database, const QString& schema,
                               bool withLikeFunctions) {
    // Quoted as createuser makes it: the name exactly as typed, capitals and all.
    const QString r = quotedIdentifier(role);
    const QString db = quotedIdentifier(database);
    const QString s = quotedIdentifier(schema);
    QStringList out;
    out << QStringLiteral("REVOKE CONNECT, TEMPORARY ON DATABASE ") + db + QStringLiteral(" FROM PUBLIC");
    out << QStringLiteral("GRANT CONNECT ON DATABASE ") + db + QStringLiteral(" TO ") + r;
    out << QStringLiteral("REVOKE CREATE ON SCHEMA ") + s + QStringLiteral(" FROM PUBLIC");
    out << QStringLiteral("GRANT USAGE ON SCHEMA ") + s + QStringLiteral(" TO ") + r;
    out << QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ") + s + QLatin1Char('.') + tableName() +
               QStringLiteral(" TO ") + r;
    if (withLikeFunctions) {
        for (const QString& function : likeFunctions()) {
            out << QStringLiteral("GRANT EXECUTE ON FUNCTION ") + s + QLatin1Char('.') + function +
                       QStringLiteral(" TO ") + r;
        }
    }
    return out;
}

} // namespace serverschema
