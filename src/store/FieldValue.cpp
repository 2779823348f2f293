#include "FieldValue.h"

FieldValue FieldValue::fromText(const QString& text) {
    FieldValue v;
    v.text = text;
    return v;
}

qint64 FieldValue::toInteger(bool* ok) const {
    return text.trimmed().toLongLong(ok);
}
