#include "shredder/cPattern.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/IRandomSource.h"
#include "platform/PendingDeletionList.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxRandomSource.h"
#include "support/FaultyFileService.h"
#include "support/TempDir.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;

// Each buffer it fills holds one repeated byte: 1 for the first, 2 for the second, ...
class NumberedRandom : public platform::IRandomSource {
public:
    int calls = 0;
    bool broken = false;
    platform::Status fill(std::span<std::byte> out) override {
        if (broken) return platform::Error{38, "no entropy source"};
        ++calls;
        for (auto& b : out) b = static_cast<std::byte>(calls);
        return {};
    }
};

class Recorder : public IShredEvents {
public:
    std::vector<std::string> events;
    std::function<void(std::int32_t)> onTick;
    void eSCompPMax(std::int32_t lmax) override { events.push_back("max " + std::to_string(lmax)); }
    void eSCompPTick(std::int32_t lCnt) override {
        events.push_back("tick " + std::to_string(lCnt));
        if (onTick) onTick(lCnt);
    }
    void eSCompComplete() override { events.emplace_back("complete"); }
};

TEST(BlockPlan, FollowsTheSizeTableWithEveryBoundInTheLowerRow) {
    struct Case {
        std::uint64_t length, block, blocks, rest;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {1, 1, 1, 0},
        {7, 7, 1, 0},
        {8, 1, 8, 0},
        {12, 2, 6, 0},
        {20, 2, 10, 0},
        {28, 4, 7, 0},
        {100, 12, 8, 4},
        {1024, 128, 8, 0},
        {1025, 128, 8, 1},
        {8192, 128, 64, 0},
        {8193, 1024, 8, 1},
        {65536, 1024, 64, 0},
        {65537, 8192, 8, 1},
        {524288, 8192, 64, 0},
        {524289, 65536, 8, 1},
        {4194304, 65536, 64, 0},
        {4194305, 524288, 8, 1},
        // Far past 2 GiB: nothing wraps around.
        {3ull << 30, 524288, 6144, 0},
        {(5ull << 30) + 7, 524288, 10240, 7},
    };
    for (const auto& c : cases) {
        const auto p = cPattern::planFor(c.length);
        EXPECT_EQ(p.blockSize, c.block) << c.length;
        EXPECT_EQ(p.blocks, c.blocks) << c.length;
        EXPECT_EQ(p.remainder, c.rest) << c.length;
    }
}

class Engine : public ::testing::Test {
protected:
    TempDir dir;
    platform::PendingDeletionList pending{dir / "state/pending"};
    platform::LinuxFileService real{&pending};
    test::FaultyFileService files{real};
    NumberedRandom random;
    Recorder events;
    cPattern engine{files, &random};

    Engine() { engine.setEvents(&events); }
    std::filesystem::path make(const std::string& name, std::size_t size, char fill = 'S') {
        auto p = dir / name;
        TempDir::write(p, std::string(size, fill));
        return p;
    }
    ShredResult shred(const std::filesystem::path& p, std::int32_t passes) {
        engine.setSourceFile(p.string());
        engine.setSecurePass(passes);
        return engine.DeleteFileByPattern();
    }
};

TEST_F(Engine, OverwritesInPlaceWithPatternsRunningOnAcrossPasses) {
    const auto p = make("ten-blocks.bin", 1280);  // B = 128, N = 10
    const int fd = ::open(p.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat before {};
    ::fstat(fd, &before);
    std::vector<std::string> seen;
    events.onTick = [&](std::int32_t) {
        std::string bytes(1280, '\0');
        ASSERT_EQ(::pread(fd, bytes.data(), bytes.size(), 0), 1280);
        std::string blocks;
        for (int j = 0; j < 10; ++j) {
            const char first = bytes[static_cast<std::size_t>(j) * 128];
            EXPECT_EQ(bytes.substr(static_cast<std::size_t>(j) * 128, 128), std::string(128, first));
            blocks += std::to_string(static_cast<int>(first));
        }
        seen.push_back(blocks);
        struct stat now {};
        ::fstat(fd, &now);
        EXPECT_EQ(now.st_size, 1280);
        EXPECT_EQ(now.st_nlink, 1u);  // the same inode, still linked
    };
    const auto r = shred(p, 3);
    EXPECT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(seen, (std::vector<std::string>{"1234567812", "3456781234", "5678123456"}));
    EXPECT_FALSE(std::filesystem::exists(p));
    // Nothing of the original is left readable through a descriptor kept open all along.
    std::string rest(1280, '\0');
    EXPECT_EQ(::pread(fd, rest.data(), rest.size(), 0), 0);
    struct stat after {};
    ::fstat(fd, &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 0u);
    ::close(fd);
}

TEST_F(Engine, RemainderGetsItsOwnPatternAndLengthIsKept) {
    const auto p = make("odd.bin", 1025);
    const int fd = ::open(p.c_str(), O_RDONLY);
    std::string last;
    events.onTick = [&](std::int32_t) {
        last.assign(1025, '\0');
        ASSERT_EQ(::pread(fd, last.data(), last.size(), 0), 1025);
    };
    EXPECT_TRUE(shred(p, 1).ok());
    ::close(fd);
    EXPECT_EQ(last.substr(0, 128), std::string(128, '\x01'));
    EXPECT_EQ(last.substr(896, 128), std::string(128, '\x08'));
    EXPECT_EQ(last.back(), '\x09');  // the ninth buffer filled
    EXPECT_EQ(last.find('S'), std::string::npos);
}

TEST_F(Engine, EventSequenceForEachPassCount) {
    auto run = [&](std::int32_t passes) {
        events.events.clear();
        const auto p = make("f.txt", 4000);
        const auto r = shred(p, passes);
        return std::make_pair(r, events.events);
    };
    auto [zero, e0] = run(0);
    EXPECT_TRUE(zero.ok());
    EXPECT_EQ(e0, (std::vector<std::string>{"max 1", "tick 1", "complete"}));
    EXPECT_EQ(engine.SecurePass(), 1);

    auto [four, e4] = run(4);
    EXPECT_EQ(e4.size(), 6u);
    EXPECT_EQ(e4.front(), "max 4");
    EXPECT_EQ(e4[4], "tick 4");

    auto [sixteen, e16] = run(16);
    EXPECT_EQ(std::count_if(e16.begin(), e16.end(), [](auto& e) { return e.rfind("tick", 0) == 0; }), 16);
    EXPECT_EQ(e16.back(), "complete");
}

TEST_F(Engine, ANegativePassCountChangesAndRemovesNothing) {
    const auto p = make("keep.txt", 500);
    ::chmod(p.c_str(), 0400);
    engine.setAttibs(true);
    const auto r = shred(p, -2);
    EXPECT_EQ(r.status, ShredStatus::NoPasses);
    EXPECT_EQ(events.events, (std::vector<std::string>{"max -2"}));
    EXPECT_EQ(TempDir::read(p), std::string(500, 'S'));
    EXPECT_TRUE(files.madeWritable.empty());  // not even its mode
}

TEST_F(Engine, FilesOfEveryLengthAreShredded) {
    for (std::size_t size : {0u, 1u, 4u, 7u, 8u}) {
        const auto p = make("tiny" + std::to_string(size), size);
        const int fd = ::open(p.c_str(), O_RDONLY);
        bool overwritten = size == 0;
        events.onTick = [&](std::int32_t) {
            std::string b(size, '\0');
            ASSERT_EQ(::pread(fd, b.data(), size, 0), static_cast<ssize_t>(size));
            overwritten = b.find('S') == std::string::npos;
        };
        EXPECT_TRUE(shred(p, 2).ok()) << size;
        EXPECT_TRUE(overwritten) << size;
        EXPECT_FALSE(std::filesystem::exists(p)) << size;
        ::close(fd);
    }
}

TEST_F(Engine, AFileThatCannotBeOpenedIsLeftAloneAndReported) {
    const auto p = make("locked.doc", 3000);
    files.failOpenFor.insert(p.string());
    const auto r = shred(p, 4);
    EXPECT_EQ(r.status, ShredStatus::OpenFailed);
    EXPECT_NE(r.detail.find("Permission denied"), std::string::npos);
    EXPECT_EQ(TempDir::read(p), std::string(3000, 'S'));
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "complete"), 0);
}

TEST_F(Engine, AFailedWriteOrFlushStopsTheWorkAndKeepsTheFile) {
    const auto p = make("disk-error.bin", 3000);  // 23 blocks and a remainder, gathered into one write a pass
    files.failWriteAtCall = 2;                    // in the second pass
    auto r = shred(p, 4);
    EXPECT_EQ(r.status, ShredStatus::WriteFailed);
    EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "tick 1"), 1);
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "tick 2"), 0);

    files.failWriteAtCall = -1;
    files.failFlushAtCall = files.flushes + 1;
    r = shred(p, 4);
    EXPECT_EQ(r.status, ShredStatus::WriteFailed);
    EXPECT_TRUE(std::filesystem::exists(p));
}

TEST_F(Engine, ReadOnlyFileIsMadeWritableOnlyWhenAsked) {
    const auto p = make("readonly.txt", 2000);
    files.readOnlyUntilMadeWritable = true;
    engine.setAttibs(false);
    EXPECT_EQ(shred(p, 1).status, ShredStatus::OpenFailed);
    EXPECT_EQ(TempDir::read(p), std::string(2000, 'S'));
    engine.setAttibs(true);
    EXPECT_TRUE(shred(p, 1).ok());
    EXPECT_EQ(files.madeWritable, (std::vector<std::string>{p.string()}));
    EXPECT_FALSE(std::filesystem::exists(p));
}

TEST_F(Engine, TheNameIsWornDownAndTheFolderFlushedBeforeRemoval) {
    const std::string name = "my-secret-plans.odt";
    const auto p = make(name, 5000);
    EXPECT_TRUE(shred(p, 1).ok());
    // Same length first, then one shorter each time, down to a single character.
    ASSERT_EQ(files.renames.size(), name.size());
    std::string from = p.string();
    for (std::size_t i = 0; i < files.renames.size(); ++i) {
        const std::filesystem::path to = files.renames[i].second;
        EXPECT_EQ(files.renames[i].first, from);
        EXPECT_EQ(to.parent_path(), dir.path());
        EXPECT_EQ(to.filename().string().size(), name.size() - i);
        EXPECT_EQ(
            to.filename().string().find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"),
            std::string::npos);
        from = to.string();
    }
    EXPECT_EQ(files.removed, (std::vector<std::string>{from}));
    EXPECT_EQ(files.flushedDirs.size(), 2u);  // after the renames, and after the removal
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(Engine, ANameThatStopsLeadingToTheFileIsNoLongerRenamedOrRemoved) {
    const auto p = make("notes.txt", 2000);
    TempDir outside;
    TempDir::write(outside / "theirs.txt", "outside");
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        // Someone moves the file away just after its second new name and puts theirs there.
        if (call == "statAt" && files.renames.size() == 2 && path == files.renames[1].second &&
            !std::filesystem::exists(dir / "away")) {
            std::filesystem::rename(path, dir / "away");
            std::filesystem::create_hard_link(outside / "theirs.txt", path);
        }
    };
    EXPECT_EQ(shred(p, 1).status, ShredStatus::NameReplaced);
    EXPECT_EQ(files.renames.size(), 2u);
    EXPECT_TRUE(files.removed.empty());
    EXPECT_EQ(TempDir::read(outside / "theirs.txt"), "outside");
    EXPECT_EQ(std::filesystem::file_size(dir / "away"), 0u);
}

TEST_F(Engine, ARemovalThatFailsIsListedForTheNextStartAndReported) {
    const auto p = make("stuck.txt", 100);
    files.failRemoveFor.insert(p.string());
    const auto r = shred(p, 1);
    EXPECT_EQ(r.status, ShredStatus::RemovalPending);
    auto list = pending.entries();
    ASSERT_TRUE(list.ok());
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ(list->front().path.string(), engine.SourceFile());
    EXPECT_EQ(list->front().size, 0u);  // emptied before the attempt

    files.failRemoveAtNextStart = true;
    const auto q = make("stuck2.txt", 100);
    files.failRemoveFor.insert(q.string());
    EXPECT_EQ(shred(q, 1).status, ShredStatus::RemovalFailed);
}

TEST_F(Engine, LinksAndFoldersAreNeverOpened) {
    const auto target = make("target.txt", 300);
    std::filesystem::create_symlink(target, dir / "link.txt");
    EXPECT_EQ(shred(dir / "link.txt", 4).status, ShredStatus::NotRegularFile);
    EXPECT_EQ(TempDir::read(target), std::string(300, 'S'));
    std::filesystem::create_directory(dir / "sub.dir");
    EXPECT_EQ(shred(dir / "sub.dir", 4).status, ShredStatus::NotRegularFile);
    EXPECT_EQ(shred(dir / "missing", 4).status, ShredStatus::NotFound);
    EXPECT_TRUE(events.events.empty());
    EXPECT_EQ(files.opens, 0);
}

TEST_F(Engine, WithoutASystemRandomSourceTheFallbackStillOverwrites) {
    random.broken = true;
    const auto p = make("fallback.bin", 800);
    const int fd = ::open(p.c_str(), O_RDONLY);
    std::string seen;
    events.onTick = [&](std::int32_t) {
        seen.assign(800, '\0');
        ASSERT_EQ(::pread(fd, seen.data(), seen.size(), 0), 800);
    };
    EXPECT_TRUE(shred(p, 1).ok());
    ::close(fd);
    EXPECT_EQ(seen.find('\xff'), std::string::npos);  // the fallback never yields 255
    EXPECT_LT(std::count(seen.begin(), seen.end(), 'S'), 20);
}

TEST_F(Engine, RandomOrderUsesOnlyTheEightPatterns) {
    engine.setAssembly(true);
    const auto p = make("random-order.bin", 8192);  // 64 blocks of 128
    const int fd = ::open(p.c_str(), O_RDONLY);
    std::set<int> used;
    events.onTick = [&](std::int32_t) {
        std::string b(8192, '\0');
        ASSERT_EQ(::pread(fd, b.data(), b.size(), 0), 8192);
        for (std::size_t j = 0; j < 64; ++j) used.insert(b[j * 128]);
    };
    EXPECT_TRUE(shred(p, 2).ok());
    ::close(fd);
    EXPECT_GT(used.size(), 2u);
    for (int v : used) EXPECT_TRUE(v >= 1 && v <= 8) << v;
}

TEST_F(Engine, FileExistsForFilesAndFoldersOnly) {
    make("here.txt", 3);
    EXPECT_TRUE(engine.FileExists((dir / "here.txt").string()));
    EXPECT_TRUE(engine.FileExists(dir.path().string()));
    EXPECT_FALSE(engine.FileExists((dir / "nothere").string()));
    EXPECT_FALSE(engine.FileExists(""));
}

}  // namespace
}  // namespace quenvor::shredder

namespace quenvor::shredder {
namespace {

// A file of several gibibytes that exists only as a size: records where each write lands.
class HugeFile : public platform::LinuxFileService {
public:
    std::uint64_t size = (5ull << 30) + 3;
    std::uint64_t written = 0, highest = 0;
    bool removed = false;
    std::string name = "disk-image.iso";
    // Scripted: where the file holds data (empty: all of it), the bytes after which a write
    // fails with `failCode`, and whether a flush fails so instead.
    std::vector<platform::ByteRange> holding;
    std::uint64_t failAfter = UINT64_MAX;
    int failCode = 0;
    bool failFlush = false;
    // What the writes put where, kept while `keep` is set, by flushes seen before them.
    bool keep = false;
    struct Write {
        std::uint64_t offset;
        int flushesBefore;
        std::vector<std::byte> bytes;
    };
    std::vector<Write> writes;
    int flushes = 0;
    bool truncated = false;
    // Writes that take storage (into holes the system did not report), and what was given back
    // after how many flushes.
    bool writesAllocate = false;
    std::uint64_t allocated = 0;
    std::vector<std::pair<platform::ByteRange, int>> released;

    platform::FileStatus file() const {
        platform::FileStatus s;
        s.type = platform::FileType::Regular;
        s.size = size;
        s.hardLinks = 1;
        s.device = 1;
        s.inode = 42;
        return s;
    }
    struct File : platform::IWritableFile {
        HugeFile& owner;
        explicit File(HugeFile& o) : owner(o) {}
        platform::Result<platform::FileStatus> status() override { return owner.file(); }
        std::intptr_t nativeHandle() const override { return -1; }
        platform::Result<std::uint64_t> length() override { return owner.size; }
        platform::Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
            if (owner.written + data.size() > owner.failAfter) return platform::Error{owner.failCode, "scripted"};
            owner.written += data.size();
            if (owner.writesAllocate) owner.allocated += data.size();
            owner.highest = std::max<std::uint64_t>(owner.highest, offset + data.size());
            if (owner.keep) owner.writes.push_back({offset, owner.flushes, {data.begin(), data.end()}});
            return {};
        }
        platform::Result<std::vector<platform::ByteRange>> dataRanges() override {
            if (owner.holding.empty()) return platform::IWritableFile::dataRanges();
            return owner.holding;
        }
        platform::Result<std::uint64_t> allocatedBytes() override { return owner.allocated; }
        platform::Status releaseRange(std::uint64_t offset, std::uint64_t length) override {
            owner.released.push_back({{offset, length}, owner.flushes});
            return {};
        }
        platform::Status flushToDevice() override {
            ++owner.flushes;
            if (owner.failFlush) return platform::Error{owner.failCode, "scripted"};
            return {};
        }
        platform::Status truncate(std::uint64_t) override {
            owner.truncated = true;
            return {};
        }
        platform::Status close() override { return {}; }
    };
    struct Folder : platform::IDirectory {
        HugeFile& owner;
        std::filesystem::path where{"/virtual"};
        explicit Folder(HugeFile& o) : owner(o) {}
        const std::filesystem::path& path() const override { return where; }
        platform::Result<platform::FileStatus> status() override {
            platform::FileStatus s;
            s.type = platform::FileType::Directory;
            s.device = 1;
            s.inode = 2;
            return s;
        }
        platform::Result<std::vector<platform::DirectoryEntry>> list() override {
            return std::vector<platform::DirectoryEntry>{};
        }
        platform::Result<platform::FileStatus> statAt(const std::string& n) override {
            if (owner.removed || n != owner.name) return platform::FileStatus{};
            return owner.file();
        }
        platform::Result<std::unique_ptr<platform::IWritableFile>> openFile(const std::string&) override {
            return std::unique_ptr<platform::IWritableFile>(std::make_unique<File>(owner));
        }
        platform::Result<std::unique_ptr<platform::IDirectory>> openDir(const std::string&) override {
            return platform::Error{20, "not a folder"};
        }
        platform::Status renameAt(const std::string&, const std::string& to) override {
            owner.name = to;
            return {};
        }
        platform::Status unlinkAt(const std::string&, bool) override {
            owner.removed = true;
            return {};
        }
        platform::Status setWritableAt(const std::string&) override { return {}; }
        platform::Status setWritable() override { return {}; }
        platform::Status flush() override { return {}; }
        std::intptr_t nativeHandle() const override { return -1; }
    };
    platform::Result<std::unique_ptr<platform::IDirectory>> openDirectory(const std::filesystem::path&) override {
        return std::unique_ptr<platform::IDirectory>(std::make_unique<Folder>(*this));
    }
};

TEST(EngineLimits, FilesPastTwoGibibytesAreCoveredToTheirLastByte) {
    HugeFile huge;
    NumberedRandom random;
    cPattern engine(huge, &random);
    engine.setSourceFile("/virtual/disk-image.iso");
    engine.setSecurePass(2);
    EXPECT_TRUE(engine.DeleteFileByPattern().ok());
    EXPECT_EQ(huge.highest, huge.size);
    EXPECT_EQ(huge.written, 2 * huge.size);
    EXPECT_TRUE(huge.removed);
}

// 20 GiB that hold data only in two places, one of them far out: only those places are
// written, each byte with the pattern it would get if the holes were written too.
TEST(EngineLimits, ASparseFileIsWrittenOnlyWhereItHoldsDataWithItsPlannedPatterns) {
    HugeFile sparse;
    constexpr std::uint64_t GiB = 1ull << 30;
    constexpr std::uint64_t end = 20 * GiB + std::uint64_t{3} * 524288;
    sparse.size = end + 5;  // 40963 blocks of 512 KiB, so the patterns shift from pass to pass, and 5 bytes more
    sparse.holding = {{1000, 5000}, {19 * GiB - 100, (1 << 20) + 200}, {end + 2, 3}};
    sparse.keep = true;
    NumberedRandom random;
    cPattern engine(sparse, &random);
    engine.setSourceFile("/virtual/disk-image.iso");
    engine.setSecurePass(2);
    EXPECT_TRUE(engine.DeleteFileByPattern().ok());
    EXPECT_TRUE(sparse.removed);
    std::uint64_t inData = 0;
    for (const auto& r : sparse.holding) inData += r.length;
    EXPECT_EQ(sparse.written, 2 * inData);
    const auto plan = cPattern::planFor(sparse.size);
    for (const auto& w : sparse.writes) {
        const auto range = std::find_if(sparse.holding.begin(), sparse.holding.end(),
                                        [&](const auto& r) { return w.offset >= r.offset && w.offset < r.end(); });
        ASSERT_NE(range, sparse.holding.end()) << w.offset;
        EXPECT_LE(w.offset + w.bytes.size(), range->end()) << w.offset;
        for (std::size_t i = 0; i < w.bytes.size(); ++i) {
            const std::uint64_t at = w.offset + i, block = at / plan.blockSize;
            // Patterns run on across passes; the remainder has its own, the ninth buffer filled.
            const int want =
                block >= plan.blocks
                    ? 9
                    : static_cast<int>((static_cast<std::uint64_t>(w.flushesBefore) * plan.blocks + block) % 8) + 1;
            ASSERT_EQ(static_cast<int>(w.bytes[i]), want) << "at " << at << " in pass " << w.flushesBefore + 1;
        }
    }
}

// A write or flush that finds the disk full stops the passes, is told apart from other
// failures, and leaves the file in place. Storage the passes took is given back, but only what
// this pass wrote and only once it is on the device, so no old byte goes to free space.
TEST(EngineLimits, AFullDiskStopsThePassesAndGivesBackOnlyWhatTheyTook) {
    constexpr std::uint64_t MiB = 1 << 20;
    struct Case {
        int code;
        bool inFlush, allocates;
        ShredStatus expected;
        std::vector<platform::ByteRange> givenBack;
    };
    const Case cases[] = {
        {ENOSPC, false, false, ShredStatus::DiskFull, {}},
        {EDQUOT, false, false, ShredStatus::DiskFull, {}},
        {ENOSPC, false, true, ShredStatus::DiskFull, {{0, 3 * MiB}}},  // the second pass, up to the failure
        {ENOSPC, true, true, ShredStatus::DiskFull, {}},               // nothing flushed, nothing given back
        {EIO, false, true, ShredStatus::WriteFailed, {}},
    };
    for (const auto& c : cases) {
        HugeFile file;
        file.size = 8 * MiB;
        file.failCode = c.code;
        file.failFlush = c.inFlush;
        file.writesAllocate = c.allocates;
        if (!c.inFlush) file.failAfter = file.size + 3 * MiB + 1;  // part way through the second pass
        NumberedRandom random;
        cPattern engine(file, &random);
        engine.setSourceFile("/virtual/disk-image.iso");
        engine.setSecurePass(4);
        EXPECT_EQ(engine.DeleteFileByPattern().status, c.expected) << c.code;
        EXPECT_FALSE(file.removed);
        EXPECT_FALSE(file.truncated);
        EXPECT_EQ(file.name, "disk-image.iso");
        std::vector<platform::ByteRange> givenBack;
        for (const auto& [range, flushesBefore] : file.released) {
            givenBack.push_back(range);
            EXPECT_EQ(flushesBefore, 2);  // the first pass's, then the one after the failure
        }
        EXPECT_EQ(givenBack, c.givenBack) << c.code << " " << c.allocates;
        if (!c.inFlush && !c.allocates) {
            EXPECT_EQ(file.flushes, c.expected == ShredStatus::DiskFull ? 2 : 1) << c.code;
        }
    }
}

// Root ignores file modes, so the real refusal is seen as an unprivileged user.
TEST(EngineLimits, AFileWithoutWritePermissionAsAnOrdinaryUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    TempDir dir;
    const auto p = dir / "readonly.txt";
    TempDir::write(p, std::string(4000, 'R'));
    ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
    auto runAsNobody = [&](bool attibs) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(90);
            platform::LinuxFileService files;
            platform::LinuxRandomSource random;
            cPattern engine(files, &random);
            engine.setSourceFile(p.string());
            engine.setSecurePass(1);
            engine.setAttibs(attibs);
            ::_exit(static_cast<int>(engine.DeleteFileByPattern().status));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(runAsNobody(false), static_cast<int>(ShredStatus::OpenFailed));
    EXPECT_EQ(TempDir::read(p), std::string(4000, 'R'));
    EXPECT_EQ(runAsNobody(true), static_cast<int>(ShredStatus::Shredded));
    EXPECT_FALSE(std::filesystem::exists(p));
}

}  // namespace
}  // namespace quenvor::shredder

namespace quenvor::shredder {
namespace {

TEST_F(Engine, AFileThatGainsANameBeforeItIsOpenedIsNotWritten) {
    const auto p = make("mine.txt", 3000);
    TempDir outside;
    TempDir::write(outside / "theirs.txt", "outside");
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "openFile" && path == p.string() && !std::filesystem::exists(outside / "twin.txt"))
            std::filesystem::create_hard_link(p, outside / "twin.txt");
    };
    EXPECT_EQ(shred(p, 2).status, ShredStatus::Changed);
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(TempDir::read(outside / "twin.txt"), std::string(3000, 'S'));

    // Agreed to beforehand (the file mode asks): then the shared contents go too.
    engine.setAllowedNames(2);
    EXPECT_TRUE(shred(p, 1).ok());
    EXPECT_EQ(TempDir::read(outside / "twin.txt"), "");
}

}  // namespace
}  // namespace quenvor::shredder

namespace quenvor::shredder {
namespace {

void appendTo(const std::filesystem::path& p, std::size_t bytes) {
    const int fd = ::open(p.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string more(bytes, 'A');
    ASSERT_EQ(::write(fd, more.data(), more.size()), static_cast<ssize_t>(more.size()));
    ::close(fd);
}

TEST_F(Engine, WhatAnotherProgramAppendsDuringThePassesIsOverwrittenToo) {
    const auto p = make("growing.log", 4000);
    const int reader = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    int flushes = 0;
    std::string beforeCut;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (path != p.string()) return;
        if (call == "flushFile" && ++flushes == 2) appendTo(p, 100000);  // during the last pass
        if (call == "truncate") {
            beforeCut.assign(200000, '\0');
            beforeCut.resize(static_cast<std::size_t>(::pread(reader, beforeCut.data(), beforeCut.size(), 0)));
        }
    };
    EXPECT_TRUE(shred(p, 2).ok());
    ::close(reader);
    EXPECT_EQ(beforeCut.size(), 104000u);
    EXPECT_EQ(beforeCut.find('A'), std::string::npos);
    EXPECT_EQ(beforeCut.find('S'), std::string::npos);
}

TEST_F(Engine, AFileThatNeverStopsGrowingIsReportedAndLeftInPlace) {
    const auto p = make("endless.log", 4000);
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (path == p.string() && call == "flushFile") appendTo(p, 5000);
    };
    EXPECT_EQ(shred(p, 1).status, ShredStatus::KeptGrowing);
    EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_TRUE(files.removed.empty());
}

}  // namespace
}  // namespace quenvor::shredder
