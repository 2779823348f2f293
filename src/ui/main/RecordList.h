#pragma once

#include "ReportListView.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <span>
#include <unordered_map>
#include <vector>

// The rows of the record list. Each row keeps its 22 cell texts in one string with the end of each cell,
// which costs far less memory than a string per cell when the table holds years of registrations.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit RecordListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void clearRows();
    int addRow(qint32 rowValue);
    void setCellText(int row, int column, const QString& text);
    // A whole row at once: the 22 cell texts in column order (missing ones are empty).
    int addRow(qint32 rowValue, const QStringList& cells);
    int addRow(qint32 rowValue, std::span<const QString> cells);
    QString cellText(int row, int column) const;
    qint32 rowValue(int row) const;
    // Every row of the list, those the views have not been told of yet included.
    int storedRowCount() const { return static_cast<int>(m_rows.size()); }

    // Between beginBatch() and endBatch() rows change without signals; the views see one reset at the
    // end. For rebuilding the whole list, which runs without handling any event in between.
    void beginBatch();
    void endBatch();

    // Between beginDeferring() and endDeferring() (which nest) added rows reach the views only at
    // showPendingRows() and at the end, many at a time. For filling the list while events run between
    // rows: telling a view of each row makes it lay itself out again at every turn of the event loop.
    // rowCount() counts the rows the views know of.
    void beginDeferring();
    void endDeferring();
    void showPendingRows();

private:
    using Ends = std::array<quint32, 22>; // where each cell ends in the row's text

    struct Row {
        QString text; // the cells one after another
        qint32 value = 0;
        // 16 bits hold the ends of any row of up to 65,535 characters, nearly every row there is, in half
        // the room; a longer row keeps them in m_longRowEnds.
        std::array<quint16, 22> ends{};
    };
    static constexpr qsizetype longestShortRow = 0xFFFF;
    bool valid(int row) const { return row >= 0 && static_cast<std::size_t>(row) < m_rows.size(); }
    // Writes the row's text and ends from its cells (missing ones are empty).
    void fillRow(std::size_t row, std::span<const QString> cells);
    quint32 cellEnd(std::size_t row, int column) const;

    std::vector<Row> m_rows;
    std::unordered_map<std::size_t, Ends> m_longRowEnds; // by row
    std::size_t m_shownRows = 0;                         // the first rows of m_rows, which the views know of
    QIcon m_rowIcon;
    bool m_inBatch = false;
    int m_deferring = 0;
};

// The report list of the main window: column titles and widths, whole-row single selection, grid lines,
// no editing and no sorting. The selection is not shown while the list lacks the focus.
class RecordList : public ReportListView {
    Q_OBJECT

public:
    explicit RecordList(QWidget* parent = nullptr);

    RecordListModel* model() const { return m_model; }

    void clearRows();
    // Appends an empty row with the row value (the record's number) and gives its index.
    int addRow(int picture = 0, qint32 rowValue = 0);
    void setCellText(int row, int column, const QString& text);
    QString cellText(int row, int column) const;
    qint32 rowValue(int row) const;
    int rowCount() const;
    // The selected row, -1 when none is selected.
    int currentRow() const;

private:
    RecordListModel* m_model;
};
