// Loads and saves every setting (LoadSettings, SaveSettings) on a large settings
// file: the keys of the program after a section of 50 MB of other lines, so
// that a reader that goes through the file for every key shows. Each round
// binds the file anew (as a start does), loads, changes a setting and saves.
// Reports the median of the rounds for each.
//
//   bench_settings [megabytes] [rounds]   (50 and 5 when not given)
#include "Apputil.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <class F> double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void WriteLargeFile(const std::string& path, size_t megabytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "[Other]\n";
    const size_t target = megabytes * 1024 * 1024;
    std::string line;
    size_t written = 0;
    for (unsigned i = 0; written < target; ++i) {
        line = "Key" + std::to_string(i) + "=" + std::string(40 + i % 40, 'v') + "\n";
        out << line;
        written += line.size();
    }
    out << "[Tessmark]\nUserName=bench@example.com\nSaveToken=1\nToken=QkVOQ0hUT0tFTg==\n"
           "AppFlag=2\nLogLevel=1\n";
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    char folder[] = "/tmp/bench_settings-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = std::string(folder) + "/velmora.ini";
    WriteLargeFile(path, megabytes);
    SettingsFile.SetPath(path.c_str());

    std::vector<double> loads, saves;
    for (int r = 0; r < rounds; ++r) {
        // Binding the file again forgets what was read of it, as at a start.
        SettingsFile.SetPath(path.c_str());
        loads.push_back(Seconds([] { LoadSettings(); }));
        AppSettings.AppFlag = r % 2 ? 2 : 4; // a change, so that the file is written
        saves.push_back(Seconds([] { SaveSettings(); }));
    }
    std::printf("settings file of %zu MB, %d rounds: load median %.3f s, save median %.3f s\n",
                megabytes, rounds, Median(loads), Median(saves));
    std::printf("read back: AppFlag=%d UserName=%s\n", AppSettings.AppFlag, AppSettings.UserName);

    unlink(path.c_str());
    rmdir(folder);
    return 0;
}
