#include "MainWindow.h"

#include "RecordList.h"
#include "core/DateTimeText.h"
#include "core/NumberText.h"
#include "core/RunDirectory.h"
#include "core/Settings.h"
#include "store/DatabaseLocation.h"
#include "store/PetitionRecord.h"
#include "store/Statements.h"
#include "ui/entry/ModificationWindow.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/widgets/FlatButton.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/KeyboardRules.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Resources.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/ShapeBox.h"
#include "ui/widgets/WindowCaption.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace {

// Outer size 972x603 less the frame (3 pixels each side) and the title bar (25 pixels).
constexpr QSize clientSize(966, 572);

// The search box empties itself at every press of the left mouse button, so the hint text never has to
// be deleted by hand.
class SearchBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            setText(QString()); // unlike clear(), leaves nothing for undo to bring back
        }
        QLineEdit::mousePressEvent(event);
    }
};

QLabel* pictureBox(const QString& resource, bool scaled, QWidget* parent) {
    auto* box = new QLabel(parent);
    box->setPixmap(QPixmap(resource));
    box->setScaledContents(scaled);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return box;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_clock([] { return QDateTime::currentDateTime(); }) {
    buildLayout();
    m_list->model()->setStore(&m_store);

    // The key is read here, as the database is opened, so an edited set.ini counts from the next login on.
    if (openConfiguredDatabase(m_store,
                               readSetting(QLatin1String(databaseSettingSection), QLatin1String(databaseSettingKey)),
                               runDirectoryFile(QStringLiteral("xinfang.mdb")))) {
        listAllRecords();
    } else {
        messagebox::show(messagebox::Style::Warning, QStringLiteral("打开数据库失败！"), QStringLiteral("警告"));
    }
    setWindowCaption(this, readSetting(QStringLiteral("bt"), QStringLiteral("biaoti")));
    m_bannerText->setText(readSetting(QStringLiteral("mc"), QStringLiteral("mingcheng")));
}

MainWindow::~MainWindow() {
    // The list outlives the connection by a moment: it is destroyed with the window's children.
    m_list->model()->setStore(nullptr);
}

void MainWindow::buildLayout() {
    setObjectName(QStringLiteral("MainWindow"));
    setFixedSize(clientSize);
    setAutoFillBackground(true);
    setPalette(QPalette(palette().color(QPalette::Button)));
    setWindowIcon(programIcon());

    QLabel* banner = pictureBox(QStringLiteral(":/banner.jpg"), true, this);
    banner->setObjectName(QStringLiteral("图片框1"));
    banner->setGeometry(0, 0, 968, 80);
    m_bannerText = new ShadowLabel(banner);
    m_bannerText->setObjectName(QStringLiteral("透明标签2"));
    m_bannerText->setGeometry(116, 15, 736, 41);
    m_bannerText->setFont(layoutFont(QStringLiteral("微软雅黑"), 37, true));
    m_bannerText->setTextColor(Qt::white);
    m_bannerText->setShadow(true);

    m_clockTimer = new QTimer(banner);
    m_clockTimer->setObjectName(QStringLiteral("时钟1"));
    m_clockTimer->setInterval(1000);
    connect(m_clockTimer, &QTimer::timeout, this, &MainWindow::tick);
    m_clockTimer->start();

    auto* panel = new ShapeBox(Qt::white, QColor(77, 184, 222), Qt::SolidLine, this);
    panel->setObjectName(QStringLiteral("外形框1"));
    panel->setGeometry(0, 78, 170, 441);
    QLabel* header = pictureBox(QStringLiteral(":/panel-header.png"), false, panel);
    header->setObjectName(QStringLiteral("图片框2"));
    header->setGeometry(1, 1, 168, 32);
    auto* headerText = new ShadowLabel(header);
    headerText->setObjectName(QStringLiteral("透明标签3"));
    headerText->setGeometry(47, 10, 104, 16);
    headerText->setFont(layoutFont(QStringLiteral("宋体"), 12, true));
    headerText->setText(QStringLiteral("群众来信来访操作"));

    const QString tip = QStringLiteral("以上规则我以熟读.");
    auto sideButton = [&](const char* name, const QString& text, int top) {
        auto* b = new FlatButton(text, panel);
        b->setObjectName(QString::fromUtf8(name));
        b->setGeometry(1, top, 168, 35);
        b->setToolTip(tip);
        return b;
    };
    m_registerButton = sideButton("超级按钮1", QStringLiteral("登记信访信息"), 33);
    m_modifyButton = sideButton("超级按钮3", QStringLiteral("修改选中信息"), 68);
    m_deleteButton = sideButton("超级按钮4", QStringLiteral("删除选中信息"), 103);
    m_showAllButton = sideButton("超级按钮2", QStringLiteral("全部信息显示"), 138);

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("分组框2"));
    frame->setGeometry(172, 74, 793, 446);
    m_list = new RecordList(frame);
    m_list->setGeometry(2, 8, 788, 435);

    m_countLabel = new QLabel(this);
    m_countLabel->setObjectName(QStringLiteral("标签1"));
    m_countLabel->setGeometry(2, 525, 171, 22);
    m_countLabel->setAlignment(Qt::AlignCenter);

    m_searchBox = new SearchBox(QStringLiteral("在此输入关键字：（可模糊查询）"), this);
    m_searchBox->setObjectName(QStringLiteral("编辑框1"));
    m_searchBox->setGeometry(526, 524, 208, 24);
    m_searchBox->setAlignment(Qt::AlignCenter);

    m_searchButton = new QPushButton(QStringLiteral("查询"), this);
    m_searchButton->setObjectName(QStringLiteral("按钮4"));
    m_searchButton->setGeometry(749, 524, 147, 23);
    m_searchButton->setAutoDefault(false);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("状态条1"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setGeometry(0, clientSize.height() - 20, clientSize.width(), 20);
    m_statusBar->setAutoFillBackground(true);
    // Grey ground, the clock in the system's text colour.
    QPalette statusPalette = QApplication::palette();
    statusPalette.setColor(QPalette::Window, QColor(128, 128, 128));
    m_statusBar->setPalette(statusPalette);
    m_clockPart = new QLabel(m_statusBar);
    m_clockPart->setObjectName(QStringLiteral("状态条1部分0"));
    m_clockPart->setFixedWidth(345);
    m_statusBar->addWidget(m_clockPart);

    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::searchByKeyword);
    connect(m_showAllButton, &FlatButton::clicked, this, &MainWindow::showAll);
    connect(m_deleteButton, &FlatButton::clicked, this, &MainWindow::deleteSelected);
    connect(m_registerButton, &FlatButton::clicked, this, &MainWindow::openRegistration);
    connect(m_modifyButton, &FlatButton::clicked, this, &MainWindow::openModification);

    // Enter anywhere but on a side-panel button runs the first of them in control order: delete.
    KeyboardRules::apply(
        this, {m_searchButton, m_searchBox, m_list, m_registerButton, m_showAllButton, m_modifyButton, m_deleteButton},
        {m_deleteButton, m_registerButton, m_modifyButton, m_showAllButton});
}

void MainWindow::showEvent(QShowEvent* event) {
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* s = screen()) {
            const QRect outer(QPoint(), clientSize + QSize(6, 31));
            move(s->availableGeometry().center() - outer.center());
        }
    }
    QWidget::showEvent(event);
}

void MainWindow::setCountLabelText(const QString& text) {
    m_countLabel->setText(text);
}

QString MainWindow::countLabelText() const {
    return m_countLabel->text();
}

QString MainWindow::clockText(const QDateTime& moment) {
    return QStringLiteral("        当前日期： ") + datePart(moment) + QStringLiteral("    ") + timePart(moment);
}

void MainWindow::setClockForTesting(std::function<QDateTime()> clock) {
    m_clock = std::move(clock);
}

void MainWindow::tick() {
    m_clockPart->setText(clockText(m_clock()));
}

void MainWindow::appendCurrentRecord(RecordStore::Handle handle) {
    // Only 编号: the list reads the other cells of the rows that come into view, by their numbers.
    const QString number = m_store.readText(handle, columnNames()[0]);
    m_list->model()->addListedRow(RecordListModel::numberOf(number), number);
}

void MainWindow::listAllRecords() {
    RecordListModel* model = m_list->model();
    model->beginBatch();
    model->clearRows();
    const RecordStore::Handle handle = m_store.query(statements::selectNumbers());
    m_store.toFirst(handle);
    while (!m_store.isPastEnd(handle)) {
        appendCurrentRecord(handle);
        m_store.toNext(handle);
    }
    if (handle != 0) { // 0 would close the recordset of a search waiting between two of its rows
        m_store.closeRecordset(handle);
    }
    model->endBatch();
    setCountLabelText(QStringLiteral("数据库总量：") + wholeNumberText(m_list->rowCount()) + QStringLiteral("条数据"));
}

void MainWindow::showAll() {
    listAllRecords();
}

void MainWindow::openRegistration() {
    openRegistrationWindow(*this);
}

void MainWindow::openModification() {
    openModificationWindow(*this);
}
