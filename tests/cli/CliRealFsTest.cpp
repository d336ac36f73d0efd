// quenvor-cli shred on loop-mounted filesystems: where overwriting reaches the old blocks the
// exit code is 0 and each thing is removed; where it may not (copy-on-write) the things are
// removed all the same, named as "may remain" with why, and the exit code is 1.
#include <gtest/gtest.h>

#include "cli/ExitCode.h"
#include "platform/linux/LinuxStorageProbe.h"
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

}  // namespace
}  // namespace quenvor::cli
