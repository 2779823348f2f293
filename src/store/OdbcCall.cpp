#include "OdbcCall.h"

#include "OdbcText.h"

namespace odbc {

SQLRETURN Caller::check(const char* function, SQLRETURN rc) const {
    if (!succeeded(rc) && rc != SQL_NO_DATA && rc != SQL_NEED_DATA) {
        *m_last = odbctext::diagnostic(function, m_type, m_handle);
    }
    return rc;
}

Handle::Handle(Handle&& other) noexcept : m_type(other.m_type), m_handle(other.m_handle), m_last(other.m_last) {
    other.m_handle = SQL_NULL_HANDLE;
}

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        reset();
        m_type = other.m_type;
        m_handle = other.m_handle;
        m_last = other.m_last;
        other.m_handle = SQL_NULL_HANDLE;
    }
    return *this;
}

void Handle::reset() {
    if (m_handle == SQL_NULL_HANDLE) {
        return;
    }
    const SQLRETURN rc = SQLFreeHandle(m_type, m_handle);
    if (!succeeded(rc) && m_last != nullptr) {
        *m_last = odbctext::diagnostic("SQLFreeHandle", m_type, m_handle);
    }
    m_handle = SQL_NULL_HANDLE;
}

Handle Handle::allocate(SQLSMALLINT type, const Caller& parent, OdbcDiagnostic& last) {
    SQLHANDLE h = SQL_NULL_HANDLE;
    if (!succeeded(ODBC_CALL(parent, SQLAllocHandle, type, parent.handle(), &h))) {
        return Handle();
    }
    return Handle(type, h, &last);
}

SQLHENV environment(OdbcDiagnostic& last) {
    struct Made {
        Handle handle;
        OdbcDiagnostic failure;
    };
    // A failure here is kept, so that every later attempt reports it again.
    static const Made env = [] {
        Made made;
        SQLHANDLE h = SQL_NULL_HANDLE;
        if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
            made.failure = OdbcDiagnostic{QStringLiteral("SQLAllocHandle"), {}, 0, {}};
            return made;
        }
        Handle owned(SQL_HANDLE_ENV, h, nullptr);
        const Caller caller(SQL_HANDLE_ENV, h, made.failure);
        if (succeeded(ODBC_CALL(caller, SQLSetEnvAttr, h, SQL_ATTR_ODBC_VERSION,
                                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
            made.handle = std::move(owned);
        }
        return made;
    }();
    if (env.handle.isNull()) {
        last = env.failure;
    }
    return env.handle.get();
}

bool Connection::allocate(SQLHENV environment, OdbcDiagnostic& last) {
    reset();
    m_last = &last;
    m_handle = Handle::allocate(SQL_HANDLE_DBC, Caller(SQL_HANDLE_ENV, environment, last), last);
    return !m_handle.isNull();
}

void Connection::reset() {
    if (m_connected) {
        ODBC_CALL(caller(), SQLDisconnect, m_handle.get());
        m_connected = false;
    }
    m_handle.reset();
}

} // namespace odbc
