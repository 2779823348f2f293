// A record reads back exactly as it was written, on the files an office really has: tables made by other
// tools (SQLite's declared types are only affinities, so a DATE, INT, BIT or BLOB column may hold any
// text), records written by other desks and imports, text pasted from other programs.

#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/ExactValues.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ProcessState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"

#include <QTest>

#include <sqlite3.h>

namespace {

// One stored value as SQLite holds it.
struct Cell {
    int storageClass = SQLITE_NULL;
    QByteArray bytes; // a number's text form

    bool operator==(const Cell&) const = default;
};

QString className(int storageClass) {
    switch (storageClass) {
    case SQLITE_INTEGER:
        return QStringLiteral("integer");
    case SQLITE_FLOAT:
        return QStringLiteral("real");
    case SQLITE_TEXT:
        return QStringLiteral("text");
    case SQLITE_BLOB:
        return QStringLiteral("blob");
    default:
        return QStringLiteral("null");
    }
}

QString describe(const Cell& cell) {
    QString bytes = QString::fromLatin1(cell.bytes.left(24).toHex(' '));
    if (cell.bytes.size() > 24) {
        bytes += QStringLiteral(" … (%1 bytes)").arg(cell.bytes.size());
    }
    return className(cell.storageClass) + QStringLiteral(" [") + bytes + QLatin1Char(']');
}

struct SqliteFile {
    sqlite3* db = nullptr;
    explicit SqliteFile(const QString& path) {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~SqliteFile() { sqlite3_close(db); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;
};

// Every row of the table in 编号 order, columns 1 to 21 as SQLite stores them.
QList<QList<Cell>> storedCells(const TestDatabase& db) {
    SqliteFile file(db.path());
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql =
        (QStringLiteral("SELECT * FROM ") + tableName() + QStringLiteral(" ORDER BY ") + columnNames()[0]).toUtf8();
    QList<QList<Cell>> rows;
    if (sqlite3_prepare_v2(file.db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        qWarning("%s", sqlite3_errmsg(file.db));
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QList<Cell> row;
        for (int c = firstTextColumn; c < columnCount; ++c) {
            Cell cell;
            cell.storageClass = sqlite3_column_type(statement, c);
            const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, c));
            cell.bytes = QByteArray(data, sqlite3_column_bytes(statement, c));
            row << cell;
        }
        rows << row;
    }
    sqlite3_finalize(statement);
    return rows;
}

// The table with every text column declared as the given type ("" for no type), as other tools make it.
QString createTable(const QString& declaredType) {
    QString sql = QStringLiteral("CREATE TABLE ") + tableName() + QStringLiteral(" (") + columnNames()[0] +
                  QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    for (int c = firstTextColumn; c < columnCount; ++c) {
        sql += QStringLiteral(", ") + columnNames()[c] + QLatin1Char(' ') + declaredType;
    }
    return sql + QLatin1Char(')');
}

// A value that really is a number, as another tool may store it in a typed column.
struct Number {
    const char* name;
    qint64 whole;
    double real;
    bool isReal;
};
constexpr Number numbers[] = {{"whole number", 42, 0, false}, {"real number", 0, 2.5, true}};

// Writes each value into all 21 columns of a row of its own, straight through SQLite, numbers bound as
// numbers; the rows are numbered 1, 2, … in the order given, texts first.
void writeRows(const TestDatabase& db) {
    SqliteFile file(db.path());
    QString sql = QStringLiteral("INSERT INTO ") + tableName() + QStringLiteral(" VALUES (?");
    for (int c = firstTextColumn; c < columnCount; ++c) {
        sql += QStringLiteral(",?");
    }
    sql += QLatin1Char(')');
    sqlite3_stmt* statement = nullptr;
    QVERIFY(sqlite3_prepare_v2(file.db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK);
    const auto insert = [&](const std::function<void(int parameter)>& bind) {
        sqlite3_reset(statement);
        sqlite3_bind_null(statement, 1);
        for (int c = firstTextColumn; c < columnCount; ++c) {
            bind(c + 1);
        }
        QCOMPARE(sqlite3_step(statement), SQLITE_DONE);
    };
    for (const exactvalues::Value& value : exactvalues::hostileValues()) {
        const QByteArray bytes = value.text.toUtf8();
        insert([&](int parameter) {
            if (value.text.isNull()) {
                sqlite3_bind_null(statement, parameter);
            } else {
                sqlite3_bind_text(statement, parameter, bytes.constData(), static_cast<int>(bytes.size()),
                                  SQLITE_TRANSIENT);
            }
        });
    }
    for (const Number& number : numbers) {
        insert([&](int parameter) {
            if (number.isReal) {
                sqlite3_bind_double(statement, parameter, number.real);
            } else {
                sqlite3_bind_int64(statement, parameter, number.whole);
            }
        });
    }
    sqlite3_finalize(statement);
}

} // namespace

class TestExactValues : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }

    // Each value, in a table whose columns are declared as each type: listed, opened in the modification
    // window and saved without an edit, every column keeps its bytes and its storage class. A NULL goes
    // back as the empty text, and a value that really is a number as the text the statement writes for
    // it, which the column's affinity may turn back into the number.
    //
    // Then each value pasted into every field of the registration window: stored as the fields keep it,
    // as text.
    void savedAsItWas_data() {
        QTest::addColumn<QString>("declaredType");
        for (const char* type : {"TEXT", "VARCHAR(255)", "DATE", "DATETIME", "INT", "BIT", "REAL", "BLOB", ""}) {
            QTest::newRow(*type != 0 ? type : "no type") << QString::fromLatin1(type);
        }
    }
    void savedAsItWas() {
        QFETCH(QString, declaredType);
        TestDatabase db;
        db.recreate(createTable(declaredType));
        writeRows(db);
        const QList<exactvalues::Value>& values = exactvalues::hostileValues();
        const QList<QList<Cell>> before = storedCells(db);
        const qsizetype rowCount = values.size() + static_cast<qsizetype>(std::size(numbers));
        QCOMPARE(before.size(), rowCount);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QCOMPARE(mainWindow.recordList()->rowCount(), rowCount);

        for (int row = 0; row < rowCount; ++row) {
            const QString problem = exactvalues::saveUnchanged(mainWindow, row);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(boxes.texts(), QStringList());
        const QList<QList<Cell>> after = storedCells(db);
        QCOMPARE(after.size(), rowCount);
        QStringList changed;
        for (int row = 0; row < rowCount; ++row) {
            const QString name = row < values.size() ? QString::fromUtf8(values[row].name)
                                                     : QString::fromUtf8(numbers[row - values.size()].name);
            for (int c = 0; c < columnCount - firstTextColumn; ++c) {
                Cell expected = before[row][c];
                Cell now = after[row][c];
                if (expected.storageClass == SQLITE_NULL) {
                    expected = {SQLITE_TEXT, QByteArray()};
                } else if (expected.storageClass == SQLITE_INTEGER || expected.storageClass == SQLITE_FLOAT) {
                    now.storageClass = expected.storageClass; // the text form is what must stay
                }
                if (now != expected) {
                    changed << QStringLiteral("%1, %2: %3 became %4")
                                   .arg(name, columnNames()[c + firstTextColumn], describe(expected), describe(now));
                }
            }
        }
        QCOMPARE(changed, QStringList());

        QStringList misstored;
        for (const exactvalues::Value& value : values) {
            if (value.text.isEmpty()) {
                continue; // the three required fields must not be empty
            }
            const QString problem =
                exactvalues::registerPasted(mainWindow, QStringList(columnCount - firstTextColumn, value.text));
            QVERIFY2(problem.isEmpty(), qPrintable(QString::fromUtf8(value.name) + QStringLiteral(": ") + problem));
            const QList<Cell> stored = storedCells(db).last();
            for (int c = firstTextColumn; c < columnCount; ++c) {
                const Cell expected{SQLITE_TEXT, exactvalues::pastedInto(
                                                     EntryForm::fields()[static_cast<std::size_t>(c)].kind, value.text)
                                                     .toUtf8()};
                if (stored[c - firstTextColumn] != expected) {
                    misstored << QStringLiteral("%1, %2: %3 stored as %4")
                                     .arg(QString::fromUtf8(value.name), columnNames()[c], describe(expected),
                                          describe(stored[c - firstTextColumn]));
                }
            }
        }
        QCOMPARE(misstored, QStringList());
        QCOMPARE(boxes.texts(), QStringList());
    }
};

QTEST_MAIN(TestExactValues)
#include "test_exact_values.moc"
