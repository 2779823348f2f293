#include "FieldValue.h"

#include <QDate>

FieldValue FieldValue::fromText(const QString& text) {
    FieldValue v;
    v.kind = Kind::Text;
    v.text = text;
    return v;
}

QString FieldValue::toText() const {
    switch (kind) {
    case Kind::Text:
        return text;
    case Kind::Integer:
        return QString::number(integer);
    case Kind::Real:
        return QString::asprintf("%.13g", real);
    case Kind::Boolean:
        return boolean ? QStringLiteral("1") : QStringLiteral("0");
    case Kind::DateTime:
        return dateTime.isValid() ? dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
    case Kind::Bytes:
        return QString::fromLatin1(bytes.toHex());
    }
    return QString();
}

double FieldValue::oleDate() const {
    if (!dateTime.isValid()) {
        return 0;
    }
    static const QDate epoch(1899, 12, 30);
    const qint64 days = epoch.daysTo(dateTime.date());
    const double fraction = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    return static_cast<double>(days) + fraction;
}
