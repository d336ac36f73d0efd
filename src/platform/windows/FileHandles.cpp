#include "platform/windows/FileHandles.h"

#include <windows.h>
// After windows.h, which it expects first.
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/Utf8Path.h"
#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {
namespace {

// STATUS_BUFFER_OVERFLOW: ntstatus.h clashes with windows.h.
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005);
// 100-nanosecond ticks from 1601 to 1970.
constexpr std::int64_t kEpochTicks = 116444736000000000LL;

// The system's own spelling of a path: separators made native, and past MAX_PATH the "\\?\"
// form, which has no length limit but is taken literally (hence the normalising first).
std::wstring systemPath(const std::filesystem::path& p) {
    std::filesystem::path n = p;
    n.make_preferred();
    std::wstring w = n.native();
    if (w.size() < MAX_PATH || !n.is_absolute() || w.rfind(L"\\\\?\\", 0) == 0) return w;
    w = n.lexically_normal().native();
    if (w.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + w.substr(2);
    return L"\\\\?\\" + w;
}

Result<WindowsHandle> openRelative(HANDLE folder, const std::filesystem::path& shown, const std::wstring& name,
                                   DWORD access, DWORD share, bool wantFolder, bool wantFile) {
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    ULONG options = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
    if (wantFolder) options |= FILE_DIRECTORY_FILE;
    if (wantFile) options |= FILE_NON_DIRECTORY_FILE;
    HANDLE h = nullptr;
    const NTSTATUS st =
        NtCreateFile(&h, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, FILE_OPEN, options, nullptr, 0);
    if (st < 0) return win32Error("cannot open " + display(shown), RtlNtStatusToDosError(st));
    return WindowsHandle(h);
}

// The system's name of an open file or folder: its path inside its volume, without the drive.
Result<std::wstring> nameOfHandle(HANDLE h, const std::filesystem::path& shown) {
    std::vector<std::byte> buffer(1024);
    for (;;) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS st =
            NtQueryInformationFile(h, &io, buffer.data(), static_cast<ULONG>(buffer.size()), FileNameInformation);
        ULONG length = 0;
        std::memcpy(&length, buffer.data(), sizeof length);
        if (st == kBufferOverflow && length + sizeof length > buffer.size()) {
            buffer.resize(length + sizeof length);
            continue;
        }
        if (st < 0) return win32Error("cannot tell what was opened as " + display(shown), RtlNtStatusToDosError(st));
        std::wstring name(length / sizeof(wchar_t), L'\0');
        std::memcpy(name.data(), buffer.data() + offsetof(FILE_NAME_INFORMATION, FileName),
                    name.size() * sizeof(wchar_t));
        return name;
    }
}

bool sameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// How a walk of a folder's listing ended.
enum class Walk { Stopped, Ended, Failed };

// Each entry of the open folder's listing, read through a fresh handle so no listing under way
// on the folder's own handle is disturbed, until `visit` answers true.
template <class Visit>
Walk walkListing(HANDLE folder, Visit visit) {
    auto lister = reopenSelf(folder, {}, FILE_LIST_DIRECTORY);
    if (!lister) return Walk::Failed;
    std::vector<unsigned char> buffer(64 * 1024);
    auto kind = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(lister->get(), kind, buffer.data(), static_cast<DWORD>(buffer.size()))) {
        kind = FileIdBothDirectoryInfo;
        for (std::size_t at = 0;;) {
            const auto* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            if (visit(*e)) return Walk::Stopped;
            if (e->NextEntryOffset == 0) break;
            at += e->NextEntryOffset;
        }
    }
    return GetLastError() == ERROR_NO_MORE_FILES ? Walk::Ended : Walk::Failed;
}

// Whether `name` is the short (8.3) name of the entry `longName` of the open folder.
bool isShortNameOf(HANDLE folder, const std::wstring& name, const std::wstring& longName) {
    bool isShort = false;
    (void)walkListing(folder, [&](const FILE_ID_BOTH_DIR_INFO& e) {
        if (!sameName(std::wstring_view(e.FileName, e.FileNameLength / sizeof(wchar_t)), longName)) return false;
        isShort = sameName(std::wstring_view(e.ShortName, e.ShortNameLength / sizeof(wchar_t)), name);
        return true;
    });  // a listing that cannot be read names no short name
    return isShort;
}

// Whether `child`, opened as `name` inside `folder`, is that entry itself rather than what a
// followed link points to. Both names come from the same call on handles, so 8.3 spellings,
// case, subst drives and mapped shares on the way to the folder appear alike in both. Only the
// last component may differ, where `name` is the entry's short name and the system gives the
// long one.
Result<bool> isEntryItself(HANDLE folder, HANDLE child, const std::wstring& name, const std::filesystem::path& shown) {
    auto folderName = nameOfHandle(folder, shown.parent_path());
    if (!folderName) return folderName.error();
    auto childName = nameOfHandle(child, shown);
    if (!childName) return childName.error();
    std::wstring prefix = *folderName;
    if (prefix.empty() || prefix.back() != L'\\') prefix += L'\\';
    if (sameName(*childName, prefix + name)) return true;
    if (childName->size() <= prefix.size() || !sameName(std::wstring_view(*childName).substr(0, prefix.size()), prefix))
        return false;
    const std::wstring last = childName->substr(prefix.size());
    return last.find(L'\\') == std::wstring::npos && isShortNameOf(folder, name, last);
}

Result<OpenedEntry> openChecked(HANDLE folder, const std::filesystem::path& shown, const std::wstring& name,
                                DWORD access, DWORD share, bool wantFolder, bool wantFile) {
    auto h = openRelative(folder, shown, name, access, share, wantFolder, wantFile);
    if (!h) return h.error();
    auto itself = isEntryItself(folder, h->get(), name, shown);
    if (!itself) return itself.error();
    return OpenedEntry{std::move(h.value()), *itself};
}

Error followedLink(const std::filesystem::path& p) {
    return win32Error("a link this system opens only as what it points to: " + display(p), kFollowedLink);
}

// What an open folder on the way to a chosen one is. A reparse point stands for another name
// (is a link to us) when its tag says so; where the tag cannot be read, every reparse point does.
struct WayKind {
    bool folder = false;
    bool link = false;
};

Result<WayKind> wayKindOf(HANDLE h, const std::filesystem::path& p) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
        const bool reparse = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        return WayKind{(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       reparse && IsReparseTagNameSurrogate(tag.ReparseTag)};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return lastError("cannot examine " + display(p));
    return WayKind{(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                   (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
}

// How many characters of a full path are its root (0: none), as in these, each with the
// separator after it: C:  \\server\share  \\?\C:  \\?\UNC\server\share
std::size_t rootLength(const std::wstring& w) {
    const auto skip = [&](std::size_t at, int components) {
        for (; components > 0 && at < w.size(); --components) {
            const auto sep = w.find(L'\\', at);
            at = sep == std::wstring::npos ? w.size() : sep + 1;
        }
        return at;
    };
    if (w.rfind(L"\\\\?\\UNC\\", 0) == 0) return skip(8, 2);
    if (w.rfind(L"\\\\?\\", 0) == 0 || w.rfind(L"\\\\.\\", 0) == 0) return skip(4, 1);
    if (w.rfind(L"\\\\", 0) == 0) return skip(2, 2);
    if (w.size() >= 2 && w[1] == L':') return w.size() >= 3 && w[2] == L'\\' ? 3 : 2;
    return 0;
}

// The full path as the system would read it (one given in the literal \\?\ form as it is),
// without separators at its end.
std::wstring fullPath(const std::filesystem::path& p) {
    std::wstring w = std::filesystem::path(p).make_preferred().native();
    if (w.rfind(L"\\\\?\\", 0) != 0) {
        const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
        if (n > 0) {
            std::wstring full(n, L'\0');
            const DWORD got = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
            if (got > 0 && got < n) w = full.substr(0, got);
        }
    }
    while (w.size() > rootLength(w) && w.back() == L'\\') w.pop_back();
    return w;
}

}  // namespace

std::string display(const std::filesystem::path& p) {
    // Paths are often put together from a chosen folder and names with '/': shown, they are
    // spelled the way the user knows them.
    return utf8Of(std::filesystem::path(p).make_preferred());
}

bool isNotFound(unsigned long code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

bool isSingleName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

FileType typeOfAttributes(DWORD attributes) {
    // Junctions, symbolic links and every other reparse point are links to us: never followed.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileType::Symlink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileType::Directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return FileType::Device;
    return FileType::Regular;
}

Result<OpenedEntry> openPathEntry(const std::filesystem::path& p, DWORD access, DWORD share, bool folder, bool file) {
    const std::wstring full = fullPath(p);
    const auto root = rootLength(full);
    const auto sep = full.rfind(L'\\');
    OpenedEntry opened;
    if (root == 0 || full.size() <= root || sep == std::wstring::npos || sep + 1 < root) {
        // A root, or a path the system spells in a way of its own: a root is never a link.
        HANDLE h = CreateFileW(systemPath(p).c_str(), access, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) return lastError("cannot open " + display(p));
        opened.handle = WindowsHandle(h);
    } else {
        const std::wstring parentPath = full.substr(0, sep + 1);
        // No rights asked of the folder: opening a name inside it and asking its name need none.
        HANDLE ph = CreateFileW(systemPath(parentPath).c_str(), SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (ph == INVALID_HANDLE_VALUE) return lastError("cannot open " + display(p));
        WindowsHandle parent(ph);
        auto entry =
            openChecked(parent.get(), p, full.substr(sep + 1), access | FILE_READ_ATTRIBUTES, share, false, false);
        if (!entry) return entry.error();
        opened = std::move(entry.value());
    }
    if (folder || file) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(opened.handle.get(), &info)) return lastError("cannot examine " + display(p));
        const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder && !isFolder) return win32Error("not a folder: " + display(p), ERROR_DIRECTORY);
        if (file && isFolder) return win32Error("a folder, not a file: " + display(p), ERROR_ACCESS_DENIED);
    }
    return opened;
}

Result<WindowsHandle> openPath(const std::filesystem::path& p, DWORD access, DWORD share, bool folder, bool file) {
    auto opened = openPathEntry(p, access, share, folder, file);
    if (!opened) return opened.error();
    if (!opened->itself) return followedLink(p);
    return std::move(opened->handle);
}

Result<OpenedEntry> openEntry(HANDLE folder, const std::filesystem::path& folderPath, const std::string& name,
                              DWORD access, DWORD share, bool wantFolder, bool wantFile) {
    if (!isSingleName(name))
        return win32Error("not a name inside " + display(folderPath) + ": " + name, ERROR_INVALID_NAME);
    return openChecked(folder, folderPath / pathFromUtf8(name), widen(name), access, share, wantFolder, wantFile);
}

Result<WindowsHandle> openAt(HANDLE folder, const std::filesystem::path& folderPath, const std::string& name,
                             DWORD access, DWORD share, bool wantFolder, bool wantFile) {
    auto opened = openEntry(folder, folderPath, name, access, share, wantFolder, wantFile);
    if (!opened) return opened.error();
    if (!opened->itself) return followedLink(folderPath / pathFromUtf8(name));
    return std::move(opened->handle);
}

Result<std::vector<WindowsHandle>> openFolderWay(const std::filesystem::path& p, DWORD access) {
    const std::wstring full = fullPath(p);
    const auto root = rootLength(full);
    if (root == 0) return win32Error("cannot open " + display(p), ERROR_BAD_PATHNAME);
    std::vector<std::wstring> names;
    for (std::size_t at = root; at < full.size();) {
        auto sep = full.find(L'\\', at);
        if (sep == std::wstring::npos) sep = full.size();
        if (sep > at) names.push_back(full.substr(at, sep - at));
        at = sep + 1;
    }
    // Traversal is all the way needs, and it makes a handle count for sharing: one that may
    // only read attributes would keep no other program from anything.
    constexpr DWORD kWayAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
    const auto linkOnTheWay = [&] {
        return win32Error("a link on the way, not followed: " + display(p), kFollowedLink);
    };
    std::filesystem::path shown = full.substr(0, root);
    std::vector<WindowsHandle> way;
    const HANDLE rootHandle =
        CreateFileW(systemPath(shown).c_str(), names.empty() ? access : kWayAccess, kShareAllButDelete, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (rootHandle == INVALID_HANDLE_VALUE) return lastError("cannot open " + display(shown));
    way.emplace_back(rootHandle);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        shown /= names[i];
        auto next =
            openChecked(way.back().get(), shown, names[i], last ? access : kWayAccess, kShareAllButDelete, true, false);
        if (!next && !last && next.error().code == ERROR_ACCESS_DENIED)
            next =
                openChecked(way.back().get(), shown, names[i], FILE_READ_ATTRIBUTES, kShareAllButDelete, true, false);
        if (!next) return next.error();
        if (!next->itself) return linkOnTheWay();
        auto kind = wayKindOf(next->handle.get(), shown);
        if (!kind) return kind.error();
        if (kind->link) return linkOnTheWay();
        if (!kind->folder) return win32Error("not a folder: " + display(shown), ERROR_DIRECTORY);
        way.push_back(std::move(next->handle));
    }
    return way;
}

Result<FileStatus> followedLinkStatus(HANDLE target, const std::filesystem::path& p) {
    auto st = statusOf(target, p);
    if (!st) return st.error();
    FileStatus link;
    link.type = FileType::Symlink;
    link.device = st->device;
    link.inode = st->inode;
    link.hardLinks = 1;
    return link;
}

Result<FileStatus> statusOf(HANDLE h, const std::filesystem::path& p) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return lastError("cannot examine " + display(p));
    FileStatus s;
    s.type = typeOfAttributes(info.dwFileAttributes);
    if (s.type == FileType::Regular) {
        const DWORD kind = GetFileType(h);
        if (kind == FILE_TYPE_PIPE) s.type = FileType::Fifo;
        if (kind == FILE_TYPE_CHAR) s.type = FileType::Device;
    }
    s.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    s.device = info.dwVolumeSerialNumber;
    s.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.hardLinks = info.nNumberOfLinks;
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    s.modifiedNs = (ticks - kEpochTicks) * 100;
    s.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    s.ownerId = 0;  // no owner numbers here; see WindowsProcessTable
    return s;
}

Status renameHandle(HANDLE h, HANDLE root, const std::wstring& to, const std::filesystem::path& p) {
    // The native call, not SetFileInformationByHandle: Wine's version of that one turns a
    // name meant for the root folder into a full path of the working folder. Without a root
    // the name is the system's own full form of the path.
    const std::wstring target = root ? to : L"\\??\\" + systemPath(std::filesystem::absolute(to));
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFORMATION, FileName) + (target.size() + 1) * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = root;
    info->FileNameLength = static_cast<ULONG>(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(wchar_t));
    IO_STATUS_BLOCK io{};
    const NTSTATUS st = NtSetInformationFile(h, &io, info, static_cast<ULONG>(buffer.size()), FileRenameInformation);
    if (st < 0) return win32Error("cannot rename " + display(p), RtlNtStatusToDosError(st));
    return {};
}

Status deleteHandle(HANDLE h, const std::filesystem::path& p) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info))
        return lastError("cannot remove " + display(p));
    return {};
}

Status clearReadOnly(HANDLE h, const std::filesystem::path& p) {
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info))
        return lastError("cannot examine " + display(p));
    if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return win32Error("will not change a link's target: " + display(p), ERROR_CANT_ACCESS_FILE);
    if (!(info.FileAttributes & FILE_ATTRIBUTE_READONLY)) return {};
    FILE_BASIC_INFO change{};  // times of 0 stay as they are
    change.FileAttributes = info.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (change.FileAttributes == 0) change.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(h, FileBasicInfo, &change, sizeof change))
        return lastError("cannot make writable " + display(p));
    return {};
}

bool listsNothing(HANDLE folder) {
    return walkListing(folder, [](const FILE_ID_BOTH_DIR_INFO& e) {
               const std::wstring_view name(e.FileName, e.FileNameLength / sizeof(wchar_t));
               return name != L"." && name != L"..";
           }) == Walk::Ended;
}

Result<WindowsHandle> reopenSelf(HANDLE folder, const std::filesystem::path& p, DWORD access) {
    // An empty name under a root is the root itself, reached through the open handle.
    return openRelative(folder, p, std::wstring(), access, kShareAll, false, false);
}

}  // namespace quenvor::platform::windows
