// A stand-in helper program for the runner and exchange tests. It is started
// with the parameter file as its only argument and works in the parameter
// file's folder:
//   - records its run in "tool-run.txt" (argv, working folder, the parameter
//     file's mode, the kind's "Stop" value) and adds a line to "tool-count.txt";
//   - copies the parameter file to "param-copy.dat";
//   - then does what section [Tool] of "tool.ini" asks, in this order:
//     Progress=TEXT writes the progress file (named in the parameter file)
//     with the line TEXT; ErrorCount=N writes the error file (named in the parameter file) with N
//     errors "Tool error 1".."Tool error N"; SubmitMarked=, SubmitDeleted=,
//     SubmitResults= and SubmitBackup= write the keys Marked, Deleted, Results
//     and Backup of section Submit there, UndeleteRequested=, UndeleteRestored=
//     and UndeleteResults= the keys Requested, Restored and Results of section
//     Undelete (each only when given); DataFrom=NAME copies that file to
//     the data file; SleepMs=N sleeps; Signal=N ends by that signal;
//     ExitStatus=N ends with that status (0 otherwise).
#include "CxIniUtil.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The text values of a parameter file by tag; other types are skipped.
std::map<int32_t, std::string> TextParams(const std::string& bytes) {
    std::map<int32_t, std::string> values;
    size_t at = 0;
    auto take = [&](int32_t& v) {
        if (at + 4 > bytes.size())
            return false;
        std::memcpy(&v, bytes.data() + at, 4);
        at += 4;
        return true;
    };
    int32_t count = 0;
    if (!take(count))
        return values;
    for (int32_t i = 0; i < count; ++i) {
        int32_t tag = 0, type = 0, value = 0;
        if (!take(tag) || !take(type) || !take(value))
            break;
        if (type == 8) {
            if (value < 0 || at + static_cast<size_t>(value) > bytes.size())
                break;
            values[tag] = bytes.substr(at, static_cast<size_t>(value));
            at += static_cast<size_t>(value);
        }
    }
    return values;
}

int IniInt(const std::string& path, const char* section, const char* key, int def) {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(path.c_str());
    return ini.GetInt(section, key, def);
}

std::string IniText(const std::string& path, const char* section, const char* key) {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(path.c_str());
    char buf[1024] = {};
    ini.GetString(section, key, buf, sizeof(buf), "");
    return buf;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 64;
    const std::string paramPath = argv[1];
    const size_t slash = paramPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : paramPath.substr(0, slash + 1);

    const std::string params = ReadAll(paramPath);
    std::map<int32_t, std::string> values = TextParams(params);
    const std::string dataFile = values[1004];
    const std::string errorFile = values[1007];
    const std::string progressFile = values[1008];
    // "SFAddr.dat" -> "SFAddr.ini": the kind's state file.
    const std::string stateFile =
        dataFile.size() > 4 ? dataFile.substr(0, dataFile.size() - 4) + ".ini" : std::string();

    char cwd[4096] = {};
    if (!getcwd(cwd, sizeof(cwd)))
        cwd[0] = '\0';
    struct stat st {};
    const bool haveParams = stat(paramPath.c_str(), &st) == 0;
    char mode[16];
    std::snprintf(mode, sizeof(mode), "%o", haveParams ? (st.st_mode & 0777) : 0);
    std::string run = "argc=" + std::to_string(argc) + "\n";
    for (int i = 0; i < argc; ++i)
        run += "argv" + std::to_string(i) + "=" + argv[i] + "\n";
    run += std::string("cwd=") + cwd + "\n";
    run += std::string("mode=") + mode + "\n";
    if (!stateFile.empty())
        run += "stop=" + std::to_string(IniInt(folder + stateFile, "Status", "Stop", -1)) + "\n";
    WriteAll(folder + "tool-run.txt", run);
    WriteAll(folder + "tool-count.txt", "run\n", true);
    if (haveParams)
        WriteAll(folder + "param-copy.dat", params);

    const std::string control = folder + "tool.ini";
    const std::string progress = IniText(control, "Tool", "Progress");
    if (!progress.empty() && !progressFile.empty())
        WriteAll(folder + progressFile, progress + "\n");
    const int errors = IniInt(control, "Tool", "ErrorCount", 0);
    if (errors > 0 && !errorFile.empty()) {
        CxIniUtil ini(nullptr, nullptr);
        ini.SetPath((folder + errorFile).c_str());
        for (int i = 1; i <= errors; ++i) {
            const std::string key = "Error." + std::to_string(i);
            ini.WriteString("Error", key.c_str(), ("Tool error " + std::to_string(i)).c_str());
        }
        ini.WriteInt("Error", "Error.Count", errors);
    }
    if (!errorFile.empty()) {
        const struct {
            const char* from;
            const char* section;
            const char* key;
        } report[] = {{"SubmitMarked", "Submit", "Marked"},
                      {"SubmitDeleted", "Submit", "Deleted"},
                      {"SubmitResults", "Submit", "Results"},
                      {"SubmitBackup", "Submit", "Backup"},
                      {"UndeleteRequested", "Undelete", "Requested"},
                      {"UndeleteRestored", "Undelete", "Restored"},
                      {"UndeleteResults", "Undelete", "Results"}};
        CxIniUtil ini(nullptr, nullptr);
        ini.SetPath((folder + errorFile).c_str());
        for (const auto& r : report) {
            const std::string value = IniText(control, "Tool", r.from);
            if (!value.empty())
                ini.WriteString(r.section, r.key, value.c_str());
        }
    }
    const std::string dataFrom = IniText(control, "Tool", "DataFrom");
    if (!dataFrom.empty() && !dataFile.empty())
        WriteAll(folder + dataFile, ReadAll(folder + dataFrom));
    const int sleepMs = IniInt(control, "Tool", "SleepMs", 0);
    if (sleepMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    const int sig = IniInt(control, "Tool", "Signal", 0);
    if (sig > 0)
        raise(sig);
    return IniInt(control, "Tool", "ExitStatus", 0);
}
