// The exchange objects' round trip with a stand-in helper (tessmark_test_helper):
// the parameter file they write, how a load or submit fails when the helper does,
// the error file, the marks, and the stop request at their end.
#include "CxIniUtil.h"
#include "CxSFAddr.h"
#include "CxSFDate.h"
#include "CxSFNote.h"
#include "CxSFTask.h"
#include "RecordBytes.h"
#include "TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::FileExists;
using testsupport::IsolatedHome;
using testsupport::LogCapture;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

const char kTool[] = "tessmark_test_helper";

std::string IniValue(const std::string& path, const char* section, const char* key) {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(path.c_str());
    char buf[256] = {};
    ini.GetString(section, key, buf, sizeof(buf), "<missing>");
    return buf;
}

// A data file of the given records, written without an exchange object.
template <class Rec> std::string DataBytes(const std::vector<Rec>& recs, const TempDir& dir) {
    CxFile file;
    const std::string path = dir.Path("built.dat");
    EXPECT_TRUE(file.Open(path.c_str(), "wb"));
    bool ok = WriteRecordCount(file, static_cast<uint32_t>(recs.size()));
    for (const Rec& r : recs)
        ok = ok && WriteSFRecord(file, r);
    file.Close();
    EXPECT_TRUE(ok && !file.HasFailed());
    return ReadFileBytes(path);
}

SFAddrRec Contact(int n) {
    SFAddrRec r;
    CopyText(r.Id, ("003T" + std::to_string(n)).c_str());
    CopyText(r.LastName, ("Name" + std::to_string(n)).c_str());
    r.ObjectKind = 1;
    return r;
}

// One data folder with a configured contact exchange object.
class Scene {
public:
    Scene() : util(new CxSFAddrUtil) {
        util->SetDataFolder(dir.Folder().c_str());
        util->SetHelperName(kTool);
        util->SetUserName("demo@example.com");
        util->SetPassword("demo");
        util->SetToken("DEMOTOKEN");
        WriteFileBytes(dir.Path("good.dat"),
                       DataBytes<SFAddrRec>({Contact(1), Contact(2), Contact(3)}, dir));
    }

    void Control(const std::string& lines) const {
        WriteFileBytes(dir.Path("tool.ini"), "[Tool]\n" + lines);
    }
    // How often the stand-in helper ran.
    size_t Runs() const { return ReadFileBytes(dir.Path("tool-count.txt")).size() / 4; }
    std::string In(const std::string& name) const { return dir.Path(name); }

    // Loads the three contacts of good.dat.
    void LoadGood() {
        Control("DataFrom=good.dat\n");
        ASSERT_TRUE(util->Load()) << util->GetLastError();
        ASSERT_EQ(util->GetRecordList()->GetCount(), 3u);
        Control("");
    }
    std::vector<SFAddrRec*> Records() const {
        std::vector<SFAddrRec*> recs;
        CxList* list = util->GetRecordList();
        for (void* p = list->GetFirst(); p; p = list->GetNext())
            recs.push_back(static_cast<SFAddrRec*>(p));
        return recs;
    }
    // The records of the data file in the folder, marks and all.
    std::vector<SFAddrRec> FileRecords() const {
        std::vector<SFAddrRec> recs;
        CxFile file;
        uint32_t count = 0;
        bool ok = file.Open(In("SFAddr.dat").c_str(), "rb") && ReadRecordCount(file, count);
        for (uint32_t i = 0; ok && i < count; ++i) {
            recs.emplace_back();
            ok = ReadSFRecord(file, recs.back());
        }
        EXPECT_TRUE(ok);
        return recs;
    }

    TempDir dir;
    std::unique_ptr<CxSFAddrUtil> util;
};

class ExchangeRoundTrip : public ::testing::Test {
protected:
    IsolatedHome home;
    LogCapture log;
};

// The bytes of a parameter file holding the given text values in order.
std::string ParamBytes(const std::vector<std::pair<int32_t, std::string>>& values) {
    Bytes b;
    b.Count(static_cast<uint32_t>(values.size()));
    for (const auto& [tag, text] : values)
        b.Int(tag).Int(8).Text(text);
    return b.Str();
}

struct KindCase {
    const char* stem;
    const char* source;
    const char* word;
    std::function<CxSFBaseUtil*()> make;
    std::vector<std::pair<int32_t, std::string>> extra;
};

std::vector<KindCase> Kinds() {
    return {
        {"SFAddr",
         "CxSFAddr.cpp",
         "Contacts",
         [] {
             auto* u = new CxSFAddrUtil;
             u->SetAddrContact(false);
             u->SetAddrLead(false);
             return u;
         },
         {{1101, "0"}, {1102, "1"}, {1103, "0"}}},
        {"SFDate",
         "CxSFDate.cpp",
         "Calendar",
         [] {
             auto* u = new CxSFDateUtil;
             u->SetEventRange(45000.9, -3.7);
             return u;
         },
         {{1201, "45000"}, {1202, "-3"}}},
        {"SFTask", "CxSFTask.cpp", "Tasks", [] { return new CxSFTaskUtil; }, {}},
        {"SFNote", "CxSFNote.cpp", "Notes", [] { return new CxSFNoteUtil; }, {}},
    };
}

TEST_F(ExchangeRoundTrip, TheParameterFileHoldsEveryValueInOrderAndIsGoneAfterTheRun) {
    for (const KindCase& k : Kinds()) {
        SCOPED_TRACE(k.stem);
        TempDir dir;
        std::unique_ptr<CxSFBaseUtil> util(k.make());
        util->SetDataFolder(dir.Folder().c_str());
        util->SetHelperName(kTool);
        util->SetUserName("demo@example.com");
        util->SetPassword("p\xC3\xA4ss");
        util->SetToken("DEMOTOKEN");
        util->SetLogLocation("/var/log/tessmark/");
        util->SetLogLevel(2);
        util->SetDebugEnabled(true);
        util->SetConnection("salesforce", "https://acme.my.salesforce.com");
        util->Load(); // no data file: fails, but the helper has run

        const std::string stem = k.stem;
        std::vector<std::pair<int32_t, std::string>> expected = {
            {1001, "demo@example.com"},
            {1002, "p\xC3\xA4ss"},
            {1003, "DEMOTOKEN"},
            {1004, stem + ".dat"},
            {1005, dir.Folder()},
            {1006, "1"},
            {1007, stem + "Err.dat"},
            {1008, stem + "Status.dat"},
            {1009, "/var/log/tessmark/"},
            {1010, ""},
            {1011, "2"},
            {1012, "1"},
            {1013, "salesforce"},
            {1014, "https://acme.my.salesforce.com"},
            {1015, "password"},
            {1016, ""},
            {1017, ""}};
        expected.insert(expected.end(), k.extra.begin(), k.extra.end());
        EXPECT_EQ(ReadFileBytes(dir.Path("param-copy.dat")), ParamBytes(expected));

        const std::string run = ReadFileBytes(dir.Path("tool-run.txt"));
        EXPECT_NE(run.find("argv1=" + dir.Path(stem + "Param.dat") + "\n"), std::string::npos)
            << run;
        EXPECT_NE(run.find("mode=600\n"), std::string::npos) << run;
        EXPECT_FALSE(FileExists(dir.Path(stem + "Param.dat")));
    }
}

// The common values a task exchange object in dir sends, as at construction.
std::vector<std::pair<int32_t, std::string>> TaskParams(const TempDir& dir, const char* request) {
    return {{1001, ""},
            {1002, ""},
            {1003, ""},
            {1004, "SFTask.dat"},
            {1005, dir.Folder()},
            {1006, request},
            {1007, "SFTaskErr.dat"},
            {1008, "SFTaskStatus.dat"},
            {1009, "appdebug.log"},
            {1010, ""},
            {1011, "3"},
            {1012, "0"}};
}

// The connection goes after the common values only once a kind was given;
// without one the helper goes by its own settings file.
TEST_F(ExchangeRoundTrip, TheConnectionIsSentOnlyWithAKind) {
    const std::string longTarget = "/" + std::string(257, 'o') + "\xC3\xA9.db"; // é across 259
    struct Case {
        const char* name;
        bool told;
        const char* kind;
        std::string target;
        std::vector<std::pair<int32_t, std::string>> sent;
    } cases[] = {
        {"never told", false, "", "", {}},
        {"empty kind", true, "", "https://login.salesforce.com", {}},
        {"null kind", true, nullptr, "https://login.salesforce.com", {}},
        {"local org", true, "local", "/orgs/demo.db", {{1013, "local"}, {1014, "/orgs/demo.db"}}},
        {"local org from the helper's settings", true, "local", "", {{1013, "local"}, {1014, ""}}},
        // A cut path would name another org.
        {"a path that does not fit is not sent",
         true,
         "local",
         longTarget,
         {{1013, "local"}, {1014, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        CxSFTaskUtil util;
        util.SetDataFolder(dir.Folder().c_str());
        util.SetHelperName(kTool);
        if (c.told)
            util.SetConnection(c.kind, c.target.c_str());
        util.Load();

        std::vector<std::pair<int32_t, std::string>> expected = TaskParams(dir, "1");
        expected.insert(expected.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(ReadFileBytes(dir.Path("param-copy.dat")), ParamBytes(expected));
    }
}

// The sign-in follows the connection, and only the salesforce backend gets it.
TEST_F(ExchangeRoundTrip, TheSignInIsSentToSalesforceOnly) {
    const char kKey[] = "3MVG9key.With_Marks";
    const char kCallback[] = "http://localhost:1717/OauthRedirect";
    const char kUrl[] = "https://acme.my.salesforce.com";
    struct Case {
        const char* name;
        const char* kind;
        const char* target;
        const char* method; // null: never set
        std::vector<std::pair<int32_t, std::string>> sent;
    } cases[] = {
        {"browser",
         "salesforce",
         kUrl,
         "browser",
         {{1013, "salesforce"}, {1014, kUrl}, {1015, "browser"}, {1016, kKey}, {1017, kCallback}}},
        {"method never set",
         "salesforce",
         kUrl,
         nullptr,
         {{1013, "salesforce"}, {1014, kUrl}, {1015, "password"}, {1016, kKey}, {1017, kCallback}}},
        {"local org",
         "local",
         "/orgs/demo.db",
         "browser",
         {{1013, "local"}, {1014, "/orgs/demo.db"}}},
        {"helper's own settings", "", "", "browser", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        CxSFTaskUtil util;
        util.SetDataFolder(dir.Folder().c_str());
        util.SetHelperName(kTool);
        util.SetConnection(c.kind, c.target);
        if (c.method)
            util.SetSignInMethod(c.method);
        util.SetConsumerKey(kKey);
        util.SetCallbackUrl(kCallback);
        util.Load();

        std::vector<std::pair<int32_t, std::string>> expected = TaskParams(dir, "1");
        expected.insert(expected.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(ReadFileBytes(dir.Path("param-copy.dat")), ParamBytes(expected));
    }
}

// Sign-out: request 4, the helper's last progress line as its answer (never
// one an earlier run left), the data file left alone; a failure gives the
// helper's reason.
TEST_F(ExchangeRoundTrip, SignOutSendsRequestFourAndTakesTheHelpersAnswer) {
    const char kSignedOut[] =
        "Signed out: the browser sign-in of demo@example.com was ended and forgotten.";
    struct Case {
        const char* name;
        std::string control;
        bool signedOut;
        std::string answer;
        const char* error;
    } cases[] = {
        {"signed out", std::string("Progress=") + kSignedOut + "\n", true, kSignedOut, ""},
        {"nothing kept", "Progress=There was no browser sign-in of demo@example.com to forget.\n",
         true, "There was no browser sign-in of demo@example.com to forget.", ""},
        {"refused with a reason", "Progress=Not told\nErrorCount=1\nExitStatus=7\n", false,
         "Not told", "Tool error 1"},
        {"error reported on a clean exit", "ErrorCount=2\n", false, "", "Tool error 2"},
        {"exit status alone", "ExitStatus=7\n", false, "",
         "The helper program tessmark_test_helper ended with exit status 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.util->SetConnection("salesforce", "https://acme.my.salesforce.com");
        s.util->SetSignInMethod("browser");
        s.util->SetConsumerKey("3MVG9key");
        s.util->SetCallbackUrl("http://localhost:1717/OauthRedirect");
        const std::string data = ReadFileBytes(s.In("good.dat"));
        WriteFileBytes(s.In("SFAddr.dat"), data);
        WriteFileBytes(s.In("SFAddrStatus.dat"), "Loaded 3 contacts.\n");
        s.Control(c.control);

        EXPECT_EQ(s.util->SignOut(), c.signedOut);
        EXPECT_EQ(s.util->GetRequest(), 4);
        EXPECT_EQ(s.util->HasError(), !c.signedOut);
        EXPECT_STREQ(s.util->GetLastError(), c.error);
        EXPECT_EQ(s.util->ReadProgressLine(), c.answer);
        const std::string sent = ReadFileBytes(s.In("param-copy.dat"));
        EXPECT_NE(sent.find(Bytes().Int(1006).Int(8).Text("4").Str()), std::string::npos);
        EXPECT_NE(sent.find(Bytes().Int(1015).Int(8).Text("browser").Str()), std::string::npos);
        EXPECT_EQ(ReadFileBytes(s.In("SFAddr.dat")), data);
        EXPECT_EQ(s.Runs(), 1u);
    }
}

// Undelete: request 3 with the results file's name alone (tag 1018, only with
// this request), the data file left alone, the helper's report read back.
TEST_F(ExchangeRoundTrip, UndeleteSendsTheResultsFileNameAndReadsTheReport) {
    struct Case {
        const char* name;
        const char* control;
        bool ran;
        int32_t requested;
        int32_t restored;
        const char* error;
    } cases[] = {
        {"all back", "UndeleteRequested=3\nUndeleteRestored=3\nUndeleteResults=/d/r.csv\n", true, 3,
         3, ""},
        {"one purged", "UndeleteRequested=3\nUndeleteRestored=2\nErrorCount=1\n", true, 3, 2,
         "Tool error 1"},
        {"failed run", "ErrorCount=1\nExitStatus=7\n", false, -1, -1, "Tool error 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        const std::string data = ReadFileBytes(s.In("good.dat"));
        WriteFileBytes(s.In("SFAddr.dat"), data);
        s.Control(c.control);
        EXPECT_EQ(s.util->Undelete("/some/folder/SFAddrResults-20261211-161900.csv"), c.ran);
        EXPECT_EQ(s.util->GetRequest(), 3);
        EXPECT_EQ(s.util->GetRequestedCount(), c.requested);
        EXPECT_EQ(s.util->GetRestoredCount(), c.restored);
        EXPECT_STREQ(s.util->GetFirstError(), c.error);
        EXPECT_STREQ(s.util->GetRestoredFile(), c.restored == 3 ? "/d/r.csv" : "");
        const std::string sent = ReadFileBytes(s.In("param-copy.dat"));
        EXPECT_NE(sent.find(Bytes().Int(1006).Int(8).Text("3").Str()), std::string::npos);
        EXPECT_NE(
            sent.find(Bytes().Int(1018).Int(8).Text("SFAddrResults-20261211-161900.csv").Str()),
            std::string::npos);
        EXPECT_EQ(ReadFileBytes(s.In("SFAddr.dat")), data);
        // A later submit sends no results file.
        s.Control("");
        s.LoadGood();
        EXPECT_EQ(ReadFileBytes(s.In("param-copy.dat")).find(Bytes().Int(1018).Str()),
                  std::string::npos);
        EXPECT_EQ(s.util->GetRestoredCount(), -1);
    }
    // No file named: the helper is not run.
    Scene s;
    EXPECT_FALSE(s.util->Undelete(""));
    EXPECT_EQ(s.Runs(), 0u);
}

// The backup a submit names is read with its report.
TEST_F(ExchangeRoundTrip, TheBackupFileIsReadWithTheSubmitReport) {
    Scene s;
    s.LoadGood();
    s.util->MarkDeleted(s.Records()[0]->Entry, false);
    s.Control("SubmitDeleted=1\nSubmitBackup=/d/Backups/Contacts-20261211-161900.csv\n");
    ASSERT_TRUE(s.util->Submit());
    EXPECT_STREQ(s.util->GetBackupFile(), "/d/Backups/Contacts-20261211-161900.csv");
    s.util->MarkDeleted(s.Records()[1]->Entry, false);
    s.Control("SubmitDeleted=1\n");
    ASSERT_TRUE(s.util->Submit());
    EXPECT_STREQ(s.util->GetBackupFile(), "");
}

TEST_F(ExchangeRoundTrip, ReadProgressLineTakesTheLastLineThatIsNotEmpty) {
    const struct {
        const char* file; // null: no progress file
        const char* line;
    } cases[] = {
        {nullptr, ""},
        {"", ""},
        {"\n\r\n", ""},
        {"Signing in to salesforce as demo\n", "Signing in to salesforce as demo"},
        {"first\r\nlast\r\n\n", "last"},
        {"first\nno line end", "no line end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        Scene s;
        if (c.file)
            WriteFileBytes(s.In("SFAddrStatus.dat"), c.file);
        EXPECT_EQ(s.util->ReadProgressLine(), c.line);
    }
}

TEST_F(ExchangeRoundTrip, LoadReportsFromTheKindsOwnModule) {
    for (const KindCase& k : Kinds()) {
        SCOPED_TRACE(k.stem);
        TempDir dir;
        std::unique_ptr<CxSFBaseUtil> util(k.make());
        util->SetDataFolder(dir.Folder().c_str());
        util->SetHelperName(kTool);
        WriteFileBytes(dir.Path("empty.dat"), Bytes().Count(0).Str());
        const std::string word = k.word;
        const std::string source = std::string("[") + k.source + " ";

        log.Reset();
        WriteFileBytes(dir.Path("tool.ini"), "[Tool]\nDataFrom=empty.dat\n");
        EXPECT_TRUE(util->Load()) << util->GetLastError();
        EXPECT_FALSE(util->HasError());
        EXPECT_NE(log.Line("Start loading SalesForce " + word + ".").find(source),
                  std::string::npos)
            << log.Text();
        EXPECT_NE(log.Line("Load SalesForce " + word + " information successfully.").find(source),
                  std::string::npos);

        WriteFileBytes(dir.Path("tool.ini"), "[Tool]\n");
        EXPECT_FALSE(util->Load());
        const std::string failed = log.Line("Failed to load SalesForce " + word + " information.");
        EXPECT_NE(failed.find(source), std::string::npos) << log.Text();
        EXPECT_NE(failed.find("!!!"), std::string::npos);
    }
}

TEST_F(ExchangeRoundTrip, ALoadFailsWhenTheHelperDoesAndNeverShowsOldOrPartialData) {
    struct Case {
        const char* name;
        const char* helper;
        const char* control;
        uint32_t timeoutMs;
        std::string error; // "{dir}" stands for the data folder
        bool helperRuns;
    } cases[] = {
        {"missing program", "tessmark-no-such-helper", "", 0,
         "The helper program tessmark-no-such-helper could not be started: No such file or "
         "directory",
         false},
        {"exit status", kTool, "DataFrom=good.dat\nExitStatus=3\n", 0,
         "The helper program tessmark_test_helper ended with exit status 3", true},
        {"exit status with errors", kTool, "DataFrom=good.dat\nErrorCount=2\nExitStatus=3\n", 0,
         "Tool error 2", true},
        {"signal", kTool, "DataFrom=good.dat\nSignal=9\n", 0,
         "The helper program tessmark_test_helper was ended by signal 9", true},
        {"time-out", kTool, "DataFrom=good.dat\nSleepMs=3000\n", 300,
         "The helper program tessmark_test_helper did not finish within 300 milliseconds", true},
        {"reported errors", kTool, "DataFrom=good.dat\nErrorCount=3\n", 0, "Tool error 3", true},
        {"truncated data", kTool, "DataFrom=truncated.dat\n", 0,
         "The data file {dir}SFAddr.dat is missing or incomplete", true},
        {"no data", kTool, "", 0, "The data file {dir}SFAddr.dat is missing or incomplete", true},
        {"parameter file", kTool, "DataFrom=good.dat\n", 0,
         "The parameter file {dir}SFAddrParam.dat could not be written: Is a directory", false},
        {"stopped on request", kTool, "DataFrom=good.dat\nExitStatus=6\n", 0,
         "The helper program tessmark_test_helper was stopped on request.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        const std::string good = ReadFileBytes(s.In("good.dat"));
        WriteFileBytes(s.In("truncated.dat"), good.substr(0, good.size() - 5));
        // Data of an earlier run that must not be shown as this one's.
        WriteFileBytes(s.In("SFAddr.dat"), good);
        if (std::string(c.name) == "parameter file")
            std::filesystem::create_directory(s.In("SFAddrParam.dat"));
        s.util->SetHelperName(c.helper);
        if (c.timeoutMs)
            s.util->SetHelperTimeout(c.timeoutMs);
        s.Control(c.control);
        log.Reset();

        EXPECT_FALSE(s.util->Load());
        std::string error = c.error;
        if (error.find("{dir}") != std::string::npos)
            error.replace(error.find("{dir}"), 5, s.dir.Folder());
        EXPECT_TRUE(s.util->HasError());
        EXPECT_EQ(std::string(s.util->GetLastError()), error);
        EXPECT_EQ(s.util->GetRecordList()->GetCount(), 0u);
        EXPECT_EQ(s.util->GetAddrMgr()->GetRecordCount(), 0u);
        EXPECT_NE(log.Line(error).find("!!!"), std::string::npos) << log.Text();
        EXPECT_TRUE(log.Has("Failed to load SalesForce Contacts information."));
        EXPECT_EQ(s.Runs(), c.helperRuns ? 1u : 0u);
    }
}

// A data folder whose files' paths would not fit 259 characters is refused
// whole: no parameter file (password and token) under a cut name, no run.
TEST_F(ExchangeRoundTrip, ADataFolderTooLongForItsFilesIsRefusedNotCut) {
    for (size_t length : {245u, 250u, 255u, 256u, 300u}) {
        SCOPED_TRACE(length);
        TempDir dir;
        const size_t fill = length - 2 - dir.Folder().size(); // two folders, two separators
        const std::string folder = dir.Folder() + std::string(fill / 2, 'd') + "/" +
                                   std::string(fill - fill / 2, 'e') + "/";
        ASSERT_EQ(folder.size(), length);
        std::filesystem::create_directories(folder);
        CxSFAddrUtil util;
        util.SetDataFolder(folder.c_str());
        util.SetHelperName(kTool);
        util.SetPassword("demo");
        util.SetToken("DEMOTOKEN");
        log.Reset();

        EXPECT_FALSE(util.Load());
        EXPECT_EQ(std::string(util.GetLastError()), "The data folder path is too long: " + folder);
        EXPECT_NE(log.Line("The data folder path is too long: " + folder).find("!!!"),
                  std::string::npos);
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Folder()))
            EXPECT_TRUE(e.is_directory()) << e.path();
    }
}

TEST_F(ExchangeRoundTrip, OnlyThisRunsErrorsAndStopRequestCount) {
    Scene s;
    // An error file and a stop request left by an earlier run.
    WriteFileBytes(s.In("SFAddrErr.dat"), "[Error]\nError.Count=1\nError.1=old\n");
    WriteFileBytes(s.In("SFAddr.ini"), "[Status]\nRunning=0\nStop=1\n");
    s.LoadGood();
    EXPECT_FALSE(s.util->HasError()) << s.util->GetLastError();
    EXPECT_NE(ReadFileBytes(s.In("tool-run.txt")).find("stop=0\n"), std::string::npos);
}

TEST_F(ExchangeRoundTrip, SubmitSendsTheMarksOnceAndThenHasNothingToDo) {
    Scene s;
    s.LoadGood();
    std::vector<SFAddrRec*> recs = s.Records();
    EXPECT_TRUE(s.util->MarkDeleted(recs[1]->Entry, false));
    EXPECT_TRUE(s.util->IsChanged());

    EXPECT_TRUE(s.util->Submit()) << s.util->GetLastError();
    EXPECT_FALSE(s.util->HasError());
    EXPECT_FALSE(s.util->IsChanged());
    EXPECT_EQ(s.Runs(), 2u);
    EXPECT_NE(ReadFileBytes(s.In("param-copy.dat")).find(Bytes().Int(1006).Int(8).Text("2").Str()),
              std::string::npos);
    std::vector<SFAddrRec> sent = s.FileRecords();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].ChangeAction, 0);
    EXPECT_EQ(sent[1].ChangeAction, kChangeActionDelete);
    EXPECT_EQ(sent[2].ChangeAction, 0);

    std::filesystem::remove(s.In("SFAddr.dat"));
    log.Reset();
    EXPECT_TRUE(s.util->Submit());
    EXPECT_TRUE(log.Has("There is no new changes and no need to submit information to server."));
    EXPECT_EQ(s.Runs(), 2u);
    EXPECT_FALSE(FileExists(s.In("SFAddr.dat")));
}

TEST_F(ExchangeRoundTrip, ASubmitThatRanReportsTheHelpersErrors) {
    Scene s;
    s.LoadGood();
    s.util->MarkDeleted(s.Records()[0]->Entry, false);
    s.Control("ErrorCount=2\n");
    EXPECT_TRUE(s.util->Submit());
    EXPECT_TRUE(s.util->HasError());
    EXPECT_STREQ(s.util->GetLastError(), "Tool error 2");
    EXPECT_FALSE(s.util->IsChanged());
}

// Section Submit of the error file: what the helper found marked, what it
// deleted and where the outcome of every record is; -1 and empty where it
// does not say, also after a run that failed.
TEST_F(ExchangeRoundTrip, TheSubmitReportIsReadAfterEveryRun) {
    struct Case {
        const char* control;
        int32_t marked;
        int32_t deleted;
        const char* results;
        bool submitted;
    } cases[] = {
        {"", -1, -1, "", true},
        {"SubmitMarked=3\nSubmitDeleted=2\nSubmitResults=/data/SFAddrResults.csv\n", 3, 2,
         "/data/SFAddrResults.csv", true},
        {"SubmitDeleted=0\nErrorCount=1\n", -1, 0, "", true},
        {"SubmitMarked=-4\nSubmitDeleted=two\n", -1, -1, "", true},
        {"SubmitMarked=+4\nSubmitDeleted=7x\n", -1, -1, "", true},
        {"SubmitMarked=1\nSubmitDeleted=99999999999\n", 1, -1, "", true},
        {"SubmitMarked=1\nSubmitDeleted=0\nSubmitResults=r.csv\nExitStatus=3\n", 1, 0, "r.csv",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        Scene s;
        s.LoadGood();
        EXPECT_EQ(s.util->GetDeletedCount(), -1);
        s.util->MarkDeleted(s.Records()[0]->Entry, false);
        s.Control(c.control);
        EXPECT_EQ(s.util->Submit(), c.submitted);
        EXPECT_EQ(s.util->GetMarkedCount(), c.marked);
        EXPECT_EQ(s.util->GetDeletedCount(), c.deleted);
        EXPECT_STREQ(s.util->GetResultsFile(), c.results);
    }

    // A later run without a report, or a submit with nothing to send, says nothing.
    Scene s;
    s.LoadGood();
    auto submitWith = [&s](const char* control, size_t record) {
        s.util->MarkDeleted(s.Records()[record]->Entry, false);
        s.Control(control);
        return s.util->Submit();
    };
    ASSERT_TRUE(submitWith("SubmitDeleted=1\nSubmitResults=r.csv\n", 0));
    ASSERT_EQ(s.util->GetDeletedCount(), 1);
    EXPECT_TRUE(submitWith("", 1));
    EXPECT_EQ(s.util->GetDeletedCount(), -1);
    EXPECT_STREQ(s.util->GetResultsFile(), "");
    ASSERT_TRUE(submitWith("SubmitDeleted=1\n", 2));
    ASSERT_EQ(s.util->GetDeletedCount(), 1);
    EXPECT_TRUE(s.util->Submit());
    EXPECT_EQ(s.util->GetDeletedCount(), -1);
}

TEST_F(ExchangeRoundTrip, AFailedSubmitKeepsTheMarks) {
    struct Case {
        const char* name;
        const char* helper;
        const char* control;
        const char* blockedFile; // made a folder, so it cannot be written
        std::string error;
        size_t runs;
    } cases[] = {
        {"missing program", "tessmark-no-such-helper", "", nullptr,
         "The helper program tessmark-no-such-helper could not be started: No such file or "
         "directory",
         1},
        {"exit status", kTool, "ExitStatus=3\n", nullptr,
         "The helper program tessmark_test_helper ended with exit status 3", 2},
        {"data file", kTool, "", "SFAddr.dat", "Can not save information to temperary file.", 1},
        {"parameter file", kTool, "", "SFAddrParam.dat",
         "The parameter file {dir}SFAddrParam.dat could not be written: Is a directory", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.LoadGood();
        SFAddrRec* marked = s.Records()[2];
        ASSERT_TRUE(s.util->MarkDeleted(marked->Entry, false));
        s.util->SetHelperName(c.helper);
        s.Control(c.control);
        if (c.blockedFile) {
            std::filesystem::remove(s.In(c.blockedFile));
            std::filesystem::create_directory(s.In(c.blockedFile));
        }
        log.Reset();

        EXPECT_FALSE(s.util->Submit());
        EXPECT_TRUE(s.util->IsChanged());
        EXPECT_TRUE(s.util->HasError());
        std::string error = c.error;
        if (error.find("{dir}") != std::string::npos)
            error.replace(error.find("{dir}"), 5, s.dir.Folder());
        EXPECT_EQ(std::string(s.util->GetLastError()), error);
        EXPECT_NE(log.Line(s.util->GetLastError()).find("!!!"), std::string::npos) << log.Text();
        EXPECT_EQ(s.Runs(), c.runs);
        EXPECT_EQ(s.Records().size(), 3u);
        EXPECT_EQ(marked->ChangeAction, kChangeActionDelete);
    }
}

TEST_F(ExchangeRoundTrip, MarkDeleted) {
    Scene s;
    s.LoadGood();
    ASSERT_TRUE(s.util->Submit());
    ASSERT_FALSE(s.util->IsChanged());
    const size_t runs = s.Runs();

    EXPECT_FALSE(s.util->MarkDeleted(nullptr, false));
    // An entry without a record of this object changes nothing, also when asked
    // to submit at once.
    CommAddrRec loose;
    CommAddrRec* entry = s.util->GetAddrMgr()->AddRecord(&loose);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(s.util->MarkDeleted(entry, false));
    EXPECT_TRUE(s.util->MarkDeleted(entry, true));
    EXPECT_FALSE(s.util->IsChanged());
    EXPECT_EQ(s.Runs(), runs);
    for (SFAddrRec* r : s.Records())
        EXPECT_EQ(r->ChangeAction, 0);

    // Submitted at once: the record goes once the helper has run cleanly.
    SFAddrRec* first = s.Records()[0];
    const std::string firstId = first->Id;
    EXPECT_TRUE(s.util->MarkDeleted(first->Entry, true));
    EXPECT_EQ(s.Runs(), runs + 1);
    ASSERT_EQ(s.Records().size(), 2u);
    EXPECT_NE(std::string(s.Records()[0]->Id), firstId);
    EXPECT_EQ(s.util->GetAddrMgr()->GetRecordCount(), 3u); // two records and the loose entry
    EXPECT_EQ(s.FileRecords()[0].ChangeAction, kChangeActionDelete);

    // A failed submit keeps the record, marked.
    s.util->SetHelperName("tessmark-no-such-helper");
    SFAddrRec* second = s.Records()[0];
    EXPECT_FALSE(s.util->MarkDeleted(second->Entry, true));
    ASSERT_EQ(s.Records().size(), 2u);
    EXPECT_EQ(second->ChangeAction, kChangeActionDelete);
    EXPECT_TRUE(s.util->IsChanged());
}

TEST_F(ExchangeRoundTrip, ReadHelperErrorTakesTheLastError) {
    struct Case {
        const char* file; // null: no error file
        bool hasError;
        const char* text;
    } cases[] = {
        {nullptr, false, ""},
        {"[Error]\nError.Count=0\nError.1=ignored\n", false, ""},
        {"[Error]\nError.Count=-2\n", false, ""},
        {"[Error]\nError.Count=3\nError.1=first\nError.2=second\nError.3=third\n", true, "third"},
        {"[Error]\nError.Count=2\nError.1=first\n", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        Scene s;
        if (c.file)
            WriteFileBytes(s.In("SFAddrErr.dat"), c.file);
        s.util->ReadHelperError();
        EXPECT_EQ(s.util->HasError(), c.hasError);
        EXPECT_STREQ(s.util->GetLastError(), c.text);
    }
}

TEST_F(ExchangeRoundTrip, DestructionAsksOnlyItsOwnRunningHelperToStop) {
    // A helper that outlives its time-out stays this program's until it ends.
    Scene own;
    own.util->SetHelperName(kTool);
    own.util->SetHelperTimeout(200);
    own.Control("DataFrom=good.dat\nSleepMs=3000\n");
    EXPECT_FALSE(own.util->Load());
    const pid_t helper = CxSFBaseUtil::KindRunner(skAddr)->GetProcessId();
    ASSERT_GT(helper, 0);

    struct Case {
        const char* name;
        std::string state; // empty: no state file
        bool stop;
    } cases[] = {
        {"no state file", "", false},
        {"not running", "[Status]\nRunning=0\n", false},
        {"no running key", "[Status]\nStop=0\n", false},
        // Left by a helper that died, or by another program's.
        {"running without a pid", "[Status]\nRunning=1\nStop=0\n", false},
        {"another process", "[Status]\nRunning=1\nPid=1\nStop=0\n", false},
        {"this program's helper",
         "[Status]\nRunning=1\nPid=" + std::to_string(helper) + "\nStop=0\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        if (!c.state.empty())
            WriteFileBytes(s.In("SFAddr.ini"), c.state);
        WriteFileBytes(s.In("SFAddrStatus.dat"), "progress\n");
        s.util.reset();
        if (!c.stop) {
            if (!c.state.empty())
                EXPECT_EQ(ReadFileBytes(s.In("SFAddr.ini")), c.state);
            else
                EXPECT_FALSE(FileExists(s.In("SFAddr.ini")));
        } else {
            EXPECT_EQ(IniValue(s.In("SFAddr.ini"), "Status", "Stop"), "1");
            EXPECT_EQ(IniValue(s.In("SFAddr.ini"), "Status", "Running"), "1");
        }
        EXPECT_FALSE(FileExists(s.In("SFAddrStatus.dat")));
    }
    kill(helper, SIGKILL);
    CxSFBaseUtil::KindRunner(skAddr)->StopHelper();
}

TEST_F(ExchangeRoundTrip, EachKindKeepsOneRunner) {
    CxSFDataReader* addr = CxSFBaseUtil::KindRunner(skAddr);
    ASSERT_NE(addr, nullptr);
    EXPECT_EQ(CxSFBaseUtil::KindRunner(skAddr), addr);
    EXPECT_NE(CxSFBaseUtil::KindRunner(skDate), addr);
    EXPECT_EQ(CxSFBaseUtil::KindRunner(skNone), nullptr);
}

} // namespace
