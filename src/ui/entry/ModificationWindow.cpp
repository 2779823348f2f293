#include "ModificationWindow.h"

#include "core/NumberText.h"
#include "store/Statements.h"
#include "ui/entry/ProcessState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"
#include "ui/widgets/MessageBox.h"

namespace {

// At most one modification window is open; a second "修改选中信息" brings it forward.
QPointer<ModificationWindow>& openWindow() {
    static QPointer<ModificationWindow> window;
    return window;
}

} // namespace

EntryFormLook ModificationWindow::look() {
    return {QStringLiteral("修 改 登 记 信 息"), QStringLiteral("修 改 数 据"),
            QStringLiteral("点击修改当前信访资料到数据库."), 5, 59};
}

ModificationWindow::ModificationWindow(MainWindow& mainWindow) : EntryForm(look()), m_mainWindow(&mainWindow) {
    setObjectName(QStringLiteral("ModificationWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    connect(commandButton(), &FlatButton::clicked, this, &ModificationWindow::saveModification);
    initModificationWindow(mainWindow);
}

void ModificationWindow::initModificationWindow(const MainWindow& mainWindow) {
    const RecordList* list = mainWindow.recordList();
    const int row = processState().selectedRow;
    m_recordNumber = list->rowValue(row);
    for (int column = 0; column < columnCount; ++column) {
        setFieldText(column, list->cellText(row, column));
    }
    // After the fields: the receiver copied from the row stays in the edit field.
    fillReceivers(*this);
}

void ModificationWindow::saveModification() {
    MainWindow* mainWindow = m_mainWindow;
    if (!mainWindowAvailable(mainWindow)) {
        return;
    }
    QStringList values;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        values << fieldText(column);
    }
    qint64 changed = -1;
    const int ran = mainWindow->store().execute(statements::update(values, wholeNumberText(m_recordNumber)), &changed);
    if (ran == 0) {
        reportFailure(*mainWindow, QStringLiteral("修改信息：失 败。"));
        return;
    }
    if (changed == 0) {
        // Deleted since the window was opened: an update would silently store nothing. The entries stay so
        // that the clerk can copy them into a new registration.
        messagebox::show(messagebox::Style::Warning,
                         QStringLiteral("这条信访资料已经从数据库中删除，无法修改！\n已填写的内容仍保留在本窗口中。"),
                         QStringLiteral("出错了"));
        return;
    }

    RecordList* list = mainWindow->recordList();
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->rowValue(row) == m_recordNumber) {
            for (int column = firstTextColumn; column < columnCount; ++column) {
                list->setCellText(row, column, fieldText(column));
            }
            break;
        }
    }
    for (int column = firstTextColumn; column < columnCount; ++column) {
        setFieldText(column, QString());
    }
    mainWindow->listAllRecords();
    close();
}

ModificationWindow* openModificationWindow(MainWindow& mainWindow) {
    const int current = mainWindow.recordList()->currentRow();
    if (current == -1) {
        messagebox::show(messagebox::Style::Error, QStringLiteral("请选择！"), QStringLiteral("错误操作"));
        return nullptr;
    }
    processState().selectedRow = current;
    QPointer<ModificationWindow>& window = openWindow();
    if (window && window->isVisible()) {
        window->bringForward();
    } else {
        window = new ModificationWindow(mainWindow);
        window->show();
    }
    return window;
}
