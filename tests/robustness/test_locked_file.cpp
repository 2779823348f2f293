#include "DeskProcess.h"
#include "DeskRecords.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"

#include <QTest>

// Another program (a second desk in the middle of a write, a backup tool, the sqlite3 shell) may hold the
// file locked for longer than a clerk can wait. Every statement then gives up within the busy time-out
// and reports failure, changes nothing, and works again once the lock is gone.
class TestLockedFile : public QObject {
    Q_OBJECT

private slots:
    void statementsUnderALongLock_data() {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("selectRuns");
        QTest::newRow("exclusive: nobody may read") << "exclusive" << false;
        QTest::newRow("a write in progress: reading goes on") << "immediate" << true;
    }
    void statementsUnderALongLock() {
        QFETCH(QString, lock);
        QFETCH(bool, selectRuns);
        TestDatabase db;
        db.insert({QStringLiteral("第一条")});
        db.insert({QStringLiteral("第二条")});
        const QList<deskrecords::StoredRow> before = deskrecords::readRows(db.path());

        DeskProcess holder({QStringLiteral("hold"), db.path(), lock});
        QVERIFY(holder.started());
        QVERIFY(holder.waitForLine(QStringLiteral("held")));

        // Four desks at once, each with one statement, so that the waits overlap.
        const QStringList kinds = {QStringLiteral("select"), QStringLiteral("insert"), QStringLiteral("update"),
                                   QStringLiteral("delete")};
        std::vector<std::unique_ptr<DeskProcess>> desks;
        for (const QString& kind : kinds) {
            desks.push_back(std::make_unique<DeskProcess>(QStringList{QStringLiteral("statement"), db.path(), kind}));
        }
        QStringList measured;
        for (std::size_t i = 0; i < desks.size(); ++i) {
            QVERIFY(desks[i]->started());
            QVERIFY2(desks[i]->waitForLine(kinds[i]), qPrintable(kinds[i]));
            const QStringList word = desks[i]->lines().value(0).split(QLatin1Char(' '));
            const bool expectRun = kinds[i] == QLatin1String("select") && selectRuns;
            QCOMPARE(word.value(1), expectRun ? QStringLiteral("1") : QStringLiteral("0"));
            if (expectRun) {
                QCOMPARE(word.value(3), QStringLiteral("2"));
            }
            // Measured and reported; the limit here only tells a wait from a hang.
            QVERIFY2(word.value(2).toLongLong() < 30000, qPrintable(word.join(QLatin1Char(' '))));
            measured << kinds[i] + QLatin1Char(' ') + word.value(2) + QStringLiteral(" ms");
        }
        qInfo("%s lock: %s", qPrintable(lock), qPrintable(measured.join(QStringLiteral(", "))));
        QCOMPARE(holder.lines().size(), 1); // still holding: every answer came while the file was locked
        holder.closeInput();
        QVERIFY(holder.waitForFinished());
        QCOMPARE(deskrecords::readRows(db.path()).size(), before.size());
        QCOMPARE(deskrecords::readRows(db.path())[0].values, before[0].values);

        // The same connections, lock gone: a failed statement left nothing behind that blocks them.
        for (std::size_t i = 0; i < desks.size(); ++i) {
            desks[i]->write("again\n");
            desks[i]->closeInput();
        }
        for (std::size_t i = 0; i < desks.size(); ++i) {
            QVERIFY(desks[i]->waitForFinished());
            QVERIFY(desks[i]->exitedNormally());
            const QStringList word = desks[i]->lines().value(1).split(QLatin1Char(' '));
            QCOMPARE(word.value(0), kinds[i]);
            QCOMPARE(word.value(1), QStringLiteral("1"));
        }
        const QList<deskrecords::StoredRow> after = deskrecords::readRows(db.path());
        QCOMPARE(deskrecords::integrityCheck(db.path()), QStringLiteral("ok"));
        QCOMPARE(after.size(), 2); // one inserted, 编号 2 deleted
        QCOMPARE(after[0].number, 1);
        QCOMPARE(after[0].values, QStringList(columnCount - firstTextColumn, QStringLiteral("锁定时写入")));
        QCOMPARE(after[1].values, QStringList(columnCount - firstTextColumn, QStringLiteral("锁定时写入")));
    }
};

QTEST_GUILESS_MAIN(TestLockedFile)
#include "test_locked_file.moc"
