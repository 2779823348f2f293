#include "ServerProvisioning.h"

#include "DemoRecords.h"
#include "ServerSchema.h"
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"

#include <sql.h>
#include <sqlext.h>

#include <array>

namespace provisioning {
namespace {

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// The driver's own words for the last failure on a handle, which say more than any text of ours could.
QString diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    std::array<SQLCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, 2048> text{};
    SQLSMALLINT length = 0;
    if (handle == SQL_NULL_HANDLE || !succeeded(SQLGetDiagRec(type, handle, 1, state.data(), &native, text.data(),
                                                              static_cast<SQLSMALLINT>(text.size()), &length))) {
        return QStringLiteral("the ODBC driver gave no reason");
    }
    const auto size = std::min<qsizetype>(length, static_cast<qsizetype>(text.size()) - 1);
    return QString::fromUtf8(reinterpret_cast<const char*>(text.data()), size).trimmed() + QStringLiteral(" (") +
           QString::fromLatin1(reinterpret_cast<const char*>(state.data()), 5) + QLatin1Char(')');
}

class Statement {
public:
    explicit Statement(SQLHDBC connection) { SQLAllocHandle(SQL_HANDLE_STMT, connection, &m_handle); }
    ~Statement() {
        if (m_handle != SQL_NULL_HANDLE) {
            SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT get() const { return m_handle; }
    QString error() const { return diagnostic(SQL_HANDLE_STMT, m_handle); }

private:
    SQLHSTMT m_handle = SQL_NULL_HANDLE;
};

// One connection in manual-commit mode: whatever the tool does on the server happens as a whole or not at all.
class Connection {
public:
    Connection() = default;
    ~Connection() {
        if (m_connected) {
            SQLEndTran(SQL_HANDLE_DBC, m_connection, SQL_ROLLBACK);
            SQLDisconnect(m_connection);
        }
        if (m_connection != SQL_NULL_HANDLE) {
            SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
        }
        if (m_environment != SQL_NULL_HANDLE) {
            SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool open(const QString& connectionString, QString& error) {
        if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_environment)) ||
            !succeeded(
                SQLSetEnvAttr(m_environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
            !succeeded(SQLAllocHandle(SQL_HANDLE_DBC, m_environment, &m_connection))) {
            error = QStringLiteral("cannot set up ODBC");
            return false;
        }
        // The narrow functions with UTF-8, as the program itself talks to its drivers on Linux; no driver log
        // files, as the program leaves none.
        QByteArray text = RecordStore::withDriverLogsOff(connectionString).toUtf8();
        std::array<SQLCHAR, 2048> completed{};
        SQLSMALLINT completedLength = 0;
        if (!succeeded(SQLDriverConnect(m_connection, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                        completed.data(), static_cast<SQLSMALLINT>(completed.size()), &completedLength,
                                        SQL_DRIVER_NOPROMPT))) {
            error = QStringLiteral("cannot connect: ") + diagnostic(SQL_HANDLE_DBC, m_connection);
            return false;
        }
        m_connected = true;
        if (!succeeded(SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0))) {
            error = diagnostic(SQL_HANDLE_DBC, m_connection);
            return false;
        }
        return true;
    }

    SQLHDBC get() const { return m_connection; }

    bool execute(const QString& sql, QString& error) {
        Statement statement(m_connection);
        QByteArray text = sql.toUtf8();
        if (!succeeded(SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS))) {
            error = statement.error();
            return false;
        }
        return true;
    }

    // The first column of the first row as text.
    bool queryText(const QString& sql, QString& value, QString& error) {
        Statement statement(m_connection);
        QByteArray text = sql.toUtf8();
        std::array<char, 2048> buffer{};
        SQLLEN indicator = 0;
        if (!succeeded(SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS)) ||
            !succeeded(SQLFetch(statement.get())) ||
            !succeeded(SQLGetData(statement.get(), 1, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(buffer.size()),
                                  &indicator))) {
            error = statement.error();
            return false;
        }
        value = indicator == SQL_NULL_DATA ? QString() : QString::fromUtf8(buffer.data());
        return true;
    }

    bool commit(QString& error) {
        if (!succeeded(SQLEndTran(SQL_HANDLE_DBC, m_connection, SQL_COMMIT))) {
            error = diagnostic(SQL_HANDLE_DBC, m_connection);
            return false;
        }
        return true;
    }

private:
    SQLHENV m_environment = SQL_NULL_HANDLE;
    SQLHDBC m_connection = SQL_NULL_HANDLE;
    bool m_connected = false;
};

// Chinese text only survives a database that stores Unicode, and a connection whose client encoding
// passes the program's UTF-8 through unchanged (a desk in a GBK locale would otherwise send its UTF-8
// bytes as GBK); ConnSettings in the connection string fixes the latter on every desk.
bool checkEncodings(Connection& server, QString& error) {
    QString encoding;
    if (!server.queryText(QStringLiteral("SELECT pg_catalog.getdatabaseencoding()"), encoding, error)) {
        return false;
    }
    if (encoding != QLatin1String("UTF8")) {
        error = QStringLiteral("the database's encoding is %1; make it with UTF8 (createdb -E UTF8 -T template0)")
                    .arg(encoding);
        return false;
    }
    if (!server.queryText(QStringLiteral("SHOW client_encoding"), encoding, error)) {
        return false;
    }
    if (encoding != QLatin1String("UTF8") && encoding != QLatin1String("SQL_ASCII")) {
        error = QStringLiteral("the connection's client encoding is %1; add ConnSettings={SET client_encoding TO "
                               "'UTF8'} to the connection string")
                    .arg(encoding);
        return false;
    }
    return true;
}

bool tableExists(Connection& server, bool& exists, QString& error) {
    QString found;
    // The same search path the program's statements will use.
    if (!server.queryText(QStringLiteral("SELECT to_regclass('") + tableName() + QStringLiteral("') IS NOT NULL"),
                          found, error)) {
        return false;
    }
    exists = found == QLatin1String("1") || found.startsWith(QLatin1Char('t'), Qt::CaseInsensitive);
    return true;
}

QString quotedLiteral(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString createRoleAdvice(const QString& role) {
    return QStringLiteral("make it on the server (sudo -u postgres createuser --pwprompt %1) and run init-server "
                          "again")
        .arg(role);
}

QString otherRoleAdvice() {
    return QStringLiteral("give the desks a plain role of their own (sudo -u postgres createuser --pwprompt "
                          "xinfang_desk) and name that one");
}

// A desk's role must not be able to do more than the grants give it: no powers of its own, and no share
// in the rights of the role that creates and owns the schema (a member could alter or drop it).
bool checkDeskRole(Connection& server, const QString& role, QString& error) {
    const QString r = quotedLiteral(role);
    QString verdict;
    if (!server.queryText(
            QStringLiteral("SELECT CASE WHEN r.oid IS NULL THEN 'missing' "
                           "WHEN r.rolsuper OR r.rolcreatedb OR r.rolcreaterole OR r.rolreplication OR r.rolbypassrls "
                           "THEN 'powers' "
                           "WHEN pg_has_role(r.oid, current_user, 'MEMBER') OR pg_has_role(r.oid, d.datdba, 'MEMBER') "
                           "THEN 'owner' ELSE 'plain' END "
                           "FROM pg_database d LEFT JOIN pg_roles r ON r.rolname = %1 "
                           "WHERE d.datname = current_database()")
                .arg(r),
            verdict, error)) {
        return false;
    }
    if (verdict == QLatin1String("missing")) {
        error = QStringLiteral("the role %1 does not exist; ").arg(role) + createRoleAdvice(role);
    } else if (verdict == QLatin1String("powers")) {
        error = QStringLiteral("the role %1 is a superuser or may create databases or roles; ").arg(role) +
                otherRoleAdvice();
    } else if (verdict == QLatin1String("owner")) {
        error = QStringLiteral("the role %1 is the role that runs init-server or owns the database, or a member of "
                               "it, and so could alter or drop the table; ")
                    .arg(role) +
                otherRoleAdvice();
    }
    return verdict == QLatin1String("plain");
}

// Everything the role could still do beyond a desk's work after the grants, in words; empty when nothing.
// PUBLIC's rights count too, and a right the tool could not take away (one on an object it does not own)
// shows up here.
bool excessRights(Connection& server, const QString& role, QString& excess, QString& error) {
    const QString r = quotedLiteral(role);
    const QString userSchemas = QStringLiteral("left(n.nspname, 3) <> 'pg_' AND n.nspname <> 'information_schema'");
    const QString owns = QStringLiteral("pg_has_role(%1, %2, 'MEMBER')").arg(r);
    return server.queryText(
        QStringLiteral(
            "SELECT concat_ws('; ', "
            "CASE WHEN has_database_privilege(%1, current_database(), 'CREATE') THEN 'create schemas' END, "
            "CASE WHEN has_database_privilege(%1, current_database(), 'TEMPORARY') THEN 'create temporary tables' "
            "END, "
            "(SELECT 'create objects in the schema ' || string_agg(n.nspname, ', ') FROM pg_namespace n "
            "WHERE %2 AND has_schema_privilege(%1, n.oid, 'CREATE')), "
            "(SELECT 'use the tables ' || string_agg(c.oid::regclass::text, ', ') FROM pg_class c "
            "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE %2 AND c.relkind IN ('r', 'v', 'm', 'f', 'p') "
            "AND c.oid <> '%3'::regclass "
            "AND has_table_privilege(%1, c.oid, 'SELECT, INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER')), "
            "(SELECT 'alter or drop ' || string_agg(c.oid::regclass::text, ', ') FROM pg_class c "
            "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE %2 AND %4), "
            "(SELECT 'alter or drop the schema ' || string_agg(n.nspname, ', ') FROM pg_namespace n "
            "WHERE %2 AND %5), "
            "(SELECT 'alter or drop the function ' || string_agg(p.oid::regprocedure::text, ', ') FROM pg_proc p "
            "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE %2 AND %6))")
            .arg(r, userSchemas, tableName(), owns.arg(QStringLiteral("c.relowner")),
                 owns.arg(QStringLiteral("n.nspowner")), owns.arg(QStringLiteral("p.proowner"))),
        excess, error);
}

bool grantDeskRole(Connection& server, const QString& role, QString& error) {
    QString database;
    QString schema;
    QString functions;
    // Where 信访数据 is (the first schema of the search path when init-server made it), and whether the
    // LIKE functions are there beside it: a table made by other means may have none.
    const QString where = QStringLiteral(" FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                         "WHERE c.oid = '%1'::regclass")
                              .arg(tableName());
    if (!server.queryText(QStringLiteral("SELECT current_database()"), database, error) ||
        !server.queryText(QStringLiteral("SELECT n.nspname") + where, schema, error) ||
        !server.queryText(QStringLiteral("SELECT to_regprocedure(quote_ident(n.nspname) || '.%1') IS NOT NULL")
                                  .arg(serverschema::likeFunctions()[0]) +
                              where,
                          functions, error)) {
        return false;
    }
    const bool withFunctions = functions == QLatin1String("1") || functions.startsWith(QLatin1Char('t'));
    for (const QString& statement : serverschema::deskRoleStatements(role, database, schema, withFunctions)) {
        if (!server.execute(statement, error)) {
            return false;
        }
    }
    QString excess;
    if (!excessRights(server, role, excess, error)) {
        return false;
    }
    if (!excess.isEmpty()) {
        error = QStringLiteral("the role %1 could still %2. Take that away (as the owner of what it names, or a "
                               "superuser) or choose another role; nothing was changed")
                    .arg(role, excess);
        return false;
    }
    return true;
}

QString insertStatement() {
    QString columns;
    QString markers;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        if (column > firstTextColumn) {
            columns += QLatin1Char(',');
            markers += QLatin1Char(',');
        }
        columns += QLatin1Char('"') + columnNames()[column] + QLatin1Char('"');
        markers += QLatin1Char('?');
    }
    return QStringLiteral("INSERT INTO ") + tableName() + QStringLiteral(" (") + columns +
           QStringLiteral(") VALUES (") + markers + QStringLiteral(") RETURNING ") + columnNames()[0];
}

} // namespace

ServerResult createServerSchema(const QString& connectionString, const QString& deskRole) {
    ServerResult result{FileState::Failed, {}};
    if (!deskRole.isEmpty() && !serverschema::isPlainRoleName(deskRole)) {
        result.error = QStringLiteral("the desk role's name \"%1\" is not plain: take ASCII letters, digits and "
                                      "underscores, at most 63")
                           .arg(deskRole);
        return result;
    }
    Connection server;
    bool exists = false;
    if (!server.open(connectionString, result.error) || !checkEncodings(server, result.error) ||
        !tableExists(server, exists, result.error)) {
        return result;
    }
    if (!deskRole.isEmpty() && !checkDeskRole(server, deskRole, result.error)) {
        return result;
    }
    if (exists && deskRole.isEmpty()) {
        result.state = FileState::LeftAlone;
        return result;
    }
    if (!exists) {
        for (const QString& statement : serverschema::statements()) {
            if (!server.execute(statement, result.error)) {
                return result; // the connection rolls back as it closes
            }
        }
    }
    if (!deskRole.isEmpty() && !grantDeskRole(server, deskRole, result.error)) {
        return result;
    }
    if (server.commit(result.error)) {
        result.state = exists ? FileState::LeftAlone : FileState::Created;
    }
    return result;
}

DemoResult addDemoRecordsToServer(const QString& connectionString, std::int64_t count) {
    DemoResult result{false, 0, 0, {}};
    Connection server;
    bool exists = false;
    if (!server.open(connectionString, result.error) || !checkEncodings(server, result.error) ||
        !tableExists(server, exists, result.error)) {
        return result;
    }
    if (!exists) {
        result.error = QStringLiteral("the database has no table %1; create it with: xinfang-admin init-server "
                                      "CONNECTION-STRING")
                           .arg(tableName());
        return result;
    }
    Statement insert(server.get());
    QByteArray sql = insertStatement().toUtf8();
    if (!succeeded(SQLPrepare(insert.get(), reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS))) {
        result.error = insert.error();
        return result;
    }
    DemoRecords records(count);
    DemoRecords::Row row;
    std::array<SQLLEN, DemoRecords::fieldCount> lengths{};
    for (std::int64_t i = 0; i < count; ++i) {
        records.next(row);
        for (std::size_t column = 0; column < row.size(); ++column) {
            std::string& text = row[column];
            lengths[column] = static_cast<SQLLEN>(text.size());
            // Bound afresh for every row: the texts of the next row live in other buffers.
            if (!succeeded(SQLBindParameter(insert.get(), static_cast<SQLUSMALLINT>(column + 1), SQL_PARAM_INPUT,
                                            SQL_C_CHAR, SQL_VARCHAR, std::max<SQLULEN>(text.size(), 1), 0, text.data(),
                                            lengths[column], &lengths[column]))) {
                result.error = insert.error();
                return result;
            }
        }
        SQLINTEGER number = 0;
        SQLLEN numberIndicator = 0;
        if (!succeeded(SQLExecute(insert.get())) || !succeeded(SQLFetch(insert.get())) ||
            !succeeded(SQLGetData(insert.get(), 1, SQL_C_SLONG, &number, sizeof number, &numberIndicator))) {
            // Past the largest 32-bit 编号 the identity itself refuses, and the program could not show it anyway.
            result.error = insert.error();
            return result;
        }
        SQLFreeStmt(insert.get(), SQL_CLOSE);
        if (i == 0) {
            result.firstNumber = number;
        }
        result.lastNumber = number;
    }
    if (!server.commit(result.error)) {
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace provisioning
