#include "SampleOrg.h"

#include "IsoDate.h"
#include "LocalOrg.h"
#include "OrgSchema.h"
#include "SampleNames.h"
#include "TextCase.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// 2024-06-01T00:00:00Z: "now" of the sample data, so that every run gives the same org.
constexpr int64_t kBaseTime = 1717200000;
constexpr int64_t kDay = 86400;

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t Mix(uint64_t a, uint64_t b) {
    uint64_t s = a * 0x100000001B3ULL ^ b;
    SplitMix(s);
    return SplitMix(s);
}

class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    uint64_t Next() { return SplitMix(m_state); }
    uint64_t Below(uint64_t n) { return n ? Next() % n : 0; }
    int64_t Range(int64_t lo, int64_t hi) { // lo..hi inclusive
        return lo + static_cast<int64_t>(Below(static_cast<uint64_t>(hi - lo) + 1));
    }
    bool Chance(double p) { return static_cast<double>(Next() >> 11) / 9007199254740992.0 < p; }
    template <class T> const T& Pick(const SampleList<T>& list) {
        return list.items[Below(list.count)];
    }
    std::string Digits(int count) {
        std::string s;
        for (int i = 0; i < count; ++i)
            s += static_cast<char>('0' + Below(10));
        return s;
    }

private:
    uint64_t m_state;
};

// The values of one row to insert, by column name; an empty text is NULL.
class RowValues {
public:
    explicit RowValues(const OrgObject& object) {
        m_index.emplace("Id", 0);
        for (const OrgColumn& c : object.columns)
            m_index.emplace(c.name, static_cast<int>(m_index.size()));
        m_values.resize(m_index.size());
    }
    void Clear() {
        for (Value& v : m_values)
            v = Value();
    }
    void Set(const char* column, const std::string& text) {
        Value& v = At(column);
        v = Value();
        if (!text.empty()) {
            v.kind = Kind::Text;
            v.text = text;
        }
    }
    void SetInt(const char* column, int64_t n) {
        Value& v = At(column);
        v = Value();
        v.kind = Kind::Int;
        v.number = n;
    }
    void SetBool(const char* column, bool on) { SetInt(column, on ? 1 : 0); }
    void SetReal(const char* column, double d) {
        Value& v = At(column);
        v = Value();
        v.kind = Kind::Real;
        v.real = d;
    }
    void SetDate(const char* column, int64_t unixSeconds) {
        Set(column, FormatIsoDate(unixSeconds));
    }
    void SetDateTime(const char* column, int64_t unixSeconds) {
        Set(column, FormatIsoDateTime(unixSeconds));
    }
    std::string Text(const char* column) { return At(column).text; }
    size_t Count() const { return m_values.size(); }
    void Bind(OrgStatement& st) const {
        for (size_t i = 0; i < m_values.size(); ++i) {
            const Value& v = m_values[i];
            int pos = static_cast<int>(i) + 1;
            switch (v.kind) {
            case Kind::Text:
                st.BindText(pos, v.text);
                break;
            case Kind::Int:
                st.BindInt(pos, v.number);
                break;
            case Kind::Real:
                st.BindReal(pos, v.real);
                break;
            default:
                st.BindNull(pos);
            }
        }
    }

private:
    enum class Kind { Null, Text, Int, Real };
    struct Value {
        Kind kind = Kind::Null;
        std::string text;
        int64_t number = 0;
        double real = 0;
    };
    Value& At(const char* column) {
        auto it = m_index.find(column);
        // Every column the generator names is in the schema.
        if (it == m_index.end()) {
            std::fprintf(stderr, "sample org: no column %s\n", column);
            std::abort();
        }
        return m_values[static_cast<size_t>(it->second)];
    }

    std::unordered_map<std::string, int> m_index;
    std::vector<Value> m_values;
};

std::string InsertSql(const OrgObject& object) {
    std::string sql = std::string("INSERT INTO \"") + object.name + "\" (Id";
    std::string marks = "?";
    for (const OrgColumn& c : object.columns) {
        sql += ", \"";
        sql += c.name;
        sql += '"';
        marks += ", ?";
    }
    return sql + ") VALUES (" + marks + ")";
}

enum ObjectTag : uint64_t {
    kTagContact = 1,
    kTagAccount,
    kTagLead,
    kTagEvent,
    kTagTask,
    kTagNote,
    kTagVary = 0x100,
    kTagDup = 0x200,
};

class Generator {
public:
    explicit Generator(const SampleOrgOptions& o) : m_opt(o), m_ownerId(MakeRecordId("005", 1)) {}

    const std::string& OwnerId() const { return m_ownerId; }
    std::string ContactId(uint64_t i) const { return MakeRecordId("003", i + 1); }
    std::string AccountId(uint64_t i) const { return MakeRecordId("001", i + 1); }

    // Whether record j of an object is made as a duplicate.
    bool IsDup(uint64_t tag, uint64_t j) const {
        if (j == 0 || m_opt.dupRate <= 0)
            return false;
        Rng r(Mix(Mix(m_opt.seed, tag | kTagDup), j));
        return r.Chance(m_opt.dupRate);
    }
    // Whether record j is made as a duplicate, and of which earlier record:
    // one of the thousand before it, preferably an original, so that groups
    // stay small as they are in real data instead of piling onto early rows.
    bool DupOrigin(uint64_t tag, uint64_t j, uint64_t* origin) const {
        if (!IsDup(tag, j))
            return false;
        Rng r(Mix(Mix(m_opt.seed, tag | kTagDup), j));
        r.Next(); // the draw IsDup made
        uint64_t window = j < 1000 ? j : 1000;
        for (int attempt = 0; attempt < 8; ++attempt) {
            *origin = j - 1 - r.Below(window);
            if (!IsDup(tag, *origin))
                break;
        }
        return true;
    }
    // The record whose data a record's duplicate chain goes back to.
    uint64_t RootOf(uint64_t tag, uint64_t j) const {
        uint64_t origin;
        while (DupOrigin(tag, j, &origin))
            j = origin;
        return j;
    }
    Rng RootRng(uint64_t tag, uint64_t root) const { return Rng(Mix(Mix(m_opt.seed, tag), root)); }
    Rng VaryRng(uint64_t tag, uint64_t j) const {
        return Rng(Mix(Mix(m_opt.seed, tag | kTagVary), j));
    }

    void Times(RowValues& row, Rng& r, int64_t latestCreated) const {
        int64_t created = latestCreated - r.Range(3600, 3 * 365 * kDay);
        row.SetDateTime("CreatedDate", created);
        row.SetDateTime("LastModifiedDate", created + r.Range(0, kBaseTime - created));
    }

    // A different LastModifiedDate, still after CreatedDate and before "now".
    static void NewModified(RowValues& row, Rng& v) {
        double created = 0, modified = 0;
        IsoToAutomationDate(row.Text("CreatedDate").c_str(), &created);
        IsoToAutomationDate(row.Text("LastModifiedDate").c_str(), &modified);
        int64_t createdUnix = static_cast<int64_t>((created - 25569.0) * kDay + 0.5);
        int64_t oldUnix = static_cast<int64_t>((modified - 25569.0) * kDay + 0.5);
        int64_t next = createdUnix + v.Range(0, kBaseTime - createdUnix);
        if (next == oldUnix)
            next = next > createdUnix ? next - 1 : next + 1;
        row.SetDateTime("LastModifiedDate", next);
    }

    std::string Phone(Rng& r, const SamplePlace& place) const {
        return std::string(place.phonePrefix) + " " + r.Digits(7);
    }

    std::string Street(Rng& r) const {
        return std::to_string(r.Range(1, 250)) + " " + r.Pick(kStreets);
    }

    void Person(RowValues& row, Rng& r, uint64_t k, const char* domain,
                const SamplePlace& place) const {
        const SampleName& first = r.Pick(kFirstNames);
        const SampleName& last = r.Pick(kLastNames);
        row.Set("Salutation", r.Pick(kSalutations));
        row.Set("FirstName", first.text);
        row.Set("LastName", last.text);
        row.Set("Name", std::string(first.text) + " " + last.text);
        row.Set("Title", r.Pick(kTitles));
        // The number makes every address unique apart from the duplicates.
        row.Set("Email", std::string(first.ascii) + "." + last.ascii + "." + std::to_string(k) +
                             "@" + domain);
        row.Set("Phone", Phone(r, place));
        if (r.Chance(0.7))
            row.Set("MobilePhone", std::string(place.phonePrefix) + " 9" + r.Digits(6));
        if (r.Chance(0.1))
            row.Set("Fax", Phone(r, place));
        row.Set("Description", r.Pick(kDescriptions));
        row.Set("LeadSource", r.Pick(kLeadSources));
        row.SetBool("DoNotCall", r.Chance(0.05));
        row.SetBool("HasOptedOutOfEmail", r.Chance(0.1));
        row.SetBool("HasOptedOutOfFax", r.Chance(0.1));
        row.SetBool("IsDeleted", false);
        row.Set("OwnerId", m_ownerId);
        if (r.Chance(0.5))
            row.SetDate("LastActivityDate", kBaseTime - r.Range(0, 365) * kDay);
    }

    // Case variants and emptied fields of a person, as duplicates have them.
    static void VaryPerson(RowValues& row, Rng& v) {
        if (v.Chance(0.5)) {
            switch (v.Below(3)) {
            case 0:
                row.Set("LastName", ToUpperText(row.Text("LastName")));
                break;
            case 1:
                row.Set("FirstName", ToLowerText(row.Text("FirstName")));
                row.Set("LastName", ToLowerText(row.Text("LastName")));
                break;
            default:
                row.Set("Email", ToUpperText(row.Text("Email")));
            }
            row.Set("Name", row.Text("FirstName") + " " + row.Text("LastName"));
        }
        if (v.Chance(0.5)) {
            static const char* const kEmptied[] = {"Email", "Phone", "Title", "MobilePhone",
                                                   "Description"};
            row.Set(kEmptied[v.Below(std::size(kEmptied))], "");
            if (v.Chance(0.3))
                row.Set(kEmptied[v.Below(std::size(kEmptied))], "");
        }
        NewModified(row, v);
    }

    void Contact(RowValues& row, Rng& r, uint64_t k) const {
        const SamplePlace& place = r.Pick(kPlaces);
        const SampleCompany& company = r.Pick(kCompanies);
        Person(row, r, k, company.domain, place);
        row.Set("Department", r.Pick(kDepartments));
        if (r.Chance(0.2))
            row.Set("HomePhone", Phone(r, place));
        if (r.Chance(0.1))
            row.Set("OtherPhone", Phone(r, place));
        if (r.Chance(0.1)) {
            row.Set("AssistantName",
                    std::string(r.Pick(kFirstNames).text) + " " + r.Pick(kLastNames).text);
            row.Set("AssistantPhone", Phone(r, place));
        }
        row.Set("MailingStreet", Street(r));
        row.Set("MailingCity", place.city);
        row.Set("MailingState", place.state);
        row.Set("MailingPostalCode", place.postalCode);
        row.Set("MailingCountry", place.country);
        if (r.Chance(0.2)) {
            const SamplePlace& other = r.Pick(kPlaces);
            row.Set("OtherStreet", Street(r));
            row.Set("OtherCity", other.city);
            row.Set("OtherState", other.state);
            row.Set("OtherPostalCode", other.postalCode);
            row.Set("OtherCountry", other.country);
        }
        if (r.Chance(0.4))
            row.SetDate("Birthdate",
                        DaysFromCivil(r.Range(1950, 2002), 1, 1) * kDay + r.Range(0, 364) * kDay);
        if (m_opt.accounts > 0 && r.Chance(0.8))
            row.Set("AccountId", AccountId(r.Below(m_opt.accounts)));
        row.SetBool("IsPersonAccount", false);
        Times(row, r, kBaseTime);
    }

    void Lead(RowValues& row, Rng& r, uint64_t k) const {
        const SamplePlace& place = r.Pick(kPlaces);
        const SampleCompany& company = r.Pick(kCompanies);
        Person(row, r, k, company.domain, place);
        row.Set("Company", company.name);
        row.Set("Industry", company.industry);
        const char* status = r.Pick(kLeadStatuses);
        row.Set("Status", status);
        row.SetBool("IsConverted", std::strcmp(status, "Closed - Converted") == 0);
        row.Set("Rating", r.Pick(kRatings));
        row.SetReal("AnnualRevenue", static_cast<double>(r.Range(1, 500)) * 100000.0);
        row.SetInt("NumberOfEmployees", r.Range(1, 5000));
        row.Set("Street", Street(r));
        row.Set("City", place.city);
        row.Set("State", place.state);
        row.Set("PostalCode", place.postalCode);
        row.Set("Country", place.country);
        Times(row, r, kBaseTime);
    }

    void Account(RowValues& row, Rng& r, uint64_t k) const {
        // Company and place follow from k, so names repeat only in duplicates.
        const SampleCompany& company = kCompanies.items[k % kCompanies.count];
        const SamplePlace& place = kPlaces.items[(k / kCompanies.count) % kPlaces.count];
        uint64_t round = k / (kCompanies.count * kPlaces.count);
        std::string name = std::string(company.name) + " " + place.city;
        if (round > 0)
            name += " " + std::to_string(round + 1);
        row.Set("Name", name);
        row.Set("AccountNumber", "CD" + r.Digits(6));
        row.Set("Type", r.Pick(kAccountTypes));
        row.Set("Industry", company.industry);
        row.SetReal("AnnualRevenue", static_cast<double>(r.Range(1, 5000)) * 100000.0);
        row.SetInt("NumberOfEmployees", r.Range(1, 20000));
        row.Set("Rating", r.Pick(kRatings));
        row.Set("Phone", Phone(r, place));
        if (r.Chance(0.3))
            row.Set("Fax", Phone(r, place));
        row.Set("Website", std::string("https://www.") + company.domain);
        row.Set("BillingStreet", Street(r));
        row.Set("BillingCity", place.city);
        row.Set("BillingState", place.state);
        row.Set("BillingPostalCode", place.postalCode);
        row.Set("BillingCountry", place.country);
        if (r.Chance(0.5)) {
            row.Set("ShippingStreet", row.Text("BillingStreet"));
            row.Set("ShippingCity", place.city);
            row.Set("ShippingState", place.state);
            row.Set("ShippingPostalCode", place.postalCode);
            row.Set("ShippingCountry", place.country);
        }
        row.Set("Description", r.Pick(kDescriptions));
        row.Set("AccountSource", r.Pick(kLeadSources));
        if (k > 0 && r.Chance(0.05))
            row.Set("ParentId", AccountId(r.Below(k)));
        row.SetBool("IsDeleted", false);
        row.SetBool("IsPersonAccount", false);
        if (r.Chance(0.6))
            row.SetDate("LastActivityDate", kBaseTime - r.Range(0, 365) * kDay);
        row.Set("OwnerId", m_ownerId);
        Times(row, r, kBaseTime);
    }

    static void VaryAccount(RowValues& row, Rng& v) {
        if (v.Chance(0.5))
            row.Set("Name",
                    v.Chance(0.5) ? ToUpperText(row.Text("Name")) : ToLowerText(row.Text("Name")));
        if (v.Chance(0.5)) {
            static const char* const kEmptied[] = {"Phone", "Website", "BillingStreet",
                                                   "Description"};
            row.Set(kEmptied[v.Below(std::size(kEmptied))], "");
        }
        NewModified(row, v);
    }

    std::string SomeoneName(Rng& r) const {
        return std::string(r.Pick(kFirstNames).text) + " " + r.Pick(kLastNames).text;
    }

    void Event(RowValues& row, Rng& r) const {
        std::string subject = r.Pick(kEventSubjects);
        if (subject == "Meeting" || subject == "Lunch" || subject == "Call")
            subject += " with " + SomeoneName(r);
        row.Set("Subject", subject);
        row.Set("Location", r.Pick(kEventLocations));
        row.Set("Description", r.Pick(kDescriptions));
        int64_t day = kBaseTime - 180 * kDay + r.Range(0, 364) * kDay;
        int64_t start;
        int64_t minutes;
        bool allDay = r.Chance(0.1);
        if (allDay) {
            start = day;
            minutes = 1440;
        } else {
            start = day + r.Range(8, 17) * 3600 + r.Range(0, 3) * 900;
            static const int64_t kDurations[] = {30, 45, 60, 90, 120};
            minutes = kDurations[r.Below(std::size(kDurations))];
            row.SetDateTime("ActivityDateTime", start);
        }
        row.SetBool("IsAllDayEvent", allDay);
        row.SetDate("ActivityDate", start);
        row.SetDateTime("StartDateTime", start);
        row.SetDateTime("EndDateTime", start + minutes * 60);
        row.SetInt("DurationInMinutes", minutes);
        if (m_opt.contacts > 0 && r.Chance(0.6))
            row.Set("WhoId", ContactId(r.Below(m_opt.contacts)));
        if (m_opt.accounts > 0 && r.Chance(0.4)) {
            std::string account = AccountId(r.Below(m_opt.accounts));
            row.Set("WhatId", account);
            row.Set("AccountId", account);
        }
        row.SetBool("IsPrivate", r.Chance(0.05));
        row.SetBool("IsGroupEvent", r.Chance(0.1));
        row.SetBool("IsChild", false);
        row.SetBool("IsDeleted", false);
        row.SetBool("IsVisibleInSelfService", false);
        row.Set("ShowAs", r.Chance(0.8) ? "Busy" : (r.Chance(0.5) ? "Free" : "OutOfOffice"));
        bool reminder = r.Chance(0.3);
        row.SetBool("IsReminderSet", reminder);
        if (reminder)
            row.SetDateTime("ReminderDateTime", start - 900);
        bool recurs = !allDay && r.Chance(0.1);
        row.SetBool("IsRecurrence", recurs);
        if (recurs) {
            int64_t weekday = ((start / kDay) + 4) % 7; // 1970-01-01 was a Thursday
            switch (r.Below(3)) {
            case 0:
                row.Set("RecurrenceType", "RecursWeekly");
                row.SetInt("RecurrenceDayOfWeekMask", int64_t{1} << weekday);
                break;
            case 1:
                row.Set("RecurrenceType", "RecursMonthly");
                row.SetInt("RecurrenceDayOfMonth", r.Range(1, 28));
                break;
            default:
                row.Set("RecurrenceType", "RecursYearlyNth");
                row.Set("RecurrenceInstance", "Second");
                row.Set("RecurrenceMonthOfYear", "March");
                row.SetInt("RecurrenceDayOfWeekMask", int64_t{1} << weekday);
            }
            row.SetInt("RecurrenceInterval", r.Range(1, 2));
            row.SetDateTime("RecurrenceStartDateTime", start);
            row.SetDate("RecurrenceEndDateOnly", start + 90 * kDay);
            row.Set("RecurrenceTimeZoneSidKey", r.Chance(0.5) ? "Europe/Berlin" : "GMT");
        }
        row.Set("OwnerId", m_ownerId);
        Times(row, r, start < kBaseTime ? start : kBaseTime);
    }

    static void VaryActivity(RowValues& row, Rng& v, const char* emptied) {
        if (v.Chance(0.5))
            row.Set("Subject", v.Chance(0.5) ? ToUpperText(row.Text("Subject"))
                                             : ToLowerText(row.Text("Subject")));
        if (v.Chance(0.5))
            row.Set(v.Chance(0.5) ? emptied : "Description", "");
        NewModified(row, v);
    }

    void Task(RowValues& row, Rng& r) const {
        std::string subject = r.Pick(kTaskSubjects);
        bool call = subject == "Call";
        if (call) {
            subject += " " + SomeoneName(r);
            row.Set("CallType", r.Chance(0.7) ? "Outbound" : "Inbound");
            row.SetInt("CallDurationInSeconds", r.Range(30, 3600));
            row.Set("CallDisposition", r.Chance(0.5) ? "Reached" : "Left voicemail");
        }
        row.Set("Subject", subject);
        const char* status = r.Pick(kTaskStatuses);
        const char* priority = r.Pick(kTaskPriorities);
        row.Set("Status", status);
        row.Set("Priority", priority);
        row.SetBool("IsClosed", std::strcmp(status, "Completed") == 0);
        row.SetBool("IsHighPriority", std::strcmp(priority, "High") == 0);
        int64_t due = kBaseTime - 60 * kDay + r.Range(0, 119) * kDay;
        if (r.Chance(0.85))
            row.SetDate("ActivityDate", due);
        row.Set("Description", r.Pick(kDescriptions));
        bool reminder = r.Chance(0.2);
        row.SetBool("IsReminderSet", reminder);
        if (reminder)
            row.SetDateTime("ReminderDateTime", due + 9 * 3600);
        row.SetBool("IsRecurrence", r.Chance(0.05));
        if (m_opt.contacts > 0 && r.Chance(0.6))
            row.Set("WhoId", ContactId(r.Below(m_opt.contacts)));
        if (m_opt.accounts > 0 && r.Chance(0.4)) {
            std::string account = AccountId(r.Below(m_opt.accounts));
            row.Set("WhatId", account);
            row.Set("AccountId", account);
        }
        row.SetBool("IsDeleted", false);
        row.Set("OwnerId", m_ownerId);
        Times(row, r, kBaseTime);
    }

    void Note(RowValues& row, Rng& r) const {
        row.Set("Title", r.Pick(kNoteTitles));
        row.Set("Body", r.Pick(kNoteBodies));
        if (m_opt.contacts > 0 && (m_opt.accounts == 0 || r.Chance(0.6)))
            row.Set("ParentId", ContactId(r.Below(m_opt.contacts)));
        else if (m_opt.accounts > 0)
            row.Set("ParentId", AccountId(r.Below(m_opt.accounts)));
        row.SetBool("IsPrivate", r.Chance(0.1));
        row.SetBool("IsDeleted", false);
        row.Set("OwnerId", m_ownerId);
        Times(row, r, kBaseTime);
    }

    static void VaryNote(RowValues& row, Rng& v) {
        if (v.Chance(0.5))
            row.Set("Title", ToUpperText(row.Text("Title")));
        NewModified(row, v);
    }

    // Fills and inserts count rows of one object.
    bool Fill(sqlite3* db, const char* objectName, uint64_t tag, uint64_t count,
              SampleObjectSummary& summary, std::string& error) {
        const OrgObject* object = FindOrgObject(objectName);
        OrgStatement insert;
        if (!object || !insert.Prepare(db, InsertSql(*object))) {
            error =
                std::string("cannot prepare the ") + objectName + " rows: " + sqlite3_errmsg(db);
            return false;
        }
        RowValues row(*object);
        for (uint64_t j = 0; j < count; ++j) {
            uint64_t origin = 0;
            bool dup = DupOrigin(tag, j, &origin);
            uint64_t root = dup ? RootOf(tag, origin) : j;
            Rng r = RootRng(tag, root);
            row.Clear();
            Make(row, r, tag, root);
            if (dup) {
                Rng v = VaryRng(tag, j);
                Vary(row, v, tag);
                ++summary.duplicates;
            }
            row.Set("Id", MakeRecordId(object->keyPrefix, j + 1));
            insert.Reset();
            row.Bind(insert);
            if (insert.Step() != SQLITE_DONE) {
                error =
                    std::string("cannot insert a ") + objectName + " row: " + sqlite3_errmsg(db);
                return false;
            }
            ++summary.rows;
        }
        return true;
    }

private:
    void Make(RowValues& row, Rng& r, uint64_t tag, uint64_t k) const {
        switch (tag) {
        case kTagContact:
            return Contact(row, r, k);
        case kTagAccount:
            return Account(row, r, k);
        case kTagLead:
            return Lead(row, r, k);
        case kTagEvent:
            return Event(row, r);
        case kTagTask:
            return Task(row, r);
        default:
            return Note(row, r);
        }
    }

    static void Vary(RowValues& row, Rng& v, uint64_t tag) {
        switch (tag) {
        case kTagContact:
        case kTagLead:
            return VaryPerson(row, v);
        case kTagAccount:
            return VaryAccount(row, v);
        case kTagEvent:
            return VaryActivity(row, v, "Location");
        case kTagTask:
            return VaryActivity(row, v, "Priority");
        default:
            return VaryNote(row, v);
        }
    }

    const SampleOrgOptions& m_opt;
    std::string m_ownerId;
};

bool Exec(sqlite3* db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

bool Populate(sqlite3* db, const SampleOrgOptions& opt, SampleOrgSummary& summary,
              std::string& error) {
    // A fresh file nobody else sees yet: no journal needed.
    if (!Exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;", error) ||
        !Exec(db, OrgSchemaSql(), error) || !Exec(db, "BEGIN", error))
        return false;
    Generator gen(opt);
    OrgStatement user;
    if (!user.Prepare(db, "INSERT INTO \"User\" (Id, Username, Password, SecurityToken, Name, "
                          "Email) VALUES (?, ?, ?, ?, 'Demo User', ?)")) {
        error = sqlite3_errmsg(db);
        return false;
    }
    user.BindText(1, gen.OwnerId());
    user.BindText(2, opt.user);
    user.BindText(3, opt.password);
    user.BindText(4, opt.token);
    user.BindText(5, opt.user);
    if (user.Step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return gen.Fill(db, "Account", kTagAccount, opt.accounts, summary.accounts, error) &&
           gen.Fill(db, "Contact", kTagContact, opt.contacts, summary.contacts, error) &&
           gen.Fill(db, "Lead", kTagLead, opt.leads, summary.leads, error) &&
           gen.Fill(db, "Event", kTagEvent, opt.events, summary.events, error) &&
           gen.Fill(db, "Task", kTagTask, opt.tasks, summary.tasks, error) &&
           gen.Fill(db, "Note", kTagNote, opt.notes, summary.notes, error) &&
           Exec(db, "COMMIT", error);
}

} // namespace

bool CreateSampleOrg(const SampleOrgOptions& opt, SampleOrgSummary* summary, std::string& error) {
    if (opt.outPath.empty()) {
        error = "no output file given";
        return false;
    }
    if (!(opt.dupRate >= 0 && opt.dupRate <= 1)) {
        error = "the duplicate rate must lie between 0 and 1";
        return false;
    }
    struct stat st {};
    if (!opt.force && stat(opt.outPath.c_str(), &st) == 0) {
        error = "\"" + opt.outPath + "\" exists already (--force replaces it)";
        return false;
    }
    std::string pattern = opt.outPath + ".XXXXXX";
    std::vector<char> tmp(pattern.begin(), pattern.end());
    tmp.push_back('\0');
    int fd = mkostemp(tmp.data(), O_CLOEXEC); // 0600: the org holds the password
    if (fd < 0) {
        error = "cannot create \"" + opt.outPath + "\": " + std::strerror(errno);
        return false;
    }
    close(fd);

    SampleOrgSummary local;
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(tmp.data(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (!ok)
        error = db ? sqlite3_errmsg(db) : "cannot open the database";
    ok = ok && Populate(db, opt, local, error);
    if (sqlite3_close(db) != SQLITE_OK && ok) {
        error = "cannot close the database";
        ok = false;
    }
    if (ok && std::rename(tmp.data(), opt.outPath.c_str()) != 0) {
        error = "cannot rename the new org to \"" + opt.outPath + "\": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        unlink(tmp.data());
        return false;
    }
    if (summary)
        *summary = local;
    return true;
}
