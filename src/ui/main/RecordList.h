#pragma once

#include "ReportListView.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <span>
#include <unordered_map>
#include <vector>

class RecordStore;

// The rows of the record list. A listing or a search gives each row only its record's number (编号); the
// cells of a row are read from the store when a view or a caller first asks for them, in small batches of
// neighbouring rows, and kept in a bounded cache until the next listing. A table of years of registrations
// so costs four bytes a row, and the clerk waits only for the twenty rows on the screen.
//
// Rows added with their texts (addRow, setCellText) keep those texts themselves and never read the store.
//
// A listed row whose record has gone from the table since (deleted at another desk) keeps its number; its
// other cells show the texts last read for it, or the empty text when they were never read or have been let
// go. Cells that cannot be read at all (the file gone bad under the program) read as empty until the next
// listing, rather than being asked for again at every repaint.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit RecordListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Where listed rows read their cells; nullptr: nowhere, they show only their numbers.
    void setStore(RecordStore* store);
    // The row value of a 编号 text: the integer part of the number it spells (0 for none).
    static qint32 numberOf(const QString& text);

    void clearRows();
    int addRow(qint32 rowValue);
    void setCellText(int row, int column, const QString& text);
    // A whole row at once: the 22 cell texts in column order (missing ones are empty).
    int addRow(qint32 rowValue, const QStringList& cells);
    int addRow(qint32 rowValue, std::span<const QString> cells);
    // A row of a listing or a search: the record's number and the text 编号 was read as; the other cells
    // come from the store by the number.
    int addListedRow(qint32 number, const QString& numberText);
    QString cellText(int row, int column) const;
    qint32 rowValue(int row) const;
    // Every row of the list, those the views have not been told of yet included.
    int storedRowCount() const { return static_cast<int>(m_values.size()); }

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

    // How many rows around the one asked for are read at once, and how many records the cache keeps.
    static constexpr int batchRows = 64;
    static constexpr std::size_t cachedRecords = 2048;
    // Records read from the store since the model was made; for tests and the benchmark.
    qint64 recordsRead() const { return m_recordsRead; }
    std::size_t cachedRecordCount() const { return m_cache.size(); }

private:
    using Cells = std::array<QString, 22>;
    struct Cached {
        std::array<QString, 21> texts; // columns 1 to 21
        quint64 lastUse = 0;
    };

    bool valid(int row) const { return row >= 0 && static_cast<std::size_t>(row) < m_values.size(); }
    int appendRow(qint32 value);
    // The cached record of a listed row, read with its neighbours when it is not cached.
    const Cached& listedRecord(int row) const;
    void readBatchAround(int row) const;
    void trimCache() const;
    void clearStorage();

    std::vector<qint32> m_values;                       // every row's value: the record's number
    std::unordered_map<int, Cells> m_ownRows;           // rows that hold their own texts, by row
    std::unordered_map<int, QString> m_numberTexts;     // listed rows whose 编号 text is not their number's digits
    mutable std::unordered_map<qint32, Cached> m_cache; // by number
    mutable quint64 m_useClock = 0;
    mutable qint64 m_recordsRead = 0;
    RecordStore* m_store = nullptr;
    std::size_t m_shownRows = 0; // the first rows, which the views know of
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
