#include "Statements.h"

#include "PetitionRecord.h"

namespace statements {

QString literalText(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return doubled;
}

QString selectAll() {
    return QStringLiteral("select * from ") + tableName();
}

namespace {

// " where 编号 like '%k%' or 日期 like '%k%' or …" over all 22 columns.
QString keywordCondition(const QString& keyword) {
    const QString k = literalText(keyword);
    const QStringList& names = columnNames();
    QString s = QStringLiteral(" where ") + names[0] + QStringLiteral(" like '%") + k;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        s += QStringLiteral("%' or ") + names[column] + QStringLiteral(" like '%") + k;
    }
    s += QStringLiteral("%'");
    return s;
}

} // namespace

QString search(const QString& keyword) {
    return QStringLiteral("select * from ") + tableName() + keywordCondition(keyword);
}

namespace {

QString numbersFromTable() {
    return QStringLiteral("select ") + columnNames()[0] + QStringLiteral(" from ") + tableName();
}

} // namespace

QString selectNumbers() {
    // A condition that is always true but names every column. SQLite answers a query for one column from
    // the smallest index that holds it, in that index's order, and a table made by another tool may have
    // an index on any column: the numbers would then come in another order than "select *" gives the rows.
    // No index holds all 22 columns, so this reads the table itself, in its own order.
    const QStringList& names = columnNames();
    QString s = numbersFromTable() + QStringLiteral(" where coalesce(");
    for (int column = firstTextColumn; column < columnCount; ++column) {
        s += names[column] + QLatin1Char(',');
    }
    s += QStringLiteral("'') is not null");
    return s;
}

QString searchNumbers(const QString& keyword) {
    // The keyword's condition names every column already.
    return numbersFromTable() + keywordCondition(keyword);
}

QString selectByNumbers(std::span<const qint32> numbers) {
    if (numbers.empty()) {
        return QString();
    }
    QString s = QStringLiteral("select * from ") + tableName() + QStringLiteral(" where ") + columnNames()[0] +
                QStringLiteral(" in (");
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            s += QLatin1Char(',');
        }
        s += QString::number(numbers[i]);
    }
    s += QLatin1Char(')');
    return s;
}

QString insert(const QStringList& values) {
    Q_ASSERT(values.size() == columnCount - firstTextColumn);
    const QStringList& names = columnNames();
    QString s = QStringLiteral("insert into ") + tableName() + QStringLiteral(" (");
    for (int column = firstTextColumn; column < columnCount; ++column) {
        if (column > firstTextColumn) {
            s += QLatin1Char(',');
        }
        s += QLatin1Char('[') + names[column] + QLatin1Char(']');
    }
    s += QStringLiteral(") values ('");
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0) {
            s += QStringLiteral("','");
        }
        s += literalText(values[i]);
    }
    s += QStringLiteral("')");
    return s;
}

QString update(const QStringList& values, const QString& number) {
    Q_ASSERT(values.size() == columnCount - firstTextColumn);
    const QStringList& names = columnNames();
    QString s = QStringLiteral("update ") + tableName() + QStringLiteral(" set ") + names[firstTextColumn] +
                QStringLiteral("='") + literalText(values.value(0));
    for (int column = firstTextColumn + 1; column < columnCount; ++column) {
        s += QStringLiteral("',") + names[column] + QStringLiteral("='") +
             literalText(values.value(column - firstTextColumn));
    }
    s += QStringLiteral("' where ") + names[0] + QLatin1Char('=') + number;
    return s;
}

QString remove(const QString& number) {
    return QStringLiteral("delete from ") + tableName() + QStringLiteral(" where ") + columnNames()[0] +
           QLatin1Char('=') + number;
}

QString replaceBrackets(const QString& statement, const QString& quote) {
    QString out;
    out.reserve(statement.size());
    bool inLiteral = false;
    for (const QChar c : statement) {
        if (c == QLatin1Char('\'')) {
            // A doubled quote inside a literal toggles twice and so stays inside it.
            inLiteral = !inLiteral;
        }
        if (!inLiteral && (c == QLatin1Char('[') || c == QLatin1Char(']'))) {
            out += quote;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace statements
