// Duplicate matching of contacts under the default rules (display name, first
// name, last name, e-mail): the time of one FindAddrDups run, the number of
// record comparisons it makes and the process's peak memory, for generated
// address books of 10,000 and 50,000 contacts (or the sizes given as arguments).
//
// The address book: people with common first names, a middle initial, common
// or two-part surnames and e-mail addresses, about 5% of them entered a second time (with the
// e-mail in other letter case now and then), and about 10% without an e-mail.

#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "DupMatch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

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

template <size_t N> const char* Pick(const char* const (&names)[N], std::mt19937& rng) {
    return names[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

void UpperCase(char* text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z')
            *text = static_cast<char>(*text - 'a' + 'A');
}

// Keeps a contact in CrmData as reading the data file does: the record kept by
// the exchange object and linked both ways with its collection entry.
SFAddrRec* KeepContact(const SFAddrRec& rec) {
    CommAddrRec common;
    CxSFAddrUtil::ToCommonContact(&rec, &common);
    SFAddrRec* kept = CrmData.AddrUtil->KeepRecord(&rec);
    CommAddrRec* entry = CrmData.AddrUtil->GetCollection()->AddRecord(&common);
    kept->Entry = entry;
    entry->NativeData = kept;
    return kept;
}

// Fills CrmData with count generated contacts; records are made one at a time,
// so the process holds each only once.
void LoadContacts(size_t count, const char* folder, std::mt19937& rng) {
    CrmData.AddrUtil = new CxSFAddrUtil;
    CrmData.AddrUtil->SetDataFolder(folder);
    CrmData.AddrDupList = new CxList;

    std::uniform_real_distribution<double> modified(40000.0, 46000.0);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::vector<SFAddrRec*> kept;
    kept.reserve(count);
    while (kept.size() < count) {
        const unsigned number = static_cast<unsigned>(kept.size());
        if (kept.size() > 10 && chance(rng) < 0.05) {
            // The same person entered again, changed later or earlier.
            size_t original = std::uniform_int_distribution<size_t>(0, kept.size() - 1)(rng);
            SFAddrRec again = *kept[original];
            again.Entry = nullptr;
            again.LastModificationTime = modified(rng);
            snprintf(again.Id, sizeof(again.Id), "003%012u", number);
            if (chance(rng) < 0.3)
                UpperCase(again.Email);
            kept.push_back(KeepContact(again));
            continue;
        }
        SFAddrRec rec;
        const char* first = Pick(kFirstNames, rng);
        char last[32];
        if (chance(rng) < 0.25)
            CopyText(last, Pick(kLastNames, rng));
        else
            snprintf(last, sizeof(last), "%s%s", Pick(kSurnameHeads, rng),
                     Pick(kSurnameTails, rng));
        const char middle = static_cast<char>('A' + std::uniform_int_distribution<int>(0, 25)(rng));
        CopyText(rec.FirstName, first);
        CopyText(rec.LastName, last);
        snprintf(rec.Name, sizeof(rec.Name), "%s %c. %s", first, middle, last);
        if (chance(rng) >= 0.10)
            snprintf(rec.Email, sizeof(rec.Email), "%s.%s%u@%s", first, last, number,
                     Pick(kDomains, rng));
        snprintf(rec.Id, sizeof(rec.Id), "003%012u", number);
        snprintf(rec.Phone, sizeof(rec.Phone), "+1 555 %07u", number);
        CopyText(rec.Title, "Sales Manager");
        CopyText(rec.MailingCity, "Springfield");
        rec.CreationTime = 39000.0;
        rec.LastModificationTime = modified(rng);
        kept.push_back(KeepContact(rec));
    }
}

void SetDefaultRules() {
    AppSettings.CaseSensitive = false;
    AppSettings.CompareEmpty = false;
    AppSettings.AddrDisplayName = AppSettings.AddrFirstName = AppSettings.AddrLastName = true;
    AppSettings.AddrEmail = true;
    AppSettings.AddrDepartment = AppSettings.AddrTitle = AppSettings.AddrPhone = false;
    AppSettings.AddrAddress = AppSettings.AddrBirthday = AppSettings.AddrNote = false;
}

long PeakMemoryKiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Run(size_t count, const char* folder) {
    std::mt19937 rng(20240611u + static_cast<unsigned>(count));
    LoadContacts(count, folder, rng);
    const long loadedKiB = PeakMemoryKiB();

    ResetRecordComparisons();
    auto start = std::chrono::steady_clock::now();
    FindAddrDups();
    auto end = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - start).count();

    std::printf("%8zu contacts  FindAddrDups %9.3f s  comparisons %12llu  duplicates %6u"
                "  peak memory %7ld KiB (%ld KiB before matching)\n",
                count, seconds, static_cast<unsigned long long>(GetRecordComparisons()),
                CrmData.AddrDupList->GetCount(), PeakMemoryKiB(), loadedKiB);
    std::fflush(stdout);
    FreeCrmData();
}

} // namespace

int main(int argc, char** argv) {
    SetDefaultRules();
    // The exchange object cleans up its progress and error files when it goes;
    // give it a folder of its own.
    char folder[] = "/tmp/tessmark-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string dataFolder = std::string(folder) + "/";

    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (sizes.empty())
        sizes = {10000, 50000};
    for (size_t count : sizes)
        Run(count, dataFolder.c_str());
    rmdir(folder);
    return 0;
}
