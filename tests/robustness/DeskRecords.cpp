#include "DeskRecords.h"

#include "store/PetitionRecord.h"

#include <QHashFunctions>
#include <QStringDecoder>

#include <sqlite3.h>

namespace deskrecords {

namespace {

const QString markPrefix = QStringLiteral("窗口");

// Texts that have each broken a statement or a read somewhere: quotes end literals, brackets are
// replaced outside them, % and _ are wildcards, braces and ? mean something to ODBC drivers.
const QStringList awkward = {
    QStringLiteral("O'Neil 的 '诉求'"),
    QStringLiteral("[信访数据] ]x["),
    QStringLiteral("100% _ *"),
    QStringLiteral("𠮷野 䶮"),
    QStringLiteral("第一行\r\n第二行\n"),
    QString(),
    QStringLiteral("   "),
    QStringLiteral("x'); delete from 信访数据; --"),
    QStringLiteral("{fn UCASE('a')} ? {d '2012-12-04'}"),
    QStringLiteral("\"引号\" \\ 反斜杠"),
};

} // namespace

size_t qHash(const Mark& mark, size_t seed) {
    return qHashMulti(seed, mark.desk, mark.sequence);
}

QStringList values(const Mark& mark) {
    QStringList v;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        v << awkward[static_cast<qsizetype>((mark.sequence + column) % awkward.size())] +
                 QString::number(mark.sequence * 31 + column);
    }
    v[0] = QStringLiteral("2012年12月4日");
    v[5] = markPrefix + QString::number(mark.desk) + QLatin1Char('-') + QString::number(mark.sequence);
    if (mark.sequence % 5 == 0) {
        // About 120 kB: the row goes to overflow pages, so a write touches many pages at once.
        v[16] = QStringLiteral("诉求%1。").arg(mark.sequence).repeated(4000);
    }
    return v;
}

std::optional<Mark> markOf(const QStringList& values) {
    const QString name = values.value(5);
    if (!name.startsWith(markPrefix)) {
        return std::nullopt;
    }
    const QStringList parts = name.mid(markPrefix.size()).split(QLatin1Char('-'));
    bool deskOk = false;
    bool sequenceOk = false;
    const Mark mark{parts.value(0).toInt(&deskOk), parts.value(1).toLongLong(&sequenceOk)};
    if (parts.size() != 2 || !deskOk || !sequenceOk) {
        return std::nullopt;
    }
    return mark;
}

namespace {

struct Connection {
    sqlite3* db = nullptr;
    explicit Connection(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
        } else {
            sqlite3_busy_timeout(db, 30000);
        }
    }
    ~Connection() { sqlite3_close(db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
};

// Exactly the stored characters: QString::fromUtf8 would drop a leading U+FEFF.
QString text(sqlite3_stmt* stmt, int column) {
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return utf8(QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                               sqlite3_column_bytes(stmt, column)));
}

} // namespace

QList<StoredRow> readRows(const QString& path, bool* ok) {
    if (ok) {
        *ok = false;
    }
    QList<StoredRow> rows;
    Connection c(path);
    if (!c.db) {
        return rows;
    }
    QString sql = QStringLiteral("SELECT ") + columnNames().join(QLatin1Char(',')) + QStringLiteral(" FROM ") +
                  tableName() + QStringLiteral(" ORDER BY ") + columnNames()[0];
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(c.db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        return rows;
    }
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        StoredRow row;
        row.number = sqlite3_column_int64(stmt, 0);
        for (int column = firstTextColumn; column < columnCount; ++column) {
            const int type = sqlite3_column_type(stmt, column);
            row.types << type;
            row.values << (type == SQLITE_NULL ? QStringLiteral("<NULL>") : text(stmt, column));
        }
        rows << row;
    }
    sqlite3_finalize(stmt);
    if (ok) {
        *ok = rc == SQLITE_DONE;
    }
    return rows;
}

QString integrityCheck(const QString& path) {
    Connection c(path);
    if (!c.db) {
        return QStringLiteral("cannot open");
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(c.db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK) {
        return QString::fromUtf8(sqlite3_errmsg(c.db));
    }
    QStringList answer;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        answer << text(stmt, 0);
    }
    if (rc != SQLITE_DONE) {
        answer << QString::fromUtf8(sqlite3_errmsg(c.db));
    }
    sqlite3_finalize(stmt);
    return answer.join(QLatin1Char('\n'));
}

} // namespace deskrecords
