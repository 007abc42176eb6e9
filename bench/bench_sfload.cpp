// The helper program against the stand-in of the CRM's API on 127.0.0.1: loads
// 10,000 and 100,000 contacts (pages of 2,000) and reports the helper's own CPU
// time and peak memory; then deletes 10,000 tasks and reports the requests made
// and the helper's CPU time. The server's time is not counted.
//
//     bench_sfload [RUNS]      (RUNS per figure, default 3; the median is shown)
#include "CxFile.h"
#include "CxSFParamParser.h"
#include "SFRecords.h"
#include "StandinSupport.h"

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

using standin::Quote;

std::string ProgramFolder() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string() + "/";
}

std::string Id(const char* prefix, int n) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%s%012dAAA", prefix, n);
    return buf;
}

// Contacts with the fields a real contact fills.
standin::Org MakeOrg(int contacts, int tasks) {
    standin::Org org;
    static const char* firsts[] = {"Ada", "Grace", "Alan", "Barbara", "Edsger", "Frances"};
    static const char* lasts[] = {"Lovelace", "Hopper", "Turing", "Liskov", "Dijkstra", "Allen"};
    auto& list = org.objects["Contact"];
    list.reserve(static_cast<size_t>(contacts));
    for (int i = 1; i <= contacts; ++i) {
        const std::string first = firsts[i % 6], last = lasts[(i / 6) % 6];
        list.push_back({{"Id", Quote(Id("003", i))},
                        {"AccountId", Quote(Id("001", i / 7 + 1))},
                        {"Salutation", Quote("Ms.")},
                        {"FirstName", Quote(first)},
                        {"LastName", Quote(last)},
                        {"Name", Quote(first + " " + last)},
                        {"Title", Quote("Engineer")},
                        {"Department", Quote("Research")},
                        {"Email", Quote(first + "." + last + std::to_string(i) + "@example.com")},
                        {"Phone", Quote("+1 555 0100 " + std::to_string(i % 1000))},
                        {"MobilePhone", Quote("+1 555 0199")},
                        {"MailingStreet", Quote(std::to_string(i) + " Main Street")},
                        {"MailingCity", Quote("Springfield")},
                        {"MailingState", Quote("IL")},
                        {"MailingPostalCode", Quote("62701")},
                        {"MailingCountry", Quote("USA")},
                        {"Birthdate", Quote("1980-02-03")},
                        {"Description", i % 4 ? "null" : Quote(std::string(300, 'd'))},
                        {"LeadSource", Quote("Web")},
                        {"DoNotCall", "false"},
                        {"HasOptedOutOfEmail", "false"},
                        {"IsPersonAccount", "false"},
                        {"OwnerId", Quote("005000000000001AAA")},
                        {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
                        {"LastModifiedDate", Quote("2024-05-01T10:00:00.000+0000")}});
    }
    auto& taskList = org.objects["Task"];
    for (int i = 1; i <= tasks; ++i)
        taskList.push_back({{"Id", Quote(Id("00T", i))},
                            {"Subject", Quote("Call " + std::to_string(i))},
                            {"ActivityDate", Quote("2024-06-30")},
                            {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
                            {"LastModifiedDate", Quote("2024-02-01T10:00:00.000+0000")}});
    return org;
}

struct RunResult {
    int exit = -1;
    double cpuSeconds = 0;
    long maxRssKb = 0;
};

// The helper starts as a copy of this process, whose peak memory it inherits:
// give back what the org took and reset the peak first.
void ReleaseMemory() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

RunResult RunHelper(const std::string& helper, const std::string& paramPath) {
    ReleaseMemory();
    std::string path = ProgramFolder() + helper;
    std::string arg = paramPath;
    char* argv[] = {path.data(), arg.data(), nullptr};
    pid_t pid = -1;
    RunResult r;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return r;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return r;
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.maxRssKb = usage.ru_maxrss;
    return r;
}

void WriteParams(const std::string& folder, const std::string& url, const char* data, int request) {
    const std::string stem = std::string(data).substr(0, 6);
    CxSFParamParser p;
    const std::string req = std::to_string(request);
    const std::pair<int32_t, std::string> tags[] = {{1001, "ann@example.com"},
                                                    {1002, "secret-pw"},
                                                    {1003, "TOKEN123"},
                                                    {1004, data},
                                                    {1005, folder},
                                                    {1006, req},
                                                    {1007, stem + "Err.dat"},
                                                    {1008, stem + "Status.dat"},
                                                    {1009, folder},
                                                    {1010, ""},
                                                    {1011, "2"},
                                                    {1012, "0"},
                                                    {1013, "salesforce"},
                                                    {1014, url},
                                                    {1101, "1"},
                                                    {1102, "0"},
                                                    {1103, "0"}};
    for (const auto& [tag, text] : tags)
        p.SetParam(tag, ptText, text.c_str());
    p.SaveParams((folder + stem + "Param.dat").c_str());
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Marks every record of a task data file for deletion.
bool MarkAllTasks(const std::string& path) {
    CxFile in;
    uint32_t count = 0;
    if (!in.Open(path.c_str(), "rb") || !ReadRecordCount(in, count))
        return false;
    std::vector<SFTaskRec> tasks(count);
    for (SFTaskRec& t : tasks)
        if (!ReadSFRecord(in, t))
            return false;
    in.Close();
    CxFile out;
    if (!out.Open(path.c_str(), "wb") || !WriteRecordCount(out, count))
        return false;
    for (SFTaskRec& t : tasks) {
        t.ChangeAction = 3;
        if (!WriteSFRecord(out, t))
            return false;
    }
    out.Close();
    return !out.HasFailed();
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    testsupport::TempDir dir;
    const std::string folder = dir.Folder();
    testsupport::WriteFileBytes(folder + "Velmora.SFHelper.ini", "[Helper]\nRetryDelayMs=100\n");

    for (int contacts : {10000, 100000}) {
        standin::Server server(MakeOrg(contacts, 0));
        if (!server.Started()) {
            std::fprintf(stderr, "the stand-in did not start\n");
            return 1;
        }
        std::vector<double> cpu, rss;
        for (int i = 0; i < runs; ++i) {
            WriteParams(folder, server.Url(), "SFAddr.dat", 1);
            RunResult r = RunHelper("Velmora.SFAddrUtil.exe", folder + "SFAddrParam.dat");
            if (r.exit != 0) {
                std::fprintf(stderr, "load failed with exit status %d\n", r.exit);
                return 1;
            }
            cpu.push_back(r.cpuSeconds);
            rss.push_back(static_cast<double>(r.maxRssKb) / 1024.0);
        }
        std::printf("load %7d contacts: helper CPU %.3f s (%.3f s per 100,000), peak RSS %.1f MiB "
                    "(median of %d)\n",
                    contacts, Median(cpu), Median(cpu) * 100000.0 / contacts, Median(rss), runs);
    }

    std::vector<double> cpu;
    size_t requests = 0;
    for (int i = 0; i < runs; ++i) {
        standin::Server server(MakeOrg(0, 10000));
        WriteParams(folder, server.Url(), "SFTask.dat", 1);
        if (RunHelper("Velmora.SFTaskUtil.exe", folder + "SFTaskParam.dat").exit != 0 ||
            !MarkAllTasks(folder + "SFTask.dat")) {
            std::fprintf(stderr, "loading the tasks failed\n");
            return 1;
        }
        WriteParams(folder, server.Url(), "SFTask.dat", 2);
        RunResult r = RunHelper("Velmora.SFTaskUtil.exe", folder + "SFTaskParam.dat");
        if (r.exit != 0 || server.Deleted().size() != 10000) {
            std::fprintf(stderr, "deleting failed with exit status %d\n", r.exit);
            return 1;
        }
        cpu.push_back(r.cpuSeconds);
        requests = server.CountRequests({"\"DELETE\""});
    }
    std::printf("delete 10000 tasks: %zu delete requests, helper CPU %.3f s (median of %d)\n",
                requests, Median(cpu), runs);
    return 0;
}
