// The duplicates of a local org under the default rules: loads every kind of
// the org through the helper program, as the wizard does, matches each kind
// and counts the duplicates the review page lists ticked and unticked (those
// that do not equal the record kept in their stead), with the time matching
// took. The org is made with tessmark-sample-org, for instance
//
//     tessmark-sample-org --out /tmp/big.db --contacts 500000 --accounts 100000
//         --leads 100000 --events 500000 --tasks 500000 --notes 100000
//     bench_orgdups /tmp/big.db
//
// The login is the sample org's default one, so no secret is ever given on
// the command line. The helper's files go to a folder of
// their own under /tmp, removed at the end.
#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "DefaultRules.h"
#include "DupMatch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using testsupport::SetDefaultRules;

struct Counts {
    uint32_t loaded = 0;
    uint32_t listed = 0;
    uint32_t indirect = 0;
    uint32_t withoutKept = 0;
    double seconds = 0;
};

template <class TRec>
Counts Match(bool (*find)(), TRec* (*first)(), TRec* (*next)(), CxList* TCrmData::*list) {
    Counts counts;
    for (TRec* r = first(); r; r = next())
        ++counts.loaded;
    const auto start = std::chrono::steady_clock::now();
    find();
    counts.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CxList* dups = CrmData.*list;
    for (void* item = dups->GetFirst(); item; item = dups->GetNext()) {
        const TRec* r = static_cast<const TRec*>(item);
        ++counts.listed;
        if (r->Flags & mkIndirect)
            ++counts.indirect;
        if (!r->KeptRecord)
            ++counts.withoutKept;
    }
    return counts;
}

void Report(const char* noun, const Counts& c) {
    std::printf("%-9s %9u loaded %8u listed: %8u ticked %7u unticked (%.2f%% of listed)%s"
                "  matching %.3f s\n",
                noun, c.loaded, c.listed, c.listed - c.indirect, c.indirect,
                c.listed ? 100.0 * c.indirect / c.listed : 0.0,
                c.withoutKept ? "  SOME WITHOUT KEPT RECORD" : "", c.seconds);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_orgdups ORG.db (made by tessmark-sample-org)\n");
        return 2;
    }
    std::error_code ec;
    const std::filesystem::path org = std::filesystem::absolute(argv[1], ec);
    if (ec || !std::filesystem::exists(org)) {
        std::fprintf(stderr, "no org at %s\n", argv[1]);
        return 2;
    }
    char home[] = "/tmp/bench_orgdups.XXXXXX";
    if (!mkdtemp(home)) {
        std::fprintf(stderr, "cannot make a folder under /tmp\n");
        return 2;
    }
    setenv("XDG_DATA_HOME", home, 1);

    TAppSettings& s = AppSettings;
    SetDefaultRules(s);
    CopyText(s.UserName, "demo@example.com");
    CopyText(s.Password, "demo");
    CopyText(s.Token, "DEMOTOKEN");
    s.Connection = ccLocalOrg;
    CopyText(s.LocalOrgPath, org.c_str());
    s.AddrAccount = s.AddrContact = s.AddrLead = true;
    s.AppFlag = rkAddr | rkDate | rkTask | rkNote;
    s.EnableDebug = false;

    const auto start = std::chrono::steady_clock::now();
    const bool loaded = LoadCrmData();
    std::printf("loaded %s in %.1f s%s\n", org.c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                loaded ? "" : " (A LOAD FAILED)");
    std::printf("Duplicates under the default rules:\n");
    Report("contacts",
           Match(FindAddrDups, FirstAddrRecord, NextAddrRecord, &TCrmData::AddrDupList));
    Report("events", Match(FindDateDups, FirstDateRecord, NextDateRecord, &TCrmData::DateDupList));
    Report("tasks", Match(FindTaskDups, FirstTaskRecord, NextTaskRecord, &TCrmData::TaskDupList));
    Report("notes", Match(FindNoteDups, FirstNoteRecord, NextNoteRecord, &TCrmData::NoteDupList));
    FreeCrmData();
    std::filesystem::remove_all(home, ec);
    return loaded ? 0 : 1;
}
