#include "RecordListView.h"

#include "EventTimeText.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace {

// The width a date with a time of day needs in the user's locale and font:
// the widest digits of a late December evening, plus the cell's margins.
int DateTimeColumnWidth(const QTreeView* view) {
    const double lateDecemberEvening = 36888.95; // 2000-12-28 22:48
    const int margins = 2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
    return view->fontMetrics().horizontalAdvance(EventTimeText(lateDecemberEvening, false)) +
           margins + 8;
}

} // namespace

void SetupRecordListView(QTreeView* view, TRecordListModel* model) {
    if (!view || !model)
        return;
    view->setModel(model);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setSortingEnabled(false);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = view->header();
    // The columns start at their own widths and the user may widen them (a
    // double click on a border fits the column to its texts); the last one
    // reaches to the list's edge.
    header->setStretchLastSection(true);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const auto columns = model->Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        int width = columns[i].width;
        // Made for a time alone, the width would cut the date off.
        if (columns[i].showsDateTime)
            width = std::max(width, DateTimeColumnWidth(view));
        view->setColumnWidth(static_cast<int>(i), width);
    }
}

TRecordListView::TRecordListView(RecordKindMask kind, QWidget* parent)
    : QTreeView(parent), m_pModel(new TRecordListModel(kind, this)) {
    SetupRecordListView(this, m_pModel);
    connect(m_pModel, &QAbstractItemModel::modelReset, this, &TRecordListView::ShowFromTop);
}

void TRecordListView::ShowFromTop() {
    // Lays the new rows out now, so that the scroll bars fit what is shown.
    doItemsLayout();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void TRecordListView::keyPressEvent(QKeyEvent* event) {
    const bool toggleKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    if (toggleKey && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
        ToggleCurrentAndSelected();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TRecordListView::ToggleCurrentAndSelected() {
    const int current = currentIndex().row();
    const bool on = !m_pModel->IsTicked(current);
    m_pModel->SetTicked(current, on);
    if (QItemSelectionModel* selection = selectionModel()) {
        for (const QItemSelectionRange& range : selection->selection())
            m_pModel->TickRange(range.top(), range.bottom(), on);
    }
}
