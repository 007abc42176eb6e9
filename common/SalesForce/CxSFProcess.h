// The process calls of the helper runner: start a program as a child process in
// a given working folder, wait for it with a time-out, and reap it later without
// blocking the caller. Only the child's own pid is ever waited for, so other
// children of the program are left to their owners.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts the program at path with argv (no shell, the caller's environment),
// working folder workDir, standard input from /dev/null, descriptors above 2
// closed. 0 with the child's pid in *pid, or the error number.
int SpawnHelperProcess(const std::string& path, const std::vector<std::string>& argv,
                       const char* workDir, pid_t* pid);

enum class HelperWait { Ended, TimedOut, Failed };

// Waits up to timeoutMs for pid to end. Ended: the wait status is in *status and
// the child is reaped. TimedOut: the child still runs and is still to be reaped.
// Failed: the error number is in *error.
HelperWait WaitHelperProcess(pid_t pid, uint32_t timeoutMs, int* status, int* error);

// Reaps pid when it has ended; true when it is gone (reaped now or earlier, or
// no child of ours), false while it still runs.
bool ReapHelperProcess(pid_t pid);

// Leaves pid to a thread of its own that reaps it once it ends; the caller goes
// on at once.
void ReapHelperProcessLater(pid_t pid);
