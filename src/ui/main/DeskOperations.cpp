// The main window's operations for the entry windows: they store and read records only through these.

#include "MainWindow.h"
#include "RecordList.h"
#include "core/NumberText.h"
#include "store/PetitionRecord.h"
#include "store/Statements.h"
#include "ui/entry/ProcessState.h"
#include "ui/widgets/MessageBox.h"

bool MainWindow::registerRecord(const QStringList& values) {
    ProcessState& state = processState();
    state.lastInsertStatement = statements::insert(values);
    return m_store.execute(state.lastInsertStatement) != 0;
}

RecordDesk::UpdateResult MainWindow::updateRecord(qint32 number, const QStringList& values) {
    qint64 changed = -1;
    if (m_store.execute(statements::update(values, wholeNumberText(number)), &changed) == 0) {
        return UpdateResult::Failed;
    }
    // An update matching no row still "runs"; only the count tells that the record is gone.
    return changed == 0 ? UpdateResult::Gone : UpdateResult::Updated;
}

int MainWindow::listedRowCount() const {
    return m_list->rowCount();
}

int MainWindow::currentListRow() const {
    return m_list->currentRow();
}

QStringList MainWindow::rowTexts(int row) const {
    QStringList texts;
    texts.reserve(columnCount);
    for (int column = 0; column < columnCount; ++column) {
        texts << m_list->cellText(row, column);
    }
    return texts;
}

qint32 MainWindow::rowNumber(int row) const {
    return m_list->rowValue(row);
}

void MainWindow::reportFailure(const QString& text) {
    setCountLabelText(text);
    if (!isVisible()) {
        messagebox::show(messagebox::Style::Error, text, QStringLiteral("出错了"));
    }
}
