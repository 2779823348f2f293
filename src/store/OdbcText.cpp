#include "OdbcText.h"

#include <sqlucode.h>

#include <array>
#include <cstring>

// The wide interface is the only one that reaches an Access file exactly on Windows; elsewhere the build
// chooses (CMake option XINFANG_ODBC_WIDE).
#if defined(_WIN32) || defined(XINFANG_ODBC_WIDE)
#define XINFANG_WIDE_TEXT 1
#else
#define XINFANG_WIDE_TEXT 0
#endif

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide characters are UTF-16 code units");

namespace odbctext {
namespace {

// Half of a surrogate pair replaced by U+FFFD; the text itself when it has none, which is nearly always.
QString withoutLoneSurrogates(const QString& text) {
    QString sendable = text; // copied only if a surrogate is replaced
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            sendable[i] = QChar::ReplacementCharacter;
        }
    }
    return sendable;
}

// Well-formed UTF-8 written out as UTF-16; nullptr at the first byte that is not, and for a value that
// starts with a byte-order mark, which has rules of its own. Such values are left to fromUtf8, so that they
// come out exactly as it makes them; for every other value the result is the same as its. The table's
// Chinese texts decode about twice as fast this way as through QString::fromUtf8.
char16_t* decodeWellFormedUtf8(char16_t* out, const unsigned char* in, const unsigned char* end) {
    if (end - in >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF) {
        return nullptr;
    }
    const auto tail = [](unsigned char byte) { return (byte & 0xC0u) == 0x80u; };
    while (in < end) {
        const unsigned lead = *in;
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            ++in;
        } else if (lead >= 0xE0 && lead <= 0xEF) { // most Chinese characters
            if (end - in < 3 || !tail(in[1]) || !tail(in[2]) || (lead == 0xE0 && in[1] < 0xA0) ||
                (lead == 0xED && in[1] > 0x9F)) {
                return nullptr; // cut short, overlong, or a surrogate
            }
            *out++ = static_cast<char16_t>(((lead & 0x0Fu) << 12) | ((in[1] & 0x3Fu) << 6) | (in[2] & 0x3Fu));
            in += 3;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            if (end - in < 2 || !tail(in[1])) {
                return nullptr;
            }
            *out++ = static_cast<char16_t>(((lead & 0x1Fu) << 6) | (in[1] & 0x3Fu));
            in += 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) { // rare name characters beyond the BMP
            if (end - in < 4 || !tail(in[1]) || !tail(in[2]) || !tail(in[3]) || (lead == 0xF0 && in[1] < 0x90) ||
                (lead == 0xF4 && in[1] > 0x8F)) {
                return nullptr;
            }
            const char32_t c =
                ((lead & 0x07u) << 18) | ((in[1] & 0x3Fu) << 12) | ((in[2] & 0x3Fu) << 6) | (in[3] & 0x3Fu);
            *out++ = static_cast<char16_t>(0xD800u + ((c - 0x10000u) >> 10));
            *out++ = static_cast<char16_t>(0xDC00u + ((c - 0x10000u) & 0x3FFu));
            in += 4;
        } else {
            return nullptr;
        }
    }
    return out;
}

} // namespace

QByteArray toUtf8(const QString& text) {
    return withoutLoneSurrogates(text).toUtf8();
}

std::u16string toUtf16(const QString& text) {
    const QString sendable = withoutLoneSurrogates(text);
    return std::u16string(reinterpret_cast<const char16_t*>(sendable.utf16()),
                          static_cast<std::size_t>(sendable.size()));
}

QString fromUtf8(const char* bytes, qsizetype length) {
    // QString::fromUtf8 takes a leading U+FEFF for a byte-order mark and drops it. In a stored value it is
    // a character: dropped here, it would be missing from the list, and a modification would then remove
    // it from the record too.
    QString marks;
    while (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        marks += QChar(0xFEFF);
        bytes += 3;
        length -= 3;
    }
    return marks.isEmpty() ? QString::fromUtf8(bytes, length) : marks + QString::fromUtf8(bytes, length);
}

void decodeUtf8Into(QString& text, QByteArrayView bytes) {
    // Once a listing has copied the row before into its list, nobody else holds text's buffer, so reading
    // a cell allocates nothing. A string still shared with a reader gets a buffer of its own, and the
    // reader keeps the old text.
    if (bytes.isEmpty()) {
        if (text.isDetached()) {
            text.resize(0);
        } else {
            text = QString();
        }
        return;
    }
    text.resize(bytes.size()); // UTF-8 never needs more UTF-16 units than it has bytes
    auto* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    if (const char16_t* end = decodeWellFormedUtf8(out, in, in + bytes.size())) {
        text.resize(end - out);
    } else {
        text = fromUtf8(bytes.data(), bytes.size());
    }
}

QString fromUtf16(const char16_t* units, qsizetype length) {
    // Every unit as it is, lone surrogates and NUL included: UTF-16 is QString's own form.
    return QString(reinterpret_cast<const QChar*>(units), length);
}

// The pieces of one value. The first piece of a column's value asks for only as much of it as the column's
// longest value so far took (firstChunk): the SQLite driver pads the unused rest of whatever buffer it is
// given, so offering all of it would cost time on every cell of a listing, while most columns hold a few
// characters. The reported column size is no limit and the driver may answer SQL_NO_TOTAL, so the loop runs
// until the driver says the value is complete; the pieces are joined before they are decoded, since a
// piece may end inside a character.
namespace {

constexpr std::size_t bufferBytes = 4096;

// Reads a value whose characters are unitSize bytes each, with the C type cType; a value that comes in one
// piece is left in buffer (the usual case) and shown by value without a copy, a longer one is joined in
// joined.
Read readPieces(const odbc::Caller& statement, SQLUSMALLINT column, SQLSMALLINT cType, SQLLEN unitSize, char* buffer,
                SQLLEN& firstChunk, QByteArray& joined, QByteArrayView& value) {
    const SQLLEN terminator = unitSize;
    SQLLEN size = firstChunk;
    bool first = true;
    value = QByteArrayView();
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            ODBC_CALL(statement, SQLGetData, statement.handle(), column, cType, buffer, size, &indicator);
        if (rc == SQL_NO_DATA) {
            break;
        }
        if (!odbc::succeeded(rc)) {
            return Read::Failed;
        }
        if (indicator == SQL_NULL_DATA) {
            return Read::Null;
        }
        const SQLLEN room = size - terminator;
        const SQLLEN got = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
        if (first && rc == SQL_SUCCESS) {
            value = QByteArrayView(buffer, got);
            return Read::Value;
        }
        if (first) {
            joined.clear();
            first = false;
            size = static_cast<SQLLEN>(bufferBytes);
        }
        joined.append(buffer, got);
        if (rc == SQL_SUCCESS) {
            break;
        }
    }
    if (!first) {
        value = joined;
        while (firstChunk < static_cast<SQLLEN>(bufferBytes) && firstChunk - terminator < joined.size()) {
            firstChunk *= 2;
        }
    }
    return Read::Value;
}

} // namespace

#if XINFANG_WIDE_TEXT

namespace {

SQLWCHAR* wide(std::u16string& text) {
    return reinterpret_cast<SQLWCHAR*>(text.data());
}

// Characters that a call wrote into a buffer of capacity characters, given the length it reported.
qsizetype written(SQLSMALLINT length, std::size_t capacity) {
    return std::clamp<qsizetype>(length, 0, static_cast<qsizetype>(capacity) - 1);
}

} // namespace

SQLRETURN driverConnect(const odbc::Caller& connection, const QString& connectionString) {
    std::u16string in = toUtf16(connectionString);
    std::array<SQLWCHAR, 2048> out{};
    SQLSMALLINT outLength = 0;
    // There is no window to own a driver dialog here, so the driver must not prompt.
    return ODBC_CALL(connection, SQLDriverConnectW, connection.handle(), nullptr, wide(in), SQL_NTS, out.data(),
                     static_cast<SQLSMALLINT>(out.size()), &outLength, SQL_DRIVER_NOPROMPT);
}

SQLRETURN execDirect(const odbc::Caller& statement, const QString& text) {
    std::u16string sent = toUtf16(text);
    return ODBC_CALL(statement, SQLExecDirectW, statement.handle(), wide(sent), SQL_NTS);
}

SQLRETURN prepare(const odbc::Caller& statement, const QString& text) {
    std::u16string sent = toUtf16(text);
    return ODBC_CALL(statement, SQLPrepareW, statement.handle(), wide(sent), SQL_NTS);
}

SQLRETURN columnName(const odbc::Caller& statement, SQLUSMALLINT column, QString& name) {
    std::array<SQLWCHAR, 512> buffer{};
    SQLSMALLINT length = 0;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    const SQLRETURN rc = ODBC_CALL(statement, SQLDescribeColW, statement.handle(), column, buffer.data(),
                                   static_cast<SQLSMALLINT>(buffer.size()), &length, &type, &size, &digits, &nullable);
    name = fromUtf16(reinterpret_cast<const char16_t*>(buffer.data()), written(length, buffer.size()));
    return rc;
}

SQLRETURN infoText(const odbc::Caller& connection, SQLUSMALLINT info, QString& text) {
    std::array<SQLWCHAR, 64> buffer{};
    SQLSMALLINT bytes = 0;
    const SQLRETURN rc = ODBC_CALL(connection, SQLGetInfoW, connection.handle(), info, buffer.data(),
                                   static_cast<SQLSMALLINT>(sizeof buffer), &bytes);
    text = fromUtf16(reinterpret_cast<const char16_t*>(buffer.data()),
                     written(static_cast<SQLSMALLINT>(bytes / 2), buffer.size()));
    return rc;
}

OdbcDiagnostic diagnostic(const char* function, SQLSMALLINT handleType, SQLHANDLE handle) {
    OdbcDiagnostic d;
    d.function = QString::fromLatin1(function);
    if (handle == SQL_NULL_HANDLE) {
        return d;
    }
    std::array<SQLWCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLWCHAR, 1024> text{};
    SQLSMALLINT length = 0;
    if (odbc::succeeded(SQLGetDiagRecW(handleType, handle, 1, state.data(), &native, text.data(),
                                       static_cast<SQLSMALLINT>(text.size()), &length))) {
        d.sqlState = fromUtf16(reinterpret_cast<const char16_t*>(state.data()), 5);
        d.nativeError = static_cast<int>(native);
        d.message = fromUtf16(reinterpret_cast<const char16_t*>(text.data()), written(length, text.size()));
    }
    return d;
}

Read ValueReader::read(const odbc::Caller& statement, SQLUSMALLINT column, SQLLEN& firstChunk, QString& text) {
    alignas(char16_t) std::array<char, bufferBytes> buffer;
    QByteArrayView value;
    const Read got = readPieces(statement, column, SQL_C_WCHAR, 2, buffer.data(), firstChunk, m_joined, value);
    if (got == Read::Value) {
        text.setUnicode(reinterpret_cast<const QChar*>(value.data()), value.size() / 2);
    } else {
        text.resize(0);
    }
    return got;
}

#else

namespace {

SQLCHAR* narrow(QByteArray& text) {
    return reinterpret_cast<SQLCHAR*>(text.data());
}

qsizetype written(SQLSMALLINT length, std::size_t capacity) {
    return std::clamp<qsizetype>(length, 0, static_cast<qsizetype>(capacity) - 1);
}

} // namespace

SQLRETURN driverConnect(const odbc::Caller& connection, const QString& connectionString) {
    QByteArray in = toUtf8(connectionString);
    std::array<SQLCHAR, 2048> out{};
    SQLSMALLINT outLength = 0;
    // There is no window to own a driver dialog here, so the driver must not prompt.
    return ODBC_CALL(connection, SQLDriverConnect, connection.handle(), nullptr, narrow(in), SQL_NTS, out.data(),
                     static_cast<SQLSMALLINT>(out.size()), &outLength, SQL_DRIVER_NOPROMPT);
}

SQLRETURN execDirect(const odbc::Caller& statement, const QString& text) {
    QByteArray sent = toUtf8(text);
    return ODBC_CALL(statement, SQLExecDirect, statement.handle(), narrow(sent), SQL_NTS);
}

SQLRETURN prepare(const odbc::Caller& statement, const QString& text) {
    QByteArray sent = toUtf8(text);
    return ODBC_CALL(statement, SQLPrepare, statement.handle(), narrow(sent), SQL_NTS);
}

SQLRETURN columnName(const odbc::Caller& statement, SQLUSMALLINT column, QString& name) {
    std::array<SQLCHAR, 512> buffer{};
    SQLSMALLINT length = 0;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    const SQLRETURN rc = ODBC_CALL(statement, SQLDescribeCol, statement.handle(), column, buffer.data(),
                                   static_cast<SQLSMALLINT>(buffer.size()), &length, &type, &size, &digits, &nullable);
    name = fromUtf8(reinterpret_cast<const char*>(buffer.data()), written(length, buffer.size()));
    return rc;
}

SQLRETURN infoText(const odbc::Caller& connection, SQLUSMALLINT info, QString& text) {
    std::array<SQLCHAR, 64> buffer{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = ODBC_CALL(connection, SQLGetInfo, connection.handle(), info, buffer.data(),
                                   static_cast<SQLSMALLINT>(buffer.size()), &length);
    text = fromUtf8(reinterpret_cast<const char*>(buffer.data()), written(length, buffer.size()));
    return rc;
}

OdbcDiagnostic diagnostic(const char* function, SQLSMALLINT handleType, SQLHANDLE handle) {
    OdbcDiagnostic d;
    d.function = QString::fromLatin1(function);
    if (handle == SQL_NULL_HANDLE) {
        return d;
    }
    std::array<SQLCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, 1024> text{};
    SQLSMALLINT length = 0;
    if (odbc::succeeded(SQLGetDiagRec(handleType, handle, 1, state.data(), &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &length))) {
        d.sqlState = QString::fromLatin1(reinterpret_cast<const char*>(state.data()), 5);
        d.nativeError = static_cast<int>(native);
        d.message = fromUtf8(reinterpret_cast<const char*>(text.data()), written(length, text.size()));
    }
    return d;
}

Read ValueReader::read(const odbc::Caller& statement, SQLUSMALLINT column, SQLLEN& firstChunk, QString& text) {
    std::array<char, bufferBytes> buffer;
    QByteArrayView value;
    const Read got = readPieces(statement, column, SQL_C_CHAR, 1, buffer.data(), firstChunk, m_joined, value);
    decodeUtf8Into(text, got == Read::Value ? value : QByteArrayView());
    return got;
}

#endif

} // namespace odbctext
