#include "TestDatabase.h"

#include "store/PetitionRecord.h"

#include <QFile>
#include <QStringEncoder>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString& what, sqlite3* db) {
    std::fprintf(stderr, "test database: %s: %s\n", qPrintable(what), db ? sqlite3_errmsg(db) : "");
    std::abort();
}

struct Db {
    sqlite3* db = nullptr;
    explicit Db(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            fail(QStringLiteral("open ") + path, db);
        }
    }
    ~Db() { sqlite3_close(db); }
};

} // namespace

QString TestDatabase::defaultCreateTable() {
    QString sql = QStringLiteral("CREATE TABLE ") + tableName() + QStringLiteral(" (") + columnNames()[0] +
                  QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    for (int c = firstTextColumn; c < columnCount; ++c) {
        sql += QStringLiteral(", ") + columnNames()[c] + QStringLiteral(" TEXT");
    }
    return sql + QStringLiteral(")");
}

TestDatabase::TestDatabase() {
    exec(defaultCreateTable());
}

void TestDatabase::exec(const QString& sql) const {
    Db d(path());
    char* error = nullptr;
    if (sqlite3_exec(d.db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        fail(sql + QStringLiteral(": ") + message, d.db);
    }
}

void TestDatabase::recreate(const QString& createTableSql) const {
    exec(QStringLiteral("DROP TABLE ") + tableName());
    exec(createTableSql);
}

qint64 TestDatabase::insert(const QStringList& values, qint64 number) const {
    Db d(path());
    QString sql = QStringLiteral("INSERT INTO ") + tableName() + QStringLiteral(" VALUES (?");
    for (int c = firstTextColumn; c < columnCount; ++c) {
        sql += QStringLiteral(",?");
    }
    sql += QStringLiteral(")");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(d.db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        fail(sql, d.db);
    }
    if (number != 0) {
        sqlite3_bind_int64(stmt, 1, number);
    }
    for (int c = firstTextColumn; c < columnCount; ++c) {
        const QByteArray v = values.value(c - firstTextColumn).toUtf8();
        sqlite3_bind_text(stmt, c + 1, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    if (sqlite3_step(stmt) != SQLITE_DONE) {
        fail(sql, d.db);
    }
    sqlite3_finalize(stmt);
    return sqlite3_last_insert_rowid(d.db);
}

QStringList TestDatabase::row(qint64 number) const {
    Db d(path());
    const QString sql = QStringLiteral("SELECT * FROM ") + tableName() + QStringLiteral(" WHERE ") + columnNames()[0] +
                        QStringLiteral("=?");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(d.db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        fail(sql, d.db);
    }
    sqlite3_bind_int64(stmt, 1, number);
    QStringList out;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = firstTextColumn; c < sqlite3_column_count(stmt); ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                out << QStringLiteral("<NULL>");
            } else {
                out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                         sqlite3_column_bytes(stmt, c));
            }
        }
    }
    sqlite3_finalize(stmt);
    return out;
}

qint64 TestDatabase::count() const {
    Db d(path());
    sqlite3_stmt* stmt = nullptr;
    const QString sql = QStringLiteral("SELECT count(*) FROM ") + tableName();
    if (sqlite3_prepare_v2(d.db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        fail(sql, d.db);
    }
    sqlite3_step(stmt);
    const qint64 n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

void TestDatabase::writeSettings(const QString& text) const {
    QFile file(m_dir.filePath(QStringLiteral("set.ini")));
    if (!file.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("write set.ini"), nullptr);
    }
    QStringEncoder gbk("GBK");
    file.write(gbk.encode(text));
}
