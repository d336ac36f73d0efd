// The shredder through its engine and its page on loop-mounted images: whatever the message
// says of a file is checked against the raw image bytes. Where the message says "permanently
// deleted", no old byte may be left; where old bytes stay, the message must say they may.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "platform/IFileService.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxStorageProbe.h"
#include "shredder/OverwriteCheck.h"
#include "shredder/ShredderPage.h"
#include "shredder/cPattern.h"
#include "support/LoopImage.h"
#include "support/ShredderRig.h"

namespace quenvor::shredder {
namespace {

using test::LoopImage;
namespace fs = std::filesystem;

constexpr std::size_t kFileSize = std::size_t{64} * 1024;  // above btrfs's inline limit, several blocks

std::string newMarker() {
    std::random_device rd;
    return "QUENVOR-SHRED-CONTENTS-" + std::to_string(rd()) + "-" + std::to_string(rd()) + "|";
}

// A file full of `marker`, flushed so its blocks are on the image before the shred.
void writeMarked(const fs::path& p, const std::string& marker) {
    std::string data;
    while (data.size() + marker.size() <= kFileSize) data += marker;
    data.resize(kFileSize, '.');
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << p;
    ASSERT_EQ(::pwrite(fd, data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

std::string readAll(const fs::path& p) {
    std::string out(kFileSize * 2, '\0');
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    const auto n = ::pread(fd, out.data(), out.size(), 0);
    ::close(fd);
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

bool setNoCopyOnWrite(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags |= FS_NOCOW_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

struct RealServices {
    platform::LinuxFileService files;
    platform::LinuxStorageProbe probe;
};

// The page over the real file service and storage probe, answered by script.
class RealFs : public ::testing::Test, protected RealServices, protected test::ShredderRig {
protected:
    RealFs() : ShredderRig(files, nullptr, &probe) {}
    const std::string& confirmation() { return ui.messages.front().text; }
    // The engine alone, with the checks the page installs.
    ShredResult shredWithEngine(const fs::path& p) {
        cPattern alone(files, random.get());
        OverwriteCheck check(&probe);
        check.attachTo(alone);
        alone.setSecurePass(4);
        alone.setSourceFile(p.string());
        return alone.DeleteFileByPattern();
    }
    void journalCopyIsReported(const LoopImage::Recipe& recipe);
};

TEST_F(RealFs, OnBtrfsAFileIsNamedAsMayRemainAndItsOldBytesAreIndeedThere) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::btrfs());
    const std::string marker = newMarker(), other = newMarker();
    writeMarked(*img / "diary.txt", marker);
    writeMarked(*img / "notes.txt", other);

    const std::string m = shredFile(*img / "diary.txt");
    EXPECT_FALSE(fs::exists(*img / "diary.txt"));
    EXPECT_EQ(m, "The file was removed, but its old contents may remain on the disk:\r\n" +
                     (*img / "diary.txt").string() +
                     "\r\nthis filesystem writes changes to new places (copy-on-write)");
    EXPECT_TRUE(said(confirmation(),
                     "Old contents may remain on the disk even after shredding here: this filesystem "
                     "writes changes to new places (copy-on-write)."))
        << confirmation();
    EXPECT_TRUE(img->rawContains(marker));  // what the message warned of

    const ShredResult r = shredWithEngine(*img / "notes.txt");
    EXPECT_TRUE(r.removedButMayRemain());
    EXPECT_EQ(r.storage.reason, platform::RemainReason::CopyOnWrite);
    EXPECT_TRUE(img->rawContains(other));
}

TEST_F(RealFs, OnBtrfsInANoCopyOnWriteFolderFilesArePermanentlyDeleted) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::btrfs());
    const auto dir = *img / "nocow";
    fs::create_directory(dir);
    ASSERT_TRUE(setNoCopyOnWrite(dir));  // inherited by the files made in it from now on
    const std::string one = newMarker(), two = newMarker(), three = newMarker();
    writeMarked(dir / "single.txt", one);
    fs::create_directory(dir / "folder");
    writeMarked(dir / "folder/a.txt", two);
    writeMarked(dir / "folder/b.txt", three);
    ASSERT_TRUE(img->rawContains(one));

    EXPECT_EQ(shredFile(dir / "single.txt"), "The file was permanently deleted.");
    EXPECT_FALSE(said(confirmation(), "may remain")) << confirmation();
    EXPECT_EQ(shredFolder(dir / "folder"), "The folder was permanently deleted.");
    EXPECT_FALSE(fs::exists(dir / "folder"));
    EXPECT_FALSE(img->rawContains(one));
    EXPECT_FALSE(img->rawContains(two));
    EXPECT_FALSE(img->rawContains(three));
}

TEST_F(RealFs, OnPlainExt4NoOldByteRemainsAndTheMessagesSaySo) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    const std::string one = newMarker(), two = newMarker(), three = newMarker();
    writeMarked(*img / "single.txt", one);
    writeMarked(*img / "folder/a.txt", (fs::create_directories(*img / "folder/sub"), two));
    writeMarked(*img / "folder/sub/b.txt", three);

    EXPECT_EQ(shredFile(*img / "single.txt"), "The file was permanently deleted.");
    EXPECT_EQ(shredFolder(*img / "folder"), "The folder was permanently deleted.");
    EXPECT_FALSE(said(confirmation(), "may remain")) << confirmation();
    EXPECT_FALSE(img->rawContains(one));
    EXPECT_FALSE(img->rawContains(two));
    EXPECT_FALSE(img->rawContains(three));

    const std::string four = newMarker();
    writeMarked(*img / "engine.txt", four);
    const ShredResult r = shredWithEngine(*img / "engine.txt");
    EXPECT_TRUE(r.ok());
    EXPECT_FALSE(r.storage.mayRemain());
    EXPECT_FALSE(img->rawContains(four));
}

// Only the data is overwritten: the holes of a file far larger than its filesystem are never
// filled, its data far out is reached, and the disk has the room afterwards it had before.
TEST_F(RealFs, OnExt4ASparseFileLargerThanTheDiskIsShreddedWithoutFillingIt) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    const auto freeBlocks = [&] {
        struct statvfs v {};
        return img->sync() && ::statvfs(img->mountPoint().c_str(), &v) == 0 ? v.f_bfree : 0;
    };
    const auto before = freeBlocks();
    const std::string near = newMarker(), far = newMarker();
    const auto p = *img / "disk.img";
    constexpr off_t GiB = off_t{1} << 30;
    const auto put = [](int fd, const std::string& marker, off_t at) {
        std::string data;
        while (data.size() + marker.size() <= kFileSize) data += marker;
        return ::pwrite(fd, data.data(), data.size(), at) == static_cast<ssize_t>(data.size());
    };
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(put(fd, near, 4096) && put(fd, far, 19 * GiB) && ::ftruncate(fd, 20 * GiB) == 0 && ::fsync(fd) == 0);
    ::close(fd);
    ASSERT_TRUE(img->rawContains(far));

    EXPECT_EQ(shredFile(p), "The file was permanently deleted.");
    EXPECT_FALSE(fs::exists(p));
    EXPECT_FALSE(img->rawContains(near));
    EXPECT_FALSE(img->rawContains(far));
    EXPECT_EQ(freeBlocks(), before);
}

TEST_F(RealFs, OnXfsAReflinkedTwinSurvivesUntouchedAndTheSharedFileIsNamed) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::xfsReflink());
    const std::string marker = newMarker();
    writeMarked(*img / "original.txt", marker);
    const std::string contents = readAll(*img / "original.txt");
    fs::create_directory(*img / "folder");
    ASSERT_EQ(LoopImage::run(
                  {"cp", "--reflink=always", (*img / "original.txt").string(), (*img / "folder/copy.txt").string()}),
              0);
    ASSERT_EQ(LoopImage::run(
                  {"cp", "--reflink=always", (*img / "original.txt").string(), (*img / "single-copy.txt").string()}),
              0);

    const std::string m = shredFile(*img / "single-copy.txt");
    EXPECT_EQ(m, "The file was removed, but its old contents may remain on the disk:\r\n" +
                     (*img / "single-copy.txt").string() + "\r\nanother file or a snapshot shares its contents");
    const std::string f = shredFolder(*img / "folder");
    EXPECT_EQ(f, "The folder was removed, but the old contents of some of its files may remain on the disk:\r\n" +
                     (*img / "folder/copy.txt").string() + ": another file or a snapshot shares its contents");
    EXPECT_FALSE(fs::exists(*img / "folder"));
    EXPECT_EQ(readAll(*img / "original.txt"), contents);  // the twin is whole
    EXPECT_TRUE(img->rawContains(marker));

    // Now that the twin shares nothing, it is overwritten in place like any other file.
    EXPECT_EQ(shredFile(*img / "original.txt"), "The file was permanently deleted.");
    EXPECT_FALSE(img->rawContains(marker));
}

// Whether the journal mode is a mount option or stored in the superblock, where the mounts
// table does not show it.
TEST_F(RealFs, OnExt4WithADataJournalTheJournalCopyIsReported) {
    for (const auto& recipe : {LoopImage::ext4DataJournal(), LoopImage::ext4JournalDataByDefault()}) {
        SCOPED_TRACE(recipe.name);
        ui.messages.clear();
        journalCopyIsReported(recipe);
        if (HasFatalFailure() || IsSkipped()) return;
    }
}

void RealFs::journalCopyIsReported(const LoopImage::Recipe& recipe) {
    QUENVOR_MOUNT_OR_SKIP(img, recipe);
    const std::string marker = newMarker(), other = newMarker();
    fs::create_directory(*img / "folder");
    writeMarked(*img / "folder/a.txt", marker);
    writeMarked(*img / "single.txt", other);

    const std::string f = shredFolder(*img / "folder");
    EXPECT_TRUE(said(confirmation(),
                     "Old contents may remain on the disk even after shredding here: the filesystem "
                     "keeps a copy in its journal."))
        << confirmation();
    EXPECT_EQ(f, "The folder was removed, but the old contents of some of its files may remain on the disk:\r\n" +
                     (*img / "folder/a.txt").string() + ": the filesystem keeps a copy in its journal");
    EXPECT_TRUE(said(shredFile(*img / "single.txt"), "\r\nthe filesystem keeps a copy in its journal"));
    // The journal holds what was written through it.
    EXPECT_TRUE(img->rawContains(marker));
    EXPECT_TRUE(img->rawContains(other));
}

// Another program exchanges the chosen folder with another of the user's (RENAME_EXCHANGE), or
// replaces a folder on its path with a link to where the user's documents are, once the first
// file is gone: the documents at the chosen path afterwards stay byte for byte, and the files
// shredded were the chosen ones.
TEST_F(RealFs, OnExt4AChoiceSwappedDuringTheRunNeverReachesTheOtherFolder) {
    QUENVOR_MOUNT_OR_SKIP(img, LoopImage::ext4());
    for (const bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink ? "its grandparent replaced by a link" : "exchanged with another folder");
        const fs::path base = *img / (viaLink ? "linked" : "exchanged"), chosen = base / "x/y/v";
        const fs::path other = viaLink ? base / "elsewhere" : base / "x/y/precious";
        const fs::path documents = viaLink ? other / "y/v" : other;
        fs::create_directories(chosen);
        fs::create_directories(documents);
        std::vector<std::string> mine, theirs, before;
        for (int i = 0; i < 3; ++i) {
            mine.push_back(newMarker());
            theirs.push_back(newMarker());
            writeMarked(chosen / ("a" + std::to_string(i)), mine.back());
            writeMarked(documents / ("doc" + std::to_string(i)), theirs.back());
            before.push_back(readAll(documents / ("doc" + std::to_string(i))));
        }
        bool swapped = false;
        ui.onProcessEvents = [&] {
            if (swapped || fs::exists(chosen / "a0")) return;
            swapped = true;
            if (!viaLink) {
                ASSERT_EQ(::renameat2(AT_FDCWD, chosen.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE), 0);
                return;
            }
            fs::rename(base / "x", base / "x-moved");
            fs::create_directory_symlink(other, base / "x");
        };
        const std::string m = shredFolder(chosen);
        ASSERT_TRUE(swapped);
        ui.onProcessEvents = nullptr;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(readAll(chosen / ("doc" + std::to_string(i))), before[i]) << i;
            EXPECT_FALSE(img->rawContains(mine[i])) << i;
        }
        EXPECT_FALSE(said(m, "permanently deleted")) << m;
        EXPECT_TRUE(said(m, chosen.string())) << m;
    }
}

// A live system's persistence: the lower layer on one disk, the changes on another. Writing to
// a lower file would copy it whole onto the upper disk; it is hidden instead, and said to stay.
TEST_F(RealFs, OnAnOverlayOverTwoDisksLowerFilesAreHiddenAndUpperFilesShreddedInPlace) {
    const std::string below = newMarker(), belowInFolder = newMarker(), edited = newMarker(), upper = newMarker(),
                      upperInFolder = newMarker(), changed = newMarker();
    std::string whyNot;
    auto img = LoopImage::createOverlayOnImages(
        [&](const fs::path& lower) {
            writeMarked(lower / "below.txt", below);
            writeMarked(lower / "edited.txt", edited);
            fs::create_directory(lower / "folder");
            writeMarked(lower / "folder/a.txt", belowInFolder);
        },
        whyNot);
    if (!img) {
        if (LoopImage::mustRun()) FAIL() << whyNot;
        GTEST_SKIP() << whyNot;
    }
    writeMarked(*img / "folder/new.txt", upperInFolder);  // made through the overlay: in the upper layer
    writeMarked(*img / "new.txt", upper);
    writeMarked(*img / "edited.txt", changed);  // copied up by the overlay, the original kept below
    const std::string keptBelow =
        "it lies in the read-only lower layer of an overlay: it was only hidden from view, "
        "never overwritten, and its original stays in that layer";

    EXPECT_EQ(shredFolder(*img / "folder"),
              "The folder was removed, but the old contents of some of its files may remain on the disk:\r\n" +
                  (*img / "folder/a.txt").string() + ": " + keptBelow);
    EXPECT_TRUE(said(confirmation(),
                     "Old contents may remain on the disk even after shredding here: it lives on an "
                     "overlay filesystem, whose lower layer keeps the original."))
        << confirmation();
    EXPECT_FALSE(fs::exists(*img / "folder"));
    EXPECT_EQ(shredFile(*img / "below.txt"), "The file was removed, but its old contents may remain on the disk:\r\n" +
                                                 (*img / "below.txt").string() + "\r\n" + keptBelow);
    EXPECT_FALSE(fs::exists(*img / "below.txt"));
    EXPECT_EQ(shredFile(*img / "new.txt"), "The file was permanently deleted.");
    EXPECT_TRUE(said(shredFile(*img / "edited.txt"), "whose lower layer keeps the original"))
        << ui.messages.back().text;

    ASSERT_TRUE(img->unmount());
    ASSERT_TRUE(img->upperImage()->unmount());
    for (const auto& m : {below, belowInFolder, upper, upperInFolder, changed})
        EXPECT_FALSE(img->upperImage()->rawContains(m)) << m;
    EXPECT_TRUE(img->lowerImage()->rawContains(below));  // as the messages say
    EXPECT_TRUE(img->lowerImage()->rawContains(belowInFolder));
}

}  // namespace
}  // namespace quenvor::shredder
