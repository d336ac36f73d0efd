#include "shredder/FolderShred.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

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

TEST_F(FolderPolicy, AStopLeavesTheFolderAndTheRestAlone) {
    for (int i = 1; i <= 4; ++i) TempDir::write(victim / ("f" + std::to_string(i)), "secret");
    stop = [&] { return results.size() == 2; };
    const auto o = run();
    EXPECT_TRUE(o.aborted);
    EXPECT_FALSE(fs::exists(victim / "f2"));
    EXPECT_TRUE(fs::exists(victim / "f3"));
    EXPECT_TRUE(fs::exists(victim / "f4"));
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
