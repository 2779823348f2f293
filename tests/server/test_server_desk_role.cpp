// The desks of an office as its README sets them up on a shared server: a role of their own that may do
// a desk's work and nothing more, reached over TLS only, its password in a password file instead of in
// set.ini. The office is made once, by the real provisioning tool run as the database's owner.

#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "support/AdminToolRun.h"
#include "support/ServerDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int nameColumn = 6; // 来访人姓名

QStringList registration(const QString& name) {
    QStringList values(columnCount - 1, QStringLiteral("加密登记"));
    values[nameColumn - 1] = name;
    return values;
}

// 编号 and name of every row a statement lists.
QStringList listed(RecordStore& store, const QString& statement) {
    QStringList rows;
    const RecordStore::Handle h = store.query(statement);
    while (!store.isPastEnd(h)) {
        rows << store.readText(h, columnNames()[0]) + QLatin1Char(' ') + store.readText(h, columnNames()[nameColumn]);
        store.toNext(h);
    }
    store.closeRecordset(h);
    return rows;
}

// Whether the store's connection runs over TLS, as the server sees it.
bool encrypted(RecordStore& store) {
    const RecordStore::Handle h =
        store.query(QStringLiteral("select ssl from pg_stat_ssl where pid = pg_backend_pid()"));
    const QString ssl = store.readText(h, QStringLiteral("ssl"));
    store.closeRecordset(h);
    return ssl == QLatin1String("1") || ssl.startsWith(QLatin1Char('t'), Qt::CaseInsensitive);
}

// Sets an environment variable for the life of the object, as a desk's account would have it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QString& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_previous(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnvironment() {
        if (m_had) {
            qputenv(m_name, m_previous);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_previous;
};

bool writeFile(const QString& path, const QByteArray& content, QFileDevice::Permissions permissions) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size() &&
           file.setPermissions(permissions);
}

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

class TestServerDeskRole : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!ServerDatabase::available() || qEnvironmentVariableIsEmpty("XINFANG_TEST_PG_TLS_PORT")) {
            QSKIP("needs the test server of scripts/test-server.sh, which also serves TLS");
        }
        QVERIFY(m_home.isValid());
        m_owner = std::make_unique<ServerRole>();
        m_desk = std::make_unique<ServerRole>();
        m_db = std::make_unique<ServerDatabase>(ServerDatabase::Contents::Nothing);
        // The office's administrator hands over an empty database owned by the role that runs the tool,
        // which has also kept a table of its own there.
        m_db->exec(QStringLiteral("ALTER DATABASE %1 OWNER TO %2").arg(m_db->name(), m_owner->name()));
        m_db->exec(QStringLiteral("CREATE TABLE 职员 (姓名 varchar)"));
        m_db->exec(QStringLiteral("INSERT INTO 职员 VALUES ('管理员')"));
        m_db->exec(QStringLiteral("ALTER TABLE 职员 OWNER TO %1").arg(m_owner->name()));
        const QString asOwner =
            ServerDatabase::withKeys(m_db->connectionString(), {{QStringLiteral("Username"), m_owner->name()}});
        const AdminToolRun made =
            runAdmin({QStringLiteral("init-server"), asOwner, QStringLiteral("--desk-role"), m_desk->name()});
        QVERIFY2(made.exitCode == 0, qPrintable(made.out + made.err));

        // The desk's account: its password file and the server's certificate, where libpq looks for them.
        m_passwordFile = m_home.filePath(QStringLiteral("pgpass"));
        QVERIFY(writeFile(m_passwordFile, passwordLine(m_desk->password()), ownerOnly));
        m_passwordFileSetting = std::make_unique<ScopedEnvironment>("PGPASSFILE", m_passwordFile);
        m_rootCertificate =
            std::make_unique<ScopedEnvironment>("PGSSLROOTCERT", qEnvironmentVariable("XINFANG_TEST_PG_ROOT_CERT"));
    }

    void cleanupTestCase() {
        m_db.reset(); // before the roles, which cannot be dropped while they hold rights on it
        m_desk.reset();
        m_owner.reset();
        m_passwordFileSetting.reset();
        m_rootCertificate.reset();
    }

    void deskDoesItsWork() {
        RecordStore store;
        QVERIFY2(store.openConnectionString(deskConnection()), qPrintable(store.lastDiagnostic().message));
        QVERIFY(encrypted(store));
        for (const char* name : {"张三", "李四", "Wang Wu"}) {
            QCOMPARE(store.execute(statements::insert(registration(QString::fromUtf8(name)))), 1);
        }
        const QStringList all = listed(store, statements::selectAll());
        QCOMPARE(all.size(), 3);
        const QString first = all[0].section(QLatin1Char(' '), 0, 0);
        const QString second = all[1].section(QLatin1Char(' '), 0, 0);
        const QString third = all[2].section(QLatin1Char(' '), 0, 0);
        QCOMPARE(store.execute(statements::update(registration(QStringLiteral("张三丰")), first)), 1);
        QCOMPARE(store.execute(statements::remove(second)), 1);
        QCOMPARE(listed(store, statements::selectAll()),
                 (QStringList{first + QStringLiteral(" 张三丰"), third + QStringLiteral(" Wang Wu")}));
        QCOMPARE(listed(store, statements::search(QStringLiteral("wang"))),
                 QStringList{third + QStringLiteral(" Wang Wu")});
        QCOMPARE(listed(store, statements::search(QStringLiteral("张"))),
                 QStringList{first + QStringLiteral(" 张三丰")});
        QCOMPARE(m_db->row(first.toLongLong()).value(nameColumn - 1), QStringLiteral("张三丰"));
        QCOMPARE(m_db->count(), 2);
    }

    void deskIsRefusedTheRest_data() {
        QTest::addColumn<QString>("statement");
        QTest::newRow("create a table") << "create table 名单 (姓名 varchar)";
        QTest::newRow("create a temporary table") << "create temporary table 名单 (姓名 varchar)";
        QTest::newRow("create a schema") << "create schema 别处";
        QTest::newRow("create a function") << "create function 一() returns int language sql as 'select 1'";
        QTest::newRow("create a database") << "create database 别的";
        QTest::newRow("drop the view") << "drop view 信访数据";
        QTest::newRow("rename the view") << "alter view 信访数据 rename to 别名";
        QTest::newRow("alter the table") << "alter table 信访登记 add column 附件 varchar";
        QTest::newRow("drop the table") << "drop table 信访登记";
        QTest::newRow("empty the table") << "truncate 信访登记";
        QTest::newRow("write the table behind the view") << "update 信访登记 set 备注 = ''";
        QTest::newRow("read the table behind the view") << "select * from 信访登记";
        QTest::newRow("read another table") << "select * from 职员";
        QTest::newRow("write another table") << "insert into 职员 values ('冒名')";
        QTest::newRow("give itself more") << "alter role current_user createdb";
    }
    void deskIsRefusedTheRest() {
        QFETCH(QString, statement);
        RecordStore store;
        QVERIFY2(store.openConnectionString(deskConnection()), qPrintable(store.lastDiagnostic().message));
        const qint64 before = m_db->count();
        if (statement.startsWith(QLatin1String("select"))) {
            QCOMPARE(store.query(statement), 0);
        } else {
            QCOMPARE(store.execute(statement), 0);
        }
        const QString reason = store.lastDiagnostic().message;
        QVERIFY2(reason.contains(QLatin1String("permission denied")) || reason.contains(QLatin1String("must be owner")),
                 qPrintable(reason));
        // Everything is as it was.
        QCOMPARE(m_db->count(), before);
        QCOMPARE(m_db->value(QStringLiteral("SELECT string_agg(姓名, ',') FROM 职员")), QStringLiteral("管理员"));
        QCOMPARE(m_db->value(QStringLiteral("SELECT count(*) FROM pg_class WHERE relname IN ('名单', '别名')")),
                 QStringLiteral("0"));
        QCOMPARE(
            m_db->value(QStringLiteral("SELECT rolcreatedb FROM pg_roles WHERE rolname = '%1'").arg(m_desk->name())),
            QStringLiteral("f"));
    }

    void onlyTls_data() {
        QTest::addColumn<QString>("sslMode");
        QTest::addColumn<bool>("withRootCertificate");
        QTest::addColumn<QString>("refusal"); // empty: connects, encrypted
        QTest::newRow("verify-full") << "verify-full" << true << "";
        QTest::newRow("require") << "require" << true << "";
        QTest::newRow("no TLS") << "disable" << true << "no encryption";
        // Without the server's certificate, verify-full cannot tell the server from an impostor.
        QTest::newRow("verify-full without root.crt") << "verify-full" << false << "root certificate";
    }
    void onlyTls() {
        QFETCH(QString, sslMode);
        QFETCH(bool, withRootCertificate);
        QFETCH(QString, refusal);
        ScopedEnvironment rootCertificate("PGSSLROOTCERT", withRootCertificate
                                                               ? qEnvironmentVariable("XINFANG_TEST_PG_ROOT_CERT")
                                                               : m_home.filePath(QStringLiteral("none.crt")));
        RecordStore store;
        const bool opened = store.openConnectionString(deskConnection(sslMode));
        if (refusal.isEmpty()) {
            QVERIFY2(opened, qPrintable(store.lastDiagnostic().message));
            QVERIFY(encrypted(store));
        } else {
            QVERIFY(!opened);
            QVERIFY2(store.lastDiagnostic().message.contains(refusal), qPrintable(store.lastDiagnostic().message));
        }
    }

    void passwordFromTheFile_data() {
        QTest::addColumn<QString>("password"); // empty: no password file at all
        QTest::addColumn<bool>("privateFile");
        QTest::addColumn<QString>("refusal"); // empty: connects
        QTest::newRow("mode 0600") << "right" << true << "";
        // libpq does not trust a password file that other accounts can read, and says so.
        QTest::newRow("mode 0644") << "right" << false << "no password supplied";
        QTest::newRow("no file") << "" << true << "no password supplied";
        QTest::newRow("a wrong password") << "wrong" << true << "password authentication failed";
    }
    void passwordFromTheFile() {
        QFETCH(QString, password);
        QFETCH(bool, privateFile);
        QFETCH(QString, refusal);
        const QString path = m_home.filePath(QStringLiteral("pgpass-%1").arg(QLatin1String(QTest::currentDataTag())));
        if (!password.isEmpty()) {
            const QByteArray line = passwordLine(password == QLatin1String("right") ? m_desk->password() : password);
            QVERIFY(writeFile(path, line,
                              privateFile ? ownerOnly : ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        }
        ScopedEnvironment passwordFile("PGPASSFILE", path);
        RecordStore store;
        const bool opened = store.openConnectionString(deskConnection());
        if (refusal.isEmpty()) {
            QVERIFY2(opened, qPrintable(store.lastDiagnostic().message));
            QCOMPARE(listed(store, statements::selectAll()).size(), m_db->count());
        } else {
            QVERIFY(!opened);
            QVERIFY2(store.lastDiagnostic().message.contains(refusal), qPrintable(store.lastDiagnostic().message));
        }
    }

private:
    // The desk's set.ini connection string as the README gives it: no password in it.
    QString deskConnection(const QString& sslMode = QStringLiteral("verify-full")) const {
        return QStringLiteral("Driver={PostgreSQL ANSI};Servername=localhost;Port=%1;Database=%2;Username=%3;"
                              "SSLmode=%4;CommLog=0;Debug=0;ConnSettings={SET client_encoding TO 'UTF8'}")
            .arg(qEnvironmentVariable("XINFANG_TEST_PG_TLS_PORT"), m_db->name(), m_desk->name(), sslMode);
    }

    // The desk's line of a password file: host, port, database, role, password.
    QByteArray passwordLine(const QString& password) const {
        return QStringLiteral("localhost:%1:%2:%3:%4\n")
            .arg(qEnvironmentVariable("XINFANG_TEST_PG_TLS_PORT"), m_db->name(), m_desk->name(), password)
            .toUtf8();
    }

    QTemporaryDir m_home;
    QString m_passwordFile;
    std::unique_ptr<ServerRole> m_owner;
    std::unique_ptr<ServerRole> m_desk;
    std::unique_ptr<ServerDatabase> m_db;
    std::unique_ptr<ScopedEnvironment> m_passwordFileSetting;
    std::unique_ptr<ScopedEnvironment> m_rootCertificate;
};

QTEST_GUILESS_MAIN(TestServerDeskRole)
#include "test_server_desk_role.moc"
