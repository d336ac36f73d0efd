// quenvor-cli shred on loop-mounted filesystems: where overwriting reaches the old blocks the
// exit code is 0 and each thing is removed; where it may not (copy-on-write) the things are
// removed all the same, named as "may remain" with why, and the exit code is 1. And
// wipe-free-space on an image of its own, with the fill a killed run left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "cli/ExitCode.h"
#include "platform/linux/LinuxFreeSpace.h"
#include "platform/linux/LinuxStorageProbe.h"
#include "shredder/PendingFill.h"
#include "support/CliRig.h"
#include "support/LoopImage.h"

namespace quenvor::cli {
namespace {
namespace fs = std::filesystem;
using test::LoopImage;

TEST(CliRealFs, ShredExitCodeAndStatesFollowWhatTheFilesystemAllows) {
    struct Case {
        LoopImage::Recipe recipe;
        int code;
        const char* state;
        const char* reason;
    } cases[] = {
        {LoopImage::ext4(), ExitCode::Done, "removed", ""},
        {LoopImage::btrfs(), ExitCode::Partly, "may_remain", "copy-on-write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recipe.name);
        QUENVOR_MOUNT_OR_SKIP(img, c.recipe);
        test::CliRig rig;
        platform::LinuxStorageProbe probe;
        rig.probe = &probe;
        const std::string data(std::size_t{64} * 1024, 'x');
        test::TempDir::write(*img / "diary.txt", data);
        test::TempDir::write(*img / "letters/one.txt", data);
        test::TempDir::write(*img / "letters/deeper/two.txt", data);
        ASSERT_TRUE(img->sync());

        const auto r = rig.run({"shred", "--yes", "--level", "secure", "--json", (*img / "diary.txt").string(),
                                (*img / "letters").string()});
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_FALSE(fs::exists(*img / "diary.txt"));
        EXPECT_FALSE(fs::exists(*img / "letters"));
        const auto report = r.json();
        ASSERT_TRUE(report) << r.out;
        for (const auto* path : {"diary.txt", "letters", "letters/one.txt", "letters/deeper/two.txt"}) {
            const auto named = test::itemsWhere(*report, "path", (*img / path).string());
            // Files inside a folder are named only when something is to be said of them.
            if (named.empty() && std::string(c.state) == "removed" && std::string(path).find('/') != std::string::npos)
                continue;
            ASSERT_EQ(named.size(), 1u) << path << "\n" << r.out;
            EXPECT_EQ(named[0]->member("state")->text(), c.state) << path;
            if (std::string(path) != "letters") {
                EXPECT_NE(named[0]->member("reason")->text().find(c.reason), std::string::npos) << r.out;
            }
        }
        // The text report is the window's final message.
        test::TempDir::write(*img / "again.txt", data);
        const auto text = rig.run({"shred", "--yes", (*img / "again.txt").string()});
        EXPECT_NE(text.out.find(c.code == ExitCode::Done ? "The file was permanently deleted."
                                                         : "its old contents may remain on the disk"),
                  std::string::npos)
            << text.out;
    }
}

// The start removes what a killed wipe left, but never the fill of one still running; the wipe
// then fills the image, takes its fill away again and accounts for it in JSON.
TEST(CliRealFs, WipeFreeSpaceCleansAKilledRunsFillThenFillsAndFreesTheImage) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    test::CliRig rig;
    platform::LinuxStorageProbe probe;
    platform::LinuxFreeSpace space;
    rig.probe = &probe;
    rig.freeSpace = &space;
    const auto freeNow = [&] { return fs::space(img->mountPoint()).available; };
    const std::uint64_t freeBefore = freeNow();

    const std::string leftover = ".quenvor-wipe-leftover";
    test::TempDir::write(*img / leftover / "fill-0", std::string(std::size_t{8} << 20, 'r'));
    shredder::PendingFill record(rig.files, rig.pending.file().parent_path() / "pending-fill");
    const auto id = rig.files.status(img->mountPoint());
    ASSERT_TRUE(id);
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::vector<std::string> args{"wipe-free-space", "--yes", "--json", img->mountPoint().string()};

    for (const std::int64_t process : {std::int64_t{::getppid()}, std::int64_t{gone}}) {
        ASSERT_TRUE(record.begin({process, img->mountPoint(), id->identity(), leftover, ".qvleftov"}));
        const auto r = rig.run(args);
        const auto report = r.json();
        ASSERT_TRUE(report) << r.out;
        if (process != gone) {
            // Another program's wipe going on: its fill and its record stay, nothing is written.
            EXPECT_EQ(r.code, ExitCode::NothingDone) << r.out;
            EXPECT_NE(report->member("message")->text().find("Another wipe of free space is running"),
                      std::string::npos);
            EXPECT_TRUE(fs::exists(*img / leftover / "fill-0"));
            EXPECT_TRUE(record.load().record);
            continue;
        }
        EXPECT_NE(report->member("recovered")->text().find(leftover), std::string::npos) << r.out;
        EXPECT_FALSE(record.load().record);
        const std::uint64_t written = std::stoull(report->member("written")->text());
        EXPECT_GE(written, freeBefore / 10 * 9) << r.out;
        EXPECT_EQ(report->member("aborted")->text(), "false");
        EXPECT_EQ(report->member("full")->text(), "true") << r.out;
        // 0 unless the account names something that may remain.
        const bool mayRemain = !report->member("remains")->text().empty() ||
                               report->member("flash")->text() == "true" ||
                               std::stoull(report->member("unreachable")->text()) >= (std::uint64_t{1} << 20);
        EXPECT_EQ(r.code, mayRemain ? ExitCode::Partly : ExitCode::Done) << r.out;
        for (const auto& e : fs::directory_iterator(img->mountPoint()))
            EXPECT_EQ(e.path().filename(), "lost+found") << "left on the image: " << e.path();
        EXPECT_GE(freeNow() + (std::uint64_t{1} << 20), freeBefore);
    }
}

// Ctrl+C while the fill runs: the program removes what it wrote, says how far it came and exits
// 1, and leaves no record for the next start.
TEST(CliRealFs, WipeFreeSpaceStoppedByCtrlCRemovesItsFill) {
    auto recipe = LoopImage::ext4();
    recipe.sizeMiB = 512;  // a fill long enough to be caught in the middle
    QUENVOR_MOUNT_OR_SKIP(img, recipe);
    test::TempDir dir;
    const std::uint64_t freeBefore = fs::space(img->mountPoint()).available;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("HOME", (dir / "home").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::execl(QUENVOR_CLI, "quenvor-cli", "wipe-free-space", "--yes", "--json", img->mountPoint().c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    // Stopped once the fill has bytes on the disk: stopped before, nothing is written, and 3 is right.
    const auto filling = [&] {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(img->mountPoint(), ec))
            if (e.path().filename().string().starts_with(".quenvor-wipe-"))
                for (const auto& f : fs::directory_iterator(e.path(), ec))
                    if (f.file_size(ec) > 0) return true;
        return false;
    };
    for (int waited = 0; !filling() && waited < 4000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), ExitCode::Partly);
    const auto report = cleaning::formats::JsonValue::parse(test::TempDir::read(dir / "out"));
    ASSERT_TRUE(report) << test::TempDir::read(dir / "out");
    EXPECT_EQ(report->member("aborted")->text(), "true");
    const std::uint64_t written = std::stoull(report->member("written")->text());
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, freeBefore);
    EXPECT_NE(report->member("message")->text().find("was stopped after"), std::string::npos);
    for (const auto& e : fs::directory_iterator(img->mountPoint()))
        EXPECT_EQ(e.path().filename(), "lost+found") << "left on the image: " << e.path();
    EXPECT_GE(fs::space(img->mountPoint()).available + (std::uint64_t{1} << 20), freeBefore);
    EXPECT_FALSE(fs::exists(dir / "state/quenvor/pending-fill"));
}

}  // namespace
}  // namespace quenvor::cli
