#include "RecordList.h"

#include "core/NumberText.h"
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "ui/widgets/Fonts.h"

#include <QHeaderView>

#include <algorithm>
#include <charconv>

namespace {

// Column widths in pixels, in column order.
constexpr std::array<int, columnCount> columnWidths = {41,  111, 68,  68, 68,  68, 82,  82,  82,  82,  222,
                                                       123, 355, 158, 68, 222, 68, 333, 123, 289, 135, 888};

} // namespace

namespace {

// Whether text is exactly the decimal digits of number, as 编号 of the program's own tables always reads.
bool spellsNumber(const QString& text, qint32 number) {
    std::array<char, 12> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && text.size() == end - digits.data() &&
           std::equal(digits.data(), end, text.cbegin(), [](char d, QChar c) { return c == QLatin1Char(d); });
}

} // namespace

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractTableModel(parent), m_rowIcon(QStringLiteral(":/row.png")) {}

qint32 RecordListModel::numberOf(const QString& text) {
    // 编号 is plain digits, read here without the general number reader's work; anything else goes to it.
    bool digits = !text.isEmpty() && text.size() <= 9;
    qint32 value = 0;
    for (qsizetype i = 0; digits && i < text.size(); ++i) {
        digits = text[i] >= u'0' && text[i] <= u'9';
        value = value * 10 + (text[i].unicode() - u'0');
    }
    return digits ? value : readWholeNumber(text);
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shownRows);
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ::columnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !valid(index.row())) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return cellText(index.row(), index.column());
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        return m_rowIcon;
    }
    return {};
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ::columnCount) {
        return columnNames()[section];
    }
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void RecordListModel::setStore(RecordStore* store) {
    m_store = store;
    m_cache.clear();
}

void RecordListModel::beginBatch() {
    beginResetModel();
    m_inBatch = true;
}

void RecordListModel::endBatch() {
    m_inBatch = false;
    m_shownRows = m_values.size();
    endResetModel();
}

void RecordListModel::beginDeferring() {
    ++m_deferring;
}

void RecordListModel::endDeferring() {
    if (m_deferring > 0) {
        --m_deferring;
    }
    showPendingRows();
}

void RecordListModel::showPendingRows() {
    if (m_inBatch || m_shownRows >= m_values.size()) {
        return;
    }
    beginInsertRows({}, static_cast<int>(m_shownRows), static_cast<int>(m_values.size()) - 1);
    m_shownRows = m_values.size();
    endInsertRows();
}

void RecordListModel::clearStorage() {
    m_values.clear();
    m_ownRows.clear();
    m_numberTexts.clear();
    // The next listing reads every record afresh, changes made at this desk or another included.
    m_cache.clear();
}

void RecordListModel::clearRows() {
    if (m_inBatch) {
        clearStorage();
        return;
    }
    beginResetModel();
    clearStorage();
    m_shownRows = 0;
    endResetModel();
}

int RecordListModel::appendRow(qint32 value) {
    const std::size_t index = m_values.size();
    m_values.push_back(value);
    if (!m_inBatch && m_deferring == 0) {
        showPendingRows();
    }
    return static_cast<int>(index);
}

int RecordListModel::addRow(qint32 rowValue) {
    return addRow(rowValue, std::span<const QString>());
}

int RecordListModel::addRow(qint32 rowValue, const QStringList& cells) {
    return addRow(rowValue, std::span<const QString>(cells.cbegin(), cells.cend()));
}

int RecordListModel::addRow(qint32 rowValue, std::span<const QString> cells) {
    Cells own;
    std::copy_n(cells.begin(), std::min<std::size_t>(cells.size(), own.size()), own.begin());
    m_ownRows.insert_or_assign(storedRowCount(), std::move(own)); // before the views can ask for it
    return appendRow(rowValue);
}

int RecordListModel::addListedRow(qint32 number, const QString& numberText) {
    if (!spellsNumber(numberText, number)) {
        m_numberTexts.insert_or_assign(storedRowCount(), numberText);
    }
    return appendRow(number);
}

void RecordListModel::setCellText(int row, int column, const QString& text) {
    if (!valid(row) || column < 0 || column >= ::columnCount) {
        return;
    }
    auto own = m_ownRows.find(row);
    if (own == m_ownRows.end()) {
        // A listed row written to becomes a row of its own, with the texts it showed until now.
        Cells cells;
        for (int c = 0; c < ::columnCount; ++c) {
            cells[static_cast<std::size_t>(c)] = cellText(row, c);
        }
        own = m_ownRows.emplace(row, std::move(cells)).first;
    }
    own->second[static_cast<std::size_t>(column)] = text;
    if (!m_inBatch && static_cast<std::size_t>(row) < m_shownRows) {
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    }
}

QString RecordListModel::cellText(int row, int column) const {
    if (!valid(row) || column < 0 || column >= ::columnCount) {
        return QString();
    }
    if (!m_ownRows.empty()) {
        const auto own = m_ownRows.find(row);
        if (own != m_ownRows.end()) {
            return own->second[static_cast<std::size_t>(column)];
        }
    }
    if (column == 0) {
        const auto odd = m_numberTexts.empty() ? m_numberTexts.end() : m_numberTexts.find(row);
        return odd != m_numberTexts.end() ? odd->second : QString::number(m_values[static_cast<std::size_t>(row)]);
    }
    return listedRecord(row).texts[static_cast<std::size_t>(column - 1)];
}

qint32 RecordListModel::rowValue(int row) const {
    return valid(row) ? m_values[static_cast<std::size_t>(row)] : 0;
}

const RecordListModel::Cached& RecordListModel::listedRecord(int row) const {
    const qint32 number = m_values[static_cast<std::size_t>(row)];
    auto it = m_cache.find(number);
    if (it == m_cache.end()) {
        readBatchAround(row);
        it = m_cache.find(number); // the batch made an entry for it, read or not
    }
    it->second.lastUse = ++m_useClock;
    return it->second;
}

void RecordListModel::readBatchAround(int row) const {
    // Mostly rows below the one asked for, as a view paints from the top down; a few above it for the clerk
    // scrolling back up a line at a time.
    const int first = std::max(0, row - batchRows / 4);
    const int end = std::min(storedRowCount(), first + batchRows);
    std::vector<qint32> wanted;
    wanted.reserve(batchRows);
    for (int r = first; r < end; ++r) {
        const qint32 number = m_values[static_cast<std::size_t>(r)];
        if (!m_ownRows.contains(r) && !m_cache.contains(number) &&
            std::find(wanted.cbegin(), wanted.cend(), number) == wanted.cend()) {
            wanted.push_back(number);
        }
    }
    // Every wanted record gets an entry, so that a record the table no longer has (or a batch that cannot
    // be read) is not asked for again at each repaint.
    const quint64 stamp = ++m_useClock;
    for (const qint32 number : wanted) {
        m_cache[number].lastUse = stamp;
    }
    if (m_store != nullptr) {
        const QStringList& names = columnNames();
        std::vector<qint32> filled;
        const RecordStore::Handle handle = m_store->query(statements::selectByNumbers(wanted));
        m_store->toFirst(handle);
        while (!m_store->isPastEnd(handle)) {
            const qint32 number = numberOf(m_store->readText(handle, names[0]));
            // Only the first row of a number counts, should a table hold one twice.
            if (std::find(wanted.cbegin(), wanted.cend(), number) != wanted.cend() &&
                std::find(filled.cbegin(), filled.cend(), number) == filled.cend()) {
                Cached& record = m_cache[number];
                for (int column = firstTextColumn; column < ::columnCount; ++column) {
                    record.texts[static_cast<std::size_t>(column - 1)] = m_store->readText(handle, names[column]);
                }
                filled.push_back(number);
                ++m_recordsRead;
            }
            m_store->toNext(handle);
        }
        m_store->closeRecordset(handle);
    }
    trimCache();
}

void RecordListModel::trimCache() const {
    if (m_cache.size() <= cachedRecords) {
        return;
    }
    // The older half goes; what was just read is the newest.
    std::vector<quint64> uses;
    uses.reserve(m_cache.size());
    for (const auto& [number, record] : m_cache) {
        uses.push_back(record.lastUse);
    }
    const auto middle = uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2);
    std::nth_element(uses.begin(), middle, uses.end());
    const quint64 keepFrom = *middle;
    std::erase_if(m_cache, [keepFrom](const auto& entry) { return entry.second.lastUse < keepFrom; });
}

RecordList::RecordList(QWidget* parent) : ReportListView(parent), m_model(new RecordListModel(this)) {
    setObjectName(QStringLiteral("超级列表框"));
    setModel(m_model);
    setFont(layoutFont(QString(), 14));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setIconSize(QSize(16, 15));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (int c = 0; c < ::columnCount; ++c) {
        setColumnWidth(c, columnWidths[static_cast<std::size_t>(c)]);
    }
    // The row stays selected while the list lacks the focus, but the selection is not shown then.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    setPalette(pal);
}

void RecordList::clearRows() {
    m_model->clearRows();
}

int RecordList::addRow(int /*picture*/, qint32 rowValue) {
    return m_model->addRow(rowValue);
}

void RecordList::setCellText(int row, int column, const QString& text) {
    m_model->setCellText(row, column, text);
}

QString RecordList::cellText(int row, int column) const {
    return m_model->cellText(row, column);
}

qint32 RecordList::rowValue(int row) const {
    return m_model->rowValue(row);
}

int RecordList::rowCount() const {
    return m_model->storedRowCount();
}

int RecordList::currentRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}
