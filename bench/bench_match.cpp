// Duplicate matching: the engine (FindAddrDups and its siblings) against the
// scan that defines the results (ScanAddrDups and its siblings).
//
// 1. Contacts under four rule sets (the defaults; CompareEmpty on; every
//    contact rule on; the defaults on an address book in which 30% of the
//    contacts lack their first name, last name or e-mail): the scan at 10,000
//    and 20,000 contacts, the engine at the same sizes (same result checked),
//    the ratio, and the engine alone at 100,000 and 1,000,000 contacts with
//    the memory its own structures held at most, per record.
// 2. Calendar events, tasks and notes under their default rules: the engine at
//    1,000,000 records each.
// 3. Inputs that indexing does not help (chains of survivors, few groups, a
//    pattern of empty texts per record, only the e-mail rule): the scan and the
//    engine at 10,000 and 20,000 contacts and the ratio.
//
// Every time is the median of --runs runs (default 3). Arguments: --runs N,
// --quick (skips the 1,000,000-record runs), --only NAME (runs one group of
// tables: contacts, others, hard), --no-scan (the engine alone).
//
// The address book: people with common first names, a middle initial, common
// or two-part surnames and e-mail addresses, about 5% of them entered a second
// time (with the e-mail in other letter case now and then), and about 10%
// without an e-mail.

#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "DefaultRules.h"
#include "DupEngine.h"
#include "DupMatch.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using testsupport::SetDefaultRules;

const char* const kFirstNames[] = {
    "James",   "Mary",     "Robert",   "Patricia", "John",    "Jennifer",  "Michael",  "Linda",
    "David",   "Barbara",  "William",  "Susan",    "Richard", "Jessica",   "Joseph",   "Sarah",
    "Thomas",  "Karen",    "Charles",  "Lisa",     "Daniel",  "Nancy",     "Matthew",  "Sandra",
    "Anthony", "Betty",    "Mark",     "Ashley",   "Donald",  "Emily",     "Steven",   "Kimberly",
    "Paul",    "Margaret", "Andrew",   "Donna",    "Joshua",  "Michelle",  "Kenneth",  "Carol",
    "Kevin",   "Amanda",   "Brian",    "Melissa",  "George",  "Deborah",   "Timothy",  "Stephanie",
    "Ronald",  "Rebecca",  "Jason",    "Sharon",   "Edward",  "Laura",     "Jeffrey",  "Cynthia",
    "Ryan",    "Amy",      "Jacob",    "Kathleen", "Gary",    "Angela",    "Nicholas", "Helen",
    "Eric",    "Anna",     "Jonathan", "Brenda",   "Stephen", "Pamela",    "Larry",    "Nicole",
    "Justin",  "Emma",     "Scott",    "Samantha", "Brandon", "Katherine", "Benjamin", "Christine",
};

const char* const kLastNames[] = {
    "Smith",    "Johnson",   "Williams",   "Brown",     "Jones",    "Garcia",   "Miller",
    "Davis",    "Rodriguez", "Martinez",   "Hernandez", "Lopez",    "Gonzalez", "Wilson",
    "Anderson", "Thomas",    "Taylor",     "Moore",     "Jackson",  "Martin",   "Lee",
    "Perez",    "Thompson",  "White",      "Harris",    "Sanchez",  "Clark",    "Ramirez",
    "Lewis",    "Robinson",  "Walker",     "Young",     "Allen",    "King",     "Wright",
    "Scott",    "Torres",    "Nguyen",     "Hill",      "Flores",   "Green",    "Adams",
    "Nelson",   "Baker",     "Hall",       "Rivera",    "Campbell", "Mitchell", "Carter",
    "Roberts",  "Gomez",     "Phillips",   "Evans",     "Turner",   "Diaz",     "Parker",
    "Cruz",     "Edwards",   "Collins",    "Reyes",     "Stewart",  "Morris",   "Morales",
    "Murphy",   "Cook",      "Rogers",     "Gutierrez", "Ortiz",    "Morgan",   "Cooper",
    "Peterson", "Bailey",    "Reed",       "Kelly",     "Howard",   "Ramos",    "Kim",
    "Cox",      "Ward",      "Richardson", "Watson",    "Brooks",   "Chavez",   "Wood",
    "James",    "Bennett",   "Gray",       "Mendoza",   "Ruiz",     "Hughes",   "Price",
    "Alvarez",  "Castillo",  "Sanders",    "Patel",     "Myers",    "Long",     "Ross",
};

// Further surnames made of two common English parts ("Ashford", "Whitmore").
const char* const kSurnameHeads[] = {"Ash",  "Black", "Brad", "Cal",  "Dun",   "Fair", "Green",
                                     "Hart", "Kings", "Lang", "Mar",  "North", "Red",  "Ross",
                                     "Stan", "Thorn", "Wey",  "Whit", "Win",   "Wood"};
const char* const kSurnameTails[] = {"ley",  "ford", "wood",  "ton",   "field",
                                     "by",   "well", "worth", "ridge", "more",
                                     "shaw", "land", "brook", "stone", "croft"};

const char* const kDomains[] = {"example.com", "mail.example.org", "corp.example.net",
                                "example.co.uk", "post.example.de"};

const char* const kTopics[] = {"Call",  "Meeting", "Review",   "Demo",    "Follow-up",
                               "Lunch", "Visit",   "Planning", "Support", "Training"};
const char* const kPlaces[] = {"Room 1", "Room 2", "Head office", "Customer site", "Online"};
const char* const kPriorities[] = {"High", "Normal", "Low"};

template <size_t N> const char* Pick(const char* const (&names)[N], std::mt19937& rng) {
    return names[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

double Chance(std::mt19937& rng) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng);
}

void UpperCase(char* text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z')
            *text = static_cast<char>(*text - 'a' + 'A');
}

// Keeps a record in CrmData as reading the data file does: the record kept by
// the exchange object and linked both ways with its collection entry.
template <class TUtil>
typename TUtil::Record* Keep(TUtil* util, const typename TUtil::Record& rec) {
    typename TUtil::CommonRecord common;
    auto* kept = util->KeepRecord(&rec);
    auto* entry = util->GetCollection()->AddRecord(&common);
    kept->Entry = entry;
    entry->NativeData = kept;
    return kept;
}

void MakeEmptyData(const char* folder) {
    CrmData.AddrUtil = new CxSFAddrUtil;
    CrmData.DateUtil = new CxSFDateUtil;
    CrmData.TaskUtil = new CxSFTaskUtil;
    CrmData.NoteUtil = new CxSFNoteUtil;
    for (CxSFBaseUtil* util : {static_cast<CxSFBaseUtil*>(CrmData.AddrUtil),
                               static_cast<CxSFBaseUtil*>(CrmData.DateUtil),
                               static_cast<CxSFBaseUtil*>(CrmData.TaskUtil),
                               static_cast<CxSFBaseUtil*>(CrmData.NoteUtil)})
        util->SetDataFolder(folder);
    CrmData.AddrDupList = new CxList;
    CrmData.DateDupList = new CxList;
    CrmData.TaskDupList = new CxList;
    CrmData.NoteDupList = new CxList;
}

// The address book; with emptyShare above 0, that share of the contacts lacks
// some of first name, last name and e-mail (at least one of them).
void LoadContacts(size_t count, std::mt19937& rng, double emptyShare) {
    std::uniform_real_distribution<double> modified(40000.0, 46000.0);
    std::vector<SFAddrRec*> kept;
    kept.reserve(count);
    while (kept.size() < count) {
        const unsigned number = static_cast<unsigned>(kept.size());
        if (kept.size() > 10 && Chance(rng) < 0.05) {
            // The same person entered again, changed later or earlier.
            size_t original = std::uniform_int_distribution<size_t>(0, kept.size() - 1)(rng);
            SFAddrRec again = *kept[original];
            again.Entry = nullptr;
            again.Flags = 0;
            again.LastModificationTime = modified(rng);
            snprintf(again.Id, sizeof(again.Id), "003%012u", number);
            if (Chance(rng) < 0.3)
                UpperCase(again.Email);
            kept.push_back(Keep(CrmData.AddrUtil, again));
            continue;
        }
        SFAddrRec rec;
        const char* first = Pick(kFirstNames, rng);
        char last[32];
        if (Chance(rng) < 0.25)
            CopyText(last, Pick(kLastNames, rng));
        else
            snprintf(last, sizeof(last), "%s%s", Pick(kSurnameHeads, rng),
                     Pick(kSurnameTails, rng));
        const char middle = static_cast<char>('A' + std::uniform_int_distribution<int>(0, 25)(rng));
        CopyText(rec.FirstName, first);
        CopyText(rec.LastName, last);
        snprintf(rec.Name, sizeof(rec.Name), "%s %c. %s", first, middle, last);
        if (Chance(rng) >= 0.10)
            snprintf(rec.Email, sizeof(rec.Email), "%s.%s%u@%s", first, last, number,
                     Pick(kDomains, rng));
        if (emptyShare > 0 && Chance(rng) < emptyShare) {
            const int which = std::uniform_int_distribution<int>(1, 7)(rng);
            if (which & 1)
                rec.FirstName[0] = '\0';
            if (which & 2)
                rec.LastName[0] = '\0';
            if (which & 4)
                rec.Email[0] = '\0';
        }
        snprintf(rec.Id, sizeof(rec.Id), "003%012u", number);
        snprintf(rec.Phone, sizeof(rec.Phone), "+1 555 %07u", number);
        CopyText(rec.Title, "Sales Manager");
        CopyText(rec.MailingCity, "Springfield");
        rec.CreationTime = 39000.0;
        rec.LastModificationTime = modified(rng);
        kept.push_back(Keep(CrmData.AddrUtil, rec));
    }
}

// A calendar: meetings on working days over ten years, 5% entered twice.
void LoadEvents(size_t count, std::mt19937& rng) {
    std::uniform_real_distribution<double> modified(40000.0, 46000.0);
    std::vector<SFDateRec*> kept;
    kept.reserve(count);
    while (kept.size() < count) {
        if (kept.size() > 10 && Chance(rng) < 0.05) {
            size_t original = std::uniform_int_distribution<size_t>(0, kept.size() - 1)(rng);
            SFDateRec again = *kept[original];
            again.Entry = nullptr;
            again.Flags = 0;
            again.LastModificationTime = modified(rng);
            kept.push_back(Keep(CrmData.DateUtil, again));
            continue;
        }
        SFDateRec rec;
        if (Chance(rng) >= 0.05)
            snprintf(rec.Subject, sizeof(rec.Subject), "%s with %s %s", Pick(kTopics, rng),
                     Pick(kFirstNames, rng), Pick(kLastNames, rng));
        CopyText(rec.Location, Pick(kPlaces, rng));
        const double day = 42000 + std::uniform_int_distribution<int>(0, 3650)(rng);
        rec.AllDayEvent = Chance(rng) < 0.05;
        rec.StartTime =
            day + (rec.AllDayEvent ? 0 : std::uniform_int_distribution<int>(16, 36)(rng) / 48.0);
        rec.EndTime = rec.StartTime + (rec.AllDayEvent ? 1 : 1.0 / 24);
        rec.LastModificationTime = modified(rng);
        kept.push_back(Keep(CrmData.DateUtil, rec));
    }
}

// Tasks: follow-ups with people over ten years, 5% entered twice.
void LoadTasks(size_t count, std::mt19937& rng) {
    std::uniform_real_distribution<double> modified(40000.0, 46000.0);
    std::vector<SFTaskRec*> kept;
    kept.reserve(count);
    while (kept.size() < count) {
        if (kept.size() > 10 && Chance(rng) < 0.05) {
            size_t original = std::uniform_int_distribution<size_t>(0, kept.size() - 1)(rng);
            SFTaskRec again = *kept[original];
            again.Entry = nullptr;
            again.Flags = 0;
            again.LastModificationTime = modified(rng);
            kept.push_back(Keep(CrmData.TaskUtil, again));
            continue;
        }
        SFTaskRec rec;
        snprintf(rec.Subject, sizeof(rec.Subject), "%s: %s %s", Pick(kTopics, rng),
                 Pick(kFirstNames, rng), Pick(kLastNames, rng));
        CopyText(rec.Priority, Pick(kPriorities, rng));
        rec.DueDate =
            Chance(rng) < 0.1 ? 0 : 42000 + std::uniform_int_distribution<int>(0, 3650)(rng);
        rec.LastModificationTime = modified(rng);
        kept.push_back(Keep(CrmData.TaskUtil, rec));
    }
}

void LoadNotes(size_t count) {
    for (size_t i = 0; i < count; ++i)
        Keep(CrmData.NoteUtil, SFNoteRec{});
}

void AllContactRules(TAppSettings& s) {
    SetDefaultRules(s);
    s.AddrDepartment = s.AddrTitle = s.AddrPhone = s.AddrAddress = true;
    s.AddrBirthday = s.AddrNote = true;
}

void CompareEmptyRules(TAppSettings& s) {
    SetDefaultRules(s);
    s.CompareEmpty = true;
}

void OnlyEmailRule(TAppSettings& s) {
    SetDefaultRules(s);
    s.AddrDisplayName = s.AddrFirstName = s.AddrLastName = false;
}

void NoContactRules(TAppSettings& s) {
    OnlyEmailRule(s);
    s.AddrEmail = false;
}

int g_nRuns = 3;
bool g_bNoScan = false;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median time of g_nRuns runs of one matching run.
double TimeOf(const std::function<bool()>& run) {
    std::vector<double> seconds;
    for (int i = 0; i < g_nRuns; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return Median(seconds);
}

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct KindRuns {
    const char* noun;
    bool (*scan)();
    bool (*find)(TDupPlan, TDupRunStats*);
    CxList* TCrmData::*list;
};

const KindRuns kContacts = {"contacts", ScanAddrDups, FindAddrDupsWith, &TCrmData::AddrDupList};
const KindRuns kEvents = {"events", ScanDateDups, FindDateDupsWith, &TCrmData::DateDupList};
const KindRuns kTasks = {"tasks", ScanTaskDups, FindTaskDupsWith, &TCrmData::TaskDupList};
const KindRuns kNotes = {"notes", ScanNoteDups, FindNoteDupsWith, &TCrmData::NoteDupList};

std::vector<void*> ListOf(const KindRuns& kind) {
    std::vector<void*> items;
    CxList* list = CrmData.*kind.list;
    for (void* item = list->GetFirst(); item; item = list->GetNext())
        items.push_back(item);
    return items;
}

// The engine alone on loaded data: time, memory, what it did.
void ReportEngine(const KindRuns& kind, size_t count) {
    TDupRunStats stats;
    const size_t heapBefore = HeapInUse();
    kind.find(TDupPlan::Auto, &stats);
    const size_t heapAfter = HeapInUse();
    const uint32_t dups = (CrmData.*kind.list)->GetCount();
    const double seconds = TimeOf([&] { return kind.find(TDupPlan::Auto, nullptr); });
    const long held = static_cast<long>(heapAfter) - static_cast<long>(heapBefore);
    std::printf("  engine    %8zu %-8s %8.3f s  duplicates %7u  patterns %3u indexes %3u%s"
                "  memory %5.1f B/record; heap held after the run %.1f B per listed duplicate\n",
                count, kind.noun, seconds, dups, stats.nPatterns, stats.nIndexes,
                stats.bBackToPlain ? " (back to plain)" : (stats.bIndexed ? "" : " (plain)"),
                count ? double(stats.nPeakBytes) / double(count) : 0.0,
                dups ? double(held) / dups : double(held));
    std::fflush(stdout);
}

// The scan and the engine on the same loaded data: times, ratio, same result.
void ReportBoth(const KindRuns& kind, size_t count) {
    if (g_bNoScan)
        return;
    const double scan = TimeOf(kind.scan);
    const std::vector<void*> expected = ListOf(kind);
    TDupRunStats stats;
    kind.find(TDupPlan::Auto, &stats);
    const bool same = ListOf(kind) == expected;
    const double engine = TimeOf([&] { return kind.find(TDupPlan::Auto, nullptr); });
    std::printf("  scan      %8zu %-8s %8.3f s  engine %8.4f s  scan/engine %8.1f  "
                "engine/scan %6.3f  same list: %s%s\n",
                count, kind.noun, scan, engine, scan / engine, engine / scan, same ? "yes" : "NO",
                stats.bBackToPlain ? "  (engine went back to plain)"
                                   : (stats.bIndexed ? "" : "  (engine stayed plain)"));
    std::fflush(stdout);
}

struct Loaded {
    explicit Loaded(const char* folder) { MakeEmptyData(folder); }
    ~Loaded() { FreeCrmData(); }
};

void ContactTables(const char* folder, bool quick) {
    struct RuleSet {
        const char* title;
        void (*rules)(TAppSettings&);
        double emptyShare;
    } sets[] = {
        {"default rules", SetDefaultRules, 0},
        {"default rules with CompareEmpty on", CompareEmptyRules, 0},
        {"every contact rule on", AllContactRules, 0},
        {"default rules, 30% of the contacts lack first name, last name or e-mail", SetDefaultRules,
         0.30},
    };
    for (const RuleSet& set : sets) {
        std::printf("Contacts, %s:\n", set.title);
        set.rules(AppSettings);
        for (size_t count : {10000, 20000}) {
            Loaded data(folder);
            std::mt19937 rng(20240611u + static_cast<unsigned>(count));
            LoadContacts(count, rng, set.emptyShare);
            ReportBoth(kContacts, count);
        }
        for (size_t count : {10000, 20000, 100000, 1000000}) {
            if (quick && count > 100000)
                continue;
            Loaded data(folder);
            std::mt19937 rng(20240611u + static_cast<unsigned>(count));
            LoadContacts(count, rng, set.emptyShare);
            ReportEngine(kContacts, count);
        }
    }
}

void OtherKindTables(const char* folder, bool quick) {
    std::printf("Calendar events, tasks and notes, default rules:\n");
    SetDefaultRules(AppSettings);
    const size_t count = quick ? 100000 : 1000000;
    std::mt19937 rng(7u);
    {
        Loaded data(folder);
        LoadEvents(count, rng);
        ReportEngine(kEvents, count);
    }
    {
        Loaded data(folder);
        LoadTasks(count, rng);
        ReportEngine(kTasks, count);
    }
    {
        Loaded data(folder);
        LoadNotes(count);
        ReportEngine(kNotes, count);
    }
    for (size_t small : {10000, 20000}) {
        Loaded data(folder);
        LoadEvents(small, rng);
        LoadTasks(small, rng);
        LoadNotes(small);
        ReportBoth(kEvents, small);
        ReportBoth(kTasks, small);
        ReportBoth(kNotes, small);
    }
}

void HardTables(const char* folder) {
    struct Hard {
        const char* title;
        void (*rules)(TAppSettings&);
        void (*load)(size_t count, std::mt19937& rng);
    } cases[] = {
        {"only the e-mail rule; half the contacts without e-mail, each newer than the last "
         "(every group hands its survivor down the whole chain)",
         OnlyEmailRule,
         [](size_t count, std::mt19937&) {
             SFAddrRec rec;
             for (size_t i = 0; i < count / 2; ++i) {
                 snprintf(rec.Email, sizeof(rec.Email), "p%zu@example.com", i);
                 Keep(CrmData.AddrUtil, rec);
             }
             rec.Email[0] = '\0';
             for (size_t i = count / 2; i < count; ++i) {
                 rec.LastModificationTime = double(i);
                 Keep(CrmData.AddrUtil, rec);
             }
         }},
        {"every contact rule off (one group per object kind)", NoContactRules,
         [](size_t count, std::mt19937& rng) {
             SFAddrRec rec;
             for (size_t i = 0; i < count; ++i) {
                 rec.ObjectKind = static_cast<int32_t>(i % 3);
                 rec.LastModificationTime = Chance(rng);
                 Keep(CrmData.AddrUtil, rec);
             }
         }},
        {"every contact rule on, each text empty or not at random (about one pattern of "
         "empty texts per contact)",
         AllContactRules,
         [](size_t count, std::mt19937& rng) {
             for (size_t i = 0; i < count; ++i) {
                 SFAddrRec rec;
                 for (char* text :
                      {rec.Name, rec.FirstName, rec.LastName, rec.Department, rec.Title, rec.Email,
                       rec.Phone, rec.MobilePhone, rec.OtherPhone, rec.MailingCity,
                       rec.MailingCountry, rec.MailingPostalCode, rec.MailingState,
                       rec.MailingStreet, rec.OtherCity, rec.OtherCountry, rec.OtherPostalCode,
                       rec.OtherState, rec.OtherStreet})
                     if (Chance(rng) < 0.5)
                         snprintf(text, 32, "v%u",
                                  std::uniform_int_distribution<unsigned>(0, 3)(rng));
                 rec.LastModificationTime = Chance(rng);
                 Keep(CrmData.AddrUtil, rec);
             }
         }},
        {"only the e-mail rule on the address book (10% without e-mail match everyone)",
         OnlyEmailRule, [](size_t count, std::mt19937& rng) { LoadContacts(count, rng, 0); }},
    };
    for (const Hard& hard : cases) {
        std::printf("Hard input: %s:\n", hard.title);
        hard.rules(AppSettings);
        for (size_t count : {10000, 20000}) {
            Loaded data(folder);
            std::mt19937 rng(99u + static_cast<unsigned>(count));
            hard.load(count, rng);
            ReportBoth(kContacts, count);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            g_nRuns = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--quick"))
            quick = true;
        else if (!std::strcmp(argv[i], "--no-scan"))
            g_bNoScan = true;
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc)
            only = argv[++i];
    }
    // The exchange objects clean up their progress and error files when they
    // go; give them a folder of their own.
    char folder[] = "/tmp/tessmark-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dataFolder = std::string(folder) + "/";
    std::printf("Duplicate matching, median of %d runs\n", g_nRuns);
    if (only.empty() || only == "contacts")
        ContactTables(dataFolder.c_str(), quick);
    if (only.empty() || only == "others")
        OtherKindTables(dataFolder.c_str(), quick);
    if (only.empty() || only == "hard")
        HardTables(dataFolder.c_str());
    rmdir(folder);
    return 0;
}
