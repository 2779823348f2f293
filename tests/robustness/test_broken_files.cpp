#include "DeskRecords.h"
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ModificationWindow.h"
#include "ui/entry/ProcessState.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

namespace {

constexpr int recordsInFile = 40;
constexpr const char* clerkAsNobody = "--clerk-as-nobody";

// Records long enough that the table spans many pages, so that a cut file loses some of them.
void fillWithRecords(const TestDatabase& db) {
    for (int i = 1; i <= recordsInFile; ++i) {
        QStringList v = sampleEntryValues();
        v[5] = QStringLiteral("来访人%1").arg(i);
        v[16] = QStringLiteral("诉求内容%1。").arg(i).repeated(150);
        db.insert(v);
    }
}

// What is at a path: its bytes, or nothing at all.
QByteArray fileState(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return QByteArrayLiteral("<absent>");
    }
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QByteArray junk(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
    }
    return bytes;
}

QList<QStringList> shownRows(const MainWindow& window) {
    QList<QStringList> rows;
    const RecordList* list = window.recordList();
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < columnCount; ++column) {
            cells << list->cellText(row, column);
        }
        rows << cells;
    }
    return rows;
}

// What a clerk meets doing a round of everyday work at the desk.
struct DeskRound {
    QList<QStringList> listed;     // after 全部信息显示
    QString afterRegistering;      // the count label after 添 加 数 据
    bool registrationKept = false; // the registration window still open with every entry as typed
    QString afterModifying;
    bool modificationKept = false;
    int listedAfterDelete = -1;
};

DeskRound workAtTheDesk(MainWindow& window, MessageBoxLog& boxes) {
    DeskRound round;
    window.showAll();
    round.listed = shownRows(window);

    window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("诉求"));
    window.findChild<QPushButton*>(QStringLiteral("按钮4"))->click();

    QPointer<RegistrationWindow> registration = openRegistrationWindow(window);
    const QStringList entries = sampleEntryValues();
    fillEntryForm(*registration, entries);
    registration->addRegistration();
    round.afterRegistering = window.countLabelText();
    if (registration && registration->isVisible()) {
        round.registrationKept = entryFormValues(*registration) == entries;
        registration->close();
    }

    if (window.recordList()->rowCount() > 0) {
        window.recordList()->selectRow(0);
        QPointer<ModificationWindow> modification = openModificationWindow(window);
        modification->setFieldText(6, QStringLiteral("改过的姓名"));
        const QStringList changed = entryFormValues(*modification);
        modification->saveModification();
        round.afterModifying = window.countLabelText();
        if (modification && modification->isVisible()) {
            round.modificationKept = entryFormValues(*modification) == changed;
            modification->close();
        }

        window.recordList()->selectRow(0);
        boxes.answerNextQuestions({true});
        window.deleteSelected();
        round.listedAfterDelete = window.recordList()->rowCount();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return round;
}

} // namespace

// The database file is the office's only copy of its registrations. Whatever happens to it under the
// running program — taken away, replaced, cut short, made read-only — the program shows what it can,
// tells the clerk that a save failed, keeps the clerk's entries, and writes nothing into whatever file
// now stands at its path.
class TestBrokenFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }

    void fileChangedUnderTheRunningProgram_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("removed") << "removed";
        QTest::newRow("replaced by junk") << "replaced by junk";
        QTest::newRow("replaced by another database") << "replaced by another database";
        QTest::newRow("overwritten in place with junk") << "overwritten in place";
        QTest::newRow("emptied in place") << "emptied";
        QTest::newRow("cut to its first page in place") << "cut to 4096";
        QTest::newRow("cut in half in place") << "cut in half";
    }
    void fileChangedUnderTheRunningProgram() {
        QFETCH(QString, change);
        TestDatabase db;
        fillWithRecords(db);
        const QList<deskrecords::StoredRow> original = deskrecords::readRows(db.path());
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        window.show();
        QCOMPARE(window.recordList()->rowCount(), recordsInFile);

        const QString path = db.path();
        const qint64 size = QFileInfo(path).size();
        if (change == QLatin1String("removed")) {
            QVERIFY(QFile::remove(path));
        } else if (change == QLatin1String("replaced by junk")) {
            writeFile(path + QStringLiteral(".new"), junk(size));
            QCOMPARE(::rename(qPrintable(path + QStringLiteral(".new")), qPrintable(path)), 0);
        } else if (change == QLatin1String("replaced by another database")) {
            TestDatabase other;
            other.insert({QStringLiteral("别的数据库")});
            QVERIFY(QFile::copy(other.path(), path + QStringLiteral(".new")));
            QCOMPARE(::rename(qPrintable(path + QStringLiteral(".new")), qPrintable(path)), 0);
        } else if (change == QLatin1String("overwritten in place")) {
            writeFile(path, junk(size));
        } else if (change == QLatin1String("emptied")) {
            QCOMPARE(::truncate(qPrintable(path), 0), 0);
        } else if (change == QLatin1String("cut to 4096")) {
            QCOMPARE(::truncate(qPrintable(path), 4096), 0);
        } else {
            QCOMPARE(::truncate(qPrintable(path), size / 2), 0);
        }
        const QByteArray onDisk = fileState(path);

        const DeskRound round = workAtTheDesk(window, boxes);

        // Only records that were there, exactly as they were, are shown.
        for (const QStringList& shown : round.listed) {
            const qint64 number = shown.value(0).toLongLong();
            QVERIFY(number >= 1 && number <= recordsInFile);
            QCOMPARE(shown.mid(1), original[number - 1].values);
        }
        QCOMPARE(round.afterRegistering, QStringLiteral("添加信息：失 败。"));
        QVERIFY(round.registrationKept);
        if (!round.listed.isEmpty()) {
            QCOMPARE(round.afterModifying, QStringLiteral("修改信息：失 败。"));
            QVERIFY(round.modificationKept);
            QCOMPARE(round.listedAfterDelete, round.listed.size());
        }
        QCOMPARE(fileState(path), onDisk);
        // A journal left beside a file that is not the one it was written for would be played into it
        // by the next program that opens that file.
        QCOMPARE(QDir(db.directory()).entryList(QDir::Files | QDir::Hidden),
                 onDisk == "<absent>" ? QStringList() : QStringList{QStringLiteral("xinfang.mdb")});
        qInfo("%s: %lld of %d records still shown", qPrintable(change), qint64(round.listed.size()), recordsInFile);
    }

    void brokenFileAtStart_data() {
        QTest::addColumn<qint64>("keep"); // bytes kept of a good file; -1: junk instead
        QTest::newRow("only the SQLite signature") << qint64(16);
        QTest::newRow("only the header") << qint64(100);
        QTest::newRow("only the first page") << qint64(4096);
        QTest::newRow("half the file") << qint64(-2);
        QTest::newRow("not a database") << qint64(-1);
    }
    void brokenFileAtStart() {
        QFETCH(qint64, keep);
        TestDatabase db;
        fillWithRecords(db);
        const QList<deskrecords::StoredRow> original = deskrecords::readRows(db.path());
        if (keep == -1) {
            writeFile(db.path(), junk(QFileInfo(db.path()).size()));
        } else {
            QCOMPARE(::truncate(qPrintable(db.path()), keep == -2 ? QFileInfo(db.path()).size() / 2 : keep), 0);
        }
        const QByteArray onDisk = fileState(db.path());
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        window.show();
        const QStringList atStart = boxes.texts();
        QVERIFY(atStart.isEmpty() || atStart == QStringList{QStringLiteral("打开数据库失败！")});

        const DeskRound round = workAtTheDesk(window, boxes);
        for (const QStringList& shown : round.listed) {
            const qint64 number = shown.value(0).toLongLong();
            QVERIFY(number >= 1 && number <= recordsInFile);
            QCOMPARE(shown.mid(1), original[number - 1].values);
        }
        QCOMPARE(round.afterRegistering, QStringLiteral("添加信息：失 败。"));
        QVERIFY(round.registrationKept);
        QCOMPARE(fileState(db.path()), onDisk);
        QCOMPARE(QDir(db.directory()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("xinfang.mdb")});
    }

    // Root ignores file modes, so the clerk is played by another run of this program that drops to nobody
    // before it starts Qt (a forked copy of a running GUI cannot paint: Qt's painting threads are not
    // copied with it).
    void readOnlyFileAtTheDesk() {
        TestDatabase db;
        fillWithRecords(db);
        const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const auto enterable = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(db.directory(), readable | enterable));
        QVERIFY(QFile::setPermissions(db.path(), readable));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(db.directory(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | enterable);
        });
        const QByteArray onDisk = fileState(db.path());

        QProcess clerk;
        clerk.setProcessChannelMode(QProcess::ForwardedChannels);
        clerk.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(clerkAsNobody), db.directory()});
        QVERIFY(clerk.waitForFinished(120000));
        QCOMPARE(clerk.exitStatus(), QProcess::NormalExit);
        QCOMPARE(clerk.exitCode(), 0);
        QCOMPARE(fileState(db.path()), onDisk);
    }
};

// The clerk of readOnlyFileAtTheDesk: a round of work on a file this user may only read. The exit code
// names the first thing that went wrong.
int workAsNobody(int argc, char** argv) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        return 10;
    }
    QApplication app(argc, argv);
    prepareGuiTestApplication();
    setRunDirectoryForTesting(QString::fromLocal8Bit(argv[2]));
    MessageBoxLog boxes;
    MainWindow window;
    window.show();
    if (!boxes.shown.isEmpty() || window.recordList()->rowCount() != recordsInFile) {
        return 11;
    }
    const DeskRound round = workAtTheDesk(window, boxes);
    if (round.listed.size() != recordsInFile) {
        return 12;
    }
    if (round.afterRegistering != QStringLiteral("添加信息：失 败。") || !round.registrationKept) {
        return 13;
    }
    if (round.afterModifying != QStringLiteral("修改信息：失 败。") || !round.modificationKept) {
        return 14;
    }
    if (round.listedAfterDelete != recordsInFile) {
        return 15;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], clerkAsNobody) == 0) {
        return workAsNobody(argc, argv);
    }
    QApplication app(argc, argv);
    TestBrokenFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_broken_files.moc"
