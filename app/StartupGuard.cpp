#include "StartupGuard.h"

#include "CxDebugUtil.h"

#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kKinds[] = {"SFAddr", "SFDate", "SFTask", "SFNote"};

bool EndsWithTempSuffix(const std::string& name, const std::string& base) {
    if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.')
        return false;
    for (size_t i = base.size() + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

} // namespace

CxInstanceLock::~CxInstanceLock() {
    if (m_fd >= 0)
        close(m_fd);
}

bool CxInstanceLock::Acquire(const std::string& dataFolder) {
    if (m_fd >= 0)
        return true;
    const std::string path = dataFolder + "tessmark.lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void ProtectProcess() {
    prctl(PR_SET_DUMPABLE, 0);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    umask(077);
}

bool TightenDataFolder(const std::string& dataFolder) {
    struct stat st {};
    if (stat(dataFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if ((st.st_mode & 077) == 0)
        return true;
    if (chmod(dataFolder.c_str(), 0700) != 0)
        return false;
    DEBUG_LOG(LOG_CRITICAL, "The data folder %s was open to other users (mode %o); it is 0700 now.",
              dataFolder.c_str(), static_cast<unsigned>(st.st_mode & 0777));
    return true;
}

bool IsStaleExchangeFile(const std::string& name) {
    for (const char* kind : kKinds) {
        const std::string k = kind;
        if (name == k + "Param.dat")
            return true;
        for (const std::string& base :
             {k + ".dat", k + "Status.dat", k + "Err.dat", k + "Param.dat", k + ".ini"})
            if (EndsWithTempSuffix(name, base))
                return true;
    }
    return EndsWithTempSuffix(name, "SFNoteIds.txt") || EndsWithTempSuffix(name, "SFTokens.ini");
}

int RemoveStaleExchangeFiles(const std::string& dataFolder) {
    DIR* dir = opendir(dataFolder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsStaleExchangeFile(name))
            continue;
        if (unlink((dataFolder + name).c_str()) == 0) {
            ++removed;
            DEBUG_LOG(LOG_NORMAL, "Removed %s, left by an earlier run.", name.c_str());
        }
    }
    closedir(dir);
    return removed;
}
