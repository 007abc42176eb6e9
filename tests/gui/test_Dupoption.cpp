#include "Dupoption.h"

#include "Apputil.h"
#include "GuiSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <map>

using testsupport::AppSettingsGuard;
using testsupport::Child;
using testsupport::SaveScreenshot;

namespace {

// Every check box of the dialog: its tab (null: below the tabs), its column
// there, and the flag it edits. Rows follow the order within a column.
struct RuleCase {
    const char* box;
    const char* caption;
    const char* tab;
    int column;
    bool TAppSettings::*flag;
};

const RuleCase kRules[] = {
    {"cbAddrDisplayName", "Full Name", "tAddr", 0, &TAppSettings::AddrDisplayName},
    {"cbAddrFirstName", "First Name", "tAddr", 0, &TAppSettings::AddrFirstName},
    {"cbAddrLastName", "Last Name", "tAddr", 0, &TAppSettings::AddrLastName},
    {"cbAddrEmail", "Email", "tAddr", 0, &TAppSettings::AddrEmail},
    {"cbAddrDepartment", "Department", "tAddr", 1, &TAppSettings::AddrDepartment},
    {"cbAddrTitle", "Job Title", "tAddr", 1, &TAppSettings::AddrTitle},
    {"cbAddrPhone", "Phone Numbers", "tAddr", 1, &TAppSettings::AddrPhone},
    {"cbAddrAddr", "Addresses", "tAddr", 1, &TAppSettings::AddrAddress},
    {"cbAddrBirthday", "Birth Date", "tAddr", 2, &TAppSettings::AddrBirthday},
    {"cbAddrNote", "Notes", "tAddr", 2, &TAppSettings::AddrNote},
    {"cbDateSubject", "Subject", "tDate", 0, &TAppSettings::DateSubject},
    {"cbDateStartTime", "Start Time", "tDate", 0, &TAppSettings::DateStartTime},
    {"cbDateEndTime", "End Time", "tDate", 0, &TAppSettings::DateEndTime},
    {"cbDateAllDayEvent", "All Day Event", "tDate", 0, &TAppSettings::DateAllDayEvent},
    {"cbDateLocation", "Location", "tDate", 1, &TAppSettings::DateLocation},
    {"cbDateNote", "Notes", "tDate", 1, &TAppSettings::DateNote},
    {"cbTaskSubject", "Subject", "tTask", 0, &TAppSettings::TaskSubject},
    {"cbTaskImportance", "Priority", "tTask", 0, &TAppSettings::TaskImportance},
    {"cbTaskDueDate", "Due Date", "tTask", 0, &TAppSettings::TaskDueDate},
    {"cbTaskNote", "Notes", "tTask", 0, &TAppSettings::TaskNote},
    {"cbCase", "Case Sensitive when checking the text fields.", nullptr, 0,
     &TAppSettings::CaseSensitive},
};

bool IsContactRule(const RuleCase& rule) {
    return rule.tab && std::string(rule.tab) == "tAddr";
}

class DupOptionTest : public ::testing::Test {
protected:
    void SetAllFlags(bool value) {
        for (const RuleCase& rule : kRules)
            AppSettings.*rule.flag = value;
    }

    // The dialog as its callers open it: filled from AppSettings, then shown.
    std::unique_ptr<TfmDupOption> Open() {
        auto dialog = std::make_unique<TfmDupOption>(nullptr);
        EXPECT_TRUE(dialog->UpdateData(false));
        dialog->show();
        return dialog;
    }

    QCheckBox* Box(TfmDupOption& dialog, const RuleCase& rule) {
        return Child<QCheckBox>(&dialog, rule.box);
    }

    AppSettingsGuard m_settings;
};

TEST_F(DupOptionTest, ShowsEveryControlWithItsCaptionInItsColumn) {
    AppSettings.AppFlag = rkAddr; // the other tabs are there all the same
    // The choices of a first start, for the pictures.
    SetAllFlags(false);
    for (bool TAppSettings::*flag :
         {&TAppSettings::AddrDisplayName, &TAppSettings::AddrFirstName, &TAppSettings::AddrLastName,
          &TAppSettings::AddrEmail, &TAppSettings::DateSubject, &TAppSettings::DateStartTime,
          &TAppSettings::DateEndTime, &TAppSettings::DateAllDayEvent, &TAppSettings::TaskSubject,
          &TAppSettings::TaskImportance, &TAppSettings::TaskDueDate})
        AppSettings.*flag = true;
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Set Tessmark Options");
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "the dialog has a fixed size";
    EXPECT_EQ(Child<QLabel>(dialog.get(), "Label1")->text(),
              "You may customize the duplicate criteria here, Tessmark will check the data "
              "fields below.");
    EXPECT_EQ(Child<QLabel>(dialog.get(), "Label2")->text(),
              "If two records have the same content in the selected fields, they will be "
              "treated as Duplicates.");
    EXPECT_EQ(Child<QLabel>(dialog.get(), "Label6")->text(), "Tessmark");
    EXPECT_EQ(Child<QPushButton>(dialog.get(), "btnOK")->text(), "&OK");
    EXPECT_EQ(Child<QPushButton>(dialog.get(), "btnCancel")->text(), "&Cancel");

    auto* tabs = Child<QTabWidget>(dialog.get(), "pMain");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 3);
    const char* names[] = {"tAddr", "tDate", "tTask"};
    const char* captions[] = {"Contacts", "Calendar", "Task"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tabs->widget(i)->objectName(), names[i]);
        EXPECT_EQ(tabs->tabText(i), captions[i]);
        EXPECT_TRUE(tabs->isTabEnabled(i));
        EXPECT_TRUE(tabs->isTabVisible(i));
    }

    // Lay out every tab once, so that the positions below are real.
    for (int i = 0; i < 3; ++i)
        tabs->setCurrentIndex(i);
    tabs->setCurrentIndex(0);

    // Per tab and column: the x of the column and the y of its last box.
    std::map<std::pair<std::string, int>, std::pair<int, int>> columns;
    for (const RuleCase& rule : kRules) {
        SCOPED_TRACE(rule.box);
        QCheckBox* box = Box(*dialog, rule);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), rule.caption);
        EXPECT_TRUE(box->isEnabled());
        if (!rule.tab) {
            EXPECT_FALSE(tabs->isAncestorOf(box)) << "lies below the tabs";
            EXPECT_GT(box->mapTo(dialog.get(), QPoint()).y(), tabs->geometry().bottom() - 1);
            continue;
        }
        QWidget* tab = Child<QWidget>(dialog.get(), rule.tab);
        ASSERT_NE(tab, nullptr);
        EXPECT_TRUE(tab->isAncestorOf(box));
        QPoint at = box->mapTo(tab, QPoint());
        auto key = std::make_pair(std::string(rule.tab), rule.column);
        auto found = columns.find(key);
        if (found == columns.end()) {
            if (rule.column > 0) {
                auto left = columns.find(std::make_pair(std::string(rule.tab), rule.column - 1));
                ASSERT_NE(left, columns.end());
                EXPECT_GT(at.x(), left->second.first + 40) << "columns run left to right";
            }
            columns[key] = {at.x(), at.y()};
        } else {
            EXPECT_EQ(at.x(), found->second.first) << "a column is aligned";
            EXPECT_GT(at.y(), found->second.second) << "a column runs top to bottom";
            found->second.second = at.y();
        }
    }

    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        EXPECT_TRUE(SaveScreenshot(dialog.get(), (std::string("dupoption-") + names[i]).c_str()));
    }
}

TEST_F(DupOptionTest, EachBoxShowsAndStoresItsOwnFlag) {
    for (const RuleCase& rule : kRules) {
        SCOPED_TRACE(rule.box);
        // Shown: only the one flag set, only its box checked.
        SetAllFlags(false);
        AppSettings.*rule.flag = true;
        auto shown = Open();
        for (const RuleCase& other : kRules)
            EXPECT_EQ(Box(*shown, other)->isChecked(), &other == &rule) << other.box;

        // Stored: only the one box checked, only its flag set.
        SetAllFlags(false);
        auto stored = Open();
        Box(*stored, rule)->click();
        Child<QPushButton>(stored.get(), "btnOK")->click();
        EXPECT_EQ(stored->result(), mrOK);
        for (const RuleCase& other : kRules)
            EXPECT_EQ(AppSettings.*other.flag, &other == &rule) << other.box;
    }
}

TEST_F(DupOptionTest, CancelLeavesEveryFlag) {
    bool value = false;
    for (const RuleCase& rule : kRules)
        AppSettings.*rule.flag = (value = !value);
    AppSettings.CompareEmpty = true;
    AppSettings.DateRecur = true;
    TAppSettings expected = AppSettings;

    auto cancelled = Open();
    for (const RuleCase& rule : kRules)
        Box(*cancelled, rule)->click();
    Child<QPushButton>(cancelled.get(), "btnCancel")->click();
    EXPECT_EQ(cancelled->result(), mrCancel);

    auto closed = Open();
    for (const RuleCase& rule : kRules)
        Box(*closed, rule)->click();
    closed->close(); // the title bar's close button
    EXPECT_EQ(closed->result(), mrCancel);

    for (const RuleCase& rule : kRules)
        EXPECT_EQ(AppSettings.*rule.flag, expected.*rule.flag) << rule.box;
    EXPECT_TRUE(AppSettings.CompareEmpty);
    EXPECT_TRUE(AppSettings.DateRecur);
}

TEST_F(DupOptionTest, ClearingEveryContactBoxStoresTenFalsesAndKeepsTheRest) {
    SetAllFlags(true);
    AppSettings.CompareEmpty = true;
    AppSettings.DateRecur = true;
    auto dialog = Open();
    int contactBoxes = 0;
    for (const RuleCase& rule : kRules) {
        if (IsContactRule(rule)) {
            Box(*dialog, rule)->click();
            ++contactBoxes;
        }
    }
    ASSERT_EQ(contactBoxes, 10);
    Child<QPushButton>(dialog.get(), "btnOK")->click();
    EXPECT_EQ(dialog->result(), mrOK);
    for (const RuleCase& rule : kRules)
        EXPECT_EQ(AppSettings.*rule.flag, !IsContactRule(rule)) << rule.box;
    // Flags without a check box stay as the settings file gave them.
    EXPECT_TRUE(AppSettings.CompareEmpty);
    EXPECT_TRUE(AppSettings.DateRecur);
}

TEST_F(DupOptionTest, ReopeningShowsTheStoredChoices) {
    SetAllFlags(false);
    auto first = Open();
    int i = 0;
    for (const RuleCase& rule : kRules)
        if (i++ % 3 != 1)
            Box(*first, rule)->click();
    Child<QPushButton>(first.get(), "btnOK")->click();
    ASSERT_EQ(first->result(), mrOK);

    auto second = Open();
    for (const RuleCase& rule : kRules)
        EXPECT_EQ(Box(*second, rule)->isChecked(), Box(*first, rule)->isChecked()) << rule.box;
}

} // namespace
