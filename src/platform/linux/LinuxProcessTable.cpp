#include "platform/linux/LinuxProcessTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>

namespace quenvor::platform {

std::set<std::pair<std::uint64_t, std::uint64_t>> LinuxProcessTable::openFiles() {
    std::set<std::pair<std::uint64_t, std::uint64_t>> open;
    DIR* proc = ::opendir("/proc");
    if (!proc) return open;
    while (const dirent* p = ::readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(p->d_name[0]))) continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;  // another user's process: its files are not ours anyway
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            struct stat st {};
            // stat follows the descriptor's link to the open file itself.
            if (::stat((fdDir + "/" + f->d_name).c_str(), &st) == 0)
                open.emplace(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return open;
}

std::uint32_t LinuxProcessTable::currentUserId() { return static_cast<std::uint32_t>(::getuid()); }

}  // namespace quenvor::platform

namespace quenvor::platform {

std::string LinuxProcessTable::currentUserName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
    for (const char* var : {"USER", "LOGNAME"})
        if (const char* v = std::getenv(var); v && *v) return v;
    return std::to_string(::getuid());
}

bool LinuxProcessTable::lockedByAnother(const std::filesystem::path& file) {
    // Firefox holds a POSIX record lock on its profile's lock file while it runs; asking
    // which lock would block ours needs no lock of our own and works across sandboxes.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

std::string LinuxProcessTable::hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool LinuxProcessTable::processAlive(std::int64_t pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
    // Another user's process answers "not permitted", and is alive all the same.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::int64_t LinuxProcessTable::currentProcessId() { return ::getpid(); }

bool LinuxProcessTable::programRunning(const std::string& program) {
    if (program.empty()) return false;
    // The kernel keeps a process's name to 15 bytes.
    const std::string shortName = program.substr(0, 15);
    const uid_t me = ::getuid();
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool found = false;
    while (const dirent* p = ::readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(p->d_name[0]))) continue;
        const std::string dir = std::string("/proc/") + p->d_name;
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0 || st.st_uid != me) continue;
        // The program's file, as the process was started from it (a program replaced by an
        // update reads "(deleted)" after its name); its name as a fallback when that is hidden.
        char exe[4096];
        const ssize_t n = ::readlink((dir + "/exe").c_str(), exe, sizeof exe - 1);
        if (n > 0) {
            std::string path(exe, static_cast<std::size_t>(n));
            if (const std::string deleted = " (deleted)";
                path.size() > deleted.size() &&
                path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
                path.resize(path.size() - deleted.size());
            const auto slash = path.rfind('/');
            if (path.substr(slash == std::string::npos ? 0 : slash + 1) == program) found = true;
        }
        if (!found) {
            std::ifstream comm(dir + "/comm");
            std::string name;
            if (std::getline(comm, name) && name == shortName) found = true;
        }
        if (found) break;
    }
    ::closedir(proc);
    return found;
}

}  // namespace quenvor::platform
