// The real helper program against the stand-in of the CRM's API on 127.0.0.1:
// sign-in and its faults, loading every kind page by page, deleting only what
// is safe with a result per record, and the faults of a server on a bad day.
#include "SfHelperSupport.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using namespace sfhelpere2e;

TEST_F(SfHelperTest, LoadsContactsFromTheThreeObjectsAcrossPages) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{});
    std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);

    // The person account's contact loads as the account only.
    std::vector<std::string> ids;
    for (const SFAddrRec& r : recs)
        ids.push_back(r.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{Id("003", 1), Id("003", 2), Id("003", 3), Id("003", 5),
                                             Id("001", 1), Id("001", 2), Id("001", 3), Id("001", 4),
                                             Id("00Q", 1), Id("00Q", 2)}));
    const SFAddrRec& bjorn = recs[2];
    EXPECT_EQ(bjorn.ObjectKind, 1);
    EXPECT_STREQ(bjorn.FirstName, "Björn");
    EXPECT_STREQ(bjorn.Email, "bjorn@b.example");
    EXPECT_DOUBLE_EQ(bjorn.BirthDate, ExpectedDate("1980-02-03"));
    EXPECT_DOUBLE_EQ(bjorn.LastModificationTime, ExpectedDate("2024-05-04T10:00:00"));
    const SFAddrRec& beta = recs[5];
    EXPECT_EQ(beta.ObjectKind, 2);
    EXPECT_STREQ(beta.Name, "Beta Ltd");
    EXPECT_STREQ(beta.MailingCity, "Kraków");
    EXPECT_STREQ(beta.CustomLabel[2], "Website");
    EXPECT_TRUE(recs[6].IsPersonAccount);
    EXPECT_EQ(recs[8].ObjectKind, 3);
    EXPECT_STREQ(recs[8].CustomValue[0], "Acme");
    for (size_t i = 0; i < recs.size(); ++i)
        EXPECT_EQ(recs[i].ChangeAction, 0);

    // Pages of two were followed to the end; only fields describe lists were asked for.
    EXPECT_EQ(m_server->CountRequests({"/query/"}), 3u);
    EXPECT_EQ(m_server->CountRequests({"queryOptions", "batchSize=2000"}),
              m_server->CountRequests({"/query"}));
    EXPECT_EQ(m_server->CountRequests({"AssistantName"}), 0u);
    EXPECT_EQ(m_server->CountRequests({"FROM Contact", "Birthdate"}), 1u);
    EXPECT_EQ(m_server->CountRequests({"INVALID_FIELD"}), 0u);
}

TEST_F(SfHelperTest, EventsShowLocalTimeTasksAndNotesLoadToo) {
    Start(SmallOrg());
    // Central European time: +1 in January, +2 in July; creation times stay UTC.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    const int code = SfLoad(kDate);
    unsetenv("TZ");
    ASSERT_EQ(code, 0) << Errors(kDate)[0];
    std::vector<SFDateRec> events = ReadData<SFDateRec>(kDate);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_STREQ(events[0].Subject, "Summer review");
    EXPECT_DOUBLE_EQ(events[0].StartTime, ExpectedDate("2024-07-01T10:30:00"));
    EXPECT_DOUBLE_EQ(events[1].StartTime, ExpectedDate("2024-01-15T09:30:00"));
    EXPECT_DOUBLE_EQ(events[0].CreationTime, ExpectedDate("2024-07-01T08:30:00"));
    EXPECT_DOUBLE_EQ(events[0].ActivityDate, ExpectedDate("2024-07-01"));
    EXPECT_EQ(events[0].RecurrenceType, 3);

    ASSERT_EQ(SfLoad(kTask), 0) << Errors(kTask)[0];
    std::vector<SFTaskRec> tasks = ReadData<SFTaskRec>(kTask);
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_STREQ(tasks[1].Subject, "Send offer");
    EXPECT_DOUBLE_EQ(tasks[1].DueDate, ExpectedDate("2024-06-30"));

    ASSERT_EQ(SfLoad(kNote), 0) << Errors(kNote)[0];
    std::vector<SFNoteRec> notes = ReadData<SFNoteRec>(kNote);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[2].HelperData, 3);
    // The note list that finds them again is private.
    struct stat st {};
    ASSERT_EQ(stat(InData("SFNoteIds.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SfHelperTest, EverySignInFaultIsNamedAndNothingLoads) {
    struct Case {
        const char* fault;
        const char* text;
    } cases[] = {
        {"INVALID_LOGIN", "Salesforce refused the user name, password or security token."},
        {"INVALID_OPERATION", "This org does not allow sign-in with a password and security "
                              "token (SOAP API login() is switched off)."},
        {"LOGIN_MUST_USE_SECURITY_TOKEN", "Salesforce asks for the security token"},
        {"INVALID_OPERATION_WITH_EXPIRED_PASSWORD", "The password of this user has expired"},
        {"API_DISABLED_FOR_ORG", "API access is not enabled for this org"},
        {"INSUFFICIENT_ACCESS", "This user may not sign in through the API"},
    };
    Start(SmallOrg());
    for (const Case& c : cases) {
        m_server->Control(std::string("{\"faults\":[{\"kind\":\"login_fault\",\"code\":\"") +
                          c.fault + "\"}]}");
        EXPECT_EQ(SfLoad(kAddr), 4) << c.fault;
        ASSERT_EQ(Errors(kAddr).size(), 1u) << c.fault;
        EXPECT_EQ(Errors(kAddr)[0].rfind(c.text, 0), 0u) << Errors(kAddr)[0];
        EXPECT_FALSE(FileExists(InData(kAddr.data))) << c.fault;
    }
    // A wrong password, from the user's own hand.
    m_server->Control("{}");
    m_login.password = "wrong";
    EXPECT_EQ(SfLoad(kAddr), 4);
    EXPECT_EQ(Errors(kAddr)[0], "Salesforce refused the user name, password or security token.");
    EXPECT_EQ(m_server->CountRequests({"/services/data"}), 0u);
}

TEST_F(SfHelperTest, ALoadRidesOutPassingFaultsAndNamesTheOthers) {
    struct Case {
        const char* name;
        const char* faults;
        int exit;
        const char* text; // the start of the error; null: the load succeeds
    } cases[] = {
        {"session expires in the middle", R"({"kind":"expire_sessions","path":"/query/","skip":1})",
         0, nullptr},
        {"unavailable twice", R"({"kind":"status","status":503,"path":"/query","times":2})", 0,
         nullptr},
        {"request limit", R"({"kind":"status","status":403,"path":"/query/","times":-1})", 7,
         "Loading Contacts failed: Salesforce refused further requests: the org's API request "
         "limit is used up"},
        {"cut-off page", R"({"kind":"malformed","path":"/query/"})", 7,
         "Salesforce sent an unreadable page while loading Contacts"},
        {"not JSON", R"({"kind":"garbage","path":"/query"})", 7,
         "Salesforce sent an unreadable page while loading Contacts"},
        {"no answer", R"({"kind":"hang","seconds":3,"path":"/query/","times":-1})", 7,
         "Loading Contacts failed: Salesforce did not answer in time"},
        {"bad field",
         R"({"kind":"status","status":400,"errorCode":"INVALID_FIELD",)"
         R"("message":"No such column","path":"/query"})",
         7, "Loading Contacts failed: Salesforce refused the request (HTTP 400): INVALID_FIELD"},
    };
    Start(SmallOrg());
    for (const Case& c : cases) {
        m_server->Control(std::string("{\"faults\":[") + c.faults + "]}");
        const size_t logins = m_server->CountRequests({"/services/Soap/"});
        EXPECT_EQ(SfLoad(kAddr), c.exit) << c.name;
        if (!c.text) {
            EXPECT_EQ(Errors(kAddr), std::vector<std::string>{}) << c.name;
            EXPECT_EQ(ReadData<SFAddrRec>(kAddr).size(), 10u) << c.name;
        } else {
            ASSERT_EQ(Errors(kAddr).size(), 1u) << c.name;
            EXPECT_EQ(Errors(kAddr)[0].rfind(c.text, 0), 0u) << c.name << ": " << Errors(kAddr)[0];
            EXPECT_FALSE(FileExists(InData(kAddr.data))) << c.name;
        }
        // Only an expired session signs in again, once.
        const size_t expected = std::string(c.name) == "session expires in the middle" ? 2 : 1;
        EXPECT_EQ(m_server->CountRequests({"/services/Soap/"}) - logins, expected) << c.name;
    }
}

TEST_F(SfHelperTest, SubmitDeletesOnlyWhatIsSafeAndReportsEveryRecord) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0);
    const std::string c1 = Id("003", 1), c2 = Id("003", 2), c3 = Id("003", 3), c5 = Id("003", 5);
    const std::string a1 = Id("001", 1), a2 = Id("001", 2), a3 = Id("001", 3), a4 = Id("001", 4);
    const std::string l1 = Id("00Q", 1);
    MarkAndWrite<SFAddrRec>(kAddr, {c2, c3, c5, a1, a2, a3, a4, l1});
    // C3 is edited in the org after the load; C5 is locked once; L1 cannot go.
    m_server->Control(R"({"modify":{")" + c3 +
                      R"(":{"LastModifiedDate":"2026-12-01T09:00:00.000+0000"}},"faults":[)"
                      R"({"kind":"lock","ids":[")" +
                      c5 + R"("],"times":1},{"kind":"delete_error","ids":[")" + l1 +
                      R"("],"statusCode":"DELETE_FAILED","message":"Lead is converted"}]})");

    ASSERT_EQ(SfSubmit(kAddr), 0) << Errors(kAddr)[0];
    // A1 keeps its contact C1, A4 its case; the person account goes with its own contact.
    EXPECT_EQ(m_server->Deleted(), (std::set<std::string>{c2, c5, a2, a3}));
    EXPECT_EQ(m_server->Deleted(true), (std::set<std::string>{c2, c5, a2, a3, Id("003", 4)}));
    EXPECT_EQ(Errors(kAddr), (std::vector<std::string>{
                                 "Record " + c3 +
                                     " was changed in salesforce after it was loaded and was "
                                     "not deleted.",
                                 l1 + ": DELETE_FAILED: Lead is converted",
                                 "Account " + a1 +
                                     " was not deleted: deleting it would also delete its 1 "
                                     "contacts, 0 opportunities and 0 cases.",
                                 "Account " + a4 +
                                     " was not deleted: deleting it would also delete its 0 "
                                     "contacts, 0 opportunities and 1 cases.",
                             }));
    EXPECT_EQ(SubmitValue(kAddr, "Marked"), "8");
    EXPECT_EQ(SubmitValue(kAddr, "Deleted"), "4");
    std::vector<std::string> lines = ResultLines(kAddr);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Id,Name,Outcome,StatusCode,Message");
    EXPECT_EQ(lines[1], c2 + ",Ann Lee,deleted,,");
    EXPECT_EQ(lines[2].rfind(c3 + ",Björn Öst,not deleted,CHANGED,", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], c5 + ",Cy Doe,deleted,,");
    EXPECT_EQ(lines[4].rfind(a1 + ",Alpha Ltd,not deleted,HAS_RELATED_RECORDS,", 0), 0u);
    EXPECT_EQ(lines[8], l1 + ",Lane,not deleted,DELETE_FAILED,Lead is converted");
    // The lock was tried again; deletions went in requests of the composite call.
    EXPECT_EQ(m_server->CountRequests({"DELETE", Id("003", 5).c_str()}), 2u);
    EXPECT_NE(ReadFileBytes(InData(kAddr.progress)).find("Deleted 4 of 8 contacts."),
              std::string::npos);
}

TEST_F(SfHelperTest, ManyDeletionsGoTwoHundredARequestAndSurviveAnExpiredSession) {
    standin::Org org = SmallOrg();
    org.objects["Task"].clear();
    for (int i = 1; i <= 450; ++i)
        org.objects["Task"].push_back(Task(i, "Task " + std::to_string(i)));
    Start(org, 0);
    ASSERT_EQ(SfLoad(kTask), 0);
    std::vector<SFTaskRec> tasks = ReadData<SFTaskRec>(kTask);
    ASSERT_EQ(tasks.size(), 450u);
    std::set<std::string> marked;
    for (SFTaskRec& t : tasks)
        if (std::string(t.Subject) != "Task 7") {
            t.ChangeAction = 3;
            marked.insert(t.Id);
        }
    WriteData(kTask, tasks);
    m_server->Control(R"({"faults":[{"kind":"expire_sessions","path":"/composite/","skip":1}]})");

    ASSERT_EQ(SfSubmit(kTask), 0) << Errors(kTask)[0];
    EXPECT_EQ(m_server->Deleted(), marked);
    EXPECT_EQ(SubmitValue(kTask, "Deleted"), "449");
    // 449 ids: three requests, and the one refused for the expired session again.
    EXPECT_EQ(m_server->CountRequests({"\"DELETE\""}), 4u);
    EXPECT_EQ(m_server->CountRequests({"/services/Soap/"}), 3u);
}

TEST_F(SfHelperTest, NotesAreFoundAgainThroughTheirList) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kNote), 0);
    std::vector<SFNoteRec> notes = ReadData<SFNoteRec>(kNote);
    notes[1].ChangeAction = 3;
    WriteData(kNote, notes);
    ASSERT_EQ(SfSubmit(kNote), 0) << Errors(kNote)[0];
    EXPECT_EQ(m_server->Deleted(), std::set<std::string>{Id("002", 2)});
    EXPECT_EQ(ResultLines(kNote)[1], Id("002", 2) + ",Second,deleted,,");

    // Without the list no note can be told apart: nothing is deleted.
    std::filesystem::remove(InData("SFNoteIds.txt"));
    notes[0].ChangeAction = 3;
    WriteData(kNote, notes);
    EXPECT_EQ(SfSubmit(kNote), 5);
    EXPECT_NE(Errors(kNote)[0].find("load the notes again"), std::string::npos);
    EXPECT_EQ(m_server->Deleted().size(), 1u);
}

TEST_F(SfHelperTest, AServerThatStopsAnsweringDuringDeletionLeavesATrueReport) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kTask), 0);
    MarkAndWrite<SFTaskRec>(kTask, {Id("00T", 1), Id("00T", 2)});
    m_server->Control(
        R"({"faults":[{"kind":"hang","seconds":3,"path":"/composite/","times":-1}]})");
    EXPECT_EQ(SfSubmit(kTask), 7);
    EXPECT_EQ(Errors(kTask).back().rfind("Salesforce did not answer in time", 0), 0u)
        << Errors(kTask).back();
    EXPECT_EQ(SubmitValue(kTask, "Deleted"), "0");
    // The stand-in never deleted them, but the helper cannot know: it says so.
    std::vector<std::string> lines = ResultLines(kTask);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find(",unknown,"), std::string::npos) << lines[1];
}

TEST_F(SfHelperTest, AnUntrustedCertificateIsRefused) {
    testsupport::TempDir dir;
    const std::string cert = dir.Path("cert.pem"), key = dir.Path("key.pem");
    ASSERT_TRUE(standin::MakeSelfSignedCertificate(cert, key));
    m_server = std::make_unique<standin::Server>(SmallOrg(), 0, cert, key);
    ASSERT_TRUE(m_server->Started());
    m_url = m_server->Url(true);
    EXPECT_EQ(SfLoad(kAddr), 7);
    const std::string error = Errors(kAddr)[0];
    EXPECT_EQ(error.rfind("Cannot reach salesforce at " + m_url, 0), 0u) << error;
    EXPECT_NE(error.find("certificate"), std::string::npos) << error;
    // The password never left the helper.
    EXPECT_EQ(m_server->CountRequests({"/services/Soap/"}), 0u);
}

TEST_F(SfHelperTest, PlainHttpGoesOnlyToThisComputer) {
    m_url = "http://192.0.2.1:8080";
    EXPECT_EQ(SfLoad(kAddr), 2);
    EXPECT_EQ(Errors(kAddr)[0].rfind("The address \"http://192.0.2.1:8080", 0), 0u)
        << Errors(kAddr)[0];
}

TEST_F(SfHelperTest, SecretsNeverReachTheLogOrTheFiles) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0);
    MarkAndWrite<SFAddrRec>(kAddr, {Id("003", 2)});
    m_server->Control(R"({"faults":[{"kind":"expire_sessions","path":"/composite/"}]})");
    ASSERT_EQ(SfSubmit(kAddr), 0);
    m_login.password = "wrong-secret";
    EXPECT_EQ(SfLoad(kAddr), 4);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DataFolder())) {
        // The backup of the deleted records, in its folder, is read too.
        if (entry.is_directory())
            continue;
        if (entry.path().filename() == kAddr.param)
            continue; // the one file meant for them
        const std::string bytes = ReadFileBytes(entry.path().string());
        for (const char* secret : {"secret-pw", "TOKEN123", "wrong-secret", "00D000000000001!"})
            EXPECT_EQ(bytes.find(secret), std::string::npos)
                << secret << " in " << entry.path().filename();
    }
}

TEST_F(SfHelperTest, ALoadStopsBetweenPagesOnRequest) {
    Start(SmallOrg());
    // The second page keeps the helper waiting, long enough to ask it to stop.
    m_server->Control(R"({"faults":[{"kind":"hang","seconds":1,"path":"/query/","times":-1}]})");
    WriteParams(kAddr, 1, m_login, Connection());
    pid_t pid = -1;
    ASSERT_EQ(RunProgram(kAddr.helper, {InData(kAddr.param)}, &pid), 0);
    std::string progress;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline &&
           progress.rfind("Loading Contacts from salesforce: 2 of 5", 0) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        progress = ReadFileBytes(InData(kAddr.progress));
    }
    EXPECT_EQ(progress, "Loading Contacts from salesforce: 2 of 5\n");
    CxIniUtil state(nullptr, nullptr);
    state.SetPath(InData(kAddr.state).c_str());
    ASSERT_NE(state.WriteInt("Status", "Stop", 1), 0);
    EXPECT_EQ(WaitExit(pid), 6);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{"Stopped on request."});
    EXPECT_FALSE(FileExists(InData(kAddr.data)));
}
