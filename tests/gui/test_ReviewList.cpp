// The review page's lists as the user meets them: each refill starts at the
// top with scroll bars for what it shows; columns start at their own widths,
// the last reaching to the edge, and fit their texts on a double click of a
// border; a calendar event's start and end show its date.
#include "CrmFixture.h"
#include "DupMatch.h"
#include "RecordListView.h"
#include "Sfdata.h"
#include "WizardSupport.h"

#include <QCheckBox>
#include <QDate>
#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>
#include <memory>
#include <string>

using namespace testsupport;

namespace {

// An automation date: days since 1899-12-30, the time of day as the fraction.
double Automation(int year, int month, int day, int hour = 0, int minute = 0) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(year, month, day))) +
           (hour * 60 + minute) / 1440.0;
}

class ReviewList : public ::testing::Test {
protected:
    ReviewList() { SetDefaultRules(AppSettings); }

    void Open(int32_t appFlag) {
        AppSettings.AppFlag = appFlag;
        page = std::make_unique<TfmSFData>(nullptr);
        page->resize(794, 425);
        page->show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(page->UpdateData(false));
        QCoreApplication::processEvents();
    }

    // Text of a cell as the list shows it.
    static std::string Cell(TRecordListView* view, int row, int column) {
        return view->model()->index(row, column).data().toString().toStdString();
    }

    AppSettingsGuard settings;
    HandMadeCrmData data;
    std::unique_ptr<TfmSFData> page;
};

// 32 records of one person (31 duplicates) among 300 contacts.
TEST_F(ReviewList, EveryRefillStartsAtTheTopWithScrollBarsForWhatIsShown) {
    for (int i = 0; i < 32; ++i)
        data.AddContact("Anna Berg", "anna@example.com", i + 1);
    for (int i = 0; i < 268; ++i) {
        const std::string name = "Person " + std::to_string(i);
        data.AddContact(name.c_str(), (name + "@example.com").c_str());
    }
    Open(rkAddr);
    TRecordListView* list = page->lvAddr;
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_EQ(list->Model()->RowCount(), 31);
    const int dupsMaximum = bar->maximum();
    EXPECT_GT(dupsMaximum, 0) << "31 rows should not fit the list";

    // "Load All" on: 300 rows from the first, then scrolled down to the last.
    ClickWidget(page->cbAddrAll);
    ASSERT_EQ(list->Model()->RowCount(), 300);
    EXPECT_EQ(bar->value(), 0);
    const int allMaximum = bar->maximum();
    EXPECT_GT(allMaximum, dupsMaximum);
    bar->setValue(allMaximum);
    QCoreApplication::processEvents();

    // Off again: the 31 duplicates from the first, the bar sized for them.
    ClickWidget(page->cbAddrAll);
    QCoreApplication::processEvents();
    ASSERT_EQ(list->Model()->RowCount(), 31);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->maximum(), dupsMaximum);
    EXPECT_EQ(list->indexAt(QPoint(5, 2)).row(), 0);

    // A column widened by the user stays wide; the view goes back to its left edge.
    list->header()->resizeSection(0, 900);
    QCoreApplication::processEvents();
    list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
    ASSERT_GT(list->horizontalScrollBar()->value(), 0);
    ClickWidget(page->cbAddrAll);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->header()->sectionSize(0), 900);
    EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(bar->value(), 0);

    // Matching again through the rules dialog refills from the top as well.
    bar->setValue(bar->maximum());
    page->FillAllLists(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(list->indexAt(QPoint(5, 2)).row(), 0);
}

TEST_F(ReviewList, ColumnsStartAtTheirWidthsAndTheLastReachesTheEdge) {
    const struct {
        RecordKindMask kind;
        TRecordListView* TfmSFData::*list;
    } kLists[] = {{rkAddr, &TfmSFData::lvAddr},
                  {rkDate, &TfmSFData::lvDate},
                  {rkTask, &TfmSFData::lvTask},
                  {rkNote, &TfmSFData::lvNote}};
    // A locale whose short date and time read "2026-12-28 22:48".
    ScopedLocale locale{QLocale(QStringLiteral("sv_SE"))};
    Open(rkAddr | rkDate | rkTask | rkNote);
    for (const auto& c : kLists) {
        SCOPED_TRACE(c.kind);
        TRecordListView* list = (*page).*c.list;
        page->pData->setCurrentWidget(list->parentWidget());
        QCoreApplication::processEvents();
        QHeaderView* header = list->header();
        const auto columns = list->Model()->Columns();
        const int last = static_cast<int>(columns.size()) - 1;
        for (int i = 0; i < last; ++i) {
            const TRecordListColumn& column = columns[static_cast<size_t>(i)];
            // A date with its time is not cut: the column starts wide enough.
            if (column.showsDateTime) {
                EXPECT_GT(header->sectionSize(i), list->fontMetrics().horizontalAdvance(
                                                      QStringLiteral("2026-12-28 22:48")));
            } else {
                EXPECT_EQ(header->sectionSize(i), column.width);
            }
            EXPECT_EQ(header->sectionResizeMode(i), QHeaderView::Interactive);
        }
        EXPECT_GE(header->sectionSize(last), columns[static_cast<size_t>(last)].width);
        // Where the columns fit, the last one ends at the list's edge and
        // there is nothing to scroll; otherwise the scroll bar spans just
        // the columns' overflow.
        const int end = header->sectionViewportPosition(last) + header->sectionSize(last);
        const int overflow = std::max(0, end - list->viewport()->width());
        if (c.kind != rkDate) {
            EXPECT_EQ(overflow, 0);
        }
        EXPECT_EQ(list->horizontalScrollBar()->maximum(), overflow);
    }
}

// A double click on the border right of "Full Name" fits it to the longest
// name shown; widening a column by hand keeps the last one at the edge.
TEST_F(ReviewList, DoubleClickOnABorderFitsTheColumnToItsTexts) {
    const char kLongName[] = "Annabelle Bergström-Lindqvist of Upper Norrland";
    data.AddContact(kLongName, "anna@example.com", 1);
    data.AddContact(kLongName, "anna@example.com", 2);
    Open(rkAddr);
    TRecordListView* list = page->lvAddr;
    QHeaderView* header = list->header();
    ASSERT_EQ(header->sectionSize(0), 120);

    const int border = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
    const QPointF at(border, header->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, header->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(header->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, header->viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(header->viewport(), &release);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, header->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(header->viewport(), &twice);
    QCoreApplication::processEvents();

    const int nameWidth = list->fontMetrics().horizontalAdvance(QString::fromUtf8(kLongName));
    EXPECT_GT(header->sectionSize(0), nameWidth);
    EXPECT_LT(header->sectionSize(0), nameWidth + 60) << "fits, no more";
    const int last = header->count() - 1;
    EXPECT_GE(header->sectionViewportPosition(last) + header->sectionSize(last),
              list->viewport()->width());
}

// Events on different days differ in the list: the date with the time in the
// locale's short formats, the date alone for an all-day event, "N/A" unset.
TEST_F(ReviewList, CalendarTimesShowTheDateInTheUsersLocale) {
    SFDateRec* meeting = data.AddEvent("Planning", Automation(2026, 3, 5, 10, 0));
    meeting->EndTime = Automation(2026, 3, 5, 11, 30);
    SFDateRec* allDay = data.AddEvent("Offsite", Automation(2026, 3, 6));
    allDay->AllDayEvent = true;
    allDay->EndTime = Automation(2026, 3, 7);
    SFDateRec* unset = data.AddEvent("Someday", 0);
    unset->EndTime = 0;

    const struct {
        const char* locale;
        const char* meetingStart;
        const char* meetingEnd;
        const char* allDayStart;
    } kLocales[] = {{"sv_SE", "2026-03-05 10:00", "2026-03-05 11:30", "2026-03-06"},
                    {"de_DE", "05.03.26 10:00", "05.03.26 11:30", "06.03.26"}};
    for (const auto& c : kLocales) {
        SCOPED_TRACE(c.locale);
        ScopedLocale locale{QLocale(QString::fromUtf8(c.locale))};
        Open(rkDate);
        ClickWidget(page->cbDateAll); // every event, in load order
        TRecordListView* list = page->lvDate;
        ASSERT_EQ(list->Model()->RowCount(), 3);
        EXPECT_EQ(Cell(list, 0, 1), c.meetingStart);
        EXPECT_EQ(Cell(list, 0, 2), c.meetingEnd);
        EXPECT_EQ(Cell(list, 1, 1), c.allDayStart);
        EXPECT_EQ(Cell(list, 1, 3), "Yes");
        EXPECT_EQ(Cell(list, 2, 1), "N/A");
        EXPECT_EQ(Cell(list, 2, 2), "N/A");
    }
}

} // namespace
