#include "shredder/cRecurse.h"

#include <gtest/gtest.h>

#include "platform/linux/LinuxFileService.h"
#include "shredder/Wildcard.h"
#include "support/TempDir.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;

std::vector<std::string> listed(const RecurseList& list) {
    std::vector<std::string> out;
    for (std::int64_t i = 1; i <= list.size(); ++i) out.push_back(list[i]);
    return out;
}

class Walker : public ::testing::Test {
protected:
    TempDir dir;
    platform::LinuxFileService files;
    std::string root() const { return dir.path().string(); }
};

TEST_F(Walker, ListsFilesThenEachSubfolderDepthFirst) {
    TempDir::write(dir / "a.txt", "a");
    TempDir::write(dir / "b.txt", "b");
    TempDir::write(dir / "S/c.txt", "c");
    TempDir::write(dir / "S/T/d.bin", "d");
    TempDir::write(dir / "U/e.txt", "e");
    cRecurse walker(files);
    const auto list = walker.Recurse(root(), "*.*");
    const std::string r = root() + "/";
    EXPECT_EQ(listed(list), (std::vector<std::string>{r + "a.txt", r + "b.txt", "", r + "S", r + "S/c.txt", "",
                                                      r + "S/T", r + "S/T/d.bin", "", r + "U", r + "U/e.txt"}));
    // The end mark follows, and every later index reads empty.
    EXPECT_EQ(list[list.size() + 1], "");
    EXPECT_EQ(list[list.size() + 3], "");
    EXPECT_EQ(list[999999], "");
    EXPECT_EQ(list.upperBound(), 1000000);
}

TEST_F(Walker, APatternListsMatchingFilesWithoutFolderEntries) {
    TempDir::write(dir / "a.txt", "a");
    TempDir::write(dir / "B.TXT", "b");
    TempDir::write(dir / "x.doc", "x");
    TempDir::write(dir / "S/c.txt", "c");
    cRecurse walker(files);
    const std::string r = root() + "/";
    EXPECT_EQ(listed(walker.Recurse(root(), "*.txt")),
              (std::vector<std::string>{r + "B.TXT", r + "a.txt", r + "S/c.txt"}));
    // With or without a trailing separator, the same list.
    EXPECT_EQ(listed(cRecurse(files).Recurse(root() + "/", "*.txt")), listed(cRecurse(files).Recurse(root(), "*.txt")));
}

TEST_F(Walker, NothingToWalkGivesAnEmptyList) {
    EXPECT_EQ(cRecurse(files).Recurse(root(), "*.*").size(), 0);
    EXPECT_EQ(cRecurse(files).Recurse(root() + "/missing", "*.*").size(), 0);
    // An empty start must not become the root of the filesystem.
    EXPECT_EQ(cRecurse(files).Recurse("", "*.*").size(), 0);
    TempDir::write(dir / "file", "x");
    EXPECT_EQ(cRecurse(files).Recurse(root() + "/file", "*.*").size(), 0);
}

TEST_F(Walker, LinksAreListedButNeverFollowed) {
    TempDir outside;
    TempDir::write(outside / "secret.txt", "keep me");
    TempDir::write(outside / "deep/more.txt", "keep me too");
    TempDir::write(dir / "inside/own.txt", "mine");
    std::filesystem::create_directory_symlink(outside.path(), dir / "inside/to-folder");
    std::filesystem::create_symlink(outside / "secret.txt", dir / "inside/to-file");
    std::filesystem::create_directory_symlink(dir.path(), dir / "inside/loop");
    cRecurse walker(files);
    const auto entries = listed(walker.Recurse(root(), "*.*"));
    const std::string r = root() + "/inside/";
    EXPECT_EQ(entries, (std::vector<std::string>{"", root() + "/inside", r + "loop", r + "own.txt", r + "to-file",
                                                 r + "to-folder"}));
    for (const auto& e : entries) EXPECT_EQ(e.find(outside.path().string()), std::string::npos);
}

TEST_F(Walker, NamesInAnyScriptWithOddCharactersSurvive) {
    const std::vector<std::string> names = {"привет.txt",  "名前",        "with \"quotes\"",
                                            "line\nbreak", " lead space", "back\\slash"};
    for (const auto& n : names) TempDir::write(dir / n, n);
    const auto entries = listed(cRecurse(files).Recurse(root(), "*.*"));
    ASSERT_EQ(entries.size(), names.size());
    for (const auto& e : entries) EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(e))) << e;
}

// A listing service that makes up a huge flat folder, for walks no real disk should hold.
class HugeFolder : public platform::LinuxFileService {
public:
    std::size_t count = 0;
    std::uint64_t otherDevice = 0;

    struct Folder : platform::IDirectory {
        HugeFolder& owner;
        std::filesystem::path where;
        Folder(HugeFolder& o, std::filesystem::path p) : owner(o), where(std::move(p)) {}
        const std::filesystem::path& path() const override { return where; }
        platform::Result<platform::FileStatus> status() override { return statusOf(where); }
        platform::Result<std::vector<platform::DirectoryEntry>> list() override {
            std::vector<platform::DirectoryEntry> out;
            if (where == "/huge") {
                out.reserve(owner.count + 1);
                for (std::size_t i = 0; i < owner.count; ++i)
                    out.push_back({std::to_string(i), platform::FileType::Regular});
                out.push_back({"mnt", platform::FileType::Directory});
            }
            return out;
        }
        platform::Result<platform::FileStatus> statAt(const std::string& name) override {
            return statusOf(where / name);
        }
        platform::Result<std::unique_ptr<platform::IWritableFile>> openFile(const std::string&) override {
            return platform::Error{21, "not here"};
        }
        platform::Result<std::unique_ptr<platform::IDirectory>> openDir(const std::string& name) override {
            return std::unique_ptr<platform::IDirectory>(std::make_unique<Folder>(owner, where / name));
        }
        platform::Status renameAt(const std::string&, const std::string&) override { return {}; }
        platform::Status unlinkAt(const std::string&, bool) override { return {}; }
        platform::Status setWritableAt(const std::string&) override { return {}; }
        platform::Status setWritable() override { return {}; }
        platform::Status flush() override { return {}; }
        std::intptr_t nativeHandle() const override { return -1; }

        platform::FileStatus statusOf(const std::filesystem::path& p) const {
            platform::FileStatus s;
            s.type = platform::FileType::Directory;
            s.device = p.filename() == "mnt" ? owner.otherDevice : 1;
            s.inode = p.filename() == "mnt" ? 3 : 2;
            return s;
        }
    };
    platform::Result<std::unique_ptr<platform::IDirectory>> openDirectory(const std::filesystem::path& p) override {
        return std::unique_ptr<platform::IDirectory>(std::make_unique<Folder>(*this, p));
    }
};

TEST(WalkerLimits, MoreThanAMillionEntriesLoseNone) {
    HugeFolder fake;
    fake.count = 1'000'050;
    fake.otherDevice = 1;
    cRecurse walker(fake);
    const auto list = walker.Recurse("/huge", "*.*");
    EXPECT_EQ(list.size(), 1'000'052);  // the files, then "" and the subfolder
    EXPECT_EQ(list.upperBound(), 1'000'055);
    EXPECT_EQ(list[1'000'051], "");
    EXPECT_EQ(list[1'000'052], "/huge/mnt");
}

TEST(WalkerLimits, AnotherFilesystemIsNotEnteredButReported) {
    HugeFolder fake;
    fake.count = 2;
    fake.otherDevice = 2;
    cRecurse walker(fake);
    const auto list = walker.Recurse("/huge", "*.*");
    EXPECT_EQ(listed(list), (std::vector<std::string>{"/huge/0", "/huge/1"}));
    ASSERT_EQ(walker.notEntered().size(), 1u);
    EXPECT_EQ(walker.notEntered()[0].path, "/huge/mnt");
    EXPECT_TRUE(walker.notEntered()[0].mountPoint);
}

TEST(Wildcard, WindowsMeaningOfStarAndQuestionMark) {
    EXPECT_TRUE(WildcardMatch("*.*", "README"));
    EXPECT_TRUE(WildcardMatch("*", ".hidden"));
    EXPECT_TRUE(WildcardMatch("*.txt", "notes.TXT"));
    EXPECT_FALSE(WildcardMatch("*.txt", "notes.txt.bak"));
    EXPECT_TRUE(WildcardMatch("a?c.*", "abc.d"));
    EXPECT_TRUE(WildcardMatch("a?c.*", "abc"));
    EXPECT_FALSE(WildcardMatch("a?c", "ac"));
    EXPECT_TRUE(WildcardMatch("*a*b*c", "xxaYYbZZc"));
    EXPECT_FALSE(WildcardMatch("*a*b*c", "xxaYYcZZb"));
    EXPECT_TRUE(WildcardMatch("index.dat", "INDEX.DAT"));
}

TEST(FixedDisks, OnlyLocalDiskFilesystemsCount) {
    const std::string table =
        "/dev/sda1 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sdb1 /media/my\\040disk vfat rw 0 0\n"
        "server:/x /net nfs rw 0 0\n"
        "/dev/nvme0n1p2 /home btrfs rw 0 0\n";
    EXPECT_EQ(platform::LinuxFileService::parseMounts(table),
              (std::vector<std::filesystem::path>{"/", "/media/my disk", "/home"}));
}

}  // namespace
}  // namespace quenvor::shredder
