#include "CxSFProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Children whose reaper thread could not be made; retried on every later call.
std::mutex g_pendingMutex;
std::vector<pid_t> g_pending;

void ReapPending() {
    std::lock_guard<std::mutex> lock(g_pendingMutex);
    g_pending.erase(std::remove_if(g_pending.begin(), g_pending.end(),
                                   [](pid_t pid) { return ReapHelperProcess(pid); }),
                    g_pending.end());
}

// The spawn attributes and file actions, released on every way out.
class SpawnSetup {
public:
    SpawnSetup() {
        m_bAttr = posix_spawnattr_init(&m_attr) == 0;
        m_bActions = posix_spawn_file_actions_init(&m_actions) == 0;
    }
    ~SpawnSetup() {
        if (m_bActions)
            posix_spawn_file_actions_destroy(&m_actions);
        if (m_bAttr)
            posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // 0 or the error number of the first step that failed.
    int Prepare(const char* workDir) {
        if (!m_bAttr || !m_bActions)
            return ENOMEM;
        // The caller may be a worker thread with signals blocked; the helper
        // starts with none blocked and with the broken-pipe and child signals at
        // their defaults.
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        int rc = posix_spawnattr_setsigmask(&m_attr, &none);
        if (rc == 0)
            rc = posix_spawnattr_setsigdefault(&m_attr, &defaults);
        if (rc == 0)
            rc = posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        if (rc == 0)
            rc = posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
        // Descriptors another thread holds open must not leak into the helper.
        if (rc == 0)
            rc = posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
#endif
        // The helper's working folder is set in the child only: the program's own
        // current directory is shared by all its threads and stays as it is.
        if (rc == 0 && workDir && *workDir)
            rc = posix_spawn_file_actions_addchdir_np(&m_actions, workDir);
        return rc;
    }

    posix_spawnattr_t* Attr() {
        return &m_attr;
    }
    posix_spawn_file_actions_t* Actions() {
        return &m_actions;
    }

private:
    posix_spawnattr_t m_attr;
    posix_spawn_file_actions_t m_actions;
    bool m_bAttr = false;
    bool m_bActions = false;
};

} // namespace

int SpawnHelperProcess(const std::string& path, const std::vector<std::string>& argv,
                       const char* workDir, pid_t* pid) {
    if (!pid || path.empty())
        return EINVAL;
    *pid = 0;
    ReapPending();
    SpawnSetup setup;
    int rc = setup.Prepare(workDir);
    if (rc != 0)
        return rc;
    std::vector<std::string> args = argv.empty() ? std::vector<std::string>{path} : argv;
    std::vector<char*> list;
    for (std::string& arg : args)
        list.push_back(arg.data());
    list.push_back(nullptr);
    pid_t child = 0;
    rc = posix_spawn(&child, path.c_str(), setup.Actions(), setup.Attr(), list.data(), environ);
    if (rc != 0)
        return rc;
    *pid = child;
    return 0;
}

HelperWait WaitHelperProcess(pid_t pid, uint32_t timeoutMs, int* status, int* error) {
    using namespace std::chrono;
    int localStatus = 0, localError = 0;
    int& st = status ? *status : localStatus;
    int& err = error ? *error : localError;
    st = 0;
    err = 0;
    if (pid <= 0) {
        err = ECHILD;
        return HelperWait::Failed;
    }
    // Polled with a pause that grows to 50 ms: a short run costs little, a long
    // one wakes the caller twenty times a second at most.
    const steady_clock::time_point deadline = steady_clock::now() + milliseconds(timeoutMs);
    milliseconds pause(1);
    for (;;) {
        pid_t done = waitpid(pid, &st, WNOHANG);
        if (done == pid)
            return HelperWait::Ended;
        if (done < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return HelperWait::Failed;
        }
        const steady_clock::time_point now = steady_clock::now();
        if (now >= deadline)
            return HelperWait::TimedOut;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, milliseconds(50));
    }
}

bool ReapHelperProcess(pid_t pid) {
    if (pid <= 0)
        return true;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == 0)
            return false;
        if (done < 0 && errno == EINTR)
            continue;
        // Reaped now, or nothing left to reap (ECHILD: no child of ours).
        return true;
    }
}

void ReapHelperProcessLater(pid_t pid) {
    ReapPending();
    if (ReapHelperProcess(pid))
        return;
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(g_pendingMutex);
        g_pending.push_back(pid);
    }
}
