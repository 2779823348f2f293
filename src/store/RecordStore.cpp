#include "RecordStore.h"

#include "OdbcCall.h"
#include "OdbcText.h"
#include "Statements.h"

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
    return connect(connectionStringFor(path));
}

bool RecordStore::openConnectionString(const QString& connectionString) {
    return connect(connectionString);
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
