#include "RecordStore.h"

#include "OdbcText.h"
#include "Statements.h"

#include <QFile>
#include <QFileInfo>

#include <sql.h>
#include <sqlext.h>

#include <array>

namespace {

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// One owner per ODBC handle; freeing never throws.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : m_type(type), m_handle(handle) {}
    ~OdbcHandle() { reset(); }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept : m_type(other.m_type), m_handle(other.m_handle) {
        other.m_handle = SQL_NULL_HANDLE;
    }
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            reset();
            m_type = other.m_type;
            m_handle = other.m_handle;
            other.m_handle = SQL_NULL_HANDLE;
        }
        return *this;
    }

    SQLHANDLE get() const { return m_handle; }
    void reset() {
        if (m_handle != SQL_NULL_HANDLE) {
            SQLFreeHandle(m_type, m_handle);
            m_handle = SQL_NULL_HANDLE;
        }
    }

private:
    SQLSMALLINT m_type = SQL_HANDLE_STMT;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// The ODBC environment, allocated once per process and freed at its end.
SQLHENV environment() {
    static const OdbcHandle env = [] {
        SQLHANDLE h = SQL_NULL_HANDLE;
        if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
            return OdbcHandle();
        }
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return OdbcHandle(SQL_HANDLE_ENV, h);
    }();
    return env.get();
}

OdbcDiagnostic diagnose(const char* function, SQLSMALLINT handleType, SQLHANDLE handle) {
    OdbcDiagnostic d;
    d.function = QString::fromLatin1(function);
    if (handle == SQL_NULL_HANDLE) {
        return d;
    }
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, 1024> text{};
    SQLSMALLINT length = 0;
    if (succeeded(SQLGetDiagRec(handleType, handle, 1, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &length))) {
        d.sqlState = QString::fromLatin1(reinterpret_cast<const char*>(state), 5);
        d.nativeError = static_cast<int>(native);
        const auto size = std::min<qsizetype>(length, static_cast<qsizetype>(text.size()) - 1);
        d.message = odbctext::fromDriver(reinterpret_cast<const char*>(text.data()), size);
    }
    return d;
}

enum class Chunks { Value, Null, Failed };

// The buffer for the pieces of one value. The first piece of a column's value asks for only as much of it
// as the column's longest value so far took (firstChunk): the SQLite driver pads the unused rest of
// whatever buffer it is given, so offering all of it would cost time on every cell of a listing, while
// most columns hold a few characters.
using ChunkBuffer = std::array<char, 4096>;
constexpr SQLLEN smallestFirstChunk = 64;

// Reads a column's value whole as character data, in as many chunks as it takes. The reported column size is
// no limit and the driver may answer SQL_NO_TOTAL, so loop until the driver says the value is complete.
// A value that comes in one piece is left in buffer, the usual case, so that it can be decoded from there
// without a copy; a longer one is joined in joined. Either way value shows it.
Chunks readChunks(SQLHSTMT stmt, SQLUSMALLINT column, ChunkBuffer& buffer, SQLLEN& firstChunk, QByteArray& joined,
                  QByteArrayView& value) {
    const SQLLEN terminator = 1;
    SQLLEN size = firstChunk;
    bool first = true;
    value = QByteArrayView();
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, buffer.data(), size, &indicator);
        if (rc == SQL_NO_DATA) {
            break;
        }
        if (!succeeded(rc)) {
            return Chunks::Failed;
        }
        if (indicator == SQL_NULL_DATA) {
            return Chunks::Null;
        }
        const SQLLEN room = size - terminator;
        const SQLLEN got = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
        if (first && rc == SQL_SUCCESS) {
            value = QByteArrayView(buffer.data(), got);
            return Chunks::Value;
        }
        if (first) {
            joined.clear();
            first = false;
            size = static_cast<SQLLEN>(buffer.size());
        }
        joined.append(buffer.data(), got);
        if (rc == SQL_SUCCESS) {
            break;
        }
    }
    if (!first) {
        value = joined;
        while (firstChunk < static_cast<SQLLEN>(buffer.size()) && firstChunk - terminator < joined.size()) {
            firstChunk *= 2;
        }
    }
    return Chunks::Value;
}

// Well-formed UTF-8 written out as UTF-16; nullptr at the first byte that is not, and for a value that
// starts with a byte-order mark, which has rules of its own. Such values are left to odbctext::fromDriver,
// so that they come out exactly as it makes them; for every other value the result is the same as its.
// The table's Chinese texts decode about twice as fast this way as through QString::fromUtf8.
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

// The driver's text decoded into the string's own buffer: once a listing has copied the row before into
// its list, nobody else holds that buffer, so reading a cell allocates nothing. A string still shared with
// a reader gets a buffer of its own, and the reader keeps the old text.
void decodeInto(QString& text, QByteArrayView bytes) {
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
        text = odbctext::fromDriver(bytes.data(), bytes.size());
    }
}

} // namespace

struct RecordStore::Recordset {
    OdbcHandle statement;
    QStringList names;
    QHash<QString, int> indexByName; // first column of each name
    std::vector<FieldValue> row;     // the current row, read in ascending column order
    QByteArray text;                 // the statement as sent, kept to run it again for toFirst
    qint64 position = -1;            // 0 on the first row
    bool pastEnd = true;

    // The current row's value of the first column of that name; nullptr past the end or for no such column.
    const FieldValue* field(const QString& column) const;

    // Readers ask for the columns of a row in the order of the result, so the column after the one asked
    // for last is tried first: comparing one name costs less than hashing it, once per cell of a listing.
    mutable qsizetype nextGuess = 0;
    // Per column, made on first use: whether no column before it has its name, and the name as a reader
    // last asked for it. That string is held, so a reader asking again with the same string (the same
    // shared characters, as columnNames() gives them) is known without comparing: characters that two
    // strings share cannot change.
    mutable std::vector<char> firstOfName;
    mutable std::vector<QString> askedAs;

    // Per column: how much to ask for the first piece of its value (see readChunks).
    std::vector<SQLLEN> firstChunks;
};

const FieldValue* RecordStore::Recordset::field(const QString& column) const {
    if (pastEnd) {
        return nullptr;
    }
    if (askedAs.empty()) {
        firstOfName.resize(static_cast<std::size_t>(names.size()));
        for (qsizetype i = 0; i < names.size(); ++i) {
            firstOfName[static_cast<std::size_t>(i)] = indexByName.value(names[i]) == i;
        }
        askedAs.resize(static_cast<std::size_t>(names.size()));
    }
    qsizetype index = nextGuess < names.size() ? nextGuess : 0;
    QString& known = askedAs[static_cast<std::size_t>(index)];
    if (known.isNull() || known.constData() != column.constData() || known.size() != column.size()) {
        // Only the first column of a name may answer, as with the lookup by name.
        if (!firstOfName[static_cast<std::size_t>(index)] || names[index] != column) {
            const auto it = indexByName.constFind(column);
            if (it == indexByName.constEnd()) {
                return nullptr;
            }
            index = it.value();
        }
        askedAs[static_cast<std::size_t>(index)] = column;
    }
    nextGuess = index + 1;
    return &row[static_cast<std::size_t>(index)];
}

RecordStore::RecordStore() = default;

RecordStore::~RecordStore() {
    closeConnection();
}

void RecordStore::closeConnection() {
    m_recordsets.clear();
    if (m_connection != nullptr) {
        if (m_open) {
            SQLDisconnect(m_connection);
        }
        SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
        m_connection = nullptr;
    }
    m_open = false;
}

bool RecordStore::isOpen() const {
    return m_open;
}

QString RecordStore::connectionStringFor(const QString& path) {
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly)) {
        head = file.read(16);
    }
    static const QByteArray sqliteMagic("SQLite format 3\0", 16);
    if (head == sqliteMagic) {
        // NoCreat: a vanished file fails instead of being made anew. Timeout: the busy wait in ms; a write
        // waits about twice as long as it, so 7000 lets a locked file fail every statement within 15 s
        // (7500 measured 15.04 s here). StepAPI: fetch row by row.
        // SyncPragma: the driver would lower SQLite's synchronisation to NORMAL, with which a power cut
        // can lose an acknowledged registration or damage the file; FULL flushes every commit.
        return QStringLiteral("Driver={SQLite3};Database=") + QFileInfo(path).absoluteFilePath() +
               QStringLiteral(";NoCreat=1;Timeout=7000;StepAPI=1;SyncPragma=FULL;");
    }
    QString s = QStringLiteral("ODBC;DBQ=") + path;
    const qsizetype lastBackslash = path.lastIndexOf(QLatin1Char('\\'));
    if (lastBackslash >= 0) {
        s += QStringLiteral(";DefaultDir=") + path.left(lastBackslash);
    }
    s += QStringLiteral(";Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;");
    return s;
}

bool RecordStore::openDatabase(const QString& path) {
    return openConnectionString(connectionStringFor(path));
}

bool RecordStore::openConnectionString(const QString& connectionString) {
    closeConnection();
    SQLHENV env = environment();
    if (env == SQL_NULL_HANDLE) {
        m_lastDiagnostic = OdbcDiagnostic{QStringLiteral("SQLAllocHandle"), {}, 0, {}};
        return false;
    }
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        m_lastDiagnostic = diagnose("SQLAllocHandle", SQL_HANDLE_ENV, env);
        return false;
    }
    m_connection = dbc;
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN{timeoutSeconds}), 0);

    QByteArray in = odbctext::toDriver(connectionString);
    std::array<SQLCHAR, 2048> out{};
    SQLSMALLINT outLength = 0;
    // There is no window to own a driver dialog here, so the driver must not prompt.
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, out.data(),
                                          static_cast<SQLSMALLINT>(out.size()), &outLength, SQL_DRIVER_NOPROMPT);
    if (!succeeded(rc)) {
        m_lastDiagnostic = diagnose("SQLDriverConnect", SQL_HANDLE_DBC, dbc);
        closeConnection();
        return false;
    }
    m_open = true;
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);

    std::array<SQLCHAR, 8> quote{};
    SQLSMALLINT quoteLength = 0;
    m_identifierQuote.clear();
    if (succeeded(SQLGetInfo(dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote.data(), static_cast<SQLSMALLINT>(quote.size()),
                             &quoteLength))) {
        m_identifierQuote = odbctext::fromDriver(reinterpret_cast<const char*>(quote.data()),
                                                 std::min<qsizetype>(quoteLength, quote.size() - 1))
                                .trimmed();
    }
    return true;
}

RecordStore::Recordset* RecordStore::find(Handle handle) const {
    const auto it = m_recordsets.find(handle);
    return it == m_recordsets.end() ? nullptr : it->second.get();
}

int RecordStore::openRecordsetCount() const {
    return static_cast<int>(m_recordsets.size());
}

namespace {

// A driver that reports a blank quote character has none; the brackets then go as they are.
QByteArray textToSend(const QString& statement, const QString& quote) {
    return odbctext::toDriver(quote.isEmpty() ? statement : statements::replaceBrackets(statement, quote));
}

void setQueryTimeout(SQLHSTMT stmt) {
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN{RecordStore::timeoutSeconds}), 0);
}

// A statement goes to the driver as a C string, which ends at the first NUL: the driver would run the
// text before it, not the statement that was built. Such a statement is not sent at all, so a value
// holding a NUL is never stored cut short and a keyword holding one finds nothing.
bool refusedForNul(const QString& statement, OdbcDiagnostic& diagnostic) {
    if (!statement.contains(QChar(0))) {
        return false;
    }
    diagnostic = OdbcDiagnostic{QStringLiteral("RecordStore"), QStringLiteral("HY090"), 0,
                                QStringLiteral("the statement holds a NUL character")};
    return true;
}

} // namespace

RecordStore::Handle RecordStore::query(const QString& statement) {
    if (statement.isEmpty() || !m_open || openRecordsetCount() >= maxOpenRecordsets ||
        refusedForNul(statement, m_lastDiagnostic)) {
        return 0;
    }
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &stmt))) {
        m_lastDiagnostic = diagnose("SQLAllocHandle", SQL_HANDLE_DBC, m_connection);
        return 0;
    }
    auto rs = std::make_unique<Recordset>();
    rs->statement = OdbcHandle(SQL_HANDLE_STMT, stmt);
    setQueryTimeout(stmt);
    rs->text = textToSend(statement, m_identifierQuote);
    if (!succeeded(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(rs->text.data()), SQL_NTS))) {
        m_lastDiagnostic = diagnose("SQLExecDirect", SQL_HANDLE_STMT, stmt);
        return 0;
    }
    SQLSMALLINT columns = 0;
    if (!succeeded(SQLNumResultCols(stmt, &columns)) || columns <= 0) {
        m_lastDiagnostic = diagnose("SQLNumResultCols", SQL_HANDLE_STMT, stmt);
        return 0;
    }
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        std::array<SQLCHAR, 512> name{};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!succeeded(SQLDescribeCol(stmt, c, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength, &type,
                                      &size, &digits, &nullable))) {
            m_lastDiagnostic = diagnose("SQLDescribeCol", SQL_HANDLE_STMT, stmt);
            return 0;
        }
        const QString columnName = odbctext::fromDriver(reinterpret_cast<const char*>(name.data()),
                                                        std::min<qsizetype>(nameLength, name.size() - 1));
        rs->indexByName.insert(columnName, rs->indexByName.value(columnName, static_cast<int>(rs->names.size())));
        rs->names << columnName;
    }
    rs->row.resize(static_cast<std::size_t>(columns));
    rs->firstChunks.assign(rs->row.size(), smallestFirstChunk);

    const Handle handle = m_nextHandle++;
    if (m_nextHandle <= 0) {
        m_nextHandle = 1;
    }
    Recordset* raw = rs.get();
    m_recordsets.emplace(handle, std::move(rs));
    raw->pastEnd = false;
    toNext(handle); // stand on the first row, or past the end of an empty result
    return handle;
}

void RecordStore::toFirst(Handle handle) {
    Recordset* rs = find(handle);
    if (rs == nullptr || rs->position <= 0) {
        return; // already on the first row, or an empty result
    }
    // Results are read forwards only: going back to the first row means running the statement again.
    SQLHSTMT stmt = rs->statement.get();
    SQLFreeStmt(stmt, SQL_CLOSE);
    if (!succeeded(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(rs->text.data()), SQL_NTS))) {
        m_lastDiagnostic = diagnose("SQLExecDirect", SQL_HANDLE_STMT, stmt);
        rs->pastEnd = true;
        return;
    }
    rs->position = -1;
    rs->pastEnd = false;
    toNext(handle);
}

bool RecordStore::isPastEnd(Handle handle) const {
    const Recordset* rs = find(handle);
    return rs == nullptr || rs->pastEnd;
}

void RecordStore::toNext(Handle handle) {
    Recordset* rs = find(handle);
    if (rs == nullptr || rs->pastEnd) {
        return;
    }
    SQLHSTMT stmt = rs->statement.get();
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) {
        rs->pastEnd = true;
        return;
    }
    if (!succeeded(rc)) {
        // A fetch that fails (a locked or vanished file) would fail again on every retry; end the result
        // so that a read loop always ends.
        m_lastDiagnostic = diagnose("SQLFetch", SQL_HANDLE_STMT, stmt);
        rs->pastEnd = true;
        return;
    }
    ++rs->position;
    ChunkBuffer buffer;
    QByteArray joined;
    QByteArrayView piece;
    for (std::size_t i = 0; i < rs->row.size(); ++i) {
        FieldValue& value = rs->row[i];
        const Chunks got =
            readChunks(stmt, static_cast<SQLUSMALLINT>(i + 1), buffer, rs->firstChunks[i], joined, piece);
        if (got == Chunks::Failed) {
            // A value the driver cannot give as text reads as the empty text rather than ending the listing.
            m_lastDiagnostic = diagnose("SQLGetData", SQL_HANDLE_STMT, stmt);
        }
        decodeInto(value.text, got == Chunks::Value ? piece : QByteArrayView());
        value.isNull = got == Chunks::Null;
    }
}

FieldValue RecordStore::readField(Handle handle, const QString& column) const {
    const Recordset* rs = find(handle);
    const FieldValue* value = rs == nullptr ? nullptr : rs->field(column);
    return value == nullptr ? FieldValue() : *value;
}

QString RecordStore::readText(Handle handle, const QString& column) const {
    // Straight from the row: a listing reads every cell so, and copying the whole value first would cost
    // more than the text itself.
    const Recordset* rs = find(handle);
    const FieldValue* value = rs == nullptr ? nullptr : rs->field(column);
    if (value == nullptr) {
        return QString();
    }
    return value->text;
}

void RecordStore::closeRecordset(Handle handle) {
    if (handle == 0) {
        m_recordsets.clear();
        return;
    }
    m_recordsets.erase(handle);
}

int RecordStore::execute(const QString& statement, qint64* rowsAffected) {
    if (rowsAffected) {
        *rowsAffected = -1;
    }
    if (statement.isEmpty() || !m_open || refusedForNul(statement, m_lastDiagnostic)) {
        return 0;
    }
    SQLHANDLE h = SQL_NULL_HANDLE;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &h))) {
        m_lastDiagnostic = diagnose("SQLAllocHandle", SQL_HANDLE_DBC, m_connection);
        return 0;
    }
    const OdbcHandle stmt(SQL_HANDLE_STMT, h);
    setQueryTimeout(h);
    QByteArray text = textToSend(statement, m_identifierQuote);
    SQLRETURN rc = SQLPrepare(h, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    if (!succeeded(rc)) {
        m_lastDiagnostic = diagnose("SQLPrepare", SQL_HANDLE_STMT, h);
        return 0;
    }
    rc = SQLExecute(h);
    if (!succeeded(rc) && rc != SQL_NO_DATA) {
        m_lastDiagnostic = diagnose("SQLExecute", SQL_HANDLE_STMT, h);
        return 0;
    }
    SQLLEN changed = -1;
    if (rowsAffected && rc != SQL_NO_DATA && succeeded(SQLRowCount(h, &changed))) {
        *rowsAffected = changed;
    } else if (rowsAffected && rc == SQL_NO_DATA) {
        *rowsAffected = 0;
    }
    // Whatever rows or further results the statement yields are read and dropped; an error here does not
    // undo a statement that already ran.
    do {
        SQLSMALLINT columns = 0;
        if (succeeded(SQLNumResultCols(h, &columns)) && columns > 0) {
            while (succeeded(SQLFetch(h))) {
            }
        }
    } while (succeeded(SQLMoreResults(h)));
    return 1;
}
