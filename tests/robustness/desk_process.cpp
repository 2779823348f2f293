// A second program on the same database, for the tests of this directory: it registers as a desk does,
// runs one statement while another process holds a lock, or holds that lock. It reports each result on
// standard output, flushed, only after the store has returned it, so that a line the test reads is a
// registration the clerk was told had been saved.
//
//   desk_process register DB DESK FIRST COUNT [list]   COUNT 0: until killed; list: every record read
//                                                      back after each registration, as the window does
//   desk_process statement DB select|insert|update|delete   once, and again for each line on stdin
//   desk_process hold DB exclusive|immediate           holds the lock until stdin closes
#include "DeskRecords.h"
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"

#include <QElapsedTimer>

#include <sqlite3.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void report(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The read loop of the record list: every column of every row, by name. Gives the rows read, -1 when
// the select failed.
int listAll(RecordStore& store) {
    const RecordStore::Handle handle = store.query(statements::selectAll());
    int rows = 0;
    store.toFirst(handle);
    while (!store.isPastEnd(handle)) {
        for (const QString& name : columnNames()) {
            store.readText(handle, name);
        }
        ++rows;
        store.toNext(handle);
    }
    store.closeRecordset(handle);
    return handle == 0 ? -1 : rows;
}

int registerLoop(const QString& path, int desk, qint64 first, qint64 count, bool list) {
    RecordStore store;
    if (!store.openDatabase(path)) {
        report(QStringLiteral("openfail"));
        return 2;
    }
    for (qint64 sequence = first; count == 0 || sequence < first + count; ++sequence) {
        const QString statement = statements::insert(deskrecords::values({desk, sequence}));
        QElapsedTimer timer;
        timer.start();
        const int ran = store.execute(statement);
        report(QStringLiteral("%1 %2 %3").arg(ran == 1 ? "ok" : "fail").arg(sequence).arg(timer.elapsed()));
        if (list) {
            timer.restart();
            const int rows = listAll(store);
            report(QStringLiteral("listed %1 %2").arg(rows).arg(timer.elapsed()));
        }
    }
    return 0;
}

int runStatement(const QString& path, const QString& kind) {
    RecordStore store;
    if (!store.openDatabase(path)) {
        report(QStringLiteral("openfail"));
        return 2;
    }
    QStringList values(columnCount - firstTextColumn, QStringLiteral("锁定时写入"));
    std::string again;
    do {
        QElapsedTimer timer;
        timer.start();
        int result = 0;
        int rows = 0;
        if (kind == QLatin1String("select")) {
            rows = listAll(store);
            result = rows >= 0 ? 1 : 0;
        } else if (kind == QLatin1String("insert")) {
            result = store.execute(statements::insert(values));
        } else if (kind == QLatin1String("update")) {
            result = store.execute(statements::update(values, QStringLiteral("1")));
        } else {
            result = store.execute(statements::remove(QStringLiteral("2")));
        }
        report(QStringLiteral("%1 %2 %3 %4").arg(kind).arg(result).arg(timer.elapsed()).arg(rows));
    } while (std::getline(std::cin, again));
    return 0;
}

int holdLock(const QString& path, const QString& mode) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        return 2;
    }
    // Exclusive: nobody may even read. Immediate with a pending insert: another desk in the middle of a
    // write, readers go on.
    const QByteArray begin = mode == QLatin1String("exclusive") ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE";
    const QString insert = QStringLiteral("INSERT INTO ") + tableName() + QStringLiteral(" (日期) VALUES ('held')");
    if (sqlite3_exec(db, begin.constData(), nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, insert.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return 3;
    }
    report(QStringLiteral("held"));
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const QStringList args = [&] {
        QStringList a;
        for (int i = 1; i < argc; ++i) {
            a << QString::fromLocal8Bit(argv[i]);
        }
        return a;
    }();
    const QString mode = args.value(0);
    if (mode == QLatin1String("register") && args.size() >= 5) {
        return registerLoop(args[1], args[2].toInt(), args[3].toLongLong(), args[4].toLongLong(),
                            args.value(5) == QLatin1String("list"));
    }
    if (mode == QLatin1String("statement") && args.size() == 3) {
        return runStatement(args[1], args[2]);
    }
    if (mode == QLatin1String("hold") && args.size() == 3) {
        return holdLock(args[1], args[2]);
    }
    std::fputs("usage: desk_process register|statement|hold ...\n", stderr);
    return 1;
}
