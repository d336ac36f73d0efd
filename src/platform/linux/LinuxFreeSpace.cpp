#include "platform/linux/LinuxFreeSpace.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/linux/LinuxWritableFile.h"

namespace quenvor::platform {
namespace {

Error sysError(const std::string& what, const std::filesystem::path& p, int err = errno) {
    return Error{err, what + " " + p.string() + ": " + std::strerror(err)};
}

int fdOf(IDirectory& d) { return static_cast<int>(d.nativeHandle()); }

bool singleName(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find('/') == std::string::npos;
}

// The kernel's name of the block device `dev` ("sda1", "dm-0", "loop3"), as /proc and /sys use it.
std::string deviceName(dev_t dev) {
    std::ifstream uevent("/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev)) + "/uevent");
    std::string line, name;
    while (std::getline(uevent, line))
        if (line.rfind("DEVNAME=", 0) == 0) name = line.substr(8);
    return name.find('/') == std::string::npos ? name : std::string();
}

// XFS's geometry as its first, stable ioctl gives it to any user (XFS_IOC_FSGEOMETRY_V1): the
// headers that declare it are not installed with the system.
struct XfsGeometryV1 {
    std::uint32_t blocksize, rtextsize, agblocks, agcount, logblocks, sectsize, inodesize, imaxpct;
    std::uint64_t datablocks, rtblocks, rtextents, logstart;
    unsigned char uuid[16];
    std::uint32_t sunit, swidth;
    std::int32_t version;
    std::uint32_t flags, logsectsize, rtsectsize, dirblocksize;
};
static_assert(sizeof(XfsGeometryV1) == 112);
constexpr unsigned long kXfsGeometryV1 = _IOR('X', 100, XfsGeometryV1);

// The journal of the ext3/ext4 filesystem on device `dev`, in blocks: jbd2 tells anyone its
// largest transaction, which the kernel caps at a third or a quarter of the journal (it changed
// between versions), so four times it is never short. 0 when it cannot be told.
std::uint64_t journalBlocks(dev_t dev) {
    const std::string name = deviceName(dev);
    if (name.empty()) return 0;
    std::string line;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc/fs/jbd2", ec)) {
        const std::string entry = e.path().filename().string();
        if (entry.size() <= name.size() || entry.compare(0, name.size() + 1, name + "-") != 0) continue;
        std::ifstream info(e.path() / "info");
        // "N transactions (M requested), each up to B blocks"
        std::getline(info, line);
        const auto at = line.find("each up to ");
        if (at == std::string::npos) return 0;
        const std::uint64_t most = std::strtoull(line.c_str() + at + 11, nullptr, 10);
        return most * 4 + 3;  // the division dropped up to three
    }
    return 0;
}

}  // namespace

Result<SpaceFacts> LinuxFreeSpace::space(IDirectory& folder) {
    struct statvfs v {};
    if (::fstatvfs(fdOf(folder), &v) != 0) return sysError("cannot read the free space of", folder.path());
    const std::uint64_t unit = v.f_frsize ? v.f_frsize : v.f_bsize;
    SpaceFacts f;
    f.total = static_cast<std::uint64_t>(v.f_blocks) * unit;
    f.free = static_cast<std::uint64_t>(v.f_bfree) * unit;
    f.available = static_cast<std::uint64_t>(v.f_bavail) * unit;
    f.blockSize = static_cast<std::uint32_t>(v.f_bsize ? v.f_bsize : unit);
    f.nameMax = static_cast<std::uint32_t>(v.f_namemax ? v.f_namemax : 255);
    return f;
}

Result<NameTable> LinuxFreeSpace::names(IDirectory& folder) {
    struct statfs fs {};
    struct stat st {};
    if (::fstatfs(fdOf(folder), &fs) != 0 || ::fstat(fdOf(folder), &st) != 0)
        return sysError("cannot examine", folder.path());
    NameTable t;
    // ext2, ext3 and ext4 share the magic; FAT's folders are cluster chains that never shrink.
    const auto magic = static_cast<std::uint64_t>(fs.f_type);
    t.bounded = magic == EXT4_SUPER_MAGIC || magic == MSDOS_SUPER_MAGIC;
    if (t.bounded) t.bytes = static_cast<std::uint64_t>(st.st_size);
    if (magic == EXT4_SUPER_MAGIC) t.journalBytes = journalBlocks(st.st_dev) * static_cast<std::uint64_t>(fs.f_bsize);
    XfsGeometryV1 g{};
    if (magic == XFS_SUPER_MAGIC && ::ioctl(fdOf(folder), kXfsGeometryV1, &g) == 0 && g.blocksize >= 512)
        t.journalBytes = std::uint64_t{g.logblocks} * g.blocksize;
    return t;
}

Status LinuxFreeSpace::writeBack(IDirectory& folder) {
    if (::syncfs(fdOf(folder)) != 0) return sysError("cannot write back the filesystem of", folder.path());
    return {};
}

std::optional<JournalHead> LinuxFreeSpace::journalHead(IDirectory& folder) {
    struct statfs fs {};
    struct stat st {};
    if (::fstatfs(fdOf(folder), &fs) != 0 || ::fstat(fdOf(folder), &st) != 0 ||
        static_cast<std::uint64_t>(fs.f_type) != XFS_SUPER_MAGIC)
        return std::nullopt;
    const std::string name = deviceName(st.st_dev);
    if (name.empty()) return std::nullopt;
    // "cycle:block"
    std::ifstream in("/sys/fs/xfs/" + name + "/log/log_head_lsn");
    JournalHead h;
    char colon = 0;
    if (!(in >> h.cycle >> colon >> h.block) || colon != ':') return std::nullopt;
    return h;
}

Result<std::unique_ptr<IWritableFile>> LinuxFreeSpace::createFile(IDirectory& folder, const std::string& name) {
    if (!singleName(name)) return Error{EINVAL, "not a name inside " + folder.path().string() + ": " + name};
    const int fd = ::openat(fdOf(folder), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return sysError("cannot create", folder.path() / name);
    return std::unique_ptr<IWritableFile>(std::make_unique<LinuxWritableFile>(fd, folder.path() / name, ENOSPC));
}

Status LinuxFreeSpace::makeFolder(IDirectory& parent, const std::string& name) {
    if (!singleName(name)) return Error{EINVAL, "not a name inside " + parent.path().string() + ": " + name};
    if (::mkdirat(fdOf(parent), name.c_str(), 0700) != 0) return sysError("cannot create folder", parent.path() / name);
    return {};
}

Result<std::uint64_t> LinuxFreeSpace::discardFree(IDirectory& folder) {
    struct fstrim_range range {};
    range.start = 0;
    range.len = UINT64_MAX;
    range.minlen = 0;
    if (::ioctl(fdOf(folder), FITRIM, &range) != 0) return sysError("cannot discard the free space of", folder.path());
    return static_cast<std::uint64_t>(range.len);
}

}  // namespace quenvor::platform
