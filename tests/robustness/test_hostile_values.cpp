#include "DeskRecords.h"
#include "FuzzChecks.h"
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace {

QString withLone(char16_t unit, const QString& before, const QString& after) {
    return before + QChar(unit) + after;
}

} // namespace

// Texts that no keyboard makes but a paste, an import or a broken set.ini can: a NUL ends a narrow
// statement where it stands, and half of a surrogate pair has no UTF-8 form. Neither may end up as a
// record that differs from what the program believes it stored.
class TestHostileValues : public QObject {
    Q_OBJECT

private slots:
    void textsNoKeyboardMakes_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("stored");
        const QString r(QChar::ReplacementCharacter);
        const QString far = QString::fromUcs4(U"\U00020BB7"); // 𠮷, a surrogate pair
        const QString nul(QChar(0));
        const QString bom(QChar(0xFEFF));
        // The statement would reach the driver cut short at the NUL: refused, never stored shortened.
        QTest::newRow("NUL inside") << QStringLiteral("张") + nul + QStringLiteral("三") << true << QString();
        QTest::newRow("NUL at the end") << QStringLiteral("张三") + nul << true << QString();
        QTest::newRow("NUL alone") << nul << true << QString();
        // A lone surrogate is stored as the replacement character, which marks a broken character, and
        // never as an ordinary character the clerk could have typed.
        QTest::newRow("lone high surrogate") << withLone(0xD842, "a", "b") << false << "a" + r + "b";
        QTest::newRow("lone low surrogate") << withLone(0xDFB7, "a", "b") << false << "a" + r + "b";
        QTest::newRow("lone high surrogate at the end") << withLone(0xD842, "ab", "") << false << "ab" + r;
        QTest::newRow("lone low surrogate at the end") << withLone(0xDFB7, "ab", "") << false << "ab" + r;
        QTest::newRow("pair the wrong way round") << QString(far[1]) + far[0] << false << r + r;
        QTest::newRow("pair intact") << far + QStringLiteral("野") << false << far + QStringLiteral("野");
        // U+FEFF at the start of a value is a character of it, not a byte-order mark.
        QTest::newRow("U+FEFF first") << bom + QStringLiteral("张三") << false << bom + QStringLiteral("张三");
        QTest::newRow("U+FEFF twice first")
            << bom + bom + QStringLiteral("x") << false << bom + bom + QStringLiteral("x");
        QTest::newRow("U+FEFF alone") << bom << false << bom;
    }
    void textsNoKeyboardMakes() {
        QFETCH(QString, value);
        QFETCH(bool, refused);
        QFETCH(QString, stored);
        TestDatabase db;
        db.insert({QStringLiteral("原来的")});
        RecordStore store;
        QVERIFY(store.openDatabase(db.path()));

        QStringList values(columnCount - firstTextColumn, QStringLiteral("v"));
        values[0] = value;
        values[20] = value;
        QCOMPARE(store.execute(statements::insert(values)), refused ? 0 : 1);
        QCOMPARE(store.execute(statements::update(values, QStringLiteral("1"))), refused ? 0 : 1);
        const RecordStore::Handle found = store.query(statements::search(value));
        QCOMPARE(found != 0, !refused);
        const QList<deskrecords::StoredRow> rows = deskrecords::readRows(db.path());
        if (refused) {
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0].values.value(0), QStringLiteral("原来的"));
            QVERIFY(!store.lastDiagnostic().message.isEmpty());
            return;
        }
        // The search sends the keyword the same way, so it finds what was stored.
        QVERIFY(!store.isPastEnd(found));
        store.closeRecordset(found);
        values[0] = stored;
        values[20] = stored;
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].values, values);
        QCOMPARE(rows[1].values, values);
        // Read back as the list reads it, so that a modification writes back what was there.
        const RecordStore::Handle h = store.query(statements::selectAll());
        QCOMPARE(store.readText(h, columnNames()[1]), stored);
        QCOMPARE(store.readText(h, columnNames()[21]), stored);
        store.closeRecordset(h);
    }

    // Every input the fuzzers keep (seeds, and each one that once broke a rule), replayed in every build.
    void keptFuzzInputs_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("file");
        for (const QString& target : {QStringLiteral("settings"), QStringLiteral("statements")}) {
            QDirIterator it(QStringLiteral(XINFANG_FUZZ_CORPUS) + QLatin1Char('/') + target, QDir::Files);
            while (it.hasNext()) {
                const QString file = it.next();
                QTest::newRow(qPrintable(target + QLatin1Char('/') + it.fileName())) << target << file;
            }
        }
    }
    void keptFuzzInputs() {
        QFETCH(QString, target);
        QFETCH(QString, file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray input = f.readAll();
        const QString failure =
            target == QLatin1String("settings") ? fuzzchecks::checkSettings(input) : fuzzchecks::checkStatements(input);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(TestHostileValues)
#include "test_hostile_values.moc"
