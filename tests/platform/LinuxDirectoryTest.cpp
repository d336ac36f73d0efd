#include <sys/stat.h>

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
