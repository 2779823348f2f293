#include "OdbcText.h"

#include <cstring>

namespace odbctext {

QByteArray toDriver(const QString& text) {
    // Half of a surrogate pair (from a paste or an import, never from typing) has no UTF-8 form. Qt would
    // write '?', a character the clerk could have typed, so a stored value would differ from the entry
    // without a trace; the replacement character keeps the place of the broken character visible. Each
    // is replaced on its own, wherever it stands, the last character included.
    QString sendable = text; // copied only if a surrogate is replaced
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            sendable[i] = QChar::ReplacementCharacter;
        }
    }
    return sendable.toUtf8();
}

QString fromDriver(const QByteArray& bytes) {
    return fromDriver(bytes.constData(), bytes.size());
}

QString fromDriver(const char* bytes, qsizetype length) {
    // QString::fromUtf8 takes a leading U+FEFF for a byte-order mark and drops it. In a stored value it
    // is a character (a zero-width no-break space pasted along with a text): dropped here, it would be
    // missing from the list, and a modification would then remove it from the record too.
    QString marks;
    while (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        marks += QChar(0xFEFF);
        bytes += 3;
        length -= 3;
    }
    return marks.isEmpty() ? QString::fromUtf8(bytes, length) : marks + QString::fromUtf8(bytes, length);
}

} // namespace odbctext
