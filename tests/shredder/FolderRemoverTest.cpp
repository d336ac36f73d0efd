#include "shredder/FolderRemover.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/linux/LinuxFileService.h"
#include "support/FaultyFileService.h"
#include "support/TempDir.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(FolderRemover, RemovesEverythingIncludingReadOnlyEntriesButNeverLinkTargets) {
    TempDir dir, outside;
    TempDir::write(outside / "target.txt", "untouched");
    TempDir::write(outside / "dir/inner.txt", "untouched too");
    const auto root = dir / "victim";
    TempDir::write(root / "a/b/c.txt", "x");
    TempDir::write(root / "ro/locked.txt", "x");
    fs::permissions(root / "ro/locked.txt", fs::perms::owner_read, fs::perm_options::replace);
    fs::permissions(root / "ro", fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    fs::create_symlink(outside / "target.txt", root / "link-to-file");
    fs::create_directory_symlink(outside / "dir", root / "a/link-to-dir");
    platform::LinuxFileService files;
    EXPECT_TRUE(FolderRemover(files).removeTree(root, {}).empty());
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_EQ(TempDir::read(outside / "target.txt"), "untouched");
    EXPECT_EQ(TempDir::read(outside / "dir/inner.txt"), "untouched too");
}

TEST(FolderRemover, KeepsWhatItIsToldAndTheFoldersHoldingIt) {
    TempDir dir;
    const auto root = dir / "victim";
    TempDir::write(root / "keep/me.txt", "1");
    TempDir::write(root / "keep/other.txt", "2");
    TempDir::write(root / "gone/x.txt", "3");
    platform::LinuxFileService files;
    EXPECT_TRUE(FolderRemover(files).removeTree(root, {(root / "keep/me.txt").string()}).empty());
    EXPECT_TRUE(fs::exists(root / "keep/me.txt"));
    EXPECT_FALSE(fs::exists(root / "keep/other.txt"));
    EXPECT_FALSE(fs::exists(root / "gone"));
}

TEST(FolderRemover, AFolderSwappedForALinkMidwayIsLeftAloneAndReported) {
    TempDir dir, outside;
    TempDir::write(outside / "dir/inner.txt", "untouched");
    const auto root = dir / "victim";
    TempDir::write(root / "sub/x.txt", "x");
    platform::LinuxFileService real;
    test::FaultyFileService files{real};
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "openDir" && path == (root / "sub").string() && !fs::is_symlink(root / "sub")) {
            fs::rename(root / "sub", dir / "moved");
            fs::create_directory_symlink(outside / "dir", root / "sub");
        }
    };
    const auto failures = FolderRemover(files).removeTree(root, {});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, (root / "sub").string());
    EXPECT_TRUE(failures[0].changed);
    EXPECT_EQ(TempDir::read(outside / "dir/inner.txt"), "untouched");
    EXPECT_TRUE(fs::is_symlink(root / "sub"));
}

TEST(FolderRemover, EachFolderIsRenamedBeforeItGoes) {
    TempDir dir;
    const auto root = dir / "victim";
    TempDir::write(root / "holiday-photos/x.txt", "x");
    platform::LinuxFileService real;
    test::FaultyFileService files{real};
    EXPECT_TRUE(FolderRemover(files).removeTree(root, {}).empty());
    EXPECT_FALSE(fs::exists(root));
    std::vector<std::string> renamedFrom;
    for (const auto& [from, to] : files.renames) renamedFrom.push_back(fs::path(from).filename().string());
    EXPECT_NE(std::find(renamedFrom.begin(), renamedFrom.end(), "holiday-photos"), renamedFrom.end());
    EXPECT_NE(std::find(renamedFrom.begin(), renamedFrom.end(), "victim"), renamedFrom.end());
    for (const auto& r : files.removed) {
        const auto n = fs::path(r).filename().string();
        EXPECT_TRUE(n == "x.txt" || n.size() == 1) << r;  // folders go by a one-letter name
    }
}

TEST(FolderRemover, FoldersInsideAreMadeWritableButNeverTheOneHoldingTheChoice) {
    TempDir dir;
    const auto root = dir / "victim";
    TempDir::write(root / "ro/x.txt", "x");
    platform::LinuxFileService real;
    test::FaultyFileService files{real};
    // Removals fail until the folder holding the name was made writable, as for a user without
    // write permission there (root, running the tests, is never refused).
    int refusals = 0;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call != "unlinkAt") return;
        const auto parent = fs::path(path).parent_path().string();
        const bool writable =
            std::find(files.madeWritable.begin(), files.madeWritable.end(), parent) != files.madeWritable.end();
        if (writable) {
            files.failRemoveFor.erase(path);
        } else {
            files.failRemoveFor.insert(path);
            ++refusals;
        }
    };
    const auto failures = FolderRemover(files).removeTree(root, {});
    EXPECT_GT(refusals, 0);
    EXPECT_EQ(std::count(files.madeWritable.begin(), files.madeWritable.end(), dir.path().string()), 0);
    EXPECT_NE(std::find(files.madeWritable.begin(), files.madeWritable.end(), (root / "ro").string()),
              files.madeWritable.end());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, root.string());  // emptied, named, and under its own name
    EXPECT_TRUE(fs::exists(root));
    EXPECT_TRUE(fs::is_empty(root));
}

TEST(FolderRemover, AMissingFolderIsNothingToRemove) {
    platform::LinuxFileService files;
    EXPECT_EQ(FolderRemover(files).removeTree("/nonexistent/quenvor/folder", {}).size(), 0u);
}

}  // namespace
}  // namespace quenvor::shredder
