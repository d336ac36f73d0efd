#pragma once
// A small filesystem of a chosen type in a sparse image file, loop-mounted for the length of
// a test, so that what the kernel really does with overwritten blocks can be checked on the
// raw image bytes. Needs root, loop devices and the mkfs tools; where any is missing the test
// is skipped with the reason (or fails, when the CI variable says it must run).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenvor::test {

class LoopImage {
public:
    struct Recipe {
        std::string name;               // for messages: "btrfs", "ext4 data=journal"
        std::vector<std::string> mkfs;  // the command; the image path is appended
        std::string mountOptions;       // added after "loop"
        std::uint64_t sizeMiB = 128;
        std::vector<std::string> tune;  // run after mkfs, the image path appended; none when empty
    };
    static Recipe btrfs();
    static Recipe xfsReflink();
    static Recipe ext4();
    static Recipe ext4DataJournal();
    static Recipe ext4JournalDataByDefault();  // the mode stored in the superblock, no mount option

    // Null with the reason in `whyNot` when the image cannot be made or mounted here.
    static std::unique_ptr<LoopImage> create(const Recipe& recipe, std::string& whyNot);
    // A tmpfs of its own (the probe's answer for memory-only storage).
    static std::unique_ptr<LoopImage> createTmpfs(std::string& whyNot);
    // An overlay whose lower layer `fillLower` fills before it is mounted; lowerDir() names it.
    static std::unique_ptr<LoopImage> createOverlay(const std::function<void(const std::filesystem::path&)>& fillLower,
                                                    std::string& whyNot);
    // An overlay whose layers lie on two ext4 images of their own, as a live system keeps its
    // changes on a persistence partition; `fillLower` fills the lower one before it is mounted.
    static std::unique_ptr<LoopImage> createOverlayOnImages(
        const std::function<void(const std::filesystem::path&)>& fillLower, std::string& whyNot);
    // True when a test that cannot mount must fail instead of being skipped.
    static bool mustRun();

    ~LoopImage();
    LoopImage(const LoopImage&) = delete;
    LoopImage& operator=(const LoopImage&) = delete;

    const std::filesystem::path& mountPoint() const { return m_mountPoint; }
    const std::filesystem::path& image() const { return m_image; }
    std::filesystem::path lowerDir() const { return m_dir / "lower"; }
    LoopImage* lowerImage() const { return m_lowerImage.get(); }
    LoopImage* upperImage() const { return m_upperImage.get(); }
    std::filesystem::path operator/(const std::string& rel) const { return m_mountPoint / rel; }

    // Writes everything the filesystem holds in memory down to the image file.
    bool sync();
    // Sets the clusters ext4 holds back from every writer (/sys/fs/ext4/<device>/reserved_clusters),
    // so that a check of what a fill reaches is not a check of where that reserve happens to lie.
    bool setExt4Reserve(std::uint64_t clusters);
    bool unmount();
    // Whether the raw image bytes contain `marker` anywhere: in a file, a free block, the
    // journal or metadata. Syncs first while mounted.
    bool rawContains(std::string_view marker);
    // How many times `marker` occurs in the raw image (overlapping ones included), counting
    // no further than `stopAt`.
    std::size_t rawCount(std::string_view marker, std::size_t stopAt = SIZE_MAX);
    // The same search in any file; holes are skipped.
    static std::size_t countInFile(const std::filesystem::path& file, std::string_view marker,
                                   std::size_t stopAt = SIZE_MAX);
    static constexpr std::size_t kScanChunk = 1 << 20;

    // Runs a program without a shell; its exit code, or -1 when it could not be started.
    static int run(const std::vector<std::string>& argv, std::string* output = nullptr);

private:
    LoopImage() = default;
    std::filesystem::path m_dir;
    std::filesystem::path m_image;  // empty for tmpfs
    std::filesystem::path m_mountPoint;
    bool m_mounted = false;
    std::unique_ptr<LoopImage> m_lowerImage, m_upperImage;  // unmounted after the overlay
};

}  // namespace quenvor::test

// Declares `var`, a mounted image of `recipe`, or skips (fails under CI) with the reason.
// NOLINTBEGIN(bugprone-macro-parentheses): `var` is the name declared, which cannot be parenthesised.
#define QUENVOR_MOUNT_OR_SKIP(var, recipe)                                                                       \
    std::string var##WhyNot;                                                                                     \
    auto var = ::quenvor::test::LoopImage::create((recipe), var##WhyNot);                                        \
    if (!var) {                                                                                                  \
        if (::quenvor::test::LoopImage::mustRun()) FAIL() << "real-filesystem test cannot run: " << var##WhyNot; \
        std::cerr << "\n*** SKIPPED real-filesystem test: " << var##WhyNot << " ***\n\n";                        \
        GTEST_SKIP() << var##WhyNot;                                                                             \
    }
// NOLINTEND(bugprone-macro-parentheses)
