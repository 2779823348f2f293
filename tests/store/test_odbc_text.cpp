#include "store/OdbcText.h"

#include <QTest>

// The conversions between QString and what the ODBC driver sends and takes: UTF-8 for the narrow functions,
// UTF-16 for the wide ones. Both are in every build, whichever of the two the store talks through.
class TestOdbcText : public QObject {
    Q_OBJECT

private slots:
    void toDriver_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sent"); // what reaches the driver, as characters
        const QChar high(0xD842);
        const QChar low(0xDFB7);
        const QString pair = QStringLiteral("𠮷");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("chinese") << QStringLiteral("信访数据") << QStringLiteral("信访数据");
        QTest::newRow("surrogate pair") << QStringLiteral("a𠮷b") << QStringLiteral("a𠮷b");
        QTest::newRow("pairs back to back") << pair + pair << pair + pair;
        QTest::newRow("lone high at the end") << QStringLiteral("ab") + high << QStringLiteral("ab\uFFFD");
        QTest::newRow("lone low first") << QString(low) + QStringLiteral("ab") << QStringLiteral("\uFFFDab");
        QTest::newRow("low before high") << QString(low) + high << QStringLiteral("\uFFFD\uFFFD");
        QTest::newRow("high, high, low") << QString(high) + pair << QStringLiteral("\uFFFD") + pair;
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b")
                             << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        QTest::newRow("byte-order mark") << QStringLiteral("\uFEFFx") << QStringLiteral("\uFEFFx");
    }
    void toDriver() {
        QFETCH(QString, text);
        QFETCH(QString, sent);
        const std::u16string utf16 = odbctext::toUtf16(text);
        QCOMPARE(QString(reinterpret_cast<const QChar*>(utf16.data()), static_cast<qsizetype>(utf16.size())), sent);
        QCOMPARE(odbctext::toUtf8(text), sent.toUtf8());
        // And back: what the driver was given reads as it.
        QCOMPARE(odbctext::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size())), sent);
        QCOMPARE(odbctext::fromUtf8(odbctext::toUtf8(text)), sent);
    }

    void fromDriverUtf16_data() {
        QTest::addColumn<QString>("units");
        QTest::newRow("surrogate pair") << QStringLiteral("𠮷䶮");
        QTest::newRow("lone surrogate") << QStringLiteral("a") + QChar(0xD842) + QStringLiteral("b");
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QChar(0) + QStringLiteral("b");
        QTest::newRow("byte-order mark") << QStringLiteral("\uFEFF\uFEFFx");
    }
    // The driver's UTF-16 is taken unit for unit.
    void fromDriverUtf16() {
        QFETCH(QString, units);
        QCOMPARE(odbctext::fromUtf16(reinterpret_cast<const char16_t*>(units.utf16()), units.size()), units);
    }

    void fromDriverUtf8_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("ascii") << QByteArray("O'Neil \\ \r\n") << QStringLiteral("O'Neil \\ \r\n");
        QTest::newRow("chinese") << QByteArray("信访") << QStringLiteral("信访");
        QTest::newRow("four bytes") << QByteArray("\xF0\xA0\xAE\xB7") << QStringLiteral("𠮷");
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        QTest::newRow("byte-order marks kept")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << QStringLiteral("\uFEFF\uFEFFx");
        QTest::newRow("cut short") << QByteArray("a\xE4\xBF") << QString::fromUtf8("a\xE4\xBF");
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << QString::fromUtf8("\xED\xA0\x80");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QString::fromUtf8("\xC0\xAF");
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QString::fromUtf8("\xF4\x90\x80\x80");
    }
    // The fast decoder a listing uses gives exactly what the general one gives.
    void fromDriverUtf8() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(odbctext::fromUtf8(bytes), text);
        QString into = QStringLiteral("the previous row's much longer value");
        const QString shared = into;
        odbctext::decodeUtf8Into(into, bytes);
        QCOMPARE(into, text);
        QCOMPARE(shared, QStringLiteral("the previous row's much longer value"));
    }
};

QTEST_GUILESS_MAIN(TestOdbcText)
#include "test_odbc_text.moc"
