#include "DeskProcess.h"
#include "DeskRecords.h"
#include "support/AdminToolRun.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using deskrecords::Mark;

// The office backs up its database while a desk goes on registering. The copy must be the file as it
// stood at one moment (sound, and holding a desk's registrations up to some point with none missing
// before it), must hold every registration the clerk had been told was saved before the backup began,
// and the backup must not make the desk's registrations fail.
class TestBackupWhileRegistering : public QObject {
    Q_OBJECT

private slots:
    void copyHoldsEveryAcknowledgedRow();
};

namespace {

// The sequence numbers of the desk's registrations acknowledged in these lines.
QList<qint64> acknowledged(const QStringList& lines) {
    QList<qint64> numbers;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("ok "))) {
            numbers << line.split(QLatin1Char(' ')).value(1).toLongLong();
        }
    }
    return numbers;
}

} // namespace

void TestBackupWhileRegistering::copyHoldsEveryAcknowledgedRow() {
    TestDatabase db;
    // Some thousand pages, so that the copy takes several steps and a registration can fall between them.
    const int demoRows = 20000;
    QCOMPARE(runAdmin({QStringLiteral("demo"), db.directory(), QString::number(demoRows)}).exitCode, 0);

    DeskProcess desk(
        {QStringLiteral("register"), db.path(), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")});
    QVERIFY(desk.started());
    QVERIFY(desk.waitForLine(QStringLiteral("ok 30 ")));
    const QList<qint64> before = acknowledged(desk.lines());

    QTemporaryDir out;
    const QString copy = out.filePath(QStringLiteral("备份 1.mdb"));
    const AdminToolRun run = runAdmin({QStringLiteral("backup"), db.directory(), copy});
    const qsizetype linesAfterBackup = desk.lines().size();
    QVERIFY2(desk.waitForLine(QStringLiteral("ok %1 ").arg(linesAfterBackup + 5)), "the desk stopped registering");
    desk.kill();
    QVERIFY(desk.waitForFinished());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QLatin1String("integrity check ok")), qPrintable(run.out + run.err));

    // Owner and group only: the copy holds people's names and identity numbers.
    QCOMPARE(QFile::permissions(copy) & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), QFile::Permissions());
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{QStringLiteral("备份 1.mdb")});
    QCOMPARE(deskrecords::integrityCheck(copy), QStringLiteral("ok"));
    bool ok = false;
    const QList<deskrecords::StoredRow> rows = deskrecords::readRows(copy, &ok);
    QVERIFY(ok);
    int demo = 0;
    QList<qint64> sequences;
    for (const deskrecords::StoredRow& row : rows) {
        const std::optional<Mark> mark = deskrecords::markOf(row.values);
        if (!mark) {
            ++demo;
            continue;
        }
        QCOMPARE(row.values, deskrecords::values(*mark));
        sequences << mark->sequence;
    }
    QCOMPARE(demo, demoRows);
    // One desk registers in order, so a copy of one moment holds 0, 1, … up to some number.
    for (qsizetype i = 0; i < sequences.size(); ++i) {
        QCOMPARE(sequences[i], qint64(i));
    }
    QVERIFY2(sequences.size() >= before.size(),
             qPrintable(QStringLiteral("%1 acknowledged before the backup, %2 in the copy")
                            .arg(before.size())
                            .arg(sequences.size())));
    QVERIFY2(run.out.contains(QStringLiteral(": %1 registrations").arg(rows.size())), qPrintable(run.out));

    const QStringList lines = desk.lines();
    qint64 longestMs = 0;
    for (const QString& line : lines) {
        QVERIFY2(line.startsWith(QLatin1String("ok ")), qPrintable(line));
        longestMs = std::max(longestMs, line.section(QLatin1Char(' '), 2, 2).toLongLong());
    }
    qInfo("%lld acknowledged before the backup, %lld in the copy, %lld by the end; longest registration %lld ms",
          qint64(before.size()), qint64(sequences.size()), qint64(lines.size()), longestMs);
}

QTEST_GUILESS_MAIN(TestBackupWhileRegistering)
#include "test_backup_while_registering.moc"
