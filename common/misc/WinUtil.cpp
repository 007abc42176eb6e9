#include "WinUtil.h"

#include "CxText.h"

#include <cerrno>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

bool GetModuleFolder(const void* /*module*/, char* buf, size_t size) {
    if (!buf || size == 0)
        return false;
    buf[0] = '\0';
    char exe[4096];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (len <= 0)
        return false;
    size_t n = static_cast<size_t>(len);
    while (n > 0 && exe[n - 1] != '/')
        --n;
    // A folder that does not fit is refused rather than cut to another folder.
    if (n == 0 || n >= size)
        return false;
    exe[n] = '\0';
    CopyText(buf, size, exe);
    return true;
}

namespace {

std::mutex g_hookMutex;
std::function<void(const std::string&)> g_shellOpenHook;

// Starts xdg-open in a session of its own, so it outlives this program's
// terminal and process group; a detached thread reaps it and tells onFailure
// when it could not open the target.
void LaunchXdgOpen(const char* target, const std::function<void()>& onFailure) {
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) {
        if (onFailure)
            onFailure();
        return;
    }
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    bool haveActions = posix_spawn_file_actions_init(&actions) == 0;
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
    // Descriptors left open by accident must not leak into the desktop's tools.
    if (haveActions)
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    char program[] = "xdg-open";
    std::string arg = target;
    char* argv[] = {program, arg.data(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, program, haveActions ? &actions : nullptr, &attr, argv, environ);
    if (haveActions)
        posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        if (onFailure)
            onFailure();
        return;
    }
    auto reap = [pid, onFailure] {
        int status = 0;
        pid_t rcWait;
        while ((rcWait = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        const bool failed = rcWait == pid && (!WIFEXITED(status) || WEXITSTATUS(status) != 0);
        if (failed && onFailure)
            onFailure();
    };
    try {
        std::thread(reap).detach();
    } catch (const std::system_error&) {
        reap(); // no thread to spare: xdg-open hands off and ends quickly
    }
}

} // namespace

bool ShellOpen(const char* target, std::function<void()> onFailure) {
    if (!target || !*target)
        return false;
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_shellOpenHook;
    }
    if (hook)
        hook(target);
    else
        LaunchXdgOpen(target, onFailure);
    return true;
}

void SetShellOpenHook(std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_shellOpenHook = std::move(hook);
}
