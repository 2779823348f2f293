// The keyword search and the delete command of the main window.
#include "MainWindow.h"

#include "RecordList.h"
#include "core/NumberText.h"
#include "store/Statements.h"
#include "ui/widgets/MessageBox.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>

namespace {

// The search lets the clerk's clicks and the clock run after every row it lists. Letting a visible list
// repaint on each of those turns would cost several milliseconds a row, minutes for a large result, so the
// list only paints itself every so often while it fills. The view learns of the new rows only then too,
// many at a time: told of each row, it would lay itself out again at every turn, about ten microseconds a
// row, more than reading the row costs. Only the first row it learns of at once, so that a command between
// the first two rows (a delete of the selected row, say) finds a row to act on. The rows it has not learnt
// of yet are in the list all the same (RecordList::rowCount, cellText). Each layout places the header at
// the first shown row; scrolling by items, that sums the heights of all rows before it, which grows with
// the list. Scrolling by pixels while the list fills keeps that step constant, and the list goes back to
// scrolling by items afterwards. Searches can nest (one started between two rows of another): each puts
// back the state it found, so the outermost one leaves the list as it was.
class FillingList {
public:
    explicit FillingList(RecordList* view)
        : m_view(view), m_updatesWereEnabled(view->updatesEnabled()), m_scrollMode(view->verticalScrollMode()) {
        m_view->setUpdatesEnabled(false);
        m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        m_view->model()->beginDeferring();
        m_sincePaint.start();
    }
    ~FillingList() {
        if (m_view) {
            m_view->model()->endDeferring();
            m_view->setVerticalScrollMode(m_scrollMode);
            m_view->setUpdatesEnabled(m_updatesWereEnabled);
        }
    }
    FillingList(const FillingList&) = delete;
    FillingList& operator=(const FillingList&) = delete;

    // Runs every pending event; now and then the list takes and paints the rows it has gained meanwhile.
    void processEvents() {
        const bool paint = m_sincePaint.hasExpired(paintIntervalMs);
        if (paint || !m_toldFirstRow) {
            m_view->model()->showPendingRows();
            m_toldFirstRow = true;
        }
        if (!paint) {
            QCoreApplication::processEvents();
            return;
        }
        m_view->setUpdatesEnabled(true);
        QCoreApplication::processEvents();
        // The events may have closed the window and destroyed the list with it.
        if (m_view) {
            m_view->setUpdatesEnabled(false);
        }
        m_sincePaint.restart();
    }

private:
    static constexpr qint64 paintIntervalMs = 100;

    QPointer<RecordList> m_view;
    bool m_updatesWereEnabled;
    QAbstractItemView::ScrollMode m_scrollMode;
    QElapsedTimer m_sincePaint;
    bool m_toldFirstRow = false;
};

} // namespace

void MainWindow::searchByKeyword() {
    const QString keyword = m_searchBox->text();
    QPointer<MainWindow> self(this);
    if (keyword.isEmpty()) {
        messagebox::show(messagebox::Style::Information, QStringLiteral("请输入查询条件！"), QStringLiteral("错误"));
        if (self) {
            // Nothing gives the window back its activation once the box has gone.
            activateWindow();
            m_searchBox->setFocus();
        }
        return;
    }

    const RecordStore::Handle handle = m_store.query(statements::searchNumbers(keyword));
    m_list->clearRows();
    // A window that was never shown (tests, benchmarks) has nothing to close; for one on screen, being
    // hidden means the clerk closed it and the result is no longer wanted.
    const bool wasVisible = isVisible();
    {
        FillingList filling(m_list);
        m_store.toFirst(handle);
        while (!m_store.isPastEnd(handle)) {
            appendCurrentRecord(handle);
            m_store.toNext(handle);
            // The clerk may click anything here, another search or a delete included; those run to their
            // end on the list and the connection, and this search then goes on with its own result.
            filling.processEvents();
            if (!self) {
                return; // the window and its connection are gone, and with them this result
            }
            if (wasVisible && !isVisible()) {
                m_store.closeRecordset(handle);
                return;
            }
        }
    }
    // A failed query opened nothing, and closing the handle 0 would close every recordset, that of a
    // search waiting between two of its rows (this one may run in its gap) included.
    if (handle != 0) {
        m_store.closeRecordset(handle);
    }

    if (m_list->rowCount() == 0) {
        messagebox::show(messagebox::Style::Warning,
                         QStringLiteral("对不起！没有在数据库中找到 [") + m_searchBox->text() +
                             QStringLiteral("] 的内容！"),
                         QStringLiteral("错误"));
    }
}

void MainWindow::deleteSelected() {
    if (m_list->currentRow() == -1) {
        messagebox::show(messagebox::Style::Error, QStringLiteral("请选择！"), QStringLiteral("错误操作"));
        return;
    }
    QPointer<MainWindow> self(this);
    const bool confirmed = messagebox::show(
        messagebox::Style::Question, QStringLiteral("删除无法恢复！\r\n您确定要删除吗？"), QStringLiteral("提示"));
    if (!confirmed || !self) {
        return;
    }
    const int row = m_list->currentRow();
    m_store.execute(statements::remove(wholeNumberText(m_list->rowValue(row))));
    listAllRecords();
}
