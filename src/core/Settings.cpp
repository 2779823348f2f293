#include "Settings.h"

#include "RunDirectory.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringDecoder>

// A small reader with the rules of the Windows profile-file reader (GetPrivateProfileString), since set.ini
// files are written by hand on Windows and must read here exactly as they read there.
//
// The reader walks raw bytes, because the length limit counts bytes of the file's encoding and GBK names may
// hold bytes that look like ASCII punctuation. A GBK file is walked as GBK, a UTF-8 file as UTF-8, and a
// UTF-16 file is turned into UTF-8 first, so one walk serves all three: the line ends, blanks, brackets,
// '=' and quotation marks it looks for are ASCII in each of them.

namespace {

enum class FileEncoding { Gbk, Utf8, Utf16Le };

struct SettingsText {
    QByteArray bytes;                          // GBK for a GBK file, UTF-8 for the other two
    FileEncoding encoding = FileEncoding::Gbk; // the encoding on disk, in which the length limit counts
};

SettingsText walkableText(const QByteArray& fileBytes) {
    static constexpr QByteArrayView utf8Mark("\xEF\xBB\xBF");
    static constexpr QByteArrayView utf16LeMark("\xFF\xFE");
    if (fileBytes.startsWith(utf8Mark)) {
        return {fileBytes.sliced(utf8Mark.size()), FileEncoding::Utf8};
    }
    if (fileBytes.startsWith(utf16LeMark)) {
        // The mark is already gone: a second one would belong to the text.
        QStringDecoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::ConvertInitialBom);
        QString text = utf16(QByteArrayView(fileBytes).sliced(utf16LeMark.size()));
        // Half of a surrogate pair has no UTF-8 form; toUtf8() would make it '?', which reads as a
        // character someone typed. The replacement character shows it for the broken character it is.
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            } else if (text[i].isSurrogate()) {
                text[i] = QChar::ReplacementCharacter;
            }
        }
        return {text.toUtf8(), FileEncoding::Utf16Le};
    }
    return {fileBytes, FileEncoding::Gbk};
}

// Each piece is decoded on its own (Stateless): a broken last byte of a name must not leak into the next one.
QStringDecoder decoderFor(FileEncoding encoding) {
    if (encoding == FileEncoding::Gbk) {
        QStringDecoder gbk("GBK", QStringConverter::Flag::Stateless);
        if (gbk.isValid()) {
            return gbk;
        }
        // A Qt without a GBK codec: the system code page is 936 on the Chinese Windows this file comes from.
        return QStringDecoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    }
    return QStringDecoder(QStringConverter::Utf8,
                          QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
}

bool isGbkLeadByte(uchar b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isGbkTrailByte(uchar b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}
bool isUtf8Continuation(uchar b) {
    return (b & 0xC0) == 0x80;
}

// The number of bytes of the character that starts at `at`. A broken sequence counts one byte at a time, so
// junk in the file can never make the walk step over a line end or past the end of the text.
qsizetype characterLength(QByteArrayView text, qsizetype at, bool gbk) {
    const auto lead = static_cast<uchar>(text[at]);
    if (gbk) {
        const bool pair =
            at + 1 < text.size() && isGbkLeadByte(lead) && isGbkTrailByte(static_cast<uchar>(text[at + 1]));
        return pair ? 2 : 1;
    }
    const qsizetype expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    qsizetype length = 1;
    while (length < expected && at + length < text.size() &&
           isUtf8Continuation(static_cast<uchar>(text[at + length]))) {
        ++length;
    }
    return length;
}

// The position of the ASCII character c, stepping over whole characters so that the second byte of a GBK
// character (which may be 0x5D, ']') is never taken for it; -1 when there is none.
qsizetype indexOfAscii(QByteArrayView text, char c, bool gbk) {
    for (qsizetype at = 0; at < text.size(); at += characterLength(text, at, gbk)) {
        if (text[at] == c) {
            return at;
        }
    }
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView withoutBlanks(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && isBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

// One pair of matching quotation marks around the whole value goes; a lone quotation mark stays.
QByteArrayView withoutQuotes(QByteArrayView value) {
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return quoted ? value.sliced(1, value.size() - 2) : value;
}

// The longest start of the value that fits in maxSettingBytes of the file's encoding without splitting a
// character.
QByteArrayView cutToLimit(QByteArrayView value, FileEncoding encoding) {
    qsizetype end = 0;
    qsizetype bytesOnDisk = 0;
    while (end < value.size()) {
        const qsizetype length = characterLength(value, end, encoding == FileEncoding::Gbk);
        // In a UTF-16 file each character took 2 bytes, or 4 as a surrogate pair (4 bytes of UTF-8 here).
        const qsizetype size = encoding == FileEncoding::Utf16Le ? (length == 4 ? 4 : 2) : length;
        if (bytesOnDisk + size > maxSettingBytes) {
            break;
        }
        bytesOnDisk += size;
        end += length;
    }
    return value.first(end);
}

QString withoutLeadingControls(const QString& name) {
    qsizetype start = 0;
    while (start < name.size() && name[start].unicode() <= 0x20) {
        ++start;
    }
    return name.sliced(start);
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString readSetting(const QString& section, const QString& key) {
    return readSettingFrom(runDirectoryFile(QStringLiteral("set.ini")), section, key);
}

QString readSettingFrom(const QString& filePath, const QString& section, const QString& key) {
    const QString wantedSection = withoutLeadingControls(section);
    const QString wantedKey = withoutLeadingControls(key);
    if (wantedSection.isEmpty() || wantedKey.isEmpty()) {
        return {};
    }

    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const SettingsText settings = walkableText(file.readAll());
    const QByteArrayView text = settings.bytes;
    const bool gbk = settings.encoding == FileEncoding::Gbk;
    QStringDecoder decode = decoderFor(settings.encoding);

    bool inWantedSection = false;
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        // CR and LF are never part of a GBK or UTF-8 character, so a plain byte search finds the line end.
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && text[lineEnd] != '\n' && text[lineEnd] != '\r') {
            ++lineEnd;
        }
        const QByteArrayView line = withoutBlanks(text.sliced(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;

        const qsizetype closing = line.startsWith('[') ? indexOfAscii(line, ']', gbk) : -1;
        if (closing > 0) {
            // Only the first section of that name is searched: a later one with the same name is not read.
            if (inWantedSection) {
                return {};
            }
            inWantedSection = sameName(decode(line.sliced(1, closing - 1)), wantedSection);
            continue;
        }
        if (!inWantedSection) {
            continue;
        }
        const qsizetype equals = indexOfAscii(line, '=', gbk);
        if (equals < 0 || !sameName(decode(withoutBlanks(line.first(equals))), wantedKey)) {
            continue;
        }
        // Windows hands the value over as a C string: it ends at a NUL byte, before the quotation marks
        // are looked at. Kept, a NUL would reach a receiver name, and no registration naming that
        // receiver could be stored.
        QByteArrayView value = withoutBlanks(line.sliced(equals + 1));
        if (const qsizetype nul = value.indexOf('\0'); nul >= 0) {
            value.truncate(nul);
        }
        return decode(cutToLimit(withoutQuotes(value), settings.encoding));
    }
    return {};
}
