#pragma once
// Another process holding a write lock on a file for as long as this object lives: how a
// running Firefox holds its profile's lock file.
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace quenvor::test {

class HeldLock {
public:
    explicit HeldLock(const std::filesystem::path& file) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_child = ::fork();
        if (m_child == 0) {
            const int fd = ::open(file.c_str(), O_RDWR);
            struct flock fl {};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            ::fcntl(fd, F_SETLK, &fl);
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char c;
        m_held = m_child > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~HeldLock() {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
    }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    bool held() const { return m_held; }

private:
    pid_t m_child = -1;
    bool m_held = false;
};

}  // namespace quenvor::test
