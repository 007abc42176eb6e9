#include "Sfdata.h"

#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "DupMatch.h"
#include "Dupoption.h"
#include "FormUtil.h"
#include "MessageBox.h"
#include "RecordListView.h"
#include "WorkRunner.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>
#include <cstdio>
#include <mutex>
#include <unordered_set>
#include <utility>
#include <vector>

// What differs between the kinds of the page: names, captions, where the
// kind's data lies in CrmData and how its records are reached.
struct TReviewKindInfo {
    RecordKindMask kind;
    const char* tabName;
    const char* tabCaption;
    const char* listName;
    const char* allName;
    const char* allCaption;
    const char* countName;
    // Tab caption with the size of the duplicate list: above 1, otherwise.
    const char* dupsCaption;
    const char* dupCaption;
    const char* countFormat;
    CxList* TCrmData::*dupList;
    bool (*findDups)();
    // The record walk over the kind's collection.
    void* (*firstRecord)();
    void* (*nextRecord)();
    // Records in the kind's collection; 0 without one.
    uint32_t (*recordCount)();
    bool (*append)(TRecordListModel& model, void* record, bool ticked);
    uint32_t* (*flags)(void* record);
};

namespace {

const char kFindingText[] = "Finding duplicate records...";

std::mutex g_findHookMutex;
std::function<void()> g_findHook;

const char kSelectAllQuestion[] = "You are selecting all Contacts, Calendar or Tasks information, "
                                  "including non-duplicate records. Are you sure to continue?";

template <auto Walk> void* WalkRecord() {
    return Walk();
}

template <auto Util> uint32_t CollectionCount() {
    const auto* util = CrmData.*Util;
    const auto* collection = util ? util->GetCollection() : nullptr;
    return collection ? collection->GetRecordCount() : 0;
}

template <class TRec> bool AppendRecord(TRecordListModel& model, void* record, bool ticked) {
    return model.Append(static_cast<TRec*>(record), ticked);
}

template <class TRec> uint32_t* RecordFlags(void* record) {
    return &static_cast<TRec*>(record)->Flags;
}

// In the order contacts, calendar, tasks, notes, as the page runs them.
const TReviewKindInfo kKinds[] = {
    {rkAddr, "tAddr", "Contacts", "lvAddr", "cbAddrAll", "Load All Contacts Data", "lblAddrCount",
     "Contacts (%d Dups)", "Contacts (%d Dup)", "%d Contact records in total",
     &TCrmData::AddrDupList, FindAddrDups, WalkRecord<FirstAddrRecord>, WalkRecord<NextAddrRecord>,
     CollectionCount<&TCrmData::AddrUtil>, AppendRecord<SFAddrRec>, RecordFlags<SFAddrRec>},
    {rkDate, "tDate", "Calendar", "lvDate", "cbDateAll", "Load All Calendar Data", "lblDateCount",
     "Calendar (%d Dups)", "Calendar (%d Dup)", "%d Calendar records in total",
     &TCrmData::DateDupList, FindDateDups, WalkRecord<FirstDateRecord>, WalkRecord<NextDateRecord>,
     CollectionCount<&TCrmData::DateUtil>, AppendRecord<SFDateRec>, RecordFlags<SFDateRec>},
    {rkTask, "tTask", "Task", "lvTask", "cbTaskAll", "Load All Tasks Data", "lblTaskCount",
     "Tasks (%d Dups)", "Tasks (%d Dup)", "%d Task records in total", &TCrmData::TaskDupList,
     FindTaskDups, WalkRecord<FirstTaskRecord>, WalkRecord<NextTaskRecord>,
     CollectionCount<&TCrmData::TaskUtil>, AppendRecord<SFTaskRec>, RecordFlags<SFTaskRec>},
    {rkNote, "tNote", "Notes", "lvNote", "cbNoteAll", "Load All Notes Data", "lblNoteCount",
     "Notes (%d Dups)", "Notes (%d Dup)", "%d Note records in total", &TCrmData::NoteDupList,
     FindNoteDups, WalkRecord<FirstNoteRecord>, WalkRecord<NextNoteRecord>,
     CollectionCount<&TCrmData::NoteUtil>, AppendRecord<SFNoteRec>, RecordFlags<SFNoteRec>},
};
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == 4);

// A text with one number, as the page's captions take it.
QString NumberText(const char* format, uint32_t value) {
    char text[128];
    const int n = value > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
    std::snprintf(text, sizeof(text), format, n);
    return Utf8(text);
}

} // namespace

TfmSFData::TfmSFData(QWidget* parent) : QWidget(parent) {
    setObjectName("fmSFData");
    BuildControls();
}

void TfmSFData::BuildControls() {
    pData = new QTabWidget(this);
    pData->setObjectName("pData");
    for (int i = 0; i < kKindCount; ++i)
        pData->addTab(BuildKindTab(m_pages[i], kKinds[i]), Utf8(kKinds[i].tabCaption));

    TKindPage& addr = m_pages[0];
    TKindPage& date = m_pages[1];
    TKindPage& task = m_pages[2];
    TKindPage& note = m_pages[3];
    tAddr = addr.tab;
    lvAddr = addr.list;
    cbAddrAll = addr.cbAll;
    lblAddrCount = addr.lblCount;
    tDate = date.tab;
    lvDate = date.list;
    cbDateAll = date.cbAll;
    lblDateCount = date.lblCount;
    tTask = task.tab;
    lvTask = task.list;
    cbTaskAll = task.cbAll;
    lblTaskCount = task.lblCount;
    tNote = note.tab;
    lvNote = note.list;
    cbNoteAll = note.cbAll;
    lblNoteCount = note.lblCount;

    btnOption = NewButton(this, "btnOption", "&Options", 110, false);
    btnSelAll = NewButton(this, "btnSelAll", "Select All Dups", 110, false);
    btnClear = NewButton(this, "btnClear", "Clear Selection", 110, false);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(btnOption);
    buttons->addStretch(1);
    buttons->addWidget(btnSelAll);
    buttons->addWidget(btnClear);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 12, 14, 8);
    column->setSpacing(8);
    column->addWidget(pData, 1);
    column->addLayout(buttons);

    connect(btnOption, &QPushButton::clicked, this, &TfmSFData::btnOptionClick);
    connect(btnSelAll, &QPushButton::clicked, this, &TfmSFData::btnSelAllClick);
    connect(btnClear, &QPushButton::clicked, this, &TfmSFData::btnClearClick);
    // Only the user's click refills a list; the page's own unchecking does not.
    connect(cbAddrAll, &QCheckBox::clicked, this, &TfmSFData::cbAddrAllClick);
    connect(cbDateAll, &QCheckBox::clicked, this, &TfmSFData::cbDateAllClick);
    connect(cbTaskAll, &QCheckBox::clicked, this, &TfmSFData::cbTaskAllClick);
    connect(cbNoteAll, &QCheckBox::clicked, this, &TfmSFData::cbNoteAllClick);
}

QWidget* TfmSFData::BuildKindTab(TKindPage& page, const TReviewKindInfo& info) {
    auto* tab = new QWidget;
    tab->setObjectName(info.tabName);
    auto* list = new TRecordListView(info.kind, tab);
    list->setObjectName(info.listName);
    auto* cbAll = new QCheckBox(Utf8(info.allCaption), tab);
    cbAll->setObjectName(info.allName);
    auto* lblCount = new QLabel(tab);
    lblCount->setObjectName(info.countName);
    QPalette blue = lblCount->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    lblCount->setPalette(blue);

    auto* footer = new QHBoxLayout;
    footer->addWidget(cbAll);
    footer->addStretch(1);
    footer->addWidget(lblCount);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    column->addWidget(list, 1);
    column->addLayout(footer);

    page = {&info, tab, list, cbAll, lblCount};
    return tab;
}

TfmSFData::TKindPage* TfmSFData::PageOf(RecordKindMask kind) {
    for (TKindPage& page : m_pages)
        if (page.info->kind == kind)
            return &page;
    return nullptr;
}

bool TfmSFData::IsShown(const TKindPage& page) const {
    return pData->isTabVisible(pData->indexOf(page.tab));
}

bool TfmSFData::UpdateData(bool leaving) {
    if (leaving) {
        StoreAllTicks();
        return true;
    }
    ShowChosenTabs();
    FindAllDups();
    FillAllLists(true);
    // A click made while the lists filled must not act on a page not yet seen.
    RefuseQueuedInput();
    return true;
}

void TfmSFData::ShowChosenTabs() {
    TKindPage* first = nullptr;
    for (TKindPage& page : m_pages) {
        const bool chosen = (AppSettings.AppFlag & page.info->kind) != 0;
        pData->setTabVisible(pData->indexOf(page.tab), chosen);
        if (chosen && !first)
            first = &page;
    }
    if (first)
        pData->setCurrentWidget(first->tab);
}

void SetFindDupsHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(g_findHookMutex);
    g_findHook = std::move(hook);
}

void TfmSFData::FindAllDups() {
    std::vector<bool (*)()> finds;
    for (TKindPage& page : m_pages)
        if (IsShown(page))
            finds.push_back(page.info->findDups);
    if (finds.empty())
        return;
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(g_findHookMutex);
        hook = g_findHook;
    }

    // Matching touches only records and duplicate lists, never a widget, so it
    // runs on the worker thread; the window keeps painting and takes no input.
    RunWithWaitWindow(parentWidget(), kFindingText, [&finds, &hook] {
        if (hook)
            hook();
        for (bool (*find)() : finds)
            find();
    });
}

void TfmSFData::FillAllLists(bool dupsOnly) {
    for (TKindPage& page : m_pages)
        if (IsShown(page))
            FillList(page, dupsOnly);
    if (dupsOnly)
        for (TKindPage& page : m_pages)
            page.cbAll->setChecked(false);
}

void TfmSFData::FillAddrList(bool dupsOnly) {
    FillList(m_pages[0], dupsOnly);
}

void TfmSFData::FillDateList(bool dupsOnly) {
    FillList(m_pages[1], dupsOnly);
}

void TfmSFData::FillTaskList(bool dupsOnly) {
    FillList(m_pages[2], dupsOnly);
}

void TfmSFData::FillNoteList(bool dupsOnly) {
    FillList(m_pages[3], dupsOnly);
}

void TfmSFData::FillList(TKindPage& page, bool dupsOnly) {
    const TReviewKindInfo& info = *page.info;
    CxList* dups = CrmData.*info.dupList;
    if (!dups)
        return;
    TRecordListModel& model = *page.list->Model();
    model.BeginFill(dupsOnly ? dups->GetCount() : info.recordCount());
    if (dupsOnly) {
        // A duplicate that does not equal the record kept in its stead is
        // offered, not ticked.
        for (void* record = dups->GetFirst(); record; record = dups->GetNext())
            info.append(model, record, !(*info.flags(record) & mkIndirect));
    } else {
        // The survivors too, and no item ticked, duplicates included.
        for (void* record = info.firstRecord(); record; record = info.nextRecord())
            info.append(model, record, false);
    }
    model.EndFill();

    const uint32_t n = dups->GetCount();
    pData->setTabText(pData->indexOf(page.tab),
                      NumberText(n > 1 ? info.dupsCaption : info.dupCaption, n));
    page.lblCount->setText(NumberText(info.countFormat, info.recordCount()));
}

void TfmSFData::StoreAllTicks() {
    for (TKindPage& page : m_pages)
        if (IsShown(page))
            StoreTicks(page);
}

void TfmSFData::StoreAddrTicks() {
    StoreTicks(m_pages[0]);
}

void TfmSFData::StoreDateTicks() {
    StoreTicks(m_pages[1]);
}

void TfmSFData::StoreTaskTicks() {
    StoreTicks(m_pages[2]);
}

void TfmSFData::StoreNoteTicks() {
    StoreTicks(m_pages[3]);
}

void TfmSFData::StoreTicks(TKindPage& page) {
    const TReviewKindInfo& info = *page.info;
    CxList* dups = CrmData.*info.dupList;
    if (!dups)
        return;
    // What the list holds, looked up once instead of walking it per item.
    std::unordered_set<void*> listed;
    listed.reserve(dups->GetCount());
    for (void* record = dups->GetFirst(); record; record = dups->GetNext())
        listed.insert(record);

    const TRecordListModel& model = *page.list->Model();
    for (int row = 0; row < model.RowCount(); ++row) {
        void* record = model.RecordAt(row);
        if (!record)
            continue;
        uint32_t& flags = *info.flags(record);
        if (!model.IsTicked(row)) {
            flags &= ~static_cast<uint32_t>(mkDelete);
            continue;
        }
        flags |= mkDelete;
        if (listed.insert(record).second)
            dups->Add(record);
    }
}

void TfmSFData::TickAllLists(bool on) {
    for (const TReviewKindInfo& info : kKinds)
        TickList(info.kind, on);
}

void TfmSFData::TickList(RecordKindMask kind, bool on) {
    TKindPage* page = PageOf(kind);
    if (page && IsShown(*page))
        page->list->Model()->TickAll(on);
}

void TfmSFData::ClearLists() {
    for (TKindPage& page : m_pages)
        page.list->Model()->Clear();
}

void TfmSFData::btnOptionClick() {
    // On the heap: should the page go away meanwhile, it takes the dialog along.
    QPointer<TfmSFData> self(this);
    QPointer<TfmDupOption> dialog = new TfmDupOption(this);
    dialog->UpdateData(false);
    const int result = dialog->exec();
    delete dialog;
    if (self && result == mrOK) {
        FindAllDups();
        FillAllLists(true);
        RefuseQueuedInput();
    }
}

void TfmSFData::btnSelAllClick() {
    bool loadAll = false;
    for (const TKindPage& page : m_pages)
        loadAll = loadAll || page.cbAll->isChecked();
    if (loadAll && ShowMessageBox(this, kSelectAllQuestion, "Confirmation", MessageIcon::Question,
                                  MessageButtons::YesNoCancel) != mrYes)
        return;
    TickAllLists(true);
}

void TfmSFData::btnClearClick() {
    TickAllLists(false);
}

void TfmSFData::LoadAllClick(TKindPage& page) {
    FillList(page, !page.cbAll->isChecked());
}

void TfmSFData::cbAddrAllClick() {
    LoadAllClick(m_pages[0]);
}

void TfmSFData::cbDateAllClick() {
    LoadAllClick(m_pages[1]);
}

void TfmSFData::cbTaskAllClick() {
    LoadAllClick(m_pages[2]);
}

void TfmSFData::cbNoteAllClick() {
    LoadAllClick(m_pages[3]);
}
