// Wiping free space on loop-mounted images, checked on the raw image bytes: on ext4 no byte and
// no name of a file deleted the ordinary way is left, and the free space comes back; XFS's log
// goes round and keeps no old name; on btrfs a snapshot keeps the old data and the message says
// so; a fill an interrupted wipe left is removed at the next start.
#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/EmbeddedStringResource.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxFreeSpace.h"
#include "platform/linux/LinuxRandomSource.h"
#include "platform/linux/LinuxStorageProbe.h"
#include "shredder/FreeSpaceWipe.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "shredder/PendingFill.h"
#include "support/LoopImage.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "text/TextIds.h"
#include "ui/StringTable.h"

namespace quenvor::shredder {
namespace {

using test::LoopImage;
namespace fs = std::filesystem;

std::string newMarker() {
    std::random_device rd;
    return "QUENVOR-FREE-SPACE-" + std::to_string(rd()) + "-" + std::to_string(rd()) + "|";
}

// `count` files of 1 MiB full of `marker`, named after it, on the disk, then deleted the
// ordinary way. Their names are the marker's digits: what is left of them can be searched for.
// With `kept`, each is followed on the disk by a file of 1 MiB there that stays, so the free
// space the deletions leave is in pieces, and a fill needs blocks of bookkeeping among them.
void writeAndDelete(const fs::path& dir, const std::string& marker, int count, const fs::path& kept = {}) {
    std::string data;
    while (data.size() + marker.size() <= (1u << 20)) data += marker;
    const auto name = [&](int i) { return dir / (marker.substr(0, marker.size() - 1) + "-" + std::to_string(i)); };
    for (int i = 0; i < count; ++i) {
        std::ofstream(name(i), std::ios::binary) << data;
        if (!kept.empty()) std::ofstream(kept / std::to_string(i), std::ios::binary) << std::string(1u << 20, 'k');
    }
    ::sync();
    for (int i = 0; i < count; ++i) fs::remove(name(i));
    ::sync();
}

std::uint64_t available(const fs::path& p) {
    struct statvfs v {};
    return ::statvfs(p.c_str(), &v) == 0 ? static_cast<std::uint64_t>(v.f_bavail) * v.f_frsize : 0;
}

struct Events : IWipeEvents {
    std::vector<WipeStep> steps;
    std::uint64_t throwAfter = UINT64_MAX;  // bytes; stands for the program dying there
    void wipeStep(WipeStep s) override { steps.push_back(s); }
    void wipeProgress(const WipeProgress& p) override {
        if (p.written >= throwAfter) throw std::runtime_error("killed");
    }
    bool wipeStopRequested() override { return false; }
};

class FreeSpaceWipeRealFs : public ::testing::Test {
protected:
    platform::LinuxFileService files;
    platform::LinuxFreeSpace space;
    platform::LinuxRandomSource random;
    platform::LinuxStorageProbe probe;
    test::TempDir state;
    PendingFill record{files, state / "pending-fill"};
    platform::EmbeddedStringResource res;
    test::ScriptedUi ui;
    quenvor::ui::StringTable strings{&res, &ui};
    FreeSpaceWipeMessages say{[this](int id) { return strings.LoadLangString(id); }};

    FreeSpaceWipeRealFs() { strings.setLanguage(quenvor::ui::kEnglish); }

    FreeSpaceWipe wipe(FreeSpaceWipe::Options o = {}) {
        // Small buffers and frequent flushes: the images are small and the stop must come early.
        o.bufferBytes = std::size_t{1} << 20;
        o.flushEvery = std::uint64_t{16} << 20;
        return FreeSpaceWipe({files, space, random, &probe, &record, 0}, o);
    }
    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    std::string en(int id) { return strings.LoadLangString(id); }
};

TEST_F(FreeSpaceWipeRealFs, Ext4DeletedContentsAreGoneAndTheSpaceComesBack) {
    auto recipe = LoopImage::ext4();
    recipe.sizeMiB = 96;
    QUENVOR_MOUNT_OR_SKIP(img, recipe);
    const fs::path chosen = *img / "papers";
    fs::create_directories(chosen);
    fs::create_directories(*img / "kept");
    ASSERT_TRUE(img->setExt4Reserve(0)) << "what ext4 holds back would hide what the fill reaches";
    const std::string marker = newMarker();
    writeAndDelete(chosen, marker, 40, *img / "kept");
    ASSERT_TRUE(img->rawContains(marker)) << "the deleted files' blocks must still hold them before the wipe";
    const std::uint64_t before = available(img->mountPoint());

    Events events;
    const auto r = wipe().run(chosen, events);
    EXPECT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_TRUE(r.full);
    EXPECT_TRUE(r.notRemoved.empty());
    EXPECT_GE(r.written + (8u << 20), before) << "the fill must reach the end of the free space";
    EXPECT_TRUE(r.namesRun && r.namesBounded);
    EXPECT_GT(r.names, 0u);
    EXPECT_FALSE(img->rawContains(marker)) << "an old byte is left in the free space";
    EXPECT_GT(r.journalBytes, 0u);
    EXPECT_TRUE(r.journalCycled);
    EXPECT_FALSE(img->rawContains(marker.substr(0, marker.size() - 1) + "-1")) << "an old name is left, in the journal";
    // Back to where it was, give or take the folder's own blocks.
    EXPECT_NEAR(static_cast<double>(available(img->mountPoint())), static_cast<double>(before), 64.0 * 1024);
    EXPECT_EQ(std::distance(fs::directory_iterator(chosen), fs::directory_iterator()), 0)
        << "nothing of the wipe stays";
    EXPECT_FALSE(fs::exists(record.file()));

    const auto shown = say.result(r);
    EXPECT_TRUE(has(shown.text, "ext4")) << shown.text;
    EXPECT_FALSE(has(shown.text, en(text::WipeFreeCopyOnWrite))) << shown.text;
    EXPECT_TRUE(has(shown.text, std::to_string(r.names) + " names")) << shown.text;
}

TEST_F(FreeSpaceWipeRealFs, XfsLogGoesRoundAndTakesTheOldNamesWithIt) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::xfsReflink());
    const fs::path chosen = *img / "papers";
    fs::create_directories(chosen);
    const std::string marker = newMarker();
    const std::string name = marker.substr(0, marker.size() - 1) + "-1";
    writeAndDelete(chosen, marker, 4);
    ASSERT_TRUE(img->rawContains(name)) << "the log must still hold the deleted names before the wipe";

    Events events;
    const auto r = wipe().run(chosen, events);
    EXPECT_TRUE(r.failure.empty() && r.notRemoved.empty()) << r.failure;
    EXPECT_FALSE(r.namesBounded);
    EXPECT_GE(r.journalBytes, 1u << 20);
    EXPECT_TRUE(r.journalCycled);
    EXPECT_FALSE(img->rawContains(name)) << "an old name is left";
    EXPECT_EQ(std::distance(fs::directory_iterator(chosen), fs::directory_iterator()), 0);
    EXPECT_TRUE(has(say.result(r).text, "filesystem's log")) << say.result(r).text;
}

TEST_F(FreeSpaceWipeRealFs, BtrfsSnapshotKeepsTheOldDataAndTheMessageSaysSo) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::btrfs());
    const fs::path vol = *img / "vol";
    if (LoopImage::run({"btrfs", "subvolume", "create", vol.string()}) != 0 ||
        LoopImage::run({"btrfs", "subvolume", "snapshot", vol.string(), (*img / "snap").string()}) != 0)
        GTEST_SKIP() << "the btrfs tool cannot make a subvolume and a snapshot here";
    const std::string marker = newMarker();
    // Written before a second snapshot so that it holds them; then deleted from the live volume.
    std::string data;
    while (data.size() + marker.size() <= (1u << 20)) data += marker;
    for (int i = 0; i < 4; ++i) std::ofstream(vol / ("doc" + std::to_string(i)), std::ios::binary) << data;
    ::sync();
    ASSERT_EQ(LoopImage::run({"btrfs", "subvolume", "snapshot", vol.string(), (*img / "snap2").string()}), 0);
    for (int i = 0; i < 4; ++i) fs::remove(vol / ("doc" + std::to_string(i)));
    ::sync();

    Events events;
    const auto r = wipe().run(vol, events);
    EXPECT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_TRUE(r.notRemoved.empty());
    ASSERT_TRUE(r.remains.has_value());
    EXPECT_FALSE(r.namesBounded);
    EXPECT_TRUE(img->rawContains(marker)) << "the snapshot holds the data; the message below must not hide it";
    const auto shown = say.result(r);
    EXPECT_TRUE(shown.warn);
    EXPECT_TRUE(has(shown.text, en(text::WipeFreeCopyOnWrite))) << shown.text;
    EXPECT_TRUE(has(shown.text, "no fixed bound")) << shown.text;
}

TEST_F(FreeSpaceWipeRealFs, AFillLeftByADeadRunIsRemovedAtTheNextStart) {
    auto recipe = LoopImage::ext4();
    recipe.sizeMiB = 64;
    QUENVOR_MOUNT_OR_SKIP(img, recipe);
    const fs::path chosen = *img / "here";
    fs::create_directories(chosen);
    std::ofstream(chosen / "keep.txt") << "the user's own";
    const std::uint64_t before = available(img->mountPoint());

    Events dying;
    dying.throwAfter = 8u << 20;
    EXPECT_THROW((void)wipe().run(chosen, dying), std::runtime_error);
    ::sync();
    ASSERT_TRUE(fs::exists(record.file())) << "the fill was recorded before it was written";
    EXPECT_LT(available(img->mountPoint()) + (4u << 20), before) << "the fill is still there";

    const auto c = record.cleanUp(nullptr);
    EXPECT_TRUE(c.found);
    EXPECT_TRUE(c.left.empty()) << c.left.front();
    EXPECT_GT(c.files, 0u);
    EXPECT_GE(c.bytes, 8u << 20);
    EXPECT_TRUE(c.forgotten);
    EXPECT_FALSE(fs::exists(record.file()));
    EXPECT_TRUE(fs::exists(chosen / "keep.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(chosen), fs::directory_iterator()), 1);
    EXPECT_NEAR(static_cast<double>(available(img->mountPoint())), static_cast<double>(before), 64.0 * 1024);
    const auto shown = say.recovered(c);
    EXPECT_FALSE(shown.warn);
    EXPECT_TRUE(has(shown.text, "did not end")) << shown.text;
}

}  // namespace
}  // namespace quenvor::shredder
