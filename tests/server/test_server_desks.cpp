// Several reception desks register into one PostgreSQL server at the same time. Each desk is a process of
// its own with its own connection, as in an office, and works the way the program does: the insert
// statement of a registration, then the whole table read again.

#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "support/ServerDatabase.h"

#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <iostream>
#include <string>

namespace {

constexpr int nameColumn = 6; // 来访人姓名
constexpr int registrationsPerDesk = 150;

QStringList registration(const QString& name) {
    QStringList values(columnCount - 1, QStringLiteral("两台登记"));
    values[nameColumn - 1] = name;
    return values;
}

struct Listed {
    QString number;
    QString name;
};

// listAllRecords as the main window runs it: every row of the table, 编号 and the name.
QList<Listed> listAll(RecordStore& store) {
    QList<Listed> rows;
    const RecordStore::Handle h = store.query(statements::selectAll());
    while (!store.isPastEnd(h)) {
        rows << Listed{store.readText(h, columnNames()[0]), store.readText(h, columnNames()[nameColumn])};
        store.toNext(h);
    }
    store.closeRecordset(h);
    return rows;
}

// One desk, in a process of its own. Waits for "go" so that both desks start together, registers
// count cases named desk-0, desk-1, …, checking after each re-read that all of its own cases are listed
// exactly once; then reports "registered", waits for "reread", and prints the table as it lists it.
int runDesk(const QString& connectionString, const QString& desk, int count) {
    RecordStore store;
    if (!store.openConnectionString(connectionString)) {
        std::cerr << "desk " << desk.toStdString() << ": " << store.lastDiagnostic().message.toStdString() << '\n';
        return 2;
    }
    std::string line;
    std::cout << "ready" << std::endl;
    if (!std::getline(std::cin, line) || line != "go") {
        return 3;
    }
    for (int i = 0; i < count; ++i) {
        if (store.execute(statements::insert(registration(desk + QLatin1Char('-') + QString::number(i)))) != 1) {
            std::cerr << "desk " << desk.toStdString() << ": " << store.lastDiagnostic().message.toStdString() << '\n';
            return 4;
        }
        QMap<QString, int> seen;
        for (const Listed& row : listAll(store)) {
            ++seen[row.name];
        }
        for (int j = 0; j <= i; ++j) {
            if (seen.value(desk + QLatin1Char('-') + QString::number(j)) != 1) {
                std::cerr << "desk " << desk.toStdString() << ": case " << j << " listed "
                          << seen.value(desk + QLatin1Char('-') + QString::number(j)) << " times\n";
                return 5;
            }
        }
    }
    std::cout << "registered" << std::endl;
    if (!std::getline(std::cin, line) || line != "reread") {
        return 6;
    }
    for (const Listed& row : listAll(store)) {
        std::cout << row.number.toStdString() << '\t' << row.name.toStdString() << '\n';
    }
    std::cout << "end" << std::endl;
    return 0;
}

QString readLine(QProcess& process) {
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(60000)) {
            return QStringLiteral("<nothing: %1>").arg(QString::fromUtf8(process.readAllStandardError()));
        }
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

} // namespace

class TestServerDesks : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!ServerDatabase::available()) {
            QSKIP(ServerDatabase::unavailableReason);
        }
    }

    void registeringAtOnce() {
        ServerDatabase db;
        db.insert(registration(QStringLiteral("早先登记")));
        QProcess desks[2];
        const QStringList names = {QStringLiteral("甲台"), QStringLiteral("乙台")};
        for (int d = 0; d < 2; ++d) {
            desks[d].start(QCoreApplication::applicationFilePath(), {QStringLiteral("--desk"), db.connectionString(),
                                                                     names[d], QString::number(registrationsPerDesk)});
            QVERIFY(desks[d].waitForStarted());
        }
        for (QProcess& desk : desks) {
            QCOMPARE(readLine(desk), QStringLiteral("ready"));
        }
        for (QProcess& desk : desks) {
            desk.write("go\n");
        }
        for (QProcess& desk : desks) {
            QCOMPARE(readLine(desk), QStringLiteral("registered"));
        }
        for (QProcess& desk : desks) {
            desk.write("reread\n");
            desk.closeWriteChannel();
        }

        QSet<QString> expected = {QStringLiteral("早先登记")};
        for (const QString& name : names) {
            for (int i = 0; i < registrationsPerDesk; ++i) {
                expected << name + QLatin1Char('-') + QString::number(i);
            }
        }
        QStringList lists[2];
        for (int d = 0; d < 2; ++d) {
            QVERIFY(desks[d].waitForFinished(120000));
            QCOMPARE(desks[d].exitCode(), 0);
            QStringList lines = QString::fromUtf8(desks[d].readAllStandardOutput()).split(QLatin1Char('\n'));
            while (!lines.isEmpty() && lines.last().isEmpty()) {
                lines.removeLast();
            }
            QCOMPARE(lines.takeLast(), QStringLiteral("end"));
            lists[d] = lines;

            // Every registration once, each with a number of its own, in the order of the numbers.
            QSet<QString> listedNames;
            QSet<int> listedNumbers;
            int previous = 0;
            for (const QString& line : lines) {
                const QStringList parts = line.split(QLatin1Char('\t'));
                QCOMPARE(parts.size(), 2);
                QVERIFY2(!listedNames.contains(parts[1]), qPrintable(parts[1] + QStringLiteral(" listed twice")));
                listedNames << parts[1];
                const int number = parts[0].toInt();
                QVERIFY(!listedNumbers.contains(number));
                listedNumbers << number;
                QVERIFY(number > previous);
                previous = number;
            }
            QCOMPARE(listedNames, expected);
        }
        QCOMPARE(lists[0], lists[1]);
        QCOMPARE(db.count(), expected.size());
    }

    // What one desk changes, the other sees at its next re-read; a desk that saves a record the other
    // deleted changes nothing.
    void changesAtOneDeskReachTheOther() {
        ServerDatabase db;
        RecordStore first;
        RecordStore second;
        QVERIFY(first.openConnectionString(db.connectionString()));
        QVERIFY(second.openConnectionString(db.connectionString()));
        QCOMPARE(first.execute(statements::insert(registration(QStringLiteral("张三")))), 1);
        QCOMPARE(listAll(second).size(), 1);
        QCOMPARE(listAll(second)[0].name, QStringLiteral("张三"));
        const QString number = listAll(second)[0].number;

        QCOMPARE(second.execute(statements::update(registration(QStringLiteral("张三丰")), number)), 1);
        QCOMPARE(listAll(first)[0].name, QStringLiteral("张三丰"));
        QCOMPARE(first.execute(statements::remove(number)), 1);
        QVERIFY(listAll(second).isEmpty());
        qint64 changed = -1;
        QCOMPARE(second.execute(statements::update(registration(QStringLiteral("迟到的修改")), number), &changed), 1);
        QCOMPARE(changed, 0);
        QCOMPARE(db.count(), 0);
    }
};

int main(int argc, char* argv[]) {
    if (argc == 5 && std::string(argv[1]) == "--desk") {
        return runDesk(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]), std::stoi(argv[4]));
    }
    QCoreApplication app(argc, argv);
    TestServerDesks test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_desks.moc"
