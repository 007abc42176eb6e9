// Submit requests of the real helper program: deletions move rows into the
// recycle bin, exactly those marked, all or nothing.
#include "HelperE2ESupport.h"

using namespace helpere2e;

namespace {

class HelperSubmit : public HelperTest {
protected:
    void SetUp() override {
        HelperTest::SetUp();
        MakeOrg();
    }

    // Loads the contacts and marks the first contact, account and lead; the
    // account is freed of its contacts unless keepContacts says otherwise.
    std::vector<SFAddrRec> LoadAndMarkOneOfEachObject(std::vector<std::string>& markedIds,
                                                      bool keepContacts = false) {
        EXPECT_EQ(Load(kAddr), 0);
        std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
        for (int kind = 1; kind <= 3; ++kind)
            for (SFAddrRec& r : recs)
                if (r.ObjectKind == kind) {
                    r.ChangeAction = 3;
                    markedIds.push_back(r.Id);
                    if (kind == 2 && !keepContacts)
                        Exec("UPDATE Contact SET AccountId = NULL WHERE AccountId = '" +
                             std::string(r.Id) + "'");
                    break;
                }
        EXPECT_EQ(markedIds.size(), 3u);
        return recs;
    }
};

} // namespace

TEST_F(HelperSubmit, DeletesExactlyTheMarkedContactsIntoTheRecycleBin) {
    std::vector<std::string> ids;
    std::vector<SFAddrRec> recs = LoadAndMarkOneOfEachObject(ids);
    // Another value the system hands back unchanged means nothing to the helper.
    recs.back().ChangeAction = 2;
    const long long contacts = Count("Contact"), accounts = Count("Account"), leads = Count("Lead");
    auto names = Query("SELECT Name FROM Account WHERE Id = '" + ids[1] + "'");
    ASSERT_EQ(names.size(), 1u);
    WriteData(kAddr, recs);

    ASSERT_EQ(Submit(kAddr), 0);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{});
    EXPECT_EQ(Count("Contact"), contacts - 1);
    EXPECT_EQ(Count("Account"), accounts - 1);
    EXPECT_EQ(Count("Lead"), leads - 1);
    const char* objects[] = {"Contact", "Account", "Lead"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Count(objects[i], "Id = '" + ids[i] + "'"), 0);
        EXPECT_EQ(Count("RecycleBin", "Id = '" + ids[i] + "' AND ObjectType = '" + objects[i] +
                                          "' AND json_extract(Record, '$.Id') = Id"),
                  1);
    }
    EXPECT_EQ(Count("RecycleBin"), 3);
    // The whole row is kept, so the record could be restored.
    auto kept =
        Query("SELECT json_extract(Record, '$.Name'), DeletedById FROM RecycleBin WHERE Id = '" +
              ids[1] + "'");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0][0], names[0][0]);
    EXPECT_EQ(kept[0][1].substr(0, 3), "005");
}

TEST_F(HelperSubmit, EventsTasksAndNotesAreDeletedByKind) {
    struct Case {
        const KindFiles* kind;
        const char* table;
    } cases[] = {{&kDate, "Event"}, {&kTask, "Task"}, {&kNote, "Note"}};
    const long long contacts = Count("Contact");
    long long binned = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(Load(*c.kind), 0);
        const long long before = Count(c.table);
        std::vector<std::string> gone;
        if (c.kind == &kNote) {
            std::vector<SFNoteRec> notes = ReadData<SFNoteRec>(kNote);
            notes[0].ChangeAction = notes[5].ChangeAction = 3;
            gone = {std::to_string(notes[0].HelperData), std::to_string(notes[5].HelperData)};
            WriteData(kNote, notes);
        } else if (c.kind == &kDate) {
            std::vector<SFDateRec> events = ReadData<SFDateRec>(kDate);
            events[0].ChangeAction = events[5].ChangeAction = 3;
            gone = {events[0].Id, events[5].Id};
            WriteData(kDate, events);
        } else {
            std::vector<SFTaskRec> tasks = ReadData<SFTaskRec>(kTask);
            tasks[0].ChangeAction = tasks[5].ChangeAction = 3;
            gone = {tasks[0].Id, tasks[5].Id};
            WriteData(kTask, tasks);
        }
        ASSERT_EQ(Submit(*c.kind), 0) << c.table;
        EXPECT_EQ(Errors(*c.kind), std::vector<std::string>{}) << c.table;
        EXPECT_EQ(Count(c.table), before - 2) << c.table;
        const char* key = c.kind == &kNote ? "Seq" : "Id";
        for (const std::string& g : gone)
            EXPECT_EQ(Count(c.table, std::string(key) + " = '" + g + "'"), 0) << c.table << g;
        binned += 2;
        EXPECT_EQ(Count("RecycleBin", std::string("ObjectType = '") + c.table + "'"), 2);
    }
    EXPECT_EQ(Count("RecycleBin"), binned);
    // Contacts are untouched by the other kinds.
    EXPECT_EQ(Count("Contact"), contacts);
}

TEST_F(HelperSubmit, AnIdNotInTheOrgIsAnErrorAndTheOthersAreStillDeleted) {
    std::vector<std::string> ids;
    std::vector<SFAddrRec> recs = LoadAndMarkOneOfEachObject(ids);
    // The lead is gone from the org meanwhile; a marked record names an id the
    // org never had.
    Exec("DELETE FROM Lead WHERE Id = '" + ids[2] + "'");
    SFAddrRec stranger = recs[1];
    CopyText(stranger.Id, "003Tm00000009ZZIAQ");
    stranger.ChangeAction = 3;
    recs.push_back(stranger);
    WriteData(kAddr, recs);
    const long long contacts = Count("Contact"), accounts = Count("Account");

    ASSERT_EQ(Submit(kAddr), 0);
    std::vector<std::string> errors = Errors(kAddr);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find(ids[2]), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("003Tm00000009ZZIAQ"), std::string::npos) << errors[1];
    EXPECT_NE(errors[1].find("not in the org"), std::string::npos) << errors[1];
    EXPECT_EQ(Count("Contact"), contacts - 1);
    EXPECT_EQ(Count("Account"), accounts - 1);
    EXPECT_EQ(Count("RecycleBin"), 2);
}

TEST_F(HelperSubmit, ADataFileThatCannotBeReadWholeDeletesNothing) {
    std::vector<std::string> ids;
    std::vector<SFAddrRec> recs = LoadAndMarkOneOfEachObject(ids);
    WriteData(kAddr, recs);
    const std::string whole = testsupport::ReadFileBytes(InData(kAddr.data));
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"cut inside the last record", whole.substr(0, whole.size() - 10), "ends inside record"},
        {"cut inside the count", whole.substr(0, 2), "no record count"},
        {"bytes after the last record", whole + "x", "more bytes"},
    };
    const std::vector<long long> before = AllCounts();
    for (const Case& c : cases) {
        testsupport::WriteFileBytes(InData(kAddr.data), c.bytes);
        EXPECT_EQ(Submit(kAddr), 5) << c.name;
        std::vector<std::string> errors = Errors(kAddr);
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_NE(errors[0].find(c.reason), std::string::npos) << errors[0];
        EXPECT_NE(errors[0].find("nothing was deleted"), std::string::npos) << errors[0];
        EXPECT_EQ(AllCounts(), before) << c.name;
    }
    std::filesystem::remove(InData(kAddr.data));
    EXPECT_EQ(Submit(kAddr), 5);
    EXPECT_EQ(AllCounts(), before);
}

TEST_F(HelperSubmit, ARecordMarkedTwiceIsDeletedOnce) {
    std::vector<std::string> ids;
    std::vector<SFAddrRec> recs = LoadAndMarkOneOfEachObject(ids);
    recs.push_back(recs[0]); // the first contact again, marked
    ASSERT_EQ(recs[0].ChangeAction, 3);
    WriteData(kAddr, recs);
    ASSERT_EQ(Submit(kAddr), 0);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{});
    EXPECT_EQ(Count("RecycleBin"), 3);
}

TEST_F(HelperSubmit, ManyErrorsEndInOneSummaryEntry) {
    ASSERT_EQ(Load(kAddr), 0);
    std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
    SFAddrRec ghost = recs[0];
    ghost.ChangeAction = 3;
    for (int i = 0; i < 150; ++i) {
        CopyText(ghost.Id, ("003Tm0000GHOST" + std::to_string(1000 + i)).c_str());
        recs.push_back(ghost);
    }
    recs[1].ChangeAction = 3;
    WriteData(kAddr, recs);
    ASSERT_EQ(Submit(kAddr), 0);
    std::vector<std::string> errors = Errors(kAddr);
    ASSERT_EQ(errors.size(), 100u);
    EXPECT_NE(errors[0].find("003Tm0000GHOST1000"), std::string::npos) << errors[0];
    EXPECT_EQ(errors.back(), "51 more errors are not listed.");
    EXPECT_EQ(Count("RecycleBin"), 1);
}

TEST_F(HelperSubmit, AnAccountWithContactsIsKeptUnlessItsContactsGoFirst) {
    std::vector<std::string> ids;
    std::vector<SFAddrRec> recs = LoadAndMarkOneOfEachObject(ids, true);
    const std::string account = ids[1];
    const long long related = Count("Contact", "AccountId = '" + account + "'");
    ASSERT_GT(related, 0);
    WriteData(kAddr, recs);
    ASSERT_EQ(Submit(kAddr), 0);
    const long long stillRelated = Count("Contact", "AccountId = '" + account + "'");
    EXPECT_EQ(Errors(kAddr),
              std::vector<std::string>{
                  "Account " + account + " was not deleted: deleting it would also delete its " +
                  std::to_string(stillRelated) + " contacts, 0 opportunities and 0 cases."});
    EXPECT_EQ(Count("Account", "Id = '" + account + "'"), 1);

    // Ticking the account together with all its contacts deletes them all.
    ASSERT_EQ(Load(kAddr), 0);
    recs = ReadData<SFAddrRec>(kAddr);
    for (SFAddrRec& r : recs)
        if (account == r.Id || account == r.AccountId)
            r.ChangeAction = 3;
    WriteData(kAddr, recs);
    ASSERT_EQ(Submit(kAddr), 0);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{});
    EXPECT_EQ(Count("Account", "Id = '" + account + "'"), 0);
    EXPECT_EQ(Count("Contact", "AccountId = '" + account + "'"), 0);
}

TEST_F(HelperSubmit, APersonAccountsContactLoadsAndGoesOnlyWithItsAccount) {
    ASSERT_EQ(Load(kAddr), 0);
    std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
    std::string account;
    for (const SFAddrRec& r : recs)
        if (r.ObjectKind == 2)
            account = r.Id;
    Exec("UPDATE Contact SET AccountId = NULL WHERE AccountId = '" + account + "'");
    Exec("UPDATE Account SET IsPersonAccount = 1 WHERE Id = '" + account + "'");
    Exec("INSERT INTO Contact (Id, LastName, AccountId, IsPersonAccount) VALUES "
         "('003Tm00000000PPIAA', 'Person', '" +
         account + "', 1)");
    ASSERT_EQ(Load(kAddr), 0);
    recs = ReadData<SFAddrRec>(kAddr);
    for (SFAddrRec& r : recs) {
        EXPECT_STRNE(r.Id, "003Tm00000000PPIAA");
        if (account == r.Id)
            r.ChangeAction = 3;
    }
    // A person contact marked by hand is still refused as a contact.
    SFAddrRec person = recs[0];
    CopyText(person.Id, "003Tm00000000PPIAA");
    person.IsPersonAccount = true;
    person.ChangeAction = 3;
    recs.push_back(person);
    WriteData(kAddr, recs);
    ASSERT_EQ(Submit(kAddr), 0);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{
                                 "Contact 003Tm00000000PPIAA belongs to a person account and was "
                                 "not deleted; delete the person account instead."});
    // The account went; its own contact is the same person, so it did not hold it back.
    EXPECT_EQ(Count("Account", "Id = '" + account + "'"), 0);
}

TEST_F(HelperSubmit, ANoteWhoseRowWasReusedIsNotDeleted) {
    ASSERT_EQ(Load(kNote), 0);
    std::vector<SFNoteRec> notes = ReadData<SFNoteRec>(kNote);
    ASSERT_GE(notes.size(), 3u);
    // Meanwhile the first note goes and a new one takes over its row number.
    const std::string seq = Query("SELECT Seq FROM Note ORDER BY Seq LIMIT 1")[0][0];
    Exec("DELETE FROM Note WHERE Seq = " + seq);
    Exec("INSERT INTO Note (Seq, Id, Title) VALUES (" + seq + ", '002Tm00000000NWIAA', 'New')");
    notes[0].ChangeAction = 3;
    notes[2].ChangeAction = 3;
    WriteData(kNote, notes);
    const long long before = Count("Note");

    ASSERT_EQ(Submit(kNote), 0);
    ASSERT_EQ(Errors(kNote).size(), 1u);
    EXPECT_NE(Errors(kNote)[0].find("is not in the org and was not deleted"), std::string::npos)
        << Errors(kNote)[0];
    EXPECT_EQ(Count("Note", "Id = '002Tm00000000NWIAA'"), 1);
    EXPECT_EQ(Count("Note"), before - 1);
}

TEST_F(HelperSubmit, TheParameterFileIsGoneOnceTheHelperReadIt) {
    ASSERT_EQ(Load(kAddr), 0);
    EXPECT_FALSE(testsupport::FileExists(InData(kAddr.param)));
    // The state file names the helper that ran.
    EXPECT_GT(StateValue(kAddr, "Pid"), 0);
}
