// The clean-up page: the log of a run, the progress bar, which kinds are
// submitted and how each submission's outcome is logged (through the real
// helper program against a local sample org), and the start timer's tie to
// the wizard's step.
#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "CxCommWaitWindowQt.h"
#include "CxText.h"
#include "GuiSupport.h"
#include "Sfclean.h"
#include "TestSupport.h"
#include "WizardSupport.h"
#include "WorkRunner.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const std::string kRule(80, '=');
const std::vector<std::string> kHeading = {"Start deleting duplicate records ...", kRule, ""};
const char kLoginFailed[] = "Login failed: the user name, password or security token is wrong.";

std::vector<std::string> Totals(int addr, int date, int task, int note) {
    return {kRule,
            "Deleting duplicates finished:",
            "\t" + std::to_string(addr) + " duplicate contact items deleted.",
            "\t" + std::to_string(date) + " duplicate calendar items deleted.",
            "\t" + std::to_string(task) + " duplicate task items deleted.",
            "\t" + std::to_string(note) + " duplicate note items deleted.",
            ""};
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Automation dates: 2024-06-01 and 14:30:00 on that day.
constexpr double kJune1st2024 = 45444.0;
constexpr double kHalfPastTwo = kJune1st2024 + 14.5 / 24.0;

// The page in a host that stands in for the wizard's client area, with the
// four exchange objects and duplicate lists built by hand. Records of a kind
// either are made up here (for runs that submit nothing) or come from a local
// sample org through the real helper (for runs that submit).
class CleanupPage : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home.DataFolder());
        FreeCrmData();
        CrmData.AddrUtil = new CxSFAddrUtil;
        CrmData.DateUtil = new CxSFDateUtil;
        CrmData.TaskUtil = new CxSFTaskUtil;
        CrmData.NoteUtil = new CxSFNoteUtil;
        for (CxSFBaseUtil* util : Utils()) {
            util->SetDataFolder(home.DataFolder().c_str());
            util->SetUserName("demo@example.com");
            util->SetPassword("demo");
            util->SetToken("DEMOTOKEN");
        }
        CrmData.AddrDupList = new CxList;
        CrmData.DateDupList = new CxList;
        CrmData.TaskDupList = new CxList;
        CrmData.NoteDupList = new CxList;
        AppSettings.AppFlag = rkAddr;

        InstallQtWaitView();
        host = std::make_unique<QWidget>();
        host->resize(794, 427);
        page = new TfmSFClean(host.get());
        auto* layout = new QVBoxLayout(host.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        host->show();
    }

    void TearDown() override {
        host.reset();
        WaitForWaitWindowEnd(5000);
        SetWaitViewFactory(nullptr);
        FreeCrmData();
    }

    static std::vector<CxSFBaseUtil*> Utils() {
        return {CrmData.AddrUtil, CrmData.DateUtil, CrmData.TaskUtil, CrmData.NoteUtil};
    }

    // A made-up record linked with an entry of the kind's collection, in the
    // duplicate list.
    template <class TUtil>
    typename TUtil::Record* Add(TUtil* util, CxList* dups, typename TUtil::Record rec,
                                bool ticked) {
        auto* kept = util->KeepRecord(&rec);
        typename TUtil::CommonRecord common;
        common.NativeData = kept;
        kept->Entry = util->GetCollection()->AddRecord(&common);
        List(kept, dups, ticked);
        return kept;
    }

    template <class TRec> static void List(TRec* rec, CxList* dups, bool ticked) {
        rec->Flags = mkDuplicate | (ticked ? mkDelete : 0u);
        dups->Add(rec);
    }

    // A small local org for the helper, configured in the data folder.
    void MakeOrg() {
        char folder[260];
        ASSERT_TRUE(GetModuleFolder(nullptr, folder));
        const std::string tool = std::string(folder) + "tessmark-sample-org";
        ASSERT_TRUE(FileExists(tool) && FileExists(std::string(folder) + "Velmora.SFAddrUtil.exe"))
            << "build the helper programs first (target tessmark_helpers)";
        const std::string org = home.Home() + "org.db";
        const QStringList args = {"--out",      QString::fromStdString(org),
                                  "--contacts", "6",
                                  "--accounts", "0",
                                  "--leads",    "0",
                                  "--events",   "3",
                                  "--tasks",    "3",
                                  "--notes",    "2",
                                  "--dup-rate", "0"};
        ASSERT_EQ(0, QProcess::execute(QString::fromStdString(tool), args));
        WriteFileBytes(home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nLocalOrg=" + org + "\n");
    }

    // Loads the kind from the org; its records in file order.
    template <class TUtil> std::vector<typename TUtil::Record*> Load(TUtil* util) {
        std::vector<typename TUtil::Record*> records;
        EXPECT_TRUE(util->Load()) << util->GetLastError();
        CxList* list = util->GetRecordList();
        for (void* item = list->GetFirst(); item; item = list->GetNext())
            records.push_back(static_cast<typename TUtil::Record*>(item));
        return records;
    }

    // The Ids the org holds now, read through a fresh load.
    std::vector<std::string> OrgContactIds() {
        CxSFAddrUtil util;
        util.SetDataFolder(home.DataFolder().c_str());
        util.SetUserName("demo@example.com");
        util.SetPassword("demo");
        util.SetToken("DEMOTOKEN");
        std::vector<std::string> ids;
        for (SFAddrRec* rec : Load(&util))
            ids.push_back(rec->Id);
        return ids;
    }

    // Enters the page and runs the deletion at once; the page's own one-second
    // timer is stopped, so a slow run is never started a second time by it.
    void Run() {
        ASSERT_TRUE(page->UpdateData(false));
        page->StopPendingRun();
        page->RunDeletion();
    }

    std::string Log() const { return page->memLog->toPlainText().toStdString(); }

    // A submission's outcome lines as logged after a run of the real helper,
    // which may name a file with the outcome of every record and the backup of
    // the records it deleted.
    static std::vector<std::string> WithResultsLine(std::vector<std::string> lines,
                                                    const CxSFBaseUtil* util) {
        if (util->GetResultsFile()[0])
            lines.push_back(std::string("The outcome of every record is in ") +
                            util->GetResultsFile() + ".");
        if (util->GetBackupFile()[0])
            lines.push_back(std::string("A backup of the deleted records is in ") +
                            util->GetBackupFile() + ".");
        return lines;
    }

    // The last lines of the log, as many as want has.
    std::vector<std::string> LastLines(const std::vector<std::string>& want) const {
        const std::vector<std::string> lines = LogLines();
        const size_t n = std::min(lines.size(), want.size());
        return std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(n), lines.end());
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream in(Log());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        // A final blank line leaves a trailing line break behind.
        if (!Log().empty() && Log().back() == '\n')
            lines.push_back("");
        return lines;
    }

    IsolatedHome home;
    AppSettingsGuard settingsGuard;
    DebugLogGuard logGuard;
    std::unique_ptr<QWidget> host;
    TfmSFClean* page = nullptr;
};

TEST_F(CleanupPage, ControlsAsTheFormSetsThem) {
    EXPECT_TRUE(page->memLog->isReadOnly());
    EXPECT_EQ(Qt::ScrollBarAsNeeded, page->memLog->horizontalScrollBarPolicy());
    EXPECT_EQ(Qt::ScrollBarAlwaysOn, page->memLog->verticalScrollBarPolicy());
    EXPECT_EQ(0, page->pbDel->minimum());
    EXPECT_EQ(100, page->pbDel->maximum());
    EXPECT_EQ(0, page->pbDel->value());
    EXPECT_TRUE(page->pbDel->isTextVisible());
    EXPECT_TRUE(page->tmStart->isSingleShot());
    EXPECT_EQ(1000, page->tmStart->interval());
    EXPECT_FALSE(page->tmStart->isActive());
}

TEST_F(CleanupPage, EnteringResetsTheLogTheCountersAndTheBarAndArmsTheTimer) {
    page->memLog->setPlainText("an earlier run");
    page->AddrDeleted = page->DateDeleted = page->TaskDeleted = page->NoteDeleted = 5;
    page->pbDel->setValue(100);

    EXPECT_TRUE(page->UpdateData(false));

    EXPECT_EQ(kHeading, LogLines());
    EXPECT_EQ(0, page->AddrDeleted + page->DateDeleted + page->TaskDeleted + page->NoteDeleted);
    EXPECT_EQ(0, page->pbDel->value());
    EXPECT_TRUE(page->tmStart->isActive());
    // Leaving takes nothing and changes nothing.
    EXPECT_TRUE(page->UpdateData(true));
    EXPECT_EQ(kHeading, LogLines());
    page->StopPendingRun();
    EXPECT_FALSE(page->tmStart->isActive());
}

TEST_F(CleanupPage, NothingTickedLogsOnlyTheFrameAndSubmitsNothing) {
    for (const char* name : {"Ann", "Bob", "Cy"}) {
        SFAddrRec rec;
        CopyText(rec.Name, name);
        Add(CrmData.AddrUtil, CrmData.AddrDupList, rec, false);
    }
    Run();

    const std::string expected = "Start deleting duplicate records ...\n" + kRule + "\n\n" + kRule +
                                 "\nDeleting duplicates finished:\n"
                                 "\t0 duplicate contact items deleted.\n"
                                 "\t0 duplicate calendar items deleted.\n"
                                 "\t0 duplicate task items deleted.\n"
                                 "\t0 duplicate note items deleted.\n";
    EXPECT_EQ(expected, Log());
    EXPECT_EQ(100, page->pbDel->value());
    EXPECT_EQ(0, CrmData.AddrUtil->GetRequest());
    EXPECT_EQ(3, page->TotalToDelete);
    EXPECT_EQ(3, page->Processed);
}

// The bar moves in whole percent of walked items, unticked ones and every
// chosen kind included; an unchosen kind's list is neither walked nor counted.
TEST_F(CleanupPage, ProgressCountsTheItemsOfTheChosenKinds) {
    AppSettings.AppFlag = rkAddr | rkTask;
    Add(CrmData.AddrUtil, CrmData.AddrDupList, SFAddrRec(), false);
    for (int i = 0; i < 3; ++i)
        Add(CrmData.TaskUtil, CrmData.TaskDupList, SFTaskRec(), false);
    SFDateRec* event = Add(CrmData.DateUtil, CrmData.DateDupList, SFDateRec(), true);
    Add(CrmData.DateUtil, CrmData.DateDupList, SFDateRec(), true);

    std::vector<int> values;
    QObject::connect(page->pbDel, &QProgressBar::valueChanged,
                     [&values](int value) { values.push_back(value); });
    Run();

    EXPECT_EQ((std::vector<int>{25, 50, 75, 100}), values);
    EXPECT_EQ(4, page->TotalToDelete);
    EXPECT_EQ(0, event->ChangeAction);
    EXPECT_EQ(Concat({kHeading, Totals(0, 0, 0, 0)}), LogLines());
}

TEST_F(CleanupPage, RecordWithoutEntryFailsAndIsNotSubmitted) {
    SFAddrRec rec;
    CopyText(rec.Name, "Loose");
    SFAddrRec* loose = CrmData.AddrUtil->KeepRecord(&rec);
    List(loose, CrmData.AddrDupList, true);
    page->DeleteAddrItem(nullptr);
    Run();

    EXPECT_EQ(Concat({kHeading,
                      {"Deleting contact item ...", "\tName: Loose", "\tDepartment: <empty>",
                       "\tTitle: <empty>", "\tEmail: <empty>", "\tPhone: <empty>",
                       "Deletion failed.", ""},
                      Totals(0, 0, 0, 0)}),
              LogLines());
    EXPECT_EQ(0, CrmData.AddrUtil->GetRequest());
}

// With marks to submit and no data folder, nothing reaches the helper and the
// log says so; the marks stay for a later submit.
TEST_F(CleanupPage, MissingDataFolderSubmitsNothingAndSaysSo) {
    SFAddrRec rec;
    CopyText(rec.Name, "Ann");
    SFAddrRec* ann = Add(CrmData.AddrUtil, CrmData.AddrDupList, rec, true);
    WriteFileBytes(home.Home() + "blocker", "a file where a folder should be");
    ScopedEnv noFolder("XDG_DATA_HOME", (home.Home() + "blocker/share").c_str());
    MessageBoxRecorder boxes;
    Run();
    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ("Nothing was deleted in salesforce for contacts: Can not find the data folder.",
              boxes.requests[0].text.toStdString());

    std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Can not find the data folder; nothing was submitted to salesforce.", lines.back());
    EXPECT_EQ("\t1 duplicate contact items deleted.", lines[lines.size() - 6]);
    EXPECT_EQ(kChangeActionDelete, ann->ChangeAction);
    EXPECT_EQ(0, CrmData.AddrUtil->GetRequest());
    EXPECT_TRUE(CrmData.AddrUtil->IsChanged());
    EXPECT_EQ(100, page->pbDel->value());
}

TEST(CleanupPageFormat, FormatLogFieldBuildsOneLine) {
    struct Case {
        int indent;
        const char* label;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {1, "Name", "Ann", "\tName: Ann"},
        {1, "Name", "", "\tName: <empty>"},
        {1, "Name", nullptr, "\tName: <empty>"},
        {2, "Due Date", "N/A", "\t\tDue Date: N/A"},
        {0, "Phone", "1", "Phone: 1"},
        {-1, "Phone", "1", "Phone: 1"},
        {1, "", "Ann", "unchanged"},
        {1, nullptr, "Ann", "unchanged"},
    };
    for (const Case& c : cases) {
        std::string out = "unchanged";
        TfmSFClean::FormatLogField(&out, c.indent, c.label, c.value);
        EXPECT_EQ(c.expected, out) << (c.label ? c.label : "null label");
    }
    TfmSFClean::FormatLogField(nullptr, 1, "Name", "Ann");
    // A line has no limit of its own: a 255-character subject stays whole.
    const std::string subject(255, 's');
    std::string out;
    TfmSFClean::FormatLogField(&out, 1, "Subject", subject.c_str());
    EXPECT_EQ("\tSubject: " + subject, out);
}

// What the helper reported of a submit, through the stand-in helper: the
// records it really deleted when they differ from the marks sent, its errors
// and the file with the outcome of every record.
struct OutcomeCase {
    const char* name;
    const char* control; // section [Tool] of the stand-in helper's tool.ini
    std::vector<std::string> lines;
};

class CleanupPageOutcome : public CleanupPage, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(CleanupPageOutcome, LogsWhatTheHelperReported) {
    const OutcomeCase& c = GetParam();
    CrmData.AddrUtil->SetHelperName("tessmark_test_helper");
    for (const char* name : {"Ann", "Bob"}) {
        SFAddrRec rec;
        CopyText(rec.Name, name);
        Add(CrmData.AddrUtil, CrmData.AddrDupList, rec, true);
    }
    WriteFileBytes(home.DataFolder() + "tool.ini", std::string("[Tool]\n") + c.control);
    MessageBoxRecorder boxes;
    Run();
    // Only a submission that failed as a whole deleted nothing and says so aloud.
    const bool failed = c.lines[0].rfind("Submitting contact deletions", 0) == 0;
    EXPECT_EQ(failed ? 1u : 0u, boxes.requests.size());

    const std::vector<std::string> want = Concat({Totals(2, 0, 0, 0), c.lines});
    const std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), want.size());
    EXPECT_EQ(want, std::vector<std::string>(lines.end() - want.size(), lines.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, CleanupPageOutcome,
    ::testing::Values(
        OutcomeCase{"FewerDeleted",
                    "SubmitMarked=2\nSubmitDeleted=1\n",
                    {"1 of 2 contact deletions were carried out in salesforce."}},
        OutcomeCase{"FewerDeletedWithErrors",
                    "SubmitDeleted=0\nErrorCount=2\n",
                    {"0 of 2 contact deletions were carried out in salesforce.",
                     "Salesforce reported errors for the contact deletions: 2 records were not "
                     "deleted; the first error: Tool error 1"}},
        // The error file's cap hides no count: it comes from the helper's report.
        OutcomeCase{"ManyErrorsCapped",
                    "SubmitDeleted=0\nErrorCount=100\n",
                    {"0 of 2 contact deletions were carried out in salesforce.",
                     "Salesforce reported errors for the contact deletions: 2 records were not "
                     "deleted; the first error: Tool error 1"}},
        OutcomeCase{"AllDeletedWithResults",
                    "SubmitDeleted=2\nSubmitResults=/data/SFAddrResults-20240601-120000.csv\n",
                    {"2 contact deletions submitted to salesforce.",
                     "The outcome of every record is in "
                     "/data/SFAddrResults-20240601-120000.csv."}},
        OutcomeCase{"AllDeletedWithErrors",
                    "SubmitDeleted=2\nErrorCount=1\n",
                    {"Salesforce reported errors for the contact deletions: Tool error 1"}},
        OutcomeCase{"NothingReported", "", {"2 contact deletions submitted to salesforce."}},
        OutcomeCase{"FailedRunWithResults",
                    "SubmitDeleted=0\nSubmitResults=/data/r.csv\nExitStatus=3\n",
                    {"Submitting contact deletions to salesforce failed: The helper program "
                     "tessmark_test_helper ended with exit status 3",
                     "The outcome of every record is in /data/r.csv."}}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

// Runs that submit, through the real helper and a local sample org.
class CleanupPageSubmit : public CleanupPage {
protected:
    void SetUp() override {
        CleanupPage::SetUp();
        MakeOrg();
    }
};

TEST_F(CleanupPageSubmit, TwoOfThreeTickedContactsAreLoggedMarkedAndDeleted) {
    std::vector<SFAddrRec*> contacts = Load(CrmData.AddrUtil);
    ASSERT_EQ(6u, contacts.size());
    SFAddrRec* first = contacts[0];
    CopyText(first->Name, "Jürgen Weiß");
    CopyText(first->Department, "Sales");
    CopyText(first->Title, "Manager");
    CopyText(first->Email, "juergen@example.com");
    CopyText(first->Phone, "555-0100");
    SFAddrRec* third = contacts[2];
    CopyText(third->Name, "Zoë Adams");
    CopyText(third->Department, "");
    CopyText(third->Title, "Buyer");
    CopyText(third->Email, "zoe@example.com");
    CopyText(third->Phone, "555-0102");
    List(first, CrmData.AddrDupList, true);
    List(contacts[1], CrmData.AddrDupList, false);
    List(third, CrmData.AddrDupList, true);
    const std::string firstId = first->Id, keptId = contacts[1]->Id, thirdId = third->Id;

    Run();

    EXPECT_EQ(Concat({kHeading,
                      {"Deleting contact item ...", "\tName: Jürgen Weiß", "\tDepartment: Sales",
                       "\tTitle: Manager", "\tEmail: juergen@example.com", "\tPhone: 555-0100",
                       "Deletion succeeded.", "", "Deleting contact item ...", "\tName: Zoë Adams",
                       "\tDepartment: <empty>", "\tTitle: Buyer", "\tEmail: zoe@example.com",
                       "\tPhone: 555-0102", "Deletion succeeded.", ""},
                      Totals(2, 0, 0, 0),
                      WithResultsLine({"2 contact deletions submitted to salesforce."},
                                      CrmData.AddrUtil)}),
              LogLines());
    EXPECT_EQ(2, page->AddrDeleted);
    EXPECT_EQ(100, page->pbDel->value());
    EXPECT_EQ(2, CrmData.AddrUtil->GetRequest());
    EXPECT_FALSE(CrmData.AddrUtil->IsChanged());

    const std::vector<std::string> ids = OrgContactIds();
    EXPECT_EQ(4u, ids.size());
    EXPECT_EQ(0, std::count(ids.begin(), ids.end(), firstId));
    EXPECT_EQ(0, std::count(ids.begin(), ids.end(), thirdId));
    EXPECT_EQ(1, std::count(ids.begin(), ids.end(), keptId));
    EXPECT_TRUE(SaveScreenshot(host.get(), "cleanup_page"));
}

// Only a chosen kind with marks is submitted: a chosen kind with nothing
// ticked and an unchosen kind with a ticked record are left alone.
TEST_F(CleanupPageSubmit, OnlyChosenKindsWithMarksAreSubmitted) {
    AppSettings.AppFlag = rkAddr | rkDate;
    std::vector<SFAddrRec*> contacts = Load(CrmData.AddrUtil);
    std::vector<SFDateRec*> events = Load(CrmData.DateUtil);
    std::vector<SFTaskRec*> tasks = Load(CrmData.TaskUtil);
    ASSERT_FALSE(contacts.empty() || events.empty() || tasks.empty());
    List(contacts[0], CrmData.AddrDupList, true);
    List(events[0], CrmData.DateDupList, false);
    List(tasks[0], CrmData.TaskDupList, true);

    Run();

    const std::vector<std::string> want = Concat(
        {Totals(1, 0, 0, 0),
         WithResultsLine({"1 contact deletions submitted to salesforce."}, CrmData.AddrUtil)});
    EXPECT_EQ(want, LastLines(want));
    EXPECT_EQ(2, CrmData.AddrUtil->GetRequest());
    EXPECT_EQ(1, CrmData.DateUtil->GetRequest());
    EXPECT_EQ(1, CrmData.TaskUtil->GetRequest());
    EXPECT_EQ(0, tasks[0]->ChangeAction);
    EXPECT_EQ(5u, OrgContactIds().size());
}

// Each of the other kinds: its own block, its total and its submission.
struct KindCase {
    const char* name;
    int flag;
    std::vector<std::string> block;
    std::vector<std::string> totals;
    const char* submitted;
};

class CleanupPageKind : public CleanupPageSubmit, public ::testing::WithParamInterface<KindCase> {
protected:
    // Ticks the first loaded record of the kind, with known values.
    void TickFirstRecord(int flag) {
        if (flag == rkDate) {
            std::vector<SFDateRec*> events = Load(CrmData.DateUtil);
            ASSERT_FALSE(events.empty());
            SFDateRec* e = events[0];
            CopyText(e->Subject, "Team offsite");
            CopyText(e->Location, "");
            e->StartTime = 0;
            e->EndTime = kHalfPastTwo;
            e->AllDayEvent = true;
            List(e, CrmData.DateDupList, true);
        } else if (flag == rkTask) {
            std::vector<SFTaskRec*> tasks = Load(CrmData.TaskUtil);
            ASSERT_FALSE(tasks.empty());
            SFTaskRec* t = tasks[0];
            CopyText(t->Subject, std::string(255, 'S').c_str());
            CopyText(t->Priority, "High");
            t->DueDate = kJune1st2024;
            List(t, CrmData.TaskDupList, true);
        } else {
            std::vector<SFNoteRec*> notes = Load(CrmData.NoteUtil);
            ASSERT_FALSE(notes.empty());
            List(notes[0], CrmData.NoteDupList, true);
        }
    }
};

TEST_P(CleanupPageKind, LogsItsBlockAndSubmits) {
    const KindCase& c = GetParam();
    ScopedLocale swedish{QLocale(QLocale::Swedish, QLocale::Sweden)};
    AppSettings.AppFlag = c.flag;
    TickFirstRecord(c.flag);
    Run();
    const CxSFBaseUtil* util = c.flag == rkDate   ? static_cast<CxSFBaseUtil*>(CrmData.DateUtil)
                               : c.flag == rkTask ? static_cast<CxSFBaseUtil*>(CrmData.TaskUtil)
                                                  : static_cast<CxSFBaseUtil*>(CrmData.NoteUtil);
    EXPECT_EQ(Concat({kHeading,
                      c.block,
                      {"Deletion succeeded.", ""},
                      c.totals,
                      WithResultsLine({c.submitted}, util)}),
              LogLines());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CleanupPageKind,
    ::testing::Values(
        // An all-day event shows only its date, "N/A" for an unset one.
        KindCase{"AllDayEvent",
                 rkDate,
                 {"Deleting calendar item ...", "\tSubject: Team offsite", "\tLocation: <empty>",
                  "\tStart Time: N/A", "\tEnd Time: 2024-06-01", "\tAll Day Event: Yes"},
                 Totals(0, 1, 0, 0),
                 "1 calendar deletions submitted to salesforce."},
        KindCase{"TaskWithLongSubject",
                 rkTask,
                 {"Deleting todo or opportunity item ...", "\tSubject: " + std::string(255, 'S'),
                  "\tPriority: High", "\tDue Date: 06/01/2024"},
                 Totals(0, 0, 1, 0),
                 "1 task deletions submitted to salesforce."},
        KindCase{"Note",
                 rkNote,
                 {"Deleting note item ...", "\tNote Text: <empty>"},
                 Totals(0, 0, 0, 1),
                 "1 note deletions submitted to salesforce."}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return info.param.name; });

TEST_F(CleanupPageSubmit, RefusedLoginIsLoggedAsAFailedSubmission) {
    std::vector<SFAddrRec*> contacts = Load(CrmData.AddrUtil);
    ASSERT_FALSE(contacts.empty());
    List(contacts[0], CrmData.AddrDupList, true);
    CrmData.AddrUtil->SetPassword("not the password");

    MessageBoxRecorder boxes;
    Run();

    // The log reads as before: the record's block, the totals, the failure.
    const std::vector<std::string> want = WithResultsLine(
        {std::string("Submitting contact deletions to salesforce failed: ") + kLoginFailed},
        CrmData.AddrUtil);
    EXPECT_EQ(want, LastLines(want));
    EXPECT_NE(std::string::npos, Log().find("Deletion succeeded."));
    EXPECT_NE(std::string::npos, Log().find("\t1 duplicate contact items deleted."));
    // And the user is told at once that nothing went.
    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ(std::string("Nothing was deleted in salesforce for contacts: ") + kLoginFailed,
              boxes.requests[0].text.toStdString());
    EXPECT_EQ("Error", boxes.requests[0].title.toStdString());
    EXPECT_EQ(page, boxes.requests[0].owner);
    // Still marked, and still in the org.
    EXPECT_TRUE(CrmData.AddrUtil->IsChanged());
    EXPECT_EQ(6u, OrgContactIds().size());
}

TEST_F(CleanupPageSubmit, RecordsTheOrgCouldNotDeleteAreLoggedAsReportedErrors) {
    std::vector<SFAddrRec*> contacts = Load(CrmData.AddrUtil);
    ASSERT_FALSE(contacts.empty());
    List(contacts[0], CrmData.AddrDupList, true);
    SFAddrRec stranger;
    CopyText(stranger.Id, "003000000000000XYZ");
    stranger.ObjectKind = 1;
    Add(CrmData.AddrUtil, CrmData.AddrDupList, stranger, true);

    Run();

    // One of the two marks was carried out, when the helper reports its count.
    std::vector<std::string> want;
    if (CrmData.AddrUtil->GetDeletedCount() >= 0)
        want.push_back("1 of 2 contact deletions were carried out in salesforce.");
    want.push_back("Salesforce reported errors for the contact deletions: Record "
                   "003000000000000XYZ is not in the org and was not deleted.");
    want = WithResultsLine(want, CrmData.AddrUtil);
    EXPECT_EQ(want, LastLines(want));
    EXPECT_EQ(2, page->AddrDeleted);
    EXPECT_EQ(5u, OrgContactIds().size());
}

// After a run that deleted records, Undo Deletion asks first and then restores
// exactly them; it is offered once, and no longer once the wizard leaves.
TEST_F(CleanupPageSubmit, UndoDeletionAsksThenRestoresTheRunsDeletionsOnce) {
    std::vector<SFAddrRec*> contacts = Load(CrmData.AddrUtil);
    ASSERT_EQ(6u, contacts.size());
    List(contacts[0], CrmData.AddrDupList, true);
    List(contacts[1], CrmData.AddrDupList, false);
    List(contacts[2], CrmData.AddrDupList, true);
    const std::vector<std::string> before = OrgContactIds();
    EXPECT_FALSE(page->btnUndo->isVisible());
    Run();
    ASSERT_EQ(4u, OrgContactIds().size());
    ASSERT_TRUE(page->btnUndo->isVisible());
    EXPECT_EQ("&Undo Deletion", page->btnUndo->text().toStdString());
    // Beside the progress bar, on its line.
    EXPECT_LT(page->pbDel->geometry().right(), page->btnUndo->geometry().left());
    EXPECT_TRUE(page->pbDel->geometry().intersects(
        QRect(0, page->btnUndo->geometry().top(), page->width(), page->btnUndo->height())));

    const size_t lines = LogLines().size();
    {
        MessageBoxRecorder answer(mrNo);
        ClickWidget(page->btnUndo);
        ASSERT_EQ(1u, answer.requests.size());
        EXPECT_EQ("Restore the 2 records deleted in this run from the recycle bin?",
                  answer.requests[0].text.toStdString());
        EXPECT_EQ("Confirmation", answer.requests[0].title.toStdString());
    }
    EXPECT_EQ(4u, OrgContactIds().size());
    EXPECT_EQ(lines, LogLines().size());
    ASSERT_TRUE(page->btnUndo->isVisible());
    {
        MessageBoxRecorder answer(mrYes);
        ClickWidget(page->btnUndo);
        EXPECT_EQ(1u, answer.requests.size());
    }
    EXPECT_EQ("2 contact deletions undone in salesforce.", LogLines().back());
    EXPECT_EQ(lines + 1, LogLines().size());
    EXPECT_EQ(before, OrgContactIds());
    EXPECT_FALSE(page->btnUndo->isVisible());
    EXPECT_EQ(nullptr, GetCurrentWaitWindow());

    // A new run offers it again; leaving the step withdraws the offer.
    CrmData.AddrDupList->RemoveAll(false);
    List(contacts[1], CrmData.AddrDupList, true);
    Run();
    EXPECT_TRUE(page->btnUndo->isVisible());
    page->StopPendingRun();
    EXPECT_FALSE(page->btnUndo->isVisible());
}

TEST_F(CleanupPageSubmit, UndoNamesARecordNoLongerInTheRecycleBin) {
    std::vector<SFAddrRec*> contacts = Load(CrmData.AddrUtil);
    ASSERT_EQ(6u, contacts.size());
    List(contacts[0], CrmData.AddrDupList, true);
    List(contacts[1], CrmData.AddrDupList, true);
    const std::string gone = contacts[1]->Id;
    Run();
    ASSERT_TRUE(page->btnUndo->isVisible());
    // The recycle bin was emptied of one of them meanwhile.
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((home.Home() + "org.db").c_str(), &db));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(db, ("DELETE FROM RecycleBin WHERE Id = '" + gone + "'").c_str(),
                           nullptr, nullptr, nullptr));
    sqlite3_close(db);

    MessageBoxRecorder answer(mrYes);
    ClickWidget(page->btnUndo);
    EXPECT_EQ("1 contact deletions undone in salesforce; 1 could not be restored: Record " + gone +
                  " is no longer in the recycle bin (it was emptied) and was not restored.",
              LogLines().back());
    EXPECT_EQ(5u, OrgContactIds().size());
    EXPECT_FALSE(page->btnUndo->isVisible());
}

// The page inside the wizard: the timer runs the deletion only at step 2.
class CleanupPageInWizard : public WizardTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home.DataFolder());
        // An org that does not exist: the helper must refuse the submission
        // whatever a settings file in the program folder says.
        WriteFileBytes(home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nLocalOrg=" + home.Home() + "no-such-org.db\n");
        OpenWizard();
        // Built after the wizard's start, which frees whatever CrmData held.
        CrmData.AddrUtil = new CxSFAddrUtil;
        CrmData.DateUtil = new CxSFDateUtil;
        CrmData.TaskUtil = new CxSFTaskUtil;
        CrmData.NoteUtil = new CxSFNoteUtil;
        for (CxSFBaseUtil* util : {static_cast<CxSFBaseUtil*>(CrmData.AddrUtil),
                                   static_cast<CxSFBaseUtil*>(CrmData.DateUtil),
                                   static_cast<CxSFBaseUtil*>(CrmData.TaskUtil),
                                   static_cast<CxSFBaseUtil*>(CrmData.NoteUtil)})
            util->SetDataFolder(home.DataFolder().c_str());
        CrmData.AddrDupList = new CxList;
        CrmData.DateDupList = new CxList;
        CrmData.TaskDupList = new CxList;
        CrmData.NoteDupList = new CxList;
        AppSettings.AppFlag = rkAddr;
        SFAddrRec rec;
        CopyText(rec.Name, "Ann");
        record = CrmData.AddrUtil->KeepRecord(&rec);
        CommAddrRec common;
        common.NativeData = record;
        record->Entry = CrmData.AddrUtil->GetCollection()->AddRecord(&common);
        record->Flags = mkDuplicate | mkDelete;
        CrmData.AddrDupList->Add(record);
    }

    static bool Finished() {
        return CleanPage &&
               CleanPage->memLog->toPlainText().contains("Deleting duplicates finished:");
    }

    // Waits well past the timer's second.
    static void WaitPastTheTimer() {
        ProcessEventsUntil([] { return false; }, 2500);
    }

    SFAddrRec* record = nullptr;
};

TEST_F(CleanupPageInWizard, RestartWithinTheSecondCancelsTheRun) {
    fmMain->GoToStep(2);
    ASSERT_EQ(2, fmMain->CurrentStep);
    ASSERT_TRUE(CleanPage->tmStart->isActive());
    fmMain->btnPrev->click();
    ASSERT_EQ(0, fmMain->CurrentStep);
    EXPECT_FALSE(CleanPage->tmStart->isActive());

    WaitPastTheTimer();
    EXPECT_FALSE(Finished());
    EXPECT_EQ(0, record->ChangeAction);
}

TEST_F(CleanupPageInWizard, TimerDueAwayFromStepTwoDoesNothing) {
    ASSERT_EQ(0, fmMain->CurrentStep);
    CleanPage->UpdateData(false);
    WaitPastTheTimer();
    EXPECT_FALSE(CleanPage->tmStart->isActive());
    EXPECT_FALSE(Finished());
    EXPECT_EQ(0, record->ChangeAction);
}

// At step 2 the timer runs the deletion once; while the submission runs the
// wait window is modal and the wizard's buttons take no clicks.
TEST_F(CleanupPageInWizard, TimerRunsTheDeletionAtStepTwoWithTheButtonsBlocked) {
    MessageBoxRecorder boxes;
    bool probed = false, modal = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!IsWorkRunning())
            return;
        TWaitWindowWidget* wait = LastQtWaitWidget();
        if (wait && wait->isVisible())
            modal = modal || wait->windowModality() == Qt::ApplicationModal;
        if (probed)
            return;
        ClickWidget(fmMain->btnPrev);
        ClickWidget(fmMain->btnCancel);
        FlushDeletes();
        probed = true;
    });
    probe.start(10);
    fmMain->GoToStep(2);
    ASSERT_TRUE(ProcessEventsUntil([] { return Finished() && !IsWorkRunning(); }));
    probe.stop();

    EXPECT_TRUE(probed);
    EXPECT_TRUE(modal);
    ASSERT_NE(nullptr, fmMain);
    EXPECT_EQ(2, fmMain->CurrentStep);
    EXPECT_EQ(kChangeActionDelete, record->ChangeAction);
    EXPECT_EQ(1, CleanPage->AddrDeleted);
    EXPECT_EQ(100, CleanPage->pbDel->value());
    // The configured org does not exist, so the helper refuses the submission.
    const QString log = CleanPage->memLog->toPlainText();
    EXPECT_TRUE(log.contains("Submitting contact deletions to salesforce failed: "))
        << log.toStdString();
    EXPECT_EQ(1, log.count("Deleting duplicates finished:"));
    EXPECT_EQ(nullptr, GetCurrentWaitWindow());
    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ(CleanPage, boxes.requests[0].owner);
}

} // namespace
