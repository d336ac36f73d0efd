// The verdicts on real filesystems, each checked against the raw image: where the probe says
// old contents may remain, they do; where it says the file was overwritten in place, no old
// byte is left.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/linux/LinuxStorageProbe.h"
#include "support/LoopImage.h"

namespace quenvor::platform {
namespace {

using test::LoopImage;

constexpr std::size_t kFileSize = 64 * 1024;  // above btrfs's inline limit, several blocks

std::string newMarker() {
    std::random_device rd;
    return "QUENVOR-OLD-CONTENTS-" + std::to_string(rd()) + "-" + std::to_string(rd()) + "|";
}

class OpenFile {
public:
    // Write-only, as the shredder opens the files it overwrites.
    explicit OpenFile(const std::filesystem::path& p, int flags = O_WRONLY | O_CREAT)
        : m_fd(::open(p.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600)) {}
    ~OpenFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }
    std::intptr_t handle() const { return m_fd; }

    bool writeAll(char fill, const std::string& marker = {}, std::size_t size = kFileSize, bool flush = true) {
        std::string data;
        while (!marker.empty() && data.size() + marker.size() <= size) data += marker;
        data.resize(size, fill);
        return ::pwrite(m_fd, data.data(), data.size(), 0) == static_cast<ssize_t>(data.size()) &&
               (!flush || ::fdatasync(m_fd) == 0);
    }
    // What one pass of the shredder does: the same bytes rewritten through this descriptor.
    bool overwrite(std::size_t size = kFileSize) { return writeAll('#', {}, size); }

private:
    int m_fd;
};

bool addFlag(const std::filesystem::path& p, int flag) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags |= flag;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

StorageVerdict examined(LinuxStorageProbe& probe, const OpenFile& f) {
    auto r = probe.examine(f.handle());
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().message);
    return r.ok() ? *r : StorageVerdict{};
}

TEST(StorageProbeOnBtrfs, AnOrdinaryFileKeepsItsOldBlocksAndIsNamedCopyOnWrite) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::btrfs());
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    OpenFile f(*img / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));

    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.filesystem, "btrfs");
    EXPECT_EQ(before.outcome, OverwriteOutcome::MayRemain);
    EXPECT_EQ(before.reason, RemainReason::CopyOnWrite);
    ASSERT_TRUE(f.overwrite());
    const StorageVerdict after = probe.verify(f.handle(), before);
    EXPECT_EQ(after.reason, RemainReason::CopyOnWrite);
    // The verdict is true: the passes went to new blocks and the old ones are still there.
    EXPECT_TRUE(img->rawContains(marker));

    auto folder = probe.examinePath(img->mountPoint());
    ASSERT_TRUE(folder.ok());
    EXPECT_EQ(folder->reason, RemainReason::CopyOnWrite);
}

TEST(StorageProbeOnBtrfs, AFileMadeInANoCopyOnWriteFolderIsOverwrittenInPlace) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::btrfs());
    LinuxStorageProbe probe;
    const auto dir = *img / "nocow";
    std::filesystem::create_directory(dir);
    // The flag only takes for files created after it is set on their empty folder.
    ASSERT_TRUE(addFlag(dir, FS_NOCOW_FL));
    auto folder = probe.examinePath(dir);
    ASSERT_TRUE(folder.ok());
    EXPECT_TRUE(folder->inPlace());

    const std::string marker = newMarker();
    OpenFile f(dir / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));
    ASSERT_TRUE(img->rawContains(marker));
    const StorageVerdict before = examined(probe, f);
    EXPECT_TRUE(before.inPlace()) << static_cast<int>(before.reason);
    EXPECT_TRUE(before.extentsChecked);
    EXPECT_FALSE(before.extents.empty());

    ASSERT_TRUE(f.overwrite());
    const StorageVerdict after = probe.verify(f.handle(), before);
    EXPECT_TRUE(after.inPlace()) << static_cast<int>(after.reason);
    EXPECT_TRUE(after.extentsChecked);
    EXPECT_EQ(after.extents, before.extents);
    EXPECT_FALSE(img->rawContains(marker));
}

TEST(StorageProbeOnBtrfs, ASnapshotSharingANoCopyOnWriteFileIsNamed) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::btrfs());
    LinuxStorageProbe probe;
    const auto sub = *img / "sub";
    ASSERT_EQ(LoopImage::run({"btrfs", "subvolume", "create", sub.string()}), 0);
    const auto dir = sub / "nocow";
    std::filesystem::create_directory(dir);
    ASSERT_TRUE(addFlag(dir, FS_NOCOW_FL));
    const std::string marker = newMarker();
    OpenFile f(dir / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));
    ASSERT_EQ(LoopImage::run({"btrfs", "subvolume", "snapshot", sub.string(), (*img / "snap").string()}), 0);

    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.reason, RemainReason::SharedExtents);
    ASSERT_TRUE(f.overwrite());
    EXPECT_EQ(probe.verify(f.handle(), before).reason, RemainReason::SharedExtents);
    EXPECT_TRUE(img->rawContains(marker));  // the snapshot still has it
}

TEST(StorageProbeOnXfs, AReflinkedCopyIsNamedAndItsTwinSurvivesTheOverwrite) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::xfsReflink());
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    {
        OpenFile original(*img / "original.txt");
        ASSERT_TRUE(original.writeAll('a', marker));
    }
    ASSERT_EQ(
        LoopImage::run({"cp", "--reflink=always", (*img / "original.txt").string(), (*img / "copy.txt").string()}), 0);
    OpenFile copy(*img / "copy.txt", O_WRONLY);
    const StorageVerdict before = examined(probe, copy);
    EXPECT_EQ(before.filesystem, "xfs");
    EXPECT_EQ(before.reason, RemainReason::SharedExtents);
    {
        OpenFile twin(*img / "original.txt", O_RDONLY);
        EXPECT_EQ(examined(probe, twin).reason, RemainReason::SharedExtents);
    }

    ASSERT_TRUE(copy.overwrite());
    EXPECT_EQ(probe.verify(copy.handle(), before).reason, RemainReason::SharedExtents);
    EXPECT_TRUE(img->rawContains(marker));
    // Once the copy has its own blocks the twin shares nothing and would be overwritten in place.
    OpenFile twin(*img / "original.txt", O_RDONLY);
    EXPECT_TRUE(examined(probe, twin).inPlace());
}

TEST(StorageProbeOnXfs, ACopyMadeDuringTheRunIsCaughtByTheCheckAfterThePasses) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::xfsReflink());
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    OpenFile f(*img / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));
    const StorageVerdict before = examined(probe, f);
    ASSERT_TRUE(before.inPlace());
    ASSERT_TRUE(before.extentsChecked);

    // Someone else reflinks the file between the check and the passes: the passes then go to
    // new blocks and the copy keeps the old ones.
    ASSERT_EQ(LoopImage::run({"cp", "--reflink=always", (*img / "secret.txt").string(), (*img / "late.txt").string()}),
              0);
    ASSERT_TRUE(f.overwrite());
    const StorageVerdict after = probe.verify(f.handle(), before);
    EXPECT_EQ(after.outcome, OverwriteOutcome::MayRemain);
    EXPECT_EQ(after.reason, RemainReason::Moved);
    EXPECT_TRUE(img->rawContains(marker));
}

TEST(StorageProbeOnXfs, APlainFileIsOverwrittenInPlaceAndNoOldByteRemains) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::xfsReflink());
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    OpenFile f(*img / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));
    ASSERT_TRUE(img->rawContains(marker));
    const StorageVerdict before = examined(probe, f);
    EXPECT_TRUE(before.inPlace());
    EXPECT_TRUE(before.extentsChecked);
    ASSERT_TRUE(f.overwrite());
    EXPECT_TRUE(probe.verify(f.handle(), before).inPlace());
    EXPECT_FALSE(img->rawContains(marker));
}

TEST(StorageProbeOnExt4, DataJournalKeepsACopyAndIsNamed) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4DataJournal());
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    OpenFile f(*img / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));
    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.filesystem, "ext4");
    EXPECT_EQ(before.reason, RemainReason::Journal);
    ASSERT_TRUE(f.overwrite());
    EXPECT_EQ(probe.verify(f.handle(), before).reason, RemainReason::Journal);
    EXPECT_TRUE(img->rawContains(marker));

    auto folder = probe.examinePath(img->mountPoint());
    ASSERT_TRUE(folder.ok());
    EXPECT_EQ(folder->reason, RemainReason::Journal);
}

TEST(StorageProbeOnExt4, APlainFileIsOverwrittenInPlaceAndNoOldByteRemains) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    OpenFile f(*img / "secret.txt");
    ASSERT_TRUE(f.writeAll('a', marker));
    ASSERT_TRUE(img->rawContains(marker));
    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.filesystem, "ext4");
    EXPECT_TRUE(before.inPlace());
    EXPECT_TRUE(before.extentsChecked);
    EXPECT_TRUE(before.unverified.empty()) << before.unverified;

    ASSERT_TRUE(f.overwrite());
    const StorageVerdict after = probe.verify(f.handle(), before);
    EXPECT_TRUE(after.inPlace());
    EXPECT_TRUE(after.extentsChecked);
    EXPECT_FALSE(img->rawContains(marker));

    auto folder = probe.examinePath(img->mountPoint());
    ASSERT_TRUE(folder.ok());
    EXPECT_TRUE(folder->inPlace());
    EXPECT_TRUE(probe.device(img->mountPoint()).known);  // the loop device has a queue
}

TEST(StorageProbeOnExt4, EmptyAndSparseFilesAreNotMistakenForMovedOnes) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    LinuxStorageProbe probe;
    OpenFile empty(*img / "empty");
    const StorageVerdict e = examined(probe, empty);
    EXPECT_TRUE(e.inPlace());
    EXPECT_TRUE(e.extents.empty());
    EXPECT_TRUE(probe.verify(empty.handle(), e).inPlace());

    // A hole has no old contents; the passes filling it take new blocks without moving any.
    OpenFile sparse(*img / "sparse");
    ASSERT_EQ(::pwrite(sparse.fd(), "x", 1, 1 << 20), 1);
    ASSERT_EQ(::fdatasync(sparse.fd()), 0);
    const StorageVerdict s = examined(probe, sparse);
    ASSERT_TRUE(s.inPlace());
    ASSERT_TRUE(sparse.overwrite((1 << 20) + 1));
    EXPECT_TRUE(probe.verify(sparse.handle(), s).inPlace());
}

TEST(StorageProbeOnExt4, ATinyFileKeptInsideItsInodeIsNamedForTheJournal) {
    auto recipe = LoopImage::ext4();
    recipe.name = "ext4 inline_data";
    recipe.mkfs.insert(recipe.mkfs.end(), {"-O", "inline_data"});
    QUENVOR_MOUNT_OR_SKIP(img, recipe);
    LinuxStorageProbe probe;
    const std::string marker = newMarker();
    OpenFile f(*img / "note.txt");
    ASSERT_TRUE(f.writeAll('a', marker, marker.size()));
    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.reason, RemainReason::Journal);
    ASSERT_TRUE(f.overwrite(marker.size()));
    EXPECT_EQ(probe.verify(f.handle(), before).reason, RemainReason::Journal);
    EXPECT_TRUE(img->rawContains(marker));  // the journal's copy of the inode
}

TEST(StorageProbeOnExt4, AFileWithItsOwnJournalFlagIsNamed) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    LinuxStorageProbe probe;
    OpenFile f(*img / "journaled");
    ASSERT_TRUE(f.writeAll('a'));
    // Setting this flag takes CAP_SYS_RESOURCE besides root, which containers often withhold.
    if (!addFlag(*img / "journaled", FS_JOURNAL_DATA_FL)) {
        ASSERT_EQ(errno, EPERM) << std::strerror(errno);
        std::cerr << "\n*** SKIPPED: no CAP_SYS_RESOURCE to set the journal flag ***\n\n";
        GTEST_SKIP() << "setting the ext4 journal flag needs CAP_SYS_RESOURCE";
    }
    EXPECT_EQ(examined(probe, f).reason, RemainReason::Journal);
}

TEST(StorageProbeOnExt4, ProbingAndVerifyingASmallFileCostsLittle) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    LinuxStorageProbe probe;
    constexpr int kFiles = 1000;
    std::vector<std::unique_ptr<OpenFile>> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(std::make_unique<OpenFile>(*img / ("f" + std::to_string(i))));
        ASSERT_TRUE(files.back()->writeAll('a', {}, 4096, false));
    }
    ASSERT_TRUE(img->sync());
    using Clock = std::chrono::steady_clock;
    const auto usPerFile = [&](Clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count() / kFiles;
    };
    std::vector<StorageVerdict> verdicts;
    auto start = Clock::now();
    for (const auto& f : files) {
        auto v = probe.examine(f->handle());
        ASSERT_TRUE(v.ok() && v->inPlace());
        verdicts.push_back(std::move(*v));
    }
    const auto examineUs = usPerFile(start);
    start = Clock::now();
    for (const auto& f : files) ASSERT_TRUE(f->overwrite(4096));
    const auto passUs = usPerFile(start);
    start = Clock::now();
    for (std::size_t i = 0; i < files.size(); ++i) ASSERT_TRUE(probe.verify(files[i]->handle(), verdicts[i]).inPlace());
    const auto verifyUs = usPerFile(start);
    std::cout << "4 KiB files on ext4, per file: examine " << examineUs << " us, verify " << verifyUs
              << " us, one flushed pass " << passUs << " us\n";
    RecordProperty("examine_us", static_cast<int>(examineUs));
    RecordProperty("verify_us", static_cast<int>(verifyUs));
    RecordProperty("pass_us", static_cast<int>(passUs));
    // Generous even under the sanitizers; reading the mounts table for every file instead of
    // once per filesystem would exceed it on a machine with many mounts.
    EXPECT_LT(examineUs + verifyUs, 1000);
}

TEST(StorageProbeOnTmpfs, MemoryOnlyStorageIsInPlaceWithNothingLeftToCheck) {
    std::string whyNot;
    auto img = LoopImage::createTmpfs(whyNot);
    if (!img) {
        if (LoopImage::mustRun()) FAIL() << whyNot;
        GTEST_SKIP() << whyNot;
    }
    LinuxStorageProbe probe;
    OpenFile f(*img / "secret.txt");
    ASSERT_TRUE(f.writeAll('a'));
    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.filesystem, "tmpfs");
    EXPECT_TRUE(before.inPlace());
    EXPECT_FALSE(before.extentsChecked);
    EXPECT_TRUE(before.unverified.empty());
    ASSERT_TRUE(f.overwrite());
    EXPECT_TRUE(probe.verify(f.handle(), before).inPlace());
}

TEST(StorageProbeOnOverlay, TheLowerLayerKeepsTheOriginalAndIsNamed) {
    const std::string marker = newMarker();
    std::string whyNot;
    auto img = LoopImage::createOverlay(
        [&](const std::filesystem::path& lower) {
            OpenFile f(lower / "secret.txt");
            f.writeAll('a', marker);
        },
        whyNot);
    if (!img) {
        if (LoopImage::mustRun()) FAIL() << whyNot;
        GTEST_SKIP() << whyNot;
    }
    LinuxStorageProbe probe;
    OpenFile f(*img / "secret.txt", O_WRONLY);
    ASSERT_GE(f.fd(), 0);
    const StorageVerdict before = examined(probe, f);
    EXPECT_EQ(before.filesystem, "overlay");
    EXPECT_EQ(before.reason, RemainReason::Overlay);
    ASSERT_TRUE(f.overwrite());
    EXPECT_EQ(probe.verify(f.handle(), before).reason, RemainReason::Overlay);
    std::ifstream lower(img->lowerDir() / "secret.txt", std::ios::binary);
    const std::string original(std::istreambuf_iterator<char>(lower), {});
    EXPECT_NE(original.find(marker), std::string::npos);
}

TEST(RawImageSearch, FindsEveryMarkerOnceAcrossChunksAndHoles) {
    const auto dir = std::filesystem::temp_directory_path() / ("quenvor-scan-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "image";
    const std::string marker = "MARK-MARK";
    {
        OpenFile f(file);
        const auto put = [&](off_t at, std::string_view s) {
            ASSERT_EQ(::pwrite(f.fd(), s.data(), s.size(), at), static_cast<ssize_t>(s.size()));
        };
        const auto chunk = static_cast<off_t>(LoopImage::kScanChunk);
        put(0, std::string(2 * LoopImage::kScanChunk, 'x'));  // one run of data longer than a chunk
        put(0, marker);
        put(chunk - 4, marker);                                      // across the first chunk boundary
        put(3 * chunk + 100, marker);                                // after a hole of two chunks
        put(3 * chunk + 200, "MARK-MARK-MARK");                      // two that overlap each other
        put(8 * chunk - static_cast<off_t>(marker.size()), marker);  // the very end
    }
    EXPECT_EQ(LoopImage::countInFile(file, marker), 6u);
    EXPECT_EQ(LoopImage::countInFile(file, marker, 2), 2u);
    EXPECT_EQ(LoopImage::countInFile(file, "absent"), 0u);
    std::filesystem::remove_all(dir);
}

TEST(StorageProbe, OnlyFilesAndFoldersCanBeExamined) {
    LinuxStorageProbe probe;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_FALSE(probe.examine(fds[0]).ok());
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_FALSE(probe.examine(-1).ok());
    EXPECT_FALSE(probe.examinePath("/nonexistent/quenvor").ok());
    EXPECT_FALSE(probe.examinePath("/dev/null").ok());
    EXPECT_TRUE(probe.examinePath("/").ok());
    EXPECT_FALSE(probe.examinePath("/proc/self").ok());  // a link: not followed
}

}  // namespace
}  // namespace quenvor::platform
