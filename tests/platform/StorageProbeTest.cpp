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
#include <functional>
#include <optional>
#include <random>

#include "platform/linux/LinuxStorageProbe.h"
#include "support/LoopImage.h"

namespace quenvor::platform {
namespace {

using test::LoopImage;

constexpr std::size_t kFileSize = std::size_t{64} * 1024;  // above btrfs's inline limit, several blocks

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

// One file on a real filesystem, written with a marker, examined, overwritten once as a pass
// does and verified; then the raw image is searched for the marker.
struct Rig {
    std::unique_ptr<LoopImage> img;
    LinuxStorageProbe probe;
    std::string marker = newMarker();
    std::filesystem::path folder;  // where the file is; the mount point unless a step moves it
    std::filesystem::path file;
    StorageVerdict before, after;
};

// What the probe must say: MayRemain for that reason, or in place for None.
struct Said {
    RemainReason reason = RemainReason::None;
    std::optional<bool> extentsChecked{};  // checked only where it matters
};

struct ProbeCase {
    const char* name = "";
    LoopImage::Recipe (*recipe)() = nullptr;
    // Mounts something other than a recipe's image; may write the file itself.
    std::function<std::unique_ptr<LoopImage>(Rig&, std::string& whyNot)> mount{};
    std::function<void(Rig&)> beforeWrite{}, afterWrite{}, beforePasses{}, atEnd{};
    std::string filesystem{};
    Said before{}, after{};
    std::optional<bool> oldBytesRemain{};  // unset where there is no image to search
    std::optional<RemainReason> folder{};  // the folder's own verdict, when it is worth checking
    std::size_t size = kFileSize;
    bool writtenByMount = false;
};

// Failures name the case, not its bytes.
void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

void expectSaid(const StorageVerdict& v, const Said& said, const char* when) {
    EXPECT_EQ(v.outcome, said.reason == RemainReason::None ? OverwriteOutcome::InPlace : OverwriteOutcome::MayRemain)
        << when;
    EXPECT_EQ(v.reason, said.reason) << when;
    if (said.extentsChecked) {
        EXPECT_EQ(v.extentsChecked, *said.extentsChecked) << when;
    }
}

class StorageProbeOn : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(StorageProbeOn, TheVerdictMatchesWhatTheImageKeeps) {
    const ProbeCase& c = GetParam();
    const auto step = [&](const std::function<void(Rig&)>& f, Rig& r) {
        if (f) f(r);
        return !HasFatalFailure();
    };
    Rig r;
    std::string whyNot;
    r.img = c.mount ? c.mount(r, whyNot) : LoopImage::create(c.recipe(), whyNot);
    if (!r.img) {
        if (LoopImage::mustRun()) FAIL() << "real-filesystem test cannot run: " << whyNot;
        std::cerr << "\n*** SKIPPED real-filesystem test: " << whyNot << " ***\n\n";
        GTEST_SKIP() << whyNot;
    }
    r.folder = r.img->mountPoint();
    if (!step(c.beforeWrite, r)) return;
    r.file = r.folder / "secret.txt";
    const std::size_t size = c.size != 0 ? c.size : r.marker.size();
    OpenFile f(r.file, c.writtenByMount ? O_WRONLY : O_WRONLY | O_CREAT);
    ASSERT_GE(f.fd(), 0) << std::strerror(errno);
    if (!c.writtenByMount) {
        ASSERT_TRUE(f.writeAll('a', r.marker, size));
    }
    // A marker that never reached the disk would make its absence prove nothing.
    if (c.oldBytesRemain == false) {
        ASSERT_TRUE(r.img->rawContains(r.marker));
    }
    if (!step(c.afterWrite, r)) return;

    r.before = examined(r.probe, f);
    EXPECT_EQ(r.before.filesystem, c.filesystem);
    expectSaid(r.before, c.before, "before the passes");
    if (!step(c.beforePasses, r)) return;
    ASSERT_TRUE(f.overwrite(size));
    r.after = r.probe.verify(f.handle(), r.before);
    expectSaid(r.after, c.after, "after the passes");
    if (c.oldBytesRemain) {
        EXPECT_EQ(r.img->rawContains(r.marker), *c.oldBytesRemain);
    }

    if (c.folder) {
        auto folder = r.probe.examinePath(r.folder);
        ASSERT_TRUE(folder.ok()) << folder.error().message;
        EXPECT_EQ(folder->reason, *c.folder);
        EXPECT_EQ(folder->inPlace(), *c.folder == RemainReason::None);
    }
    step(c.atEnd, r);
}

// The folder made no-copy-on-write while empty: only files created after that take the flag.
void noCowFolder(Rig& r, const std::filesystem::path& dir) {
    std::filesystem::create_directory(dir);
    ASSERT_TRUE(addFlag(dir, FS_NOCOW_FL)) << std::strerror(errno);
    r.folder = dir;
}

void reflink(const std::filesystem::path& from, const std::filesystem::path& to) {
    ASSERT_EQ(LoopImage::run({"cp", "--reflink=always", from.string(), to.string()}), 0);
}

StorageVerdict examinedAt(LinuxStorageProbe& probe, const std::filesystem::path& p) {
    OpenFile f(p, O_RDONLY);
    return examined(probe, f);
}

using R = RemainReason;

const ProbeCase kProbeCases[] = {
    {.name = "BtrfsOrdinaryFileKeepsItsOldBlocks",
     .recipe = LoopImage::btrfs,
     .filesystem = "btrfs",
     .before = {R::CopyOnWrite},
     .after = {R::CopyOnWrite},
     .oldBytesRemain = true,
     .folder = R::CopyOnWrite},
    {.name = "BtrfsNoCopyOnWriteFolderIsOverwrittenInPlace",
     .recipe = LoopImage::btrfs,
     .beforeWrite = [](Rig& r) { noCowFolder(r, *r.img / "nocow"); },
     .atEnd =
         [](Rig& r) {
             EXPECT_FALSE(r.before.extents.empty());
             EXPECT_EQ(r.after.extents, r.before.extents);
         },
     .filesystem = "btrfs",
     .before = {R::None, true},
     .after = {R::None, true},
     .oldBytesRemain = false,
     .folder = R::None},
    {.name = "BtrfsSnapshotSharingANoCopyOnWriteFile",
     .recipe = LoopImage::btrfs,
     .beforeWrite =
         [](Rig& r) {
             const auto sub = *r.img / "sub";
             ASSERT_EQ(LoopImage::run({"btrfs", "subvolume", "create", sub.string()}), 0);
             noCowFolder(r, sub / "nocow");
         },
     .afterWrite =
         [](Rig& r) {
             ASSERT_EQ(LoopImage::run(
                           {"btrfs", "subvolume", "snapshot", (*r.img / "sub").string(), (*r.img / "snap").string()}),
                       0);
         },
     .filesystem = "btrfs",
     .before = {R::SharedExtents},
     .after = {R::SharedExtents},
     .oldBytesRemain = true},  // the snapshot still has it
    {.name = "XfsReflinkedTwinSurvivesTheOverwrite",
     .recipe = LoopImage::xfsReflink,
     .afterWrite =
         [](Rig& r) {
             reflink(r.file, r.folder / "twin.txt");
             EXPECT_EQ(examinedAt(r.probe, r.folder / "twin.txt").reason, R::SharedExtents);
         },
     // Once the file has blocks of its own the twin shares nothing and would be overwritten in place.
     .atEnd = [](Rig& r) { EXPECT_TRUE(examinedAt(r.probe, r.folder / "twin.txt").inPlace()); },
     .filesystem = "xfs",
     .before = {R::SharedExtents},
     .after = {R::SharedExtents},
     .oldBytesRemain = true},
    // Someone reflinks the file between the check and the passes: the passes then go to new
    // blocks and the copy keeps the old ones.
    {.name = "XfsCopyMadeDuringTheRunIsCaughtAfterThePasses",
     .recipe = LoopImage::xfsReflink,
     .beforePasses = [](Rig& r) { reflink(r.file, r.folder / "late.txt"); },
     .filesystem = "xfs",
     .before = {R::None, true},
     .after = {R::Moved},
     .oldBytesRemain = true},
    {.name = "XfsPlainFileLeavesNoOldByte",
     .recipe = LoopImage::xfsReflink,
     .filesystem = "xfs",
     .before = {R::None, true},
     .after = {R::None},
     .oldBytesRemain = false},
    {.name = "Ext4DataJournalKeepsACopy",
     .recipe = LoopImage::ext4DataJournal,
     .filesystem = "ext4",
     .before = {R::Journal},
     .after = {R::Journal},
     .oldBytesRemain = true,
     .folder = R::Journal},
    {.name = "Ext4PlainFileLeavesNoOldByte",
     .recipe = LoopImage::ext4,
     .atEnd =
         [](Rig& r) {
             EXPECT_TRUE(r.before.unverified.empty()) << r.before.unverified;
             EXPECT_TRUE(r.probe.device(r.img->mountPoint()).known);  // the loop device has a queue
         },
     .filesystem = "ext4",
     .before = {R::None, true},
     .after = {R::None, true},
     .oldBytesRemain = false,
     .folder = R::None},
    {.name = "Ext4TinyFileInsideItsInodeIsNamedForTheJournal",
     .recipe =
         [] {
             auto recipe = LoopImage::ext4();
             recipe.name = "ext4 inline_data";
             recipe.mkfs.insert(recipe.mkfs.end(), {"-O", "inline_data"});
             return recipe;
         },
     .filesystem = "ext4",
     .before = {R::Journal},
     .after = {R::Journal},
     .oldBytesRemain = true,  // the journal's copy of the inode
     .size = 0},              // the marker's own size
    {.name = "TmpfsIsInPlaceWithNothingLeftToCheck",
     .mount = [](Rig&, std::string& whyNot) { return LoopImage::createTmpfs(whyNot); },
     .atEnd = [](Rig& r) { EXPECT_TRUE(r.before.unverified.empty()); },
     .filesystem = "tmpfs",
     .before = {R::None, false},
     .after = {R::None}},
    {.name = "OverlayLowerLayerKeepsTheOriginal",
     .mount =
         [](Rig& r, std::string& whyNot) {
             return LoopImage::createOverlay(
                 [&](const std::filesystem::path& lower) { OpenFile(lower / "secret.txt").writeAll('a', r.marker); },
                 whyNot);
         },
     .atEnd =
         [](Rig& r) {
             std::ifstream lower(r.img->lowerDir() / "secret.txt", std::ios::binary);
             const std::string original(std::istreambuf_iterator<char>(lower), {});
             EXPECT_NE(original.find(r.marker), std::string::npos);
         },
     .filesystem = "overlay",
     .before = {R::Overlay},
     .after = {R::Overlay},
     .writtenByMount = true},
};

INSTANTIATE_TEST_SUITE_P(RealFilesystems, StorageProbeOn, ::testing::ValuesIn(kProbeCases),
                         [](const ::testing::TestParamInfo<ProbeCase>& p) { return std::string(p.param.name); });

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
