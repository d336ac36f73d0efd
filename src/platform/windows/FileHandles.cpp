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

}  // namespace

std::string display(const std::filesystem::path& p) { return utf8Of(p); }

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

Result<WindowsHandle> openPath(const std::filesystem::path& p, DWORD access, DWORD share, bool folder, bool file) {
    HANDLE h = CreateFileW(systemPath(p).c_str(), access, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError("cannot open " + display(p));
    WindowsHandle owned(h);
    if (folder || file) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(h, &info)) return lastError("cannot examine " + display(p));
        const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder && !isFolder) return win32Error("not a folder: " + display(p), ERROR_DIRECTORY);
        if (file && isFolder) return win32Error("a folder, not a file: " + display(p), ERROR_ACCESS_DENIED);
    }
    return owned;
}

Result<WindowsHandle> openAt(HANDLE folder, const std::filesystem::path& folderPath, const std::string& name,
                             DWORD access, DWORD share, bool wantFolder, bool wantFile) {
    if (!isSingleName(name))
        return win32Error("not a name inside " + display(folderPath) + ": " + name, ERROR_INVALID_NAME);
    return openRelative(folder, folderPath / pathFromUtf8(name), widen(name), access, share, wantFolder, wantFile);
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

Result<WindowsHandle> reopenSelf(HANDLE folder, const std::filesystem::path& p, DWORD access) {
    // An empty name under a root is the root itself, reached through the open handle.
    return openRelative(folder, p, std::wstring(), access, kShareAll, false, false);
}

}  // namespace quenvor::platform::windows
