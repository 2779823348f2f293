#include "Backup.h"

#include "Provisioning.h"
#include "SqliteHandles.h"
#include "store/PetitionRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace provisioning {
namespace {

// Pages copied under one read lock. A desk that wants to write meanwhile waits at most for one such
// step (a few milliseconds for 4 MB) instead of for the whole file.
constexpr int pagesPerStep = 1024;
// A desk that writes between two steps makes SQLite start the copy again. After this many restarts the
// rest is copied under one lock, so that a busy office still gets its backup.
constexpr int restartsBeforeOneStep = 3;
// How long a desk's write may keep the backup from reading before it gives up.
constexpr int busyTimeoutMs = 10000;
constexpr int givingUpAfterMs = 60000;

Database open(const QString& path, int flags, QString& error) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        error = raw != nullptr ? QString::fromUtf8(sqlite3_errmsg(raw)) : QStringLiteral("out of memory");
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), busyTimeoutMs);
    return db;
}

bool isSqliteFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

bool copy(sqlite3* source, sqlite3* target, QString& error) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (backup == nullptr) {
        error = QString::fromUtf8(sqlite3_errmsg(target));
        return false;
    }
    int restarts = 0;
    int remaining = -1;
    int waitedMs = 0;
    int rc = SQLITE_OK;
    for (;;) {
        rc = sqlite3_backup_step(backup, restarts < restartsBeforeOneStep ? pagesPerStep : -1);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (waitedMs >= givingUpAfterMs) {
                break;
            }
            sqlite3_sleep(100);
            waitedMs += 100;
            continue;
        }
        if (rc != SQLITE_OK) {
            break;
        }
        // Without a restart every step leaves fewer pages to copy; a copy that began again leaves as many
        // or more (as many when it is restarted after each first step).
        const int now = sqlite3_backup_remaining(backup);
        if (remaining >= 0 && now >= remaining) {
            ++restarts;
        }
        remaining = now;
        sqlite3_sleep(10); // room for a waiting desk to take its write lock
    }
    // finish gives the step's error again, or its own.
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE && finished == SQLITE_OK) {
        return true;
    }
    error = rc == SQLITE_BUSY || rc == SQLITE_LOCKED
                ? QStringLiteral("the database stayed locked for %1 s").arg(givingUpAfterMs / 1000)
                : QString::fromUtf8(sqlite3_errstr(rc != SQLITE_DONE ? rc : finished));
    return false;
}

// Reads the copy from disk afresh: every page checked, and the registrations counted.
bool check(const QString& path, std::int64_t& rows, QString& error) {
    Database db = open(path, SQLITE_OPEN_READONLY, error);
    if (!db) {
        return false;
    }
    QStringList answers;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            answers << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
    }
    sqlite3_finalize(statement);
    if (answers != QStringList{QStringLiteral("ok")}) {
        error = QStringLiteral("the copy fails the integrity check: %1")
                    .arg(answers.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(db.get()))
                                           : answers.join(QLatin1String("; ")));
        return false;
    }
    const QByteArray count = (QStringLiteral("SELECT count(*) FROM ") + tableName()).toUtf8();
    statement = nullptr;
    const bool counted = sqlite3_prepare_v2(db.get(), count.constData(), -1, &statement, nullptr) == SQLITE_OK &&
                         sqlite3_step(statement) == SQLITE_ROW;
    if (counted) {
        rows = sqlite3_column_int64(statement, 0);
    } else {
        error = QString::fromUtf8(sqlite3_errmsg(db.get()));
    }
    sqlite3_finalize(statement);
    return counted;
}

} // namespace

bool createPrivateFile(const QString& path, QString& error) {
    QFile file(path);
    const auto ownerAndGroup =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    // NewOnly: a file that appears meanwhile is not replaced. The umask can only take bits away.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerAndGroup)) {
        error = file.exists()
                    ? QStringLiteral("%1 exists already; a backup never replaces a file")
                          .arg(QDir::toNativeSeparators(path))
                    : QStringLiteral("cannot create %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

BackupResult backupDatabase(const QString& dir, const QString& destination) {
    BackupResult result{false, destination, 0, {}};
    const QString source = dir + QLatin1Char('/') + QLatin1String(databaseFileName);
    if (!QFileInfo(source).isFile()) {
        result.error = QStringLiteral("%1 does not exist").arg(QDir::toNativeSeparators(source));
        return result;
    }
    // An Access file (a Windows desk's) cannot go through SQLite; it is copied as a file with the desks closed.
    if (!isSqliteFile(source)) {
        result.error = QStringLiteral("%1 is not an SQLite database; copy it while no desk has it open")
                           .arg(QDir::toNativeSeparators(source));
        return result;
    }
    if (QFileInfo(destination).isDir()) {
        result.path = QDir(destination)
                          .filePath(QStringLiteral("xinfang-%1.mdb")
                                        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    }
    if (QFileInfo::exists(result.path)) {
        result.error = QStringLiteral("%1 exists already; a backup never replaces a file")
                           .arg(QDir::toNativeSeparators(result.path));
        return result;
    }
    // Written under another name and given its own only once checked: a backup cut short (the machine
    // switched off, Ctrl+C) never leaves a file that looks like a finished one.
    const QString partial = result.path + QStringLiteral(".partial");
    if (!createPrivateFile(partial, result.error)) {
        return result;
    }

    bool ok = false;
    {
        // Read-write, so that a registration a killed desk left half done is rolled back first, as the
        // next desk to open the file would; SQLite falls back to reading only when it may not write.
        Database from = open(source, SQLITE_OPEN_READWRITE, result.error);
        Database to = from ? open(partial, SQLITE_OPEN_READWRITE, result.error) : nullptr;
        ok = to && copy(from.get(), to.get(), result.error);
    }
    ok = ok && check(partial, result.rows, result.error);
    // QFile::rename never replaces a file that appeared meanwhile.
    if (ok && !QFile::rename(partial, result.path)) {
        result.error = QStringLiteral("cannot name the copy %1").arg(QDir::toNativeSeparators(result.path));
        ok = false;
    }
    if (!ok) {
        QFile::remove(partial); // ours: created above, so nothing else is lost
        QFile::remove(partial + QStringLiteral("-journal"));
    }
    result.ok = ok;
    return result;
}

} // namespace provisioning
