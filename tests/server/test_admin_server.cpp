// The provisioning tool's server commands, run as an office's administrator would run them: the real
// binary against a real PostgreSQL database, checked through libpq and through the store.

#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "support/AdminToolRun.h"
#include "support/ServerDatabase.h"
#include "support/TestDatabase.h"

#include <QProcess>
#include <QTest>

namespace {

QStringList listedNumbers(RecordStore& store, const QString& statement) {
    QStringList out;
    const RecordStore::Handle h = store.query(statement);
    while (!store.isPastEnd(h)) {
        out << store.readText(h, columnNames()[0]);
        store.toNext(h);
    }
    store.closeRecordset(h);
    return out;
}

} // namespace

class TestAdminServer : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!ServerDatabase::available()) {
            QSKIP(ServerDatabase::unavailableReason);
        }
    }

    void initServerMakesWhatTheProgramNeeds() {
        ServerDatabase db(ServerDatabase::Contents::Nothing);
        const AdminToolRun made = runAdmin({QStringLiteral("init-server"), db.connectionString()});
        QCOMPARE(made.exitCode, 0);
        QVERIFY2(made.out.contains(QStringLiteral("Created")), qPrintable(made.out + made.err));

        RecordStore store;
        QVERIFY(store.openConnectionString(db.connectionString()));
        QStringList values(columnCount - 1, QStringLiteral("x"));
        for (const char* name : {"Zhang", "李四", "王五"}) {
            values[5] = QString::fromUtf8(name);
            QCOMPARE(store.execute(statements::insert(values)), 1);
        }
        QCOMPARE(store.execute(statements::update(values, QStringLiteral("1"))), 1);
        QCOMPARE(store.execute(statements::remove(QStringLiteral("2"))), 1);
        QCOMPARE(listedNumbers(store, statements::selectAll()), (QStringList{"1", "3"}));
        QCOMPARE(listedNumbers(store, statements::search(QStringLiteral("王"))), (QStringList{"1", "3"}));
        QCOMPARE(listedNumbers(store, statements::search(QStringLiteral("3"))), QStringList{"3"});
        QCOMPARE(db.row(1).value(5), QStringLiteral("王五"));

        // 编号 belongs to the database: an insert that names it is refused.
        QCOMPARE(store.execute(QStringLiteral("insert into 信访数据 (编号, 日期) values (9, 'x')")), 0);

        // A second run leaves the office's data alone.
        const AdminToolRun again = runAdmin({QStringLiteral("init-server"), db.connectionString()});
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.out.contains(QStringLiteral("left unchanged")), qPrintable(again.out + again.err));
        QCOMPARE(db.count(), 2);
    }

    void demoServerAddsRegistrations() {
        ServerDatabase db;
        db.insert({QStringLiteral("已有")});
        const AdminToolRun added =
            runAdmin({QStringLiteral("demo-server"), db.connectionString(), QStringLiteral("250")});
        QCOMPARE(added.exitCode, 0);
        QVERIFY2(added.out.contains(QStringLiteral("编号 2 to 251")), qPrintable(added.out + added.err));
        QCOMPARE(db.count(), 251);
        // The same made-up registrations as in a file, Chinese text and all.
        TestDatabase file;
        QCOMPARE(runAdmin({QStringLiteral("demo"), file.directory(), QStringLiteral("250")}).exitCode, 0);
        for (const qint64 n : {1, 2, 125, 250}) {
            QCOMPARE(db.row(n + 1), file.row(n));
        }
        RecordStore store;
        QVERIFY(store.openConnectionString(db.connectionString()));
        QCOMPARE(listedNumbers(store, statements::selectAll()).size(), 251);
    }

    // An office that has its table already gets the desks' role without losing a registration; the role
    // may use the view and not the table behind it.
    void deskRoleOnAnExistingOffice_data() {
        QTest::addColumn<bool>("plainTable");
        QTest::newRow("made by init-server") << false;
        QTest::newRow("a plain table 信访数据, no LIKE functions") << true;
    }
    void deskRoleOnAnExistingOffice() {
        QFETCH(bool, plainTable);
        ServerRole desk;
        ServerDatabase db;
        if (plainTable) {
            db.recreate(ServerDatabase::defaultCreateTable());
        }
        db.insert({QStringLiteral("已有")});
        const AdminToolRun run = runAdmin(
            {QStringLiteral("init-server"), QStringLiteral("--desk-role"), desk.name(), db.connectionString()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("left unchanged")) && run.out.contains(desk.name()),
                 qPrintable(run.out + run.err));
        QCOMPARE(db.count(), 1);

        // The desk (on the socket, where the test server asks for no password) does its work on the rows.
        RecordStore store;
        QVERIFY2(store.openConnectionString(
                     ServerDatabase::withKeys(db.connectionString(), {{QStringLiteral("Username"), desk.name()}})),
                 qPrintable(store.lastDiagnostic().message));
        QStringList values(columnCount - 1, QStringLiteral("x"));
        QCOMPARE(store.execute(statements::insert(values)), 1);
        QCOMPARE(store.execute(statements::update(values, QStringLiteral("1"))), 1);
        QCOMPARE(store.execute(statements::remove(QStringLiteral("2"))), 1);
        QCOMPARE(listedNumbers(store, statements::selectAll()), QStringList{"1"});
        QCOMPARE(db.row(1).value(0), QStringLiteral("x"));
        if (!plainTable) {
            QCOMPARE(listedNumbers(store, statements::search(QStringLiteral("X"))), QStringList{"1"});
            QCOMPARE(store.query(QStringLiteral("select * from 信访登记")), 0);
        }
        QCOMPARE(store.execute(QStringLiteral("create temporary table t (a int)")), 0);
    }

    // A role that could do more than a desk's work is refused, and the database is left as it was.
    void deskRoleRefusals_data() {
        QTest::addColumn<QString>("role"); // "fresh", "owner", "missing" or a name taken as it is
        QTest::addColumn<QString>("attributes");
        QTest::addColumn<QString>("setUp"); // statements run first, "; " between: %1 the desks' role, %2 the owner
        QTest::addColumn<QString>("message");
        QTest::newRow("no such role") << "missing"
                                      << ""
                                      << ""
                                      << "createuser --pwprompt xinfang_no_such_role";
        QTest::newRow("not a plain name") << "desk;drop"
                                          << ""
                                          << ""
                                          << "not plain";
        QTest::newRow("a superuser") << "fresh"
                                     << "SUPERUSER"
                                     << ""
                                     << "superuser";
        QTest::newRow("may create databases") << "fresh"
                                              << "CREATEDB"
                                              << ""
                                              << "create databases";
        QTest::newRow("may create roles") << "fresh"
                                          << "CREATEROLE"
                                          << ""
                                          << "create databases or roles";
        QTest::newRow("the owner itself") << "owner"
                                          << ""
                                          << ""
                                          << "owns the database";
        QTest::newRow("a member of the owner") << "fresh"
                                               << ""
                                               << "GRANT %2 TO %1"
                                               << "owns the database";
        QTest::newRow("a table everyone may read") << "fresh"
                                                   << ""
                                                   << "CREATE TABLE 职员 (a int); GRANT SELECT ON 职员 TO PUBLIC"
                                                   << "use the tables \"职员\"";
        QTest::newRow("owner of a table") << "fresh"
                                          << ""
                                          << "CREATE TABLE 自有 (a int); ALTER TABLE 自有 OWNER TO %1"
                                          << "alter or drop \"自有\"";
    }
    void deskRoleRefusals() {
        QFETCH(QString, role);
        QFETCH(QString, attributes);
        QFETCH(QString, setUp);
        QFETCH(QString, message);
        ServerRole owner;
        ServerRole desk(attributes);
        ServerDatabase db(ServerDatabase::Contents::Nothing);
        db.exec(QStringLiteral("ALTER DATABASE %1 OWNER TO %2").arg(db.name(), owner.name()));
        setUp.replace(QLatin1String("%1"), desk.name()).replace(QLatin1String("%2"), owner.name());
        for (const QString& statement : setUp.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
            db.exec(statement);
        }
        const QString named = role == QLatin1String("fresh")     ? desk.name()
                              : role == QLatin1String("owner")   ? owner.name()
                              : role == QLatin1String("missing") ? QStringLiteral("xinfang_no_such_role")
                                                                 : role;
        const QString asOwner =
            ServerDatabase::withKeys(db.connectionString(), {{QStringLiteral("Username"), owner.name()}});
        const AdminToolRun run =
            runAdmin({QStringLiteral("init-server"), asOwner, QStringLiteral("--desk-role"), named});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(db.value(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(tableName())), QStringLiteral("t"));
        QCOMPARE(db.value(QStringLiteral("SELECT datacl IS NULL FROM pg_database WHERE datname = current_database()")),
                 QStringLiteral("t"));
    }

    void refusals_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("withSchema");
        QTest::addColumn<QString>("message");
        QTest::newRow("demo before init") << "demo-server"
                                          << "UTF8" << false << "init-server";
        QTest::newRow("database not UTF-8") << "init-server"
                                            << "SQL_ASCII" << false << "UTF8";
        QTest::newRow("demo on a database not UTF-8") << "demo-server"
                                                      << "SQL_ASCII" << false << "UTF8";
    }
    void refusals() {
        QFETCH(QString, command);
        QFETCH(QString, encoding);
        QFETCH(QString, message);
        ServerDatabase db(ServerDatabase::Contents::Nothing, encoding);
        QStringList arguments = {command, db.connectionString()};
        if (command == QLatin1String("demo-server")) {
            arguments << QStringLiteral("5");
        }
        const AdminToolRun run = runAdmin(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        db.exec(QStringLiteral("SELECT 1")); // still reachable: the tool has let go of it
    }

    void unreachableServer() {
        const AdminToolRun run =
            runAdmin({QStringLiteral("init-server"),
                      QStringLiteral("Driver={PostgreSQL ANSI};Servername=/nonexistent;Port=1;Database=x;")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("cannot connect")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestAdminServer)
#include "test_admin_server.moc"
