#pragma once

#include "store/RecordStore.h"
#include "ui/entry/RecordDesk.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>

class FlatButton;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTimer;
class RecordList;
class ShadowLabel;

// The clerk's workplace: banner, side panel with four commands, the record list, the search row, the
// count label and the status bar with its clock. It owns the one database connection. Creating it opens
// the database, lists every record and takes its caption and banner text from set.ini. The entry windows
// reach it only through the operations of RecordDesk.
class MainWindow : public QWidget, public RecordDesk {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    RecordStore& store() { return m_store; }
    RecordList* recordList() const { return m_list; }

    // Rebuilds the list from the whole table and shows the count in the count label.
    void listAllRecords();
    // The count label's text (also used for the failure texts of the entry windows).
    void setCountLabelText(const QString& text);
    QString countLabelText() const;

    // The clock's text for a moment, as the status bar shows it.
    static QString clockText(const QDateTime& moment);
    // For tests: the time the clock reads.
    void setClockForTesting(std::function<QDateTime()> clock);
    void tick();

    // Appends the recordset's current row to the list by its 编号 (text and row value); the list reads the
    // row's other cells when they are wanted.
    void appendCurrentRecord(RecordStore::Handle handle);

    // The commands of the side panel and the search row.
    void searchByKeyword();
    void showAll();
    void deleteSelected();
    void openRegistration();
    void openModification();

    // What the entry windows ask of it.
    QWidget* deskWindow() override { return this; }
    bool registerRecord(const QStringList& values) override;
    UpdateResult updateRecord(qint32 number, const QStringList& values) override;
    int listedRowCount() const override;
    int currentListRow() const override;
    QStringList rowTexts(int row) const override;
    qint32 rowNumber(int row) const override;
    void refreshList() override { listAllRecords(); }
    // The text goes to the count label and, while the clerk has closed this window and cannot see that
    // label, into a message box as well.
    void reportFailure(const QString& text) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();

    RecordStore m_store;
    RecordList* m_list = nullptr;
    QLabel* m_countLabel = nullptr;
    QLineEdit* m_searchBox = nullptr;
    QPushButton* m_searchButton = nullptr;
    ShadowLabel* m_bannerText = nullptr;
    QLabel* m_clockPart = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QTimer* m_clockTimer = nullptr;
    FlatButton* m_registerButton = nullptr;
    FlatButton* m_modifyButton = nullptr;
    FlatButton* m_deleteButton = nullptr;
    FlatButton* m_showAllButton = nullptr;
    std::function<QDateTime()> m_clock;
    bool m_centred = false;
};
