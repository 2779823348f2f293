#include "FuzzChecks.h"

#include "core/Settings.h"
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace fuzzchecks {

namespace {

// One directory for the whole run: creating a database or a file for every input would cost more than
// the checks. /dev/shm, where there is one, spares the disk the flushes of millions of commits.
QTemporaryDir& workDirectory() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/xinfang-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/xinfang-fuzz-XXXXXX"));
    return dir;
}

enum class FileEncoding { Gbk, Utf8, Utf16Le };

FileEncoding encodingOf(QByteArrayView bytes) {
    if (bytes.startsWith(QByteArrayView("\xEF\xBB\xBF"))) {
        return FileEncoding::Utf8;
    }
    if (bytes.startsWith(QByteArrayView("\xFF\xFE"))) {
        return FileEncoding::Utf16Le;
    }
    return FileEncoding::Gbk;
}

// The bytes a value took in the file, counted again from the decoded text: each character as its
// encoding writes it, a replacement character as at least the one broken byte it stands for.
qsizetype bytesInFile(const QString& value, FileEncoding encoding) {
    qsizetype total = 0;
    QStringEncoder gbk("GBK", QStringConverter::Flag::Stateless);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QChar::ReplacementCharacter) {
            total += 1;
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate();
        const QString character = value.mid(i, pair ? 2 : 1);
        i += pair ? 1 : 0;
        switch (encoding) {
        case FileEncoding::Utf8:
            total += character.toUtf8().size();
            break;
        case FileEncoding::Utf16Le:
            total += character.size() * 2;
            break;
        case FileEncoding::Gbk:
            total += std::max<qsizetype>(1, QByteArray(gbk.encode(character)).size());
            break;
        }
    }
    return total;
}

} // namespace

QString checkSettings(QByteArrayView fileBytes) {
    const QString path = workDirectory().filePath(QStringLiteral("set.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(fileBytes.data(), fileBytes.size()) != fileBytes.size()) {
            return QStringLiteral("cannot write the settings file");
        }
    }
    const FileEncoding encoding = encodingOf(fileBytes);
    static const std::array<std::pair<QString, QString>, 3> names = {{
        {QStringLiteral("bt"), QStringLiteral("biaoti")},
        {QStringLiteral("md"), QStringLiteral("mingdan1")},
        {QStringLiteral("名单"), QStringLiteral("接访人")},
    }};
    for (const auto& [section, key] : names) {
        const QString value = readSettingFrom(path, section, key);
        const QString where = QStringLiteral("[%1] %2: ").arg(section, key);
        if (bytesInFile(value, encoding) > maxSettingBytes) {
            return where + QStringLiteral("a value of %1 bytes").arg(bytesInFile(value, encoding));
        }
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
            return where + QStringLiteral("a value with a line break");
        }
        if (value.contains(QChar(0))) {
            return where + QStringLiteral("a value with a NUL");
        }
    }
    return {};
}

QStringList textsFrom(QByteArrayView input) {
    // Characters beyond ASCII worth trying: Chinese (the table's own names among them), quotes and
    // blanks that look like ASCII ones, the replacement character, a byte-order mark, line and paragraph
    // separators, the two halves of 𠮷 (lone unless they meet), and more CJK to fill the table.
    static const std::array<char16_t, 126> beyondAscii = [] {
        std::array<char16_t, 126> t{};
        const char16_t chosen[] = {u'信',  u'访',  u'数',  u'据',  u'编',  u'号',  u'日',  u'期',  0x3000,
                                   0xFF07, 0x2019, 0xFF05, 0xFF3F, 0xFFFD, 0xFEFF, 0x00A0, 0x200B, 0x2028,
                                   0x2029, 0xD842, 0xDFB7, u'䶮',  0x00E9, 0x0130, 0x212A, 0x00DF};
        std::size_t i = 0;
        for (const char16_t c : chosen) {
            t[i++] = c;
        }
        for (char16_t c = 0x4E00; i < t.size(); ++i, c += 97) {
            t[i] = c;
        }
        return t;
    }();
    QStringList texts{QString()};
    for (qsizetype i = 0; i < input.size(); ++i) {
        const auto b = static_cast<unsigned char>(input[i]);
        if (b == 0xFE) {
            texts << QString();
        } else if (b == 0xFF) {
            if (i + 2 >= input.size()) {
                break;
            }
            const auto low = static_cast<unsigned char>(input[i + 1]);
            const auto high = static_cast<unsigned char>(input[i + 2]);
            texts.last() += QChar(static_cast<char16_t>(low | (high << 8)));
            i += 2;
        } else if (b >= 0x80) {
            texts.last() += QChar(beyondAscii[b - 0x80]);
        } else {
            texts.last() += QLatin1Char(static_cast<char>(b));
        }
    }
    return texts;
}

QString storedForm(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            ++i;
        } else if (out[i].isSurrogate()) {
            out[i] = QChar::ReplacementCharacter;
        }
    }
    return out;
}

namespace {

// The database and the program's connection to it, made once; each input leaves the table as it found it.
struct Database {
    QString path;
    RecordStore store;
    sqlite3* reader = nullptr; // SQLite's own view of the file, independent of the store

    Database() {
        path = workDirectory().filePath(QStringLiteral("xinfang.mdb"));
        QString create = QStringLiteral("CREATE TABLE ") + tableName() + QStringLiteral(" (") + columnNames()[0] +
                         QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        for (int c = firstTextColumn; c < columnCount; ++c) {
            create += QStringLiteral(", ") + columnNames()[c] + QStringLiteral(" TEXT");
        }
        create += QLatin1Char(')');
        sqlite3_open_v2(path.toUtf8().constData(), &reader, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(reader, create.toUtf8().constData(), nullptr, nullptr, nullptr);
        store.openDatabase(path);
    }
    ~Database() { sqlite3_close(reader); }

    qint64 count() const { return integer(QStringLiteral("SELECT count(*) FROM ") + tableName()); }
    qint64 integer(const QString& sql) const {
        sqlite3_stmt* stmt = nullptr;
        qint64 n = -1;
        if (sqlite3_prepare_v2(reader, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            n = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
        return n;
    }
    // Columns 1 to 21 of the row, as SQLite holds them; a value that is not text shows as "<type n>".
    QList<QByteArray> row(qint64 number) const {
        QList<QByteArray> out;
        sqlite3_stmt* stmt = nullptr;
        const QString sql = QStringLiteral("SELECT * FROM ") + tableName() + QStringLiteral(" WHERE ") +
                            columnNames()[0] + QStringLiteral("=?");
        if (sqlite3_prepare_v2(reader, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(stmt, 1, number);
            if (sqlite3_step(stmt) == SQLITE_ROW) {
                for (int c = firstTextColumn; c < sqlite3_column_count(stmt); ++c) {
                    const int type = sqlite3_column_type(stmt, c);
                    out << (type == SQLITE_TEXT
                                ? QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                             sqlite3_column_bytes(stmt, c))
                                : "<type " + QByteArray::number(type) + '>');
                }
            }
        }
        sqlite3_finalize(stmt);
        return out;
    }
};

Database& database() {
    static Database db;
    return db;
}

QList<QByteArray> utf8Of(const QStringList& texts) {
    QList<QByteArray> out;
    for (const QString& t : texts) {
        out << storedForm(t).toUtf8();
    }
    return out;
}

QString describe(const QString& what, const QStringList& values) {
    QStringList shown;
    for (const QString& v : values) {
        shown << QString::fromLatin1(v.toUtf8().toHex());
    }
    return what + QStringLiteral(" (values in UTF-8 hex: ") + shown.join(QLatin1Char(',')) + QLatin1Char(')');
}

bool holdsNul(const QStringList& texts) {
    return std::any_of(texts.begin(), texts.end(), [](const QString& t) { return t.contains(QChar(0)); });
}

// The 编号 of every row the search statement gives, or nullopt when the statement did not run.
std::optional<QList<qint64>> search(RecordStore& store, const QString& keyword) {
    const RecordStore::Handle h = store.query(statements::search(keyword));
    if (h == 0) {
        return std::nullopt;
    }
    QList<qint64> numbers;
    for (store.toFirst(h); !store.isPastEnd(h); store.toNext(h)) {
        numbers << store.readField(h, columnNames()[0]).toInteger();
    }
    store.closeRecordset(h);
    return numbers;
}

} // namespace

QString checkStatements(QByteArrayView input) {
    QStringList texts = textsFrom(input);
    const bool keywordGiven = texts.size() > columnCount - firstTextColumn;
    const QString keyword = keywordGiven ? texts[columnCount - firstTextColumn] : texts[0];
    QStringList values = texts.mid(0, columnCount - firstTextColumn);
    while (values.size() < columnCount - firstTextColumn) {
        values << QString();
    }

    // The brackets around the 21 column names, and only those, become the driver's quote.
    const QString insert = statements::insert(values);
    const QString quoted = statements::replaceBrackets(insert, QStringLiteral("\""));
    const auto brackets = [](const QString& s) { return s.count(QLatin1Char('[')) + s.count(QLatin1Char(']')); };
    if (quoted.count(QLatin1Char('"')) != insert.count(QLatin1Char('"')) + 42 ||
        brackets(quoted) != brackets(insert) - 42) {
        return describe(QStringLiteral("brackets replaced inside a value"), values);
    }
    const QString update = statements::update(values, QStringLiteral("1"));
    if (statements::replaceBrackets(update, QStringLiteral("\"")) != update ||
        statements::replaceBrackets(statements::search(keyword), QStringLiteral("\"")) != statements::search(keyword)) {
        return describe(QStringLiteral("a bracket inside a literal replaced"), values);
    }

    Database& db = database();
    if (!db.store.isOpen()) {
        return QStringLiteral("the test database did not open");
    }
    const qint64 before = db.count();
    const int inserted = db.store.execute(insert);
    if (holdsNul(values)) {
        if (inserted != 0 || db.count() != before) {
            return describe(QStringLiteral("a value with a NUL was stored"), values);
        }
    } else {
        if (inserted != 1) {
            return describe(QStringLiteral("insert failed: ") + db.store.lastDiagnostic().message, values);
        }
        if (db.count() != before + 1) {
            return describe(QStringLiteral("insert added %1 rows").arg(db.count() - before), values);
        }
        const qint64 number = db.integer(QStringLiteral("SELECT max(编号) FROM ") + tableName());
        if (db.row(number) != utf8Of(values)) {
            return describe(QStringLiteral("insert stored other values"), values);
        }

        // Read back as the windows read it.
        const RecordStore::Handle h =
            db.store.query(statements::selectAll() + QStringLiteral(" where 编号=") + QString::number(number));
        QStringList read;
        for (int c = firstTextColumn; c < columnCount; ++c) {
            read << db.store.readText(h, columnNames()[c]);
        }
        db.store.closeRecordset(h);
        QStringList expected;
        for (const QString& v : values) {
            expected << storedForm(v);
        }
        if (read != expected) {
            return describe(QStringLiteral("values read back differ"), values);
        }

        if (!holdsNul({keyword})) {
            const std::optional<QList<qint64>> found = search(db.store, keyword);
            // SQLite refuses LIKE patterns over 50,000 bytes.
            const bool tooLong = storedForm(keyword).toUtf8().size() + 2 > 50000;
            if (!found && !tooLong) {
                return describe(QStringLiteral("search failed: ") + db.store.lastDiagnostic().message, values);
            }
            if (found && !keywordGiven && !found->contains(number)) {
                return describe(QStringLiteral("search for a value did not find its row"), values);
            }
        }

        QStringList reversed(values.crbegin(), values.crend());
        if (db.store.execute(statements::update(reversed, QString::number(number))) != 1 ||
            db.row(number) != utf8Of(reversed)) {
            return describe(QStringLiteral("update stored other values"), values);
        }
        if (db.store.execute(statements::remove(QString::number(number))) != 1 || db.count() != before) {
            return describe(QStringLiteral("delete failed"), values);
        }
    }
    if (holdsNul({keyword}) && search(db.store, keyword)) {
        return describe(QStringLiteral("a keyword with a NUL ran"), values);
    }
    return {};
}

} // namespace fuzzchecks
