#include "core/DateTimeText.h"
#include "core/NumberText.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

// The date goes into every registration and the numbers into the proposed registration number: a wrong
// character here ends up in the database for good.
class TestTexts : public QObject {
    Q_OBJECT

private slots:
    void dateTime_data() {
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("full");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");

        const QDate day(2012, 12, 4);
        QTest::newRow("7:40:07") << QDateTime(day, QTime(7, 40, 7)) << u"2012年12月4日7时40分7秒"_s
                                 << u"2012年12月4日"_s << u"7时40分7秒"_s;
        QTest::newRow("7:40:00") << QDateTime(day, QTime(7, 40, 0)) << u"2012年12月4日7时40分"_s << u"2012年12月4日"_s
                                 << u"7时40分"_s;
        QTest::newRow("7:00:00") << QDateTime(day, QTime(7, 0, 0)) << u"2012年12月4日7时"_s << u"2012年12月4日"_s
                                 << u"7时"_s;
        QTest::newRow("midnight") << QDateTime(day, QTime(0, 0, 0)) << u"2012年12月4日"_s << u"2012年12月4日"_s
                                  << QString();
        // A zero hour or minute is still written when a later part is not zero.
        QTest::newRow("0:00:05") << QDateTime(day, QTime(0, 0, 5)) << u"2012年12月4日0时0分5秒"_s << u"2012年12月4日"_s
                                 << u"0时0分5秒"_s;
        QTest::newRow("0:05:00") << QDateTime(day, QTime(0, 5, 0)) << u"2012年12月4日0时5分"_s << u"2012年12月4日"_s
                                 << u"0时5分"_s;
        QTest::newRow("7:00:30") << QDateTime(day, QTime(7, 0, 30)) << u"2012年12月4日7时0分30秒"_s
                                 << u"2012年12月4日"_s << u"7时0分30秒"_s;
        QTest::newRow("no leading zeros") << QDateTime(QDate(2009, 1, 2), QTime(3, 4, 5)) << u"2009年1月2日3时4分5秒"_s
                                          << u"2009年1月2日"_s << u"3时4分5秒"_s;
        QTest::newRow("last second of a year")
            << QDateTime(QDate(2012, 12, 31), QTime(23, 59, 59)) << u"2012年12月31日23时59分59秒"_s
            << u"2012年12月31日"_s << u"23时59分59秒"_s;
        // The milliseconds of the clock are not shown and do not count as a second.
        QTest::newRow("milliseconds ignored")
            << QDateTime(day, QTime(7, 0, 0, 500)) << u"2012年12月4日7时"_s << u"2012年12月4日"_s << u"7时"_s;
    }

    void dateTime() {
        QFETCH(QDateTime, moment);
        QFETCH(QString, full);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QCOMPARE(dateTimeText(moment), full);
        QCOMPARE(datePart(moment), date);
        QCOMPARE(timePart(moment), time);
    }

    void readNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");

        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("whole") << "12" << 12.0;
        QTest::newRow("leading zeros") << "007" << 7.0;
        QTest::newRow("blanks before, letters after") << "  12abc" << 12.0;
        QTest::newRow("tab before") << "\t 12" << 12.0;
        QTest::newRow("stops at a blank") << "12 34" << 12.0;
        QTest::newRow("negative real") << "-3.7" << -3.7;
        QTest::newRow("plus sign") << "+5" << 5.0;
        QTest::newRow("point without digits after") << "5." << 5.0;
        QTest::newRow("point without digits before") << ".5" << 0.5;
        QTest::newRow("decimal comma is not a point") << "1,5" << 1.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("capital exponent with sign") << "2.5E-1" << 0.25;
        QTest::newRow("exponent with plus") << "1e+2x" << 100.0;
        QTest::newRow("exponent without digits") << "1e" << 1.0;
        QTest::newRow("exponent sign without digits") << "1e+" << 1.0;
        QTest::newRow("exponent is whole") << "1e3.5" << 1000.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("point alone") << "." << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("exponent without mantissa") << "e5" << 0.0;
        QTest::newRow("blank after the sign") << "- 3" << 0.0;
        QTest::newRow("two signs") << "--1" << 0.0;
        QTest::newRow("no hexadecimal") << "0x1A" << 0.0;
        QTest::newRow("no infinity word") << "inf" << 0.0;
        QTest::newRow("no nan word") << "nan" << 0.0;
        QTest::newRow("full-width digits are not digits") << u"１２"_s << 0.0;
        QTest::newRow("too large") << "1e999" << std::numeric_limits<double>::infinity();
        QTest::newRow("too large, negative") << "-1e999" << -std::numeric_limits<double>::infinity();
        QTest::newRow("too large without exponent") << QString(400, u'9') << std::numeric_limits<double>::infinity();
        QTest::newRow("too small") << "1e-999" << 0.0;
        QTest::newRow("too small, many digits") << u"0."_s + QString(400, u'0') + u"1e10"_s << 0.0;
        QTest::newRow("large despite a negative exponent")
            << u"1"_s + QString(400, u'0') + u"e-50"_s << std::numeric_limits<double>::infinity();
    }

    void readNumber() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(::readNumber(text), expected);
    }

    void readWholeNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("expected");

        QTest::newRow("empty") << "" << 0;
        QTest::newRow("whole") << "12" << 12;
        QTest::newRow("cut toward zero, positive") << "3.99" << 3;
        QTest::newRow("cut toward zero, negative") << "-3.7" << -3;
        QTest::newRow("exponent") << "1e3" << 1000;
        QTest::newRow("exponent without digits") << "1e" << 1;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("largest") << "2147483647" << std::numeric_limits<qint32>::max();
        QTest::newRow("smallest") << "-2147483648" << std::numeric_limits<qint32>::min();
        QTest::newRow("above the range") << "2147483648" << std::numeric_limits<qint32>::max();
        QTest::newRow("below the range") << "-2147483649" << std::numeric_limits<qint32>::min();
        QTest::newRow("far above the range") << "1e999" << std::numeric_limits<qint32>::max();
        QTest::newRow("far below the range") << "-1e10" << std::numeric_limits<qint32>::min();
    }

    void readWholeNumber() {
        QFETCH(QString, text);
        QFETCH(qint32, expected);
        QCOMPARE(::readWholeNumber(text), expected);
    }

    void wholeNumberText_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("expected");

        QTest::newRow("zero") << qint64(0) << "0";
        QTest::newRow("no group separators") << qint64(1234567) << "1234567";
        QTest::newRow("negative") << qint64(-42) << "-42";
        QTest::newRow("largest") << std::numeric_limits<qint64>::max() << "9223372036854775807";
        QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << "-9223372036854775808";
    }

    void wholeNumberText() {
        QFETCH(qint64, value);
        QFETCH(QString, expected);
        QCOMPARE(::wholeNumberText(value), expected);
    }

    void realNumberText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");

        QTest::newRow("whole") << 13.0 << "13";
        QTest::newRow("no trailing zeros") << 100.0 << "100";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("fraction") << 1.5 << "1.5";
        QTest::newRow("negative fraction") << -0.5 << "-0.5";
        QTest::newRow("13 significant digits") << 1234567890123.0 << "1234567890123";
        QTest::newRow("14 digits switch to an exponent") << 12345678901234.0 << "1.234567890123e+13";
        QTest::newRow("1e15") << 1e15 << "1e+15";
        QTest::newRow("binary noise rounded away") << 0.1 + 0.2 << "0.3";
        QTest::newRow("a third") << 1.0 / 3 << "0.3333333333333";
        QTest::newRow("small") << 0.00001 << "1e-05";
        QTest::newRow("rounded up at the 13th digit") << 9.99999999999999 << "10";
    }

    void realNumberText() {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(::realNumberText(value), expected);
    }

    // The registration window proposes the largest number so far plus one.
    void nextNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("12") << "12"
                            << "13";
        QTest::newRow("99") << "99"
                            << "100";
        QTest::newRow("empty") << ""
                               << "1";
        QTest::newRow("blanks and letters") << " 41号"
                                            << "42";
    }

    void nextNumber() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(::realNumberText(::readNumber(text) + 1), expected);
        QCOMPARE(::wholeNumberText(::readWholeNumber(text) + 1), expected);
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "test_texts.moc"
