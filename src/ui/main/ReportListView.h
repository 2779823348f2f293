#pragma once

#include <QTableView>

// A table view that behaves as a report list does, for lists of whole-row records:
// - each cell is drawn on one line, a line break in its text shown as one blank, elided at the column's
//   edge; the row picture stands in front of the first cell;
// - Home and End (with or without Ctrl) go to the first and the last row, Page Up and Page Down by a page
//   of rows, and moving between rows never scrolls sideways;
// - Left and Right scroll sideways instead of moving between cells;
// - the top row in view is always whole, also when the list is scrolled to its end;
// - typed letters look for a row whose first cell starts with them;
// - the column titles are drawn in the list's own font.
class ReportListView : public QTableView {
    Q_OBJECT

public:
    explicit ReportListView(QWidget* parent = nullptr);

    // The text a cell shows for its stored text: every line break (CR LF, CR, LF or a Unicode line or
    // paragraph separator) becomes one blank.
    static QString oneLineText(const QString& text);

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void keyboardSearch(const QString& search) override;
    void doItemsLayout() override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    void alignTopRow();
};
