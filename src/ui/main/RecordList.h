#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QTableView>

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
    // A whole row at once: the 22 cell texts in column order.
    int addRow(qint32 rowValue, const QStringList& cells);
    QString cellText(int row, int column) const;
    qint32 rowValue(int row) const;

    // Between beginBatch() and endBatch() rows change without signals; the views see one reset at the
    // end. For rebuilding the whole list, which runs without handling any event in between.
    void beginBatch();
    void endBatch();

private:
    struct Row {
        QString text;                 // the cells one after another
        std::array<quint32, 22> ends; // where each cell ends in text
        qint32 value = 0;
    };
    bool valid(int row) const { return row >= 0 && static_cast<std::size_t>(row) < m_rows.size(); }

    std::vector<Row> m_rows;
    QIcon m_rowIcon;
    bool m_inBatch = false;
};

// The report list of the main window: column titles and widths, whole-row single selection, grid lines,
// no editing and no sorting. The selection is not shown while the list lacks the focus.
class RecordList : public QTableView {
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
