#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/MemoryBlock.h"
#include "platform/PendingDeletionList.h"
#include "platform/cMemory.h"
#include "platform/linux/LinuxFileService.h"
#include "support/FaultyFileService.h"
#include "support/TempDir.h"

namespace quenvor::platform {
namespace {

using test::TempDir;

TEST(MemoryBlock, CopiesStayInsideTheBlock) {
    MemoryBlock empty;
    char buf[8] = "abc";
    EXPECT_EQ(empty.Handle(), 0u);
    EXPECT_FALSE(empty.ReadFrom(buf, 1));
    EXPECT_FALSE(empty.WriteTo(buf, 1));
    EXPECT_EQ(empty.ExtractString(reinterpret_cast<std::uintptr_t>(buf), 3), "");

    MemoryBlock block;
    block.Allocate(16);
    ASSERT_NE(block.Handle(), 0u);
    EXPECT_TRUE(block.WriteTo("hello\0world", 12));
    char out[16] = {};
    EXPECT_TRUE(block.ReadFrom(out, 16));
    EXPECT_STREQ(out, "hello");
    EXPECT_FALSE(block.ReadFrom(out, 17));
    EXPECT_FALSE(block.WriteTo(out, 17));
    EXPECT_EQ(block.ExtractString(block.Handle(), 100), "hello");
    EXPECT_EQ(block.ExtractString(block.Handle() + 6, 3), "wor");
    EXPECT_EQ(block.ExtractString(block.Handle() + 16, 3), "");  // just past the end
    std::memset(block.data(), 'x', 16);
    EXPECT_EQ(block.ExtractString(block.Handle() + 10, 100), "xxxxxx");  // stops at the block's end
    block.Allocate(0);
    EXPECT_EQ(block.Handle(), 0u);
}

TEST(cMemory, LockingAndHandingOverOwnership) {
    cMemory m;
    EXPECT_EQ(m.Pointer(), nullptr);
    EXPECT_EQ(m.Size(), 0u);
    ASSERT_TRUE(m.AllocateMemory(26, kGmemZeroInit));
    EXPECT_EQ(m.Size(), 26u);
    void* p = m.Pointer();  // locks
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(p)[25], 0);
    EXPECT_FALSE(m.LockMemory());
    EXPECT_EQ(m.Pointer(), p);
    const auto handle = m.Handle();
    m.ReleaseDontFreeMemory();
    EXPECT_EQ(m.Handle(), 0u);
    cMemory other;
    other.setHandle(handle);  // now owned, and freed, by the other
    EXPECT_EQ(other.Size(), 26u);
}

TEST(PendingDeletionList, RemovesOnlyTheSameFileAtTheNextStart) {
    TempDir dir;
    PendingDeletionList list(dir / "state/quenvor/pending-deletions");
    LinuxFileService files(&list);
    const auto same = dir / "line\nbreak name.txt";
    const auto replaced = dir / "replaced.txt";
    TempDir::write(same, "x");
    TempDir::write(replaced, "old");
    ASSERT_TRUE(files.removeAtNextStart(same).ok());
    ASSERT_TRUE(files.removeAtNextStart(replaced).ok());
    ASSERT_TRUE(files.removeAtNextStart(same).ok());  // listed once
    ASSERT_EQ(list.entries()->size(), 2u);
    EXPECT_EQ(list.entries()->front().path, same);

    // A newer file under the old name is somebody else's: never removed.
    std::filesystem::remove(replaced);
    TempDir::write(replaced, "new and longer");
    auto report = list.retry(files);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->removed, 1);
    EXPECT_EQ(report->dropped, 1);
    EXPECT_FALSE(std::filesystem::exists(same));
    EXPECT_EQ(TempDir::read(replaced), "new and longer");
    EXPECT_TRUE(list.entries()->empty());
}

TEST(PendingDeletionList, NamesWhatStillCannotGoAndKeepsLinesItCannotRead) {
    TempDir dir;
    const auto file = dir / "pending-deletions";
    PendingDeletionList list(file);
    LinuxFileService real(&list);
    test::FaultyFileService files(real);
    const auto stuck = dir / "stuck.txt";
    TempDir::write(stuck, "x");
    ASSERT_TRUE(files.removeAtNextStart(stuck).ok());
    // What a hand edit or a disk error leaves: the paths they stood for are unknown, not gone.
    const std::string damaged = "12 34 zz\nnot an entry at all\n";
    TempDir::write(file, TempDir::read(file) + damaged);
    ASSERT_EQ(list.read()->unreadableLines.size(), 2u);

    files.failRemoveFor.insert(stuck.string());
    auto report = list.retry(files);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->stillThere, 1);
    ASSERT_EQ(report->kept.size(), 1u);
    EXPECT_EQ(report->kept[0].path, stuck);
    EXPECT_NE(report->kept[0].reason.find("Operation not permitted"), std::string::npos);
    EXPECT_EQ(report->unreadableLines, 2);

    // Rewriting the list, to add or to forget an entry, keeps the lines it could not read.
    const auto other = dir / "other.txt";
    TempDir::write(other, "y");
    ASSERT_TRUE(files.removeAtNextStart(other).ok());
    EXPECT_NE(TempDir::read(file).find(damaged), std::string::npos);
    files.failRemoveFor.clear();
    report = list.retry(files);
    EXPECT_EQ(report->removed, 2);
    EXPECT_TRUE(report->kept.empty());
    EXPECT_EQ(TempDir::read(file), damaged);
}

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryBehind) {
    TempDir dir;
    const auto f = dir / "sub/file";
    ASSERT_TRUE(AtomicFile::write(f, "first").ok());
    ASSERT_TRUE(AtomicFile::write(f, "second").ok());
    EXPECT_EQ(TempDir::read(f), "second");
    int count = 0;
    for (auto& e : std::filesystem::directory_iterator(dir / "sub")) (void)e, ++count;
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(AtomicFile::write("/proc/quenvor-cannot/file", "x").ok());
}

TEST(LinuxFileService, OpensOnlyRegularFilesInPlace) {
    TempDir dir;
    LinuxFileService files;
    TempDir::write(dir / "target", "t");
    std::filesystem::create_symlink(dir / "target", dir / "link");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(files.openInPlace(dir / "link").ok());
    EXPECT_FALSE(files.openInPlace(dir / "fifo").ok());  // and without waiting for a reader
    EXPECT_FALSE(files.openInPlace(dir.path()).ok());
    EXPECT_FALSE(files.openInPlace(dir / "missing").ok());
    auto f = files.openInPlace(dir / "target");
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(*(*f)->length(), 1u);
    EXPECT_TRUE((*f)->writeAt(0, std::as_bytes(std::span("T", 1))).ok());
    EXPECT_TRUE((*f)->close().ok());
    EXPECT_EQ(TempDir::read(dir / "target"), "T");
    EXPECT_EQ(files.status(dir / "link")->type, FileType::Symlink);
    EXPECT_TRUE(files.remove(dir / "link").ok());
    EXPECT_EQ(TempDir::read(dir / "target"), "T");
    // Renaming never replaces an existing name.
    TempDir::write(dir / "other", "o");
    EXPECT_FALSE(files.rename(dir / "target", dir / "other").ok());
    EXPECT_EQ(TempDir::read(dir / "other"), "o");
}

}  // namespace
}  // namespace quenvor::platform
