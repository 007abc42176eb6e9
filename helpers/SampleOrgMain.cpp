// tessmark-sample-org: creates a local org with sample data for the helper program.
#include "SampleOrg.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Usage(FILE* out) {
    std::fprintf(out, "usage: tessmark-sample-org --out FILE [options]\n"
                      "  --contacts N --accounts N --leads N   contact sources (200, 50, 50)\n"
                      "  --events N --tasks N --notes N        activities (100, 100, 50)\n"
                      "  --dup-rate R    share of records made as duplicates, 0 to 1 (0.1)\n"
                      "  --seed S        seed of the data; the same seed gives the same org (1)\n"
                      "  --user U --password P --token T       the login (demo@example.com, demo,\n"
                      "                  DEMOTOKEN)\n"
                      "  --force         replace FILE when it exists\n");
}

bool ParseNumber(const char* text, uint64_t max, uint64_t* value) {
    if (!text || !*text || *text == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end || v > max)
        return false;
    *value = v;
    return true;
}

bool ParseRate(const char* text, double* value) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (*end || !(v >= 0 && v <= 1))
        return false;
    *value = v;
    return true;
}

// Counts above this are refused as typing errors.
constexpr uint64_t kMaxCount = 100000000;

} // namespace

int main(int argc, char** argv) {
    SampleOrgOptions opt;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        uint64_t* count = nullptr;
        if (arg == "--contacts")
            count = &opt.contacts;
        else if (arg == "--accounts")
            count = &opt.accounts;
        else if (arg == "--leads")
            count = &opt.leads;
        else if (arg == "--events")
            count = &opt.events;
        else if (arg == "--tasks")
            count = &opt.tasks;
        else if (arg == "--notes")
            count = &opt.notes;

        bool ok = true;
        if (count) {
            ok = ParseNumber(value, kMaxCount, count);
            ++i;
        } else if (arg == "--seed") {
            ok = ParseNumber(value, UINT64_MAX, &opt.seed);
            ++i;
        } else if (arg == "--dup-rate") {
            ok = ParseRate(value, &opt.dupRate);
            ++i;
        } else if (arg == "--out" || arg == "--user" || arg == "--password" || arg == "--token") {
            ok = value != nullptr;
            if (ok) {
                std::string& target = arg == "--out"        ? opt.outPath
                                      : arg == "--user"     ? opt.user
                                      : arg == "--password" ? opt.password
                                                            : opt.token;
                target = value;
            }
            ++i;
        } else if (arg == "--force") {
            opt.force = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "tessmark-sample-org: bad or incomplete option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (opt.outPath.empty()) {
        Usage(stderr);
        return 2;
    }
    SampleOrgSummary summary;
    std::string error;
    if (!CreateSampleOrg(opt, &summary, error)) {
        std::fprintf(stderr, "tessmark-sample-org: %s\n", error.c_str());
        return 1;
    }
    auto line = [](const char* what, const SampleObjectSummary& s) {
        std::printf("%-9s %10llu rows, %8llu made as duplicates\n", what,
                    static_cast<unsigned long long>(s.rows),
                    static_cast<unsigned long long>(s.duplicates));
    };
    std::printf("Created %s (user %s)\n", opt.outPath.c_str(), opt.user.c_str());
    line("Contact", summary.contacts);
    line("Account", summary.accounts);
    line("Lead", summary.leads);
    line("Event", summary.events);
    line("Task", summary.tasks);
    line("Note", summary.notes);
    return 0;
}
