// The file service on handles, the shredder on top of it, and names in several scripts
// through every crossing between our UTF-8 text and the system's paths. Only folders the
// tests make are touched (never Wine's Z: drive, which is the whole Linux root).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "cleaning/CleanReport.h"
#include "cleaning/cCleanInternet.h"
#include "platform/PendingDeletionList.h"
#include "platform/Utf8Path.h"
#include "platform/windows/FileHandles.h"
#include "platform/windows/WindowsFileService.h"
#include "platform/windows/WindowsKnownFolders.h"
#include "platform/windows/WindowsProcessTable.h"
#include "platform/windows/WindowsRandomSource.h"
#include "platform/windows/WindowsRegistry.h"
#include "shredder/cPattern.h"
#include "support/TempDir.h"

namespace quenvor::platform::windows {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kNames = {"Grüße.txt",    "Привет.txt", "日本語.txt",
                                         "Ελληνικά.txt", "עברית.txt",  "emoji 😀.txt"};

std::vector<std::string> names(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

class RealFiles : public ::testing::Test {
protected:
    test::TempDir dir;
    PendingDeletionList pending{dir / "state" / "pending"};
    WindowsFileService files{&pending};
};

TEST_F(RealFiles, NamesInEveryScriptCrossEachSeamUnchanged) {
    for (const auto& n : kNames) {
        EXPECT_EQ(utf8Of(pathFromUtf8(n)), n);
        test::TempDir::write(dir.path() / pathFromUtf8(n), n);
    }
    auto sorted = kNames;
    std::sort(sorted.begin(), sorted.end());

    auto listed = files.list(dir.path());
    ASSERT_TRUE(listed.ok());
    EXPECT_EQ(names(*listed), sorted);
    auto folder = files.openDirectory(dir.path());
    ASSERT_TRUE(folder.ok()) << folder.error().message;
    auto viaHandle = (*folder)->list();
    ASSERT_TRUE(viaHandle.ok()) << viaHandle.error().message;
    EXPECT_EQ(names(*viaHandle), sorted);

    for (const auto& n : kNames) {
        auto st = (*folder)->statAt(n);
        ASSERT_TRUE(st.ok()) << n;
        EXPECT_EQ(st->type, FileType::Regular) << n;
        EXPECT_EQ(st->size, n.size()) << n;
        EXPECT_FALSE(files.shortForm(dir.path() / pathFromUtf8(n)).empty()) << n;
    }
    const Status renamed = (*folder)->renameAt("Привет.txt", "Пока.txt");
    ASSERT_TRUE(renamed.ok()) << renamed.error().message;
    EXPECT_TRUE(fs::exists(dir.path() / pathFromUtf8("Пока.txt")));
    // A rename never replaces: both files stay as they were.
    EXPECT_FALSE((*folder)->renameAt("Пока.txt", "日本語.txt").ok());
    EXPECT_EQ(test::TempDir::read(dir.path() / pathFromUtf8("日本語.txt")), "日本語.txt");
    ASSERT_TRUE((*folder)->unlinkAt("Пока.txt", false).ok());
    EXPECT_FALSE(fs::exists(dir.path() / pathFromUtf8("Пока.txt")));
    EXPECT_EQ((*folder)->statAt("Пока.txt")->type, FileType::NotFound);
    // Only single names inside the folder: no way out through a separator, a drive or a stream.
    for (const char* bad : {"..", "a\\b", "a/b", "C:x", "x:stream", ""})
        EXPECT_FALSE((*folder)->statAt(bad).ok()) << bad;
}

TEST_F(RealFiles, AFileIsShreddedInPlaceAndALinkedOneRefused) {
    WindowsRandomSource random;
    const auto victim = dir / "secret.bin";
    test::TempDir::write(victim, std::string(70000, 'S'));
    shredder::cPattern engine(files, &random);
    engine.setSourceFile(utf8Of(victim));
    engine.setSecurePass(2);
    const auto r = engine.DeleteFileByPattern();
    EXPECT_TRUE(r.ok()) << r.detail;
    EXPECT_FALSE(fs::exists(victim));

    // A second name for the same data: shredding one would destroy the other's contents too.
    const auto linked = dir / "linked.bin", other = dir / "other-name.bin";
    test::TempDir::write(linked, "shared");
    ASSERT_TRUE(CreateHardLinkW(other.c_str(), linked.c_str(), nullptr));
    auto st = files.status(linked);
    ASSERT_TRUE(st.ok());
    EXPECT_EQ(st->hardLinks, 2u);
    engine.setSourceFile(utf8Of(linked));
    EXPECT_FALSE(engine.DeleteFileByPattern().ok());
    EXPECT_EQ(test::TempDir::read(other), "shared");
    EXPECT_EQ(test::TempDir::read(linked), "shared");
}

TEST_F(RealFiles, WritesLandAtTheirOffsetAndTheFileIsNeverRecreated) {
    const auto p = dir / "data.bin";
    test::TempDir::write(p, "0123456789");
    const auto before = files.status(p);
    auto f = files.openInPlace(p);
    ASSERT_TRUE(f.ok()) << f.error().message;
    const std::string patch = "ab";
    ASSERT_TRUE((*f)->writeAt(4, std::as_bytes(std::span(patch.data(), patch.size()))).ok());
    ASSERT_TRUE((*f)->flushToDevice().ok());
    EXPECT_EQ(*(*f)->length(), 10u);
    // No one else may write meanwhile; reading is still allowed.
    HANDLE writer = CreateFileW(p.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    ASSERT_TRUE((*f)->truncate(6).ok());
    const auto during = (*f)->status();
    ASSERT_TRUE((*f)->close().ok());
    EXPECT_EQ(test::TempDir::read(p), "0123ab");
    EXPECT_EQ(during->inode, before->inode);
    EXPECT_EQ(during->device, before->device);
    EXPECT_FALSE(files.openInPlace(dir.path()).ok());  // a folder is not written in place
}

TEST_F(RealFiles, AFileInUseOrReadOnlyStaysUntilAllowed) {
    const auto busy = dir / "busy.tmp";
    test::TempDir::write(busy, "open elsewhere");
    HANDLE held = CreateFileW(busy.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Status s = files.remove(busy);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.ok() ? 0 : s.error().code, ERROR_SHARING_VIOLATION);
    CloseHandle(held);
    EXPECT_TRUE(fs::exists(busy));
    EXPECT_TRUE(files.remove(busy).ok());
    EXPECT_FALSE(fs::exists(busy));

    const auto locked = dir / "readonly.txt";
    test::TempDir::write(locked, "x");
    ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(files.status(locked)->readOnly);
    auto folder = files.openDirectory(dir.path());
    ASSERT_TRUE(folder.ok());
    EXPECT_FALSE((*folder)->unlinkAt("readonly.txt", false).ok());
    ASSERT_TRUE((*folder)->setWritableAt("readonly.txt").ok());
    EXPECT_FALSE(files.status(locked)->readOnly);
    EXPECT_TRUE((*folder)->unlinkAt("readonly.txt", false).ok());
}

TEST_F(RealFiles, ALinkIsRemovedAsALinkAndNeverFollowed) {
    const auto target = dir / "target.txt", link = dir / "link.txt";
    test::TempDir::write(target, "keep");
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "this system makes no symbolic links here (error " << GetLastError() << ")";
    auto st = files.status(link);
    ASSERT_TRUE(st.ok());
    // Wine makes a host link that its own calls then cannot open as a reparse point.
    if (st->type == FileType::NotFound) GTEST_SKIP() << "this system's links cannot be opened as themselves";
    EXPECT_EQ(st->type, FileType::Symlink);
    EXPECT_FALSE(files.openInPlace(link).ok());
    ASSERT_TRUE(files.remove(link).ok());
    EXPECT_EQ(test::TempDir::read(target), "keep");
}

TEST_F(RealFiles, RemovalAtTheNextStartIsRecordedBySystemOrList) {
    const auto p = dir.path() / pathFromUtf8("à effacer.tmp");
    test::TempDir::write(p, "x");
    ASSERT_TRUE(files.removeAtNextStart(p).ok());
    // Windows keeps its own list where the user may write it (administrators); else ours.
    HKEY session = nullptr;
    std::wstring recorded;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                      &session) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(session, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) ==
                ERROR_SUCCESS &&
            size > 0) {
            recorded.resize(size / sizeof(wchar_t));
            RegQueryValueExW(session, L"PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(recorded.data()), &size);
        }
        RegCloseKey(session);
    }
    const bool bySystem = recorded.find(p.filename().native()) != std::wstring::npos;
    const auto listed = pending.entries();
    const bool byList = listed.ok() && !listed->empty() && listed->front().path == p;
    EXPECT_TRUE(bySystem || byList);
    EXPECT_TRUE(fs::exists(p));  // nothing goes before the next start
}

// The system's folders, but a temporary folder of the test's own: the real one is shared.
class OwnTemp : public WindowsKnownFolders {
public:
    explicit OwnTemp(fs::path t) : m_temp(std::move(t)) {}
    fs::path temporaryFolder() override { return m_temp; }

private:
    fs::path m_temp;
};

TEST_F(RealFiles, TheTempPurgeTakesIdleFilesOfEveryScriptAndLeavesOneInUse) {
    for (const auto& n : kNames) test::TempDir::write(dir.path() / pathFromUtf8("sub") / pathFromUtf8(n), "x");
    const auto busy = dir.path() / pathFromUtf8("занят.tmp");
    test::TempDir::write(busy, "in use");
    HANDLE held = CreateFileW(busy.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // Young files are kept as possibly still wanted by their program: age them all past that.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    for (const auto& n : kNames) fs::last_write_time(dir.path() / pathFromUtf8("sub") / pathFromUtf8(n), old);
    fs::last_write_time(busy, old);

    WindowsRegistry registry;
    OwnTemp folders(dir.path());
    WindowsProcessTable processes;
    cleaning::CleanReport report;
    cleaning::cCleanInternet clean({registry, files, folders, nullptr, &processes}, report);
    clean.EmptyTempFolder();
    CloseHandle(held);

    for (const auto& n : kNames) EXPECT_FALSE(fs::exists(dir.path() / pathFromUtf8("sub") / pathFromUtf8(n))) << n;
    EXPECT_TRUE(fs::is_directory(dir.path() / pathFromUtf8("sub")));  // folders stay
    EXPECT_TRUE(fs::exists(busy));
}

TEST_F(RealFiles, FixedDisksAreDriveRoots) {
    const auto roots = files.fixedDiskRoots();
    ASSERT_FALSE(roots.empty());
    for (const auto& r : roots) EXPECT_EQ(r, r.root_path()) << r;
    EXPECT_NE(std::find(roots.begin(), roots.end(), fs::path(L"C:\\")), roots.end());
}

}  // namespace
}  // namespace quenvor::platform::windows
