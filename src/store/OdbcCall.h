#pragma once

#include "RecordStore.h"

#include <sql.h>
#include <sqlext.h>

// How the store calls ODBC: every call goes through ODBC_CALL, which checks its return code and, on a
// failure, keeps the driver's first diagnostic together with the function's name; and every handle has
// one owner that frees it. Used only inside the store.
namespace odbc {

inline bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Where the calls on one handle report: the handle on which the driver keeps its diagnostics, and the
// diagnostic that the store shows to tests and debuggers.
class Caller {
public:
    Caller(SQLSMALLINT handleType, SQLHANDLE handle, OdbcDiagnostic& last)
        : m_type(handleType), m_handle(handle), m_last(&last) {}

    // The return code of the call named function, as the call gave it. A failure (anything but success,
    // success with information, no data and need data) replaces the last diagnostic.
    SQLRETURN check(const char* function, SQLRETURN rc) const;

    SQLSMALLINT handleType() const { return m_type; }
    SQLHANDLE handle() const { return m_handle; }

private:
    SQLSMALLINT m_type;
    SQLHANDLE m_handle;
    OdbcDiagnostic* m_last;
};

// ODBC_CALL(caller, SQLFetch, stmt): calls the function and checks its return code with the caller.
#define ODBC_CALL(caller, function, ...) (caller).check(#function, function(__VA_ARGS__))

// The one owner of an ODBC handle. Freeing checks its return code too: a handle that cannot be freed
// (a statement still running, a connection still connected) leaves its reason in the diagnostic given.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE handle, OdbcDiagnostic* last) : m_type(type), m_handle(handle), m_last(last) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;

    SQLHANDLE get() const { return m_handle; }
    bool isNull() const { return m_handle == SQL_NULL_HANDLE; }
    void reset();

    // Allocates a handle of type under parent; a null Handle when that fails (the reason in last).
    static Handle allocate(SQLSMALLINT type, const Caller& parent, OdbcDiagnostic& last);

private:
    SQLSMALLINT m_type = SQL_HANDLE_STMT;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
    OdbcDiagnostic* m_last = nullptr;
};

// The process's ODBC environment (ODBC 3), made on first use and freed at the end of the process; null
// when the driver manager cannot make one, with the reason in last.
SQLHENV environment(OdbcDiagnostic& last);

// A connection handle that is disconnected, if connected, before it is freed.
class Connection {
public:
    Connection() = default;
    ~Connection() { reset(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Allocates the handle; false when that fails.
    bool allocate(SQLHENV environment, OdbcDiagnostic& last);
    void setConnected() { m_connected = true; }
    bool isConnected() const { return m_connected; }
    SQLHDBC get() const { return m_handle.get(); }
    Caller caller() const { return Caller(SQL_HANDLE_DBC, m_handle.get(), *m_last); }
    void reset();

private:
    Handle m_handle;
    OdbcDiagnostic* m_last = nullptr;
    bool m_connected = false;
};

} // namespace odbc
