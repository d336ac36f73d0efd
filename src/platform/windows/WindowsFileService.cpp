#include "platform/windows/WindowsFileService.h"

#include <windows.h>
// After windows.h, which it expects first.
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/PendingDeletionList.h"
#include "platform/Utf8Path.h"
#include "platform/windows/FileHandles.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsDirectory.h"

namespace quenvor::platform::windows {
namespace {

constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// The head of a reparse point's data as the file system returns it (only the kernel's headers
// declare it). Symbolic links carry one more word of flags before their names.
struct ReparseHeader {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset, substituteLength, printOffset, printLength;
};

}  // namespace

Result<std::unique_ptr<IDirectory>> WindowsFileService::openDirectory(const std::filesystem::path& p) {
    auto h = openPath(p, kFolderAccess, kShareAll, true);
    if (!h) return h.error();
    auto st = statusOf(h->get(), p);
    if (!st) return st.error();
    if (st->type != FileType::Directory)
        return win32Error("a link, not a folder: " + display(p), ERROR_CANT_ACCESS_FILE);
    return std::unique_ptr<IDirectory>(std::make_unique<WindowsDirectory>(std::move(h.value()), p));
}

Result<std::unique_ptr<IDirectory>> WindowsFileService::openDirectoryNoLinks(const std::filesystem::path& p) {
    auto way = openFolderWay(p, kFolderAccess);
    if (!way) return way.error();
    WindowsHandle h = std::move(way->back());
    way->pop_back();
    auto st = statusOf(h.get(), p);
    if (!st) return st.error();
    // A reparse point of a kind that is not a link is still no plain folder to the shredder.
    if (st->type != FileType::Directory)
        return win32Error("a link, not a folder: " + display(p), ERROR_CANT_ACCESS_FILE);
    return std::unique_ptr<IDirectory>(std::make_unique<WindowsDirectory>(std::move(h), p, std::move(way.value())));
}

Result<FileStatus> WindowsFileService::status(const std::filesystem::path& p) {
    auto h = openPathEntry(p, FILE_READ_ATTRIBUTES, kShareAll);
    if (h) return h->itself ? statusOf(h->handle.get(), p) : followedLinkStatus(h->handle.get(), p);
    const auto code = static_cast<unsigned long>(h.error().code);
    if (isNotFound(code)) return FileStatus{};
    if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) return h.error();
    // A file the system will not open even for its attributes (a page file, a locked
    // hive): the folder's listing still tells what it is.
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileExW(p.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return h.error();
    FindClose(find);
    FileStatus s;
    s.type = typeOfAttributes(data.dwFileAttributes);
    s.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    s.hardLinks = 1;
    s.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return s;
}

Result<std::unique_ptr<IWritableFile>> WindowsFileService::openInPlace(const std::filesystem::path& p) {
    auto h = openPath(p, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE, false, true);
    if (!h) return h.error();
    return WindowsDirectory::checkedFile(std::move(h.value()), p);
}

Status WindowsFileService::remove(const std::filesystem::path& p) {
    auto h = openPath(p, DELETE | FILE_READ_ATTRIBUTES, 0);
    if (!h) return h.error();
    return deleteHandle(h->get(), p);
}

Status WindowsFileService::removeAtNextStart(const std::filesystem::path& p) {
    auto st = status(p);
    if (!st) return st.status();
    if (st->type == FileType::NotFound) return {};
    if (st->type == FileType::Symlink) {
        // Removed later by its name, a link the system opens only as its target would take the
        // target with it.
        auto self = openPath(p, FILE_READ_ATTRIBUTES, kShareAll);
        if (!self) return self.error();
    }
    if (MoveFileExW(p.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return {};
    const DWORD code = GetLastError();
    if (!m_pending) return win32Error("cannot remove at the next start " + display(p), code);
    return m_pending->add(p, *st);
}

Status WindowsFileService::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    auto h = openPath(from, DELETE | FILE_READ_ATTRIBUTES, kShareAll);
    if (!h) return h.error();
    return renameHandle(h->get(), nullptr, to.native(), from);
}

Status WindowsFileService::setWritable(const std::filesystem::path& p) {
    auto h = openPath(p, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll);
    if (!h) return h.error();
    return clearReadOnly(h->get(), p);
}

Status WindowsFileService::flushDirectory(const std::filesystem::path& dir) {
    auto h = openPath(dir, kFolderAccess, kShareAll, true);
    if (!h) return h.error();
    return WindowsDirectory::flushFolder(h->get(), dir);
}

Result<std::vector<DirectoryEntry>> WindowsFileService::list(const std::filesystem::path& dir) {
    WIN32_FIND_DATAW data{};
    const std::filesystem::path pattern = dir / L"*";
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return lastError("cannot list " + display(dir));
    std::vector<DirectoryEntry> entries;
    DWORD code = ERROR_SUCCESS;
    for (;;) {
        const std::wstring_view name(data.cFileName);
        if (name != L"." && name != L"..") entries.push_back({narrow(name), typeOfAttributes(data.dwFileAttributes)});
        if (!FindNextFileW(find, &data)) {
            code = GetLastError();
            break;
        }
    }
    FindClose(find);
    // A listing cut short is not the whole folder.
    if (code != ERROR_NO_MORE_FILES) return win32Error("cannot list " + display(dir), code);
    return entries;
}

Result<std::string> WindowsFileService::readLink(const std::filesystem::path& link) {
    auto h = openPath(link, FILE_READ_ATTRIBUTES, kShareAll);
    if (!h) return h.error();
    std::vector<std::byte> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!DeviceIoControl(h->get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &got, nullptr))
        return lastError("cannot read the link " + display(link));
    if (got < sizeof(ReparseHeader)) return win32Error("not a link: " + display(link), ERROR_NOT_A_REPARSE_POINT);
    ReparseHeader head{};
    std::memcpy(&head, buffer.data(), sizeof head);
    std::size_t names = sizeof head;
    if (head.tag == IO_REPARSE_TAG_SYMLINK)
        names += sizeof(ULONG);
    else if (head.tag != IO_REPARSE_TAG_MOUNT_POINT)
        return win32Error("not a link: " + display(link), ERROR_NOT_A_REPARSE_POINT);
    // The print name is the target as the user wrote it; the substitute one is the system's form.
    const bool print = head.printLength != 0;
    const std::size_t offset = names + (print ? head.printOffset : head.substituteOffset);
    const std::size_t length = print ? head.printLength : head.substituteLength;
    if (offset + length > got) return win32Error("a damaged link: " + display(link), ERROR_INVALID_REPARSE_DATA);
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), buffer.data() + offset, target.size() * sizeof(wchar_t));
    return narrow(target);
}

std::string WindowsFileService::shortForm(const std::filesystem::path& p) {
    if (p.empty()) return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n = GetShortPathNameW(p.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(n);
    }
    return {};
}

std::vector<std::filesystem::path> WindowsFileService::fixedDiskRoots() {
    std::vector<std::filesystem::path> roots;
    wchar_t buffer[512];
    const DWORD n = GetLogicalDriveStringsW(512, buffer);
    if (n == 0 || n > 512) return roots;
    for (const wchar_t* d = buffer; *d; d += wcslen(d) + 1)
        if (GetDriveTypeW(d) == DRIVE_FIXED) roots.emplace_back(d);
    return roots;
}

}  // namespace quenvor::platform::windows
