#include "DatabaseCheck.h"

#include "Provisioning.h"
#include "SqliteHandles.h"
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace provisioning {
namespace {

constexpr int problemsKept = 5;

Statement prepare(sqlite3* db, const QString& sql) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &raw, nullptr);
    return Statement(raw);
}

QString errorOf(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Reads every column of every row, in 编号 order, as the program lists them; stops at the first row that
// cannot be read.
void countReadableRows(sqlite3* db, CheckResult& result) {
    const Statement rows =
        prepare(db, QStringLiteral("SELECT * FROM \"%1\" ORDER BY \"%2\"").arg(tableName(), columnNames()[0]));
    if (!rows) {
        return;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(rows.get()); ++c) {
            sqlite3_column_blob(rows.get(), c);
        }
        ++result.readableRows;
    }
    result.allRowsRead = rc == SQLITE_DONE;
}

} // namespace

CheckResult checkDatabase(const QString& dir) {
    CheckResult result{
        CheckResult::State::Sound, fileIgnoringCase(dir, QLatin1String(databaseFileName)), {}, 0, false, 0, false};
    if (!QFileInfo(result.path).isFile()) {
        result.state = CheckResult::State::Missing;
        return result;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(result.path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const Database db(raw);
    if (rc != SQLITE_OK) {
        result.state = CheckResult::State::Damaged;
        result.problems << (raw ? errorOf(raw) : QStringLiteral("out of memory"));
        result.problemCount = 1;
        return result;
    }
    // A desk may be registering right now; wait for its statement instead of failing at once.
    sqlite3_busy_timeout(db.get(), 10000);

    const Statement check = prepare(db.get(), QStringLiteral("PRAGMA integrity_check"));
    int step = check ? sqlite3_step(check.get()) : SQLITE_ERROR;
    for (; step == SQLITE_ROW; step = sqlite3_step(check.get())) {
        // One row may hold several problems, a line each, under a heading that names the database.
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)));
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line == QLatin1String("ok") || line.startsWith(QLatin1String("*** in database"))) {
                continue;
            }
            ++result.problemCount;
            if (result.problems.size() < problemsKept) {
                result.problems << line;
            }
        }
    }
    if (step != SQLITE_DONE) {
        // The check itself could not run to its end: the file is not a database, or its first pages are
        // gone.
        ++result.problemCount;
        result.problems << errorOf(db.get());
    }
    if (result.problemCount > 0) {
        result.state = CheckResult::State::Damaged;
    }

    // A file cut short says in its header that it has more pages than it has, and SQLite then refuses to
    // read it at all. What it still holds can be read all the same when the schema is taken as it is; the
    // file is open read-only, so nothing is written.
    sqlite3_exec(db.get(), "PRAGMA writable_schema = ON", nullptr, nullptr, nullptr);
    const Statement table =
        prepare(db.get(), QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?"));
    if (table) {
        const QByteArray name = tableName().toUtf8();
        sqlite3_bind_text(table.get(), 1, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        result.hasTable = sqlite3_step(table.get()) == SQLITE_ROW;
    }
    if (result.hasTable) {
        countReadableRows(db.get(), result);
    }
    return result;
}

} // namespace provisioning
