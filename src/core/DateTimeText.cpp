#include "DateTimeText.h"

#include <QDate>
#include <QTime>

namespace {

// The start of text that fits in maxBytes of GBK: ASCII takes one byte, every other character here two.
QString leftGbkBytes(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const int size = text[end].unicode() < 0x80 ? 1 : 2;
        if (bytes + size > maxBytes) {
            break;
        }
        bytes += size;
        ++end;
    }
    return text.first(end);
}

} // namespace

QString dateTimeText(const QDateTime& moment) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString text = QString::asprintf("%d年%d月%d日", date.year(), date.month(), date.day());
    if (time.second() != 0) {
        text += QString::asprintf("%d时%d分%d秒", time.hour(), time.minute(), time.second());
    } else if (time.minute() != 0) {
        text += QString::asprintf("%d时%d分", time.hour(), time.minute());
    } else if (time.hour() != 0) {
        text += QString::asprintf("%d时", time.hour());
    }
    return text;
}

QString dateTimeText() {
    return dateTimeText(QDateTime::currentDateTime());
}

QString datePart(const QDateTime& moment) {
    const QString text = dateTimeText(moment);
    return text.first(text.indexOf(u'日') + 1);
}

QString datePart() {
    return datePart(QDateTime::currentDateTime());
}

QString timePart(const QDateTime& moment) {
    const QString text = dateTimeText(moment);
    return leftGbkBytes(text.sliced(text.indexOf(u'日') + 1), 99);
}

QString timePart() {
    return timePart(QDateTime::currentDateTime());
}
