#include "ExactValues.h"

#include "UiTestSupport.h"
#include "store/PetitionRecord.h"
#include "ui/entry/ModificationWindow.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>

namespace exactvalues {

const QList<Value>& hostileValues() {
    static const QList<Value> values = {
        {"no-break space", QStringLiteral("张\u00A0三 ")},
        {"line separator U+2028", QStringLiteral("第一行\u2028第二行")},
        {"paragraph separator U+2029", QStringLiteral("第一段\u2029第二段")},
        {"lone LF", QStringLiteral("第一行\n第二行")},
        {"lone CR", QStringLiteral("第一行\r第二行")},
        {"LF CR", QStringLiteral("第一行\n\r第二行")},
        {"CR LF", QStringLiteral("第一行\r\n第二行\r\n")},
        {"tab", QStringLiteral("姓名\t张三")},
        {"blanks around", QStringLiteral("  张三  ")},
        {"quote", QStringLiteral("O'Neil 的 '诉求'")},
        {"outside the BMP", QStringLiteral("𠮷野家")},
        {"100,000 characters", QString(99999, QChar(u'长')) + QChar(u'尾')},
        {"empty", QStringLiteral("")},
        {"NULL", QString()},
    };
    return values;
}

QString pastedInto(EntryField::Kind kind, const QString& text) {
    static const QRegularExpression singleLineBreak(QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}]"));
    // A multi-line box breaks the line at CR LF, a lone CR, a lone LF and U+2029; U+2028 stays a character.
    static const QRegularExpression paragraphBreak(QStringLiteral("\\r\\n|[\\r\\n\\x{2029}]"));
    QString kept = text;
    if (kind == EntryField::Kind::MultiLine) {
        return kept.replace(paragraphBreak, QStringLiteral("\r\n"));
    }
    return kept.replace(singleLineBreak, QStringLiteral(" "));
}

void paste(EntryForm& form, int column, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QWidget* field = form.fieldWidget(column);
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        edit->selectAll();
        edit->paste();
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(field)) {
        box->selectAll();
        box->paste();
    } else if (auto* combo = qobject_cast<QComboBox*>(field)) {
        combo->lineEdit()->selectAll();
        combo->lineEdit()->paste();
    }
}

namespace {

void clickSidePanel(MainWindow& mainWindow, const char* name) {
    mainWindow.findChild<FlatButton*>(QString::fromUtf8(name))->click();
}

template <class Window> Window* theOpenWindow() {
    const QList<Window*> open = visibleWindows<Window>();
    return open.size() == 1 ? open.first() : nullptr;
}

// Entry windows delete themselves once closed; gone, they cannot be mistaken for the next one.
void letClosedWindowsGo() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

QString saveUnchanged(MainWindow& mainWindow, int row) {
    mainWindow.recordList()->selectRow(row);
    clickSidePanel(mainWindow, "超级按钮3");
    ModificationWindow* window = theOpenWindow<ModificationWindow>();
    if (!window) {
        return QStringLiteral("no modification window opened for row %1").arg(row);
    }
    QTest::mouseClick(window->commandButton(), Qt::LeftButton);
    const bool closed = !window->isVisible();
    letClosedWindowsGo();
    if (!closed) {
        return QStringLiteral("row %1 not saved: %2").arg(row).arg(mainWindow.countLabelText());
    }
    return QString();
}

QString registerPasted(MainWindow& mainWindow, const QStringList& values) {
    clickSidePanel(mainWindow, "超级按钮1");
    RegistrationWindow* window = theOpenWindow<RegistrationWindow>();
    if (!window) {
        return QStringLiteral("no registration window opened");
    }
    for (int column = firstTextColumn; column < columnCount; ++column) {
        paste(*window, column, values.value(column - firstTextColumn));
    }
    QTest::mouseClick(window->commandButton(), Qt::LeftButton);
    const bool closed = !window->isVisible();
    letClosedWindowsGo();
    return closed ? QString() : QStringLiteral("not registered: %1").arg(mainWindow.countLabelText());
}

} // namespace exactvalues
