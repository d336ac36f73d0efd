#include "platform/linux/FdStatus.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace quenvor::platform {

FileType typeOf(mode_t m) {
    if (S_ISREG(m)) return FileType::Regular;
    if (S_ISDIR(m)) return FileType::Directory;
    if (S_ISLNK(m)) return FileType::Symlink;
    if (S_ISSOCK(m)) return FileType::Socket;
    if (S_ISFIFO(m)) return FileType::Fifo;
    if (S_ISCHR(m) || S_ISBLK(m)) return FileType::Device;
    return FileType::Other;
}

FileStatus statusOf(const struct stat& st) {
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

Result<FileStatus> statusOfFd(int fd, const std::filesystem::path& p) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Error{errno, "cannot examine " + p.string() + ": " + std::strerror(errno)};
    FileStatus s = statusOf(st);
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_MNT_ID, &sx) == 0 && (sx.stx_mask & STATX_MNT_ID))
        s.mountId = sx.stx_mnt_id;
    return s;
}

}  // namespace quenvor::platform
