#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "support/ServerDatabase.h"
#include "support/TestDatabase.h"

#include "EngineDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList withFirst(const QString& first) {
    QStringList v(columnCount - 1);
    v[0] = first;
    return v;
}

// Reads every row the way the windows do: 编号 as text, then the 21 text columns by name.
QList<QStringList> readAll(RecordStore& store, const QString& statement) {
    QList<QStringList> rows;
    const RecordStore::Handle h = store.query(statement);
    store.toFirst(h);
    while (!store.isPastEnd(h)) {
        QStringList row;
        for (const QString& name : columnNames()) {
            row << store.readText(h, name);
        }
        rows << row;
        store.toNext(h);
    }
    store.closeRecordset(h);
    return rows;
}

QStringList numbers(const QList<QStringList>& rows) {
    QStringList out;
    for (const QStringList& r : rows) {
        out << r.value(0);
    }
    return out;
}

// A data row named after its engine and case, with the engine as its first value.
QTestData& row(Engine engine, const char* name) {
    return QTest::addRow("%s: %s", engineName(engine), name) << engine;
}

// One row for each engine: the test runs on an SQLite file and on the PostgreSQL server alike.
void engineRows() {
    QTest::addColumn<Engine>("engine");
    for (const Engine engine : allEngines) {
        QTest::newRow(engineName(engine)) << engine;
    }
}

} // namespace

// A fresh database of the row's engine in db, or the test skips when that engine is not reachable here.
#define FRESH_DATABASE(db)                                                                                             \
    QFETCH(Engine, engine);                                                                                            \
    const std::unique_ptr<EngineDatabase> db = freshDatabase(engine);                                                  \
    if (!db) {                                                                                                         \
        QSKIP(unavailableReason(engine));                                                                              \
    }

// For the cases that only an SQLite file has.
#define FILE_ENGINE_ONLY()                                                                                             \
    if (!engineWanted(Engine::File)) {                                                                                 \
        QSKIP(unavailableReason(Engine::File));                                                                        \
    }

class TestRecordStore : public QObject {
    Q_OBJECT

private slots:
    void awkwardValuesRoundTrip_data() {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("value");
        for (const Engine engine : allEngines) {
            row(engine, "single quote") << QStringLiteral("O'Neil's '' case");
            row(engine, "double quote") << QStringLiteral("say \"hi\"");
            row(engine, "brackets") << QStringLiteral("[日期],[x]");
            row(engine, "wildcards") << QStringLiteral("100% _done_");
            row(engine, "backslash") << QStringLiteral("C:\\data\\x");
            row(engine, "line break") << QStringLiteral("第一行\r\n第二行\n");
            row(engine, "non-BMP") << QStringLiteral("𠮷䶮龘");
            row(engine, "empty") << QString();
            row(engine, "blanks") << QStringLiteral("   ");
            row(engine, "long") << QString(100000, QChar(0x4E2D));
            row(engine, "long non-BMP") << QString(100000, QChar(0x4E2D)) + QStringLiteral("𠮷");
            row(engine, "statement") << QStringLiteral("x'); delete from 信访数据; --");
            row(engine, "ODBC escape") << QStringLiteral("{fn UCASE('a')} {d '2012-12-04'} ?");
        }
    }
    void awkwardValuesRoundTrip() {
        QFETCH(QString, value);
        FRESH_DATABASE(db);
        RecordStore store;
        QVERIFY(db->open(store));
        QStringList values(columnCount - 1, QStringLiteral("v"));
        values[0] = value;
        values[20] = value;
        QCOMPARE(store.execute(statements::insert(values)), 1);
        QCOMPARE(db->row(1), values);

        const QList<QStringList> rows = readAll(store, statements::selectAll());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(1), values);

        if (!value.isEmpty()) {
            // SQLite refuses LIKE patterns over 50,000 bytes, so a long value is searched by its start.
            QCOMPARE(numbers(readAll(store, statements::search(value.left(100)))), QStringList{QStringLiteral("1")});
        }
        values[0] = value + value;
        QCOMPARE(store.execute(statements::update(values, QStringLiteral("1"))), 1);
        QCOMPARE(db->row(1), values);
        QCOMPARE(db->count(), 1);
    }

    void nullAndEmptyReadAsEmptyText_data() { engineRows(); }
    void nullAndEmptyReadAsEmptyText() {
        FRESH_DATABASE(db);
        db->exec(QStringLiteral("INSERT INTO 信访数据 (日期, 备注) VALUES (NULL, '')"));
        RecordStore store;
        QVERIFY(db->open(store));
        const auto rows = readAll(store, statements::selectAll());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0], QStringList{QStringLiteral("1")} + QStringList(21));
        const RecordStore::Handle h = store.query(statements::selectAll());
        QVERIFY(store.readField(h, QStringLiteral("日期")).isNull);
        QVERIFY(!store.readField(h, QStringLiteral("备注")).isNull);
        QCOMPARE(store.readField(h, QStringLiteral("编号")).toInteger(), 1);
        QCOMPARE(store.readText(h, QStringLiteral("no such column")), QString());
    }

    // SQLite's LIKE is what the clerk knows: ASCII letters match without regard to case, every other
    // character only itself, % and _ are wildcards and nothing escapes them. The server must answer alike.
    void keywordMatching_data() {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QStringList>("expected");
        for (const Engine engine : allEngines) {
            row(engine, "1 in 编号") << "1" << QStringList{"1", "10", "21"};
            row(engine, "percent") << "%" << QStringList{"1", "2", "5", "10", "21", "33"};
            row(engine, "underscore") << "_" << QStringList{"1", "2", "5", "10", "21", "33"};
            row(engine, "text column") << "张三" << QStringList{"5"};
            row(engine, "ascii case ignored") << "abc" << QStringList{"2"};
            row(engine, "single quote") << "O'N" << QStringList{"10"};
            row(engine, "nothing") << "没有" << QStringList{};
            row(engine, "blanks") << "   " << QStringList{};
            row(engine, "backslash is no escape") << "\\" << QStringList{"33"};
            row(engine, "backslash before a letter") << "C:\\ä" << QStringList{"33"};
            row(engine, "non-ASCII case kept") << "Ä" << QStringList{};
            row(engine, "ASCII folded beside other letters") << "c:\\ä" << QStringList{"33"};
        }
    }
    void keywordMatching() {
        QFETCH(QString, keyword);
        QFETCH(QStringList, expected);
        FRESH_DATABASE(db);
        db->insert(withFirst(QStringLiteral("x")), 1);
        db->insert(withFirst(QStringLiteral("ABC")), 2);
        db->insert(withFirst(QStringLiteral("张三")), 5);
        db->insert(withFirst(QStringLiteral("O'Neil")), 10);
        db->insert(withFirst(QStringLiteral("y")), 21);
        db->insert(withFirst(QStringLiteral("C:\\ärger")), 33);
        RecordStore store;
        QVERIFY(db->open(store));
        QCOMPARE(numbers(readAll(store, statements::search(keyword))), expected);
        QCOMPARE(numbers(readAll(store, statements::searchNumbers(keyword))), expected);
    }

    // The list reads the cells of the rows it shows by their numbers: those rows whole, and no other.
    void rowsByTheirNumbers_data() { engineRows(); }
    void rowsByTheirNumbers() {
        FRESH_DATABASE(db);
        for (qint64 n : {1, 2, 5, 10}) {
            db->insert(withFirst(QStringLiteral("记录") + QString::number(n)), n);
        }
        RecordStore store;
        QVERIFY(db->open(store));
        const std::vector<qint32> asked = {10, 7, 1, -3, 10};
        const QList<QStringList> rows = readAll(store, statements::selectByNumbers(asked));
        QCOMPARE(numbers(rows), (QStringList{"1", "10"}));
        QCOMPARE(rows.value(1).value(1), QStringLiteral("记录10"));
        QCOMPARE(rows.value(1).mid(1), readAll(store, statements::selectAll()).value(3).mid(1));
        QVERIFY(statements::selectByNumbers({}).isEmpty());
    }

    void changesAddressExactlyTheNumberGiven_data() { engineRows(); }
    void changesAddressExactlyTheNumberGiven() {
        FRESH_DATABASE(db);
        for (qint64 n : {1, 2, 5}) {
            db->insert(withFirst(QString::number(n)), n);
        }
        RecordStore store;
        QVERIFY(db->open(store));
        QCOMPARE(numbers(readAll(store, statements::selectAll())), (QStringList{"1", "2", "5"}));
        QCOMPARE(store.execute(statements::update(withFirst(QStringLiteral("changed")), QStringLiteral("5"))), 1);
        QCOMPARE(db->row(5).value(0), QStringLiteral("changed"));
        QCOMPARE(db->row(2).value(0), QStringLiteral("2"));
        QCOMPARE(store.execute(statements::remove(QStringLiteral("2"))), 1);
        QCOMPARE(numbers(readAll(store, statements::selectAll())), (QStringList{"1", "5"}));
        // A record that no longer exists: the statement runs and changes nothing.
        qint64 changed = -1;
        QCOMPARE(store.execute(statements::remove(QStringLiteral("2")), &changed), 1);
        QCOMPARE(changed, 0);
        QCOMPARE(store.execute(statements::update(withFirst(QStringLiteral("again")), QStringLiteral("5")), &changed),
                 1);
        QCOMPARE(changed, 1);
        QCOMPARE(store.execute(statements::update(withFirst(QStringLiteral("z")), QStringLiteral("3"))), 1);
        QCOMPARE(db->count(), 2);
        // A failing statement reports 0 and keeps the driver's reason.
        QCOMPARE(store.execute(QStringLiteral("update nosuchtable set a=1")), 0);
        QVERIFY(!store.lastDiagnostic().message.isEmpty());
        QCOMPARE(store.execute(QString()), 0);
    }

    // A registration's number names its paper file for good: deleting the newest registration must not
    // hand its number to the next one.
    void numbersAreNeverReused_data() { engineRows(); }
    void numbersAreNeverReused() {
        FRESH_DATABASE(db);
        RecordStore store;
        QVERIFY(db->open(store));
        for (const char* name : {"甲", "乙", "丙"}) {
            QCOMPARE(store.execute(statements::insert(withFirst(QString::fromUtf8(name)))), 1);
        }
        QCOMPARE(store.execute(statements::remove(QStringLiteral("3"))), 1);
        QCOMPARE(store.execute(statements::insert(withFirst(QStringLiteral("丁")))), 1);
        QCOMPARE(numbers(readAll(store, statements::selectAll())), (QStringList{"1", "2", "4"}));
        QCOMPARE(store.execute(statements::remove(QStringLiteral("1"))), 1);
        QCOMPARE(store.execute(statements::remove(QStringLiteral("2"))), 1);
        QCOMPARE(store.execute(statements::remove(QStringLiteral("4"))), 1);
        QCOMPARE(store.execute(statements::insert(withFirst(QStringLiteral("戊")))), 1);
        QCOMPARE(numbers(readAll(store, statements::selectAll())), QStringList{"5"});
        QCOMPARE(db->row(5).value(0), QStringLiteral("戊"));
    }

    // The list shows the register in the order of its numbers; a corrected record keeps its place rather
    // than moving to the end (where a server that stores the new version of a row puts it).
    void correctionsKeepTheirPlace_data() { engineRows(); }
    void correctionsKeepTheirPlace() {
        FRESH_DATABASE(db);
        for (qint64 n = 1; n <= 4; ++n) {
            db->insert(withFirst(QStringLiteral("记录") + QString::number(n)));
        }
        RecordStore store;
        QVERIFY(db->open(store));
        QCOMPARE(store.execute(statements::update(withFirst(QStringLiteral("改过 记录1")), QStringLiteral("1"))), 1);
        QCOMPARE(store.execute(statements::update(withFirst(QStringLiteral("改过 记录3")), QStringLiteral("3"))), 1);
        QCOMPARE(store.execute(statements::insert(withFirst(QStringLiteral("记录5")))), 1);
        QCOMPARE(numbers(readAll(store, statements::selectAll())), (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(numbers(readAll(store, statements::selectNumbers())), (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(numbers(readAll(store, statements::search(QStringLiteral("记录")))),
                 (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(numbers(readAll(store, statements::searchNumbers(QStringLiteral("改过")))), (QStringList{"1", "3"}));
        QCOMPARE(numbers(readAll(store, statements::search(QStringLiteral("改过")))), (QStringList{"1", "3"}));
    }

    // A table made by another tool may carry indexes; the numbers still come in the order of the rows.
    void numbersInTheOrderOfTheRowsWhateverTheIndexes() {
        FILE_ENGINE_ONLY();
        TestDatabase db;
        for (const char* name : {"丙", "甲", "丁", "乙"}) {
            db.insert(withFirst(QString::fromUtf8(name)));
        }
        db.exec(QStringLiteral("CREATE INDEX 按日期 ON 信访数据 (日期)"));
        db.exec(QStringLiteral("CREATE INDEX 按姓名 ON 信访数据 (来访人姓名, 日期)"));
        RecordStore store;
        QVERIFY(store.openDatabase(db.path()));
        const QStringList rows = numbers(readAll(store, statements::selectAll()));
        QCOMPARE(rows, (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(numbers(readAll(store, statements::selectNumbers())), rows);
    }

    void handles_data() { engineRows(); }
    void handles() {
        FRESH_DATABASE(db);
        db->insert(withFirst(QStringLiteral("a")));
        db->insert(withFirst(QStringLiteral("b")));
        RecordStore store;
        QVERIFY(db->open(store));

        for (RecordStore::Handle bogus : {0, 12345, -1}) {
            QVERIFY(store.isPastEnd(bogus));
            QCOMPARE(store.readText(bogus, QStringLiteral("日期")), QString());
            store.toFirst(bogus);
            store.toNext(bogus);
        }

        // Each recordset keeps its own position; toFirst goes back to the first row.
        const RecordStore::Handle a = store.query(statements::selectAll());
        const RecordStore::Handle b = store.query(statements::selectAll());
        QVERIFY(a != 0 && b != 0 && a != b);
        store.toNext(a);
        QCOMPARE(store.readText(a, QStringLiteral("日期")), QStringLiteral("b"));
        QCOMPARE(store.readText(b, QStringLiteral("日期")), QStringLiteral("a"));
        store.toFirst(a);
        QCOMPARE(store.readText(a, QStringLiteral("日期")), QStringLiteral("a"));
        store.toNext(a);
        store.toNext(a);
        QVERIFY(store.isPastEnd(a));
        store.toNext(a);
        QVERIFY(store.isPastEnd(a));
        store.closeRecordset(777); // unknown: nothing
        QCOMPARE(store.openRecordsetCount(), 2);
        store.closeRecordset(0); // every open recordset
        QCOMPARE(store.openRecordsetCount(), 0);
        QVERIFY(store.isPastEnd(b));

        // At most 30 at a time.
        QList<RecordStore::Handle> open;
        for (int i = 0; i < RecordStore::maxOpenRecordsets; ++i) {
            open << store.query(statements::selectAll());
            QVERIFY(open.last() != 0);
        }
        QCOMPARE(store.query(statements::selectAll()), 0);
        store.closeRecordset(open.takeLast());
        QVERIFY(store.query(statements::selectAll()) != 0);
        store.closeRecordset(0);

        QCOMPARE(store.query(QStringLiteral("select * from nosuchtable")), 0);
        QCOMPARE(store.query(QString()), 0);
        QCOMPARE(store.openRecordsetCount(), 0);
    }

    // A scoped recordset closes what it opened and nothing else: a failed query inside a read loop (a keyword
    // the store refuses) leaves the outer loop's rows alone.
    void scopedRecordsetClosesOnlyItsOwn_data() { engineRows(); }
    void scopedRecordsetClosesOnlyItsOwn() {
        FRESH_DATABASE(db);
        db->insert(withFirst(QStringLiteral("a")));
        db->insert(withFirst(QStringLiteral("b")));
        RecordStore store;
        QVERIFY(db->open(store));
        QStringList seen;
        {
            ScopedRecordset outer(store, statements::selectAll());
            QVERIFY(outer.isValid());
            for (outer.toFirst(); !outer.isPastEnd(); outer.toNext()) {
                seen << outer.readText(QStringLiteral("日期"));
                const ScopedRecordset failed(store, statements::search(QStringLiteral("x") + QChar(0)));
                QVERIFY(!failed.isValid());
                QVERIFY(failed.isPastEnd());
                const ScopedRecordset inner(store, statements::selectAll());
                QVERIFY(inner.isValid());
                QCOMPARE(store.openRecordsetCount(), 2);
            }
            QCOMPARE(store.openRecordsetCount(), 1);
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(store.openRecordsetCount(), 0);
    }

    void emptyTable_data() { engineRows(); }
    void emptyTable() {
        FRESH_DATABASE(db);
        RecordStore store;
        QVERIFY(db->open(store));
        const RecordStore::Handle h = store.query(statements::selectAll());
        QVERIFY(h != 0);
        QVERIFY(store.isPastEnd(h));
        store.closeRecordset(h);
        QCOMPARE(store.openRecordsetCount(), 0);
    }

    void filesThatCannotBeOpened_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("random bytes") << QByteArray("\x13\x88\xfe garbage that is no database", 32) << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("text") << QByteArray("hello, world\n") << true;
    }
    void filesThatCannotBeOpened() {
        FILE_ENGINE_ONLY();
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("xinfang.mdb"));
        if (exists) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        RecordStore store;
        QVERIFY(!store.openDatabase(path));
        QVERIFY(!store.isOpen());
        QCOMPARE(QFile::exists(path), exists);
        QCOMPARE(store.query(statements::selectAll()), 0);
        QCOMPARE(store.execute(statements::remove(QStringLiteral("1"))), 0);
    }

    void connectionStrings() {
        FILE_ENGINE_ONLY();
        QCOMPARE(RecordStore::connectionStringFor(QStringLiteral("D:\\data\\xinfang.mdb")),
                 QStringLiteral("ODBC;DBQ=D:\\data\\xinfang.mdb;DefaultDir=D:\\data;Driver={Microsoft Access Driver "
                                "(*.mdb)};FIL=MS Access;"));
        TestDatabase db;
        QCOMPARE(RecordStore::connectionStringFor(db.path()),
                 QStringLiteral("Driver={SQLite3};Database=file:") + db.path() +
                     QStringLiteral("?mode=rw;NoCreat=1;Timeout=7000;StepAPI=1;SyncPragma=FULL;"));
    }

    // The PostgreSQL driver leaves a log file for every connection unless told not to; a connection string
    // that says nothing about logging gets it turned off, one that does is followed.
    void driverLogsOff_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("used");
        QTest::newRow("silent") << "Driver={PostgreSQL ANSI};Servername=db"
                                << "Driver={PostgreSQL ANSI};Servername=db;CommLog=0;Debug=0;";
        QTest::newRow("ends with ;") << "DSN=x;"
                                     << "DSN=x;CommLog=0;Debug=0;";
        QTest::newRow("logs asked for") << "DSN=x; commlog = 1 ;DEBUG=1"
                                        << "DSN=x; commlog = 1 ;DEBUG=1;";
        QTest::newRow("short names") << "DSN=x;B3=1;B2=0;"
                                     << "DSN=x;B3=1;B2=0;";
        QTest::newRow("inside braces is no key") << "DSN=x;ConnSettings={SET a=1;CommLog=1};"
                                                 << "DSN=x;ConnSettings={SET a=1;CommLog=1};CommLog=0;Debug=0;";
    }
    void driverLogsOff() {
        QFETCH(QString, given);
        QFETCH(QString, used);
        QCOMPARE(RecordStore::withDriverLogsOff(given), used);
    }
    void serverConnectionLeavesNoLog() {
        if (!ServerDatabase::available()) {
            QSKIP(ServerDatabase::unavailableReason);
        }
        ServerDatabase db;
        QStringList parts;
        for (const auto& [key, value] : ServerDatabase::parseConnectionString(db.connectionString())) {
            if (key.compare(QLatin1String("CommLog"), Qt::CaseInsensitive) != 0 &&
                key.compare(QLatin1String("Debug"), Qt::CaseInsensitive) != 0) {
                parts << key + QLatin1Char('=') + value;
            }
        }
        const QRegularExpression ours(
            QStringLiteral("^psqlodbc_.*\\D%1\\.log$").arg(QCoreApplication::applicationPid()));
        const auto logs = [&] {
            return QDir::temp().entryList({QStringLiteral("psqlodbc_*")}, QDir::Files).filter(ours);
        };
        const QStringList before = logs();
        RecordStore store;
        QVERIFY(store.openConnectionString(parts.join(QLatin1Char(';'))));
        QCOMPARE(readAll(store, statements::selectAll()).size(), 0);
        QCOMPARE(logs(), before);
    }

    // A damaged file says so at open instead of showing an empty table as if the records were lost; the
    // file stays as it was.
    void damagedFilesFailAtOpen_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("opens");
        QTest::newRow("sound") << "" << true;
        QTest::newRow("sound, without the table") << "drop table" << true;
        QTest::newRow("cut at a page boundary") << "cut to half" << false;
        QTest::newRow("cut inside the last page") << "cut 100 bytes" << false;
        QTest::newRow("cut inside the first page") << "cut to 1000 bytes" << false;
        QTest::newRow("bytes appended") << "append" << false;
        QTest::newRow("schema page wiped") << "wipe schema" << false;
    }
    void damagedFilesFailAtOpen() {
        FILE_ENGINE_ONLY();
        QFETCH(QString, damage);
        QFETCH(bool, opens);
        TestDatabase db;
        // 200 rows of 200 characters: a file of many pages.
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                               "INSERT INTO 信访数据 (日期) SELECT replace(hex(zeroblob(200)), '00', '字') FROM n"));
        if (damage == QLatin1String("drop table")) {
            db.exec(QStringLiteral("DROP TABLE 信访数据"));
        }
        QFile file(db.path());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        const qint64 pageSize = 4096;
        QVERIFY(size > 8 * pageSize && size % pageSize == 0);
        if (damage == QLatin1String("cut to half")) {
            QVERIFY(file.resize(size / pageSize / 2 * pageSize));
        } else if (damage == QLatin1String("cut 100 bytes")) {
            QVERIFY(file.resize(size - 100));
        } else if (damage == QLatin1String("cut to 1000 bytes")) {
            QVERIFY(file.resize(1000));
        } else if (damage == QLatin1String("append")) {
            QVERIFY(file.seek(size));
            file.write(QByteArray(pageSize, 'x'));
        } else if (damage == QLatin1String("wipe schema")) {
            QVERIFY(file.seek(100));
            file.write(QByteArray(pageSize - 100, '\0'));
        }
        file.close();
        const QByteArray before = [&] {
            QFile f(db.path());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        {
            RecordStore store;
            QCOMPARE(store.openDatabase(db.path()), opens);
            QCOMPARE(store.isOpen(), opens);
            if (opens && damage.isEmpty()) {
                QCOMPARE(readAll(store, statements::selectAll()).size(), 200);
            } else if (opens) {
                QCOMPARE(store.query(statements::selectAll()), 0);
            }
        }
        QFile after(db.path());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QVERIFY(after.readAll() == before);
        QCOMPARE(QDir(db.directory()).entryList(QDir::Files), QStringList{QStringLiteral("xinfang.mdb")});
    }

    // The driver takes the database's path up to the first ";" and knows no braces: a folder named so must
    // still open its own file, and nothing may be created anywhere.
    void anyFolderName_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("semicolon") << "办公室;2号";
        QTest::newRow("closing brace") << "a}b";
        QTest::newRow("braces and equals") << "{x=y}";
        QTest::newRow("percent, hash, question mark, blanks") << "100% #1 ?x";
        QTest::newRow("all of them") << " ;}{=%#? ";
        QTest::newRow("looks encoded") << "a%3Bb";
    }
    void anyFolderName() {
        FILE_ENGINE_ONLY();
        QFETCH(QString, folder);
        QTemporaryDir parent;
        const QString dir = parent.filePath(folder) + QStringLiteral("/inner;x");
        QVERIFY(QDir().mkpath(dir));
        TestDatabase db;
        db.insert(withFirst(QStringLiteral("here")));
        QVERIFY(QFile::copy(db.path(), dir + QStringLiteral("/xinfang.mdb")));
        const auto everything = [&] {
            QStringList files;
            QDirIterator it(parent.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                files << it.next();
            }
            files.sort();
            return files + QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        const QStringList before = everything();
        {
            RecordStore store;
            QVERIFY2(store.openDatabase(dir + QStringLiteral("/xinfang.mdb")),
                     qPrintable(store.lastDiagnostic().message));
            QCOMPARE(readAll(store, statements::selectAll()).value(0).value(1), QStringLiteral("here"));
            QCOMPARE(store.execute(statements::insert(withFirst(QStringLiteral("路径")))), 1);
            QCOMPARE(readAll(store, statements::selectAll()).value(1).value(1), QStringLiteral("路径"));
        }
        QCOMPARE(everything(), before);
        // A file that has vanished since its kind was told: the driver must not make it anew.
        const QString vanishing = dir + QStringLiteral("/xinfang.mdb");
        const QString connection = RecordStore::connectionStringFor(vanishing);
        QVERIFY(QFile::remove(vanishing));
        RecordStore store;
        QVERIFY(!store.openConnectionString(connection));
        QCOMPARE(everything(), QStringList(before).filter(QRegularExpression(QStringLiteral("^(?!.*xinfang\\.mdb$)"))));
    }

    void chineseDirectory() {
        FILE_ENGINE_ONLY();
        QTemporaryDir parent;
        const QString dir = parent.filePath(QStringLiteral("信访 数据"));
        QVERIFY(QDir().mkpath(dir));
        TestDatabase db;
        QVERIFY(QFile::copy(db.path(), dir + QStringLiteral("/xinfang.mdb")));
        RecordStore store;
        QVERIFY(store.openDatabase(dir + QStringLiteral("/xinfang.mdb")));
        QCOMPARE(store.execute(statements::insert(withFirst(QStringLiteral("路径")))), 1);
        QCOMPARE(readAll(store, statements::selectAll()).value(0).value(1), QStringLiteral("路径"));
    }

    // Values of columns declared as another type come in the driver's text form of the value rather than
    // ending the program.
    void columnsOfOtherKindsReadAsText_data() {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("createTable");
        QTest::addColumn<QString>("insertRow");
        QTest::addColumn<QString>("bytes");
        QTest::newRow("sqlite") << Engine::File
                                << "CREATE TABLE 信访数据 (编号 INTEGER PRIMARY KEY, 日期 DATETIME, 来信来访 REAL, "
                                   "接访地点 INTEGER, 接访人 BLOB, 来访人数 VARCHAR(10))"
                                << "INSERT INTO 信访数据 VALUES (7, '2012-12-04 07:40:07', 2.5, 42, x'00ff', '3')"
                                << "X'00FF'";
        QTest::newRow("postgresql")
            << Engine::Server
            << "CREATE TABLE 信访数据 (编号 integer PRIMARY KEY, 日期 timestamp, 来信来访 real, "
               "接访地点 integer, 接访人 bytea, 来访人数 varchar(10))"
            << "INSERT INTO 信访数据 VALUES (7, '2012-12-04 07:40:07', 2.5, 42, '\\x00ff', '3')"
            << "00ff";
    }
    void columnsOfOtherKindsReadAsText() {
        QFETCH(QString, createTable);
        QFETCH(QString, insertRow);
        QFETCH(QString, bytes);
        FRESH_DATABASE(db);
        db->recreate(createTable);
        db->exec(insertRow);
        RecordStore store;
        QVERIFY(db->open(store));
        const RecordStore::Handle h = store.query(statements::selectAll());
        QCOMPARE(store.readText(h, QStringLiteral("编号")), QStringLiteral("7"));
        QCOMPARE(store.readText(h, QStringLiteral("日期")), QStringLiteral("2012-12-04 07:40:07"));
        QCOMPARE(store.readText(h, QStringLiteral("来信来访")), QStringLiteral("2.5"));
        QCOMPARE(store.readText(h, QStringLiteral("接访地点")), QStringLiteral("42"));
        QCOMPARE(store.readText(h, QStringLiteral("接访人")), bytes);
        QCOMPARE(store.readText(h, QStringLiteral("来访人数")), QStringLiteral("3"));
        QCOMPARE(store.readText(h, QStringLiteral("来仿人民族")), QString());
    }

    // SQLite's declared types are only affinities: an office's table may keep plain text in columns declared
    // as dates, numbers, flags or bytes. Such text reads back exactly as it is stored, whatever the type.
    void textInColumnsOfAnyDeclaredType_data() {
        QTest::addColumn<QString>("declared");
        for (const char* type : {"TEXT", "VARCHAR(255)", "DATE", "DATETIME", "INT", "BIT", "REAL", "BLOB", ""}) {
            QTest::newRow(*type != '\0' ? type : "no type") << QString::fromLatin1(type);
        }
    }
    void textInColumnsOfAnyDeclaredType() {
        FILE_ENGINE_ONLY();
        QFETCH(QString, declared);
        const QStringList values = {QStringLiteral("2012年12月4日"),
                                    QStringLiteral("3人"),
                                    QStringLiteral("是"),
                                    QStringLiteral("张三"),
                                    QStringLiteral("2012-12-04"),
                                    QStringLiteral("x\u00A0\u2028y\n\r\n\rz\t"),
                                    QStringLiteral(" 4 人 "),
                                    QStringLiteral("O'Neil \"𠮷\""),
                                    QString(100000, QChar(0x4E2D)),
                                    QStringLiteral("0x00"),
                                    QStringLiteral("yes"),
                                    QStringLiteral("")};
        TestDatabase db;
        db.recreate(QStringLiteral("CREATE TABLE 信访数据 (编号 INTEGER PRIMARY KEY, 日期 %1)").arg(declared));
        for (const QString& v : values) {
            // Text bound as text: SQLite keeps its storage class, whatever the column's affinity.
            db.exec(QStringLiteral("INSERT INTO 信访数据 (日期) VALUES (CAST(x'%1' AS TEXT))")
                        .arg(QString::fromLatin1(v.toUtf8().toHex())));
        }
        db.exec(QStringLiteral("INSERT INTO 信访数据 (日期) VALUES (NULL)"));
        RecordStore store;
        QVERIFY(store.openDatabase(db.path()));
        QStringList read;
        const RecordStore::Handle h = store.query(QStringLiteral("select 日期, typeof(日期) from 信访数据"));
        QVERIFY(h != 0);
        for (store.toFirst(h); !store.isPastEnd(h); store.toNext(h)) {
            read << store.readText(h, QStringLiteral("日期"));
            QCOMPARE(store.readText(h, QStringLiteral("typeof(日期)")),
                     read.size() <= values.size() ? QStringLiteral("text") : QStringLiteral("null"));
        }
        store.closeRecordset(h);
        QCOMPARE(read, values + QStringList{QString()});
    }

    // A table spelled with 访 in the two columns that the program spells with 仿.
    void misspelledColumns_data() { engineRows(); }
    void misspelledColumns() {
        FRESH_DATABASE(db);
        QString create = db->defaultCreateTable();
        create.replace(QStringLiteral("来仿人"), QStringLiteral("来访人"));
        db->recreate(create);
        db->exec(QStringLiteral("INSERT INTO 信访数据 (来访人民族, 日期) VALUES ('汉族', 'd')"));
        RecordStore store;
        QVERIFY(db->open(store));
        const auto rows = readAll(store, statements::selectAll());
        QCOMPARE(rows.value(0).value(1), QStringLiteral("d"));
        QCOMPARE(rows.value(0).value(8), QString());
        QCOMPARE(store.execute(statements::insert(withFirst(QStringLiteral("x")))), 0);
        QCOMPARE(store.query(statements::search(QStringLiteral("x"))), 0);
    }

    // Root ignores file modes, so the read-only case runs in a child process that drops to nobody.
    void readOnlyFile() {
        FILE_ENGINE_ONLY();
        TestDatabase db;
        db.insert(withFirst(QStringLiteral("kept")));
        QFile::setPermissions(db.directory(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                  QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                  QFileDevice::ExeGroup);
        QFile::setPermissions(db.path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(10);
            }
            RecordStore store;
            if (!store.openDatabase(db.path())) {
                _exit(11);
            }
            if (readAll(store, statements::selectAll()).size() != 1) {
                _exit(12);
            }
            if (store.execute(statements::insert(withFirst(QStringLiteral("x")))) != 0) {
                _exit(13);
            }
            if (store.execute(statements::remove(QStringLiteral("1"))) != 0) {
                _exit(14);
            }
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QFile::setPermissions(db.directory(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(db.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "test_record_store.moc"
