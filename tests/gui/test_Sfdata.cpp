// The review page: the duplicates view and the "Load All" view of each kind,
// the ticks written back on leaving, the three buttons, matching again through
// the options dialog, and the lists emptied before the wizard loads anew.
#include "Sfdata.h"

#include "CrmFixture.h"
#include "CxCommWaitWindowQt.h"
#include "DupMatch.h"
#include "Dupoption.h"
#include "RecordListView.h"
#include "WizardSupport.h"

#include <QCheckBox>
#include <QColor>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolTip>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

constexpr int kPageWidth = 794;
constexpr int kPageHeight = 425;

const char kSelectAllQuestion[] = "You are selecting all Contacts, Calendar or Tasks information, "
                                  "including non-duplicate records. Are you sure to continue?";

std::vector<void*> Rows(TRecordListView* view) {
    std::vector<void*> rows;
    for (int row = 0; row < view->Model()->RowCount(); ++row)
        rows.push_back(view->Model()->RecordAt(row));
    return rows;
}

std::vector<bool> Ticks(TRecordListView* view) {
    std::vector<bool> ticks;
    for (int row = 0; row < view->Model()->RowCount(); ++row)
        ticks.push_back(view->Model()->IsTicked(row));
    return ticks;
}

bool HasDelete(const auto* record) {
    return (record->Flags & mkDelete) != 0;
}

class ReviewPage : public ::testing::Test {
protected:
    ReviewPage() { SetDefaultRules(AppSettings); }

    // The page as the wizard enters step 1.
    void Open(int32_t appFlag = rkAddr) {
        AppSettings.AppFlag = appFlag;
        page.reset();
        page = std::make_unique<TfmSFData>(nullptr);
        page->resize(kPageWidth, kPageHeight);
        page->show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(page->UpdateData(false));
    }

    std::string TabText(QWidget* tab) const {
        return page->pData->tabText(page->pData->indexOf(tab)).toStdString();
    }
    bool TabShown(QWidget* tab) const {
        return page->pData->isTabVisible(page->pData->indexOf(tab));
    }

    // Anna Berg three times (modified 1, 3, 2) and Bo Ek once: the second Anna
    // survives, the first and the third are the duplicates, in that order.
    void AddContacts() {
        annaOld =
            data.AddContact("Anna Berg", "anna@example.com", 1, "555-0100", "Sales", "Manager");
        bo = data.AddContact("Bo Ek", "bo@example.com", 5, "555-0199", "Support", "Engineer");
        annaNew = data.AddContact("ANNA BERG", "anna@example.com", 3, "555-0101");
        annaMid = data.AddContact("Anna Berg", "", 2);
    }

    AppSettingsGuard settings;
    HandMadeCrmData data;
    // Declared last: gone before the records it lists.
    std::unique_ptr<TfmSFData> page;

    SFAddrRec* annaOld = nullptr;
    SFAddrRec* bo = nullptr;
    SFAddrRec* annaNew = nullptr;
    SFAddrRec* annaMid = nullptr;
};

TEST_F(ReviewPage, ShowsItsControlsWithTheirCaptions) {
    Open(rkAddr | rkDate | rkTask | rkNote);
    auto* tabs = Child<QTabWidget>(page.get(), "pData");
    ASSERT_EQ(tabs, page->pData);
    const struct {
        const char* tab;
        const char* list;
        const char* all;
        const char* allCaption;
        const char* count;
        int columns;
    } kTabs[] = {
        {"tAddr", "lvAddr", "cbAddrAll", "Load All Contacts Data", "lblAddrCount", 6},
        {"tDate", "lvDate", "cbDateAll", "Load All Calendar Data", "lblDateCount", 6},
        {"tTask", "lvTask", "cbTaskAll", "Load All Tasks Data", "lblTaskCount", 5},
        {"tNote", "lvNote", "cbNoteAll", "Load All Notes Data", "lblNoteCount", 2},
    };
    ASSERT_EQ(tabs->count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(kTabs[i].tab);
        QWidget* tab = Child<QWidget>(page.get(), kTabs[i].tab);
        EXPECT_EQ(tabs->indexOf(tab), i);
        auto* list = Child<TRecordListView>(tab, kTabs[i].list);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->Model()->columnCount(), kTabs[i].columns);
        EXPECT_EQ(list->Model()->headerData(kTabs[i].columns - 1, Qt::Horizontal).toString(),
                  "Kept Record");
        auto* all = Child<QCheckBox>(tab, kTabs[i].all);
        ASSERT_NE(all, nullptr);
        EXPECT_EQ(all->text().toStdString(), kTabs[i].allCaption);
        auto* count = Child<QLabel>(tab, kTabs[i].count);
        ASSERT_NE(count, nullptr);
        EXPECT_EQ(count->palette().color(QPalette::WindowText), QColor(Qt::blue));
    }
    EXPECT_EQ(Child<QPushButton>(page.get(), "btnOption")->text().toStdString(), "&Options");
    EXPECT_EQ(Child<QPushButton>(page.get(), "btnSelAll")->text().toStdString(), "Select All Dups");
    EXPECT_EQ(Child<QPushButton>(page.get(), "btnClear")->text().toStdString(), "Clear Selection");
}

TEST_F(ReviewPage, DuplicatesViewListsTheDuplicatesTickedWithoutTheSurvivor) {
    AddContacts();
    Open();

    EXPECT_EQ(Rows(page->lvAddr), (std::vector<void*>{annaOld, annaMid}));
    EXPECT_EQ(Ticks(page->lvAddr), (std::vector<bool>{true, true}));
    EXPECT_EQ(TabText(page->tAddr), "Contacts (2 Dups)");
    EXPECT_EQ(page->lblAddrCount->text().toStdString(), "4 Contact records in total");
    EXPECT_FALSE(page->cbAddrAll->isChecked());
    // Showing the page marks nothing for deletion yet.
    for (const SFAddrRec* r : {annaOld, bo, annaNew, annaMid})
        EXPECT_FALSE(HasDelete(r));
}

// ---- the kept record ----

std::string KeptText(TRecordListView* view, int row) {
    TRecordListModel* model = view->Model();
    return model->data(model->index(row, model->KeptColumn())).toString().toStdString();
}

// The tooltip the view shows when the pointer rests on a row.
QString ShownTooltip(TRecordListView* view, int row, int column) {
    QToolTip::hideText();
    const QRect cell = view->visualRect(view->Model()->index(row, column));
    const QPoint at = cell.center();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &help);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

// January and March differ in their e-mail; February has none. All three are
// one group around March, but only February equals March: January is listed
// unticked, its kept record in a muted colour after "(through empty fields) ".
TEST_F(ReviewPage, DuplicateReachedThroughAnEmptyFieldIsShownWithItsKeptRecordUnticked) {
    SFAddrRec* january = data.AddContact("John Smith", "john.smith@alpha.example", 31);
    SFAddrRec* february = data.AddContact("John Smith", "", 59);
    SFAddrRec* march = data.AddContact("John Smith", "john.smith@beta.example", 90);
    Open();

    TRecordListModel* model = page->lvAddr->Model();
    EXPECT_EQ(model->headerData(5, Qt::Horizontal).toString(), "Kept Record");
    EXPECT_EQ(Rows(page->lvAddr), (std::vector<void*>{january, february}));
    EXPECT_EQ(Ticks(page->lvAddr), (std::vector<bool>{false, true}));
    EXPECT_EQ(KeptText(page->lvAddr, 0),
              "(through empty fields) John Smith <john.smith@beta.example>");
    EXPECT_EQ(KeptText(page->lvAddr, 1), "John Smith <john.smith@beta.example>");
    const QColor muted = QGuiApplication::palette().color(QPalette::PlaceholderText);
    EXPECT_EQ(model->data(model->index(0, 5), Qt::ForegroundRole).value<QColor>(), muted);
    EXPECT_FALSE(model->data(model->index(1, 5), Qt::ForegroundRole).isValid());
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::ForegroundRole).isValid());
    EXPECT_EQ(TabText(page->tAddr), "Contacts (2 Dups)");

    // The compared fields of both records, in whichever column the pointer rests.
    const struct {
        int row;
        int column;
        std::vector<const char*> shown;
    } kTips[] = {
        {0,
         0,
         {"Full Name", "First Name", "Last Name", "Email", "john.smith@alpha.example",
          "john.smith@beta.example", "empty fields"}},
        {1, 5, {"Full Name", "Email", "john.smith@beta.example"}},
    };
    for (const auto& tip : kTips) {
        SCOPED_TRACE(tip.row);
        const QString text = ShownTooltip(page->lvAddr, tip.row, tip.column);
        for (const char* part : tip.shown)
            EXPECT_TRUE(text.contains(part)) << part << " in " << text.toStdString();
        EXPECT_FALSE(text.contains("Department")) << "not a compared field";
    }
    EXPECT_FALSE(ShownTooltip(page->lvAddr, 1, 0).contains("alpha"));

    // "Select All Dups" ticks it like any other duplicate.
    ClickWidget(page->btnSelAll);
    EXPECT_EQ(Ticks(page->lvAddr), (std::vector<bool>{true, true}));
    ClickCheckBox(page->lvAddr, 0);

    // "Load All": the kept record for the duplicates, nothing for March.
    ClickWidget(page->cbAddrAll);
    ASSERT_EQ(Rows(page->lvAddr), (std::vector<void*>{january, february, march}));
    EXPECT_EQ(KeptText(page->lvAddr, 0),
              "(through empty fields) John Smith <john.smith@beta.example>");
    EXPECT_EQ(KeptText(page->lvAddr, 1), "John Smith <john.smith@beta.example>");
    EXPECT_EQ(KeptText(page->lvAddr, 2), "");
    EXPECT_TRUE(ShownTooltip(page->lvAddr, 2, 0).isEmpty());
    EXPECT_FALSE(ShownTooltip(page->lvAddr, 1, 0).isEmpty());

    // Back to the duplicates and on: only February goes.
    ClickWidget(page->cbAddrAll);
    EXPECT_TRUE(page->UpdateData(true));
    EXPECT_FALSE(HasDelete(january));
    EXPECT_TRUE(HasDelete(february));
    EXPECT_FALSE(HasDelete(march));
}

// The kept record of each kind as its column names it.
TEST_F(ReviewPage, EveryKindNamesTheKeptRecord) {
    constexpr double k2012May04 = 41033;
    data.AddEvent("Review", k2012May04 + 0.75, 1);
    data.AddEvent("Review", k2012May04 + 0.75, 2);
    data.AddTask("Call back", k2012May04, 1);
    data.AddTask("Call back", k2012May04, 2);
    data.AddTask("Plan", 0, 1);
    data.AddTask("Plan", 0, 2);
    data.AddNote();
    data.AddNote();
    Open(rkDate | rkTask | rkNote);

    EXPECT_EQ(KeptText(page->lvDate, 0), "Review, 05/04/2012 18:00:00");
    EXPECT_EQ(KeptText(page->lvTask, 0), "Call back, 05/04/2012");
    EXPECT_EQ(KeptText(page->lvTask, 1), "Plan, N/A");
    EXPECT_EQ(KeptText(page->lvNote, 0), "Note Text");
    EXPECT_EQ(Ticks(page->lvTask), (std::vector<bool>{true, true}));
    const QString eventTip = ShownTooltip(page->lvDate, 0, 0);
    for (const char* part : {"Subject", "Start Time", "End Time", "All Day Event"})
        EXPECT_TRUE(eventTip.contains(part)) << part;
    EXPECT_FALSE(eventTip.contains("Location"));
    EXPECT_TRUE(ShownTooltip(page->lvNote, 0, 1).contains("Note Text"));
}

// One kind chosen: only its tab shows; the caption counts the duplicate list,
// the label every loaded record of the kind.
struct KindCase {
    RecordKindMask kind;
    int equal;    // records that all match each other
    int distinct; // records that match none
    const char* caption;
    const char* count;
};

const KindCase kKindCases[] = {
    {rkAddr, 1, 1, "Contacts (0 Dup)", "2 Contact records in total"},
    {rkAddr, 2, 1, "Contacts (1 Dup)", "3 Contact records in total"},
    {rkAddr, 3, 0, "Contacts (2 Dups)", "3 Contact records in total"},
    {rkDate, 0, 0, "Calendar (0 Dup)", "0 Calendar records in total"},
    {rkDate, 3, 2, "Calendar (2 Dups)", "5 Calendar records in total"},
    {rkTask, 2, 1, "Tasks (1 Dup)", "3 Task records in total"},
    {rkNote, 1, 0, "Notes (0 Dup)", "1 Note records in total"},
    {rkNote, 4, 0, "Notes (3 Dups)", "4 Note records in total"},
};

TEST_F(ReviewPage, ChosenKindShowsAloneWithItsDuplicateCaptionAndTotal) {
    for (const KindCase& c : kKindCases) {
        SCOPED_TRACE(::testing::Message() << c.caption << " / " << c.count);
        page.reset(); // it lists the records that Build frees
        data.Build();
        for (int i = 0; i < c.equal; ++i) {
            data.AddContact("Same", "same@example.com");
            data.AddEvent("Same", 45000.5);
            data.AddTask("Same");
            data.AddNote();
        }
        for (int i = 0; i < c.distinct; ++i) {
            const std::string other = "Other " + std::to_string(i);
            data.AddContact(other.c_str(), "other@example.com");
            data.AddEvent(other.c_str(), 45000.5);
            data.AddTask(other.c_str());
        }
        Open(c.kind);

        QWidget* tabs[] = {page->tAddr, page->tDate, page->tTask, page->tNote};
        TRecordListView* lists[] = {page->lvAddr, page->lvDate, page->lvTask, page->lvNote};
        QLabel* counts[] = {page->lblAddrCount, page->lblDateCount, page->lblTaskCount,
                            page->lblNoteCount};
        CxList* dupLists[] = {CrmData.AddrDupList, CrmData.DateDupList, CrmData.TaskDupList,
                              CrmData.NoteDupList};
        for (int k = 0; k < 4; ++k) {
            const bool chosen = (1 << k) == c.kind;
            EXPECT_EQ(TabShown(tabs[k]), chosen) << k;
            if (!chosen) {
                // Neither matched nor listed.
                EXPECT_EQ(dupLists[k]->GetCount(), 0u) << k;
                EXPECT_EQ(lists[k]->Model()->RowCount(), 0) << k;
                continue;
            }
            EXPECT_EQ(page->pData->currentWidget(), tabs[k]);
            EXPECT_EQ(TabText(tabs[k]), c.caption);
            EXPECT_EQ(counts[k]->text().toStdString(), c.count);
            EXPECT_EQ(Rows(lists[k]), ListItems(dupLists[k]));
        }
    }
}

TEST_F(ReviewPage, EnteringAgainShowsTheTabsOfTheKindsNowChosen) {
    const int32_t kFlags[] = {rkAddr | rkNote, rkTask, rkDate, rkAddr | rkDate | rkTask | rkNote};
    Open(rkAddr);
    for (int32_t flag : kFlags) {
        SCOPED_TRACE(flag);
        AppSettings.AppFlag = flag;
        ASSERT_TRUE(page->UpdateData(false));
        QWidget* tabs[] = {page->tAddr, page->tDate, page->tTask, page->tNote};
        QWidget* first = nullptr;
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(TabShown(tabs[k]), (flag & (1 << k)) != 0) << k;
            if (!first && (flag & (1 << k)))
                first = tabs[k];
        }
        EXPECT_EQ(page->pData->currentWidget(), first);
    }
}

TEST_F(ReviewPage, LoadAllListsEveryRecordUntickedAndUncheckingShowsTheDuplicatesTicked) {
    AddContacts();
    Open();

    ClickWidget(page->cbAddrAll);
    ASSERT_TRUE(page->cbAddrAll->isChecked());
    EXPECT_EQ(Rows(page->lvAddr), (std::vector<void*>{annaOld, bo, annaNew, annaMid}));
    EXPECT_EQ(Ticks(page->lvAddr), std::vector<bool>(4, false));
    EXPECT_EQ(TabText(page->tAddr), "Contacts (2 Dups)");
    EXPECT_EQ(page->lblAddrCount->text().toStdString(), "4 Contact records in total");

    ClickWidget(page->cbAddrAll);
    ASSERT_FALSE(page->cbAddrAll->isChecked());
    EXPECT_EQ(Rows(page->lvAddr), (std::vector<void*>{annaOld, annaMid}));
    EXPECT_EQ(Ticks(page->lvAddr), (std::vector<bool>{true, true}));
}

TEST_F(ReviewPage, TickedNonDuplicateJoinsTheListWithDeleteAndUntickedRecordsLoseIt) {
    AddContacts();
    Open();
    ClickWidget(page->cbAddrAll);
    ClickCheckBox(page->lvAddr, 1); // Bo, not a duplicate
    ASSERT_TRUE(page->lvAddr->Model()->IsTicked(1));

    EXPECT_TRUE(page->UpdateData(true));

    EXPECT_EQ(ListItems(CrmData.AddrDupList), (std::vector<void*>{annaOld, annaMid, bo}));
    EXPECT_TRUE(HasDelete(bo));
    // The duplicates were shown unticked in this view: nothing else goes.
    for (const SFAddrRec* r : {annaOld, annaNew, annaMid})
        EXPECT_FALSE(HasDelete(r));
}

TEST_F(ReviewPage, UntickedDuplicateStaysListedWithDeleteCleared) {
    AddContacts();
    Open();
    annaOld->Flags |= mkDelete; // left from an earlier choice
    ClickCheckBox(page->lvAddr, 0);
    ASSERT_FALSE(page->lvAddr->Model()->IsTicked(0));

    EXPECT_TRUE(page->UpdateData(true));

    EXPECT_EQ(ListItems(CrmData.AddrDupList), (std::vector<void*>{annaOld, annaMid}));
    EXPECT_FALSE(HasDelete(annaOld));
    EXPECT_TRUE(HasDelete(annaMid));
    EXPECT_FALSE(HasDelete(annaNew));
    EXPECT_FALSE(HasDelete(bo));
    EXPECT_TRUE(annaOld->Flags & mkDuplicate);
}

TEST_F(ReviewPage, SelectAllInLoadAllViewConfirmedMarksEveryRecordOnceOnLeaving) {
    AddContacts();
    Open();
    ClickWidget(page->cbAddrAll);
    MessageBoxRecorder boxes(mrYes);
    ClickWidget(page->btnSelAll);
    ASSERT_EQ(boxes.requests.size(), 1u);

    EXPECT_TRUE(page->UpdateData(true));

    // The duplicates already listed are not appended a second time.
    EXPECT_EQ(ListItems(CrmData.AddrDupList), (std::vector<void*>{annaOld, annaMid, bo, annaNew}));
    for (const SFAddrRec* r : {annaOld, bo, annaNew, annaMid})
        EXPECT_TRUE(HasDelete(r));
}

// "Select All Dups": a checked "Load All" box, shown or not, asks first; only
// Yes goes on.
struct SelectAllCase {
    const char* name;
    const char* checkedBox; // null: none
    int answer;
    bool asks;
    bool ticksAll;
};

const SelectAllCase kSelectAllCases[] = {
    {"no Load All box", nullptr, mrCancel, false, true},
    {"Load All, Yes", "cbAddrAll", mrYes, true, true},
    {"Load All, No", "cbAddrAll", mrNo, true, false},
    {"Load All, Cancel", "cbAddrAll", mrCancel, true, false},
    {"hidden tab's box, Yes", "cbNoteAll", mrYes, true, true},
    {"hidden tab's box, No", "cbNoteAll", mrNo, true, false},
};

TEST_F(ReviewPage, SelectAllAsksOnlyWithALoadAllBoxAndTicksOnlyOnYes) {
    AddContacts();
    for (const SelectAllCase& c : kSelectAllCases) {
        SCOPED_TRACE(c.name);
        Open();
        const std::string box = c.checkedBox ? c.checkedBox : "";
        if (box == "cbAddrAll") {
            ClickWidget(page->cbAddrAll);
            ClickCheckBox(page->lvAddr, 2);
        } else {
            if (box == "cbNoteAll")
                page->cbNoteAll->setChecked(true); // its tab is hidden
            ClickCheckBox(page->lvAddr, 1);
        }
        const std::vector<void*> rows = Rows(page->lvAddr);
        const std::vector<bool> before = Ticks(page->lvAddr);
        ASSERT_NE(before, std::vector<bool>(rows.size(), true));

        MessageBoxRecorder boxes(c.answer);
        ClickWidget(page->btnSelAll);

        if (c.asks) {
            ASSERT_EQ(boxes.requests.size(), 1u);
            const MessageBoxRequest& q = boxes.requests[0];
            EXPECT_EQ(q.text.toStdString(), kSelectAllQuestion);
            EXPECT_EQ(q.title.toStdString(), "Confirmation");
            EXPECT_EQ(q.icon, MessageIcon::Question);
            EXPECT_EQ(q.buttons, MessageButtons::YesNoCancel);
        } else {
            EXPECT_TRUE(boxes.requests.empty());
        }
        EXPECT_EQ(Rows(page->lvAddr), rows);
        EXPECT_EQ(Ticks(page->lvAddr), c.ticksAll ? std::vector<bool>(rows.size(), true) : before);
    }
}

TEST_F(ReviewPage, ClearSelectionThenLeavingMarksNothing) {
    AddContacts();
    Open();
    annaOld->Flags |= mkDelete;
    annaMid->Flags |= mkDelete;

    ClickWidget(page->btnClear);
    EXPECT_EQ(Ticks(page->lvAddr), (std::vector<bool>{false, false}));
    EXPECT_TRUE(page->UpdateData(true));

    for (const SFAddrRec* r : {annaOld, bo, annaNew, annaMid})
        EXPECT_FALSE(HasDelete(r));
    EXPECT_EQ(ListItems(CrmData.AddrDupList), (std::vector<void*>{annaOld, annaMid}));
}

// The options dialog, opened from the page with the "Load All" view shown
// and the Email rule switched off in it. OK matches again without the rule;
// Cancel leaves the rules and the page as they were.
struct OptionsCase {
    const char* button;
    bool matchedAgain;
};

const OptionsCase kOptionsCases[] = {{"btnOK", true}, {"btnCancel", false}};

TEST_F(ReviewPage, OptionsOkMatchesAgainAndCancelChangesNothing) {
    // The same person under two addresses: no duplicate while Email counts.
    SFAddrRec* older = data.AddContact("Carla Diaz", "carla@example.com", 1);
    SFAddrRec* newer = data.AddContact("Carla Diaz", "c.diaz@example.com", 2);
    SFAddrRec* other = data.AddContact("Dan Fox", "dan@example.com", 1);
    for (const OptionsCase& c : kOptionsCases) {
        SCOPED_TRACE(c.button);
        SetDefaultRules(AppSettings);
        Open();
        ASSERT_EQ(TabText(page->tAddr), "Contacts (0 Dup)");
        ClickWidget(page->cbAddrAll);
        ClickCheckBox(page->lvAddr, 2);
        const std::vector<bool> ticks = Ticks(page->lvAddr);

        bool shown = false;
        OnNextModal<TfmDupOption>([&](TfmDupOption* dialog) {
            shown = dialog->cbAddrEmail->isChecked();
            ClickWidget(dialog->cbAddrEmail);
            ClickWidget(Child<QPushButton>(dialog, c.button));
        });
        ClickWidget(page->btnOption);

        EXPECT_TRUE(shown); // the dialog started from the rules in force
        EXPECT_TRUE(page->findChildren<TfmDupOption*>().isEmpty());
        if (c.matchedAgain) {
            EXPECT_FALSE(AppSettings.AddrEmail);
            EXPECT_FALSE(page->cbAddrAll->isChecked());
            EXPECT_EQ(Rows(page->lvAddr), (std::vector<void*>{older}));
            EXPECT_EQ(Ticks(page->lvAddr), (std::vector<bool>{true}));
            EXPECT_EQ(TabText(page->tAddr), "Contacts (1 Dup)");
        } else {
            EXPECT_TRUE(AppSettings.AddrEmail);
            EXPECT_TRUE(page->cbAddrAll->isChecked());
            EXPECT_EQ(Rows(page->lvAddr), (std::vector<void*>{older, newer, other}));
            EXPECT_EQ(Ticks(page->lvAddr), ticks);
            EXPECT_EQ(TabText(page->tAddr), "Contacts (0 Dup)");
            EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
        }
    }
}

TEST_F(ReviewPage, ClearListsEmptiesEveryList) {
    AddContacts();
    data.AddEvent("Standup", 45000.5);
    data.AddTask("Report");
    data.AddNote();
    Open(rkAddr | rkDate | rkTask | rkNote);
    ClickWidget(page->cbDateAll);
    ClickWidget(page->cbTaskAll);
    ClickWidget(page->cbNoteAll);
    TRecordListView* lists[] = {page->lvAddr, page->lvDate, page->lvTask, page->lvNote};
    for (TRecordListView* list : lists)
        ASSERT_GT(list->Model()->RowCount(), 0) << list->objectName().toStdString();

    page->ClearLists();

    for (TRecordListView* list : lists)
        EXPECT_EQ(list->Model()->RowCount(), 0) << list->objectName().toStdString();
}

TEST_F(ReviewPage, PicturesOfTheDuplicatesAndTheLoadAllView) {
    AddContacts();
    data.AddContact("Eva Gran", "eva@example.com", 1, "555-0142", "Finance", "Controller");
    Open();
    EXPECT_TRUE(SaveScreenshot(page.get(), "ReviewPage_Duplicates"));
    ClickWidget(page->cbAddrAll);
    ClickCheckBox(page->lvAddr, 1);
    EXPECT_TRUE(SaveScreenshot(page.get(), "ReviewPage_LoadAll"));
}

// ---- inside the wizard ----

class ReviewInWizard : public WizardTest {
protected:
    void TearDown() override {
        SetFindDupsHook(nullptr);
        WizardTest::TearDown();
    }

    // Two Annas (the older one the duplicate) and Bo, loaded on every Next.
    void LoadTwoAnnasAndBo() {
        SetLoadCrmDataHook([this] {
            ++loads;
            data.Build();
            annaOld = data.AddContact("Anna Berg", "anna@example.com", 1);
            data.AddContact("Anna Berg", "anna@example.com", 2);
            data.AddContact("Bo Ek", "bo@example.com", 2);
            return true;
        });
    }

    // What a probe saw while matching ran: the wait window, the cursor, and
    // the step before and after a click on Next made meanwhile.
    struct MatchingSeen {
        bool onWorker = false;
        bool sampled = false;
        std::string message;
        bool modal = false;
        bool busyCursor = false;
        int stepBeforeNext = -1;
        int stepAfterNext = -1;
    };

    // Runs start (which makes the page match) with matching held on the worker
    // thread until a probe on the UI thread has looked and clicked Next.
    MatchingSeen WatchMatching(const std::function<void()>& start) {
        const std::thread::id uiThread = std::this_thread::get_id();
        std::atomic<bool> onWorker{false}, matching{false}, sampled{false};
        SetFindDupsHook([&] {
            onWorker = std::this_thread::get_id() != uiThread;
            if (!onWorker)
                return; // nothing could look while the UI thread is busy here
            matching = true;
            auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!sampled && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        MatchingSeen seen;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            TWaitWindowWidget* wait = LastQtWaitWidget();
            if (sampled || !matching || !wait || !wait->isVisible() || wait->Snapshot().nTicks < 2)
                return;
            seen.message = wait->Snapshot().sMessage;
            seen.modal = wait->windowModality() == Qt::ApplicationModal;
            seen.busyCursor = QApplication::overrideCursor() &&
                              QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            seen.stepBeforeNext = fmMain->CurrentStep;
            ClickWidget(fmMain->btnNext);
            seen.stepAfterNext = fmMain->CurrentStep;
            sampled = true;
        });
        probe.start(20);
        start();
        probe.stop();
        SetFindDupsHook(nullptr);
        seen.onWorker = onWorker;
        seen.sampled = sampled;
        return seen;
    }

    // Matching is over: the click on Next did nothing (no step, no second
    // load), the wizard stays on the review page, which lists the older Anna
    // ticked, and nothing of the wait is left.
    void ExpectReviewAfterMatching(const MatchingSeen& seen) {
        EXPECT_TRUE(seen.onWorker);
        ASSERT_TRUE(seen.sampled);
        EXPECT_EQ(seen.message, "Finding duplicate records...");
        EXPECT_TRUE(seen.modal);
        EXPECT_TRUE(seen.busyCursor);
        EXPECT_EQ(seen.stepAfterNext, seen.stepBeforeNext);
        EXPECT_EQ(loads, 1);

        // A click refused is not carried out later either.
        ProcessEventsUntil([] { return false; }, 200);
        EXPECT_EQ(fmMain->CurrentStep, 1);
        EXPECT_EQ(Rows(DataPage->lvAddr), (std::vector<void*>{annaOld}));
        EXPECT_EQ(Ticks(DataPage->lvAddr), (std::vector<bool>{true}));
        EXPECT_EQ(DataPage->pData->tabText(0).toStdString(), "Contacts (1 Dup)");
        EXPECT_FALSE(HasDelete(annaOld));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(GetCurrentWaitWindow(), nullptr);
        EXPECT_TRUE(!LastQtWaitWidget() || !LastQtWaitWidget()->isVisible());
    }

    HandMadeCrmData data;
    SFAddrRec* annaOld = nullptr;
    int loads = 0;
};

TEST_F(ReviewInWizard, MatchingOnEnteringRunsUnderTheWaitWindowAndRefusesNext) {
    LoadTwoAnnasAndBo();
    OpenWizard();
    EnterCredentials();
    SourcePage->rbtnAddr->click();
    const MatchingSeen seen = WatchMatching([] { fmMain->btnNext->click(); });
    ExpectReviewAfterMatching(seen);
}

TEST_F(ReviewInWizard, MatchingAfterOptionsRunsUnderTheWaitWindowAndRefusesNext) {
    LoadTwoAnnasAndBo();
    OpenWizard();
    EnterCredentials();
    SourcePage->rbtnAddr->click();
    fmMain->btnNext->click();
    ASSERT_EQ(fmMain->CurrentStep, 1);
    ClickWidget(DataPage->btnClear); // matching again ticks the duplicates anew

    const MatchingSeen seen = WatchMatching([] {
        OnNextModal<TfmDupOption>([](TfmDupOption* dialog) { dialog->btnOK->click(); });
        ClickWidget(DataPage->btnOption);
    });
    ExpectReviewAfterMatching(seen);
}

TEST_F(ReviewInWizard, ListsAreEmptiedBeforeEveryLoad) {
    std::atomic<int> rowsAtLoad{-1};
    SetLoadCrmDataHook([this, &rowsAtLoad] {
        rowsAtLoad = DataPage->lvAddr->Model()->RowCount();
        // A load replaces every record.
        data.Build();
        data.AddContact("Anna Berg", "anna@example.com", 1);
        data.AddContact("Anna Berg", "anna@example.com", 2);
        return true;
    });
    OpenWizard();
    EnterCredentials();
    SourcePage->rbtnAddr->click();
    fmMain->btnNext->click();
    ASSERT_EQ(fmMain->CurrentStep, 1);
    EXPECT_EQ(rowsAtLoad.load(), 0);
    ASSERT_EQ(DataPage->lvAddr->Model()->RowCount(), 1);

    fmMain->btnPrev->click();
    fmMain->btnNext->click();
    ASSERT_EQ(fmMain->CurrentStep, 1);
    EXPECT_EQ(rowsAtLoad.load(), 0);
    ASSERT_EQ(DataPage->lvAddr->Model()->RowCount(), 1);
    EXPECT_EQ(DataPage->lvAddr->Model()->RecordAt(0), ListItems(CrmData.AddrDupList).at(0));
}

TEST_F(ReviewInWizard, ClosingAtTheReviewStepFreesTheRecordsSafely) {
    SetLoadCrmDataHook([this] {
        data.Build();
        data.AddContact("Anna Berg", "anna@example.com", 1);
        data.AddContact("Anna Berg", "anna@example.com", 2);
        return true;
    });
    OpenWizard();
    EnterCredentials();
    SourcePage->rbtnAddr->click();
    fmMain->btnNext->click();
    ASSERT_EQ(fmMain->CurrentStep, 1);
    ASSERT_EQ(DataPage->lvAddr->Model()->RowCount(), 1);

    ClickWidget(fmMain->btnCancel);
    FlushDeletes();
    EXPECT_EQ(fmMain, nullptr);
}

} // namespace
