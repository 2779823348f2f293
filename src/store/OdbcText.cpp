#include "OdbcText.h"

namespace odbctext {

QByteArray toDriver(const QString& text) {
    return text.toUtf8();
}

QString fromDriver(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

QString fromDriver(const char* bytes, qsizetype length) {
    return QString::fromUtf8(bytes, length);
}

} // namespace odbctext
