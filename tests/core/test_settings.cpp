#include "core/RunDirectory.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// set.ini is written by hand in Notepad on Windows; whatever the Windows profile reader makes of it, the
// program must make of it too, or a caption or a receiver name silently goes missing.
class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("set.ini")) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    static QByteArray gbk(const QString& text) {
        QStringEncoder encoder("GBK");
        QByteArray bytes = encoder(text);
        if (encoder.hasError()) {
            qFatal("not GBK: %s", qPrintable(text));
        }
        return bytes;
    }

    // The file as Notepad saves it: "ANSI" (GBK on a Chinese Windows), "UTF-8" with a mark, or "Unicode".
    static QByteArray encoded(const QString& text, const QString& encoding) {
        if (encoding == u"GBK") {
            return gbk(text);
        }
        if (encoding == u"UTF-8") {
            return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        }
        QStringEncoder utf16(QStringConverter::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(utf16(text));
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void rules_data() {
        QTest::addColumn<QByteArray>("file"); // GBK bytes
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray title = "[bt]\r\nbiaoti=Title\r\n";
        QTest::newRow("plain") << title << "bt"
                               << "biaoti"
                               << "Title";
        QTest::newRow("LF line ends") << QByteArray("[bt]\nbiaoti=Title\n") << "bt"
                                      << "biaoti"
                                      << "Title";
        QTest::newRow("no line end at the end") << QByteArray("[bt]\nbiaoti=Title") << "bt"
                                                << "biaoti"
                                                << "Title";
        QTest::newRow("names in any letter case") << QByteArray("[Bt]\nBiaoTi=Title\n") << "BT"
                                                  << "BIAOTI"
                                                  << "Title";
        QTest::newRow("blanks around the line, key and value")
            << QByteArray(" \t[bt] \t\n \t biaoti \t=  \t My  Title \t \n") << "bt"
            << "biaoti"
            << "My  Title";
        QTest::newRow("value with '='") << QByteArray("[bt]\nbiaoti = a=b\n") << "bt"
                                        << "biaoti"
                                        << "a=b";
        QTest::newRow("empty value") << QByteArray("[bt]\nbiaoti=   \nx=1\n") << "bt"
                                     << "biaoti"
                                     << "";

        QTest::newRow("double quotes, blanks inside kept") << QByteArray("[bt]\nbiaoti =  \"  Title \"  \n") << "bt"
                                                           << "biaoti"
                                                           << "  Title ";
        QTest::newRow("single quotes") << QByteArray("[bt]\nbiaoti='Title'\n") << "bt"
                                       << "biaoti"
                                       << "Title";
        QTest::newRow("only one pair removed") << QByteArray("[bt]\nbiaoti=\"\"Title\"\"\n") << "bt"
                                               << "biaoti"
                                               << "\"Title\"";
        QTest::newRow("empty quotes") << QByteArray("[bt]\nbiaoti=\"\"\n") << "bt"
                                      << "biaoti"
                                      << "";
        QTest::newRow("lone quote kept") << QByteArray("[bt]\nbiaoti=\"\n") << "bt"
                                         << "biaoti"
                                         << "\"";
        QTest::newRow("quotes that do not match kept") << QByteArray("[bt]\nbiaoti=\"Title'\n") << "bt"
                                                       << "biaoti"
                                                       << "\"Title'";
        QTest::newRow("quote on one side kept") << QByteArray("[bt]\nbiaoti=\"Title\n") << "bt"
                                                << "biaoti"
                                                << "\"Title";
        QTest::newRow("quotes inside kept") << QByteArray("[bt]\nbiaoti=a \"b\" c\n") << "bt"
                                            << "biaoti"
                                            << "a \"b\" c";

        QTest::newRow("leading control bytes and blanks on the names")
            << title << QString::fromLatin1("\x01\t bt", 5) << QString::fromLatin1("\x00\x1f\n biaoti", 10) << "Title";
        QTest::newRow("empty section") << QByteArray("[]\nbiaoti=Title\n") << ""
                                       << "biaoti"
                                       << "";
        QTest::newRow("section of blanks only") << QByteArray("[]\nbiaoti=Title\n") << " \t"
                                                << "biaoti"
                                                << "";
        QTest::newRow("empty key") << QByteArray("[bt]\n=Title\n") << "bt"
                                   << ""
                                   << "";
        QTest::newRow("key of blanks only") << QByteArray("[bt]\n=Title\n") << "bt"
                                            << "  "
                                            << "";

        QTest::newRow("missing section") << title << "mc"
                                         << "biaoti"
                                         << "";
        QTest::newRow("missing key") << title << "bt"
                                     << "mingcheng"
                                     << "";
        QTest::newRow("key of another section") << QByteArray("[bt]\nbiaoti=Title\n[mc]\nmingcheng=Banner\n") << "bt"
                                                << "mingcheng"
                                                << "";
        QTest::newRow("key before every section") << QByteArray("biaoti=Title\n[bt]\n") << "bt"
                                                  << "biaoti"
                                                  << "";
        QTest::newRow("names are not prefixes")
            << QByteArray("[btx]\nbiaoti=no\n[bt]\nbiaoti2=no\nbiaot=no\nbiaoti=yes\n") << "bt"
            << "biaoti"
            << "yes";
        QTest::newRow("first key wins") << QByteArray("[bt]\nbiaoti=one\nBIAOTI=two\n") << "bt"
                                        << "biaoti"
                                        << "one";
        QTest::newRow("first section wins") << QByteArray("[bt]\nbiaoti=one\n[BT]\nbiaoti=two\n") << "bt"
                                            << "biaoti"
                                            << "one";
        QTest::newRow("later section of the same name not searched")
            << QByteArray("[bt]\nother=1\n[bt]\nbiaoti=two\n") << "bt"
            << "biaoti"
            << "";
        QTest::newRow("lines without '=' skipped")
            << QByteArray("[bt]\njust some words\n[not closed\n\nbiaoti=Title\n") << "bt"
            << "biaoti"
            << "Title";

        QTest::newRow("Chinese names and value")
            << gbk(u"[名单]\r\n接访人 = 张三\r\n"_s) << u"名单"_s << u"接访人"_s << u"张三"_s;
        // 0xB05D is one GBK character whose second byte is ']'.
        const QString bracketSecond = QStringDecoder("GBK")(QByteArray("\xB0\x5D"));
        QTest::newRow("GBK character whose second byte is ']'")
            << QByteArray("[\xB0\x5D]\nk=v\n") << bracketSecond << "k"
            << "v";
        QTest::newRow("NUL and junk bytes in other lines")
            << QByteArray("\x00\xFF\x81\n[bt\x00]\nbiaoti=no\n[bt]\n\x81\nbiaoti=Title\n", 40) << "bt"
            << "biaoti"
            << "Title";
        QTest::newRow("broken GBK byte before the line end") << QByteArray("[bt]\nx=\xB0\nbiaoti=Title\n") << "bt"
                                                             << "biaoti"
                                                             << "Title";
    }

    void rules() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(readSettingFrom(write(file), section, key), expected);
    }

    void encodings_data() {
        QTest::addColumn<QByteArray>("file");

        const QString text = u"[bt]\r\nbiaoti = \"信访接待室\"\r\n[名单]\r\n接访人=张三\r\n"_s;
        for (const QString& encoding : {u"GBK"_s, u"UTF-8"_s, u"UTF-16LE"_s}) {
            QTest::newRow(qPrintable(encoding)) << encoded(text, encoding);
        }
    }

    void encodings() {
        QFETCH(QByteArray, file);
        const QString path = write(file);
        QCOMPARE(readSettingFrom(path, u"BT"_s, u"biaoti"_s), u"信访接待室"_s);
        QCOMPARE(readSettingFrom(path, u"名单"_s, u"接访人"_s), u"张三"_s);
    }

    void utf8WithoutMarkIsReadAsGbk() {
        const QByteArray utf8 = u"[bt]\nbiaoti=张三\n"_s.toUtf8();
        const QString asGbk = QStringDecoder("GBK")(u"张三"_s.toUtf8());
        QCOMPARE(readSettingFrom(write(utf8), u"bt"_s, u"biaoti"_s), asGbk);
    }

    // The limit counts bytes on disk and never splits a character.
    void longValues_data() {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");

        const QString a(10239, u'a');
        const QString xin = u"信"_s;
        const QString far = QString::fromUcs4(U"\U00020000"); // outside the BMP: a surrogate pair in UTF-16

        QTest::newRow("GBK, at the limit") << "GBK" << a << a;
        QTest::newRow("GBK, one byte over") << "GBK" << a + u'b' << a;
        QTest::newRow("GBK, quotes do not count") << "GBK" << u'"' + a + u'"' << a;
        QTest::newRow("GBK, double-byte at the limit")
            << "GBK" << u'a' + xin.repeated(5119) << u'a' + xin.repeated(5119);
        QTest::newRow("GBK, double-byte not split") << "GBK" << xin.repeated(5120) << xin.repeated(5119);
        QTest::newRow("UTF-8, at the limit") << "UTF-8" << xin.repeated(3413) << xin.repeated(3413);
        QTest::newRow("UTF-8, three-byte not split")
            << "UTF-8" << u'a' + xin.repeated(3413) << u'a' + xin.repeated(3412);
        QTest::newRow("UTF-16, two bytes a character") << "UTF-16LE" << a << QString(5119, u'a');
        QTest::newRow("UTF-16, Chinese") << "UTF-16LE" << xin.repeated(6000) << xin.repeated(5119);
        QTest::newRow("UTF-16, surrogate pair not split")
            << "UTF-16LE" << u"aa"_s + far.repeated(2559) << u"aa"_s + far.repeated(2558);
    }

    void longValues() {
        QFETCH(QString, encoding);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const QString path = write(encoded(u"[md]\r\nmingdan1="_s + value + u"\r\nmingdan2=next\r\n"_s, encoding));
        QCOMPARE(readSettingFrom(path, u"md"_s, u"mingdan1"_s), expected);
        QCOMPARE(readSettingFrom(path, u"md"_s, u"mingdan2"_s), u"next"_s);
    }

    void readsAfreshEveryTime() {
        const QString path = write("[bt]\nbiaoti=one\n");
        QCOMPARE(readSettingFrom(path, u"bt"_s, u"biaoti"_s), u"one"_s);
        write("[bt]\nbiaoti=two\n");
        QCOMPARE(readSettingFrom(path, u"bt"_s, u"biaoti"_s), u"two"_s);
        QVERIFY(QFile::remove(path));
        QCOMPARE(readSettingFrom(path, u"bt"_s, u"biaoti"_s), QString());
    }

    // set.ini and the database are found beside the program whatever directory it was started from.
    void runDirectoryIsTheProgramDirectory() {
        QVERIFY(QDir::setCurrent(dir.path()));
        initRunDirectory();
        const QString programDirectory = QCoreApplication::applicationDirPath();
        QCOMPARE(QDir::current(), QDir(programDirectory));
        QCOMPARE(QDir::fromNativeSeparators(runDirectory()), programDirectory);
        QCOMPARE(QFileInfo(runDirectoryFile(u"set.ini"_s)).absoluteFilePath(), programDirectory + u"/set.ini"_s);
    }

    void readSettingUsesSetIniInTheRunDirectory() {
        setRunDirectoryForTesting(dir.path());
        write("[mc]\nmingcheng=Banner\n");
        QCOMPARE(readSetting(u"mc"_s, u"mingcheng"_s), u"Banner"_s);
        QVERIFY(QFile::remove(dir.filePath(u"set.ini"_s)));
        QCOMPARE(readSetting(u"mc"_s, u"mingcheng"_s), QString());
    }

    // A folder copied from a Windows desk may hold Set.ini or XINFANG.MDB: the file is found as Windows
    // finds it, and never picked by a guess when several names differ only in letter case.
    void filesFoundWithoutRegardToCase_data() {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("found"); // empty: none, the exact name that does not exist
        QTest::newRow("exact name") << QStringList{u"set.ini"_s} << u"set.ini"_s;
        QTest::newRow("other letter case") << QStringList{u"Set.ini"_s} << u"Set.ini"_s;
        QTest::newRow("all capitals") << QStringList{u"SET.INI"_s} << u"SET.INI"_s;
        QTest::newRow("exact name wins") << QStringList{u"SET.INI"_s, u"set.ini"_s, u"Set.Ini"_s} << u"set.ini"_s;
        QTest::newRow("two others: none") << QStringList{u"SET.INI"_s, u"Set.ini"_s} << QString();
        QTest::newRow("only similar names") << QStringList{u"set.ini.bak"_s, u"set.in"_s, u"xset.ini"_s} << QString();
        QTest::newRow("nothing") << QStringList() << QString();
    }
    void filesFoundWithoutRegardToCase() {
        QFETCH(QStringList, present);
        QFETCH(QString, found);
        QTemporaryDir folder;
        for (const QString& name : present) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(gbk(u"[mc]\r\nmingcheng="_s + name + u"\r\n"_s));
        }
        setRunDirectoryForTesting(folder.path());
        const QString path = runDirectoryFile(u"set.ini"_s);
        QCOMPARE(QFileInfo(path).fileName(), found.isEmpty() ? u"set.ini"_s : found);
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(folder.path()).absoluteFilePath());
        QCOMPARE(readSetting(u"mc"_s, u"mingcheng"_s), found);
    }

    void junkAndBigFiles_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");

        QByteArray sections;
        for (int i = 0; i < 5000; ++i) {
            sections += "[s" + QByteArray::number(i) + "]\r\nk=v" + QByteArray::number(i) + "\r\n";
        }
        sections += "[wanted]\r\nk=found\r\n";
        QTest::newRow("5000 sections") << sections << "WANTED";

        // Ten megabytes of random bytes, kept away from '[' so that no section is opened by chance.
        QRandomGenerator random(20121204);
        QByteArray junk(10 * 1024 * 1024, Qt::Uninitialized);
        for (char& c : junk) {
            c = static_cast<char>(random.bounded(256));
            if (c == '[') {
                c = '=';
            }
        }
        QTest::newRow("10 MB of junk") << junk + "\n[wanted]\nk=found\n"
                                       << "wanted";

        const QString wanted = u"[wanted]\r\nk=found\r\n"_s;
        QTest::newRow("UTF-16 with an odd byte count") << encoded(wanted, u"UTF-16LE"_s) + 'x' << "wanted";
        QTest::newRow("UTF-8 with broken sequences")
            << QByteArray("\xEF\xBB\xBF\xC3\n\xF0\x9F\n") + wanted.toUtf8() + "\xE4\xBF"
            << "wanted";
    }

    // Nothing in a file can crash the reader or make it hang; a valid key after the junk is still found.
    void junkAndBigFiles() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        const QString path = write(file);
        QCOMPARE(readSettingFrom(path, section, u"k"_s), u"found"_s);
        QCOMPARE(readSettingFrom(path, u"absent"_s, u"k"_s), QString());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
