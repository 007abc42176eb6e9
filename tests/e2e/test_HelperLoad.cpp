// Load requests of the real helper program against a local org.
#include "HelperE2ESupport.h"

#include <sys/stat.h>
#include <thread>

using namespace helpere2e;

namespace {

class HelperLoad : public HelperTest {
protected:
    void ExpectCleanRun(const KindFiles& kind, size_t records) {
        EXPECT_EQ(Errors(kind), std::vector<std::string>{});
        EXPECT_EQ(StateValue(kind, "Running"), 0);
        std::string progress = testsupport::ReadFileBytes(InData(kind.progress));
        EXPECT_NE(progress.find("Loaded " + std::to_string(records) + " "), std::string::npos)
            << progress;
        struct stat st {};
        ASSERT_EQ(stat(InData(kind.data).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
};

} // namespace

TEST_F(HelperLoad, ContactsComeFromTheThreeObjectsInOrder) {
    MakeOrg();
    const char kAddedId[] = "003Tm00000000ZZIAA";
    // A name longer than its member is cut at a character boundary: 20 "ü"
    // are 40 bytes; FirstName keeps 31 bytes, so 15 characters.
    std::string longName;
    for (int i = 0; i < 20; ++i)
        longName += "\xC3\xBC";
    Exec("INSERT INTO Contact (Id, FirstName, LastName, Name, Birthdate, LastModifiedDate) "
         "VALUES ('" +
         std::string(kAddedId) + "', '" + longName +
         "', '\xC5\x81ukasz', 'x', '1980-02-29', "
         // Two hours east of UTC, and a fraction that rounds up to the next second.
         "'2024-02-01T01:59:59.600+0200')");
    ASSERT_EQ(Load(kAddr), 0);

    std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
    auto contacts = Query("SELECT Id, Name, Email, LastName, Birthdate, LastModifiedDate, Seq "
                          "FROM Contact ORDER BY Seq");
    auto accounts = Query("SELECT Id, Name, BillingCity, ShippingCity, LastModifiedDate, Seq "
                          "FROM Account ORDER BY Seq");
    auto leads = Query("SELECT Id, Name, Email, Company, LastModifiedDate, Seq FROM Lead "
                       "ORDER BY Seq");
    ASSERT_EQ(recs.size(), contacts.size() + accounts.size() + leads.size());
    ExpectCleanRun(kAddr, recs.size());

    size_t i = 0;
    for (const auto& row : contacts) {
        const SFAddrRec& r = recs[i++];
        EXPECT_EQ(r.ObjectKind, 1);
        EXPECT_EQ(r.ChangeAction, 0);
        EXPECT_EQ(std::string(r.Id), row[0]);
        EXPECT_EQ(std::string(r.Name), row[1]);
        EXPECT_EQ(std::string(r.Email), row[2]);
        EXPECT_EQ(std::string(r.LastName), row[3]);
        EXPECT_DOUBLE_EQ(r.BirthDate, ExpectedDate(row[4])) << row[4];
        if (row[0] != kAddedId) { // its zone is checked below
            EXPECT_DOUBLE_EQ(r.LastModificationTime, ExpectedDate(row[5])) << row[5];
        }
        EXPECT_EQ(r.HelperData, std::stoi(row[6]));
    }
    const SFAddrRec& added = recs[contacts.size() - 1];
    EXPECT_EQ(std::string(added.FirstName), longName.substr(0, 30));
    EXPECT_EQ(std::string(added.LastName), "\xC5\x81ukasz");
    EXPECT_DOUBLE_EQ(added.BirthDate, 29280.0); // 1980-02-29
    EXPECT_DOUBLE_EQ(added.LastModificationTime, ExpectedDate("2024-02-01T00:00:00"));
    for (const auto& row : accounts) {
        const SFAddrRec& r = recs[i++];
        EXPECT_EQ(r.ObjectKind, 2);
        EXPECT_EQ(std::string(r.Id), row[0]);
        EXPECT_EQ(std::string(r.Name), row[1]);
        // The billing address is the main address of an account.
        EXPECT_EQ(std::string(r.MailingCity), row[2]);
        EXPECT_EQ(std::string(r.BillingCity), row[2]);
        EXPECT_EQ(std::string(r.ShippingCity), row[3]);
        EXPECT_DOUBLE_EQ(r.LastModificationTime, ExpectedDate(row[4]));
    }
    for (const auto& row : leads) {
        const SFAddrRec& r = recs[i++];
        EXPECT_EQ(r.ObjectKind, 3);
        EXPECT_EQ(std::string(r.Id), row[0]);
        EXPECT_EQ(std::string(r.Name), row[1]);
        EXPECT_EQ(std::string(r.Email), row[2]);
        EXPECT_EQ(std::string(r.CustomLabel[0]), "Company");
        EXPECT_EQ(std::string(r.CustomValue[0]), row[3].substr(0, 63));
        EXPECT_DOUBLE_EQ(r.LastModificationTime, ExpectedDate(row[4]));
    }
}

TEST_F(HelperLoad, EventsTasksAndNotesMatchTheOrg) {
    MakeOrg();
    ASSERT_EQ(Load(kDate), 0);
    std::vector<SFDateRec> events = ReadData<SFDateRec>(kDate);
    auto eventRows = Query("SELECT Id, Subject, StartDateTime, EndDateTime, IsAllDayEvent, "
                           "Location, RecurrenceType, RecurrenceInterval FROM Event ORDER BY Seq");
    ASSERT_EQ(events.size(), eventRows.size());
    ExpectCleanRun(kDate, events.size());
    const std::map<std::string, int> kRecurrence{
        {"", 0}, {"RecursWeekly", 3}, {"RecursMonthly", 4}, {"RecursYearlyNth", 7}};
    for (size_t i = 0; i < events.size(); ++i) {
        const SFDateRec& e = events[i];
        const auto& row = eventRows[i];
        EXPECT_EQ(std::string(e.Id), row[0]);
        EXPECT_EQ(std::string(e.Subject), row[1]);
        EXPECT_DOUBLE_EQ(e.StartTime, ExpectedDate(row[2]));
        EXPECT_DOUBLE_EQ(e.EndTime, ExpectedDate(row[3]));
        EXPECT_EQ(e.AllDayEvent, row[4] == "1");
        EXPECT_EQ(std::string(e.Location), row[5]);
        ASSERT_EQ(kRecurrence.count(row[6]), 1u) << row[6];
        EXPECT_EQ(e.RecurrenceType, kRecurrence.at(row[6]));
        EXPECT_EQ(e.RecurrenceInterval, row[7].empty() ? 0 : std::stoi(row[7]));
    }

    ASSERT_EQ(Load(kTask), 0);
    std::vector<SFTaskRec> tasks = ReadData<SFTaskRec>(kTask);
    auto taskRows = Query("SELECT Id, Subject, ActivityDate, Priority, Status, IsClosed FROM Task "
                          "ORDER BY Seq");
    ASSERT_EQ(tasks.size(), taskRows.size());
    ExpectCleanRun(kTask, tasks.size());
    for (size_t i = 0; i < tasks.size(); ++i) {
        EXPECT_EQ(std::string(tasks[i].Id), taskRows[i][0]);
        EXPECT_EQ(std::string(tasks[i].Subject), taskRows[i][1]);
        EXPECT_DOUBLE_EQ(tasks[i].DueDate, ExpectedDate(taskRows[i][2]));
        EXPECT_EQ(std::string(tasks[i].Priority), taskRows[i][3]);
        EXPECT_EQ(std::string(tasks[i].TaskStatus), taskRows[i][4]);
        EXPECT_EQ(tasks[i].Flag1, taskRows[i][5] == "1");
    }

    ASSERT_EQ(Load(kNote), 0);
    std::vector<SFNoteRec> notes = ReadData<SFNoteRec>(kNote);
    auto noteRows = Query("SELECT Seq FROM Note ORDER BY Seq");
    ASSERT_EQ(notes.size(), noteRows.size());
    ExpectCleanRun(kNote, notes.size());
    // A note record carries only its row number, which finds it again at submit.
    for (size_t i = 0; i < notes.size(); ++i)
        EXPECT_EQ(notes[i].HelperData, std::stoi(noteRows[i][0]));
}

TEST_F(HelperLoad, ContactSourcesThatAreOffAreNotLoaded) {
    MakeOrg();
    const long long contacts = Count("Contact"), accounts = Count("Account"), leads = Count("Lead");
    struct Case {
        const char* contact;
        const char* account;
        const char* lead;
        long long expected;
    } cases[] = {
        {"0", "1", "1", accounts + leads},
        {"1", "0", "1", contacts + leads},
        {"1", "1", "0", contacts + accounts},
        {"0", "0", "0", 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(kAddr, {{1101, c.contact}, {1102, c.account}, {1103, c.lead}}), 0);
        std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
        EXPECT_EQ(static_cast<long long>(recs.size()), c.expected)
            << c.contact << c.account << c.lead;
        for (const SFAddrRec& r : recs) {
            EXPECT_FALSE(r.ObjectKind == 1 && c.contact[0] == '0');
            EXPECT_FALSE(r.ObjectKind == 2 && c.account[0] == '0');
            EXPECT_FALSE(r.ObjectKind == 3 && c.lead[0] == '0');
        }
    }
}

TEST_F(HelperLoad, CalendarRangeLimitsTheEventsByTheirStart) {
    MakeOrg();
    auto starts = Query("SELECT StartDateTime FROM Event ORDER BY StartDateTime");
    ASSERT_GT(starts.size(), 10u);
    // A range from the day of the fourth event to the day of the eighth, both whole.
    const int first = static_cast<int>(ExpectedDate(starts[3][0]));
    const int last = static_cast<int>(ExpectedDate(starts[7][0]));
    size_t inRange = 0, fromFirst = 0;
    for (const auto& row : starts) {
        double d = ExpectedDate(row[0]);
        inRange += d >= first && d < last + 1;
        fromFirst += d >= first;
    }
    struct Case {
        std::string start, end;
        size_t expected;
    } cases[] = {
        {std::to_string(first), std::to_string(last), inRange},
        {std::to_string(first), "0", fromFirst}, // 0: no limit on that side
        {"0", "0", starts.size()},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(kDate, {{1201, c.start}, {1202, c.end}}), 0);
        std::vector<SFDateRec> events = ReadData<SFDateRec>(kDate);
        EXPECT_EQ(events.size(), c.expected) << c.start << " " << c.end;
        for (const SFDateRec& e : events) {
            if (c.start != "0") {
                EXPECT_GE(e.StartTime, first);
            }
            if (c.end != "0") {
                EXPECT_LT(e.StartTime, last + 1);
            }
        }
    }
}

TEST_F(HelperLoad, ReportsProgressAndStopsOnRequest) {
    MakeOrg({"--contacts", "2000", "--accounts", "0", "--leads", "0"});
    // A pause after every record keeps the run going long enough to watch it.
    ConfigureOrg(OrgPath(), "RecordDelayMs=3\n");
    testsupport::WriteFileBytes(InData(kAddr.data), "an older data file");
    WriteParams(kAddr, 1);
    pid_t pid = -1;
    ASSERT_EQ(RunProgram(kAddr.helper, {InData(kAddr.param)}, &pid), 0);

    std::string progress;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        progress = testsupport::ReadFileBytes(InData(kAddr.progress));
        if (StateValue(kAddr, "Running") == 1 && progress.rfind("Loading contacts: ", 0) == 0 &&
            progress.find(" of 2000") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(progress.rfind("Loading contacts: ", 0), 0u) << progress;
    EXPECT_NE(progress.find(" of 2000\n"), std::string::npos) << progress;

    CxIniUtil state(nullptr, nullptr);
    state.SetPath(InData(kAddr.state).c_str());
    ASSERT_NE(state.WriteInt("Status", "Stop", 1), 0);
    EXPECT_EQ(WaitExit(pid), 6);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{"Stopped on request."});
    EXPECT_FALSE(testsupport::FileExists(InData(kAddr.data)));
    EXPECT_EQ(StateValue(kAddr, "Running"), 0);

    // The next run is not stopped by the old request.
    ConfigureOrg(OrgPath());
    ASSERT_EQ(Load(kAddr), 0);
    EXPECT_EQ(ReadData<SFAddrRec>(kAddr).size(), 2000u);
}

TEST_F(HelperLoad, EventTimesReadAsLocalTimeAndCreationStaysUtc) {
    MakeOrg();
    Exec("DELETE FROM Event");
    Exec(
        "INSERT INTO Event (Id, Subject, StartDateTime, EndDateTime, ActivityDate, CreatedDate, "
        "LastModifiedDate) VALUES ('00UTm00000000ZZIAA', 'Review', '2024-07-01T08:30:00.000+0000', "
        "'2024-01-15T23:30:00.000+0000', '2024-07-01', '2024-07-01T08:30:00.000+0000', "
        "'2024-07-01T08:30:00.000+0000')");
    // Central European time: +2 in July, +1 in January (which moves the end to the next day).
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    const int code = Load(kDate);
    unsetenv("TZ");
    ASSERT_EQ(code, 0);
    std::vector<SFDateRec> events = ReadData<SFDateRec>(kDate);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_DOUBLE_EQ(events[0].StartTime, ExpectedDate("2024-07-01T10:30:00"));
    EXPECT_DOUBLE_EQ(events[0].EndTime, ExpectedDate("2024-01-16T00:30:00"));
    EXPECT_DOUBLE_EQ(events[0].ActivityDate, ExpectedDate("2024-07-01"));
    EXPECT_DOUBLE_EQ(events[0].CreationTime, ExpectedDate("2024-07-01T08:30:00"));
    EXPECT_DOUBLE_EQ(events[0].LastModificationTime, ExpectedDate("2024-07-01T08:30:00"));
}
