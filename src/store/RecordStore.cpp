#include "RecordStore.h"

#include "OdbcCall.h"
#include "OdbcText.h"
#include "Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using odbc::succeeded;

struct RecordStore::Recordset {
    odbc::Handle statement;
    QStringList names;
    QHash<QString, int> indexByName; // first column of each name
    std::vector<FieldValue> row;     // the current row, read in ascending column order
    QString text;                    // the statement as sent, kept to run it again for toFirst
    qint64 position = -1;            // 0 on the first row
    bool pastEnd = true;

    odbc::Caller caller(OdbcDiagnostic& last) const { return odbc::Caller(SQL_HANDLE_STMT, statement.get(), last); }

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

    // Per column: how much to ask for in the first piece of its value (odbctext::ValueReader).
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
    m_connection.reset();
}

bool RecordStore::isOpen() const {
    return m_connection != nullptr;
}

namespace {

// An SQLite file's header: its first 100 bytes, the 16-byte signature first.
constexpr qint64 sqliteHeaderSize = 100;

QByteArray fileHead(const QString& path, qint64 length) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(length) : QByteArray();
}

bool hasSqliteSignature(const QByteArray& head) {
    static const QByteArray signature("SQLite format 3\0", 16);
    return head.startsWith(signature);
}

quint32 bigEndian(const QByteArray& bytes, qsizetype offset, int size) {
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

// Whether a file's size agrees with its SQLite header: whole pages of the size the header gives, and as
// many as it counts where that count is valid (SQLite writes it with the change counter it belongs to).
bool sizeAgreesWithHeader(const QByteArray& head, qint64 size) {
    if (head.size() < sqliteHeaderSize) {
        return false;
    }
    qint64 pageSize = bigEndian(head, 16, 2);
    if (pageSize == 1) {
        pageSize = 65536;
    }
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) {
        return false;
    }
    if (head[18] == 2) {
        return true; // write-ahead log: the newest pages may be in the -wal file, the file's size says little
    }
    if (size % pageSize != 0) {
        return false;
    }
    const quint32 pages = bigEndian(head, 28, 4);
    const bool counted = pages != 0 && bigEndian(head, 24, 4) == bigEndian(head, 92, 4);
    return !counted || pages * pageSize == size;
}

// The file's path as an SQLite URI. The driver takes the Database value up to the first ";" and knows no
// braces, so a folder named with ";" would open (and with it create) another file. In a URI, "%XX" stands
// for any byte: the characters that end the value or the path, or that a reader could take for the
// connection string's own ("{", "}", "="), go so; everything else, Chinese included, as it is.
QString sqliteUri(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString uri = QStringLiteral("file:");
    if (!absolute.startsWith(QLatin1Char('/'))) {
        uri += QLatin1Char('/'); // a drive letter: file:/C:/…
    }
    static const QString encoded = QStringLiteral("%;?#{}= ");
    for (const QChar c : absolute) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || encoded.contains(c)) {
            uri += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            uri += c;
        }
    }
    return uri + QStringLiteral("?mode=rw");
}

// Whether a connection string names an attribute, in either of its spellings.
bool namesAttribute(const QString& connectionString, QLatin1StringView name, QLatin1StringView shortName) {
    qsizetype start = 0;
    bool braced = false;
    for (qsizetype i = 0; i <= connectionString.size(); ++i) {
        const QChar c = i < connectionString.size() ? connectionString[i] : QLatin1Char(';');
        if (c == QLatin1Char('{')) {
            braced = true;
        } else if (c == QLatin1Char('}')) {
            braced = false;
        } else if (c == QLatin1Char(';') && !braced) {
            const QStringView pair = QStringView(connectionString).mid(start, i - start);
            const QStringView key = pair.left(pair.indexOf(QLatin1Char('='))).trimmed();
            if (key.compare(name, Qt::CaseInsensitive) == 0 || key.compare(shortName, Qt::CaseInsensitive) == 0) {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

} // namespace

QString RecordStore::connectionStringFor(const QString& path) {
    if (hasSqliteSignature(fileHead(path, 16))) {
        // NoCreat and mode=rw: a vanished file fails instead of being made anew. Timeout: the busy wait in
        // ms; a write waits about twice as long as it, so 7000 lets a locked file fail every statement
        // within 15 s (7500 measured 15.04 s here). StepAPI: fetch row by row.
        // SyncPragma: the driver would lower SQLite's synchronisation to NORMAL, with which a power cut
        // can lose an acknowledged registration or damage the file; FULL flushes every commit.
        return QStringLiteral("Driver={SQLite3};Database=") + sqliteUri(path) +
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

QString RecordStore::withDriverLogsOff(const QString& connectionString) {
    QString s = connectionString;
    if (!s.trimmed().isEmpty() && !s.trimmed().endsWith(QLatin1Char(';'))) {
        s += QLatin1Char(';');
    }
    if (!namesAttribute(connectionString, QLatin1StringView("CommLog"), QLatin1StringView("B3"))) {
        s += QStringLiteral("CommLog=0;");
    }
    if (!namesAttribute(connectionString, QLatin1StringView("Debug"), QLatin1StringView("B2"))) {
        s += QStringLiteral("Debug=0;");
    }
    return s;
}

bool RecordStore::openDatabase(const QString& path) {
    if (!connect(connectionStringFor(path))) {
        return false;
    }
    if (hasSqliteSignature(fileHead(path, 16)) && !sqliteFileIsSound(path)) {
        closeConnection();
        return false;
    }
    return true;
}

bool RecordStore::sqliteFileIsSound(const QString& path) {
    // In one read transaction: SQLite has rolled back whatever a desk that died left half written, and no
    // desk can write the file until it ends, so the size of a sound file agrees with its header. Reading
    // the schema makes SQLite parse it and check the header's page count against the file, once per open.
    if (execute(QStringLiteral("BEGIN")) == 0) {
        return false;
    }
    bool sound = false;
    {
        ScopedRecordset schema(*this, QStringLiteral("SELECT count(*) FROM sqlite_master"));
        // SQLITE_BUSY, SQLITE_LOCKED: another program holds the file for longer than the busy wait. That
        // says nothing about the file; it opens, and its statements report the lock as they meet it.
        constexpr int busy = 5;
        constexpr int locked = 6;
        if (!schema.isValid() && (m_lastDiagnostic.nativeError == busy || m_lastDiagnostic.nativeError == locked)) {
            sound = true;
        } else if (schema.isValid() && !schema.isPastEnd()) {
            QFile file(path);
            sound = file.open(QIODevice::ReadOnly) && sizeAgreesWithHeader(file.read(sqliteHeaderSize), file.size());
            if (!sound) {
                m_lastDiagnostic = OdbcDiagnostic{QStringLiteral("RecordStore"), QStringLiteral("HY000"), 0,
                                                  QStringLiteral("the file's size disagrees with its header")};
            }
        }
    }
    return execute(QStringLiteral("COMMIT")) == 1 && sound;
}

bool RecordStore::openConnectionString(const QString& connectionString) {
    return connect(withDriverLogsOff(connectionString));
}

bool RecordStore::connect(const QString& connectionString) {
    closeConnection();
    SQLHENV env = odbc::environment(m_lastDiagnostic);
    if (env == SQL_NULL_HANDLE) {
        return false;
    }
    auto connection = std::make_unique<odbc::Connection>();
    if (!connection->allocate(env, m_lastDiagnostic)) {
        return false;
    }
    const odbc::Caller dbc = connection->caller();
    if (!succeeded(ODBC_CALL(dbc, SQLSetConnectAttr, dbc.handle(), SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(SQLULEN{timeoutSeconds}), 0)) ||
        !succeeded(odbctext::driverConnect(dbc, connectionString))) {
        return false;
    }
    connection->setConnected();
    // Every statement is committed on its own; a connection that cannot promise that is no use.
    if (!succeeded(ODBC_CALL(dbc, SQLSetConnectAttr, dbc.handle(), SQL_ATTR_AUTOCOMMIT,
                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0))) {
        return false;
    }
    // A driver that cannot name its quote character gets the brackets as they are (textToSend).
    QString quote;
    if (succeeded(odbctext::infoText(dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote))) {
        m_identifierQuote = quote.trimmed();
    } else {
        m_identifierQuote.clear();
    }
    m_connection = std::move(connection);
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
QString textToSend(const QString& statement, const QString& quote) {
    return quote.isEmpty() ? statement : statements::replaceBrackets(statement, quote);
}

bool setQueryTimeout(const odbc::Caller& stmt) {
    return succeeded(ODBC_CALL(stmt, SQLSetStmtAttr, stmt.handle(), SQL_ATTR_QUERY_TIMEOUT,
                               reinterpret_cast<SQLPOINTER>(SQLULEN{RecordStore::timeoutSeconds}), 0));
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
    if (statement.isEmpty() || !isOpen() || openRecordsetCount() >= maxOpenRecordsets ||
        refusedForNul(statement, m_lastDiagnostic)) {
        return 0;
    }
    auto rs = std::make_unique<Recordset>();
    rs->statement = odbc::Handle::allocate(SQL_HANDLE_STMT, m_connection->caller(), m_lastDiagnostic);
    if (rs->statement.isNull()) {
        return 0;
    }
    const odbc::Caller stmt = rs->caller(m_lastDiagnostic);
    rs->text = textToSend(statement, m_identifierQuote);
    SQLSMALLINT columns = 0;
    if (!setQueryTimeout(stmt) || !succeeded(odbctext::execDirect(stmt, rs->text)) ||
        !succeeded(ODBC_CALL(stmt, SQLNumResultCols, stmt.handle(), &columns))) {
        return 0;
    }
    if (columns <= 0) {
        m_lastDiagnostic = OdbcDiagnostic{QStringLiteral("SQLNumResultCols"), QStringLiteral("07005"), 0,
                                          QStringLiteral("the statement gives no rows")};
        return 0;
    }
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        QString columnName;
        if (!succeeded(odbctext::columnName(stmt, c, columnName))) {
            return 0;
        }
        rs->indexByName.insert(columnName, rs->indexByName.value(columnName, static_cast<int>(rs->names.size())));
        rs->names << columnName;
    }
    rs->row.resize(static_cast<std::size_t>(columns));
    rs->firstChunks.assign(rs->row.size(), odbctext::ValueReader::smallestFirstChunk);

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
    const odbc::Caller stmt = rs->caller(m_lastDiagnostic);
    if (!succeeded(ODBC_CALL(stmt, SQLFreeStmt, stmt.handle(), SQL_CLOSE)) ||
        !succeeded(odbctext::execDirect(stmt, rs->text))) {
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
    const odbc::Caller stmt = rs->caller(m_lastDiagnostic);
    const SQLRETURN rc = ODBC_CALL(stmt, SQLFetch, stmt.handle());
    if (!succeeded(rc)) {
        // The end, or a fetch that failed (a locked or vanished file), which would fail again on every
        // retry: either way the result ends, so that a read loop always ends.
        rs->pastEnd = true;
        return;
    }
    ++rs->position;
    odbctext::ValueReader reader;
    for (std::size_t i = 0; i < rs->row.size(); ++i) {
        FieldValue& value = rs->row[i];
        // A value the driver cannot give as text reads as the empty text rather than ending the listing.
        const odbctext::Read got = reader.read(stmt, static_cast<SQLUSMALLINT>(i + 1), rs->firstChunks[i], value.text);
        value.isNull = got == odbctext::Read::Null;
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
    if (statement.isEmpty() || !isOpen() || refusedForNul(statement, m_lastDiagnostic)) {
        return 0;
    }
    const odbc::Handle owned = odbc::Handle::allocate(SQL_HANDLE_STMT, m_connection->caller(), m_lastDiagnostic);
    if (owned.isNull()) {
        return 0;
    }
    const odbc::Caller stmt(SQL_HANDLE_STMT, owned.get(), m_lastDiagnostic);
    if (!setQueryTimeout(stmt) || !succeeded(odbctext::prepare(stmt, textToSend(statement, m_identifierQuote)))) {
        return 0;
    }
    const SQLRETURN rc = ODBC_CALL(stmt, SQLExecute, stmt.handle());
    if (!succeeded(rc) && rc != SQL_NO_DATA) {
        return 0;
    }
    SQLLEN changed = -1;
    if (rowsAffected && rc == SQL_NO_DATA) {
        *rowsAffected = 0;
    } else if (rowsAffected && succeeded(ODBC_CALL(stmt, SQLRowCount, stmt.handle(), &changed))) {
        *rowsAffected = changed;
    }
    // Whatever rows or further results the statement yields are read and dropped; a failure here does not
    // undo a statement that already ran (its reason is kept all the same).
    do {
        SQLSMALLINT columns = 0;
        if (succeeded(ODBC_CALL(stmt, SQLNumResultCols, stmt.handle(), &columns)) && columns > 0) {
            while (succeeded(ODBC_CALL(stmt, SQLFetch, stmt.handle()))) {
            }
        }
    } while (succeeded(ODBC_CALL(stmt, SQLMoreResults, stmt.handle())));
    return 1;
}
