// The review page, step 1 of the wizard: for each chosen record kind the
// duplicates that matching found, each with the record kept in its stead,
// ticked for deletion unless it does not equal that record itself. The user may change
// the ticks, list every loaded record instead, or change the matching rules
// and match again. Leaving the page writes the ticks into the records
// (mkDelete) and the duplicate lists of CrmData.
//
// The lists point to records of CrmData. ClearLists must run before CrmData
// is freed or rebuilt; the lists are only ever filled from the duplicate
// lists and the record walk, never read back through the collections.
#pragma once

#include "Apputil.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class TRecordListView;
struct TReviewKindInfo;

class TfmSFData : public QWidget {
    Q_OBJECT
public:
    explicit TfmSFData(QWidget* parent);

    // leaving false: shows the tabs of the kinds in AppFlag, matches and
    // lists the duplicates ticked; true: stores the ticks. Always true.
    bool UpdateData(bool leaving);

    // Matching of every kind whose tab is shown, on a worker thread while the
    // wait window shows "Finding duplicate records..." and every window
    // refuses input (see WorkRunner.h); returns when matching is done.
    void FindAllDups();
    // Refills the list of every shown kind; dupsOnly also clears every
    // "Load All" box, hidden ones included.
    void FillAllLists(bool dupsOnly);
    // One kind's list: its duplicates ticked (dupsOnly; those with
    // mkIndirect unticked) or every loaded record unticked; then its tab
    // caption and its count label. Nothing changes when the kind has no
    // duplicate list.
    void FillAddrList(bool dupsOnly);
    void FillDateList(bool dupsOnly);
    void FillTaskList(bool dupsOnly);
    void FillNoteList(bool dupsOnly);

    // Ticked items get mkDelete and join their duplicate list; unticked ones
    // lose mkDelete and stay in the list if they were there.
    void StoreAllTicks();
    void StoreAddrTicks();
    void StoreDateTicks();
    void StoreTaskTicks();
    void StoreNoteTicks();

    // Ticks or unticks every item of every shown list / of one kind's list
    // when its tab is shown.
    void TickAllLists(bool on);
    void TickList(RecordKindMask kind, bool on);

    // Empties all four lists, so that none keeps a pointer into CrmData.
    void ClearLists();

    QTabWidget* pData;
    QWidget* tAddr;
    QWidget* tDate;
    QWidget* tTask;
    QWidget* tNote;
    TRecordListView* lvAddr;
    TRecordListView* lvDate;
    TRecordListView* lvTask;
    TRecordListView* lvNote;
    QCheckBox* cbAddrAll;
    QCheckBox* cbDateAll;
    QCheckBox* cbTaskAll;
    QCheckBox* cbNoteAll;
    QLabel* lblAddrCount;
    QLabel* lblDateCount;
    QLabel* lblTaskCount;
    QLabel* lblNoteCount;
    QPushButton* btnOption;
    QPushButton* btnSelAll;
    QPushButton* btnClear;

public slots:
    void btnOptionClick();
    void btnSelAllClick();
    void btnClearClick();
    void cbAddrAllClick();
    void cbDateAllClick();
    void cbTaskAllClick();
    void cbNoteAllClick();

private:
    static constexpr int kKindCount = 4;

    // The controls of one kind, with what differs between the kinds.
    struct TKindPage {
        const TReviewKindInfo* info;
        QWidget* tab;
        TRecordListView* list;
        QCheckBox* cbAll;
        QLabel* lblCount;
    };

    void BuildControls();
    QWidget* BuildKindTab(TKindPage& page, const TReviewKindInfo& info);
    TKindPage* PageOf(RecordKindMask kind);
    bool IsShown(const TKindPage& page) const;
    void ShowChosenTabs();
    void FillList(TKindPage& page, bool dupsOnly);
    void StoreTicks(TKindPage& page);
    void LoadAllClick(TKindPage& page);

    TKindPage m_pages[kKindCount];
};

// While a hook is set, FindAllDups calls it on the worker thread before
// matching, so that window tests can act while matching runs.
void SetFindDupsHook(std::function<void()> hook);
