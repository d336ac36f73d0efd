#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "platform/linux/LinuxFileService.h"
#include "support/TempDir.h"

namespace quenvor::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(LinuxDirectory, NamesStayInsideTheOpenFolderAndLinksAreNeverFollowed) {
    TempDir dir, outside;
    TempDir::write(dir / "in/file.txt", "in");
    TempDir::write(outside / "target.txt", "outside");
    fs::create_symlink(outside / "target.txt", dir / "in/link");
    fs::create_directory_symlink(outside.path(), dir / "in/dirlink");
    ::mkfifo((dir / "in/fifo").c_str(), 0600);
    LinuxFileService files;
    EXPECT_FALSE(files.openDirectory(dir / "in/dirlink").ok());
    auto in = files.openDirectory(dir / "in");
    ASSERT_TRUE(in.ok());

    // The folder moves away; names still resolve inside it, never at the old path.
    fs::rename(dir / "in", dir / "moved");
    fs::create_directory_symlink(outside.path(), dir / "in");
    auto file = (*in)->openFile("file.txt");
    ASSERT_TRUE(file.ok());
    auto seen = (*in)->statAt("file.txt");
    auto opened = (*file)->status();
    EXPECT_EQ(seen->identity(), opened->identity());
    EXPECT_EQ(opened->hardLinks, 1u);
    EXPECT_GE((*file)->nativeHandle(), 0);
    EXPECT_GE((*in)->nativeHandle(), 0);

    for (const char* refused : {"link", "fifo", "dirlink", "missing", "../moved/file.txt", ".."})
        EXPECT_FALSE((*in)->openFile(refused).ok()) << refused;
    EXPECT_FALSE((*in)->openDir("dirlink").ok());
    EXPECT_EQ((*in)->statAt("link")->type, FileType::Symlink);
    EXPECT_EQ((*in)->statAt("missing")->type, FileType::NotFound);
    EXPECT_FALSE((*in)->setWritableAt("link").ok());

    // Renames never replace, removals take the name only.
    TempDir::write(dir / "moved/other.txt", "other");
    EXPECT_FALSE((*in)->renameAt("file.txt", "other.txt").ok());
    EXPECT_TRUE((*in)->renameAt("file.txt", "renamed.txt").ok());
    EXPECT_TRUE((*in)->unlinkAt("link", false).ok());
    EXPECT_TRUE((*in)->flush().ok());
    EXPECT_EQ(TempDir::read(outside / "target.txt"), "outside");
    EXPECT_EQ(TempDir::read(dir / "moved/renamed.txt"), "in");
    EXPECT_FALSE(fs::exists(outside / "renamed.txt"));
    auto listing = (*in)->list();
    ASSERT_TRUE(listing.ok());
    EXPECT_EQ(listing->size(), 4u);        // renamed.txt, other.txt, dirlink, fifo
    EXPECT_EQ((*in)->list()->size(), 4u);  // a second listing starts from the top again
}

// A folder held for what the user chose: no link anywhere on the path is followed.
TEST(LinuxDirectory, OpeningWithNoLinksRefusesALinkAnywhereOnThePath) {
    TempDir dir;
    fs::create_directories(dir / "a/b/c");
    fs::create_directory_symlink(dir / "a", dir / "link");
    fs::create_directory_symlink(dir / "a/b/c", dir / "a/b/clink");
    LinuxFileService files;
    for (const fs::path& p : {dir / "a/b/c", dir / "a/b/c/", dir / "a/./b/../b/c", fs::path("/")}) {
        auto d = files.openDirectoryNoLinks(p);
        ASSERT_TRUE(d.ok()) << p;
        EXPECT_EQ((*d)->status()->identity(), files.status(p / ".")->identity()) << p;
    }
    for (const fs::path& p : {dir / "link/b/c", dir / "a/b/clink", dir / "link", dir / "a/missing"})
        EXPECT_FALSE(files.openDirectoryNoLinks(p).ok()) << p;
    EXPECT_EQ(files.openDirectoryNoLinks(dir / "link/b").error().code, ELOOP);
}

}  // namespace
}  // namespace quenvor::platform

namespace quenvor::platform {
namespace {

TEST(LinuxWritableFile, ListsOnlyTheRangesThatHoldData) {
    test::TempDir dir;
    const auto p = dir / "sparse.img";
    const std::string block(4096, 'x');
    {
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, block.data(), block.size(), 0), 4096);
        ASSERT_EQ(::pwrite(fd, block.data(), block.size(), 1 << 20), 4096);
        ASSERT_EQ(::ftruncate(fd, 4 << 20), 0);
        ::close(fd);
    }
    LinuxFileService files;
    auto f = files.openInPlace(p);
    ASSERT_TRUE(f.ok());
    auto ranges = (*f)->dataRanges();
    ASSERT_TRUE(ranges.ok()) << ranges.error().message;
    if (*ranges == std::vector<ByteRange>{{0, 4 << 20}}) GTEST_SKIP() << "this filesystem does not report holes";
    EXPECT_EQ(*ranges, (std::vector<ByteRange>{{0, 4096}, {1 << 20, 4096}}));
    // Storage given back turns data into a hole; the length stays.
    const auto held = (*f)->allocatedBytes();
    ASSERT_TRUE(held.ok());
    EXPECT_GE(*held, 8192u);
    ASSERT_TRUE((*f)->releaseRange(1 << 20, 4096).ok());
    EXPECT_EQ(*(*f)->dataRanges(), (std::vector<ByteRange>{{0, 4096}}));
    EXPECT_LT(*(*f)->allocatedBytes(), *held);
    EXPECT_EQ(*(*f)->length(), 4u << 20);
    // Nothing but a hole, and nothing at all.
    ASSERT_TRUE((*f)->truncate(0).ok());
    ASSERT_TRUE((*f)->truncate(1 << 20).ok());
    EXPECT_TRUE((*f)->dataRanges()->empty());
    ASSERT_TRUE((*f)->truncate(0).ok());
    EXPECT_TRUE((*f)->dataRanges()->empty());
}

}  // namespace
}  // namespace quenvor::platform
