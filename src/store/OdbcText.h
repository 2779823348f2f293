#pragma once

#include "OdbcCall.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string>

// The one place where text crosses between QString and the ODBC driver, and the only file that knows
// which of ODBC's two text interfaces the program is built for:
// - narrow, UTF-8 (the default on Linux): unixODBC hands the bytes on untouched, so they are exact in
//   every locale; its conversion for the wide functions breaks Chinese text with the SQLite3 driver.
// - wide, UTF-16 (always on Windows, where the narrow functions would carry the desk's code page, and with
//   the CMake option XINFANG_ODBC_WIDE elsewhere): SQLDriverConnectW, SQLExecDirectW, SQL_C_WCHAR, ….
// The conversions themselves are there in every build.
namespace odbctext {

// UTF-8, and UTF-16 for the driver: half of a surrogate pair (from a paste or an import, never from typing)
// goes as U+FFFD, the replacement character, in both. It has no UTF-8 form, and Qt would write '?', a
// character the clerk could have typed; a driver that converts UTF-16 to anything would choke on it.
QByteArray toUtf8(const QString& text);
std::u16string toUtf16(const QString& text);

// UTF-8 from the driver. A leading U+FEFF is a character of the value (a zero-width no-break space pasted
// along with a text), not a byte-order mark to drop.
QString fromUtf8(const char* bytes, qsizetype length);
inline QString fromUtf8(const QByteArray& bytes) {
    return fromUtf8(bytes.constData(), bytes.size());
}
// The same into text's own buffer, which a listing reuses from row to row without allocating.
void decodeUtf8Into(QString& text, QByteArrayView bytes);
QString fromUtf16(const char16_t* units, qsizetype length);

// The text-carrying ODBC calls, in the variant this build uses. Each goes through ODBC_CALL.
SQLRETURN driverConnect(const odbc::Caller& connection, const QString& connectionString);
SQLRETURN execDirect(const odbc::Caller& statement, const QString& text);
SQLRETURN prepare(const odbc::Caller& statement, const QString& text);
SQLRETURN columnName(const odbc::Caller& statement, SQLUSMALLINT column, QString& name);
SQLRETURN infoText(const odbc::Caller& connection, SQLUSMALLINT info, QString& text);

// The first diagnostic the driver keeps on a handle, with the name of the function that failed.
OdbcDiagnostic diagnostic(const char* function, SQLSMALLINT handleType, SQLHANDLE handle);

// Reads a column's value of the current row whole, as text, in as many pieces as it takes. A reader keeps
// one ValueReader for all the cells of a result, and one firstChunk per column (see the .cpp).
enum class Read { Value, Null, Failed };
class ValueReader {
public:
    static constexpr SQLLEN smallestFirstChunk = 64;
    Read read(const odbc::Caller& statement, SQLUSMALLINT column, SQLLEN& firstChunk, QString& text);

private:
    QByteArray m_joined;
};

} // namespace odbctext
