#include "platform/linux/LinuxStorageProbe.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>

namespace quenvor::platform {
namespace {

// f_type values; not every one is in every version of <linux/magic.h>.
constexpr std::uint64_t kBtrfs = 0x9123683E;
constexpr std::uint64_t kZfs = 0x2FC12FC1;
constexpr std::uint64_t kBcachefs = 0xCA451A4E;
constexpr std::uint64_t kF2fs = 0xF2F52010;
constexpr std::uint64_t kNilfs = 0x3434;
constexpr std::uint64_t kExt = 0xEF53;
constexpr std::uint64_t kXfs = 0x58465342;
constexpr std::uint64_t kTmpfs = 0x01021994;
constexpr std::uint64_t kRamfs = 0x858458F6;
constexpr std::uint64_t kNfs = 0x6969;
constexpr std::uint64_t kSmb = 0x517B;
constexpr std::uint64_t kCifs = 0xFF534D42;
constexpr std::uint64_t kSmb2 = 0xFE534D42;
constexpr std::uint64_t kFuse = 0x65735546;
constexpr std::uint64_t kV9fs = 0x01021997;
constexpr std::uint64_t kCeph = 0x00C36400;
constexpr std::uint64_t kAfs = 0x5346414F;
constexpr std::uint64_t kAfsFs = 0x6B414653;
constexpr std::uint64_t kCoda = 0x73757245;
constexpr std::uint64_t kOrangefs = 0x20030528;
constexpr std::uint64_t kLustre = 0x0BD00BD0;
constexpr std::uint64_t kOverlay = 0x794C7630;
constexpr std::uint64_t kAufs = 0x61756673;
constexpr std::uint64_t kEcryptfs = 0xF15F;
constexpr std::uint64_t kVfat = 0x4D44;
constexpr std::uint64_t kExfat = 0x2011BAB0;
constexpr std::uint64_t kNtfs = 0x5346544E;
constexpr std::uint64_t kNtfs3 = 0x7366746E;
constexpr std::uint64_t kHfsPlus = 0x482B;
constexpr std::uint64_t kJfs = 0x3153464A;
constexpr std::uint64_t kReiserfs = 0x52654973;
constexpr std::uint64_t kUdf = 0x15013346;
constexpr std::uint64_t kGfs2 = 0x01161970;
constexpr std::uint64_t kOcfs2 = 0x7461636F;

enum class Kind { InPlace, CopyOnWrite, Btrfs, Ext, Network, Overlay, Stacked, Memory, Unknown };

struct KnownFs {
    std::uint64_t magic;
    Kind kind;
    const char* name;
};

constexpr std::array kKnown{
    KnownFs{kBtrfs, Kind::Btrfs, "btrfs"},
    KnownFs{kZfs, Kind::CopyOnWrite, "zfs"},
    KnownFs{kBcachefs, Kind::CopyOnWrite, "bcachefs"},
    KnownFs{kF2fs, Kind::CopyOnWrite, "f2fs"},
    KnownFs{kNilfs, Kind::CopyOnWrite, "nilfs2"},
    KnownFs{kExt, Kind::Ext, "ext4"},
    KnownFs{kXfs, Kind::InPlace, "xfs"},
    KnownFs{kTmpfs, Kind::Memory, "tmpfs"},
    KnownFs{kRamfs, Kind::Memory, "ramfs"},
    KnownFs{kNfs, Kind::Network, "nfs"},
    KnownFs{kSmb, Kind::Network, "smbfs"},
    KnownFs{kCifs, Kind::Network, "cifs"},
    KnownFs{kSmb2, Kind::Network, "smb3"},
    KnownFs{kFuse, Kind::Network, "fuse"},
    KnownFs{kV9fs, Kind::Network, "9p"},
    KnownFs{kCeph, Kind::Network, "ceph"},
    KnownFs{kAfs, Kind::Network, "afs"},
    KnownFs{kAfsFs, Kind::Network, "afs"},
    KnownFs{kCoda, Kind::Network, "coda"},
    KnownFs{kOrangefs, Kind::Network, "orangefs"},
    KnownFs{kLustre, Kind::Network, "lustre"},
    KnownFs{kOverlay, Kind::Overlay, "overlay"},
    KnownFs{kAufs, Kind::Overlay, "aufs"},
    KnownFs{kEcryptfs, Kind::Stacked, "ecryptfs"},
    KnownFs{kVfat, Kind::InPlace, "vfat"},
    KnownFs{kExfat, Kind::InPlace, "exfat"},
    KnownFs{kNtfs, Kind::InPlace, "ntfs"},
    KnownFs{kNtfs3, Kind::InPlace, "ntfs3"},
    KnownFs{kHfsPlus, Kind::InPlace, "hfsplus"},
    KnownFs{kJfs, Kind::InPlace, "jfs"},
    KnownFs{kReiserfs, Kind::InPlace, "reiserfs"},
    KnownFs{kUdf, Kind::InPlace, "udf"},
    KnownFs{kGfs2, Kind::InPlace, "gfs2"},
    KnownFs{kOcfs2, Kind::InPlace, "ocfs2"},
};

const KnownFs* knownFs(std::uint64_t magic) {
    // f_type is signed on some ABIs: compare the low 32 bits the magic numbers use.
    const auto m = magic & 0xFFFFFFFFu;
    for (const auto& k : kKnown)
        if (k.magic == m) return &k;
    return nullptr;
}

Kind kindOf(std::uint64_t magic, const std::string& fsType) {
    // A user-space filesystem mounted by a helper keeps its own name ("fuse.sshfs", "fuseblk").
    if (fsType.rfind("fuse", 0) == 0) return Kind::Network;
    const KnownFs* k = knownFs(magic);
    return k ? k->kind : Kind::Unknown;
}

std::string errnoText(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

Status readExtents(int fd, std::vector<LinuxStorageProbe::RawExtent>& out) {
    constexpr std::size_t kBatch = 64;
    constexpr std::size_t kBytes = sizeof(struct fiemap) + kBatch * sizeof(struct fiemap_extent);
    std::array<std::uint64_t, (kBytes + 7) / 8> buffer{};
    out.clear();
    std::uint64_t start = 0;
    bool first = true;
    for (;;) {
        buffer.fill(0);
        auto* fm = reinterpret_cast<struct fiemap*>(buffer.data());
        fm->fm_start = start;
        fm->fm_length = FIEMAP_MAX_OFFSET - start;
        // The first call writes back dirty pages, so delayed allocations get their real place.
        fm->fm_flags = first ? FIEMAP_FLAG_SYNC : 0;
        fm->fm_extent_count = kBatch;
        if (::ioctl(fd, FS_IOC_FIEMAP, fm) != 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            return Error{err, errnoText("the filesystem does not report where file data lies (FIEMAP)", err)};
        }
        first = false;
        if (fm->fm_mapped_extents == 0) return {};
        bool last = false;
        for (std::uint32_t i = 0; i < fm->fm_mapped_extents && i < kBatch; ++i) {
            const auto& e = fm->fm_extents[i];
            out.push_back({{e.fe_logical, e.fe_physical, e.fe_length}, e.fe_flags});
            last = last || (e.fe_flags & FIEMAP_EXTENT_LAST) != 0;
        }
        const auto& tail = out.back().range;
        const std::uint64_t next = tail.logical + tail.length;
        if (last || next <= start || next >= FIEMAP_MAX_OFFSET) return {};
        start = next;
    }
}

std::uint64_t fsidOf(const struct statfs& sf) {
    std::uint64_t v = 0;
    static_assert(sizeof(sf.f_fsid) == 8);
    std::memcpy(&v, &sf.f_fsid, sizeof v);
    return v;
}

std::string readWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<int> mountIdOf(int dirfd, const char* path, int flags) {
#ifdef STATX_MNT_ID
    struct statx sx {};
    if (::statx(dirfd, path, flags, STATX_MNT_ID, &sx) == 0 && (sx.stx_mask & STATX_MNT_ID))
        return static_cast<int>(sx.stx_mnt_id);
#else
    (void)dirfd;
    (void)path;
    (void)flags;
#endif
    return std::nullopt;
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The mounts table is read again after this: the same disk can be unplugged and mounted again
// with other options, or another overlay mounted where one was.
constexpr auto kFreshMount = std::chrono::seconds(10);

enum class Below { Found, Missing, NoTop };

// `rel` below `top`, one component at a time with no link followed, so that what is found is
// the entry the overlay itself sees at that place in the layer.
Result<Below> statBelow(const std::filesystem::path& top, const std::filesystem::path& rel, struct stat& out) {
    Fd dir(::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return Below::NoTop;
    std::vector<std::string> parts;
    for (const auto& c : rel) {
        const std::string part = c.string();
        if (part.empty() || part == "." || part == "/") continue;
        if (part == "..") return Error{EINVAL, "a path inside the overlay climbs out of it: " + rel.string()};
        parts.push_back(part);
    }
    const auto missing = [](int err) { return err == ENOENT || err == ENOTDIR || err == ELOOP; };
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const int next = ::openat(dir.get(), parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            if (missing(errno)) return Below::Missing;
            return Error{errno, errnoText(("cannot look into " + (top / rel).string()).c_str(), errno)};
        }
        dir.reset(next);
    }
    const int rc = parts.empty() ? ::fstat(dir.get(), &out)
                                 : ::fstatat(dir.get(), parts.back().c_str(), &out, AT_SYMLINK_NOFOLLOW);
    if (rc == 0) return Below::Found;
    if (missing(errno)) return Below::Missing;
    return Error{errno, errnoText(("cannot examine " + (top / rel).string()).c_str(), errno)};
}

// The overlay marks its own files with attributes in one of two namespaces, by how it was mounted.
bool hasOverlayAttribute(const std::filesystem::path& p, const char* name) {
    for (const char* ns : {"trusted.overlay.", "user.overlay."})
        if (::lgetxattr(p.c_str(), (std::string(ns) + name).c_str(), nullptr, 0) >= 0) return true;
    return false;
}

bool isWhiteout(const struct stat& st) { return S_ISCHR(st.st_mode) && st.st_rdev == 0; }

}  // namespace

LinuxStorageProbe::LinuxStorageProbe(std::filesystem::path mountInfo, std::filesystem::path sysRoot,
                                     std::filesystem::path procFs)
    : m_mountInfo(std::move(mountInfo)), m_sysRoot(std::move(sysRoot)), m_procFs(std::move(procFs)) {}

Result<LinuxStorageProbe::OverlayPlace> LinuxStorageProbe::overlayPlace(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Error{errno, errnoText("cannot examine the file", errno)};
    const auto mountId = mountIdOf(fd, "", AT_EMPTY_PATH);
    std::optional<MountTable::Entry> entry;
    {
        const auto key = std::make_pair(static_cast<std::uint64_t>(st.st_dev), mountId.value_or(-1));
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(m_mutex);
        if (auto it = m_overlays.find(key); it != m_overlays.end() && now - it->second.readAt < kFreshMount) {
            entry = it->second.entry;
        } else {
            const auto mounts = MountTable::read(m_mountInfo);
            if (const auto* found = mounts.find(st.st_dev, mountId)) entry = *found;
            m_overlays.insert_or_assign(key, CachedEntry{entry, now});
        }
    }
    const MountTable::Entry* m = entry ? &*entry : nullptr;
    if (!m || m->fsType != "overlay") return Error{ENOENT, "the overlay holding the file is not in the mounts table"};
    std::array<char, PATH_MAX> buf{};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size())
        return Error{errno, errnoText("cannot tell where the file lies in the overlay", errno)};
    const std::string at(buf.data(), static_cast<std::size_t>(n));
    const std::string& top = m->mountPoint;
    std::string rest;
    if (top == "/" && !at.empty() && at[0] == '/')
        rest = at.substr(1);
    else if (at.size() > top.size() && at.compare(0, top.size(), top) == 0 && at[top.size()] == '/')
        rest = at.substr(top.size() + 1);
    else if (at != top)  // removed, or reached through another mount
        return Error{ENOENT, "the file is no longer where the overlay shows it: " + at};
    OverlayPlace place;
    place.layers = MountTable::overlayLayers(m->superOptions);
    place.relative = std::filesystem::path(m->root).relative_path() / rest;
    return place;
}

Result<LinuxStorageProbe::Layered> LinuxStorageProbe::layerAt(const OverlayPlace& place) {
    const auto& layers = place.layers;
    if (layers.upper.empty()) return Layered{};  // a read-only overlay: everything lies below
    struct stat up {};
    auto found = statBelow(layers.upper, place.relative, up);
    if (!found) return found.error();
    if (*found == Below::NoTop)
        return Error{ENOENT, "the overlay's upper folder " + layers.upper.string() +
                                 " cannot be reached, so it cannot be told which layer holds the file"};
    // The overlay shows the upper entry wherever there is one; a whiteout there would hide it.
    if (*found == Below::Missing || !S_ISREG(up.st_mode)) return Layered{};
    const auto real = layers.upper / place.relative;
    // Only the attributes were copied up: the data still lies below, and writing copies it up.
    if (layers.metacopy && (hasOverlayAttribute(real, "metacopy") || (up.st_blocks == 0 && up.st_size > 0)))
        return Layered{};
    Layered out{FileLayer::Upper, hasOverlayAttribute(real, "origin")};
    for (const auto& lower : layers.lowers) {
        if (out.originalBelow) break;
        struct stat low {};
        auto there = statBelow(lower, place.relative, low);
        if (there && *there == Below::Missing) continue;
        // A whiteout in a lower layer hides everything further down; what cannot be looked at
        // may hold the original.
        out.originalBelow = !(there && *there == Below::Found && isWhiteout(low));
        if (!out.originalBelow) break;
    }
    return out;
}

void LinuxStorageProbe::judgeAsUpper(const MountTable::OverlayLayers& layers, Facts& facts) {
    Fd up(::open(layers.upper.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    struct statfs sf {};
    if (up.get() < 0 || ::fstat(up.get(), &st) != 0 || ::fstatfs(up.get(), &sf) != 0) return;
    facts.magic = static_cast<std::uint64_t>(sf.f_type);
    facts.fsType.clear();
    facts.superOptions.clear();
    facts.fsOptions.clear();
    if (auto m = mountOf(up.get(), st.st_dev, fsidOf(sf), facts.magic)) {
        facts.fsType = m->fsType;
        facts.superOptions = m->superOptions;
        facts.fsOptions = m->fsOptions;
    }
}

Result<FileLayer> LinuxStorageProbe::layerOf(std::intptr_t folderHandle, const std::string& name) {
    const int fd = static_cast<int>(folderHandle);
    struct statfs sf {};
    if (::fstatfs(fd, &sf) != 0) return Error{errno, errnoText("cannot examine the folder's filesystem", errno)};
    if ((static_cast<std::uint64_t>(sf.f_type) & 0xFFFFFFFFu) != kOverlay) return FileLayer::Own;
    auto place = overlayPlace(fd);
    if (!place) return place.error();
    place->relative /= name;
    auto at = layerAt(*place);
    if (!at) return at.error();
    return at->layer;
}

std::optional<LinuxStorageProbe::MountFacts> LinuxStorageProbe::mountOf(int fd, std::uint64_t dev, std::uint64_t fsid,
                                                                        std::uint64_t magic) {
    const auto key = std::make_tuple(dev, fsid, magic);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    if (auto it = m_mounts.find(key); it != m_mounts.end() && now - it->second.readAt < kFreshMount)
        return it->second.facts;
    const auto mounts = MountTable::read(m_mountInfo);
    const auto* m = mounts.find(dev, std::nullopt);
    // A btrfs subvolume that is not mounted on its own has a device number of its own.
    if (!m) m = mounts.find(dev, mountIdOf(fd, "", AT_EMPTY_PATH));
    std::optional<MountFacts> facts;
    if (m) {
        facts = MountFacts{m->fsType, m->superOptions, {}};
        if (kindOf(magic, m->fsType) == Kind::Ext) facts->fsOptions = MountTable::ext4Options(m_sysRoot, m_procFs, dev);
    }
    m_mounts.insert_or_assign(key, CachedMount{facts, now});
    return facts;
}

StorageVerdict LinuxStorageProbe::judge(const Facts& facts) {
    StorageVerdict v;
    const KnownFs* known = knownFs(facts.magic);
    v.filesystem = !facts.fsType.empty() ? facts.fsType : known ? known->name : "unknown";
    const auto remain = [&](RemainReason r) {
        v.outcome = OverwriteOutcome::MayRemain;
        v.reason = r;
        return v;
    };
    const auto flag = [&](std::uint32_t f) { return facts.flagsKnown && (facts.flags & f) != 0; };
    const Kind kind = kindOf(facts.magic, facts.fsType);
    switch (kind) {
        case Kind::Network:
            return remain(RemainReason::NetworkOrUserSpace);
        case Kind::Overlay:
            return remain(RemainReason::Overlay);
        case Kind::Stacked:
            return remain(RemainReason::Stacked);
        case Kind::CopyOnWrite:
            return remain(RemainReason::CopyOnWrite);
        case Kind::Btrfs:
            // Only a file created with the no-copy-on-write flag (set on its folder, or for the
            // whole filesystem by nodatacow) is rewritten where it lies.
            if (!flag(FS_NOCOW_FL) && !(facts.directory && MountTable::hasOption(facts.superOptions, "nodatacow")))
                return remain(RemainReason::CopyOnWrite);
            break;
        case Kind::Ext:
            // ext2 has no journal; a per-file journal flag (chattr +j) does what data=journal does.
            if (MountTable::hasOption(facts.superOptions, "data=journal") ||
                MountTable::hasOption(facts.fsOptions, "data=journal") ||
                (flag(FS_JOURNAL_DATA_FL) && facts.fsType != "ext2"))
                return remain(RemainReason::Journal);
            break;
        case Kind::Memory:
            // Nothing outlives the power going off, so there is nothing to check either.
            return v;
        case Kind::InPlace:
        case Kind::Unknown:
            break;
    }
    if (facts.directory) {
        if (kind == Kind::Unknown) v.unverified = "unknown filesystem: each file is checked when it is shredded";
        return v;
    }
    if (!facts.extentsKnown) {
        v.unverified = facts.extentError.empty() ? "the block map could not be read" : facts.extentError;
        if (kind == Kind::Unknown) return remain(RemainReason::Unverifiable);
        return v;
    }
    bool shared = false, encoded = false, inlined = false, placeUnknown = false;
    for (const auto& e : facts.extents) {
        shared = shared || (e.flags & FIEMAP_EXTENT_SHARED);
        encoded = encoded || (e.flags & FIEMAP_EXTENT_ENCODED);
        inlined = inlined || (e.flags & (FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_DATA_TAIL));
        placeUnknown = placeUnknown || (e.flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC));
    }
    if (shared) return remain(RemainReason::SharedExtents);
    if (encoded) return remain(RemainReason::Compressed);
    // Data kept inside the filesystem's own records is rewritten with them: through the
    // journal, or to new places on a copy-on-write filesystem.
    if (inlined) return remain(kind == Kind::Btrfs ? RemainReason::CopyOnWrite : RemainReason::Journal);
    if (placeUnknown) {
        v.unverified = "the filesystem did not say where part of the file lies";
        if (kind == Kind::Unknown) return remain(RemainReason::Unverifiable);
        return v;
    }
    v.extentsChecked = true;
    v.extents.reserve(facts.extents.size());
    // Blocks reserved past the end (speculative preallocation, fallocate KEEP_SIZE) hold no
    // old contents, and the filesystem may let them go during the passes.
    for (const auto& e : facts.extents) {
        if (e.range.logical >= facts.size) continue;
        ExtentRange r = e.range;
        r.length = std::min(r.length, facts.size - r.logical);
        v.extents.push_back(r);
    }
    return v;
}

bool LinuxStorageProbe::extentsMoved(const std::vector<ExtentRange>& before, const std::vector<ExtentRange>& after) {
    std::vector<ExtentRange> sorted = after;
    std::sort(sorted.begin(), sorted.end(),
              [](const ExtentRange& a, const ExtentRange& b) { return a.logical < b.logical; });
    for (const auto& b : before) {
        std::uint64_t pos = b.logical;
        const std::uint64_t end = b.logical + b.length;
        while (pos < end) {
            // The last piece starting at or before pos.
            auto it = std::upper_bound(sorted.begin(), sorted.end(), pos,
                                       [](std::uint64_t p, const ExtentRange& a) { return p < a.logical; });
            if (it == sorted.begin()) return true;
            --it;
            if (pos >= it->logical + it->length) return true;  // now a hole: the old blocks were let go
            if (it->physical + (pos - it->logical) != b.physical + (pos - b.logical)) return true;
            pos = std::min(end, it->logical + it->length);
        }
    }
    return false;
}

Result<StorageVerdict> LinuxStorageProbe::examine(std::intptr_t nativeHandle) {
    const int fd = static_cast<int>(nativeHandle);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Error{errno, errnoText("cannot examine the file", errno)};
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return Error{EINVAL, "only a regular file or a folder can be examined"};
    struct statfs sf {};
    if (::fstatfs(fd, &sf) != 0) return Error{errno, errnoText("cannot examine the filesystem", errno)};

    Facts facts;
    facts.magic = static_cast<std::uint64_t>(sf.f_type);
    facts.directory = S_ISDIR(st.st_mode);
    facts.size = static_cast<std::uint64_t>(st.st_size);
    if (auto m = mountOf(fd, st.st_dev, fsidOf(sf), facts.magic)) {
        facts.fsType = m->fsType;
        facts.superOptions = m->superOptions;
        facts.fsOptions = m->fsOptions;
    }
    // A file of the overlay's upper layer is written where that layer's filesystem puts it;
    // one whose original stays in a lower layer keeps the overlay's verdict.
    if (!facts.directory && (facts.magic & 0xFFFFFFFFu) == kOverlay) {
        if (auto place = overlayPlace(fd)) {
            if (auto at = layerAt(*place); at && at->layer == FileLayer::Upper && !at->originalBelow)
                judgeAsUpper(place->layers, facts);
        }
    }
    int flags = 0;  // the kernel reads and writes an int, whatever the ioctl's declared type
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        facts.flagsKnown = true;
        facts.flags = static_cast<std::uint32_t>(flags);
    }
    // Only a filesystem that might write in place is worth asking where the data lies.
    const Kind kind = kindOf(facts.magic, facts.fsType);
    const bool decided = kind == Kind::Network || kind == Kind::Overlay || kind == Kind::Stacked ||
                         kind == Kind::CopyOnWrite || kind == Kind::Memory ||
                         (kind == Kind::Btrfs && !(facts.flagsKnown && (facts.flags & FS_NOCOW_FL)));
    if (!facts.directory && !decided) {
        if (auto s = readExtents(fd, facts.extents); s)
            facts.extentsKnown = true;
        else
            facts.extentError = s.error().message;
    }
    return judge(facts);
}

StorageVerdict LinuxStorageProbe::verify(std::intptr_t nativeHandle, const StorageVerdict& before) {
    if (!before.inPlace() || !before.extentsChecked) return before;
    const int fd = static_cast<int>(nativeHandle);
    StorageVerdict v = before;
    std::vector<RawExtent> now;
    if (auto s = readExtents(fd, now); !s) {
        v.extentsChecked = false;
        v.unverified = "after the passes: " + s.error().message;
        struct statfs sf {};
        if (::fstatfs(fd, &sf) != 0 || kindOf(static_cast<std::uint64_t>(sf.f_type), v.filesystem) == Kind::Unknown) {
            v.outcome = OverwriteOutcome::MayRemain;
            v.reason = RemainReason::Unverifiable;
        }
        return v;
    }
    const auto remain = [&](RemainReason r) {
        v.outcome = OverwriteOutcome::MayRemain;
        v.reason = r;
        return v;
    };
    std::vector<ExtentRange> ranges;
    ranges.reserve(now.size());
    bool shared = false, placeUnknown = false;
    for (const auto& e : now) {
        shared = shared || (e.flags & FIEMAP_EXTENT_SHARED);
        placeUnknown = placeUnknown || (e.flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC));
        ranges.push_back(e.range);
    }
    if (extentsMoved(before.extents, ranges)) return remain(RemainReason::Moved);
    // Shared since it was examined: a copy made while it was being shredded keeps the old bytes.
    if (shared) return remain(RemainReason::SharedExtents);
    if (placeUnknown) {
        v.unverified = "after the passes the filesystem did not say where part of the file lies";
        return remain(RemainReason::Unverifiable);
    }
    v.extents = std::move(ranges);
    return v;
}

Result<StorageVerdict> LinuxStorageProbe::examinePath(const std::filesystem::path& p) {
    // Opening a device can act on it (a tape rewinds): look before opening.
    struct stat st {};
    if (::fstatat(AT_FDCWD, p.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Error{errno, errnoText(("cannot examine " + p.string()).c_str(), errno)};
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return Error{EINVAL, "only a regular file or a folder can be examined: " + p.string()};
    const int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Error{errno, errnoText(("cannot open " + p.string()).c_str(), errno)};
    auto r = examine(fd);
    ::close(fd);
    return r;
}

DeviceKind LinuxStorageProbe::device(const std::filesystem::path& p) {
    struct stat st {};
    if (::fstatat(AT_FDCWD, p.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
    const auto mounts = MountTable::read(m_mountInfo);
    dev_t dev = st.st_dev;
    if (const auto* m = mounts.find(dev, mountIdOf(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW))) {
        // btrfs and device-mapper report a device number of their own; the source names the disk.
        struct stat src {};
        if (m->source.rfind("/dev/", 0) == 0 && ::stat(m->source.c_str(), &src) == 0 && S_ISBLK(src.st_mode))
            dev = src.st_rdev;
    }
    if (::major(dev) == 0) return {};
    std::error_code ec;
    auto node = std::filesystem::canonical(
        m_sysRoot / "dev" / "block" / (std::to_string(::major(dev)) + ":" + std::to_string(::minor(dev))), ec);
    if (ec) return {};
    if (std::filesystem::exists(node / "partition", ec)) node = node.parent_path();
    const std::string rotational = readWhole(node / "queue" / "rotational");
    if (rotational.empty()) return {};
    DeviceKind k;
    k.known = true;
    k.solidState = rotational[0] == '0';
    const std::string discard = readWhole(node / "queue" / "discard_max_bytes");
    k.discard = !discard.empty() && discard[0] != '0';
    return k;
}

}  // namespace quenvor::platform
