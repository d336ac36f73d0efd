// The file service on handles, the shredder on top of it, and names in several scripts
// through every crossing between our UTF-8 text and the system's paths. Only folders the
// tests make are touched (never Wine's Z: drive, which is the whole Linux root).
#include <windows.h>
// After windows.h, which it expects first.
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "cleaning/desktop/cCleanInternet.h"
#include "cleaning/formats/EntryFile.h"
#include "cleaning/formats/SqliteCleaner.h"
#include "platform/LinkStatus.h"
#include "platform/PendingDeletionList.h"
#include "platform/Utf8Path.h"
#include "platform/windows/FileHandles.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsFileService.h"
#include "platform/windows/WindowsKnownFolders.h"
#include "platform/windows/WindowsProcessTable.h"
#include "platform/windows/WindowsRandomSource.h"
#include "platform/windows/WindowsRegistry.h"
#include "shredder/FolderShred.h"
#include "shredder/cPattern.h"
#include "support/Fakes.h"
#include "support/ShredderRig.h"
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
    EXPECT_EQ(*(*f)->dataRanges(), (std::vector<ByteRange>{{0, 10}}));  // no holes: all of it is data
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

TEST_F(RealFiles, ASparseFileListsOnlyWhereItHoldsData) {
    const auto p = dir / "sparse.bin";
    test::TempDir::write(p, std::string(4096, 'd'));
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD bytes = 0;
    LARGE_INTEGER end{};
    end.QuadPart = 64 << 20;
    const bool sparse = DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &bytes, nullptr) &&
                        SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!sparse) GTEST_SKIP() << "this system makes no sparse files here";
    auto f = files.openInPlace(p);
    ASSERT_TRUE(f.ok());
    auto ranges = (*f)->dataRanges();
    ASSERT_TRUE(ranges.ok()) << ranges.error().message;
    if (*ranges == std::vector<ByteRange>{{0, 64 << 20}}) GTEST_SKIP() << "this system does not report holes";
    // The data, in the filesystem's own units of allocation, and never the hole after it.
    ASSERT_FALSE(ranges->empty());
    EXPECT_EQ(ranges->front().offset, 0u);
    EXPECT_GE(ranges->front().length, 4096u);
    EXPECT_LE(ranges->back().end(), 1u << 20);
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

// A folder moved away and straight back: 0, or the system's reason for refusing.
DWORD moveAndBack(const fs::path& p) {
    fs::path to = p;
    to += L"-moved";
    if (!MoveFileExW(p.c_str(), to.c_str(), 0)) return GetLastError();
    MoveFileExW(to.c_str(), p.c_str(), 0);
    return 0;
}

// A junction as the system's own tools make one: 0, or why none could be made.
DWORD makeJunction(const fs::path& link, const fs::path& target) {
    struct Head {  // a mount point's reparse data, its two names after it
        ULONG tag;
        USHORT dataLength, reserved, substituteOffset, substituteLength, printOffset, printLength;
    };
    const std::wstring names = L"\\??\\" + target.native() + L'\0' + target.native() + L'\0';
    const auto substitute = static_cast<USHORT>((target.native().size() + 4) * sizeof(wchar_t));
    const auto namesSize = static_cast<USHORT>(names.size() * sizeof(wchar_t));
    const Head head{IO_REPARSE_TAG_MOUNT_POINT,
                    static_cast<USHORT>(namesSize + 8),
                    0,
                    0,
                    substitute,
                    static_cast<USHORT>(substitute + sizeof(wchar_t)),
                    static_cast<USHORT>(target.native().size() * sizeof(wchar_t))};
    std::vector<std::byte> data(sizeof head + namesSize);
    std::memcpy(data.data(), &head, sizeof head);
    std::memcpy(data.data() + sizeof head, names.data(), namesSize);
    if (!CreateDirectoryW(link.c_str(), nullptr)) return GetLastError();
    HANDLE h = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD got = 0, code = GetLastError();
    if (h != INVALID_HANDLE_VALUE) {
        const bool made = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                          nullptr, 0, &got, nullptr);
        code = made ? 0 : GetLastError();
        CloseHandle(h);
    }
    if (code != 0) RemoveDirectoryW(link.c_str());
    return code;
}

// A chosen folder is held from confirmation to the end: no other program can move it or a folder
// on its way, while the shredder's own renaming and removing inside it go on.
TEST_F(RealFiles, AFolderHeldAsChosenStaysInPlaceWhileItsInsideIsShredded) {
    const fs::path parent = dir / "parent", chosen = parent / "chosen";
    test::TempDir::write(chosen / "sub" / "inner.txt", "x");
    test::TempDir::write(chosen / "top.txt", "x");
    auto held = files.openDirectoryNoLinks(chosen);
    ASSERT_TRUE(held.ok()) << held.error().message;
    for (const auto& p : {chosen, parent}) {
        const DWORD refused = moveAndBack(p);
        EXPECT_TRUE(refused == ERROR_SHARING_VIOLATION || refused == ERROR_ACCESS_DENIED)
            << utf8Of(p) << ": " << refused;
    }

    IDirectory& folder = **held;
    ASSERT_TRUE(folder.renameAt("top.txt", "0000").ok());
    ASSERT_TRUE(folder.renameAt("sub", "0001").ok());
    {
        auto sub = folder.openDir("0001");
        ASSERT_TRUE(sub.ok()) << sub.error().message;
        EXPECT_TRUE((*sub)->openFile("inner.txt").ok());
        EXPECT_TRUE((*sub)->unlinkAt("inner.txt", false).ok());
    }
    EXPECT_TRUE(folder.unlinkAt("0001", true).ok());
    EXPECT_TRUE(folder.unlinkAt("0000", false).ok());
    EXPECT_TRUE(folder.list()->empty());

    // Other spellings reach a chosen folder as well: short names, a separator at the end, a root.
    for (const fs::path& p :
         {pathFromUtf8(files.shortForm(chosen)), fs::path(parent.native() + L"\\"), fs::path(L"C:\\")})
        EXPECT_TRUE(files.openDirectoryNoLinks(p).ok()) << utf8Of(p);

    // Last, the chosen folder goes by its name in its held parent, its own handle closed first.
    auto heldParent = files.openDirectoryNoLinks(parent);
    ASSERT_TRUE(heldParent.ok()) << heldParent.error().message;
    held = Error{};
    const Status removed = (*heldParent)->unlinkAt("chosen", true);
    EXPECT_TRUE(removed.ok()) << removed.error().message;
    EXPECT_FALSE(fs::exists(chosen));
    heldParent = Error{};
    EXPECT_EQ(moveAndBack(parent), 0u);
}

// A junction or symbolic link anywhere on the way to a chosen folder is refused, never followed;
// made the POSIX way beneath Wine, see PosixLinks.
TEST_F(RealFiles, AChosenFolderReachedThroughAJunctionOrLinkIsRefused) {
    const fs::path target = dir / "target";
    fs::create_directories(target / "inner");
    const std::pair<const char*, std::function<DWORD(const fs::path&)>> ways[] = {
        {"junction", [&](const fs::path& link) { return makeJunction(link, target); }},
        {"symbolic link",
         [&](const fs::path& link) {
             return CreateSymbolicLinkW(link.c_str(), target.c_str(),
                                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)
                        ? DWORD{0}
                        : GetLastError();
         }},
    };
    std::string unmade;
    for (const auto& [kind, make] : ways) {
        const fs::path link = dir / kind;
        DWORD code = make(link);
        // Wine 8 answers that it made a symbolic link and makes none.
        if (code == 0 && GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) code = ERROR_FILE_NOT_FOUND;
        if (code != 0) {
            unmade += std::string(unmade.empty() ? "" : ", ") + kind + " (error " + std::to_string(code) + ")";
            continue;
        }
        for (const auto& p : {link, link / "inner"}) {
            auto opened = files.openDirectoryNoLinks(p);
            ASSERT_FALSE(opened.ok()) << kind << " reached: " << utf8Of(p);
            EXPECT_EQ(opened.error().code, kFollowedLink) << utf8Of(p) << ": " << opened.error().message;
        }
        EXPECT_TRUE(RemoveDirectoryW(link.c_str())) << kind;  // the link only
        EXPECT_TRUE(fs::is_directory(target / "inner"));
    }
    if (!unmade.empty()) GTEST_SKIP() << "this system makes no " << unmade;
}

// Symbolic links made the POSIX way, beneath Wine: Wine 8 opens one that points to a file as that
// file, whatever it is asked, and lists it as a plain file. Made and removed by the host's own
// ln and rm; skipped on a system that is not Wine or cannot run them.
class PosixLinks : public RealFiles {
protected:
    void SetUp() override {
        using UnixName = char*(CDECL*)(const wchar_t*);
        unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
        if (!unixName) GTEST_SKIP() << "not Wine: no POSIX links beneath this system";
        test::TempDir::write(outside, "kept as it is");
        test::TempDir::write(inside / "zz-file.txt", "inside");
        fs::create_directories(dir / "elsewhere");
        const std::pair<const char*, fs::path> links[] = {
            {"to-outside", outside}, {"to-sibling", inside / "zz-file.txt"}, {"to-folder", dir / "elsewhere"}};
        for (const auto& [name, target] : links) {
            const auto link = inside / name;
            made.push_back(link);
            if (!onHost(L"Z:\\bin\\ln -s " + quoted(target) + L" " + quoted(link), [&] { return present(link); }))
                GTEST_SKIP() << "the host's ln made no link at " << utf8Of(link);
        }
    }
    // The temporary folder's own removal would go through the links: the host removes them.
    void TearDown() override {
        std::wstring command = L"Z:\\bin\\rm -f";
        for (const auto& link : made) command += L" " + quoted(link);
        if (!made.empty()) onHost(command, [&] { return std::none_of(made.begin(), made.end(), present); });
    }

    static bool present(const fs::path& p) {
        std::error_code ec;
        return fs::exists(fs::symlink_status(p, ec));
    }
    std::wstring quoted(const fs::path& p) const {
        // The link itself need not exist yet: its folder's name and its own.
        char* n = unixName(p.parent_path().c_str());
        std::string s = n ? n : "";
        HeapFree(GetProcessHeap(), 0, n);
        return L"\"" + widen(s) + L"/" + p.filename().native() + L"\"";
    }
    // A host program's end cannot be waited for through Wine, nor its exit code read: what it
    // was to do is looked for instead.
    static bool onHost(std::wstring command, const std::function<bool()>& done) {
        STARTUPINFOW start{};
        start.cb = sizeof start;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
        return done();
    }
    void expectUntouched() {
        EXPECT_EQ(test::TempDir::read(outside), "kept as it is");
        EXPECT_EQ(test::TempDir::read(inside / "zz-file.txt"), "inside");
        EXPECT_TRUE(fs::is_directory(dir / "elsewhere"));
    }

    char*(CDECL* unixName)(const wchar_t*) = nullptr;
    std::vector<fs::path> made;
    const fs::path outside = dir / "precious.txt";
    const fs::path inside = dir / "chosen";
};

TEST_F(PosixLinks, AreLinksToEveryCallAndNothingReachesTheirTargets) {
    auto folder = files.openDirectory(inside);
    ASSERT_TRUE(folder.ok()) << folder.error().message;
    for (const char* name : {"to-outside", "to-sibling", "to-folder"}) {
        const auto p = inside / name;
        auto st = (*folder)->statAt(name);
        ASSERT_TRUE(st.ok()) << name << ": " << st.error().message;
        EXPECT_EQ(st->type, FileType::Symlink) << name;
        EXPECT_EQ(files.status(p)->type, FileType::Symlink) << name;
        // Two looks at the same link agree, as the shredder checks before it removes a name.
        EXPECT_EQ((*folder)->statAt(name)->identity(), st->identity()) << name;

        EXPECT_FALSE((*folder)->openFile(name).ok()) << name;
        EXPECT_FALSE((*folder)->openDir(name).ok()) << name;
        EXPECT_FALSE((*folder)->renameAt(name, "renamed").ok()) << name;
        EXPECT_FALSE((*folder)->setWritableAt(name).ok()) << name;
        const Status unlinked = (*folder)->unlinkAt(name, false);
        ASSERT_FALSE(unlinked.ok()) << name;
        EXPECT_EQ(unlinked.error().code, kFollowedLink) << name;
        EXPECT_FALSE(files.openInPlace(p).ok()) << name;
        EXPECT_FALSE(files.openDirectory(p).ok()) << name;
        EXPECT_FALSE(files.remove(p).ok()) << name;
        EXPECT_FALSE(files.rename(p, inside / "renamed").ok()) << name;
        EXPECT_FALSE(files.setWritable(p).ok()) << name;
        EXPECT_FALSE(files.removeAtNextStart(p).ok()) << name;
        expectUntouched();
    }
    EXPECT_FALSE(fs::exists(inside / "renamed"));
    // The plain file beside them is itself, by its name in any case and by its short name.
    EXPECT_EQ((*folder)->statAt("zz-file.txt")->type, FileType::Regular);
    EXPECT_EQ((*folder)->statAt("ZZ-FILE.TXT")->type, FileType::Regular);
    test::TempDir::write(inside / "a rather long name.text", "long");
    const std::string shortPath = files.shortForm(inside / "a rather long name.text");
    const auto shortName = pathFromUtf8(shortPath).filename();
    ASSERT_NE(shortName, fs::path("a rather long name.text")) << "no short name was made";
    EXPECT_EQ((*folder)->statAt(utf8Of(shortName))->type, FileType::Regular);
    EXPECT_EQ(files.status(pathFromUtf8(shortPath))->type, FileType::Regular);
    EXPECT_TRUE(files.openInPlace(pathFromUtf8(shortPath)).ok());
    // Chosen, a link is refused as one, and so is a folder reached through one.
    fs::create_directories(dir / "elsewhere" / "sub");
    for (const auto& p : {inside / "to-folder", inside / "to-folder" / "sub", inside / "to-outside"}) {
        auto held = files.openDirectoryNoLinks(p);
        ASSERT_FALSE(held.ok()) << utf8Of(p);
        if (p.filename() != "to-outside") {
            EXPECT_EQ(held.error().code, kFollowedLink) << held.error().message;
        }
    }
    // Roots, trailing separators and relative spellings still reach what they name.
    EXPECT_EQ(files.status(L"C:\\")->type, FileType::Directory);
    EXPECT_EQ(files.status(inside.native() + L"\\")->type, FileType::Directory);
    EXPECT_EQ(files.status(inside / ".." / "chosen" / "zz-file.txt")->type, FileType::Regular);
}

// The browsers' stores are opened by SQLite and by streams, which see through links here: the
// cleaning asks first whether the name is a link, and a store that is one is never opened.
TEST_F(PosixLinks, ABrowserStoreThatIsALinkIsNamedNeverOpened) {
    for (const char* name : {"to-outside", "to-sibling", "to-folder"}) EXPECT_TRUE(isLink(inside / name)) << name;
    EXPECT_FALSE(isLink(inside / "zz-file.txt"));
    EXPECT_FALSE(isLink(inside));
    EXPECT_FALSE(isLink(inside / "no such file"));

    const auto cleaned =
        cleaning::formats::SqliteCleaner::run(inside / "to-outside", {{"DELETE FROM cookies", {"cookies"}}});
    ASSERT_FALSE(cleaned.ok());
    EXPECT_NE(cleaned.error().message.find("link"), std::string::npos) << cleaned.error().message;
    EXPECT_FALSE(cleaning::formats::EntryFile::open(inside / "to-outside"));
    expectUntouched();
}

TEST_F(PosixLinks, AShredLeavesTheLinksAndWhatTheyPointTo) {
    WindowsRandomSource random;
    shredder::cPattern engine(files, &random);
    engine.setSecurePass(1);
    // The link chosen alone is refused before any write.
    engine.setSourceFile(utf8Of(inside / "to-outside"));
    EXPECT_FALSE(engine.DeleteFileByPattern().ok());
    expectUntouched();

    // Names are walked in order: the link to the folder's own file is met before that file.
    shredder::FolderShred shred(files, engine, {});
    const auto out = shred.run(utf8Of(inside));
    EXPECT_EQ(test::TempDir::read(outside), "kept as it is");
    EXPECT_TRUE(fs::is_directory(dir / "elsewhere"));
    EXPECT_FALSE(fs::exists(inside / "zz-file.txt"));  // the file of the folder itself is shredded
    std::vector<std::string> left;
    for (const auto& l : out.left)
        if (l.leftInPlace && l.kind == shredder::FolderShred::Kind::Other) {
            left.push_back(utf8Of(pathFromUtf8(l.path).filename()));
            EXPECT_NE(l.detail, "") << l.path;  // the user is told why
        }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"to-folder", "to-outside", "to-sibling"}));
    EXPECT_FALSE(out.done());  // named as left, never reported as gone
    EXPECT_TRUE(fs::exists(inside));
}

// Windows keeps a read-only mark on folders too (Explorer sets it on customised ones), and such
// a folder refuses to be removed until the mark is taken off it.
TEST_F(RealFiles, AChosenFolderWithReadOnlyFoldersAndFilesInsideIsShreddedWhole) {
    const auto chosen = dir / "chosen";
    test::TempDir::write(chosen / "marked" / "inner" / "note.txt", "secret");
    test::TempDir::write(chosen / "marked" / "locked.txt", "secret too");
    for (const auto& p : {chosen / "marked" / "inner" / "note.txt", chosen / "marked" / "locked.txt",
                          chosen / "marked" / "inner", chosen / "marked"})
        ASSERT_TRUE(SetFileAttributesW(p.c_str(), GetFileAttributesW(p.c_str()) | FILE_ATTRIBUTE_READONLY));

    test::FixedFolders folders;
    test::ShredderRig rig(files, &folders, nullptr);
    rig.shredFolder(chosen);
    auto& ui = rig.ui;

    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_FALSE(fs::exists(chosen)) << ui.messages.back().text;
    EXPECT_TRUE(fs::exists(dir.path())) << "the folder holding the choice stays";
}

// The page's final message names what stays by the path the user knows, with Windows separators
// only, though the walk joins the names below the chosen folder with '/'.
TEST_F(RealFiles, TheShreddersMessagesSpellNestedPathsTheWindowsWay) {
    const auto chosen = dir / "chosen";
    const auto held = chosen / "sub" / "deeper" / "held.txt";
    test::TempDir::write(held, "in use");
    test::TempDir::write(chosen / "sub" / "gone.txt", "shredded");
    HANDLE h = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    test::FixedFolders folders;
    test::ShredderRig rig(files, &folders, nullptr);
    rig.shredFolder(chosen);
    auto& ui = rig.ui;
    auto& page = rig.page;
    CloseHandle(h);

    ASSERT_EQ(ui.messages.size(), 2u);
    const std::string& shown = ui.messages.back().text;
    EXPECT_NE(shown.find(utf8Of(held) + ": "), std::string::npos) << shown;
    EXPECT_EQ(shown.find('/'), std::string::npos) << shown;
    EXPECT_FALSE(fs::exists(chosen / "sub" / "gone.txt"));
    EXPECT_EQ(test::TempDir::read(held), "in use");

    // A single file named with a '/' on the way is shown the same way when it stays.
    h = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ui::FileDialogResult pick;
    pick.accepted = true;
    pick.files = {utf8Of(chosen) + "/sub/deeper/held.txt"};
    pick.filterIndex = 1;
    ui.fileAnswers.push_back(pick);
    page.cmdFile_Click();
    page.cmdDelete_Click();
    CloseHandle(h);
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_NE(ui.messages.back().text.find(utf8Of(held)), std::string::npos) << ui.messages.back().text;
    EXPECT_EQ(ui.messages.back().text.find('/'), std::string::npos) << ui.messages.back().text;
    EXPECT_EQ(test::TempDir::read(held), "in use");
}

// Wine 8 shows a POSIX link whose target is gone to no call at all: it is neither listed nor
// opened, by any name, yet the folder holding it cannot be removed. Its name cannot be had; the
// folder is named instead, with what keeps it.
TEST_F(PosixLinks, AFolderKeptByALinkWhoseTargetIsGoneSaysSo) {
    const auto emptied = inside / "emptied";
    test::TempDir::write(emptied / "plain.txt", "shredded");
    const auto doomed = dir / "doomed.txt";
    test::TempDir::write(doomed, "soon gone");
    const auto link = emptied / "to-nothing";
    made.push_back(link);
    if (!onHost(L"Z:\\bin\\ln -s " + quoted(doomed) + L" " + quoted(link), [&] { return present(link); }))
        GTEST_SKIP() << "the host's ln made no link at " << utf8Of(link);
    fs::remove(doomed);
    EXPECT_FALSE(present(link));
    auto listed = files.list(emptied);
    ASSERT_TRUE(listed.ok());
    EXPECT_EQ(names(*listed), std::vector<std::string>{"plain.txt"});
    auto folder = files.openDirectory(emptied);
    ASSERT_TRUE(folder.ok());
    auto viaHandle = (*folder)->list();
    ASSERT_TRUE(viaHandle.ok());
    EXPECT_EQ(names(*viaHandle), std::vector<std::string>{"plain.txt"});
    EXPECT_EQ((*folder)->statAt("to-nothing")->type, FileType::NotFound);
    folder = Error{};

    WindowsRandomSource random;
    shredder::cPattern engine(files, &random);
    engine.setSecurePass(1);
    shredder::FolderShred shred(files, engine, {});
    const auto out = shred.run(utf8Of(emptied));
    EXPECT_FALSE(fs::exists(emptied / "plain.txt"));
    ASSERT_EQ(out.left.size(), 1u);
    const auto& kept = out.left.front();
    EXPECT_EQ(pathFromUtf8(kept.path), emptied);
    EXPECT_EQ(kept.kind, shredder::FolderShred::Kind::Folder);
    EXPECT_TRUE(kept.leftInPlace);
    EXPECT_NE(kept.detail.find("a link whose target is gone"), std::string::npos) << kept.detail;
    EXPECT_FALSE(out.done());
    // Under the name the user chose, not the one the removal gave it on the way.
    EXPECT_TRUE(fs::is_directory(emptied));

    // A folder that is really not empty keeps the system's own words.
    test::TempDir::write(inside / "full" / "file.txt", "x");
    auto holder = files.openDirectory(inside);
    ASSERT_TRUE(holder.ok());
    const Status full = (*holder)->unlinkAt("full", true);
    ASSERT_FALSE(full.ok());
    EXPECT_EQ(full.error().message.find("target is gone"), std::string::npos) << full.error().message;
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

// Programs hold their files in the temporary folder open, most without letting them be deleted:
// such a file is in use and passed over, as on Linux, not a failure of every run.
TEST_F(RealFiles, TheTempPurgeTakesIdleFilesOfEveryScriptAndLeavesThoseInUse) {
    for (const auto& n : kNames) test::TempDir::write(dir.path() / pathFromUtf8("sub") / pathFromUtf8(n), "x");
    const auto busy = dir.path() / pathFromUtf8("занят.tmp");
    const auto shared = dir.path() / pathFromUtf8("shared.tmp");
    test::TempDir::write(busy, "in use");
    test::TempDir::write(shared, "in use");
    HANDLE held =
        CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE heldShared = CreateFileW(shared.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(heldShared, INVALID_HANDLE_VALUE);
    // Young files are kept as possibly still wanted by their program: age them all past that.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    for (const auto& n : kNames) fs::last_write_time(dir.path() / pathFromUtf8("sub") / pathFromUtf8(n), old);
    fs::last_write_time(busy, old);
    fs::last_write_time(shared, old);

    WindowsRegistry registry;
    OwnTemp folders(dir.path());
    WindowsProcessTable processes;
    cleaning::common::CleanReport report;
    cleaning::desktop::cCleanInternet clean({registry, files, folders, nullptr, &processes}, report);
    clean.EmptyTempFolder();
    CloseHandle(held);
    CloseHandle(heldShared);

    for (const auto& n : kNames) EXPECT_FALSE(fs::exists(dir.path() / pathFromUtf8("sub") / pathFromUtf8(n))) << n;
    EXPECT_TRUE(fs::is_directory(dir.path() / pathFromUtf8("sub")));  // folders stay
    EXPECT_TRUE(fs::exists(busy));
    EXPECT_TRUE(fs::exists(shared));
    for (const auto& f : report.failures()) ADD_FAILURE() << f.what << ": " << f.reason;
    EXPECT_EQ(report.removedTally().at(cleaning::common::CleanArea::Temp).items, kNames.size());
}

// The recent-documents list and the typed addresses as Windows itself writes them, in the
// system's own registry: every value and subkey goes; the keys their programs write in stay.
TEST_F(RealFiles, RecentDocumentsAndTypedAddressesAsWindowsWritesThem) {
    auto put = [](const std::string& key, const wchar_t* name, DWORD type, std::vector<BYTE> data) {
        HKEY h = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(h, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        RegCloseKey(h);
    };
    auto entry = [](const std::wstring& document) {
        std::vector<BYTE> data(reinterpret_cast<const BYTE*>(document.c_str()),
                               reinterpret_cast<const BYTE*>(document.c_str() + document.size() + 1));
        data.insert(data.end(), {0x14, 0x00, 0x1F, 0x50});  // the shell's item data follows the name
        return data;
    };
    const std::string docs = cleaning::desktop::kRecentDocsKey;
    put(docs, L"0", REG_BINARY, entry(L"Informe año.docx"));
    put(docs, L"1", REG_BINARY, entry(L"Фото"));
    put(docs, L"MRUListEx", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    put(docs + ".docx", L"0", REG_BINARY, entry(L"Informe año.docx"));
    put(docs + ".docx", L"MRUListEx", REG_BINARY, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    put(docs + "Folder", L"0", REG_BINARY, entry(L"Фото"));
    const std::wstring address = L"http://secret.example/";
    put(cleaning::desktop::kTypedUrlsKey, L"url1", REG_SZ,
        std::vector<BYTE>(reinterpret_cast<const BYTE*>(address.c_str()),
                          reinterpret_cast<const BYTE*>(address.c_str() + address.size() + 1)));
    put(cleaning::desktop::kTypedUrlsTimeKey, L"url1", REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8});

    WindowsRegistry registry;
    OwnTemp folders(dir.path());
    WindowsProcessTable processes;
    cleaning::common::CleanReport report;
    cleaning::desktop::cCleanInternet clean({registry, files, folders, nullptr, &processes}, report);
    clean.CleanRecentFilesMenu();
    clean.CleanTypedUrls();

    auto contents = [](const std::string& key) {
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, widen(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return -1L;
        DWORD subkeys = 0, values = 0;
        RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(h);
        return static_cast<long>(subkeys + values);
    };
    EXPECT_EQ(contents(docs), 0);
    EXPECT_EQ(contents(cleaning::desktop::kTypedUrlsKey), 0);
    EXPECT_EQ(contents(cleaning::desktop::kTypedUrlsTimeKey), -1);  // gone
    for (const auto& f : report.failures()) ADD_FAILURE() << f.what << ": " << f.reason;
    EXPECT_GE(report.removedTally().at(cleaning::common::CleanArea::Recent).items, 6u);
    EXPECT_EQ(report.removedTally().at(cleaning::common::CleanArea::TypedUrls).items, 1u);
}

TEST_F(RealFiles, FixedDisksAreDriveRoots) {
    const auto roots = files.fixedDiskRoots();
    ASSERT_FALSE(roots.empty());
    for (const auto& r : roots) EXPECT_EQ(r, r.root_path()) << r;
    EXPECT_NE(std::find(roots.begin(), roots.end(), fs::path(L"C:\\")), roots.end());
}

}  // namespace
}  // namespace quenvor::platform::windows
