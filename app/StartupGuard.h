// What the program does before its window opens, so that one Tessmark runs per
// data folder and nothing private is left readable: the instance lock, the
// data folder's mode, leftovers of an earlier run that crashed, core dumps.
#pragma once

#include <string>

// Holds an exclusive advisory lock on "tessmark.lock" in the data folder for as
// long as it lives; the kernel releases it when the process ends, however.
class CxInstanceLock {
public:
    CxInstanceLock() = default;
    ~CxInstanceLock();
    CxInstanceLock(const CxInstanceLock&) = delete;
    CxInstanceLock& operator=(const CxInstanceLock&) = delete;

    // False when another process (or another lock object) holds it, or the
    // lock file cannot be made.
    bool Acquire(const std::string& dataFolder);

private:
    int m_fd = -1;
};

// No core dump (it would hold the password and token), and every file and
// folder the process makes is its user's alone.
void ProtectProcess();

// Sets the data folder to mode 0700 when it is looser, and logs it.
bool TightenDataFolder(const std::string& dataFolder);

// Removes what a run that crashed may have left in the data folder: parameter
// files (they hold the password and token) and the helpers' temporary files
// ("SFAddr.dat.XXXXXX" and the like). Returns how many were removed.
int RemoveStaleExchangeFiles(const std::string& dataFolder);

// True for a file name RemoveStaleExchangeFiles removes.
bool IsStaleExchangeFile(const std::string& name);
