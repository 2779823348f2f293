#include "RegistrationWindow.h"

#include "ProcessState.h"
#include "RecordDesk.h"
#include "core/DateTimeText.h"
#include "core/NumberText.h"
#include "ui/widgets/FlatButton.h"
#include "ui/widgets/MessageBox.h"

namespace {

// At most one registration window is open; a second "登记信访信息" brings it forward.
QPointer<RegistrationWindow>& openWindow() {
    static QPointer<RegistrationWindow> window;
    return window;
}

} // namespace

EntryFormLook RegistrationWindow::look() {
    return {QStringLiteral("信 访 接 待 登 记"), QStringLiteral("添 加 数 据"),
            QStringLiteral("点击添加当前信访资料到数据库."), 0, 63};
}

RegistrationWindow::RegistrationWindow(RecordDesk& desk) : EntryForm(look()) {
    setObjectName(QStringLiteral("RegistrationWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    attachDesk(desk);
    connect(commandButton(), &FlatButton::clicked, this, &RegistrationWindow::addRegistration);
    initRegistrationWindow();
}

void RegistrationWindow::initRegistrationWindow() {
    // The number the database will probably give the record: the one after the record that the last
    // registration of this run was listed at (the first listed record before any). Only a hint: the
    // database assigns the real 编号.
    const QString lastNumber = availableDesk()->rowTexts(processState().newRow).value(entrycolumn::number);
    setFieldText(entrycolumn::number, realNumberText(readNumber(lastNumber) + 1));
    setFieldText(entrycolumn::date, datePart());
    fillReceivers(*this);
}

void RegistrationWindow::addRegistration() {
    // Checked in this order; the focus goes to the first empty one once the message is closed.
    for (const int column : {entrycolumn::visitors, entrycolumn::date, entrycolumn::place}) {
        if (fieldText(column).isEmpty()) {
            messagebox::show(messagebox::Style::Error, QStringLiteral("   请填写完整资料！"), QStringLiteral("出错了"));
            focusField(column);
            return;
        }
    }

    RecordDesk* desk = availableDesk();
    if (!desk) {
        return;
    }
    QStringList values;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        values << fieldText(column);
    }
    if (!desk->registerRecord(values)) {
        desk->reportFailure(QStringLiteral("添加信息：失 败。"));
        return;
    }

    // The record is taken to be listed after every row listed now; the next provisional number follows it.
    processState().newRow = desk->listedRowCount();
    for (int column = firstTextColumn; column < columnCount; ++column) {
        setFieldText(column, QString());
    }
    desk->refreshList();
    close();
}

RegistrationWindow* openRegistrationWindow(RecordDesk& desk) {
    QPointer<RegistrationWindow>& window = openWindow();
    if (window && window->isVisible()) {
        window->bringForward();
    } else {
        window = new RegistrationWindow(desk);
        window->show();
    }
    desk.refreshList();
    return window;
}
