#include "RecordList.h"

#include "store/PetitionRecord.h"
#include "ui/widgets/Fonts.h"

#include <QHeaderView>

#include <algorithm>

namespace {

// Column widths in pixels, in column order.
constexpr std::array<int, columnCount> columnWidths = {41,  111, 68,  68, 68,  68, 82,  82,  82,  82,  222,
                                                       123, 355, 158, 68, 222, 68, 333, 123, 289, 135, 888};

} // namespace

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractTableModel(parent), m_rowIcon(QStringLiteral(":/row.png")) {}

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

void RecordListModel::beginBatch() {
    beginResetModel();
    m_inBatch = true;
}

void RecordListModel::endBatch() {
    m_inBatch = false;
    m_shownRows = m_rows.size();
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
    if (m_inBatch || m_shownRows >= m_rows.size()) {
        return;
    }
    beginInsertRows({}, static_cast<int>(m_shownRows), static_cast<int>(m_rows.size()) - 1);
    m_shownRows = m_rows.size();
    endInsertRows();
}

void RecordListModel::clearRows() {
    if (m_inBatch) {
        m_rows.clear();
        m_longRowEnds.clear();
        return;
    }
    beginResetModel();
    m_rows.clear();
    m_longRowEnds.clear();
    m_shownRows = 0;
    endResetModel();
}

int RecordListModel::addRow(qint32 rowValue, const QStringList& cells) {
    std::array<QString, ::columnCount> all;
    std::copy_n(cells.cbegin(), std::min<qsizetype>(cells.size(), ::columnCount), all.begin());
    return addRow(rowValue, all);
}

int RecordListModel::addRow(qint32 rowValue, std::span<const QString> cells) {
    const std::size_t index = m_rows.size();
    m_rows.emplace_back().value = rowValue;
    fillRow(index, cells);
    if (!m_inBatch && m_deferring == 0) {
        showPendingRows();
    }
    return static_cast<int>(index);
}

void RecordListModel::fillRow(std::size_t row, std::span<const QString> cells) {
    const std::size_t given = std::min<std::size_t>(cells.size(), ::columnCount);
    qsizetype length = 0;
    for (std::size_t c = 0; c < given; ++c) {
        length += cells[c].size();
    }
    // One allocation of the exact size, filled by plain copies: a listing does this for every row.
    Row& r = m_rows[row];
    r.text = QString(length, Qt::Uninitialized);
    QChar* out = r.text.data();
    Ends ends{};
    for (std::size_t c = 0; c < ends.size(); ++c) {
        if (c < given) {
            out = std::copy_n(cells[c].constData(), cells[c].size(), out);
        }
        ends[c] = static_cast<quint32>(out - r.text.constData());
    }
    if (length > longestShortRow) {
        m_longRowEnds[row] = ends;
        return;
    }
    std::copy(ends.begin(), ends.end(), r.ends.begin()); // each fits, being at most length
    if (!m_longRowEnds.empty()) {
        m_longRowEnds.erase(row);
    }
}

quint32 RecordListModel::cellEnd(std::size_t row, int column) const {
    const Row& r = m_rows[row];
    const auto c = static_cast<std::size_t>(column);
    return r.text.size() > longestShortRow ? m_longRowEnds.at(row)[c] : r.ends[c];
}

int RecordListModel::addRow(qint32 rowValue) {
    return addRow(rowValue, std::span<const QString>());
}

void RecordListModel::setCellText(int row, int column, const QString& text) {
    if (!valid(row) || column < 0 || column >= ::columnCount) {
        return;
    }
    std::array<QString, ::columnCount> cells;
    for (int c = 0; c < ::columnCount; ++c) {
        cells[static_cast<std::size_t>(c)] = c == column ? text : cellText(row, c);
    }
    fillRow(static_cast<std::size_t>(row), cells);
    if (!m_inBatch && static_cast<std::size_t>(row) < m_shownRows) {
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    }
}

QString RecordListModel::cellText(int row, int column) const {
    if (!valid(row) || column < 0 || column >= ::columnCount) {
        return QString();
    }
    const auto r = static_cast<std::size_t>(row);
    const quint32 begin = column == 0 ? 0 : cellEnd(r, column - 1);
    return m_rows[r].text.mid(begin, cellEnd(r, column) - begin);
}

qint32 RecordListModel::rowValue(int row) const {
    return valid(row) ? m_rows[static_cast<std::size_t>(row)].value : 0;
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
