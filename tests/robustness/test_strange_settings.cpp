#include "DeskRecords.h"
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ProcessState.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/ShadowLabel.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder(text);
}

// The settings of an office, after whatever precedes them.
QByteArray officeSettings() {
    return gbk(u"\r\n[bt]\r\nbiaoti=某市信访局\r\n[mc]\r\nmingcheng=来信来访接待\r\n[md]\r\nmingdan1=张一\r\n"
               u"mingdan2=李二\r\nmingdan3=王三\r\nmingdan4=赵四\r\nmingdan5=钱五\r\n"_s);
}
const QStringList officeReceivers{u"张一"_s, u"李二"_s, u"王三"_s, u"赵四"_s, u"钱五"_s};

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

} // namespace

// set.ini is edited by hand, copied from other offices, saved by whatever editor is at hand, and
// sometimes damaged. Whatever it holds, the program starts, shows its records, reads the values the
// profile rules give, and stores a registration naming any receiver it offers.
class TestStrangeSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }
    void cleanup() {
        for (RegistrationWindow* w : visibleWindows<RegistrationWindow>()) {
            w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void programStartsAndRegisters_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("banner");
        QTest::addColumn<QStringList>("receivers");

        // Ten megabytes of random bytes, kept away from '[' so that no section is opened by chance.
        QRandomGenerator random(20121204);
        QByteArray junk(10 * 1024 * 1024, Qt::Uninitialized);
        for (char& c : junk) {
            c = static_cast<char>(random.bounded(256));
            if (c == '[') {
                c = '=';
            }
        }
        QTest::newRow("10 MB of binary junk first")
            << junk + officeSettings() << u"某市信访局"_s << u"来信来访接待"_s << officeReceivers;

        QByteArray sections;
        for (int i = 0; i < 100000; ++i) {
            sections += "[s" + QByteArray::number(i) + "]\r\nbiaoti=s" + QByteArray::number(i) + "\r\n";
        }
        QTest::newRow("100,000 sections first")
            << sections + officeSettings() << u"某市信访局"_s << u"来信来访接待"_s << officeReceivers;

        QTest::newRow("lines without '='")
            << gbk(u"[bt]\r\n只有文字\r\nbiaoti\r\n=无名\r\n\r\nbiaoti = 标题\r\n[md]\r\nmingdan1\r\nmingdan2=李二\r\n"_s)
            << u"标题"_s << QString() << QStringList{QString(), u"李二"_s, QString(), QString(), QString()};

        // A receiver name must never carry a NUL into the insert statement: the value ends there.
        QTest::newRow("NUL bytes in values")
            << QByteArray("[bt]\r\nbiaoti=ab\0cd\r\n[md]\r\nmingdan1=\xD5\xC5\0\xC8\xFD\r\nmingdan2=\"\0x\"\r\n", 54)
            << u"ab"_s << QString() << QStringList{u"张"_s, u"\""_s, QString(), QString(), QString()};

        // Broken GBK turns into the replacement character and stays inside its own value.
        QTest::newRow("invalid GBK bytes")
            << QByteArray("[bt]\r\nbiaoti=\xD5 x\r\n[md]\r\nmingdan1=\xD5\xC5\x81\x7F\r\nmingdan2=\xFF\xC0\xEE\r\n")
            << u"\uFFFD x"_s << QString()
            << QStringList{u"张\uFFFD\x7F"_s, u"\uF8F5李"_s, QString(), QString(), QString()};

        QTest::newRow("UTF-16 with a broken surrogate")
            << QByteArray("\xFF\xFE") + QByteArray(QStringEncoder(QStringConverter::Utf16LE)(
                                            u"[bt]\r\nbiaoti=标"_s + QChar(0xD842) + u"\r\n[md]\r\nmingdan1=张一"_s))
            << u"标\uFFFD"_s << QString() << QStringList{u"张一"_s, QString(), QString(), QString(), QString()};

        QTest::newRow("a directory named set.ini")
            << QByteArray("<directory>") << QString() << QString() << QStringList(5);
    }
    void programStartsAndRegisters() {
        QFETCH(QByteArray, file);
        QFETCH(QString, caption);
        QFETCH(QString, banner);
        QFETCH(QStringList, receivers);
        TestDatabase db;
        db.insert({u"已有的"_s});
        const QString settingsPath = QDir(db.directory()).filePath(u"set.ini"_s);
        if (file == "<directory>") {
            QVERIFY(QDir().mkdir(settingsPath));
        } else {
            QFile f(settingsPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(file), file.size());
        }
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        window.show();
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(window.recordList()->rowCount(), 1);
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(window.findChild<ShadowLabel*>(u"透明标签2"_s)->text(), banner);

        RegistrationWindow* registration = openRegistrationWindow(window);
        QVERIFY(registration);
        QCOMPARE(itemsOf(registration->receiverBox()), receivers);
        QStringList values = sampleEntryValues();
        values[3] = receivers[0];
        fillEntryForm(*registration, values);
        registration->addRegistration();
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(window.countLabelText(), u"数据库总量：2条数据"_s);
        const QList<deskrecords::StoredRow> rows = deskrecords::readRows(db.path());
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].values, values);
    }
};

QTEST_MAIN(TestStrangeSettings)
#include "test_strange_settings.moc"
