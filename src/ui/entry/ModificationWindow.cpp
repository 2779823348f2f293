#include "ModificationWindow.h"

#include "ProcessState.h"
#include "RecordDesk.h"
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

ModificationWindow::ModificationWindow(RecordDesk& desk) : EntryForm(look()) {
    setObjectName(QStringLiteral("ModificationWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    attachDesk(desk);
    connect(commandButton(), &FlatButton::clicked, this, &ModificationWindow::saveModification);
    initModificationWindow();
}

void ModificationWindow::initModificationWindow() {
    const RecordDesk* desk = availableDesk();
    const int row = processState().selectedRow;
    m_recordNumber = desk->rowNumber(row);
    const QStringList texts = desk->rowTexts(row);
    for (int column = 0; column < columnCount; ++column) {
        setFieldText(column, texts.value(column));
    }
    // After the fields: the receiver copied from the row stays in the edit field.
    fillReceivers(*this);
}

void ModificationWindow::saveModification() {
    RecordDesk* desk = availableDesk();
    if (!desk) {
        return;
    }
    QStringList values;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        values << fieldText(column);
    }
    const RecordDesk::UpdateResult result = desk->updateRecord(m_recordNumber, values);
    if (result == RecordDesk::UpdateResult::Failed) {
        desk->reportFailure(QStringLiteral("修改信息：失 败。"));
        return;
    }
    if (result == RecordDesk::UpdateResult::Gone) {
        // Deleted since the window was opened: an update would silently store nothing. The entries stay so
        // that the clerk can copy them into a new registration.
        messagebox::show(messagebox::Style::Warning,
                         QStringLiteral("这条信访资料已经从数据库中删除，无法修改！\n已填写的内容仍保留在本窗口中。"),
                         QStringLiteral("出错了"));
        return;
    }

    for (int column = firstTextColumn; column < columnCount; ++column) {
        setFieldText(column, QString());
    }
    desk->refreshList();
    close();
}

ModificationWindow* openModificationWindow(RecordDesk& desk) {
    const int current = desk.currentListRow();
    if (current == -1) {
        messagebox::show(messagebox::Style::Error, QStringLiteral("请选择！"), QStringLiteral("错误操作"));
        return nullptr;
    }
    processState().selectedRow = current;
    QPointer<ModificationWindow>& window = openWindow();
    if (window && window->isVisible()) {
        window->bringForward();
    } else {
        window = new ModificationWindow(desk);
        window->show();
    }
    return window;
}
