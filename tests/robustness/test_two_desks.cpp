#include "DeskProcess.h"
#include "DeskRecords.h"
#include "support/TestDatabase.h"

#include <QHash>
#include <QSet>
#include <QTest>

using deskrecords::Mark;

// Two reception desks share one database file on the office's disk. Each statement of one may have to
// wait for the other, but none may be lost, stored twice, or keep a clerk waiting past the time-out.
class TestTwoDesks : public QObject {
    Q_OBJECT

private slots:
    void registrationsFromTwoDesks_data() {
        QTest::addColumn<bool>("listAfterEach");
        QTest::addColumn<int>("perDesk");
        // The window reads every record back after each registration: the readers then stand in the
        // writers' way as well.
        QTest::newRow("registering only") << false << 200;
        QTest::newRow("listing all after each, as the window does") << true << 120;
    }
    void registrationsFromTwoDesks() {
        QFETCH(bool, listAfterEach);
        QFETCH(int, perDesk);
        TestDatabase db;
        db.insert({QStringLiteral("已有的")});
        const QStringList desks = {QStringLiteral("1"), QStringLiteral("2")};
        QList<DeskProcess*> running;
        for (const QString& desk : desks) {
            QStringList args{QStringLiteral("register"), db.path(), desk, QStringLiteral("0"),
                             QString::number(perDesk)};
            if (listAfterEach) {
                args << QStringLiteral("list");
            }
            running << new DeskProcess(args);
        }
        const auto cleanup = qScopeGuard([&] { qDeleteAll(running); });

        QSet<Mark> acknowledged;
        QSet<Mark> failed;
        qint64 longestMs = 0;
        int listsFailed = 0;
        for (int d = 0; d < desks.size(); ++d) {
            DeskProcess* desk = running[d];
            QVERIFY(desk->started());
            QVERIFY(desk->waitForFinished());
            QVERIFY(desk->exitedNormally());
            for (const QString& line : desk->lines()) {
                const QStringList word = line.split(QLatin1Char(' '));
                const qint64 ms = word.value(2).toLongLong();
                longestMs = std::max(longestMs, ms);
                // Every statement returns, succeeded or failed, within the busy time-out; a clerk is
                // never left before a frozen window.
                QVERIFY2(ms < 30000, qPrintable(line));
                const Mark mark{desks[d].toInt(), word.value(1).toLongLong()};
                if (word[0] == QLatin1String("ok")) {
                    acknowledged.insert(mark);
                } else if (word[0] == QLatin1String("fail")) {
                    failed.insert(mark);
                } else if (word[0] == QLatin1String("listed") && word.value(1) == QLatin1String("-1")) {
                    ++listsFailed;
                }
            }
        }
        QCOMPARE(acknowledged.size() + failed.size(), qsizetype(2) * perDesk);

        QCOMPARE(deskrecords::integrityCheck(db.path()), QStringLiteral("ok"));
        bool readOk = false;
        const QList<deskrecords::StoredRow> rows = deskrecords::readRows(db.path(), &readOk);
        QVERIFY(readOk);
        QSet<qint64> numbers;
        QSet<Mark> stored;
        for (const deskrecords::StoredRow& row : rows.mid(1)) {
            QVERIFY2(!numbers.contains(row.number), qPrintable(QStringLiteral("编号 %1 twice").arg(row.number)));
            numbers.insert(row.number);
            const std::optional<Mark> mark = deskrecords::markOf(row.values);
            QVERIFY2(mark, qPrintable(QStringLiteral("a row nobody registered: 编号 %1").arg(row.number)));
            QVERIFY2(!stored.contains(*mark),
                     qPrintable(QStringLiteral("registration %1-%2 stored twice").arg(mark->desk).arg(mark->sequence)));
            stored.insert(*mark);
            QCOMPARE(row.values, deskrecords::values(*mark));
        }
        // A failed registration is one the clerk will type again: it must not be in the file as well.
        QCOMPARE(stored, acknowledged);
        QCOMPARE(rows.value(0).values.value(0), QStringLiteral("已有的"));
        qInfo("%lld acknowledged, %lld failed, %d listings failed, longest statement %lld ms, %lld rows checked",
              qint64(acknowledged.size()), qint64(failed.size()), listsFailed, longestMs, qint64(rows.size()));
    }
};

QTEST_GUILESS_MAIN(TestTwoDesks)
#include "test_two_desks.moc"
