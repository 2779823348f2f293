#include "Provisioning.h"

#include "DemoRecords.h"
#include "OfficeSettings.h"
#include "SqliteHandles.h"
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <sqlite3.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

namespace provisioning {
namespace {

// Owner and group only. The creator's umask still applies, so a stricter one makes the files stricter;
// a laxer one (even 000) never lets other accounts read petitioners' names and ID-card numbers.
constexpr QFileDevice::Permissions officePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup;
constexpr QFileDevice::Permissions officeDirectoryPermissions =
    officePermissions | QFileDevice::ExeOwner | QFileDevice::ExeGroup;

// The table's name and columns as the program names them (来仿人民族 and 来仿人职业 with 仿).
std::string table() {
    return tableName().toStdString();
}

std::string column(int index) {
    return columnNames()[index].toStdString();
}

QString sqliteError(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// SQLite takes file names in UTF-8 on every platform; QFile::encodeName would give the ANSI code page on
// Windows.
Database openExisting(const QString& path, QString& error) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        error = raw != nullptr ? sqliteError(raw) : QStringLiteral("out of memory");
        return nullptr;
    }
    // The program may have the file open; wait for its statement to end rather than fail at once.
    sqlite3_busy_timeout(db.get(), 10000);
    return db;
}

bool execute(sqlite3* db, const std::string& sql, QString& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    error = QString::fromUtf8(message != nullptr ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

std::string createTableStatement() {
    // AUTOINCREMENT: a deleted registration's 编号 is never handed out again, so a number written on a
    // paper file can never come to name another petitioner's case.
    std::string sql = "CREATE TABLE " + table() + " (" + column(0) + " INTEGER PRIMARY KEY AUTOINCREMENT";
    for (int c = firstTextColumn; c < columnCount; ++c) {
        sql += ", " + column(c) + " TEXT";
    }
    sql += ')';
    return sql;
}

std::string insertStatement() {
    std::string sql = "INSERT INTO " + table() + " (";
    std::string values;
    for (int c = firstTextColumn; c < columnCount; ++c) {
        if (c > firstTextColumn) {
            sql += ", ";
            values += ", ";
        }
        sql += column(c);
        values += '?' + std::to_string(c);
    }
    sql += ") VALUES (" + values + ')';
    return sql;
}

// Opening with NewOnly is what guarantees that an existing file is never replaced, even one that
// appears between the exists() check and the open. The file is born with the office's permissions rather
// than given them afterwards, so that not even for a moment can another account open it.
bool createNewFile(QFile& file, FileResult& result) {
    if (file.exists()) {
        result.state = FileState::LeftAlone;
        return false;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, officePermissions)) {
        if (file.exists()) {
            result.state = FileState::LeftAlone;
        } else {
            result.state = FileState::Failed;
            result.error = file.errorString();
        }
        return false;
    }
    return true;
}

QString settingsText() {
    QString text;
    const auto line = [&text](const QString& content) { text += content + QStringLiteral("\r\n"); };
    const auto utf8 = [](std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
    line(QStringLiteral("[bt]"));
    line(QStringLiteral("biaoti=") + utf8(office::caption));
    line(QStringLiteral("[mc]"));
    line(QStringLiteral("mingcheng=") + utf8(office::bannerTitle));
    line(QStringLiteral("[md]"));
    for (std::size_t i = 0; i < office::receivers.size(); ++i) {
        line(QStringLiteral("mingdan%1=").arg(i + 1) + utf8(office::receivers[i]));
    }
    return text;
}

} // namespace

bool createDirectory(const QString& dir) {
    const QFileInfo info(dir);
    if (info.isDir()) {
        return true; // an office's folder keeps the permissions it was given
    }
    // Only the folder itself is the office's; the folders above it get the usual permissions.
    return QDir().mkpath(info.absolutePath()) && QDir().mkdir(info.absoluteFilePath(), officeDirectoryPermissions);
}

FileResult createDatabase(const QString& dir) {
    // A folder copied from Windows may hold XINFANG.MDB: that is the office's database, which the program
    // opens, and a new xinfang.mdb beside it would hide it.
    FileResult result{FileState::Created, fileIgnoringCase(dir, QLatin1String(databaseFileName)), {}};
    QFile file(result.path);
    if (!createNewFile(file, result)) {
        return result;
    }
    file.close();

    // SQLite takes an empty file as an empty database, so the file we just claimed can be filled in place.
    QString error;
    bool ok = false;
    if (Database db = openExisting(result.path, error)) {
        ok = execute(db.get(), "BEGIN; " + createTableStatement() + "; COMMIT;", error);
    }
    if (!ok) {
        // An empty or half-made file would make the program fail to open it with no hint why.
        QFile::remove(result.path);
        result.state = FileState::Failed;
        result.error = error;
    }
    return result;
}

FileResult createSettings(const QString& dir) {
    FileResult result{FileState::Created, fileIgnoringCase(dir, QLatin1String(settingsFileName)), {}};
    // Built from the name: QStringConverter::encodingForName does not know GBK, the ICU converter does.
    QStringEncoder toGbk("GBK");
    const QByteArray bytes = toGbk.isValid() ? QByteArray(toGbk.encode(settingsText())) : QByteArray();
    if (!toGbk.isValid() || toGbk.hasError()) {
        result.state = FileState::Failed;
        result.error = QStringLiteral("this Qt has no GBK encoder");
        return result;
    }
    QFile file(result.path);
    if (!createNewFile(file, result)) {
        return result;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        result.state = FileState::Failed;
        result.error = file.errorString();
        file.close();
        file.remove();
    }
    return result;
}

DemoResult addDemoRecords(const QString& dir, std::int64_t count) {
    DemoResult result{false, 0, 0, {}};
    const QString path = fileIgnoringCase(dir, QLatin1String(databaseFileName));
    // sqlite3_open_v2 without SQLITE_OPEN_CREATE refuses a missing file too, but this says what to do.
    if (!QFileInfo(path).isFile()) {
        result.error = QStringLiteral("%1 does not exist; create it with: xinfang-admin init %2").arg(path, dir);
        return result;
    }
    Database db = openExisting(path, result.error);
    if (!db) {
        return result;
    }

    sqlite3_stmt* raw = nullptr;
    const std::string sql = insertStatement();
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), static_cast<int>(sql.size() + 1), &raw, nullptr) != SQLITE_OK) {
        result.error = sqliteError(db.get());
        return result;
    }
    Statement insert(raw);

    // One transaction: a million rows then take seconds instead of hours, and an interrupted run adds
    // nothing rather than part.
    if (!execute(db.get(), "BEGIN IMMEDIATE", result.error)) {
        return result;
    }
    DemoRecords records(count);
    DemoRecords::Row row;
    for (std::int64_t i = 0; i < count; ++i) {
        records.next(row);
        for (int column = 0; column < DemoRecords::fieldCount; ++column) {
            const std::string& text = row[static_cast<std::size_t>(column)];
            // The row outlives the step, so SQLite need not copy the text.
            sqlite3_bind_text(insert.get(), column + 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            result.error = sqliteError(db.get());
            QString ignored;
            execute(db.get(), "ROLLBACK", ignored);
            return result;
        }
        sqlite3_reset(insert.get());
        if (i == 0) {
            // Within the one transaction the numbers are consecutive. The program holds 编号 in a 32-bit
            // integer, so a table it could not show is refused before any time is spent on it.
            result.firstNumber = sqlite3_last_insert_rowid(db.get());
            if (result.firstNumber > std::numeric_limits<std::int32_t>::max() - (count - 1)) {
                result.error = QStringLiteral("编号 would pass %1, the largest number the program can show")
                                   .arg(std::numeric_limits<std::int32_t>::max());
                QString ignored;
                execute(db.get(), "ROLLBACK", ignored);
                return result;
            }
        }
    }
    if (!execute(db.get(), "COMMIT", result.error)) {
        QString ignored;
        execute(db.get(), "ROLLBACK", ignored);
        return result;
    }
    result.lastNumber = sqlite3_last_insert_rowid(db.get());
    result.ok = true;
    return result;
}

} // namespace provisioning
