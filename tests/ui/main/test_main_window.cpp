#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/ShadowLabel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QWindow>

#include <algorithm>

namespace {

QStringList columnTexts(const RecordList* list, int column) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r) {
        out << list->cellText(r, column);
    }
    return out;
}

QStringList withFirst(const QString& first) {
    QStringList v(columnCount - 1);
    v[0] = first;
    return v;
}

// A paint device that keeps the text drawn on it, item by item, with the baseline of each; everything else
// drawn is dropped. It shows what a delegate writes into a cell without looking at pixels.
class TextRecorder : public QPaintDevice {
public:
    struct Item {
        QString text;
        qreal baseline;
    };
    QList<Item> items;

    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 4000;
        case PdmWidthMM:
        case PdmHeightMM:
            return 1000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 0x7fffffff;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(TextRecorder* owner) : QPaintEngine(AllFeatures), m_owner(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawTextItem(const QPointF& p, const QTextItem& textItem) override {
            m_owner->items << Item{textItem.text(), p.y()};
        }
        Type type() const override { return User; }

    private:
        TextRecorder* m_owner;
    };
    mutable Engine m_engine{this};
};

// The text the list's delegate draws into one cell, checked to lie on one line.
QString paintedCellText(RecordList* list, int row, int column) {
    const QModelIndex index = list->model()->index(row, column);
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualRect(index);
    option.font = list->font();
    option.fontMetrics = QFontMetrics(list->font());
    option.widget = list;
    TextRecorder recorder;
    {
        QPainter painter(&recorder);
        list->itemDelegateForIndex(index)->paint(&painter, option, index);
    }
    QString text;
    for (const TextRecorder::Item& item : recorder.items) {
        if (item.baseline != recorder.items.first().baseline) {
            return QStringLiteral("<more than one line>");
        }
        text += item.text;
    }
    return text;
}

// Rows numbered 1 to n with empty texts.
void insertNumberedRows(const TestDatabase& db, int n) {
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                           "INSERT INTO 信访数据 (编号) SELECT i FROM n")
                .arg(n));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }

    void listsEveryRecordWithItsNumber() {
        TestDatabase db;
        db.insert(withFirst(QStringLiteral("2012年12月4日")), 1);
        db.insert(withFirst(QStringLiteral("第二")), 2);
        db.insert(withFirst(QString()), 5);
        db.exec(QStringLiteral("UPDATE 信访数据 SET 备注 = NULL WHERE 编号 = 5"));
        db.writeSettings(QStringLiteral("[bt]\r\nbiaoti =  \"  某市信访局  \"  \r\n[mc]\r\nmingcheng=横幅\r\n"));
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        QAbstractItemModelTester tester(window.recordList()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        RecordList* list = window.recordList();
        QCOMPARE(columnTexts(list, 0), (QStringList{"1", "2", "5"}));
        QCOMPARE(list->rowValue(2), 5);
        QCOMPARE(list->cellText(0, 1), QStringLiteral("2012年12月4日"));
        QCOMPARE(list->cellText(2, 21), QString());
        QCOMPARE(list->cellText(9, 1), QString());
        QCOMPARE(list->rowValue(-1), 0);
        QCOMPARE(list->currentRow(), -1);
        QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：3条数据"));
        QCOMPARE(window.windowTitle(), QStringLiteral("  某市信访局  "));
        QCOMPARE(window.findChild<ShadowLabel*>(QStringLiteral("透明标签2"))->text(), QStringLiteral("横幅"));
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(list->model()->headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("来仿人职业"));
        QCOMPARE(list->columnWidth(21), 888);
        QCOMPARE(list->horizontalHeader()->font().pixelSize(), 14); // the list's font, titles included
        QCOMPARE(list->font().pixelSize(), 14);
        QList<QSize> iconSizes = window.windowIcon().availableSizes();
        std::sort(iconSizes.begin(), iconSizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(iconSizes, (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}}));
    }

    // A cell is drawn on one line whatever line breaks its text holds; the stored text keeps them.
    void cellsDrawOnOneLine_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("painted");
        QTest::newRow("CR LF") << QStringLiteral("第一行\r\n第二行") << QStringLiteral("第一行 第二行");
        QTest::newRow("two CR LF") << QStringLiteral("甲\r\n\r\n乙") << QStringLiteral("甲  乙");
        QTest::newRow("LF, CR") << QStringLiteral("a\nb\rc") << QStringLiteral("a b c");
        QTest::newRow("line and paragraph separators") << QStringLiteral("a\u2028b\u2029c") << QStringLiteral("a b c");
        QTest::newRow("break at the end") << QStringLiteral("诉求\r\n") << QStringLiteral("诉求 ");
    }
    void cellsDrawOnOneLine() {
        QFETCH(QString, stored);
        QFETCH(QString, painted);
        TestDatabase db;
        QStringList values(columnCount - 1);
        values[16] = stored;              // 诉求内容, column 17
        values[20] = stored.repeated(60); // 备注, column 21: longer than its 888 pixels
        db.insert(values);
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        RecordList* list = window.recordList();
        QCOMPARE(list->cellText(0, 17), stored);
        QCOMPARE(paintedCellText(list, 0, 17), painted);
        const QString longCell = paintedCellText(list, 0, 21);
        QVERIFY2(longCell.endsWith(QChar(0x2026)), qPrintable(longCell)); // elided at the column's edge
        QVERIFY(longCell.startsWith(painted.left(painted.size() - 1)));
    }

    void emptyTableAndMissingFile() {
        {
            TestDatabase db;
            setRunDirectoryForTesting(db.directory());
            MessageBoxLog boxes;
            MainWindow window;
            QCOMPARE(window.recordList()->rowCount(), 0);
            QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：0条数据"));
            QCOMPARE(window.windowTitle(), QString()); // no set.ini
            QVERIFY(boxes.shown.isEmpty());
        }
        QTemporaryDir empty;
        setRunDirectoryForTesting(empty.path());
        MessageBoxLog boxes;
        MainWindow window;
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("打开数据库失败！")});
        QCOMPARE(boxes.shown[0].caption, QStringLiteral("警告"));
        QCOMPARE(boxes.shown[0].style, messagebox::Style::Warning);
        QCOMPARE(window.countLabelText(), QString());
        window.listAllRecords();
        QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：0条数据"));
        QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("xinfang.mdb"))));
    }

    // A folder copied from a Windows desk: its files are found whatever their letter case, and nothing is
    // made beside them.
    void filesOfAWindowsFolder() {
        TestDatabase db;
        db.insert(withFirst(QStringLiteral("复制来的")), 1);
        db.writeSettings(QStringLiteral("[bt]\r\nbiaoti=复制的文件夹\r\n"));
        QDir folder(db.directory());
        QVERIFY(folder.rename(QStringLiteral("xinfang.mdb"), QStringLiteral("XINFANG.MDB")));
        QVERIFY(folder.rename(QStringLiteral("set.ini"), QStringLiteral("Set.ini")));
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(columnTexts(window.recordList(), 1), QStringList{QStringLiteral("复制来的")});
        QCOMPARE(window.windowTitle(), QStringLiteral("复制的文件夹"));
        QCOMPARE(folder.entryList(QDir::Files), (QStringList{"Set.ini", "XINFANG.MDB"}));
    }

    void clockText_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("expected");
        const QString prefix = QStringLiteral("        当前日期： 2012年12月4日    ");
        QTest::newRow("7:40:07") << QTime(7, 40, 7) << prefix + QStringLiteral("7时40分7秒");
        QTest::newRow("7:40:00") << QTime(7, 40, 0) << prefix + QStringLiteral("7时40分");
        QTest::newRow("7:00:00") << QTime(7, 0, 0) << prefix + QStringLiteral("7时");
        QTest::newRow("midnight") << QTime(0, 0, 0) << prefix;
    }
    void clockText() {
        QFETCH(QTime, time);
        QFETCH(QString, expected);
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        auto* part = window.findChild<QLabel*>(QStringLiteral("状态条1部分0"));
        QCOMPARE(part->text(), QString()); // before the first tick
        window.setClockForTesting([time] { return QDateTime(QDate(2012, 12, 4), time); });
        window.tick();
        QCOMPARE(part->text(), expected);
    }

    // Home, End and the page keys go between rows; nothing but Left and Right scrolls sideways.
    void keysMoveBetweenRows() {
        TestDatabase db;
        insertNumberedRows(db, 60);
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        RecordList* list = window.recordList();
        QScrollBar* sideways = list->horizontalScrollBar();
        // A click on a cell cut by the right edge selects its row without scrolling it into view.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(list->viewport()->width() - 3, 5));
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(sideways->value(), 0);

        struct Step {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int row;
        };
        const Step steps[] = {{Qt::Key_End, {}, 59},
                              {Qt::Key_Home, {}, 0},
                              {Qt::Key_End, Qt::ControlModifier, 59},
                              {Qt::Key_Home, Qt::ControlModifier, 0}};
        for (const Step& step : steps) {
            QTest::keyClick(list, step.key, step.modifiers);
            QCOMPARE(list->currentRow(), step.row);
            QCOMPARE(sideways->value(), 0);
            // Rows are whole at the top of the view; at the end the last one is whole too.
            QCOMPARE(list->rowViewportPosition(list->rowAt(0)), 0);
            const QRect current = list->visualRect(list->model()->index(step.row, 0));
            QVERIFY(current.top() >= 0 && current.bottom() < list->viewport()->height());
        }
        // A page is the rows in view, give or take the one cut at the bottom.
        const int page = list->viewport()->height() / list->rowHeight(0);
        QTest::keyClick(list, Qt::Key_PageDown);
        QVERIFY2(qAbs(list->currentRow() - page) <= 1, qPrintable(QString::number(list->currentRow())));
        QCOMPARE(sideways->value(), 0);
        QTest::keyClick(list, Qt::Key_PageUp);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(sideways->value(), 0);

        // Left and Right scroll sideways; the row stays, and the sideways scroll stays through End.
        QTest::keyClick(list, Qt::Key_Right);
        QTest::keyClick(list, Qt::Key_Right);
        const int scrolled = sideways->value();
        QVERIFY(scrolled > 0);
        QCOMPARE(list->currentRow(), 0);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentRow(), 59);
        QCOMPARE(sideways->value(), scrolled);
        QTest::keyClick(list, Qt::Key_Left);
        QTest::keyClick(list, Qt::Key_Left);
        QCOMPARE(sideways->value(), 0);
        QCOMPARE(list->currentRow(), 59);
    }

    // Typed letters look in the first column, whichever cell was clicked.
    void typedTextLooksInTheFirstColumn() {
        TestDatabase db;
        db.insert({QStringLiteral("2012年")}, 1);
        db.insert({QStringLiteral("3月")}, 2); // 日期 starts with 3, 编号 does not
        db.insert({QStringLiteral("2013年")}, 3);
        db.insert({QStringLiteral("2013年")}, 31);
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        RecordList* list = window.recordList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
        QCOMPARE(list->currentRow(), 0);
        QTest::keyClicks(list, QStringLiteral("31"));
        QCOMPARE(list->currentRow(), 3);
        QCOMPARE(list->horizontalScrollBar()->value(), 0);
    }

    // Without the section bt the title bar shows no text: the window's title is empty, and the platform is
    // handed a blank rather than the application's name.
    void captionFromSettings_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("platformTitle");
        QTest::newRow("no set.ini") << QString() << QString() << QStringLiteral(" ");
        QTest::newRow("empty value") << QStringLiteral("[bt]\r\nbiaoti=\r\n") << QString() << QStringLiteral(" ");
        QTest::newRow("caption") << QStringLiteral("[bt]\r\nbiaoti=某市信访局\r\n") << QStringLiteral("某市信访局")
                                 << QStringLiteral("某市信访局");
    }
    void captionFromSettings() {
        QFETCH(QString, settings);
        QFETCH(QString, title);
        QFETCH(QString, platformTitle);
        TestDatabase db;
        if (!settings.isEmpty()) {
            db.writeSettings(settings);
        }
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(window.windowHandle()->title(), platformTitle);
    }

    // The clock is written in the system's text colour on the grey bar.
    void statusBarColours() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.setClockForTesting([] { return QDateTime(QDate(2012, 12, 4), QTime(7, 40, 7)); });
        window.tick();
        auto* bar = window.findChild<QStatusBar*>(QStringLiteral("状态条1"));
        const QImage image = bar->grab().toImage();
        const QColor grey(128, 128, 128);
        const QColor text = QApplication::palette().color(QPalette::WindowText);
        QCOMPARE(image.pixelColor(image.width() - 5, image.height() / 2), grey);
        // Every pixel lies between the grey and the text colour; some are the text colour itself.
        bool textSeen = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                QVERIFY2(qAbs(c.lightness() - grey.lightness()) + qAbs(c.lightness() - text.lightness()) <=
                             qAbs(grey.lightness() - text.lightness()) + 2,
                         qPrintable(c.name()));
                textSeen = textSeen || c == text;
            }
        }
        QVERIFY(textSeen);
    }

    void searchBoxEmptiesOnEveryClick() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        QCOMPARE(box->text(), QStringLiteral("在此输入关键字：（可模糊查询）"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        box->setText(QStringLiteral("张"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
    }

    // Nothing brings the hint (or a keyword) back once a click has emptied the box.
    void undoNeverRestoresTheHint() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!box->isUndoAvailable()); // the context menu's Undo is disabled too
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, QStringLiteral("ab"));
        QTest::mouseClick(box, Qt::LeftButton);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        }
        QCOMPARE(box->text(), QString());
    }

    void tabOrderWraps() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QStringList order = {"按钮4",     "编辑框1",   "超级列表框", "超级按钮1",
                                   "超级按钮2", "超级按钮3", "超级按钮4"};
        window.findChild<QWidget*>(order[0])->setFocus();
        QCOMPARE(tabWalk(7), order.mid(1) << order[0]);
        QStringList backwards(order.rbegin(), order.rend());
        QCOMPARE(tabWalk(7, false), backwards);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
