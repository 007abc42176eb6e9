// The local org through the real helper program: a backup of every deleted row
// before anything is deleted, no deletion without it, and the undelete request
// that puts exactly the deleted records back.
#include "BackupUndoSupport.h"

using namespace helpere2e;

namespace {

class HelperBackupUndo : public HelperTest {
protected:
    void SetUp() override {
        HelperTest::SetUp();
        MakeOrg();
    }

    // Loads the contacts and marks the first contact, account (freed of its
    // contacts) and lead, and an id the org does not have.
    std::vector<std::string> MarkContacts() {
        EXPECT_EQ(Load(kAddr), 0);
        std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
        std::vector<std::string> ids;
        for (int kind = 1; kind <= 3; ++kind)
            for (SFAddrRec& r : recs)
                if (r.ObjectKind == kind) {
                    r.ChangeAction = 3;
                    ids.push_back(r.Id);
                    if (kind == 2)
                        Exec("UPDATE Contact SET AccountId = NULL WHERE AccountId = '" +
                             std::string(r.Id) + "'");
                    break;
                }
        SFAddrRec stranger = recs[0];
        CopyText(stranger.Id, "003Tm00000009ZZIAQ");
        stranger.ChangeAction = 3;
        recs.push_back(stranger);
        WriteData(kAddr, recs);
        return ids;
    }

    int Undo(const KindFiles& kind, const std::string& resultsName) {
        WriteParams(kind, 3, Login(), {{1018, resultsName}});
        return RunHelper(kind);
    }

    std::string Value(const KindFiles& kind, const char* section, const char* key) {
        return IniValue(InData(kind.error), section, key);
    }

    static std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

    const char* kTables[3] = {"Contact", "Account", "Lead"};
};

} // namespace

TEST_F(HelperBackupUndo, TheBackupHoldsEveryColumnOfEveryDeletedRow) {
    const std::vector<std::string> ids = MarkContacts();
    std::vector<std::map<std::string, std::string>> rows;
    for (size_t i = 0; i < 3; ++i)
        rows.push_back(Row(kTables[i], ids[i]));

    ASSERT_EQ(Submit(kAddr), 0);
    const Backup backup = ReadBackup(InData(kAddr.error));
    EXPECT_EQ(Name(backup.path).rfind("Contacts-", 0), 0u) << backup.path;
    // The three deleted rows, not the id the org lacks.
    ASSERT_EQ(backup.byId.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(backup.byId.count(ids[i]), 1u) << ids[i];
        const auto& kept = backup.byId.at(ids[i]);
        EXPECT_EQ(kept.at("Object"), kTables[i]);
        ASSERT_GT(rows[i].size(), 30u);
        for (const auto& [column, value] : rows[i])
            EXPECT_EQ(kept.at(column), value) << kTables[i] << "." << column;
    }
    // A later submit never writes over it.
    const std::string first = backup.path;
    ASSERT_EQ(Load(kAddr), 0);
    std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
    recs[0].ChangeAction = 3;
    WriteData(kAddr, recs);
    ASSERT_EQ(Submit(kAddr), 0);
    EXPECT_NE(Value(kAddr, "Submit", "Backup"), first);
    EXPECT_EQ(ReadBackup(InData(kAddr.error)).byId.size(), 1u);
    EXPECT_EQ(ReadBackup(InData(kAddr.error)).byId.count(recs[0].Id), 1u);
    EXPECT_TRUE(testsupport::FileExists(first));
}

// (A full disk is tried through the API, where no database journal fills up first.)
TEST_F(HelperBackupUndo, ABackupThatCannotBeWrittenDeletesNothing) {
    testsupport::WriteFileBytes(InData("Backups"), "not a folder");
    MarkContacts();
    const std::vector<long long> before = AllCounts();
    EXPECT_EQ(Submit(kAddr), 8);
    EXPECT_EQ(AllCounts(), before);
    // The last error, the one the wizard shows, says why.
    EXPECT_EQ(Errors(kAddr).back(),
              std::string("The backup of the records to delete could not be written: the "
                          "folder \"" +
                          InData("Backups") +
                          "\" cannot be made: a file of that name is in the way; nothing "
                          "was deleted."));
    EXPECT_EQ(Value(kAddr, "Submit", "Deleted"), "0");
    EXPECT_EQ(Value(kAddr, "Submit", "Backup"), "<none>");
}

TEST_F(HelperBackupUndo, UndoPutsBackExactlyTheDeletedRowsAndNamesOneNoLongerInTheBin) {
    const std::vector<std::string> ids = MarkContacts();
    std::vector<std::map<std::string, std::string>> rows;
    for (size_t i = 0; i < 3; ++i)
        rows.push_back(Row(kTables[i], ids[i]));
    const std::vector<long long> before = AllCounts();
    ASSERT_EQ(Submit(kAddr), 0);
    const std::string results = Value(kAddr, "Submit", "Results");
    // The lead is emptied out of the recycle bin meanwhile.
    Exec("DELETE FROM RecycleBin WHERE Id = '" + ids[2] + "'");

    ASSERT_EQ(Undo(kAddr, Name(results)), 0);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{
                                 "Record " + ids[2] +
                                 " is no longer in the recycle bin (it was emptied) and was not "
                                 "restored."});
    EXPECT_EQ(Value(kAddr, "Undelete", "Requested"), "3");
    EXPECT_EQ(Value(kAddr, "Undelete", "Restored"), "2");
    // Every column as it was, the row number too; the bin keeps nothing of them.
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(Row(kTables[i], ids[i]), rows[i]) << kTables[i];
    EXPECT_EQ(Count("Lead"), before[2] - 1);
    EXPECT_EQ(Count("RecycleBin"), 0);
    const std::string restored = Value(kAddr, "Undelete", "Results");
    EXPECT_EQ(Name(restored).rfind("SFAddrRestored-", 0), 0u) << restored;
    EXPECT_EQ(Outcomes(restored),
              (std::map<std::string, std::string>{
                  {ids[0], "restored"}, {ids[1], "restored"}, {ids[2], "not restored"}}));
    EXPECT_NE(testsupport::ReadFileBytes(InData(kAddr.progress)).find("Restored 2 of 3 contacts."),
              std::string::npos);

    // Asked again, nothing is in the bin any more: nothing changes.
    const std::vector<long long> after = AllCounts();
    ASSERT_EQ(Undo(kAddr, Name(results)), 0);
    EXPECT_EQ(Errors(kAddr).size(), 3u);
    EXPECT_EQ(Value(kAddr, "Undelete", "Restored"), "0");
    EXPECT_EQ(AllCounts(), after);
}

TEST_F(HelperBackupUndo, EventsTasksAndNotesComeBackWithTheirRowNumbers) {
    struct Case {
        const KindFiles* kind;
        const char* table;
    } cases[] = {{&kDate, "Event"}, {&kTask, "Task"}, {&kNote, "Note"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        ASSERT_EQ(Load(*c.kind), 0);
        const auto ids = Query(std::string("SELECT Id FROM ") + c.table + " ORDER BY Seq");
        ASSERT_GE(ids.size(), 3u);
        const auto first = Row(c.table, ids[0][0]), third = Row(c.table, ids[2][0]);
        const long long before = Count(c.table);
        // The loaded records in Seq order: mark the first and the third.
        if (c.kind == &kNote) {
            std::vector<SFNoteRec> recs = ReadData<SFNoteRec>(kNote);
            recs[0].ChangeAction = recs[2].ChangeAction = 3;
            WriteData(kNote, recs);
        } else if (c.kind == &kDate) {
            std::vector<SFDateRec> recs = ReadData<SFDateRec>(kDate);
            recs[0].ChangeAction = recs[2].ChangeAction = 3;
            WriteData(kDate, recs);
        } else {
            std::vector<SFTaskRec> recs = ReadData<SFTaskRec>(kTask);
            recs[0].ChangeAction = recs[2].ChangeAction = 3;
            WriteData(kTask, recs);
        }
        ASSERT_EQ(Submit(*c.kind), 0);
        ASSERT_EQ(Count(c.table), before - 2);
        EXPECT_EQ(ReadBackup(InData(c.kind->error)).byId.size(), 2u);
        ASSERT_EQ(Undo(*c.kind, Name(Value(*c.kind, "Submit", "Results"))), 0);
        EXPECT_EQ(Errors(*c.kind), std::vector<std::string>{});
        EXPECT_EQ(Row(c.table, ids[0][0]), first);
        EXPECT_EQ(Row(c.table, ids[2][0]), third);
        EXPECT_EQ(Count(c.table), before);
    }
    EXPECT_EQ(Count("RecycleBin"), 0);
}

TEST_F(HelperBackupUndo, AnUndoWithoutAUsableResultsFileRestoresNothing) {
    MarkContacts();
    ASSERT_EQ(Submit(kAddr), 0);
    testsupport::WriteFileBytes(InData("other.csv"), "Id,Subject\n003Tm00000009ZZIAQ,x\n");
    testsupport::WriteFileBytes(InData("open.csv"),
                                "Id,Name,Outcome,StatusCode,Message\n1,\"not closed,deleted\n");
    struct Case {
        const char* name;
        std::vector<ExtraTag> tags;
        int exit;
        const char* text;
    } cases[] = {
        {"no file named", {}, 2, "The parameter file names no results file of a deletion to undo."},
        {"a folder part", {{1018, "../SFAddrResults.csv"}}, 2, "names no results file"},
        {"missing", {{1018, "SFAddrResults-19990101-000000.csv"}}, 5, "cannot be read"},
        {"another file", {{1018, "other.csv"}}, 5, "is not the results file of a deletion"},
        {"a quote not closed", {{1018, "open.csv"}}, 5, "is not the results file of a deletion"},
    };
    const std::vector<long long> before = AllCounts();
    for (const Case& c : cases) {
        WriteParams(kAddr, 3, Login(), c.tags);
        EXPECT_EQ(RunHelper(kAddr), c.exit) << c.name;
        ASSERT_EQ(Errors(kAddr).size(), 1u) << c.name;
        EXPECT_NE(Errors(kAddr)[0].find(c.text), std::string::npos) << Errors(kAddr)[0];
        EXPECT_EQ(AllCounts(), before) << c.name;
    }
}
