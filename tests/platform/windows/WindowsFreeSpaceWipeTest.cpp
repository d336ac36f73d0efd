// The free-space wipe with the Windows services, on a small drive that
// scripts/windows-free-space-wipe.sh makes: a loop-mounted image linked to a drive letter of the
// Wine prefix, with a file full of a marker deleted in it beforehand. The script checks the
// image's raw bytes afterwards; this side checks what the program itself can see. Run alone
// (QUENVOR_WIPE_FOLDER unset) every case skips: a wipe here would fill the host's own disk.
//
// What Wine cannot show: its drives are the host's filesystems, so NTFS itself never runs here —
// no MFT, so whether the name step's small files reach the old contents of MFT records is not
// seen (Wine calls most host filesystems "NTFS", so the resident-data writes do run, on ext4);
// no NTFS quotas or reserved space; no volume shadow copies; no delete notifications (TRIM),
// which Windows sends itself and we never ask for. Wine stores the hidden attribute in an
// extended attribute where the host filesystem has them and not at all on FAT, where a dot name
// alone hides the folder from Wine's own listings. The disk-full codes are Wine's mapping of
// ENOSPC, which matches Windows' ERROR_DISK_FULL but not every path Windows takes to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/EmbeddedStringResource.h"
#include "platform/Utf8Path.h"
#include "platform/windows/WindowsFileService.h"
#include "platform/windows/WindowsFreeSpace.h"
#include "platform/windows/WindowsProcessTable.h"
#include "platform/windows/WindowsRandomSource.h"
#include "shredder/FreeSpaceWipe.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "shredder/PendingFill.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "ui/NumberText.h"
#include "ui/StringTable.h"

namespace quenvor::platform::windows {
namespace {

namespace fs = std::filesystem;
using shredder::FreeSpaceWipe;
using shredder::PendingFill;
using shredder::WipeStep;

// Never more: a larger drive is not the script's image, and would be filled whole.
constexpr std::uint64_t kLargestDrive = std::uint64_t{512} << 20;

std::uint64_t availableAt(const fs::path& p) {
    ULARGE_INTEGER available{}, total{}, free{};
    return GetDiskFreeSpaceExW(p.c_str(), &available, &total, &free) ? available.QuadPart : 0;
}

std::vector<std::string> namesIn(const fs::path& p) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(p, ec)) names.push_back(utf8Of(e.path().filename()));
    return names;
}

struct Events : shredder::IWipeEvents {
    std::vector<WipeStep> steps;
    bool dieAtRemoval = false;  // stands for the program killed with the disk full
    int stopAfter = -1;         // the user presses Stop after this many writes of the fill's buffer
    int asked = 0;
    void wipeStep(WipeStep s) override {
        steps.push_back(s);
        if (s == WipeStep::Removing && dieAtRemoval) throw std::runtime_error("killed");
    }
    void wipeProgress(const shredder::WipeProgress&) override {}
    bool wipeStopRequested() override { return stopAfter >= 0 && ++asked > stopAfter; }
    bool saw(WipeStep s) const { return std::find(steps.begin(), steps.end(), s) != steps.end(); }
};

class WipeOnSmallDrive : public ::testing::Test {
protected:
    WindowsFileService files;
    WindowsFreeSpace space;
    WindowsRandomSource random;
    WindowsProcessTable processes;
    test::TempDir state;  // on C:, off the drive being filled
    PendingFill record{files, state / "pending-fill"};
    EmbeddedStringResource res;
    test::ScriptedUi ui;
    quenvor::ui::StringTable strings{&res, &ui};
    shredder::FreeSpaceWipeMessages say{[this](int id) { return strings.LoadLangString(id); }};
    fs::path chosen;
    std::uint64_t before = 0;
    std::uint32_t block = 512;

    void SetUp() override {
        strings.setLanguage(quenvor::ui::kEnglish);
        const char* folder = std::getenv("QUENVOR_WIPE_FOLDER");
        if (!folder || !*folder)
            GTEST_SKIP() << "QUENVOR_WIPE_FOLDER is not set: scripts/windows-free-space-wipe.sh gives a small drive";
        chosen = pathFromUtf8(folder);
        ULARGE_INTEGER available{}, total{}, free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(chosen.c_str(), &available, &total, &free)) << "error " << GetLastError();
        ASSERT_LE(total.QuadPart, kLargestDrive) << utf8Of(chosen) << " is not a small test drive";
        ASSERT_TRUE(namesIn(chosen).empty()) << "the script gives an empty folder";
        before = available.QuadPart;
        auto top = files.openDirectoryNoLinks(chosen);
        ASSERT_TRUE(top.ok());
        auto facts = space.space(**top);
        ASSERT_TRUE(facts.ok()) << facts.error().message;
        EXPECT_EQ(facts->available, before);
        block = std::max<std::uint32_t>(facts->blockSize, 512);
    }

    FreeSpaceWipe wipe() {
        FreeSpaceWipe::Options o;
        o.bufferBytes = std::size_t{1} << 20;
        o.flushEvery = std::uint64_t{8} << 20;
        return FreeSpaceWipe({files, space, random, nullptr, &record, processes.currentProcessId()}, o);
    }
    // The free space is back as it was, give or take a few blocks and what the folder keeps of
    // `names` entries once written: its own blocks on ext4 and FAT, MFT records on NTFS (a
    // kilobyte each), none of which shrink again.
    void expectSpaceBack(std::uint64_t names = 0) const {
        const std::uint64_t now = availableAt(chosen);
        EXPECT_LE(now, before);
        EXPECT_GE(now + std::uint64_t{16} * block + names * 1024, before) << "free: " << now << " of " << before;
    }
};

TEST_F(WipeOnSmallDrive, FillsToTheEndRemovesItAllAndWritesTheNames) {
    Events events;
    const auto r = wipe().run(chosen, events);
    EXPECT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.full) << "the disk-full error must end the fill as its normal end";
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.freeBefore, before);
    EXPECT_LE(r.written, before);
    EXPECT_GE(r.written + std::uint64_t{16} * block, before) << "the fill must reach the end of the free space";
    EXPECT_TRUE(r.notRemoved.empty()) << r.notRemoved.front();
    EXPECT_TRUE(r.namesRun);
    EXPECT_GT(r.names, 0u);
    EXPECT_TRUE(events.saw(WipeStep::Filling) && events.saw(WipeStep::Removing) && events.saw(WipeStep::Names));
    EXPECT_FALSE(events.saw(WipeStep::Discarding));
    EXPECT_FALSE(fs::exists(record.file())) << "the record is forgotten once nothing is left";
    EXPECT_TRUE(namesIn(chosen).empty()) << "nothing of the wipe stays: " << namesIn(chosen).front();
    EXPECT_EQ(r.freeAfter, availableAt(chosen));
    expectSpaceBack(r.names);
    const auto shown = say.result(r);
    EXPECT_FALSE(shown.warn) << shown.text;
    EXPECT_NE(shown.text.find(utf8Of(chosen)), std::string::npos) << shown.text;
    EXPECT_NE(shown.text.find(quenvor::ui::groupedCount(r.names, ",") + " names"), std::string::npos) << shown.text;
}

TEST_F(WipeOnSmallDrive, AFillLeftByAKilledRunIsHiddenAndRemovedAtTheNextStart) {
    Events dying;
    dying.dieAtRemoval = true;
    EXPECT_THROW((void)wipe().run(chosen, dying), std::runtime_error);
    const auto loaded = record.load();
    ASSERT_TRUE(loaded.record.has_value()) << "the fill was recorded before it was written";
    const fs::path fill = chosen / pathFromUtf8(loaded.record->fill);
    const DWORD attributes = GetFileAttributesW(fill.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "the fill is still there";
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << "the fill's folder does not show meanwhile";
    EXPECT_LT(availableAt(chosen) + std::uint64_t{64} * block, before) << "the disk is still full";

    // As the next start does it: the run that wrote the record is gone.
    const auto c = record.cleanUp(&processes);
    EXPECT_TRUE(c.found);
    EXPECT_TRUE(c.left.empty()) << c.left.front();
    EXPECT_GT(c.files, 0u);
    EXPECT_GE(c.bytes + std::uint64_t{64} * block, before);
    EXPECT_TRUE(c.forgotten);
    EXPECT_FALSE(fs::exists(record.file()));
    EXPECT_TRUE(namesIn(chosen).empty()) << "left: " << namesIn(chosen).front();
    expectSpaceBack();
    const auto shown = say.recovered(c);
    EXPECT_FALSE(shown.warn) << shown.text;
    EXPECT_NE(shown.text.find("did not end"), std::string::npos) << shown.text;
}

TEST_F(WipeOnSmallDrive, AStopMidFillRemovesWhatWasWrittenAndWritesNoNames) {
    Events events;
    events.stopAfter = 8;
    const auto r = wipe().run(chosen, events);
    EXPECT_TRUE(r.aborted);
    EXPECT_FALSE(r.full);
    EXPECT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_EQ(r.written, std::uint64_t{8} << 20);
    EXPECT_LT(r.written + std::uint64_t{64} * block, before);
    EXPECT_TRUE(r.notRemoved.empty()) << r.notRemoved.front();
    EXPECT_FALSE(r.namesRun);
    EXPECT_FALSE(fs::exists(record.file()));
    EXPECT_TRUE(namesIn(chosen).empty()) << "left: " << namesIn(chosen).front();
    expectSpaceBack();
}

}  // namespace
}  // namespace quenvor::platform::windows
