#include "shredder/FolderShred.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/PendingDeletionList.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxRandomSource.h"
#include "shredder/cPattern.h"
#include "support/FaultyFileService.h"
#include "support/TempDir.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

class FolderPolicy : public ::testing::Test {
protected:
    TempDir dir, outside;
    platform::PendingDeletionList pending{dir / "state/pending"};
    platform::LinuxFileService real{&pending};
    test::FaultyFileService files{real};
    platform::LinuxRandomSource random;
    cPattern engine{files, &random};
    fs::path victim = dir / "victim";
    int prepared = 0;
    std::vector<ShredStatus> results;
    std::function<bool()> stop;

    FolderShred::Outcome run() {
        FolderShred::Hooks hooks;
        hooks.beforeFile = [&] {
            ++prepared;
            engine.setSecurePass(1);
            engine.setAttibs(true);
        };
        hooks.afterFile = [&](const ShredResult& r) { results.push_back(r.status); };
        hooks.stopRequested = [&] { return stop && stop(); };
        return FolderShred(files, engine, std::move(hooks)).run(victim.string());
    }
    const FolderShred::Left* leftFor(const FolderShred::Outcome& o, const fs::path& p) {
        for (const auto& l : o.left)
            if (l.path == p.string()) return &l;
        return nullptr;
    }
};

TEST_F(FolderPolicy, EachKindOfEntryGetsItsOwnTreatment) {
    TempDir::write(victim / "plain.txt", "secret");
    TempDir::write(victim / "sub/deep.txt", "secret");
    TempDir::write(victim / "shared.txt", "shared contents");
    fs::create_hard_link(victim / "shared.txt", outside / "twin.txt");
    TempDir::write(outside / "target.txt", "outside");
    fs::create_symlink(outside / "target.txt", victim / "sub/link");
    ::mkfifo((victim / "pipe").c_str(), 0600);

    const auto o = run();
    // Only the two files of the folder's own went through the engine.
    EXPECT_EQ(prepared, 2);
    EXPECT_EQ(results, (std::vector<ShredStatus>{ShredStatus::Shredded, ShredStatus::Shredded}));
    EXPECT_EQ(o.files, 3);
    ASSERT_EQ(o.left.size(), 1u);
    EXPECT_EQ(o.left[0].reason, FolderShred::Reason::OtherNames);
    EXPECT_FALSE(o.left[0].leftInPlace);  // the name is gone, only the contents live on outside
    EXPECT_EQ(TempDir::read(outside / "twin.txt"), "shared contents");
    EXPECT_EQ(TempDir::read(outside / "target.txt"), "outside");
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    EXPECT_FALSE(o.done());
}

TEST_F(FolderPolicy, WhatCouldNotBeShreddedStaysWithTheFoldersHoldingIt) {
    TempDir::write(victim / "a/b/locked.db", "data");
    TempDir::write(victim / "a/other.txt", "x");
    TempDir::write(victim / "c/gone.txt", "x");
    files.failOpenFor.insert((victim / "a/b/locked.db").string());
    const auto o = run();
    ASSERT_EQ(o.left.size(), 1u);
    EXPECT_EQ(o.left[0].reason, FolderShred::Reason::NotShredded);
    EXPECT_EQ(o.left[0].result.status, ShredStatus::OpenFailed);
    EXPECT_TRUE(o.left[0].leftInPlace);
    EXPECT_EQ(TempDir::read(victim / "a/b/locked.db"), "data");
    EXPECT_FALSE(fs::exists(victim / "a/other.txt"));
    EXPECT_FALSE(fs::exists(victim / "c"));
}

// Mounts inside the folder, undone whatever the test's outcome.
struct BindMounts {
    std::vector<fs::path> points;
    bool add(const fs::path& from, const fs::path& onto) {
        if (::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        points.push_back(onto);
        return true;
    }
    ~BindMounts() {
        for (; !points.empty(); points.pop_back()) ::umount2(points.back().c_str(), MNT_DETACH);
    }
};

TEST_F(FolderPolicy, ABindMountOfTheSameFilesystemIsNeverEntered) {
    TempDir::write(outside / "dir/keep.txt", "outside file");
    TempDir::write(outside / "single.txt", "outside single file");
    TempDir::write(victim / "a.txt", "secret");
    TempDir::write(victim / "over.txt", "hidden under the mount");
    fs::create_directories(victim / "bindpoint");
    BindMounts mounts;
    if (!mounts.add(outside / "dir", victim / "bindpoint") || !mounts.add(outside / "single.txt", victim / "over.txt"))
        GTEST_SKIP() << "cannot bind-mount here (needs root): " << std::strerror(errno);
    const auto o = run();
    EXPECT_EQ(TempDir::read(outside / "dir/keep.txt"), "outside file");
    EXPECT_EQ(TempDir::read(outside / "single.txt"), "outside single file");
    const auto* point = leftFor(o, victim / "bindpoint");
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->reason, FolderShred::Reason::MountPoint);
    const auto* over = leftFor(o, victim / "over.txt");
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(over->result.status, ShredStatus::Changed);
    EXPECT_FALSE(fs::exists(victim / "a.txt"));
}

TEST_F(FolderPolicy, AStopLeavesTheFolderAndTheRestAlone) {
    for (int i = 1; i <= 4; ++i) TempDir::write(victim / ("f" + std::to_string(i)), "secret");
    stop = [&] { return results.size() == 2; };
    const auto o = run();
    EXPECT_TRUE(o.aborted);
    EXPECT_FALSE(fs::exists(victim / "f2"));
    EXPECT_TRUE(fs::exists(victim / "f3"));
    EXPECT_TRUE(fs::exists(victim / "f4"));
}

TEST_F(FolderPolicy, AFullDiskStopsTheRunAfterThatFileAndRemovesNothingMore) {
    for (int i = 1; i <= 4; ++i) TempDir::write(victim / ("f" + std::to_string(i)), "secret");
    files.failWriteCode = ENOSPC;
    files.failWriteAtCall = 2;  // one write a file: the second file
    const auto o = run();
    EXPECT_TRUE(o.diskFull);
    EXPECT_FALSE(o.aborted);
    EXPECT_FALSE(o.done());
    EXPECT_EQ(results, (std::vector<ShredStatus>{ShredStatus::Shredded, ShredStatus::DiskFull}));
    ASSERT_EQ(o.left.size(), 1u);
    EXPECT_EQ(o.left[0].result.status, ShredStatus::DiskFull);
    EXPECT_TRUE(o.left[0].leftInPlace);
    int untouched = 0;
    for (int i = 1; i <= 4; ++i)
        untouched += fs::exists(victim / ("f" + std::to_string(i))) &&
                     TempDir::read(victim / ("f" + std::to_string(i))) == "secret";
    EXPECT_EQ(untouched, 3);  // the one whose write failed, and the two the run never reached
    EXPECT_EQ(files.writes, 2);
}

TEST_F(FolderPolicy, AFailedRemovalIsNamedNotHidden) {
    TempDir::write(victim / "sub/x.txt", "x");
    files.failRemoveFor.insert((victim / "sub").string());
    const auto o = run();
    const auto* l = leftFor(o, victim / "sub");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->reason, FolderShred::Reason::NotRemoved);
    EXPECT_NE(l->detail.find("not permitted"), std::string::npos);
    EXPECT_FALSE(fs::exists(victim / "sub/x.txt"));
}

}  // namespace
}  // namespace quenvor::shredder

namespace quenvor::shredder {
namespace {

// Races replayed through the file seam: the folder is changed between two exact steps of the
// shred, the way a sync client or another user with write access could change it.
class FolderRace : public FolderPolicy {
protected:
    void fillOutside() {
        for (int i = 0; i < 5; ++i) TempDir::write(outside / "dir" / ("keep" + std::to_string(i)), "outside file");
        TempDir::write(outside / "precious.bin", std::string(4096, 'P'));
    }
    void expectOutsideIntact() {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(TempDir::read(outside / "dir" / ("keep" + std::to_string(i))), "outside file") << i;
        EXPECT_EQ(TempDir::read(outside / "precious.bin"), std::string(4096, 'P'));
    }
};

TEST_F(FolderRace, ASubfolderSwappedForALinkAfterTheListingIsNeverEntered) {
    fillOutside();
    TempDir::write(victim / "a.txt", "secret");
    for (int i = 0; i < 5; ++i) TempDir::write(victim / "sub" / ("f" + std::to_string(i)), "secret");
    bool swapped = false;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "openDir" && path == (victim / "sub").string() && !swapped) {
            swapped = true;
            fs::rename(victim / "sub", dir / "sub-moved");
            fs::create_directory_symlink(outside / "dir", victim / "sub");
        }
    };
    const auto o = run();
    ASSERT_TRUE(swapped);
    expectOutsideIntact();
    const auto* l = leftFor(o, victim / "sub");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->reason, FolderShred::Reason::FolderChanged);
    EXPECT_FALSE(o.done());
    EXPECT_EQ(prepared, 1);  // only a.txt went through the engine
}

TEST_F(FolderRace, ASubfolderSwappedForAnotherFolderIsNotEnteredEither) {
    fillOutside();
    for (int i = 0; i < 3; ++i) TempDir::write(victim / "sub" / ("f" + std::to_string(i)), "secret");
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "openDir" && path == (victim / "sub").string() && fs::exists(outside / "dir")) {
            fs::rename(victim / "sub", dir / "sub-moved");
            fs::rename(outside / "dir", victim / "sub");  // a real folder, from outside the choice
        }
    };
    const auto o = run();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(TempDir::read(victim / "sub" / ("keep" + std::to_string(i))), "outside file");
    const auto* l = leftFor(o, victim / "sub");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->reason, FolderShred::Reason::FolderChanged);
    EXPECT_TRUE(l->leftInPlace);
}

TEST_F(FolderRace, AFileSwappedForAHardLinkDuringItsFirstPassKeepsTheOutsideFileWhole) {
    fillOutside();
    TempDir::write(victim / "big.bin", std::string(300000, 'B'));
    int writes = 0;
    files.beforeCall = [&](const std::string& call, const std::string&) {
        if (call == "write" && ++writes == 1) {  // a pass is one write: as it starts
            fs::rename(victim / "big.bin", dir / "big-moved.bin");
            fs::create_hard_link(outside / "precious.bin", victim / "big.bin");
        }
    };
    const auto o = run();
    expectOutsideIntact();
    // What was opened was overwritten and emptied all the same, wherever its name went.
    EXPECT_EQ(fs::file_size(dir / "big-moved.bin"), 0u);
    const auto* l = leftFor(o, victim / "big.bin");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->result.status, ShredStatus::NameReplaced);
    EXPECT_TRUE(l->leftInPlace);
    EXPECT_TRUE(fs::exists(victim / "big.bin"));  // the outside file's name is not ours to remove
    EXPECT_FALSE(o.done());
}

TEST_F(FolderRace, AFileSwappedBetweenItsListingAndItsOpeningIsNotWritten) {
    fillOutside();
    TempDir::write(victim / "doc.txt", "secret");
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "openFile" && path == (victim / "doc.txt").string() && !fs::exists(dir / "doc-moved")) {
            fs::rename(victim / "doc.txt", dir / "doc-moved");
            fs::create_hard_link(outside / "precious.bin", victim / "doc.txt");
        }
    };
    const auto o = run();
    expectOutsideIntact();
    const auto* l = leftFor(o, victim / "doc.txt");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->result.status, ShredStatus::Changed);
    EXPECT_EQ(files.writes, 0);
}

TEST_F(FolderRace, AFileWrittenIntoAFolderAlreadyWalkedIsShreddedNotJustRemoved) {
    TempDir::write(victim / "sub/one.txt", "secret");
    TempDir::write(victim / "zz/two.txt", "secret");
    int late = -1;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "write" && path == (victim / "zz/two.txt").string() && late < 0) {
            TempDir::write(victim / "sub/late.txt", "written while the shred ran");
            late = ::open((victim / "sub/late.txt").c_str(), O_RDONLY | O_CLOEXEC);
        }
    };
    const auto o = run();
    ASSERT_GE(late, 0);
    struct stat st {};
    ::fstat(late, &st);
    std::string rest(64, '\0');
    const auto n = ::pread(late, rest.data(), rest.size(), 0);
    ::close(late);
    EXPECT_EQ(n, 0);  // overwritten and emptied before its name went
    EXPECT_EQ(st.st_nlink, 0u);
    EXPECT_EQ(prepared, 3);
    EXPECT_EQ(o.files, 3);
    EXPECT_TRUE(o.done());
    EXPECT_FALSE(fs::exists(victim));
}

TEST_F(FolderRace, ALinkOrPipeSwappedForAFileIsNotRemoved) {
    fillOutside();
    fs::create_directories(victim);
    fs::create_symlink(outside / "precious.bin", victim / "link");
    int looks = 0;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        // Between the look that finds a link and the removal of that name.
        if (call == "statAt" && path == (victim / "link").string() && ++looks == 2) {
            fs::remove(victim / "link");
            fs::create_hard_link(outside / "precious.bin", victim / "link");
        }
    };
    const auto o = run();
    expectOutsideIntact();
    const auto* l = leftFor(o, victim / "link");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->reason, FolderShred::Reason::Changed);
}

TEST_F(FolderRace, ALinkOrPipeThatCameInAfterTheWalkIsRemovedButNamed) {
    TempDir::write(victim / "sub/one.txt", "secret");
    TempDir::write(victim / "zz/two.txt", "secret");
    bool added = false;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "write" && path == (victim / "zz/two.txt").string() && !added) {
            added = true;
            fs::create_symlink(outside / "anything", victim / "sub/late-link");
            ::mkfifo((victim / "sub/late-pipe").c_str(), 0600);
        }
    };
    const auto o = run();
    ASSERT_TRUE(added);
    EXPECT_FALSE(fs::exists(victim));
    for (const char* name : {"late-link", "late-pipe"}) {
        const auto* l = leftFor(o, victim / "sub" / name);
        ASSERT_NE(l, nullptr) << name;
        EXPECT_EQ(l->reason, FolderShred::Reason::AppearedLate);
        EXPECT_FALSE(l->leftInPlace);
        EXPECT_EQ(l->kind, FolderShred::Kind::Other);
    }
    EXPECT_EQ(o.others, 2);
}

// The chosen folder exchanged with another of the user's, moved away for another, or reached
// through a folder replaced by a link, once its first file is shredded: the run stays with the
// folder it holds, and the other folder's documents stay byte for byte.
TEST_F(FolderRace, TheChosenFolderSwappedAfterItsFirstFileIsStillTheOneShredded) {
    struct Case {
        const char* name;
        const char* chosen;
        const char* other;   // holds the documents the chosen path leads to after the swap
        const char* endsAt;  // where the chosen folder is after the swap
        bool removed;        // still under its name in the folder holding it, so removed there
    };
    const Case cases[] = {
        {"exchanged", "x/v", "x/precious", "x/precious", false},
        {"renamed", "x/v", "x/precious", "x/away", false},
        {"linked", "g/p/v", "elsewhere/p/v", "g-moved/p/v", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path base = dir / c.name;
        victim = base / c.chosen;
        for (const char* f : {"a1.txt", "a2.txt", "a3.txt", "sub/b.txt"}) TempDir::write(victim / f, "secret");
        for (int i = 0; i < 3; ++i)
            TempDir::write(base / c.other / ("doc" + std::to_string(i)), "document " + std::to_string(i));
        prepared = 0;
        int opened = 0;
        files.beforeCall = [&](const std::string& call, const std::string&) {
            if (call != "openFile" || ++opened != 2) return;
            if (c.name == std::string("exchanged")) {
                ASSERT_EQ(::renameat2(AT_FDCWD, victim.c_str(), AT_FDCWD, (base / c.other).c_str(), RENAME_EXCHANGE),
                          0);
            } else if (c.name == std::string("renamed")) {
                fs::rename(victim, base / c.endsAt);
                fs::rename(base / c.other, victim);
            } else {
                fs::rename(base / "g", base / "g-moved");
                fs::create_directory_symlink(base / "elsewhere", base / "g");
            }
        };
        const auto o = run();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(TempDir::read(victim / ("doc" + std::to_string(i))), "document " + std::to_string(i));
        EXPECT_EQ(prepared, 4);
        EXPECT_TRUE(o.choiceMoved);
        EXPECT_EQ(fs::exists(base / c.endsAt), !c.removed);
        if (!c.removed) {
            EXPECT_TRUE(fs::is_empty(base / c.endsAt));
            const auto* l = leftFor(o, victim);
            ASSERT_NE(l, nullptr);
            EXPECT_EQ(l->reason, FolderShred::Reason::FolderMoved);
        }
    }
}

// A file the walk listed, found as a pipe or a folder when it is reached: the file went
// elsewhere unshredded and is named; what took its name lies inside the choice and goes.
TEST_F(FolderRace, AListedFileFoundAsSomethingElseIsNamedAsNotShredded) {
    for (const char* kind : {"pipe", "folder"}) {
        SCOPED_TRACE(kind);
        victim = dir / kind;
        TempDir::write(victim / "doc.txt", "mine");
        const fs::path moved = dir / (std::string(kind) + "-doc-moved");
        prepared = 0;
        files.beforeCall = [&](const std::string& call, const std::string& path) {
            if (call != "statAt" || path != (victim / "doc.txt").string() || fs::exists(moved)) return;
            fs::rename(victim / "doc.txt", moved);
            if (kind == std::string("pipe"))
                ::mkfifo((victim / "doc.txt").c_str(), 0600);
            else
                TempDir::write(victim / "doc.txt/late.txt", "came in");
        };
        const auto o = run();
        EXPECT_EQ(TempDir::read(moved), "mine");
        const auto* l = leftFor(o, victim / "doc.txt");
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->reason, FolderShred::Reason::FileReplaced);
        EXPECT_EQ(l->kind, FolderShred::Kind::File);
        EXPECT_EQ(o.leftOf(FolderShred::Kind::File), 1);
        EXPECT_EQ(prepared, kind == std::string("pipe") ? 0 : 1);
        EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    }
}

// Names of one file, counted by device and inode.
TEST_F(FolderPolicy, AFileWhoseNamesAllLieInsideTheChoiceIsShreddedAndNoNameIsReported) {
    TempDir::write(victim / "a/first.txt", "shared secret");
    fs::create_directories(victim / "b");
    fs::create_hard_link(victim / "a/first.txt", victim / "b/second.txt");
    fs::create_hard_link(victim / "a/first.txt", victim / "b/third.txt");
    const int held = ::open((victim / "a/first.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const auto o = run();
    struct stat st {};
    ::fstat(held, &st);
    ::close(held);
    EXPECT_EQ(st.st_size, 0);  // overwritten and cut: the passes ran on it
    EXPECT_EQ(st.st_nlink, 0u);
    EXPECT_TRUE(o.done()) << (o.left.empty() ? "" : o.left[0].path);
    EXPECT_EQ(o.files, 1);
    EXPECT_EQ(prepared, 1);
    EXPECT_FALSE(fs::exists(victim));
}

TEST_F(FolderPolicy, OnlyTheNamesOfAFileWithANameOutsideAreReported) {
    TempDir::write(victim / "a/first.txt", "shared secret");
    fs::create_hard_link(victim / "a/first.txt", victim / "second.txt");
    fs::create_hard_link(victim / "a/first.txt", outside / "kept.txt");
    const auto o = run();
    EXPECT_EQ(TempDir::read(outside / "kept.txt"), "shared secret");
    EXPECT_EQ(prepared, 0);
    ASSERT_EQ(o.left.size(), 2u);
    for (const auto& l : o.left) {
        EXPECT_EQ(l.reason, FolderShred::Reason::OtherNames) << l.path;
        EXPECT_FALSE(l.leftInPlace);
    }
    EXPECT_EQ(o.files, 1);
    EXPECT_EQ(o.leftOf(FolderShred::Kind::File), 2);
}

TEST_F(FolderPolicy, FilesFoldersAndOtherEntriesAreCountedApart) {
    TempDir::write(victim / "one.txt", "x");
    TempDir::write(victim / "sub/two.txt", "x");
    fs::create_directories(victim / "sub/empty");
    fs::create_symlink(outside.path(), victim / "link");
    ::mkfifo((victim / "sub/pipe").c_str(), 0600);
    const auto o = run();
    EXPECT_TRUE(o.done());
    EXPECT_EQ(o.files, 2);
    EXPECT_EQ(o.folders, 2);
    EXPECT_EQ(o.others, 2);
}

// Paths past PATH_MAX: each step of the walk and of the removal is one short name relative to
// an open folder, so no depth is out of reach.
TEST_F(FolderPolicy, ATreeDeeperThanAPathCanNameIsShreddedToTheBottom) {
    fs::create_directories(victim);
    const std::string part(200, 'd');
    int fd = ::open(victim.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::size_t depth = victim.string().size();
    int written = 0;
    for (int level = 0; level < 30; ++level) {
        if (level % 7 == 0 || level == 29) {
            const int f = ::openat(fd, "file.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_GE(f, 0);
            ASSERT_EQ(::write(f, "secret", 6), 6);
            ::close(f);
            ++written;
        }
        ASSERT_EQ(::mkdirat(fd, part.c_str(), 0700), 0) << std::strerror(errno);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(next, 0);
        ::close(fd);
        fd = next;
        depth += part.size() + 1;
    }
    ::close(fd);
    ASSERT_GT(depth, 4096u + 1000u);
    ASSERT_EQ(written, 6);
    const auto o = run();
    EXPECT_EQ(o.files, 6);
    EXPECT_EQ(prepared, 6);
    EXPECT_EQ(o.folders, 30);
    EXPECT_TRUE(o.done()) << (o.left.empty() ? "" : o.left[0].path.substr(0, 80) + "...: " + o.left[0].detail);
    EXPECT_FALSE(fs::exists(victim));
}

// The same races on the real filesystem, with a second thread exchanging the entries
// (renameat2 RENAME_EXCHANGE) as fast as it can while the shred runs.
class RealRace : public ::testing::Test {
protected:
    TempDir dir, outside;
    platform::LinuxFileService files;
    platform::LinuxRandomSource random;
    cPattern engine{files, &random};
    fs::path victim = dir / "victim";

    FolderShred::Outcome shredWhileExchanging(const fs::path& a, const fs::path& b) {
        if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) != 0 ||
            ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) != 0)
            return {};
        exchanging = true;
        std::atomic<bool> stop{false};
        std::thread helper([&] {
            while (!stop) {
                ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        FolderShred::Hooks hooks;
        hooks.beforeFile = [&] { engine.setSecurePass(2); };
        auto o = FolderShred(files, engine, std::move(hooks)).run(victim.string());
        stop = true;
        helper.join();
        return o;
    }
    bool exchanging = false;
};

TEST_F(RealRace, ASubfolderExchangedWithALinkNeverLetsTheOutsideInside) {
    for (int i = 0; i < 200; ++i) {
        TempDir::write(victim / "sub" / ("f" + std::to_string(i)), std::string(4096, 'S'));
        TempDir::write(outside / "dir" / ("keep" + std::to_string(i)), "outside file");
    }
    fs::create_directory_symlink(outside / "dir", dir / "swap");
    const auto o = shredWhileExchanging(victim / "sub", dir / "swap");
    if (!exchanging) GTEST_SKIP() << "this filesystem cannot exchange entries";
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(TempDir::read(outside / "dir" / ("keep" + std::to_string(i))), "outside file") << i;
    (void)o;
}

TEST_F(RealRace, AFileExchangedWithAHardLinkNeverHarmsTheOutsideFile) {
    TempDir::write(victim / "big.bin", std::string(16 << 20, 'B'));
    TempDir::write(outside / "precious.bin", std::string(1 << 20, 'P'));
    fs::create_hard_link(outside / "precious.bin", dir / "twin.bin");
    const int original = ::open((victim / "big.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(original, 0);
    const auto o = shredWhileExchanging(victim / "big.bin", dir / "twin.bin");
    if (!exchanging) {
        ::close(original);
        GTEST_SKIP() << "this filesystem cannot exchange entries";
    }
    EXPECT_EQ(TempDir::read(outside / "precious.bin"), std::string(1 << 20, 'P'));
    struct stat st {};
    ::fstat(original, &st);
    ::close(original);
    // Whoever won each exchange, success is claimed only when what the user chose was
    // overwritten, emptied and its name removed (it may have been moved out of reach instead).
    if (o.done()) {
        EXPECT_EQ(st.st_size, 0);
        EXPECT_EQ(st.st_nlink, 0u);
    }
}

}  // namespace
}  // namespace quenvor::shredder
