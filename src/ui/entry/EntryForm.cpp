#include "EntryForm.h"

#include "RecordDesk.h"
#include "core/FormItems.h"
#include "core/Settings.h"
#include "ui/widgets/FlatButton.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/KeyboardRules.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/ShapeBox.h"

#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QTextDocument>

#include <limits>

namespace {

using Kind = EntryField::Kind;

// Outer size 644x492 less the frame (3 pixels each side) and the title bar (25 pixels).
constexpr QSize clientSize(638, 461);
constexpr QPoint screenPosition(250, 120);

// The left half holds columns 0 to 11 top to bottom, the right half columns 12 to 21. The width of
// 标签1 is the one label size that EntryFormLook overrides.
const std::array<EntryField, columnCount> fieldTable = {{
    {"编辑框1", Kind::SingleLine, {71, 9, 51, 21}, "信访编号：", {6, 7, 63, 24}, {}},
    {"编辑框2", Kind::SingleLine, {103, 53, 101, 21}, "日期：", {62, 52, 36, 24}, {}},
    {"组合框1", Kind::ComboBox, {103, 85, 101, 20}, "来信来访：", {36, 84, 60, 24}, formitems::lettersOrVisits},
    {"编辑框3", Kind::SingleLine, {103, 117, 101, 22}, "接访地点：", {36, 117, 60, 24}, {}},
    {"组合框2", Kind::ComboBox, {103, 147, 101, 20}, "接访人：", {49, 146, 50, 24}, {}},
    {"编辑框4", Kind::SingleLine, {103, 176, 101, 22}, "来访人数：", {37, 175, 59, 24}, {}},
    {"编辑框5", Kind::SingleLine, {103, 207, 101, 22}, "来访人姓名：", {24, 207, 72, 24}, {}},
    {"组合框3", Kind::ComboBox, {103, 239, 101, 20}, "来访人性别：", {24, 238, 75, 24}, formitems::sexes},
    {"组合框4", Kind::ComboBox, {103, 272, 101, 20}, "来仿人民族：", {24, 271, 76, 24}, formitems::ethnicities},
    {"编辑框6", Kind::SingleLine, {103, 302, 101, 22}, "来访人年龄：", {23, 302, 75, 24}, {}},
    {"编辑框7", Kind::SingleLine, {103, 334, 101, 22}, "来访人职业：", {23, 334, 76, 24}, {}},
    {"编辑框8", Kind::SingleLine, {103, 364, 101, 22}, "来访人电话：", {23, 364, 77, 24}, {}},
    {"编辑框9", Kind::SingleLine, {367, 53, 152, 22}, "来访人单位或住址：", {249, 52, 116, 24}, {}},
    {"编辑框10", Kind::SingleLine, {367, 82, 152, 22}, "来访人身份证：", {275, 82, 90, 24}, {}},
    {"组合框10", Kind::ComboBox, {367, 111, 152, 20}, "问题性质：", {301, 110, 64, 24}, formitems::severities},
    {"组合框9", Kind::ComboBox, {367, 140, 152, 20}, "信访事由：", {301, 139, 64, 24}, formitems::causes},
    {"组合框5", Kind::ComboBox, {367, 168, 152, 20}, "是否初访：", {300, 167, 61, 24}, formitems::yesNo},
    {"编辑框11", Kind::MultiLine, {367, 193, 152, 52}, "诉求内容：", {300, 208, 61, 24}, {}},
    {"编辑框12", Kind::SingleLine, {367, 251, 152, 22}, "处理情况：", {300, 251, 61, 24}, {}},
    {"组合框8", Kind::ComboBox, {367, 281, 152, 20}, "归办单位：", {300, 279, 62, 24}, formitems::offices},
    {"编辑框13", Kind::SingleLine, {367, 308, 152, 22}, "领导批示：", {300, 307, 59, 24}, {}},
    {"编辑框14", Kind::MultiLine, {367, 336, 152, 49}, "备注：", {326, 350, 36, 24}, {}},
}};

// The order Tab walks in both windows. It is not the screen order (the clerks are used to it as it is).
constexpr std::array<const char*, 22> tabOrderNames = {
    "编辑框2",  "编辑框3", "编辑框4",   "组合框1", "编辑框5",  "编辑框6",  "编辑框7",  "组合框2",
    "组合框3",  "编辑框8", "组合框4",   "编辑框9", "编辑框10", "编辑框11", "编辑框12", "编辑框13",
    "编辑框14", "组合框5", "超级按钮1", "组合框8", "组合框9",  "组合框10"};

constexpr int comboCreatedHeight = 160; // the box and its opened list together

// Each row of an opened list one pixel taller than the font's row.
class ItemRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(option.fontMetrics.height() + 1);
        return size;
    }
};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// An edit box takes any amount of text: QLineEdit would otherwise cut a value at 32767 characters.
void allowAnyLength(QLineEdit* edit) {
    edit->setMaxLength(std::numeric_limits<int>::max());
}

QLabel* makeLabel(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    pal.setColor(QPalette::WindowText, QColor(255, 80, 128));
    label->setPalette(pal);
    label->setFont(layoutFont(QString(), 12, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(false);
    return label;
}

// A single-line box draws a line break as a blank but keeps it in its text, so a pasted break would be
// stored hidden, and a search for what the clerk sees would miss the record. Once the clerk changes the
// box (typing, pasting, dropping), it holds what it shows: each line break becomes one blank. A value
// written by the program (a stored record) keeps its breaks until then.
void showLineBreaksAsBlanks(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}]"));
        if (!text.contains(lineBreak)) {
            return;
        }
        const int cursor = edit->cursorPosition();
        const int cursorAfter = cursor - static_cast<int>(text.left(cursor).count(QStringLiteral("\r\n")));
        QString blanks = text;
        blanks.replace(lineBreak, QStringLiteral(" "));
        edit->setText(blanks);
        edit->setCursorPosition(cursorAfter);
    });
}

QWidget* makeSingleLine(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    allowAnyLength(edit);
    showLineBreaksAsBlanks(edit);
    return edit;
}

// Shift+Enter would put a line separator (U+2028) into the text instead of a paragraph; the clerk means
// the same line break by either, and it is stored as CR LF.
class MultiLineBox : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::InsertLineSeparator)) {
            QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, event->text(),
                            event->isAutoRepeat(), static_cast<quint16>(event->count()));
            QPlainTextEdit::keyPressEvent(&plain);
            event->setAccepted(plain.isAccepted());
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

QWidget* makeMultiLine(QWidget* parent) {
    auto* edit = new MultiLineBox(parent);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setTabChangesFocus(true);
    // The selection is hidden while the box lacks the focus, as the single-line boxes do: drawn in the
    // box's own colours then.
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Inactive, QPalette::Base));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Inactive, QPalette::Text));
    edit->setPalette(pal);
    return edit;
}

QWidget* makeComboBox(std::span<const char* const> items, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // Typed text is the value as typed: no new item on Enter, and no completion from the list, which
    // would turn a typed "退休" into "退休待遇".
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    allowAnyLength(combo->lineEdit());
    showLineBreaksAsBlanks(combo->lineEdit());
    combo->setItemDelegate(new ItemRowDelegate(combo));
    for (const char* item : items) {
        combo->addItem(text(item));
    }
    combo->setCurrentIndex(-1);
    const int rowHeight = combo->fontMetrics().height() + 1;
    combo->setMaxVisibleItems(std::max(1, (comboCreatedHeight - 20) / rowHeight));
    return combo;
}

} // namespace

EntryForm::EntryForm(const EntryFormLook& look, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    buildLayout(look);
}

const std::array<EntryField, columnCount>& EntryForm::fields() {
    return fieldTable;
}

const std::array<const char*, 22>& EntryForm::tabOrder() {
    return tabOrderNames;
}

void EntryForm::buildLayout(const EntryFormLook& look) {
    setWindowTitle(look.caption);
    setFixedSize(clientSize);
    move(screenPosition);
    setAutoFillBackground(true);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(windowPalette);

    auto* strip = new QLabel(this);
    strip->setObjectName(QStringLiteral("图片框1"));
    strip->setGeometry(-1, 0, 89, 463);
    strip->setPixmap(QPixmap(QStringLiteral(":/strip.jpg")));
    strip->setScaledContents(true);

    // A group frame without a title is an etched rectangle. QGroupBox would fill its inside in the
    // style's own shade, a little darker than the labels' button-face.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("分组框1"));
    frame->setGeometry(88, -1, 550, 461);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setAutoFillBackground(true);
    QPalette framePalette = frame->palette();
    framePalette.setColor(QPalette::Window, framePalette.color(QPalette::Button));
    frame->setPalette(framePalette);

    for (int column = 0; column < columnCount; ++column) {
        const EntryField& f = fieldTable[static_cast<std::size_t>(column)];
        QLabel* label = makeLabel(text(f.labelText), frame);
        label->setObjectName(QStringLiteral("标签") + QString::number(column + 1));
        QRect labelGeometry = f.labelGeometry;
        if (column == entrycolumn::number) {
            labelGeometry.setWidth(look.numberLabelWidth);
        }
        label->setGeometry(labelGeometry);

        QWidget* field = nullptr;
        switch (f.kind) {
        case Kind::SingleLine:
            field = makeSingleLine(frame);
            break;
        case Kind::MultiLine:
            field = makeMultiLine(frame);
            break;
        case Kind::ComboBox:
            field = makeComboBox(f.items, frame);
            break;
        }
        field->setObjectName(text(f.name));
        field->setGeometry(f.geometry);
        m_fields[static_cast<std::size_t>(column)] = field;
    }

    // The provisional number is shown, never typed: white on black, centred, out of reach of the focus.
    auto* number = static_cast<QLineEdit*>(fieldWidget(entrycolumn::number));
    number->setEnabled(false);
    number->setAlignment(Qt::AlignCenter);
    QPalette numberPalette = number->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        numberPalette.setColor(group, QPalette::Base, Qt::black);
        numberPalette.setColor(group, QPalette::Text, Qt::white);
    }
    number->setPalette(numberPalette);

    setFieldText(entrycolumn::place, QStringLiteral("信访局"));

    // 来访 is the list's current item, yet the field starts empty like every other.
    auto* visitKind = static_cast<QComboBox*>(fieldWidget(entrycolumn::letterOrVisit));
    visitKind->setCurrentIndex(1);
    visitKind->clearEditText();

    QComboBox* receivers = receiverBox();
    for (int i = 0; i < look.emptyReceiverItems; ++i) {
        receivers->addItem(QString());
    }
    receivers->setCurrentIndex(-1);

    auto* separator = new ShapeBox(Qt::white, QColor(128, 128, 128), Qt::DashLine, frame);
    separator->setObjectName(QStringLiteral("外形框1"));
    separator->setGeometry(4, 395, 542, 1);

    m_commandButton = new FlatButton(look.buttonText, frame);
    m_commandButton->setObjectName(QStringLiteral("超级按钮1"));
    m_commandButton->setGeometry(156, 406, 221, 45);
    m_commandButton->setFont(layoutFont(QStringLiteral("宋体"), 16));
    m_commandButton->setToolTip(look.buttonTip);

    QList<QWidget*> order;
    for (const char* name : tabOrderNames) {
        order << findChild<QWidget*>(text(name));
    }
    KeyboardRules::apply(this, order);
}

QWidget* EntryForm::fieldWidget(int column) const {
    return column >= 0 && column < columnCount ? m_fields[static_cast<std::size_t>(column)] : nullptr;
}

QComboBox* EntryForm::receiverBox() const {
    return static_cast<QComboBox*>(fieldWidget(entrycolumn::receiver));
}

QString EntryForm::shownText(int column) const {
    QWidget* field = fieldWidget(column);
    if (!field) {
        return QString();
    }
    switch (fieldTable[static_cast<std::size_t>(column)].kind) {
    case Kind::SingleLine:
        return static_cast<QLineEdit*>(field)->text();
    case Kind::MultiLine:
        // The raw text: toPlainText() would turn a no-break space into a blank and U+2028 into a break.
        return static_cast<QPlainTextEdit*>(field)->document()->toRawText();
    case Kind::ComboBox:
        return static_cast<QComboBox*>(field)->currentText();
    }
    return QString();
}

QString EntryForm::fieldText(int column) const {
    if (!fieldWidget(column)) {
        return QString();
    }
    const std::size_t i = static_cast<std::size_t>(column);
    QString shown = shownText(column);
    // Untouched: the text as it was written. A multi-line box splits a stored value at every CR LF, lone
    // CR, lone LF and U+2029 alike and cannot give back which it was.
    if (shown == m_written[i].shown) {
        return m_written[i].value;
    }
    if (fieldTable[i].kind == Kind::MultiLine) {
        // Line breaks are stored as CR LF, as a multi-line edit box on Windows holds them, so a record
        // written here reads the same there.
        shown.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    }
    return shown;
}

void EntryForm::setFieldText(int column, const QString& value) {
    QWidget* field = fieldWidget(column);
    if (!field) {
        return;
    }
    switch (fieldTable[static_cast<std::size_t>(column)].kind) {
    case Kind::SingleLine:
        static_cast<QLineEdit*>(field)->setText(value);
        break;
    case Kind::MultiLine:
        static_cast<QPlainTextEdit*>(field)->setPlainText(value);
        break;
    case Kind::ComboBox:
        static_cast<QComboBox*>(field)->setEditText(value);
        break;
    }
    m_written[static_cast<std::size_t>(column)] = {value, shownText(column)};
}

void EntryForm::focusField(int column) {
    activateWindow();
    if (QWidget* field = fieldWidget(column)) {
        field->setFocus(Qt::OtherFocusReason);
    }
}

void fillReceivers(EntryForm& form) {
    QComboBox* box = form.receiverBox();
    // The first item put into an empty editable combo box becomes its current item and replaces its edit
    // text; neither may change here.
    const QString shown = box->currentText();
    const bool hadCurrentItem = box->currentIndex() >= 0;
    for (const char* key : {"mingdan5", "mingdan4", "mingdan3", "mingdan2", "mingdan1"}) {
        box->insertItem(0, readSetting(QStringLiteral("md"), QString::fromLatin1(key)));
    }
    if (!hadCurrentItem) {
        box->setCurrentIndex(-1);
    }
    box->setEditText(shown);
}

void EntryForm::bringForward() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void EntryForm::attachDesk(RecordDesk& desk) {
    m_desk = &desk;
    m_deskWindow = desk.deskWindow();
}

RecordDesk* EntryForm::availableDesk() const {
    if (m_deskWindow) {
        return m_desk;
    }
    messagebox::show(messagebox::Style::Error,
                     QStringLiteral("主窗口已关闭，本条信访资料无法保存到数据库！\n已填写的内容仍保留在本窗口中。"),
                     QStringLiteral("出错了"));
    return nullptr;
}
