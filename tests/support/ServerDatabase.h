#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

struct pg_conn;

// A fresh PostgreSQL database of the program's server schema, the counterpart of TestDatabase for the
// shared server. It is made from the provisioning tool's own statements and written through libpq, so
// that tests set up and inspect their data without going through the ODBC driver or the code under test.
//
// The server comes from the environment variable XINFANG_TEST_PG: an ODBC connection string to a database
// on it (such as postgres) as a role that may create databases, for example
//   Driver={PostgreSQL ANSI};Servername=/tmp/pg;Port=5432;Database=postgres;Username=xinfang;
// Each ServerDatabase creates a database of its own there and drops it again, so tests stay independent
// and may run in parallel.
class ServerDatabase {
public:
    // Whether XINFANG_TEST_PG names a server. Without one the server tests skip, so that a developer
    // without PostgreSQL still gets a green run.
    static bool available();
    static constexpr auto unavailableReason = "XINFANG_TEST_PG is not set: no PostgreSQL server to test against";

    enum class Contents {
        ProgramSchema, // what xinfang-admin init-server makes
        Nothing,       // an empty database, as an office's administrator hands it over
    };

    explicit ServerDatabase(Contents contents = Contents::ProgramSchema,
                            const QString& encoding = QStringLiteral("UTF8"));
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    // The ODBC connection string of this database, for the store or a desk's set.ini.
    QString connectionString() const;
    QString name() const { return m_name; }

    // Runs SQL on the database; fails the test process on error.
    void exec(const QString& sql) const;
    // The first column of the first row of a query as text; empty when there is no row, "<NULL>" for NULL.
    QString value(const QString& sql) const;
    // Inserts one row; values are the texts of columns 1 to 21 (missing ones empty); number 0 lets the
    // database choose. Returns its 编号.
    qint64 insert(const QStringList& values, qint64 number = 0) const;
    // The 21 text columns of the row with this 编号, NULL as "<NULL>"; empty list when no such row.
    QStringList row(qint64 number) const;
    qint64 count() const;

    // Replaces the program's table with a plain table of the given CREATE TABLE text.
    void recreate(const QString& createTableSql);
    // A plain table 信访数据 with the server schema's columns.
    static QString defaultCreateTable();

    // The key=value pairs of an ODBC connection string, in order; braces around a value are kept.
    static QList<QPair<QString, QString>> parseConnectionString(const QString& connectionString);
    // The connection string with the given keys set (matched without regard to case): a key it has keeps
    // its place and takes the new value, an empty value removes it, any other key is added at the end.
    static QString withKeys(const QString& connectionString, const QList<QPair<QString, QString>>& keys);

private:
    QString m_name;
    QString m_storageTable; // the table behind 信访数据, whose identity insert() keeps ahead
    pg_conn* m_connection = nullptr;
};

// A login role with a password on the test server, made afresh with the given attributes (CREATEDB, say)
// and dropped again. Declare it before the ServerDatabase it is used on: the database, and with it every
// right the role holds there, must be gone before the role can be dropped.
class ServerRole {
public:
    explicit ServerRole(const QString& attributes = {});
    ~ServerRole();
    ServerRole(const ServerRole&) = delete;
    ServerRole& operator=(const ServerRole&) = delete;

    QString name() const { return m_name; }
    QString password() const { return m_password; }

private:
    QString m_name;
    QString m_password;
};
