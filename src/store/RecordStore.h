#pragma once

#include "FieldValue.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

namespace odbc {
class Connection;
}

// A failed ODBC call, kept for tests and debuggers; the store never shows it to the user.
struct OdbcDiagnostic {
    QString function; // the ODBC function that failed
    QString sqlState;
    int nativeError = 0;
    QString message;
    bool isEmpty() const { return function.isEmpty(); }
};

// The program's one connection to its database, and the recordsets open on it. Failures come back as
// results (false, the handle 0, 0); the last driver diagnostic is kept in lastDiagnostic().
//
// Recordset handles are non-zero integers. The handle 0, or any handle that is not an open recordset,
// behaves as an empty, finished recordset in every operation except closeRecordset(), where 0 releases
// every open recordset.
class RecordStore {
public:
    using Handle = int;
    static constexpr int maxOpenRecordsets = 30;
    static constexpr int timeoutSeconds = 15;

    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Connects to the database file at path. An SQLite file goes to the SQLite3 ODBC driver; any other
    // file gets the Access connection string. A missing file fails and is never created, whatever its
    // folder is named. An SQLite file that is damaged where a first look can tell (cut short, or a schema
    // that cannot be read) fails too, rather than showing an empty table as if the records were lost; a
    // sound file without the program's table opens.
    bool openDatabase(const QString& path);
    // Connects with a full ODBC connection string, with the driver's log files turned off unless it says
    // otherwise (withDriverLogsOff).
    bool openConnectionString(const QString& connectionString);
    bool isOpen() const;

    Handle query(const QString& statement);
    void toFirst(Handle handle);
    bool isPastEnd(Handle handle) const;
    void toNext(Handle handle);
    FieldValue readField(Handle handle, const QString& column) const;
    // The column's value as text. A column of another kind is shown as its text form rather than ending
    // the program.
    QString readText(Handle handle, const QString& column) const;
    void closeRecordset(Handle handle);

    // Runs a statement that changes data: 1 when it ran (an update or delete matching no row included),
    // 0 on any failure. rowsAffected, when given, receives the number of rows the statement changed
    // (-1 when the driver cannot tell).
    int execute(const QString& statement, qint64* rowsAffected = nullptr);

    int openRecordsetCount() const;
    QString identifierQuote() const { return m_identifierQuote; }
    const OdbcDiagnostic& lastDiagnostic() const { return m_lastDiagnostic; }

    // The connection string openDatabase() uses for a file: SQLite by its first bytes, Access otherwise.
    static QString connectionStringFor(const QString& path);
    // The connection string with CommLog=0 and Debug=0 added where it does not set them. The PostgreSQL
    // driver as Debian registers it leaves a log file behind for every connection, and the program writes
    // nothing but its database. Other drivers ignore both attributes.
    static QString withDriverLogsOff(const QString& connectionString);

private:
    struct Recordset;
    Recordset* find(Handle handle) const;
    bool connect(const QString& connectionString);
    bool sqliteFileIsSound(const QString& path);
    void closeConnection();

    // Declared in this order so that they go in the reverse one: the recordsets before the connection they
    // run on, and the diagnostic, which both report into, last.
    mutable OdbcDiagnostic m_lastDiagnostic;
    std::unique_ptr<odbc::Connection> m_connection; // null when not open
    QString m_identifierQuote;
    std::map<Handle, std::unique_ptr<Recordset>> m_recordsets;
    Handle m_nextHandle = 1;
};

// A recordset that is closed when it goes out of scope, and only it: a query that failed (the handle 0)
// closes nothing, so a read loop nested in another never ends the outer one. The store must outlive it.
class ScopedRecordset {
public:
    ScopedRecordset(RecordStore& store, const QString& statement) : m_store(store), m_handle(store.query(statement)) {}
    ~ScopedRecordset() {
        if (m_handle != 0) {
            m_store.closeRecordset(m_handle);
        }
    }
    ScopedRecordset(const ScopedRecordset&) = delete;
    ScopedRecordset& operator=(const ScopedRecordset&) = delete;

    // Whether the query ran; a failed one reads as an empty result.
    bool isValid() const { return m_handle != 0; }
    RecordStore::Handle handle() const { return m_handle; }
    void toFirst() { m_store.toFirst(m_handle); }
    bool isPastEnd() const { return m_store.isPastEnd(m_handle); }
    void toNext() { m_store.toNext(m_handle); }
    FieldValue readField(const QString& column) const { return m_store.readField(m_handle, column); }
    QString readText(const QString& column) const { return m_store.readText(m_handle, column); }

private:
    RecordStore& m_store;
    RecordStore::Handle m_handle;
};
