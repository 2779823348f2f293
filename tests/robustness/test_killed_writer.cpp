#include "DeskProcess.h"
#include "DeskRecords.h"
#include "store/RecordStore.h"
#include "support/TestDatabase.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QThread>

using deskrecords::Mark;

// A registration the clerk was told had been saved is a citizen's complaint on record: a desk that dies
// in the middle of writing, killed or by a power cut, must leave a sound file with every acknowledged
// registration in it, once and unchanged.
class TestKilledWriter : public QObject {
    Q_OBJECT

private slots:
    void acknowledgedRegistrationsSurviveKills() {
        constexpr int kills = 40;
        TestDatabase db;
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qInfo("kill moments drawn with seed %u", seed);

        QSet<Mark> acknowledged;
        QSet<Mark> everStored; // once committed, a row must never go away
        qint64 rowsChecked = 0;
        int killedInLoop = 0;
        for (int run = 0; run < kills; ++run) {
            const qint64 first = qint64(run) * 1000000;
            DeskProcess desk({QStringLiteral("register"), db.path(), QStringLiteral("1"), QString::number(first),
                              QStringLiteral("0")});
            QVERIFY(desk.started());
            if (run % 4 == 0) {
                // While it starts, connects or sends its first statement.
                QThread::msleep(random.bounded(40));
            } else {
                // Somewhere in its stream of registrations.
                QVERIFY2(desk.waitForLine(QStringLiteral("ok ")), "the desk never registered anything");
                QThread::msleep(random.bounded(60));
                ++killedInLoop;
            }
            desk.kill();
            QVERIFY(desk.waitForFinished());

            qint64 lastReported = first - 1;
            for (const QString& line : desk.lines()) {
                const QStringList word = line.split(QLatin1Char(' '));
                QCOMPARE(word.value(0), QStringLiteral("ok")); // a single desk never waits for a lock
                lastReported = word.value(1).toLongLong();
                acknowledged.insert({1, lastReported});
            }
            const Mark inFlight{1, lastReported + 1};

            const QString integrity = deskrecords::integrityCheck(db.path());
            QVERIFY2(integrity == QLatin1String("ok"),
                     qPrintable(QStringLiteral("run %1: %2").arg(run).arg(integrity)));
            bool readOk = false;
            const QList<deskrecords::StoredRow> rows = deskrecords::readRows(db.path(), &readOk);
            QVERIFY(readOk);
            rowsChecked += rows.size();

            QSet<Mark> stored;
            for (const deskrecords::StoredRow& row : rows) {
                const std::optional<Mark> mark = deskrecords::markOf(row.values);
                QVERIFY2(
                    mark,
                    qPrintable(QStringLiteral("run %1: a row nobody registered: 编号 %2").arg(run).arg(row.number)));
                QVERIFY2(
                    !stored.contains(*mark),
                    qPrintable(QStringLiteral("run %1: registration %2 stored twice").arg(run).arg(mark->sequence)));
                stored.insert(*mark);
                QCOMPARE(row.values, deskrecords::values(*mark));
                QVERIFY2(
                    acknowledged.contains(*mark) || everStored.contains(*mark) || *mark == inFlight,
                    qPrintable(QStringLiteral("run %1: registration %2 was never sent").arg(run).arg(mark->sequence)));
            }
            for (const Mark& mark : acknowledged) {
                QVERIFY2(stored.contains(mark),
                         qPrintable(
                             QStringLiteral("run %1: acknowledged registration %2 lost").arg(run).arg(mark.sequence)));
            }
            for (const Mark& mark : everStored) {
                QVERIFY2(stored.contains(mark),
                         qPrintable(QStringLiteral("run %1: stored registration %2 lost").arg(run).arg(mark.sequence)));
            }
            everStored.unite(stored);
        }
        qInfo("%d kills (%d in the middle of registering), %lld registrations acknowledged, %lld stored, %lld rows "
              "checked",
              kills, killedInLoop, qint64(acknowledged.size()), qint64(everStored.size()), rowsChecked);
        QVERIFY(killedInLoop > 0);
    }

    // A kill leaves the operating system to finish the writes; a power cut does not. Only SQLite's full
    // synchronisation (each commit flushed, the journal before the file) keeps acknowledged
    // registrations and a sound file through one. The SQLite ODBC driver lowers it to NORMAL unless told
    // otherwise.
    void commitsReachTheDiskBeforeTheyAreAcknowledged() {
        TestDatabase db;
        RecordStore store;
        QVERIFY(store.openDatabase(db.path()));
        const auto pragma = [&](const QString& name) {
            const RecordStore::Handle h = store.query(QStringLiteral("PRAGMA ") + name);
            const QString value = store.readText(h, name);
            store.closeRecordset(h);
            return value;
        };
        QCOMPARE(pragma(QStringLiteral("synchronous")), QStringLiteral("2")); // FULL
        QVERIFY(QStringList({QStringLiteral("delete"), QStringLiteral("truncate"), QStringLiteral("persist"),
                             QStringLiteral("wal")})
                    .contains(pragma(QStringLiteral("journal_mode"))));
    }
};

QTEST_GUILESS_MAIN(TestKilledWriter)
#include "test_killed_writer.moc"
