#include "shredder/InterruptedRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "platform/NativePlatform.h"
#include "support/TempDir.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// What a crash leaves must read back exactly; anything else is dropped, never half trusted.
TEST(InterruptedRun, ReadsBackWhatItWroteAndRefusesAnythingElse) {
    InterruptedRun::Record r;
    r.process = 4242;
    r.folder = true;
    r.choice = "/home/ana/odd name\nwith a line break";
    r.choiceId = {2049, 77};
    r.passes = 16;
    r.finished = 12345;
    r.current = "/home/ana/odd name\nwith a line break/é.txt";
    r.currentId = {2049, 1ULL << 40};
    const std::string good = InterruptedRun::format(r);
    EXPECT_EQ(InterruptedRun::parse(good), r);
    auto noCurrent = r;
    noCurrent.folder = false;
    noCurrent.current.clear();
    noCurrent.currentId = {};
    EXPECT_EQ(InterruptedRun::parse(InterruptedRun::format(noCurrent)), noCurrent);

    const auto replaced = [&](const std::string& what, const std::string& with) {
        std::string s = good;
        s.replace(s.find(what), what.size(), with);
        return s;
    };
    for (const std::string& bad : {
             std::string(),
             good.substr(0, good.size() - 1),       // the last line cut
             good.substr(0, good.find("current")),  // no end mark
             replaced("shred 1", "shred 2"),        // a later layout
             replaced("folder", "disk"),
             replaced("passes 16", "passes -4"),
             replaced("passes 16", "passes 16x"),
             replaced("passes 16", "passes 99999"),
             replaced("finished 12345", "finished"),
             replaced("2f686f6d65", "686f6d65"),    // a relative path
             replaced("2f686f6d65", "2f686f6d6"),   // half a byte
             replaced("2f686f6d65", "2f68006d65"),  // a NUL in a name
             replaced("2049 77", "2049"),
             replaced("end\n", "end\nmore\n"),
             replaced("current", "currant"),
             replaced("process 4242", "process -1"),
             replaced("process 4242\n", ""),
         })
        EXPECT_FALSE(InterruptedRun::parse(bad)) << bad;
}

TEST(InterruptedRun, LivesFromTheRunsStartToItsEnd) {
    TempDir dir;
    const auto files = platform::NativePlatform::makeFileService();
    InterruptedRun run(*files, dir / "state/quenvor/interrupted-shred", 0, std::chrono::milliseconds(0));
    EXPECT_FALSE(run.load().record);
    EXPECT_FALSE(run.load().damaged);

    const auto chosen = dir / "chosen", file = chosen / "a.txt";
    TempDir::write(file, "x");
    ASSERT_TRUE(run.begin(true, chosen, 8).ok());
    ASSERT_TRUE(run.fileBegins(file, 8).ok());
    run.fileFinished();
    ASSERT_TRUE(run.fileBegins(chosen / "b.txt", 4).ok());  // gone already: named, no identity
    const auto loaded = run.load();
    ASSERT_TRUE(loaded.record);
    EXPECT_EQ(loaded.record->choice, chosen);
    EXPECT_EQ(loaded.record->choiceId, files->status(chosen)->identity());
    EXPECT_EQ(loaded.record->current, chosen / "b.txt");
    EXPECT_EQ(loaded.record->currentId, platform::FileIdentity{});
    EXPECT_EQ(loaded.record->passes, 4);
    EXPECT_EQ(loaded.record->finished, 1u);
    ASSERT_TRUE(run.end().ok());
    EXPECT_FALSE(fs::exists(run.file()));

    // Between updates a small file waits for the interval; a big one is named at once.
    InterruptedRun slow(*files, run.file(), 0, std::chrono::hours(1));
    const auto big = chosen / "big";
    TempDir::write(big, std::string(std::size_t{1024} * 1024, 'b'));
    ASSERT_TRUE(slow.begin(true, chosen, 4).ok());
    for (const auto& [begun, named] : {std::pair{file, file}, {chosen / "small", file}, {big, big}}) {
        ASSERT_TRUE(slow.fileBegins(begun, 4).ok());
        ASSERT_TRUE(slow.passDone().ok());
        EXPECT_EQ(slow.load().record->current, named);
    }
    ASSERT_TRUE(slow.end().ok());

    TempDir::write(run.file(), "quenvor interrupted shred 1\nchoice folder");
    EXPECT_TRUE(run.load().damaged);
    EXPECT_FALSE(run.load().record);
    ASSERT_TRUE(run.forget().ok());
    EXPECT_FALSE(run.load().damaged);
}

}  // namespace
}  // namespace quenvor::shredder
