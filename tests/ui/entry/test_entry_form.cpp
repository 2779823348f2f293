#include "support/UiTestSupport.h"
#include "ui/entry/EntryForm.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/widgets/FlatButton.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

namespace {

EntryFormLook registrationLook() {
    return RegistrationWindow::look();
}

// The modification window's look, until that window exists.
EntryFormLook modificationLook() {
    return {QStringLiteral("修 改 登 记 信 息"), QStringLiteral("修 改 数 据"),
            QStringLiteral("点击修改当前信访资料到数据库."), 5, 59};
}

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

// The control of the tab order that holds the focus (the focus may sit in a combo box's edit field).
QString focusedControl(const EntryForm& form) {
    QSet<QString> names;
    for (const char* name : EntryForm::tabOrder()) {
        names << QString::fromUtf8(name);
    }
    for (QWidget* w = QApplication::focusWidget(); w && w != &form; w = w->parentWidget()) {
        if (names.contains(w->objectName())) {
            return w->objectName();
        }
    }
    return QStringLiteral("<none>");
}

void typeText(QWidget* target, const QString& text) {
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, text, Qt::NoModifier);
}

int columnOf(const QString& fieldName) {
    int column = 0;
    while (column < columnCount && EntryForm::fields()[static_cast<std::size_t>(column)].name != fieldName.toUtf8()) {
        ++column;
    }
    return column;
}

} // namespace

Q_DECLARE_METATYPE(EntryFormLook)

class TestEntryForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }

    void fieldMap_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        // The columns where control numbers, column order and label texts part ways.
        QTest::newRow("编号") << 0 << "编辑框1"
                              << "信访编号：";
        QTest::newRow("来信来访") << 2 << "组合框1"
                                  << "来信来访：";
        QTest::newRow("来访人数") << 5 << "编辑框4"
                                  << "来访人数：";
        QTest::newRow("来仿人民族") << 8 << "组合框4"
                                    << "来仿人民族：";
        QTest::newRow("来仿人职业") << 10 << "编辑框7"
                                    << "来访人职业：";
        QTest::newRow("问题性质") << 14 << "组合框10"
                                  << "问题性质：";
        QTest::newRow("信访事由") << 15 << "组合框9"
                                  << "信访事由：";
        QTest::newRow("诉求内容") << 17 << "编辑框11"
                                  << "诉求内容：";
        QTest::newRow("归办单位") << 19 << "组合框8"
                                  << "归办单位：";
        QTest::newRow("备注") << 21 << "编辑框14"
                              << "备注：";
    }
    void fieldMap() {
        QFETCH(int, column);
        QFETCH(QString, name);
        QFETCH(QString, label);
        EntryForm form(registrationLook());
        QWidget* field = form.findChild<QWidget*>(name);
        QVERIFY(field);
        QCOMPARE(form.fieldWidget(column), field);
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("标签%1").arg(column + 1))->text(), label);

        // A value written by column lands in that control and reads back whole.
        const QString value = QStringLiteral("第%1列 'x'").arg(column);
        form.setFieldText(column, value);
        QCOMPARE(form.fieldText(column), value);
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            QCOMPARE(edit->text(), value);
        } else if (auto* multi = qobject_cast<QPlainTextEdit*>(field)) {
            QCOMPARE(multi->toPlainText(), value);
        } else {
            QCOMPARE(qobject_cast<QComboBox*>(field)->currentText(), value);
        }
    }

    void everyFieldHasItsKindAndNoOtherTakesItsName() {
        EntryForm form(registrationLook());
        QSet<QWidget*> seen;
        for (int column = 0; column < columnCount; ++column) {
            const EntryField& f = EntryForm::fields()[static_cast<std::size_t>(column)];
            const QList<QWidget*> named = form.findChildren<QWidget*>(QString::fromUtf8(f.name));
            QCOMPARE(named.size(), 1);
            QWidget* field = named.first();
            QVERIFY(!seen.contains(field));
            seen << field;
            switch (f.kind) {
            case EntryField::Kind::SingleLine:
                QVERIFY(qobject_cast<QLineEdit*>(field));
                break;
            case EntryField::Kind::MultiLine:
                QVERIFY(qobject_cast<QPlainTextEdit*>(field));
                break;
            case EntryField::Kind::ComboBox:
                QVERIFY(qobject_cast<QComboBox*>(field)->isEditable());
                break;
            }
            QCOMPARE(field->parentWidget()->objectName(), QStringLiteral("分组框1"));
        }
    }

    void geometry_data() {
        QTest::addColumn<EntryFormLook>("look");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        const EntryFormLook reg = registrationLook();
        const EntryFormLook mod = modificationLook();
        QTest::newRow("picture strip") << reg << "图片框1" << QRect(-1, 0, 89, 463);
        QTest::newRow("group frame") << reg << "分组框1" << QRect(88, -1, 550, 461);
        QTest::newRow("number label, registration") << reg << "标签1" << QRect(6, 7, 63, 24);
        QTest::newRow("number label, modification") << mod << "标签1" << QRect(6, 7, 59, 24);
        QTest::newRow("number box") << reg << "编辑框1" << QRect(71, 9, 51, 21);
        QTest::newRow("address label") << reg << "标签13" << QRect(249, 52, 116, 24);
        QTest::newRow("receiver box") << mod << "组合框2" << QRect(103, 147, 101, 20);
        QTest::newRow("demand box") << reg << "编辑框11" << QRect(367, 193, 152, 52);
        QTest::newRow("office box") << reg << "组合框8" << QRect(367, 281, 152, 20);
        QTest::newRow("remark label") << reg << "标签22" << QRect(326, 350, 36, 24);
        QTest::newRow("separator") << reg << "外形框1" << QRect(4, 395, 542, 1);
        QTest::newRow("command button") << mod << "超级按钮1" << QRect(156, 406, 221, 45);
    }
    void geometry() {
        QFETCH(EntryFormLook, look);
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        EntryForm form(look);
        QCOMPARE(form.findChild<QWidget*>(name)->geometry(), geometry);
    }

    void window_data() {
        QTest::addColumn<EntryFormLook>("look");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<int>("emptyReceivers");
        QTest::newRow("registration") << registrationLook() << "信 访 接 待 登 记"
                                      << "添 加 数 据"
                                      << "点击添加当前信访资料到数据库." << 0;
        QTest::newRow("modification") << modificationLook() << "修 改 登 记 信 息"
                                      << "修 改 数 据"
                                      << "点击修改当前信访资料到数据库." << 5;
    }
    void window() {
        QFETCH(EntryFormLook, look);
        QFETCH(QString, caption);
        QFETCH(QString, button);
        QFETCH(QString, tip);
        QFETCH(int, emptyReceivers);
        EntryForm form(look);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), caption);
        QCOMPARE(form.size(), QSize(638, 461)); // 644x492 less the frame and the title bar
        QCOMPARE(form.pos(), QPoint(250, 120));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!form.parentWidget()); // its own taskbar button
        QCOMPARE(form.palette().color(QPalette::Window), QColor(192, 192, 192));
        QCOMPARE(form.commandButton()->text(), button);
        QCOMPARE(form.commandButton()->toolTip(), tip);
        QCOMPARE(itemsOf(form.receiverBox()), QStringList(emptyReceivers, QString()));
    }

    void itemLists_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("来信来访") << "组合框1" << QStringList{"来信", "来访"};
        QTest::newRow("性别") << "组合框3" << QStringList{"男", "女"};
        QTest::newRow("是否初访") << "组合框5" << QStringList{"是", "否"};
        QTest::newRow("问题性质") << "组合框10" << QStringList{"重", "中", "轻"};
        QTest::newRow("民族") << "组合框4" << QStringList{"汉族", "满族", "朝鲜族", "回族", "藏族", "蒙古族",
                                                          "苗族", "侗族", "瑶族",   "傣族", "佤族", "白族"};
        QTest::newRow("信访事由") << "组合框9"
                                  << QStringList{"拖欠工资", "退休",     "退休待遇", "病退",     "养老保险",
                                                 "医疗保险", "分房",     "贪污",     "受贿",     "工伤",
                                                 "工资",     "档案丢失", "档案",     "收取押金", "不作为"};
        QTest::newRow("归办单位") << "组合框8"
                                  << QStringList{"人社局",
                                                 "社保局",
                                                 "公安局",
                                                 "检察院",
                                                 "法院",
                                                 "工商局",
                                                 "地税局",
                                                 "国税局",
                                                 "质量技术监督局",
                                                 "烟草专卖局",
                                                 "食品药品监督管理局",
                                                 "环保局",
                                                 "物价局",
                                                 "国土资源局",
                                                 "征收局",
                                                 "安全生产监督管理局",
                                                 "城市管理行政执法局",
                                                 "司法局",
                                                 "审计局",
                                                 "财政局",
                                                 "交通运管所",
                                                 "交警大队"};
    }
    void itemLists() {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        EntryForm form(registrationLook());
        auto* box = form.findChild<QComboBox*>(name);
        QCOMPARE(itemsOf(box), items);
        QCOMPARE(box->currentText(), QString()); // every box opens with an empty field
    }

    void initialState() {
        EntryForm form(registrationLook());
        for (int column = 0; column < columnCount; ++column) {
            QCOMPARE(form.fieldText(column), column == 3 ? QStringLiteral("信访局") : QString());
        }
        // 来访 is the current item of 组合框1, but its field stays empty until the clerk picks or types.
        auto* visitKind = form.findChild<QComboBox*>(QStringLiteral("组合框1"));
        QCOMPARE(visitKind->currentIndex(), 1);
        QCOMPARE(visitKind->currentText(), QString());

        QVERIFY(!form.fieldWidget(0)->isEnabled());
        for (const char* name : {"编辑框11", "编辑框14"}) {
            auto* box = form.findChild<QPlainTextEdit*>(QString::fromUtf8(name));
            QVERIFY(box->tabChangesFocus());
            QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        }
        const QLabel* label = form.findChild<QLabel*>(QStringLiteral("标签13"));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 80, 128));
        QVERIFY(label->font().bold());
        QCOMPARE(label->font().pixelSize(), 12);
    }

    void drawnLook() {
        EntryForm form(registrationLook());
        const QImage image = form.grab().toImage();
        const QPoint frame = form.findChild<QWidget*>(QStringLiteral("分组框1"))->pos();
        // The separator row shows its dashes: grey and white both.
        QSet<QRgb> separator;
        for (int x = 4; x < 4 + 542; ++x) {
            separator << image.pixel(frame + QPoint(x, 395));
        }
        QCOMPARE(separator, (QSet<QRgb>{qRgb(128, 128, 128), qRgb(255, 255, 255)}));
        // Labels sit on the frame's face without a box of their own shade around them: a point of 标签7
        // left of its text and a point of the frame outside any control.
        QCOMPARE(image.pixel(frame + QPoint(25, 208)), image.pixel(frame + QPoint(10, 208)));
    }

    // A box that lacks the focus does not show its selection: it looks as if nothing were selected.
    void selectionHiddenWithoutFocus_data() {
        QTest::addColumn<QString>("field");
        QTest::newRow("single line") << "编辑框5";
        QTest::newRow("demand") << "编辑框11";
        QTest::newRow("remarks") << "编辑框14";
    }
    void selectionHiddenWithoutFocus() {
        QFETCH(QString, field);
        EntryForm form(registrationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* box = form.findChild<QWidget*>(field);
        auto* elsewhere = form.findChild<QWidget*>(QStringLiteral("编辑框3"));
        auto* line = qobject_cast<QLineEdit*>(box);
        auto* lines = qobject_cast<QPlainTextEdit*>(box);
        line ? line->setText(QStringLiteral("甲乙丙")) : lines->setPlainText(QStringLiteral("甲乙丙"));
        auto selectAll = [&] { line ? line->selectAll() : lines->selectAll(); };
        elsewhere->setFocus();
        const QImage unselected = box->grab().toImage();
        box->setFocus();
        selectAll();
        QVERIFY(box->grab().toImage() != unselected); // with the focus the selection shows
        elsewhere->setFocus();
        QCOMPARE(box->grab().toImage(), unselected);
    }

    void comboValueIsWhatWasTypedOrWritten() {
        EntryForm form(registrationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* causes = form.findChild<QComboBox*>(QStringLiteral("组合框9"));
        causes->setFocus();
        // "工" begins 工伤 and 工资; the field keeps what was typed, not a completion from the list.
        typeText(QApplication::focusWidget(), QStringLiteral("工"));
        QCOMPARE(form.fieldText(15), QStringLiteral("工"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(causes->count(), 15); // Enter adds no item
        QCOMPARE(form.fieldText(15), QStringLiteral("工"));

        // Written by column: the list and its current item stay as they are.
        auto* visitKind = form.findChild<QComboBox*>(QStringLiteral("组合框1"));
        form.setFieldText(2, QStringLiteral("来电"));
        QCOMPARE(form.fieldText(2), QStringLiteral("来电"));
        QCOMPARE(itemsOf(visitKind), (QStringList{"来信", "来访"}));
        QCOMPARE(visitKind->currentIndex(), 1);
    }

    void tabWalksTheFixedOrder() {
        EntryForm form(modificationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QStringList order = {"编辑框2",   "编辑框3",  "编辑框4",  "组合框1",  "编辑框5",  "编辑框6",
                                   "编辑框7",   "组合框2",  "组合框3",  "编辑框8",  "组合框4",  "编辑框9",
                                   "编辑框10",  "编辑框11", "编辑框12", "编辑框13", "编辑框14", "组合框5",
                                   "超级按钮1", "组合框8",  "组合框9",  "组合框10"};
        form.findChild<QWidget*>(order[0])->setFocus();
        QCOMPARE(tabWalk(22), order.mid(1) << order[0]);
        const QStringList backwards(order.rbegin(), order.rend());
        QCOMPARE(tabWalk(22, false), backwards);
        // The number box cannot be clicked into either.
        QTest::mouseClick(form.fieldWidget(0), Qt::LeftButton);
        QCOMPARE(focusedControl(form), order[0]);
    }

    void keys_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("textAfter"); // after typing 甲, the key, then 乙
        QTest::addColumn<bool>("windowOpen");
        const int none = Qt::NoModifier;
        QTest::newRow("Enter in the demand box") << "编辑框11" << int(Qt::Key_Return) << none << "甲\r\n乙" << true;
        QTest::newRow("Enter on the keypad, remarks") << "编辑框14" << int(Qt::Key_Enter) << none << "甲\r\n乙" << true;
        // Shift+Enter would make a line separator (U+2028): the clerk means a line break by it all the same.
        QTest::newRow("Shift+Enter in the remarks")
            << "编辑框14" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << "甲\r\n乙" << true;
        QTest::newRow("Enter in a single-line box") << "编辑框5" << int(Qt::Key_Return) << none << "甲乙" << true;
        QTest::newRow("Enter in a combo box") << "组合框3" << int(Qt::Key_Return) << none << "甲乙" << true;
        QTest::newRow("Esc in a single-line box") << "编辑框2" << int(Qt::Key_Escape) << none << "甲" << false;
        QTest::newRow("Esc in a multi-line box") << "编辑框11" << int(Qt::Key_Escape) << none << "甲" << false;
        QTest::newRow("Esc in a combo box") << "组合框8" << int(Qt::Key_Escape) << none << "甲" << false;
    }
    void keys() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, textAfter);
        QFETCH(bool, windowOpen);
        EntryForm form(registrationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const int column = columnOf(field);
        form.fieldWidget(column)->setFocus();
        typeText(QApplication::focusWidget(), QStringLiteral("甲"));
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key),
                        static_cast<Qt::KeyboardModifiers>(modifiers));
        if (windowOpen) {
            typeText(QApplication::focusWidget(), QStringLiteral("乙"));
        }
        QCOMPARE(form.isVisible(), windowOpen);
        QCOMPARE(form.fieldText(column), textAfter);
    }

    // A line break pasted into a single-line box or a combo box's edit field becomes the one blank the box
    // shows, so what is stored is what the clerk saw. A value written by the program keeps its breaks, and
    // gives them back as they were while the clerk leaves it alone.
    void pastedLineBreaksInASingleLineBox_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        const QString mixed = QStringLiteral("甲\r\n乙\n丙\r丁\u2028戊\u2029己");
        QTest::newRow("single-line box") << "编辑框5" << mixed << "甲 乙 丙 丁 戊 己";
        QTest::newRow("combo box") << "组合框8" << mixed << "甲 乙 丙 丁 戊 己";
        QTest::newRow("two breaks, two blanks") << "编辑框12"
                                                << "已转办\n\r\n区里"
                                                << "已转办  区里";
        QTest::newRow("no break") << "编辑框9"
                                  << "某区\t某街\u00A01号 "
                                  << "某区\t某街\u00A01号 ";
    }
    void pastedLineBreaksInASingleLineBox() {
        QFETCH(QString, field);
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        EntryForm form(registrationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const int column = columnOf(field);
        auto* edit = qobject_cast<QLineEdit*>(form.fieldWidget(column));
        if (!edit) {
            edit = qobject_cast<QComboBox*>(form.fieldWidget(column))->lineEdit();
        }
        edit->setFocus();
        typeText(edit, QStringLiteral("前"));
        edit->end(false);
        QApplication::clipboard()->setText(pasted);
        edit->paste();
        typeText(edit, QStringLiteral("后"));
        QCOMPARE(form.fieldText(column), QStringLiteral("前") + kept + QStringLiteral("后"));
        QCOMPARE(edit->displayText(), form.fieldText(column));

        // Written by the program, a stored value keeps its hidden breaks while the clerk leaves it alone;
        // once the clerk edits the box, it holds what it shows.
        form.setFieldText(column, pasted);
        QCOMPARE(form.fieldText(column), pasted);
        edit->end(false);
        typeText(edit, QStringLiteral("后"));
        QCOMPARE(form.fieldText(column), kept + QStringLiteral("后"));
    }

    // A multi-line box shows every kind of line break alike. Untouched, it gives back the text it was given;
    // edited, every other character stays as it was (a no-break space is no blank, U+2028 no line break)
    // and each line break is CR LF.
    void multiLineBoxKeepsEveryCharacter_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("afterEdit"); // after typing 续 at the end
        QTest::newRow("no-break space") << "张\u00A0三"
                                        << "张\u00A0三续";
        QTest::newRow("U+2028") << "甲\u2028乙"
                                << "甲\u2028乙续";
        QTest::newRow("lone LF") << "甲\n乙"
                                 << "甲\r\n乙续";
        QTest::newRow("lone CR") << "甲\r乙"
                                 << "甲\r\n乙续";
        QTest::newRow("LF CR") << "甲\n\r乙"
                               << "甲\r\n\r\n乙续";
        QTest::newRow("U+2029") << "甲\u2029乙"
                                << "甲\r\n乙续";
        QTest::newRow("CR LF at the end") << "甲\r\n"
                                          << "甲\r\n续";
        QTest::newRow("tab and blanks") << " \t甲  "
                                        << " \t甲  续";
    }
    void multiLineBoxKeepsEveryCharacter() {
        QFETCH(QString, stored);
        QFETCH(QString, afterEdit);
        EntryForm form(registrationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        for (const int column : {17, 21}) {
            form.setFieldText(column, stored);
            QCOMPARE(form.fieldText(column), stored);
        }
        auto* box = qobject_cast<QPlainTextEdit*>(form.fieldWidget(21));
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        typeText(box, QStringLiteral("续"));
        QCOMPARE(form.fieldText(21), afterEdit);
        // Typed away and back: the text is the one written, and gives back its own breaks again.
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(form.fieldText(21), stored);
        QCOMPARE(form.fieldText(17), stored);
    }

    void escFirstClosesAnOpenList() {
        EntryForm form(registrationLook());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* offices = form.findChild<QComboBox*>(QStringLiteral("组合框8"));
        offices->setFocus();
        offices->showPopup();
        QTRY_VERIFY(offices->view()->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!offices->view()->isVisible());
        QVERIFY(form.isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestEntryForm)
#include "test_entry_form.moc"
