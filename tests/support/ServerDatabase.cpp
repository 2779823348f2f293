#include "ServerDatabase.h"

#include "ServerSchema.h"
#include "store/PetitionRecord.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QRandomGenerator>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr auto environmentVariable = "XINFANG_TEST_PG";

[[noreturn]] void fail(const QString& what, PGconn* connection) {
    std::fprintf(stderr, "server test database: %s: %s\n", qPrintable(what),
                 connection != nullptr ? PQerrorMessage(connection) : "");
    std::abort();
}

QString serverConnectionString() {
    return qEnvironmentVariable(environmentVariable);
}

QString unbraced(const QString& value) {
    return value.startsWith(QLatin1Char('{')) && value.endsWith(QLatin1Char('}')) ? value.mid(1, value.size() - 2)
                                                                                  : value;
}

QString quotedForLibpq(const QString& value) {
    QString out = value;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

// The same server as the ODBC string, for libpq: the driver's key names mapped to libpq's.
QString libpqConnectionString(const QString& odbc, const QString& database) {
    QStringList parts;
    for (const auto& [key, value] : ServerDatabase::parseConnectionString(odbc)) {
        const QString k = key.toLower();
        QString libpqKey;
        if (k == QLatin1String("servername") || k == QLatin1String("server")) {
            libpqKey = QStringLiteral("host");
        } else if (k == QLatin1String("port")) {
            libpqKey = QStringLiteral("port");
        } else if (k == QLatin1String("username") || k == QLatin1String("uid") || k == QLatin1String("user")) {
            libpqKey = QStringLiteral("user");
        } else if (k == QLatin1String("password") || k == QLatin1String("pwd")) {
            libpqKey = QStringLiteral("password");
        }
        if (!libpqKey.isEmpty()) {
            parts << libpqKey + QLatin1Char('=') + quotedForLibpq(unbraced(value));
        }
    }
    parts << QStringLiteral("dbname=") + quotedForLibpq(database);
    parts << QStringLiteral("client_encoding=UTF8");
    return parts.join(QLatin1Char(' '));
}

QString maintenanceDatabase() {
    for (const auto& [key, value] : ServerDatabase::parseConnectionString(serverConnectionString())) {
        if (key.compare(QLatin1String("database"), Qt::CaseInsensitive) == 0) {
            return unbraced(value);
        }
    }
    return QStringLiteral("postgres");
}

PGconn* connect(const QString& database) {
    PGconn* connection = PQconnectdb(libpqConnectionString(serverConnectionString(), database).toUtf8().constData());
    if (PQstatus(connection) != CONNECTION_OK) {
        fail(QStringLiteral("connect to ") + database, connection);
    }
    return connection;
}

// Runs sql with text parameters (null QStrings go as NULL); the result, which the caller clears.
PGresult* run(PGconn* connection, const QString& sql, const QStringList& parameters = {}) {
    std::vector<QByteArray> bytes;
    std::vector<const char*> values;
    bytes.reserve(static_cast<std::size_t>(parameters.size()));
    for (const QString& p : parameters) {
        bytes.push_back(p.toUtf8());
        values.push_back(p.isNull() ? nullptr : bytes.back().constData());
    }
    PGresult* result = PQexecParams(connection, sql.toUtf8().constData(), static_cast<int>(values.size()), nullptr,
                                    values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        PQclear(result);
        fail(sql.left(300), connection);
    }
    return result;
}

void runAndClear(PGconn* connection, const QString& sql) {
    PQclear(run(connection, sql));
}

QString quotedIdentifier(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// A name that no other test process on the server uses.
QString uniqueName(const QString& prefix) {
    static QAtomicInteger<int> made = 0;
    return QStringLiteral("%1_%2_%3_%4")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(made.fetchAndAddRelaxed(1))
        .arg(QRandomGenerator::global()->generate() % 1000000);
}

} // namespace

bool ServerDatabase::available() {
    return !serverConnectionString().isEmpty();
}

QList<QPair<QString, QString>> ServerDatabase::parseConnectionString(const QString& connectionString) {
    QList<QPair<QString, QString>> pairs;
    qsizetype i = 0;
    const qsizetype n = connectionString.size();
    while (i < n) {
        const qsizetype equals = connectionString.indexOf(QLatin1Char('='), i);
        if (equals < 0) {
            break;
        }
        const QString key = connectionString.mid(i, equals - i).trimmed();
        qsizetype end = equals + 1;
        if (end < n && connectionString[end] == QLatin1Char('{')) {
            const qsizetype close = connectionString.indexOf(QLatin1Char('}'), end);
            end = close < 0 ? n : close + 1;
        }
        const qsizetype semicolon = connectionString.indexOf(QLatin1Char(';'), end);
        end = semicolon < 0 ? n : semicolon;
        pairs.append({key, connectionString.mid(equals + 1, end - equals - 1).trimmed()});
        i = end + 1;
    }
    return pairs;
}

ServerDatabase::ServerDatabase(Contents contents, const QString& encoding)
    : m_storageTable(serverschema::storageTableName()) {
    if (!available()) {
        fail(QStringLiteral("XINFANG_TEST_PG is not set"), nullptr);
    }
    m_name = uniqueName(QStringLiteral("xinfang_test"));
    PGconn* maintenance = connect(maintenanceDatabase());
    // The encoding is named rather than left to the server's default, which need not be UTF-8. A UTF-8
    // database gets a locale whose lower() folds more than ASCII letters, as an office's would: the
    // schema must keep the search to SQLite's ASCII-only folding all the same.
    const QString locale = encoding == QLatin1String("UTF8") ? QStringLiteral("C.UTF-8") : QStringLiteral("C");
    runAndClear(maintenance, QStringLiteral("CREATE DATABASE %1 ENCODING '%2' LOCALE '%3' TEMPLATE template0")
                                 .arg(quotedIdentifier(m_name), encoding, locale));
    PQfinish(maintenance);

    m_connection = connect(m_name);
    if (contents == Contents::Nothing) {
        return;
    }
    runAndClear(m_connection, QStringLiteral("BEGIN"));
    for (const QString& statement : serverschema::statements()) {
        runAndClear(m_connection, statement);
    }
    runAndClear(m_connection, QStringLiteral("COMMIT"));
}

ServerDatabase::~ServerDatabase() {
    PQfinish(m_connection);
    PGconn* maintenance = connect(maintenanceDatabase());
    // FORCE: a store the test left open must not keep its database alive.
    runAndClear(maintenance, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quotedIdentifier(m_name)));
    PQfinish(maintenance);
}

QString ServerDatabase::connectionString() const {
    QStringList parts;
    bool named = false;
    for (const auto& [key, value] : parseConnectionString(serverConnectionString())) {
        if (key.compare(QLatin1String("database"), Qt::CaseInsensitive) == 0) {
            parts << key + QLatin1Char('=') + m_name;
            named = true;
        } else {
            parts << key + QLatin1Char('=') + value;
        }
    }
    if (!named) {
        parts << QStringLiteral("Database=") + m_name;
    }
    return parts.join(QLatin1Char(';')) + QLatin1Char(';');
}

void ServerDatabase::exec(const QString& sql) const {
    runAndClear(m_connection, sql);
}

QString ServerDatabase::value(const QString& sql) const {
    PGresult* result = run(m_connection, sql);
    QString out;
    if (PQntuples(result) > 0 && PQnfields(result) > 0) {
        out = PQgetisnull(result, 0, 0) != 0 ? QStringLiteral("<NULL>") : QString::fromUtf8(PQgetvalue(result, 0, 0));
    }
    PQclear(result);
    return out;
}

QString ServerDatabase::withKeys(const QString& connectionString, const QList<QPair<QString, QString>>& keys) {
    QList<QPair<QString, QString>> pairs = parseConnectionString(connectionString);
    for (const auto& [key, value] : keys) {
        const auto found = std::find_if(pairs.begin(), pairs.end(), [&key](const QPair<QString, QString>& pair) {
            return pair.first.compare(key, Qt::CaseInsensitive) == 0;
        });
        if (found == pairs.end()) {
            pairs.append({key, value});
        } else {
            found->second = value;
        }
    }
    QString out;
    for (const auto& [key, value] : pairs) {
        if (!value.isEmpty()) {
            out += key + QLatin1Char('=') + value + QLatin1Char(';');
        }
    }
    return out;
}

qint64 ServerDatabase::insert(const QStringList& values, qint64 number) const {
    QString columns;
    QString markers;
    QStringList parameters;
    if (number != 0) {
        columns = columnNames()[0] + QLatin1Char(',');
        markers = QStringLiteral("$1,");
        parameters << QString::number(number);
    }
    for (int c = firstTextColumn; c < columnCount; ++c) {
        parameters << values.value(c - firstTextColumn, QStringLiteral(""));
        columns += columnNames()[c] + QLatin1Char(c + 1 < columnCount ? ',' : ' ');
        markers += QLatin1Char('$') + QString::number(parameters.size()) + QLatin1Char(c + 1 < columnCount ? ',' : ' ');
    }
    // A number given by hand bypasses the identity, which the program's own inserts rely on.
    const QString sql = QStringLiteral("INSERT INTO ") + tableName() + QStringLiteral(" (") + columns +
                        QStringLiteral(")") + (number != 0 ? QStringLiteral(" OVERRIDING SYSTEM VALUE") : QString()) +
                        QStringLiteral(" VALUES (") + markers + QStringLiteral(") RETURNING ") + columnNames()[0];
    PGresult* result = run(m_connection, sql, parameters);
    const qint64 inserted = QByteArray(PQgetvalue(result, 0, 0)).toLongLong();
    PQclear(result);
    if (number != 0) {
        // As SQLite's AUTOINCREMENT does, the next number the database chooses follows the largest one.
        runAndClear(m_connection, QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), max(%2)) FROM %1")
                                      .arg(m_storageTable, columnNames()[0]));
    }
    return inserted;
}

QStringList ServerDatabase::row(qint64 number) const {
    PGresult* result = run(m_connection,
                           QStringLiteral("SELECT * FROM ") + tableName() + QStringLiteral(" WHERE ") +
                               columnNames()[0] + QStringLiteral(" = $1"),
                           {QString::number(number)});
    QStringList out;
    if (PQntuples(result) > 0) {
        for (int c = firstTextColumn; c < PQnfields(result); ++c) {
            out << (PQgetisnull(result, 0, c) != 0
                        ? QStringLiteral("<NULL>")
                        : QString::fromUtf8(PQgetvalue(result, 0, c), PQgetlength(result, 0, c)));
        }
    }
    PQclear(result);
    return out;
}

qint64 ServerDatabase::count() const {
    PGresult* result = run(m_connection, QStringLiteral("SELECT count(*) FROM ") + tableName());
    const qint64 n = QByteArray(PQgetvalue(result, 0, 0)).toLongLong();
    PQclear(result);
    return n;
}

QString ServerDatabase::defaultCreateTable() {
    return serverschema::createTable(tableName());
}

void ServerDatabase::recreate(const QString& createTableSql) {
    if (m_storageTable != tableName()) {
        exec(QStringLiteral("DROP VIEW ") + tableName());
    }
    exec(QStringLiteral("DROP TABLE ") + m_storageTable);
    exec(createTableSql);
    m_storageTable = tableName();
}

ServerRole::ServerRole(const QString& attributes)
    : m_name(uniqueName(QStringLiteral("xinfang_role"))),
      m_password(QString::number(QRandomGenerator::global()->generate64(), 36)) {
    PGconn* maintenance = connect(maintenanceDatabase());
    runAndClear(maintenance,
                QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2' %3").arg(m_name, m_password, attributes));
    PQfinish(maintenance);
}

ServerRole::~ServerRole() {
    PGconn* maintenance = connect(maintenanceDatabase());
    runAndClear(maintenance, QStringLiteral("DROP ROLE %1").arg(m_name));
    PQfinish(maintenance);
}
