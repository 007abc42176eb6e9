// Shared fixture of the helper tests against the stand-in of the CRM's API:
// record builders, a small org, and runs of the real helper with the
// connection tags.
#pragma once

#include "HelperE2ESupport.h"
#include "StandinSupport.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace sfhelpere2e {

using namespace helpere2e;
using standin::Quote;
using standin::Record;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

inline std::string Id(const char* prefix, int n) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%s%012dAAA", prefix, n);
    return buf;
}

inline Record Contact(int n, const std::string& first, const std::string& last,
                      const std::string& email, const std::string& accountId = "",
                      bool person = false) {
    return {{"Id", Quote(Id("003", n))},
            {"FirstName", Quote(first)},
            {"LastName", Quote(last)},
            {"Name", Quote(first + " " + last)},
            {"Email", Quote(email)},
            {"AccountId", accountId.empty() ? "null" : Quote(accountId)},
            {"Birthdate", Quote("1980-02-03")},
            {"IsPersonAccount", person ? "true" : "false"},
            {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
            {"LastModifiedDate",
             Quote("2024-05-0" + std::to_string(n % 9 + 1) + "T10:00:00.000+0000")}};
}

inline Record Account(int n, const std::string& name, const std::string& city,
                      bool person = false) {
    return {{"Id", Quote(Id("001", n))},
            {"Name", Quote(name)},
            {"BillingCity", Quote(city)},
            {"Website", Quote("https://example.com/" + std::to_string(n))},
            {"IsPersonAccount", person ? "true" : "false"},
            {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
            {"LastModifiedDate", Quote("2024-04-01T10:00:00.000+0000")}};
}

inline Record Lead(int n, const std::string& last, const std::string& company) {
    return {{"Id", Quote(Id("00Q", n))},
            {"LastName", Quote(last)},
            {"Company", Quote(company)},
            {"Status", Quote("Open")},
            {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
            {"LastModifiedDate", Quote("2024-03-01T10:00:00.000+0000")}};
}

inline Record Event(int n, const std::string& subject, const std::string& start) {
    return {{"Id", Quote(Id("00U", n))},
            {"Subject", Quote(subject)},
            {"StartDateTime", Quote(start)},
            {"EndDateTime", Quote(start)},
            {"ActivityDate", Quote(start.substr(0, 10))},
            {"IsAllDayEvent", "false"},
            {"DurationInMinutes", "30"},
            {"RecurrenceType", Quote("RecursWeekly")},
            {"CreatedDate", Quote(start)},
            {"LastModifiedDate", Quote(start)}};
}

inline Record Task(int n, const std::string& subject) {
    return {{"Id", Quote(Id("00T", n))},
            {"Subject", Quote(subject)},
            {"ActivityDate", Quote("2024-06-30")},
            {"Status", Quote("Not Started")},
            {"IsClosed", "false"},
            {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
            {"LastModifiedDate", Quote("2024-02-01T10:00:00.000+0000")}};
}

inline Record Note(int n, const std::string& title) {
    return {{"Id", Quote(Id("002", n))},
            {"Title", Quote(title)},
            {"Body", Quote("text")},
            {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
            {"LastModifiedDate",
             Quote("2024-02-0" + std::to_string(n % 9 + 1) + "T10:00:00.000+0000")}};
}

// Contacts C1..C5 (C4 the contact of person account A3), accounts A1 (with C1),
// A2 (nothing related), A3 (person account), A4 (with a case), leads L1, L2.
inline standin::Org SmallOrg() {
    standin::Org org;
    org.objects["Contact"] = {Contact(1, "Ann", "Lee", "ann@a.example", Id("001", 1)),
                              Contact(2, "Ann", "Lee", "ANN@a.example"),
                              Contact(3, "Björn", "Öst", "bjorn@b.example"),
                              Contact(4, "Pat", "Person", "pat@p.example", Id("001", 3), true),
                              Contact(5, "Cy", "Doe", "cy@c.example")};
    org.objects["Account"] = {Account(1, "Alpha Ltd", "Oslo"), Account(2, "Beta Ltd", "Kraków"),
                              Account(3, "Pat Person", "Rome", true),
                              Account(4, "Gamma Ltd", "Lyon")};
    org.objects["Lead"] = {Lead(1, "Lane", "Acme"), Lead(2, "Lowe", "Initech")};
    org.objects["Case"] = {{{"Id", Quote(Id("500", 1))}, {"AccountId", Quote(Id("001", 4))}}};
    org.objects["Opportunity"] = {};
    org.describe["Opportunity"] = {"Id", "AccountId", "Name"};
    org.objects["Event"] = {Event(1, "Summer review", "2024-07-01T08:30:00.000+0000"),
                            Event(2, "Winter review", "2024-01-15T08:30:00.000+0000")};
    org.objects["Task"] = {Task(1, "Call back"), Task(2, "Send offer")};
    org.objects["Note"] = {Note(1, "First"), Note(2, "Second"), Note(3, "Third")};
    // The user may not read the assistant's name (field-level security).
    std::vector<std::string> contactFields;
    for (const auto& [field, value] : org.objects["Contact"][0])
        contactFields.push_back(field);
    org.describe["Contact"] = contactFields;
    return org;
}

class SfHelperTest : public HelperTest {
protected:
    void SetUp() override {
        HelperTest::SetUp();
        // Short waits, so that the faults' retries and time-outs take moments.
        testsupport::WriteFileBytes(InData("Velmora.SFHelper.ini"),
                                    "[Helper]\nRetryDelayMs=20\nRequestTimeoutS=2\n"
                                    "ConnectTimeoutS=2\n");
    }

    void Start(const standin::Org& org, int pageSize = 2) {
        m_server = std::make_unique<standin::Server>(org, pageSize);
        ASSERT_TRUE(m_server->Started());
        m_url = m_server->Url();
    }

    std::vector<ExtraTag> Connection() const {
        std::vector<ExtraTag> tags{{1013, "salesforce"}, {1014, m_url}};
        tags.insert(tags.end(), m_signInTags.begin(), m_signInTags.end());
        return tags;
    }

    int Run(const KindFiles& kind, int request, const Login& login) {
        WriteParams(kind, request, login, Connection());
        return RunHelper(kind);
    }
    int SfLoad(const KindFiles& kind) { return Run(kind, 1, m_login); }
    int SfSubmit(const KindFiles& kind) { return Run(kind, 2, m_login); }

    std::string SubmitValue(const KindFiles& kind, const char* key) {
        CxIniUtil ini(nullptr, nullptr);
        ini.SetPath(InData(kind.error).c_str());
        char text[1024] = {};
        ini.GetString("Submit", key, text, sizeof(text), "<none>");
        return text;
    }

    // The lines of the results file the last submit named.
    std::vector<std::string> ResultLines(const KindFiles& kind) {
        std::vector<std::string> lines;
        const std::string path = SubmitValue(kind, "Results");
        std::ifstream in(path);
        EXPECT_TRUE(in.good()) << path;
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
        return lines;
    }

    // Marks the records whose Id is in ids and writes the data file back.
    template <class Rec>
    void MarkAndWrite(const KindFiles& kind, const std::set<std::string>& ids) {
        std::vector<Rec> recs = ReadData<Rec>(kind);
        for (Rec& r : recs)
            if (ids.count(r.Id))
                r.ChangeAction = 3;
        WriteData(kind, recs);
    }

    Login m_login{"ann@example.com", "secret-pw", "TOKEN123"};
    std::unique_ptr<standin::Server> m_server;
    std::string m_url;
    std::vector<ExtraTag> m_signInTags; // the browser sign-in's, when used
};

} // namespace sfhelpere2e
