// The real helper program against the stand-in of the CRM's API: every field of
// the records to delete read into a backup before the first deletion, no
// deletion without it, and undelete() bringing back exactly what a submit
// deleted, a purged record named.
#include "BackupUndoSupport.h"
#include "SfHelperSupport.h"

using namespace sfhelpere2e;

namespace {

class SfBackupUndo : public SfHelperTest {
protected:
    int SfUndo(const KindFiles& kind, const std::string& resultsPath) {
        std::vector<ExtraTag> tags = Connection();
        tags.push_back({1018, resultsPath.substr(resultsPath.rfind('/') + 1)});
        WriteParams(kind, 3, m_login, tags);
        return RunHelper(kind);
    }

    std::string Value(const KindFiles& kind, const char* section, const char* key) {
        return IniValue(InData(kind.error), section, key);
    }

    // A value of a stand-in record as the backup writes it: texts bare, null empty.
    static std::string Text(const std::string& json) {
        if (json == "null")
            return "";
        if (json.size() >= 2 && json.front() == '"')
            return json.substr(1, json.size() - 2);
        return json;
    }
};

} // namespace

TEST_F(SfBackupUndo, TheBackupHoldsEveryReadableFieldOfTheRecordsBeforeAnyIsDeleted) {
    standin::Org org = SmallOrg();
    Start(org);
    ASSERT_EQ(SfLoad(kAddr), 0);
    const std::string c2 = Id("003", 2), a2 = Id("001", 2), l1 = Id("00Q", 1);
    MarkAndWrite<SFAddrRec>(kAddr, {c2, a2, l1});
    ASSERT_EQ(SfSubmit(kAddr), 0) << Errors(kAddr)[0];
    EXPECT_EQ(m_server->Deleted(), (std::set<std::string>{c2, a2, l1}));

    const Backup backup = ReadBackup(InData(kAddr.error));
    ASSERT_EQ(backup.byId.size(), 3u);
    struct Case {
        const char* object;
        const std::string& id;
        const Record& record;
    } cases[] = {{"Contact", c2, org.objects["Contact"][1]},
                 {"Account", a2, org.objects["Account"][1]},
                 {"Lead", l1, org.objects["Lead"][0]}};
    for (const Case& c : cases) {
        ASSERT_EQ(backup.byId.count(c.id), 1u) << c.object;
        const auto& kept = backup.byId.at(c.id);
        EXPECT_EQ(kept.at("Object"), c.object);
        for (const auto& [field, json] : c.record)
            EXPECT_EQ(kept.at(field), Text(json)) << c.object << "." << field;
    }
    EXPECT_EQ(backup.byId.at(a2).at("BillingCity"), "Kraków");
    // Read before the first deletion, with the describe's fields and ids.
    const std::vector<std::string> requests = m_server->Requests();
    size_t firstRead = requests.size(), firstDelete = requests.size();
    for (size_t i = requests.size(); i-- > 0;) {
        if (requests[i].find("\"DELETE\"") != std::string::npos)
            firstDelete = i;
        if (requests[i].find("Kraków") == std::string::npos &&
            requests[i].find("BillingCity") != std::string::npos &&
            requests[i].find(a2) != std::string::npos)
            firstRead = i;
    }
    EXPECT_LT(firstRead, firstDelete);
}

TEST_F(SfBackupUndo, ABackupThatCannotBeWrittenDeletesNothing) {
    struct Case {
        const char* name;
        bool folderIsAFile;
        const char* why;
    } cases[] = {
        {"the folder cannot be made", true, "a file of that name is in the way"},
        // The helper may write files of 512 bytes at most: a disk that fills up.
        {"the disk is full", false, "File too large"},
    };
    Start(SmallOrg());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(InData("Backups"));
        if (c.folderIsAFile)
            testsupport::WriteFileBytes(InData("Backups"), "not a folder");
        ASSERT_EQ(SfLoad(kAddr), 0);
        MarkAndWrite<SFAddrRec>(kAddr, {Id("003", 2), Id("003", 3), Id("003", 5), Id("001", 2),
                                        Id("00Q", 1), Id("00Q", 2)});
        WriteParams(kAddr, 2, m_login, Connection());
        const std::string helper =
            "'" + ProgramFolder() + kAddr.helper + "' '" + InData(kAddr.param) + "'";
        const int code = c.folderIsAFile ? RunHelper(kAddr)
                                         : RunProgram("sh", {"-c", "ulimit -f 1 && exec " + helper},
                                                      nullptr, "/bin/");
        EXPECT_EQ(code, 8);
        EXPECT_EQ(m_server->CountRequests({"\"DELETE\""}), 0u);
        EXPECT_TRUE(m_server->Deleted().empty());
        const std::vector<std::string> errors = Errors(kAddr);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(
            errors.back().rfind("The backup of the records to delete could not be written: ", 0),
            0u)
            << errors.back();
        EXPECT_NE(errors.back().find(c.why), std::string::npos) << errors.back();
        EXPECT_NE(errors.back().find("; nothing was deleted."), std::string::npos);
        EXPECT_EQ(Value(kAddr, "Submit", "Deleted"), "0");
        // No half-written backup is left behind.
        if (!c.folderIsAFile) {
            EXPECT_TRUE(std::filesystem::is_empty(InData("Backups")));
        }
    }
}

TEST_F(SfBackupUndo, UndoRestoresExactlyTheDeletedRecordsAndNamesAPurgedOne) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0);
    const std::string c2 = Id("003", 2), c3 = Id("003", 3), c5 = Id("003", 5), a1 = Id("001", 1),
                      a2 = Id("001", 2);
    // A1 keeps its contact and is not deleted: it is not asked back.
    MarkAndWrite<SFAddrRec>(kAddr, {c2, c5, a1, a2});
    ASSERT_EQ(SfSubmit(kAddr), 0);
    ASSERT_EQ(m_server->Deleted(), (std::set<std::string>{c2, c5, a2}));
    const std::string results = Value(kAddr, "Submit", "Results");
    // C5 is emptied out of the recycle bin meanwhile; the session ends just
    // before the undelete call, which signs in again once.
    m_server->Control(
        R"({"purge":[")" + c5 +
        R"("],"faults":[{"kind":"expire_sessions","path":"/services/Soap/","skip":1}]})");

    ASSERT_EQ(SfUndo(kAddr, results), 0) << Errors(kAddr)[0];
    EXPECT_EQ(m_server->Undeleted(), (std::set<std::string>{c2, a2}));
    EXPECT_EQ(Errors(kAddr),
              std::vector<std::string>{c5 + ": UNDELETE_FAILED: Entity is not in the recycle bin"});
    EXPECT_EQ(Value(kAddr, "Undelete", "Requested"), "3");
    EXPECT_EQ(Value(kAddr, "Undelete", "Restored"), "2");
    EXPECT_EQ(Outcomes(Value(kAddr, "Undelete", "Results")),
              (std::map<std::string, std::string>{
                  {c2, "restored"}, {c5, "not restored"}, {a2, "restored"}}));
    EXPECT_EQ(m_server->CountRequests({"\"soap\":\"undelete\"", "\"status\":200"}), 1u);
    // Load, submit, undelete and its second sign-in.
    EXPECT_EQ(m_server->CountRequests({"\"soap\":\"login\""}), 4u);
    // The restored records load again; C3 was never touched.
    ASSERT_EQ(SfLoad(kAddr), 0);
    std::set<std::string> loaded;
    for (const SFAddrRec& r : ReadData<SFAddrRec>(kAddr))
        loaded.insert(r.Id);
    EXPECT_EQ(loaded.count(c2) + loaded.count(a2) + loaded.count(c3), 3u);
    EXPECT_EQ(loaded.count(c5), 0u);
}

TEST_F(SfBackupUndo, ManyRecordsComeBackTwoHundredACall) {
    standin::Org org = SmallOrg();
    org.objects["Task"].clear();
    for (int i = 1; i <= 450; ++i)
        org.objects["Task"].push_back(Task(i, "Task " + std::to_string(i)));
    Start(org, 0);
    ASSERT_EQ(SfLoad(kTask), 0);
    std::vector<SFTaskRec> tasks = ReadData<SFTaskRec>(kTask);
    std::set<std::string> marked;
    for (SFTaskRec& t : tasks) {
        t.ChangeAction = 3;
        marked.insert(t.Id);
    }
    WriteData(kTask, tasks);
    ASSERT_EQ(SfSubmit(kTask), 0) << Errors(kTask)[0];
    EXPECT_EQ(ReadBackup(InData(kTask.error)).byId.size(), 450u);
    ASSERT_EQ(SfUndo(kTask, Value(kTask, "Submit", "Results")), 0) << Errors(kTask)[0];
    EXPECT_EQ(m_server->Undeleted(), marked);
    EXPECT_EQ(m_server->CountRequests({"\"soap\":\"undelete\""}), 3u);
    EXPECT_EQ(Value(kTask, "Undelete", "Restored"), "450");
}

TEST_F(SfBackupUndo, AServerThatStopsAnsweringLeavesAnUndoUnknownNotFailed) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kTask), 0);
    MarkAndWrite<SFTaskRec>(kTask, {Id("00T", 1)});
    ASSERT_EQ(SfSubmit(kTask), 0);
    m_server->Control(
        R"({"faults":[{"kind":"hang","seconds":3,"path":"/services/Soap/","skip":1,"times":-1}]})");
    EXPECT_EQ(SfUndo(kTask, Value(kTask, "Submit", "Results")), 7);
    EXPECT_EQ(Errors(kTask).back().rfind("Salesforce did not answer in time", 0), 0u)
        << Errors(kTask).back();
    EXPECT_EQ(Value(kTask, "Undelete", "Restored"), "0");
    EXPECT_EQ(Outcomes(Value(kTask, "Undelete", "Results")),
              (std::map<std::string, std::string>{{Id("00T", 1), "unknown"}}));
}
