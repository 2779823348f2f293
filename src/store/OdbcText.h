#pragma once

#include <QByteArray>
#include <QString>

// The one place where text crosses between QString and the ODBC driver. On Linux the narrow functions
// carry UTF-8 exactly, in every locale (the wide ones break Chinese text through unixODBC's conversion).
namespace odbctext {

// UTF-8; a lone surrogate, which has none, goes as U+FFFD, the replacement character.
QByteArray toDriver(const QString& text);
QString fromDriver(const QByteArray& bytes);
QString fromDriver(const char* bytes, qsizetype length);

} // namespace odbctext
