// Reads and writes a contact data file of 100,000 contacts with field lengths
// as a real account has them, and reports the speed and the memory that the
// loaded contacts (records, common records, lists) take.
#include "CxDebugUtil.h"
#include "CxFile.h"
#include "CxSFAddr.h"
#include "CxText.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kContacts = 100000;

std::string Digits(unsigned n, size_t width) {
    std::string s = std::to_string(n);
    return s.size() >= width ? s.substr(s.size() - width) : std::string(width - s.size(), '0') + s;
}

// A contact as a CRM delivers it: ids of 18 characters, short names, an e-mail,
// phones, a mailing address, a description of a few hundred characters for
// every fourth contact and a few custom values.
SFAddrRec MakeContact(unsigned i) {
    static const char* firsts[] = {"Ada", "Grace", "Alan", "Barbara", "Edsger", "Frances"};
    static const char* lasts[] = {"Lovelace", "Hopper", "Turing", "Liskov", "Dijkstra", "Allen"};
    SFAddrRec r;
    r.ObjectKind = static_cast<int32_t>(i % 3);
    CopyText(r.Id, ("0035000000" + Digits(i, 8)).c_str());
    CopyText(r.AccountId, ("0015000000" + Digits(i / 7, 8)).c_str());
    const std::string first = firsts[i % 6];
    const std::string last = lasts[(i / 6) % 6];
    CopyText(r.FirstName, first.c_str());
    CopyText(r.LastName, last.c_str());
    CopyText(r.Name, (first + " " + last).c_str());
    CopyText(r.Salutation, "Ms.");
    CopyText(r.Title, "Senior Account Manager");
    CopyText(r.Department, "Sales");
    CopyText(r.Email, (first + "." + last + Digits(i, 6) + "@example.com").c_str());
    CopyText(r.Phone, ("+1 415 555 " + Digits(i, 4)).c_str());
    CopyText(r.MobilePhone, ("+1 650 555 " + Digits(i * 7, 4)).c_str());
    CopyText(r.MailingStreet, (std::to_string(i % 900 + 1) + " Market Street, Suite 400").c_str());
    CopyText(r.MailingCity, "San Francisco");
    CopyText(r.MailingState, "CA");
    CopyText(r.MailingPostalCode, "94105");
    CopyText(r.MailingCountry, "USA");
    CopyText(r.LeadSource, "Web");
    CopyText(r.OwnerId, "0055000000OwnerAB");
    if (i % 4 == 0) {
        std::string d = "Met at the trade fair; interested in the enterprise plan. ";
        while (d.size() < 300)
            d += "Follow up after the quarter closes. ";
        r.Description.Set(d.c_str());
    }
    CopyText(r.CustomValue[0], "Gold");
    CopyText(r.CustomLabel[0], "Tier");
    CopyText(r.CustomValue[1], Digits(i, 5).c_str());
    CopyText(r.CustomLabel[1], "Customer No");
    r.BirthDate = 25000.0 + i % 10000;
    r.CreationTime = 40000.0 + i % 3000;
    r.LastModificationTime = 42000.0 + (i % 5000) / 7.0;
    return r;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long ResidentKb() {
    long pages = 0, resident = 0;
    FILE* fp = std::fopen("/proc/self/statm", "r");
    if (fp) {
        if (std::fscanf(fp, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(fp);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main() {
    char pattern[] = "/tmp/tessmark-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made)
        return 1;
    const std::string folder = std::string(made) + "/";
    DebugLog.SetLogFolder(folder.c_str());

    // The helper's side: stream the contacts into the file one by one.
    const std::string path = folder + "SFAddr.dat";
    {
        CxFile file;
        if (!file.Open(path.c_str(), "wb") || !WriteRecordCount(file, kContacts))
            return 1;
        for (unsigned i = 0; i < kContacts; ++i)
            if (!WriteAddrRecord(file, MakeContact(i)))
                return 1;
        file.Close();
        if (file.HasFailed())
            return 1;
    }
    const double mb = static_cast<double>(CxFile::GetFileSize(path.c_str())) / (1024.0 * 1024.0);

    const long before = ResidentKb();
    int failures = 0;
    {
        CxSFAddrUtil util;
        util.SetDataFolder(folder.c_str());
        auto start = std::chrono::steady_clock::now();
        const bool read = util.ReadDataFile(nullptr);
        const double readSec = Seconds(start);
        const long loaded = ResidentKb();
        if (!read || util.GetAddrMgr()->GetRecordCount() != kContacts)
            return 1;

        start = std::chrono::steady_clock::now();
        const bool written = util.WriteDataFile("SFAddrOut.dat");
        const double writeSec = Seconds(start);
        if (!written)
            return 1;

        const double perContact =
            static_cast<double>(loaded - before) * 1024.0 / static_cast<double>(kContacts);
        std::printf("contacts:              %d\n", kContacts);
        std::printf("file size:             %.1f MB\n", mb);
        std::printf("read:                  %.3f s  (%.1f MB/s)%s\n", readSec, mb / readSec,
                    readSec < 1.0 ? "" : "  OVER 1 s");
        std::printf("write:                 %.3f s  (%.1f MB/s)%s\n", writeSec, mb / writeSec,
                    writeSec < 1.0 ? "" : "  OVER 1 s");
        std::printf("resident per contact:  %.0f bytes (records, common records, lists)\n",
                    perContact);
        std::printf("sizeof SFAddrRec %zu, CommAddrRec %zu\n", sizeof(SFAddrRec),
                    sizeof(CommAddrRec));
        failures += readSec < 1.0 ? 0 : 1;
        failures += writeSec < 1.0 ? 0 : 1;
    }
    const long peak = PeakKb();
    std::printf("peak resident (ru_maxrss): %.1f MB%s\n", peak / 1024.0,
                peak < 1024L * 1024L ? "" : "  OVER 1 GB");
    failures += peak < 1024L * 1024L ? 0 : 1;

    for (const char* name : {"SFAddr.dat", "SFAddrOut.dat", "appdebug.log"})
        unlink((folder + name).c_str());
    rmdir(made);
    return failures == 0 ? 0 : 2;
}
