#include "RecordListModel.h"
#include "RecordListView.h"

#include "CxText.h"
#include "GuiSupport.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::CheckBoxRect;
using testsupport::ClickAt;

// Day numbers counted from 1899-12-30.
constexpr double k2012May04 = 41033;
constexpr double k1930Jun01 = 11110;

// ---- columns ----

struct ColumnCase {
    RecordKindMask kind;
    std::vector<std::pair<const char*, int>> columns;
};

const ColumnCase kColumnCases[] = {
    {rkAddr,
     {{"Full Name", 120},
      {"Email", 120},
      {"Primary Phone", 100},
      {"Department", 100},
      {"Job Title", 100},
      {"Kept Record", 200}}},
    {rkDate,
     {{"Subject", 200},
      {"Start Time", 80},
      {"End Time", 80},
      {"All Day Event", 100},
      {"Location", 150},
      {"Kept Record", 150}}},
    {rkTask,
     {{"Subject", 200},
      {"Importance", 80},
      {"Due Date", 80},
      {"Description", 240},
      {"Kept Record", 140}}},
    {rkNote, {{"Notes", 600}, {"Kept Record", 140}}},
};

TEST(RecordListColumns, EachKindShowsItsCaptionsAtTheirWidthsAlsoAfterARefill) {
    SFNoteRec note;
    for (const ColumnCase& c : kColumnCases) {
        SCOPED_TRACE(c.kind);
        TRecordListView view(c.kind);
        view.resize(900, 300);
        view.show();
        TRecordListModel* model = view.Model();
        ASSERT_EQ(model->columnCount(), static_cast<int>(c.columns.size()));
        // A refill resets the model; the header must keep the widths.
        model->BeginFill();
        if (c.kind == rkNote)
            model->Append(&note, true);
        model->EndFill();
        QCoreApplication::processEvents();
        for (size_t i = 0; i < c.columns.size(); ++i) {
            const int col = static_cast<int>(i);
            EXPECT_EQ(model->headerData(col, Qt::Horizontal).toString(), c.columns[i].first);
            // The last column reaches to the view's edge; a date with its
            // time needs more than the width made for a time alone.
            if (i + 1 < c.columns.size() && !model->Columns()[i].showsDateTime)
                EXPECT_EQ(view.columnWidth(col), c.columns[i].second) << c.columns[i].first;
            else
                EXPECT_GE(view.columnWidth(col), c.columns[i].second) << c.columns[i].first;
        }
        EXPECT_FALSE(view.rootIsDecorated());
        EXPECT_TRUE(view.uniformRowHeights());
        EXPECT_FALSE(view.isSortingEnabled());
    }
    EXPECT_TRUE(RecordListColumns(static_cast<RecordKindMask>(rkAddr | rkDate)).empty());
}

// ---- texts ----

SFAddrRec Contact(const char* name, const char* email) {
    SFAddrRec rec;
    CopyText(rec.Name, name);
    CopyText(rec.Email, email);
    CopyText(rec.Phone, "+49 30 1234567");
    CopyText(rec.Department, "Vertrieb");
    CopyText(rec.Title, "Leiterin");
    return rec;
}

std::vector<std::string> RowTexts(const TRecordListModel& model, int row) {
    std::vector<std::string> texts;
    for (int col = 0; col < model.columnCount(); ++col)
        texts.push_back(model.data(model.index(row, col)).toString().toStdString());
    return texts;
}

TEST(RecordListTexts, ContactRowShowsItsFieldsAsUtf8) {
    SFAddrRec rec = Contact("J\xC3\xBCrgen M\xC3\xBCller", "jm@example.org");
    TRecordListModel model(rkAddr);
    ASSERT_TRUE(model.Append(&rec, false));
    EXPECT_EQ(RowTexts(model, 0),
              (std::vector<std::string>{"J\xC3\xBCrgen M\xC3\xBCller", "jm@example.org",
                                        "+49 30 1234567", "Vertrieb", "Leiterin", ""}));
    EXPECT_EQ(model.data(model.index(0, 0)).toString().size(), 13) << "read as UTF-8";
}

TEST(RecordListTexts, EventRowShowsTheDateWithTheTimeAndTheAllDayFlag) {
    testsupport::ScopedLocale swedish{QLocale(QLocale::Swedish, QLocale::Sweden)};
    SFDateRec allDay;
    CopyText(allDay.Subject, "Quarterly review");
    CopyText(allDay.Location, "Room 4");
    allDay.StartTime = k2012May04 + 0.75;
    allDay.EndTime = 0; // unset
    allDay.AllDayEvent = true;
    SFDateRec timed = allDay;
    timed.AllDayEvent = false;
    timed.EndTime = k2012May04 + 0.5;

    TRecordListModel model(rkDate);
    ASSERT_TRUE(model.Append(&allDay, true));
    ASSERT_TRUE(model.Append(&timed, true));
    EXPECT_EQ(RowTexts(model, 0), (std::vector<std::string>{"Quarterly review", "2012-05-04", "N/A",
                                                            "Yes", "Room 4", ""}));
    EXPECT_EQ(RowTexts(model, 1),
              (std::vector<std::string>{"Quarterly review", "2012-05-04 18:00", "2012-05-04 12:00",
                                        "No", "Room 4", ""}));
}

TEST(RecordListTexts, TaskRowShowsTheDueDateOrItsAbsence) {
    struct {
        double due;
        const char* text;
    } const cases[] = {{k2012May04 + 0.25, "05/04/2012"}, {0, "N/A"}, {k1930Jun01, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SFTaskRec rec;
        CopyText(rec.Subject, "Call back");
        CopyText(rec.Priority, "High");
        rec.Description.Set("Ask about the offer");
        rec.DueDate = c.due;
        TRecordListModel model(rkTask);
        ASSERT_TRUE(model.Append(&rec, false));
        EXPECT_EQ(RowTexts(model, 0), (std::vector<std::string>{"Call back", "High", c.text,
                                                                "Ask about the offer", ""}));
    }
}

TEST(RecordListTexts, LongMultiLineDescriptionShowsAsOneCutLine) {
    SFTaskRec rec;
    std::string text = "first line\r\nsecond\tline\n";
    for (int i = 0; i < 600; ++i)
        text += "\xC3\xA4"; // two bytes each
    rec.Description.Set(text.c_str());
    TRecordListModel model(rkTask);
    ASSERT_TRUE(model.Append(&rec, false));
    const QString cell = model.data(model.index(0, 3)).toString();
    EXPECT_TRUE(cell.startsWith("first line  second line "));
    EXPECT_LT(cell.size(), 300);
    EXPECT_FALSE(cell.contains(QChar::ReplacementCharacter)) << "cut inside a character";
}

TEST(RecordListTexts, EveryNoteShowsTheSameCaption) {
    SFNoteRec a, b;
    TRecordListModel model(rkNote);
    ASSERT_TRUE(model.Append(&a, false));
    ASSERT_TRUE(model.Append(&b, true));
    EXPECT_EQ(RowTexts(model, 0), (std::vector<std::string>{"Note Text", ""}));
    EXPECT_EQ(RowTexts(model, 1), (std::vector<std::string>{"Note Text", ""}));
}

// A duplicate's tooltip: the compared fields of both records, escaped, a
// field that differs under the rules in bold; none for a record that matching
// did not mark, whatever its KeptRecord says.
TEST(RecordListTexts, DuplicateTooltipShowsTheComparedFieldsOfBothRecords) {
    const TAppSettings saved = AppSettings;
    AppSettings.CaseSensitive = AppSettings.CompareEmpty = false;
    AppSettings.AddrDisplayName = AppSettings.AddrEmail = AppSettings.AddrDepartment = true;
    AppSettings.AddrFirstName = AppSettings.AddrLastName = AppSettings.AddrTitle = false;
    AppSettings.AddrPhone = AppSettings.AddrAddress = AppSettings.AddrBirthday = false;
    AppSettings.AddrNote = false;
    SFAddrRec kept = Contact("ANN <LEE>", "ann@other.example");
    SFAddrRec dup = Contact("Ann <Lee>", "ann@example.org");
    CopyText(dup.Department, "");
    dup.Flags = mkDuplicate | mkIndirect;
    dup.KeptRecord = &kept;
    SFAddrRec stale = dup;
    stale.Flags = mkDelete;

    TRecordListModel model(rkAddr);
    ASSERT_TRUE(model.Append(&dup, false));
    ASSERT_TRUE(model.Append(&stale, false));
    const QString tip = model.data(model.index(0, 2), Qt::ToolTipRole).toString();
    for (const char* part :
         {"<td>Full Name</td><td>Ann &lt;Lee&gt;</td><td>ANN &lt;LEE&gt;</td>",
          "<td>Department</td><td></td><td>Vertrieb</td>",
          "<td>Email</td><td><b>ann@example.org</b></td><td><b>ann@other.example</b></td>"})
        EXPECT_TRUE(tip.contains(part)) << part << " in " << tip.toStdString();
    EXPECT_FALSE(tip.contains("Job Title"));
    EXPECT_EQ(RowTexts(model, 0).back(), "(through empty fields) ANN <LEE> <ann@other.example>");
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::ToolTipRole).isValid());
    EXPECT_EQ(RowTexts(model, 1).back(), "");
    EXPECT_FALSE(model.data(model.index(1, 5), Qt::ForegroundRole).isValid());
    AppSettings = saved;
}

// ---- rows and ticks ----

class RecordListRows : public ::testing::Test {
protected:
    RecordListRows() {
        for (int i = 0; i < 5; ++i)
            m_records.push_back(Contact(("Contact " + std::to_string(i)).c_str(), "c@example.org"));
    }

    // Appends every record inside one fill; rows with an odd number ticked.
    void Fill(TRecordListModel& model) {
        model.BeginFill(m_records.size());
        for (size_t i = 0; i < m_records.size(); ++i)
            ASSERT_TRUE(model.Append(&m_records[i], i % 2 == 1));
        model.EndFill();
    }

    std::vector<SFAddrRec> m_records;
};

TEST_F(RecordListRows, AppendKeepsRecordAndTickAndRefusesWhatDoesNotBelong) {
    TRecordListModel model(rkAddr);
    int inserted = 0, resets = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++inserted; });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });

    Fill(model);
    EXPECT_EQ(inserted, 0) << "a fill tells the views once, at its end";
    EXPECT_EQ(resets, 1);
    ASSERT_EQ(model.RowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(model.RecordAt(row), &m_records[static_cast<size_t>(row)]);
        EXPECT_EQ(model.IsTicked(row), row % 2 == 1);
        EXPECT_EQ(model.data(model.index(row, 0), Qt::CheckStateRole).toInt(),
                  row % 2 == 1 ? Qt::Checked : Qt::Unchecked);
    }
    EXPECT_EQ(model.RecordAs<SFAddrRec>(2), &m_records[2]);
    EXPECT_EQ(model.RecordAs<SFDateRec>(2), nullptr);
    EXPECT_EQ(model.RecordAt(5), nullptr);
    EXPECT_EQ(model.RecordAt(-1), nullptr);
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::CheckStateRole).isValid());

    // Outside a fill a row is announced on its own.
    SFAddrRec extra = Contact("Extra", "x@example.org");
    ASSERT_TRUE(model.Append(&extra, true));
    EXPECT_EQ(inserted, 1);
    EXPECT_TRUE(model.IsTicked(5));

    SFDateRec event;
    EXPECT_FALSE(model.Append(&event, true)) << "an event in the contact list";
    EXPECT_FALSE(model.Append(static_cast<SFAddrRec*>(nullptr), true));
    EXPECT_EQ(model.RowCount(), 6);
}

TEST_F(RecordListRows, RefillAndClearDropEveryRow) {
    TRecordListModel model(rkAddr);
    Fill(model);
    Fill(model);
    EXPECT_EQ(model.RowCount(), 5) << "a refill replaces the rows";

    model.Clear();
    EXPECT_EQ(model.RowCount(), 0);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.RecordAt(0), nullptr);
    EXPECT_FALSE(model.IsTicked(0));
    EXPECT_FALSE(model.SetTicked(0, true));
    model.TickAll(true); // nothing to tick
    EXPECT_EQ(model.RowCount(), 0);
}

TEST_F(RecordListRows, TickAllChangesTheWholeColumnInOneNotice) {
    TRecordListModel model(rkAddr);
    Fill(model);
    std::vector<std::pair<QModelIndex, QModelIndex>> notices;
    QObject::connect(
        &model, &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
            notices.emplace_back(first, last);
            EXPECT_TRUE(roles.contains(Qt::CheckStateRole));
        });
    for (bool on : {true, false}) {
        notices.clear();
        model.TickAll(on);
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(model.IsTicked(row), on);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].first, model.index(0, 0));
        EXPECT_EQ(notices[0].second, model.index(4, 0));
    }
}

// ---- the list in a real view ----

void PressSpace(QWidget* widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(widget, &release);
}

class RecordListInView : public RecordListRows {
protected:
    RecordListInView() {
        m_view.resize(700, 300);
        Fill(*m_view.Model());
        m_view.show();
        QCoreApplication::processEvents();
    }

    TRecordListModel& Model() { return *m_view.Model(); }

    TRecordListView m_view{rkAddr};
};

TEST_F(RecordListInView, ClickOnTheCheckBoxTogglesTheRowOnly) {
    const QModelIndex item = Model().index(2, 0);
    const QRect box = CheckBoxRect(m_view, item);
    ASSERT_TRUE(box.isValid());
    ASSERT_TRUE(m_view.visualRect(item).contains(box.center()));

    ClickAt(m_view.viewport(), box.center());
    EXPECT_TRUE(Model().IsTicked(2));
    ClickAt(m_view.viewport(), box.center());
    EXPECT_FALSE(Model().IsTicked(2));

    // A click on the texts selects the row and leaves its tick.
    ClickAt(m_view.viewport(), m_view.visualRect(Model().index(2, 1)).center());
    EXPECT_FALSE(Model().IsTicked(2));
    EXPECT_EQ(m_view.currentIndex().row(), 2);
    for (int row : {0, 1, 3, 4})
        EXPECT_EQ(Model().IsTicked(row), row % 2 == 1);
    testsupport::SaveScreenshot(&m_view, "RecordListView");
}

TEST_F(RecordListInView, SpaceTogglesTheCurrentRowOnceInAnyColumn) {
    for (int column : {0, 2}) {
        SCOPED_TRACE(column);
        m_view.setCurrentIndex(Model().index(0, column));
        PressSpace(&m_view);
        EXPECT_TRUE(Model().IsTicked(0));
        PressSpace(&m_view);
        EXPECT_FALSE(Model().IsTicked(0));
    }
}

TEST_F(RecordListInView, SpaceGivesEverySelectedRowTheCurrentRowsNewTick) {
    // Rows 1 to 3 selected, the current one (2) unticked: all three get ticked.
    m_view.setCurrentIndex(Model().index(2, 0));
    m_view.selectionModel()->select(QItemSelection(Model().index(1, 0), Model().index(3, 0)),
                                    QItemSelectionModel::ClearAndSelect |
                                        QItemSelectionModel::Rows);
    PressSpace(&m_view);
    const bool expected[] = {false, true, true, true, false};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(Model().IsTicked(row), expected[row]) << row;
}

TEST_F(RecordListInView, ClearEmptiesTheShownList) {
    Model().Clear();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_view.indexAt(QPoint(10, 5)).isValid());
    EXPECT_EQ(m_view.model()->rowCount(), 0);
}

} // namespace
