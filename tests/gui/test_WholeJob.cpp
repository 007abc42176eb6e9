// The whole job as a user does it, against a local sample org through the real
// helper programs: log in, load a kind, untick one duplicate, go on, let the
// clean-up page delete, and check the org lost exactly the ticked records.

#include "CrmData.h"
#include "GuiSupport.h"
#include "Main.h"
#include "RecordListView.h"
#include "SFRecords.h"
#include "Sfclean.h"
#include "Sfdata.h"
#include "Sfsource.h"
#include "TestSupport.h"
#include "WinUtil.h"
#include "WizardSupport.h"
#include "WorkRunner.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

struct JobCase {
    const char* name;
    RecordKindMask kind;
    std::vector<const char*> tables; // the org's tables that hold the kind
    const char* word;                // the kind's word in the clean-up log
};

std::ostream& operator<<(std::ostream& out, const JobCase& c) {
    return out << c.name;
}

// The Ids of every row of the tables.
std::set<std::string> OrgIds(const std::string& db, const std::vector<const char*>& tables) {
    std::set<std::string> ids;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        ADD_FAILURE() << "cannot open " << db;
        return ids;
    }
    for (const char* table : tables) {
        const std::string sql = std::string("SELECT Id FROM ") + table;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(handle);
            continue;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW)
            ids.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
    return ids;
}

// Whether matching found the record not to equal its kept record itself.
bool IsIndirect(RecordKindMask kind, void* record) {
    switch (kind) {
    case rkAddr:
        return static_cast<SFAddrRec*>(record)->Flags & mkIndirect;
    case rkDate:
        return static_cast<SFDateRec*>(record)->Flags & mkIndirect;
    case rkTask:
        return static_cast<SFTaskRec*>(record)->Flags & mkIndirect;
    default:
        return false;
    }
}

std::string RecordId(RecordKindMask kind, void* record) {
    switch (kind) {
    case rkAddr:
        return static_cast<SFAddrRec*>(record)->Id;
    case rkDate:
        return static_cast<SFDateRec*>(record)->Id;
    case rkTask:
        return static_cast<SFTaskRec*>(record)->Id;
    default:
        return "";
    }
}

void ExecSql(const std::string& db, const char* sql) {
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(handle);
    sqlite3_close(handle);
}

// Every loaded record of the kind, through the record walk's collection.
std::set<std::string> LoadedIds(RecordKindMask kind) {
    std::set<std::string> ids;
    CxList* list = nullptr;
    if (kind == rkAddr)
        list = CrmData.AddrUtil->GetRecordList();
    else if (kind == rkDate)
        list = CrmData.DateUtil->GetRecordList();
    else
        list = CrmData.TaskUtil->GetRecordList();
    for (void* item = list->GetFirst(); item; item = list->GetNext())
        ids.insert(RecordId(kind, item));
    return ids;
}

class WholeJob : public WizardTest, public ::testing::WithParamInterface<JobCase> {
protected:
    void SetUp() override {
        char folder[260];
        ASSERT_TRUE(GetModuleFolder(nullptr, folder));
        const std::string tool = std::string(folder) + "tessmark-sample-org";
        ASSERT_TRUE(FileExists(tool))
            << "build the helper programs first (target tessmark_helpers)";
        m_org = home.Home() + "org.db";
        const QStringList args = {"--out",      QString::fromStdString(m_org),
                                  "--contacts", "40",
                                  "--accounts", "10",
                                  "--leads",    "10",
                                  "--events",   "30",
                                  "--tasks",    "30",
                                  "--notes",    "5",
                                  "--dup-rate", "0.3",
                                  "--seed",     "7"};
        ASSERT_EQ(0, QProcess::execute(QString::fromStdString(tool), args));
        // Accounts with contacts are never deleted: free them, so that every
        // ticked record can go.
        ExecSql(m_org, "UPDATE Contact SET AccountId = NULL");
        std::filesystem::create_directories(home.DataFolder());
        WriteFileBytes(home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nLocalOrg=" + m_org + "\n");
        OpenWizard();
    }

    TRecordListView* List(RecordKindMask kind) {
        if (kind == rkAddr)
            return DataPage->lvAddr;
        if (kind == rkDate)
            return DataPage->lvDate;
        return DataPage->lvTask;
    }

    QRadioButton* KindButton(RecordKindMask kind) {
        if (kind == rkAddr)
            return SourcePage->rbtnAddr;
        if (kind == rkDate)
            return SourcePage->rbtnDate;
        return SourcePage->rbtnTask;
    }

    std::string m_org;
};

TEST_P(WholeJob, DeletesExactlyTheTickedRecords) {
    const JobCase& job = GetParam();
    const std::set<std::string> before = OrgIds(m_org, job.tables);
    ASSERT_FALSE(before.empty());

    // Step 0: the kind and the credentials.
    KindButton(job.kind)->click();
    EnterCredentials("demo@example.com", "demo", "DEMOTOKEN");
    fmMain->btnNext->click();
    ASSERT_EQ(1, fmMain->CurrentStep);
    EXPECT_EQ(before, LoadedIds(job.kind));

    // Step 1: every duplicate is listed, ticked unless it does not equal its
    // kept record; untick the first ticked one.
    TRecordListView* view = List(job.kind);
    TRecordListModel* model = view->Model();
    ASSERT_GE(model->RowCount(), 3) << "the sample org should hold duplicates";
    int first = -1;
    for (int row = 0; row < model->RowCount(); ++row) {
        ASSERT_EQ(model->IsTicked(row), !IsIndirect(job.kind, model->RecordAt(row))) << row;
        if (first < 0 && model->IsTicked(row))
            first = row;
    }
    ASSERT_GE(first, 0);
    view->scrollTo(model->index(first, 0));
    QCoreApplication::processEvents();
    ClickCheckBox(view, first);
    ASSERT_FALSE(model->IsTicked(first));
    const std::string kept = RecordId(job.kind, model->RecordAt(first));
    std::set<std::string> ticked;
    for (int row = 0; row < model->RowCount(); ++row)
        if (model->IsTicked(row))
            ticked.insert(RecordId(job.kind, model->RecordAt(row)));

    // Step 2: the clean-up runs a second after entering the page.
    fmMain->btnNext->click();
    ASSERT_EQ(2, fmMain->CurrentStep);
    const std::string submitted =
        std::to_string(ticked.size()) + " " + job.word + " deletions submitted to salesforce.";
    auto memo = [] { return CleanPage->memLog->toPlainText().toStdString(); };
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return memo().find("deletions") != std::string::npos && !IsWorkRunning(); }, 60000))
        << memo();
    EXPECT_NE(std::string::npos, memo().find(submitted)) << memo();
    EXPECT_EQ(std::string::npos, memo().find("Deletion failed.")) << memo();

    // The org lost exactly the ticked records; the unticked one and every
    // survivor remain.
    std::set<std::string> expected = before;
    for (const std::string& id : ticked)
        expected.erase(id);
    const std::set<std::string> after = OrgIds(m_org, job.tables);
    EXPECT_EQ(expected, after);
    EXPECT_EQ(1u, after.count(kept));
    EXPECT_EQ(ticked, OrgIds(m_org, {"RecycleBin"}));

    SaveScreenshot(fmMain, (std::string("whole-job-") + job.name).c_str());

    // Undo Deletion puts every deleted record back and is then no longer offered.
    ASSERT_TRUE(CleanPage->btnUndo->isVisible());
    {
        MessageBoxRecorder answer(mrYes);
        CleanPage->btnUndo->click();
        ASSERT_EQ(1u, answer.requests.size());
        EXPECT_EQ("Restore the " + std::to_string(ticked.size()) +
                      " records deleted in this run from the recycle bin?",
                  answer.requests[0].text.toStdString());
    }
    EXPECT_NE(std::string::npos, memo().find(std::to_string(ticked.size()) + " " + job.word +
                                             " deletions undone in salesforce."))
        << memo();
    EXPECT_EQ(before, OrgIds(m_org, job.tables));
    EXPECT_TRUE(OrgIds(m_org, {"RecycleBin"}).empty());
    EXPECT_FALSE(CleanPage->btnUndo->isVisible());

    // Restart leads back to step 0 with the entries kept.
    fmMain->btnPrev->click();
    EXPECT_EQ(0, fmMain->CurrentStep);
    EXPECT_EQ("demo@example.com", SourcePage->edtUserName->text().toStdString());
    EXPECT_TRUE(KindButton(job.kind)->isChecked());
    EXPECT_EQ("&Cancel", fmMain->btnCancel->text().toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WholeJob,
    ::testing::Values(JobCase{"Contacts", rkAddr, {"Contact", "Account", "Lead"}, "contact"},
                      JobCase{"Calendar", rkDate, {"Event"}, "calendar"},
                      JobCase{"Tasks", rkTask, {"Task"}, "task"}),
    [](const ::testing::TestParamInfo<JobCase>& info) { return std::string(info.param.name); });

} // namespace
