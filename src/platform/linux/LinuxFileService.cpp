#include "platform/linux/LinuxFileService.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/PendingDeletionList.h"
#include "platform/linux/FdStatus.h"
#include "platform/linux/LinuxWritableFile.h"

namespace quenvor::platform {
namespace {

Error sysError(const std::string& what, const std::filesystem::path& p, int err = errno) {
    return Error{err, what + " " + p.string() + ": " + std::strerror(err)};
}

FileType typeOfDirent(unsigned char t) {
    switch (t) {
        case DT_REG:
            return FileType::Regular;
        case DT_DIR:
            return FileType::Directory;
        case DT_LNK:
            return FileType::Symlink;
        case DT_SOCK:
            return FileType::Socket;
        case DT_FIFO:
            return FileType::Fifo;
        case DT_CHR:
        case DT_BLK:
            return FileType::Device;
        default:
            return FileType::NotFound;  // unknown: ask lstat
    }
}

// Opens `name` inside the folder `dirFd` (AT_FDCWD: a path) for writing in place, refusing
// anything but a regular file before a byte could be written to it.
Result<int> openRegularAt(int dirFd, const char* name, const std::filesystem::path& shown) {
    // No O_CREAT and no O_TRUNC: the existing blocks are the ones overwritten. O_NONBLOCK keeps a
    // pipe swapped in from blocking the open.
    const int fd = ::openat(dirFd, name, O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return sysError("cannot open", shown);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno ? errno : EINVAL;
        ::close(fd);
        return sysError("not a regular file:", shown, S_ISREG(st.st_mode) ? err : EINVAL);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

Result<std::vector<DirectoryEntry>> listFd(int fd, const std::filesystem::path& dir) {
    // readdir consumes its descriptor: list through a duplicate, from the start.
    const int own = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return sysError("cannot list", dir);
    DIR* d = ::fdopendir(own);
    if (!d) {
        const int err = errno;
        ::close(own);
        return sysError("cannot list", dir, err);
    }
    std::vector<DirectoryEntry> entries;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        FileType t = typeOfDirent(e->d_type);
        if (t == FileType::NotFound) {
            struct stat st {};
            t = ::fstatat(own, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? typeOf(st.st_mode) : FileType::Other;
        }
        entries.push_back({e->d_name, t});
        errno = 0;
    }
    const int err = errno;
    ::closedir(d);
    if (err != 0) return sysError("cannot list", dir, err);
    return entries;
}

Status renameNoReplace(int fromDir, const char* from, int toDir, const char* to, const std::filesystem::path& shown) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return sysError("cannot rename", shown);
    // Filesystems without the no-replace flag: check first, accepting the small race.
    struct stat st {};
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return sysError("cannot rename", shown, EEXIST);
    if (::renameat(fromDir, from, toDir, to) != 0) return sysError("cannot rename", shown);
    return {};
}

class LinuxDirectory : public IDirectory {
public:
    LinuxDirectory(int fd, std::filesystem::path p) : m_fd(fd), m_path(std::move(p)) {}
    ~LinuxDirectory() override { ::close(m_fd); }
    LinuxDirectory(const LinuxDirectory&) = delete;
    LinuxDirectory& operator=(const LinuxDirectory&) = delete;

    const std::filesystem::path& path() const override { return m_path; }
    Result<FileStatus> status() override { return statusOfFd(m_fd, m_path); }
    Result<std::vector<DirectoryEntry>> list() override { return listFd(m_fd, m_path); }
    Result<FileStatus> statAt(const std::string& name) override {
        if (!single(name)) return badName(name);
        struct stat st {};
        if (::fstatat(m_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return FileStatus{};
            return sysError("cannot examine", m_path / name);
        }
        return statusOf(st);
    }
    Result<std::unique_ptr<IWritableFile>> openFile(const std::string& name) override;
    Result<std::unique_ptr<IDirectory>> openDir(const std::string& name) override {
        if (!single(name)) return badName(name);
        const int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return sysError("cannot open folder", m_path / name);
        return std::unique_ptr<IDirectory>(std::make_unique<LinuxDirectory>(fd, m_path / name));
    }
    Status renameAt(const std::string& from, const std::string& to) override {
        if (!single(from)) return badName(from);
        if (!single(to)) return badName(to);
        return renameNoReplace(m_fd, from.c_str(), m_fd, to.c_str(), m_path / from);
    }
    Status unlinkAt(const std::string& name, bool folder) override {
        if (!single(name)) return badName(name);
        if (::unlinkat(m_fd, name.c_str(), folder ? AT_REMOVEDIR : 0) != 0)
            return sysError("cannot remove", m_path / name);
        return {};
    }
    Status setWritableAt(const std::string& name) override {
        if (!single(name)) return badName(name);
        struct stat st {};
        if (::fstatat(m_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return sysError("cannot examine", m_path / name);
        if (S_ISLNK(st.st_mode)) return Error{ELOOP, "will not change a link's target: " + (m_path / name).string()};
        if (st.st_mode & S_IWUSR) return {};
        // With AT_SYMLINK_NOFOLLOW a link swapped in meanwhile is refused, not followed.
        if (::fchmodat(m_fd, name.c_str(), (st.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) != 0)
            return sysError("cannot make writable", m_path / name);
        return {};
    }
    Status setWritable() override {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) return sysError("cannot examine", m_path);
        if (st.st_mode & S_IWUSR) return {};
        if (::fchmod(m_fd, (st.st_mode & 07777) | S_IWUSR) != 0) return sysError("cannot make writable", m_path);
        return {};
    }
    Status flush() override {
        if (::fsync(m_fd) != 0) return sysError("cannot flush folder", m_path);
        return {};
    }
    std::intptr_t nativeHandle() const override { return m_fd; }

private:
    static bool single(const std::string& name) {
        return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
    }
    Error badName(const std::string& name) const {
        return Error{EINVAL, "not a name inside " + m_path.string() + ": " + name};
    }

    int m_fd;
    std::filesystem::path m_path;
};

Result<std::unique_ptr<IWritableFile>> LinuxDirectory::openFile(const std::string& name) {
    if (!single(name)) return badName(name);
    auto fd = openRegularAt(m_fd, name.c_str(), m_path / name);
    if (!fd) return fd.error();
    return std::unique_ptr<IWritableFile>(std::make_unique<LinuxWritableFile>(*fd, m_path / name));
}

}  // namespace

Result<std::unique_ptr<IDirectory>> LinuxFileService::openDirectory(const std::filesystem::path& p) {
    const std::filesystem::path at = p.empty() ? std::filesystem::path(".") : p;
    const int fd = ::open(at.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return sysError("cannot open folder", at);
    return std::unique_ptr<IDirectory>(std::make_unique<LinuxDirectory>(fd, p));
}

Result<std::unique_ptr<IDirectory>> LinuxFileService::openDirectoryNoLinks(const std::filesystem::path& p) {
    if (p.empty()) return sysError("cannot open folder", p, ENOENT);
    // Each step is opened inside the one before with O_NOFOLLOW, so a link put anywhere on the
    // way is met as a link and refused, never followed. The steps before the last need only be
    // searchable, as a folder of someone else's on the way may not be readable.
    int fd = ::open(p.is_absolute() ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return sysError("cannot open folder", p);
    std::vector<std::string> steps;
    for (const auto& part : p.relative_path())
        if (!part.empty() && part != ".") steps.push_back(part.string());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const bool last = i + 1 == steps.size();
        const int flags = (last ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        const int next = ::openat(fd, steps[i].c_str(), flags);
        const int err = errno;
        if (next < 0) {
            struct stat st {};
            const bool link = ::fstatat(fd, steps[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
            ::close(fd);
            if (link) return Error{ELOOP, "a link on the way, not followed: " + p.string()};
            return sysError("cannot open folder", p, err);
        }
        ::close(fd);
        fd = next;
    }
    if (steps.empty()) {
        const int own = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        if (own < 0) return sysError("cannot open folder", p, err);
        fd = own;
    }
    return std::unique_ptr<IDirectory>(std::make_unique<LinuxDirectory>(fd, p));
}

Result<FileStatus> LinuxFileService::status(const std::filesystem::path& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileStatus{};
        return sysError("cannot examine", p);
    }
    return statusOf(st);
}

Result<std::unique_ptr<IWritableFile>> LinuxFileService::openInPlace(const std::filesystem::path& p) {
    auto fd = openRegularAt(AT_FDCWD, p.c_str(), p);
    if (!fd) return fd.error();
    return std::unique_ptr<IWritableFile>(std::make_unique<LinuxWritableFile>(*fd, p));
}

Status LinuxFileService::remove(const std::filesystem::path& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return sysError("cannot remove", p);
    const int rc = S_ISDIR(st.st_mode) ? ::rmdir(p.c_str()) : ::unlink(p.c_str());
    if (rc != 0) return sysError("cannot remove", p);
    return {};
}

Status LinuxFileService::removeAtNextStart(const std::filesystem::path& p) {
    if (!m_pending) return Error{ENOTSUP, "no list of pending deletions for " + p.string()};
    auto st = status(p);
    if (!st) return st.status();
    if (st->type == FileType::NotFound) return {};
    return m_pending->add(p, *st);
}

Status LinuxFileService::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return renameNoReplace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), from);
}

Status LinuxFileService::setWritable(const std::filesystem::path& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return sysError("cannot examine", p);
    if (S_ISLNK(st.st_mode)) return Error{ELOOP, "will not change a link's target: " + p.string()};
    if (st.st_mode & S_IWUSR) return {};
    if (::chmod(p.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) return sysError("cannot make writable", p);
    return {};
}

Status LinuxFileService::flushDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return sysError("cannot open folder", dir);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) return sysError("cannot flush folder", dir, err);
    return {};
}

Result<std::vector<DirectoryEntry>> LinuxFileService::list(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return sysError("cannot list", dir);
    auto entries = listFd(fd, dir);
    ::close(fd);
    return entries;
}

Result<std::string> LinuxFileService::readLink(const std::filesystem::path& link) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
        if (n < 0) return sysError("cannot read the link", link);
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        // Cut to the buffer: read it again with room to spare.
        if (target.size() >= 65536) return Error{ENAMETOOLONG, "link too long: " + link.string()};
        target.resize(target.size() * 4);
    }
}

std::string LinuxFileService::shortForm(const std::filesystem::path& p) {
    if (p.empty()) return {};
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? p.string() : std::string();
}

std::vector<std::filesystem::path> LinuxFileService::parseMounts(const std::string& table) {
    static const std::set<std::string> kDiskFilesystems = {"ext2", "ext3",     "ext4",  "xfs",     "btrfs",
                                                           "f2fs", "vfat",     "exfat", "ntfs",    "ntfs3",
                                                           "jfs",  "reiserfs", "zfs",   "hfsplus", "nilfs2"};
    std::vector<std::filesystem::path> roots;
    std::istringstream in(table);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type)) continue;
        if (!kDiskFilesystems.contains(type)) continue;
        // The table escapes blanks in mount points as octal sequences.
        std::string decoded;
        for (std::size_t i = 0; i < mountPoint.size(); ++i) {
            if (mountPoint[i] == '\\' && i + 3 < mountPoint.size()) {
                const std::string oct = mountPoint.substr(i + 1, 3);
                if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
                    decoded += static_cast<char>((oct[0] - '0') * 64 + (oct[1] - '0') * 8 + (oct[2] - '0'));
                    i += 3;
                    continue;
                }
            }
            decoded += mountPoint[i];
        }
        if (std::find(roots.begin(), roots.end(), std::filesystem::path(decoded)) == roots.end())
            roots.emplace_back(decoded);
    }
    return roots;
}

std::vector<std::filesystem::path> LinuxFileService::fixedDiskRoots() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream ss;
    ss << in.rdbuf();
    return parseMounts(ss.str());
}

}  // namespace quenvor::platform
