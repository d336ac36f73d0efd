// The verdict from what the system reports, for filesystems no test machine can mount, and
// the comparison of block maps that decides whether the passes landed on the old bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/linux/LinuxStorageProbe.h"
#include "platform/linux/MountTable.h"
#include "support/FakeStorageProbe.h"  // compiled here so it stays in step with the interface
#include "support/TempDir.h"

namespace quenvor::platform {
namespace {

using Facts = LinuxStorageProbe::Facts;

constexpr std::uint64_t kBtrfs = 0x9123683E, kExt = 0xEF53, kXfs = 0x58465342, kFuse = 0x65735546, kNfs = 0x6969,
                        kOverlay = 0x794C7630, kEcryptfs = 0xF15F, kZfs = 0x2FC12FC1, kTmpfs = 0x01021994,
                        kExfat = 0x2011BAB0, kMystery = 0x12345678;

Facts fileOn(std::uint64_t magic, std::string type = {}, std::string options = "rw") {
    Facts f;
    f.magic = magic;
    f.fsType = std::move(type);
    f.superOptions = std::move(options);
    f.flagsKnown = true;
    f.extentsKnown = true;
    f.extents = {{{0, 1 << 20, 8192}, FIEMAP_EXTENT_LAST}};
    return f;
}

RemainReason reasonOf(const Facts& f) {
    const auto v = LinuxStorageProbe::judge(f);
    EXPECT_EQ(v.inPlace(), v.reason == RemainReason::None);
    return v.reason;
}

TEST(StorageJudgement, FilesystemsThatNeverOverwriteInPlaceAreNamed) {
    EXPECT_EQ(reasonOf(fileOn(kBtrfs, "btrfs")), RemainReason::CopyOnWrite);
    EXPECT_EQ(reasonOf(fileOn(kZfs, "zfs")), RemainReason::CopyOnWrite);
    EXPECT_EQ(reasonOf(fileOn(kNfs, "nfs4")), RemainReason::NetworkOrUserSpace);
    EXPECT_EQ(reasonOf(fileOn(kFuse, "fuse.sshfs")), RemainReason::NetworkOrUserSpace);
    // A FUSE filesystem is known by its name even where the magic number is not.
    EXPECT_EQ(reasonOf(fileOn(kMystery, "fuseblk")), RemainReason::NetworkOrUserSpace);
    EXPECT_EQ(reasonOf(fileOn(kOverlay, "overlay")), RemainReason::Overlay);
    EXPECT_EQ(reasonOf(fileOn(kEcryptfs, "ecryptfs")), RemainReason::Stacked);
    // The magic number alone suffices when the mounts table could not be read.
    const auto v = LinuxStorageProbe::judge(fileOn(kBtrfs));
    EXPECT_EQ(v.filesystem, "btrfs");
    EXPECT_EQ(v.reason, RemainReason::CopyOnWrite);
    // f_type arrives sign-extended on some ABIs.
    EXPECT_EQ(reasonOf(fileOn(0xFFFFFFFF00000000ull | kBtrfs)), RemainReason::CopyOnWrite);
}

TEST(StorageJudgement, BtrfsWritesInPlaceOnlyForNoCopyOnWriteFilesThatShareNothing) {
    Facts nocow = fileOn(kBtrfs, "btrfs");
    nocow.flags = FS_NOCOW_FL;
    const auto v = LinuxStorageProbe::judge(nocow);
    EXPECT_TRUE(v.inPlace());
    EXPECT_TRUE(v.extentsChecked);
    EXPECT_EQ(v.extents, (std::vector<ExtentRange>{{0, 1 << 20, 8192}}));

    Facts snapshotted = nocow;
    snapshotted.extents[0].flags |= FIEMAP_EXTENT_SHARED;
    EXPECT_EQ(reasonOf(snapshotted), RemainReason::SharedExtents);
    Facts small = nocow;  // kept inside the metadata tree, which is always copied on write
    small.extents[0].flags |= FIEMAP_EXTENT_DATA_INLINE;
    EXPECT_EQ(reasonOf(small), RemainReason::CopyOnWrite);

    // The mount option only decides for files yet to be made, i.e. for a folder.
    Facts mountedNoCow = fileOn(kBtrfs, "btrfs", "rw,nodatacow,space_cache=v2");
    EXPECT_EQ(reasonOf(mountedNoCow), RemainReason::CopyOnWrite);
    mountedNoCow.directory = true;
    EXPECT_EQ(reasonOf(mountedNoCow), RemainReason::None);
    Facts unknownFlags = fileOn(kBtrfs, "btrfs");
    unknownFlags.flagsKnown = false;
    unknownFlags.flags = FS_NOCOW_FL;
    EXPECT_EQ(reasonOf(unknownFlags), RemainReason::CopyOnWrite);
}

TEST(StorageJudgement, Ext4IsInPlaceUnlessItsDataGoesThroughTheJournal) {
    EXPECT_EQ(reasonOf(fileOn(kExt, "ext4", "rw,relatime")), RemainReason::None);
    EXPECT_EQ(reasonOf(fileOn(kExt, "ext4", "rw,relatime,data=journal")), RemainReason::Journal);
    EXPECT_EQ(reasonOf(fileOn(kExt, "ext3", "rw,data=ordered")), RemainReason::None);
    // Only the whole option counts, not a longer one that starts the same.
    EXPECT_EQ(reasonOf(fileOn(kExt, "ext4", "rw,data=journalled_like")), RemainReason::None);
    Facts flagged = fileOn(kExt, "ext4");
    flagged.flags = FS_JOURNAL_DATA_FL;
    EXPECT_EQ(reasonOf(flagged), RemainReason::Journal);
    flagged.fsType = "ext2";  // no journal to keep a copy in
    EXPECT_EQ(reasonOf(flagged), RemainReason::None);
    Facts inlined = fileOn(kExt, "ext4");  // inline data lives in the journaled inode
    inlined.extents[0].flags |= FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_NOT_ALIGNED;
    EXPECT_EQ(reasonOf(inlined), RemainReason::Journal);
    // A journal mode stored in the superblock (tune2fs -o journal_data) is in force, yet only
    // ext4's own list of its options shows it.
    Facts stored = fileOn(kExt, "ext4", "rw,relatime");
    stored.fsOptions = "rw,bsddf,delalloc,data=journal,inode_readahead_blks=32,";
    EXPECT_EQ(reasonOf(stored), RemainReason::Journal);
    stored.fsOptions = "rw,data=ordered,";
    EXPECT_EQ(reasonOf(stored), RemainReason::None);
    Facts folder = fileOn(kExt, "ext4", "data=journal");
    folder.directory = true;
    EXPECT_EQ(reasonOf(folder), RemainReason::Journal);
}

TEST(StorageJudgement, SharedOrEncodedExtentsAreNamedOnAnyFilesystem) {
    Facts reflinked = fileOn(kXfs, "xfs");
    reflinked.extents = {{{0, 4096, 4096}, 0}, {{4096, 1 << 20, 4096}, FIEMAP_EXTENT_SHARED | FIEMAP_EXTENT_LAST}};
    EXPECT_EQ(reasonOf(reflinked), RemainReason::SharedExtents);
    Facts compressed = fileOn(kMystery);
    compressed.extents[0].flags |= FIEMAP_EXTENT_ENCODED;
    EXPECT_EQ(reasonOf(compressed), RemainReason::Compressed);
    // Encryption alone still rewrites the same blocks.
    Facts encrypted = fileOn(kExt, "ext4");
    encrypted.extents[0].flags |= FIEMAP_EXTENT_DATA_ENCRYPTED;
    EXPECT_EQ(reasonOf(encrypted), RemainReason::None);
}

TEST(StorageJudgement, WhatCannotBeCheckedIsSaidAndDecidesOnlyForUnknownFilesystems) {
    Facts noMap = fileOn(kExfat, "exfat");
    noMap.extentsKnown = false;
    noMap.extents.clear();
    noMap.extentError = "FIEMAP: Operation not supported";
    auto v = LinuxStorageProbe::judge(noMap);
    EXPECT_TRUE(v.inPlace());
    EXPECT_FALSE(v.extentsChecked);
    EXPECT_EQ(v.unverified, "FIEMAP: Operation not supported");

    noMap.magic = kMystery;
    noMap.fsType = "newfs";
    v = LinuxStorageProbe::judge(noMap);
    EXPECT_EQ(v.reason, RemainReason::Unverifiable);
    EXPECT_EQ(v.filesystem, "newfs");

    Facts unplaced = fileOn(kMystery);
    unplaced.extents[0].flags |= FIEMAP_EXTENT_UNKNOWN;
    EXPECT_EQ(reasonOf(unplaced), RemainReason::Unverifiable);
    unplaced.magic = kXfs;
    v = LinuxStorageProbe::judge(unplaced);
    EXPECT_TRUE(v.inPlace());
    EXPECT_FALSE(v.extentsChecked);
    EXPECT_FALSE(v.unverified.empty());

    // An unknown filesystem that reports a clean map is left to the check after the passes.
    v = LinuxStorageProbe::judge(fileOn(kMystery));
    EXPECT_TRUE(v.inPlace());
    EXPECT_TRUE(v.extentsChecked);

    // Memory-only storage: nothing outlives the power going off, so nothing is left unchecked.
    Facts ram = fileOn(kTmpfs, "tmpfs");
    ram.extentsKnown = false;
    v = LinuxStorageProbe::judge(ram);
    EXPECT_TRUE(v.inPlace());
    EXPECT_FALSE(v.extentsChecked);
    EXPECT_TRUE(v.unverified.empty());
}

TEST(StorageJudgement, ExtentsMoveOnlyWhenAnOldByteIsNoLongerWhereItWas) {
    using V = std::vector<ExtentRange>;
    const V before{{0, 1000000, 8192}, {8192, 5000000, 4096}};
    EXPECT_FALSE(LinuxStorageProbe::extentsMoved(before, before));
    EXPECT_FALSE(LinuxStorageProbe::extentsMoved({}, {{0, 1, 4096}}));
    // Split or merged differently, in any order: the same places.
    EXPECT_FALSE(LinuxStorageProbe::extentsMoved({{0, 1000000, 8192}}, {{4096, 1004096, 4096}, {0, 1000000, 4096}}));
    EXPECT_FALSE(LinuxStorageProbe::extentsMoved({{0, 1000000, 4096}, {4096, 1004096, 4096}}, {{0, 1000000, 8192}}));
    // A filled hole adds a piece without moving any.
    EXPECT_FALSE(
        LinuxStorageProbe::extentsMoved(before, {{0, 1000000, 8192}, {8192, 5000000, 4096}, {12288, 9000000, 4096}}));

    EXPECT_TRUE(LinuxStorageProbe::extentsMoved(before, {{0, 1000000, 8192}, {8192, 7000000, 4096}}));
    // Half of a piece elsewhere.
    EXPECT_TRUE(LinuxStorageProbe::extentsMoved({{0, 1000000, 8192}}, {{0, 1000000, 4096}, {4096, 3000000, 4096}}));
    // Shifted within the file: same disk place, wrong file offset.
    EXPECT_TRUE(LinuxStorageProbe::extentsMoved({{0, 1000000, 4096}}, {{4096, 1000000, 4096}}));
    // Freed: the blocks went back to the filesystem without being overwritten.
    EXPECT_TRUE(LinuxStorageProbe::extentsMoved(before, {{0, 1000000, 8192}}));
    EXPECT_TRUE(LinuxStorageProbe::extentsMoved(before, {}));
}

TEST(StorageJudgement, BlocksPastTheEndOfTheFileAreNotCompared) {
    Facts f = fileOn(kXfs, "xfs");
    f.size = 10000;
    f.extents = {{{0, 1 << 20, 8192}, 0}, {{8192, 3 << 20, 8192}, 0}, {{16384, 5 << 20, 65536}, FIEMAP_EXTENT_LAST}};
    const auto v = LinuxStorageProbe::judge(f);
    ASSERT_TRUE(v.extentsChecked);
    EXPECT_EQ(v.extents, (std::vector<ExtentRange>{{0, 1 << 20, 8192}, {8192, 3 << 20, 1808}}));
    // The preallocation trimmed by the filesystem during the passes is no move.
    EXPECT_FALSE(LinuxStorageProbe::extentsMoved(v.extents, {{0, 1 << 20, 8192}, {8192, 3 << 20, 4096}}));
}

TEST(StorageJudgement, TheMountsTableIsReadAsTheKernelWritesIt) {
    const auto table = MountTable::parse(
        "22 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
        "40 22 0:35 / /mnt/my\\040disk rw,relatime shared:20 master:3 - btrfs /dev/loop0 "
        "rw,space_cache=v2,subvolid=5,subvol=/\n"
        "garbage line\n"
        "41 22 0:36 / /srv rw - \n"
        "44 22 7:2 / /cut rw - ext4 /dev/loop2\n"  // cut short before its options
        "45 22 7:-3 / /neg rw - ext4 /dev/loop3 rw\n"
        "42 22 0:50 / /home/ana/remote rw,nosuid,nodev - fuse.sshfs ana@host:/home rw,user_id=1000\n"
        "43 22 7:1 / /j rw - ext4 /dev/loop1 rw,data=journal");
    const auto& m = table.entries();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].mountId, 22);
    EXPECT_EQ(m[0].major, 254u);
    EXPECT_EQ(m[0].source, "/dev/vda");
    EXPECT_EQ(m[1].mountPoint, "/mnt/my disk");
    EXPECT_EQ(m[1].minor, 35u);
    EXPECT_EQ(m[1].fsType, "btrfs");
    EXPECT_EQ(m[1].superOptions, "rw,space_cache=v2,subvolid=5,subvol=/");
    EXPECT_EQ(m[2].fsType, "fuse.sshfs");
    EXPECT_EQ(m[3].superOptions, "rw,data=journal");  // the last line has no line feed
    EXPECT_EQ(table.find(::makedev(0, 35), std::nullopt), &m[1]);
    EXPECT_EQ(table.find(::makedev(0, 35), 42), &m[2]);  // the mount id, when known, decides
    EXPECT_EQ(table.find(::makedev(9, 9), std::nullopt), nullptr);
    EXPECT_TRUE(MountTable::hasOption(m[3].superOptions, "data=journal"));
    EXPECT_FALSE(MountTable::hasOption("rw,data=journal", "data=journ"));
    EXPECT_FALSE(MountTable::hasOption("", "rw"));
}

TEST(StorageJudgement, AnOverlaysLayersAreReadFromItsOptions) {
    struct Case {
        const char* options;
        const char* upper;
        std::vector<std::filesystem::path> lowers;
        bool metacopy;
    };
    for (const auto& c : std::vector<Case>{
             {"rw,lowerdir=/l,upperdir=/u/up,workdir=/u/work,uuid=on", "/u/up", {"/l"}, false},
             {"rw,lowerdir=/a:/b\\:c:/my\\040disk,upperdir=/u,metacopy=on", "/u", {"/a", "/b:c", "/my disk"}, true},
             {"ro,lowerdir=/top:/mid::/data", "", {"/top", "/mid", "/data"}, false},  // read-only, a data layer
             {"rw,lowerdir+=/one,lowerdir+=/two,upperdir=/u\\054x", "/u,x", {"/one", "/two"}, false},
         }) {
        const auto l = MountTable::overlayLayers(c.options);
        EXPECT_EQ(l.upper, c.upper) << c.options;
        EXPECT_EQ(l.lowers, c.lowers) << c.options;
        EXPECT_EQ(l.metacopy, c.metacopy) << c.options;
    }
}

// A file in the temporary folder, which must be on ext2/3/4, and its device as "major:minor",
// for mounts tables and option lists written to match it.
class StorageProbeMounts : public ::testing::Test {
protected:
    void SetUp() override {
        test::TempDir::write(file, std::string(8192, 'x'));
        struct statfs sf {};
        ASSERT_EQ(::statfs(file.c_str(), &sf), 0);
        if ((static_cast<std::uint64_t>(sf.f_type) & 0xFFFFFFFFu) != kExt)
            GTEST_SKIP() << "the temporary folder is not on ext2/3/4";
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        dev = std::to_string(::major(st.st_dev)) + ":" + std::to_string(::minor(st.st_dev));
    }
    test::TempDir tmp;
    const std::filesystem::path file = tmp / "file";
    std::string dev;
};

// ext4's list of options in effect is found under the kernel's name of its block device.
TEST_F(StorageProbeMounts, Ext4sOwnListOfOptionsIsRead) {
    test::TempDir::write(tmp / "mountinfo", "999999 1 " + dev + " / / rw - ext4 /dev/disk rw,relatime\n");
    std::filesystem::create_directories(tmp / "sys/dev/block");
    std::filesystem::create_directories(tmp / "sys/devices/disk/part7");
    std::filesystem::create_directory_symlink("../../devices/disk/part7", tmp / "sys/dev/block" / dev);
    for (auto [options, reason] : {std::pair{"rw\nbsddf\ndata=journal\ninit_itable=10\n", RemainReason::Journal},
                                   std::pair{"rw\ndata=ordered\n", RemainReason::None}}) {
        test::TempDir::write(tmp / "proc/ext4/part7/options", options);
        LinuxStorageProbe probe(tmp / "mountinfo", tmp / "sys", tmp / "proc");
        auto v = probe.examinePath(file);
        ASSERT_TRUE(v.ok());
        EXPECT_EQ(v->reason, reason) << options;
    }
}

TEST_F(StorageProbeMounts, TheFilesOwnFilesystemIsFoundInTheMountsTable) {
    // Another filesystem first, with the options that would make the verdict wrong.
    test::TempDir::write(tmp / "mountinfo",
                         "999998 1 7:99 / /other rw - ext4 /dev/loop99 rw\n"
                         "999999 1 " +
                             dev + " / / rw - ext3 /dev/disk rw,data=journal\n");
    LinuxStorageProbe probe(tmp / "mountinfo", tmp / "sys");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto v = probe.examine(fd);
    ::close(fd);
    ASSERT_TRUE(v.ok());
    EXPECT_EQ(v->filesystem, "ext3");
    EXPECT_EQ(v->reason, RemainReason::Journal);
}

TEST(StorageDevice, APartitionIsJudgedByTheQueueOfItsDisk) {
    test::TempDir tmp;
    const auto file = tmp / "file";
    test::TempDir::write(file, "x");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    const std::string dev = std::to_string(::major(st.st_dev)) + ":" + std::to_string(::minor(st.st_dev));
    test::TempDir::write(tmp / "mountinfo", "999999 1 " + dev + " / / rw - ext4 none rw\n");
    const auto sys = tmp / "sys";
    const auto disk = sys / "devices" / "disk";
    test::TempDir::write(disk / "part1" / "partition", "1\n");
    test::TempDir::write(disk / "queue" / "rotational", "0\n");
    test::TempDir::write(disk / "queue" / "discard_max_bytes", "2147450880\n");
    std::filesystem::create_directories(sys / "dev" / "block");
    std::filesystem::create_directory_symlink("../../devices/disk/part1", sys / "dev" / "block" / dev);

    LinuxStorageProbe probe(tmp / "mountinfo", sys);
    auto k = probe.device(file);
    EXPECT_TRUE(k.known);
    EXPECT_TRUE(k.solidState);
    EXPECT_TRUE(k.discard);

    test::TempDir::write(disk / "queue" / "rotational", "1\n");
    test::TempDir::write(disk / "queue" / "discard_max_bytes", "0\n");
    k = probe.device(file);
    EXPECT_TRUE(k.known);
    EXPECT_FALSE(k.solidState);
    EXPECT_FALSE(k.discard);

    std::filesystem::remove_all(disk / "queue");  // a device without a queue says nothing
    EXPECT_FALSE(probe.device(file).known);
    EXPECT_FALSE(probe.device(tmp / "missing").known);
}

}  // namespace
}  // namespace quenvor::platform
