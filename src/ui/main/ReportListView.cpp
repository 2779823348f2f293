#include "ReportListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Cells drawn with the narrow margins of a report list, each on one line. The first column is narrow and
// carries the row picture in front of the number; the view's own item margins would leave no room there
// for a number of two digits, and would cut a date such as 2017年10月24日 in its column.
class OneLineCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // What the cell shows; the stored text keeps its line breaks.
    // Taken from the stored text, before the base class turns each LF into a line separator of its own.
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        if (value.typeId() == QMetaType::QString) {
            return ReportListView::oneLineText(value.toString());
        }
        return ReportListView::oneLineText(QStyledItemDelegate::displayText(value, locale));
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QIcon icon = opt.icon;
        const QString text = opt.text;
        opt.icon = QIcon();
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget); // background and selection

        constexpr int margin = 2;
        const QSize pictureSize(16, 15);
        const QRect r = option.rect;
        QRect textRect = r.adjusted(margin, 0, -1, 0);
        if (!icon.isNull()) {
            const QRect picture(QPoint(r.x() + margin, r.y() + (r.height() - pictureSize.height()) / 2), pictureSize);
            icon.paint(painter, picture);
            textRect.setLeft(picture.right() + 1 + margin);
        }
        const QPalette::ColorGroup group = (opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        const QPalette::ColorRole role =
            (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
        painter->save();
        painter->setPen(opt.palette.color(group, role));
        painter->setFont(opt.font);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
        painter->restore();
    }
};

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

ReportListView::ReportListView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new OneLineCellDelegate(this));
    // Sideways by pixels, as the scroll bar's thumb moves; rows stay whole.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalScrollBar()->setSingleStep(2 * fontMetrics().averageCharWidth());
}

QString ReportListView::oneLineText(const QString& text) {
    if (std::none_of(text.cbegin(), text.cend(), isLineBreak)) {
        return text; // nearly every cell: no copy
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text[i])) {
            out += text[i];
            continue;
        }
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i; // CR LF is one line break
        }
        out += u' ';
    }
    return out;
}

void ReportListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // Rows are brought into view from above or below; the sideways scroll is left where the clerk put it,
    // whichever cell of the row was clicked.
    QScrollBar* sideways = horizontalScrollBar();
    const int x = sideways->value();
    QTableView::scrollTo(index, hint);
    sideways->setValue(x);
}

void ReportListView::doItemsLayout() {
    QTableView::doItemsLayout();
    alignTopRow();
}

void ReportListView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    alignTopRow();
}

void ReportListView::updateGeometries() {
    QTableView::updateGeometries();
    alignTopRow();
}

void ReportListView::alignTopRow() {
    // Scrolled to its end, the table view lines the last row up with the bottom edge and cuts the top row.
    // The scroll range ends where the last rows fit below a whole top row, so they are all in view this way.
    const QScrollBar* rows = verticalScrollBar();
    if (verticalScrollMode() != ScrollPerItem || rows->maximum() <= 0 || rows->value() != rows->maximum()) {
        return;
    }
    QHeaderView* header = verticalHeader();
    const int top = header->sectionPosition(header->logicalIndex(rows->value()));
    if (header->offset() != top) {
        header->setOffset(top);
        viewport()->update();
    }
}

void ReportListView::keyboardSearch(const QString& search) {
    // The search runs down the column of the current cell: keep that the first one.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.column() != 0) {
        selectionModel()->setCurrentIndex(current.siblingAtColumn(0), QItemSelectionModel::NoUpdate);
    }
    QTableView::keyboardSearch(search);
}

QModelIndex ReportListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    QAbstractItemModel* m = model();
    const int rows = m ? m->rowCount(rootIndex()) : 0;
    switch (cursorAction) {
    case MoveHome:
        return rows > 0 ? m->index(0, 0, rootIndex()) : QModelIndex();
    case MoveEnd:
        return rows > 0 ? m->index(rows - 1, 0, rootIndex()) : QModelIndex();
    case MoveLeft:
    case MoveRight:
        return currentIndex(); // the row stays; the keys scroll sideways (keyPressEvent)
    default:
        return QTableView::moveCursor(cursorAction, modifiers);
    }
}

void ReportListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        horizontalScrollBar()->triggerAction(event->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                          : QAbstractSlider::SliderSingleStepAdd);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ReportListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        // The header would otherwise keep the application's font for headers.
        horizontalHeader()->setFont(font());
        // Left and Right move the view a few characters at a time, not a column or more.
        horizontalScrollBar()->setSingleStep(2 * fontMetrics().averageCharWidth());
    }
    QTableView::changeEvent(event);
}
