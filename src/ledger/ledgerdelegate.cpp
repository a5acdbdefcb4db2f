#include "ledger/ledgerdelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

namespace vellumar {

bool LedgerDelegate::showsLessThanAll(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    const QString whole = index.data(Qt::ToolTipRole).toString();
    if (whole.isEmpty())
        return false;
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (cell.text != whole)
        return true;
    // The room the style gives the text: the cell's text area less the margins it draws in.
    const QWidget* widget = cell.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return cell.fontMetrics.horizontalAdvance(cell.text) > area.width() - 2 * margin;
}

bool LedgerDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (!showsLessThanAll(option, index)) {
        QToolTip::hideText();
        return true;
    }
    // As rich text so that markup in a product name shows as typed and long texts wrap; the
    // line breaks of a remark stay.
    const QString whole = index.data(Qt::ToolTipRole).toString();
    QToolTip::showText(event->globalPos(),
                       QStringLiteral("<p style='white-space:pre-wrap'>") + whole.toHtmlEscaped() +
                           QStringLiteral("</p>"),
                       view->viewport(), option.rect);
    return true;
}

void showLedgerIn(QTableView* view, QAbstractItemModel* ledger) {
    view->setModel(ledger);
    // Cells cut off at their column's edge show their whole text as a tooltip.
    view->setItemDelegate(new LedgerDelegate(view));
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 8);
    QHeaderView* titles = view->horizontalHeader();
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
}

} // namespace vellumar
