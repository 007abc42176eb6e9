// A review list: a report-style list with a check box in front of each row,
// drawn from a TRecordListModel.
#pragma once

#include "RecordListModel.h"

#include <QTreeView>

class QKeyEvent;

// Shows model in view as a flat, unsorted list with the model's captions and
// column widths: no root decoration, one row height for all rows (which keeps
// long lists fast), whole rows selected, no text editing. A null view or
// model is ignored.
void SetupRecordListView(QTreeView* view, TRecordListModel* model);

// The list with a model of its own. Space (or Select) ticks or unticks the
// current row whatever column the focus is in, and gives every other selected
// row the same tick. Every refill of the model shows its first rows.
class TRecordListView : public QTreeView {
    Q_OBJECT
public:
    explicit TRecordListView(RecordKindMask kind, QWidget* parent = nullptr);

    TRecordListModel* Model() const { return m_pModel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ToggleCurrentAndSelected();
    // After every refill: the first rows, with scroll bars for the new rows.
    void ShowFromTop();

    TRecordListModel* m_pModel;
};
