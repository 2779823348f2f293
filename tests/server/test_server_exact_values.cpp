// On the shared server as on a file: records written by other desks read back exactly, a record opened and
// saved without an edit keeps every byte, and a registration stores what its fields keep.

#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/ExactValues.h"
#include "support/ServerDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ProcessState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class TestServerExactValues : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }

    void savedAsItWas() {
        if (!ServerDatabase::available()) {
            QSKIP(ServerDatabase::unavailableReason);
        }
        ServerDatabase server;
        const QList<exactvalues::Value>& values = exactvalues::hostileValues();
        constexpr int fieldCount = columnCount - firstTextColumn;
        for (const exactvalues::Value& value : values) {
            server.insert(QStringList(fieldCount, value.text)); // libpq, a null text as NULL
        }
        QTemporaryDir dir;
        {
            QFile settings(dir.filePath(QStringLiteral("set.ini")));
            QVERIFY(settings.open(QIODevice::WriteOnly));
            QStringEncoder gbk("GBK");
            settings.write(
                gbk.encode(QStringLiteral("[db]\r\nconnection=") + server.connectionString() + QStringLiteral("\r\n")));
        }
        setRunDirectoryForTesting(dir.path());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QCOMPARE(mainWindow.recordList()->rowCount(), values.size());

        QStringList changed;
        for (int row = 0; row < values.size(); ++row) {
            const QString problem = exactvalues::saveUnchanged(mainWindow, row);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            // A NULL goes back as the empty text, which the statement writes for an empty field.
            const QStringList expected(fieldCount, values[row].text.isNull() ? QStringLiteral("") : values[row].text);
            if (server.row(row + 1) != expected) {
                changed << QString::fromUtf8(values[row].name);
            }
        }
        QCOMPARE(changed, QStringList());

        QStringList misstored;
        qint64 number = values.size();
        for (const exactvalues::Value& value : values) {
            if (value.text.isEmpty()) {
                continue; // the three required fields must not be empty
            }
            const QString problem = exactvalues::registerPasted(mainWindow, QStringList(fieldCount, value.text));
            QVERIFY2(problem.isEmpty(), qPrintable(QString::fromUtf8(value.name) + QStringLiteral(": ") + problem));
            QStringList expected;
            for (int c = firstTextColumn; c < columnCount; ++c) {
                expected << exactvalues::pastedInto(EntryForm::fields()[static_cast<std::size_t>(c)].kind, value.text);
            }
            if (server.row(++number) != expected) {
                misstored << QString::fromUtf8(value.name);
            }
        }
        QCOMPARE(misstored, QStringList());
        QCOMPARE(boxes.texts(), QStringList());
    }
};

QTEST_MAIN(TestServerExactValues)
#include "test_server_exact_values.moc"
