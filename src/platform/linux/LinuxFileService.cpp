#include "platform/linux/LinuxFileService.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/PendingDeletionList.h"

namespace quenvor::platform {
namespace {

Error sysError(const std::string& what, const std::filesystem::path& p, int err = errno) {
    return Error{err, what + " " + p.string() + ": " + std::strerror(err)};
}

FileType typeOf(mode_t m) {
    if (S_ISREG(m)) return FileType::Regular;
    if (S_ISDIR(m)) return FileType::Directory;
    if (S_ISLNK(m)) return FileType::Symlink;
    if (S_ISSOCK(m)) return FileType::Socket;
    if (S_ISFIFO(m)) return FileType::Fifo;
    if (S_ISCHR(m) || S_ISBLK(m)) return FileType::Device;
    return FileType::Other;
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

class LinuxWritableFile : public IWritableFile {
public:
    LinuxWritableFile(int fd, std::filesystem::path p) : m_fd(fd), m_path(std::move(p)) {}
    ~LinuxWritableFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    Result<std::uint64_t> length() override {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) return sysError("cannot read the length of", m_path);
        return static_cast<std::uint64_t>(st.st_size);
    }
    Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::pwrite(m_fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return sysError("cannot write to", m_path);
            }
            if (n == 0) return sysError("cannot write to", m_path, EIO);
            done += static_cast<std::size_t>(n);
        }
        return {};
    }
    Status flushToDevice() override {
        if (::fdatasync(m_fd) != 0) return sysError("cannot flush", m_path);
        return {};
    }
    Status truncate(std::uint64_t length) override {
        if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) return sysError("cannot truncate", m_path);
        return {};
    }
    Status close() override {
        const int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0) return sysError("cannot close", m_path);
        return {};
    }

private:
    int m_fd;
    std::filesystem::path m_path;
};

}  // namespace

Result<FileStatus> LinuxFileService::status(const std::filesystem::path& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileStatus{};
        return sysError("cannot examine", p);
    }
    FileStatus s;
    s.type = typeOf(st.st_mode);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.hardLinks = static_cast<std::uint64_t>(st.st_nlink);
    s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.readOnly = (st.st_mode & S_IWUSR) == 0;
    s.ownerId = st.st_uid;
    return s;
}

Result<std::unique_ptr<IWritableFile>> LinuxFileService::openInPlace(const std::filesystem::path& p) {
    // No O_CREAT and no O_TRUNC: the existing blocks are the ones overwritten.
    const int fd = ::open(p.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return sysError("cannot open", p);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno ? errno : EINVAL;
        ::close(fd);
        return sysError("not a regular file:", p, S_ISREG(st.st_mode) ? err : EINVAL);
    }
    // Back to blocking writes now that we know it is a plain file.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<IWritableFile>(std::make_unique<LinuxWritableFile>(fd, p));
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
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return sysError("cannot rename", from);
    // Filesystems without the no-replace flag: check first, accepting the small race.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return sysError("cannot rename", from, EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return sysError("cannot rename", from);
    return {};
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
    DIR* d = ::fdopendir(fd);
    if (!d) {
        const int err = errno;
        ::close(fd);
        return sysError("cannot list", dir, err);
    }
    std::vector<DirectoryEntry> entries;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        FileType t = typeOfDirent(e->d_type);
        if (t == FileType::NotFound) {
            struct stat st {};
            t = ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? typeOf(st.st_mode) : FileType::Other;
        }
        entries.push_back({e->d_name, t});
        errno = 0;
    }
    const int err = errno;
    ::closedir(d);
    if (err != 0) return sysError("cannot list", dir, err);
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
        if (!kDiskFilesystems.count(type)) continue;
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
