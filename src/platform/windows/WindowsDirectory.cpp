#include "platform/windows/WindowsDirectory.h"

#include <vector>

#include "platform/Utf8Path.h"
#include "platform/windows/FileHandles.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsWritableFile.h"

namespace quenvor::platform::windows {
namespace {

constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
// Ours to write; readers may stay, and our own rename and removal need FILE_SHARE_DELETE.
constexpr DWORD kWriteShare = FILE_SHARE_READ | FILE_SHARE_DELETE;

}  // namespace

Result<std::unique_ptr<IWritableFile>> WindowsDirectory::checkedFile(WindowsHandle h, const std::filesystem::path& p) {
    auto st = statusOf(h.get(), p);
    if (!st) return st.error();
    // Opened as itself, a link cannot be written through; it is refused before any write.
    if (st->type != FileType::Regular) return win32Error("not a regular file: " + display(p), ERROR_CANT_ACCESS_FILE);
    return std::unique_ptr<IWritableFile>(std::make_unique<WindowsWritableFile>(std::move(h), p));
}

Status WindowsDirectory::flushFolder(void* handle, const std::filesystem::path& p) {
    if (FlushFileBuffers(static_cast<HANDLE>(handle))) return {};
    const DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED || code == ERROR_INVALID_FUNCTION || code == ERROR_INVALID_HANDLE ||
        code == ERROR_INVALID_PARAMETER)
        return {};
    return win32Error("cannot flush folder " + display(p), code);
}

Result<FileStatus> WindowsDirectory::status() { return statusOf(m_h.get(), m_path); }

Result<std::vector<DirectoryEntry>> WindowsDirectory::list() {
    std::vector<DirectoryEntry> entries;
    std::vector<unsigned char> buffer(64 * 1024);
    auto kind = FileIdBothDirectoryRestartInfo;  // from the first entry, whoever read before
    for (;;) {
        if (!GetFileInformationByHandleEx(m_h.get(), kind, buffer.data(), static_cast<DWORD>(buffer.size()))) {
            const DWORD code = GetLastError();
            if (code == ERROR_NO_MORE_FILES) break;
            return win32Error("cannot list " + display(m_path), code);
        }
        kind = FileIdBothDirectoryInfo;
        for (std::size_t at = 0;;) {
            const auto* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            const std::wstring_view name(e->FileName, e->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") entries.push_back({narrow(name), typeOfAttributes(e->FileAttributes)});
            if (e->NextEntryOffset == 0) break;
            at += e->NextEntryOffset;
        }
    }
    return entries;
}

Result<FileStatus> WindowsDirectory::statAt(const std::string& name) {
    auto h = openEntry(m_h.get(), m_path, name, FILE_READ_ATTRIBUTES, kShareAll, false, false);
    if (!h) {
        if (isNotFound(static_cast<unsigned long>(h.error().code))) return FileStatus{};
        return h.error();
    }
    const auto p = m_path / pathFromUtf8(name);
    if (!h->itself) return followedLinkStatus(h->handle.get(), p);
    return statusOf(h->handle.get(), p);
}

Result<std::unique_ptr<IWritableFile>> WindowsDirectory::openFile(const std::string& name) {
    auto h = openAt(m_h.get(), m_path, name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, kWriteShare, false, true);
    if (!h) return h.error();
    return checkedFile(std::move(h.value()), m_path / pathFromUtf8(name));
}

Result<std::unique_ptr<IDirectory>> WindowsDirectory::openDir(const std::string& name) {
    auto h = openAt(m_h.get(), m_path, name, kFolderAccess, kShareAll, true, false);
    if (!h) return h.error();
    const auto p = m_path / pathFromUtf8(name);
    auto st = statusOf(h->get(), p);
    if (!st) return st.error();
    if (st->type != FileType::Directory)
        return win32Error("a link, not a folder: " + display(p), ERROR_CANT_ACCESS_FILE);
    return std::unique_ptr<IDirectory>(std::make_unique<WindowsDirectory>(std::move(h.value()), p));
}

Status WindowsDirectory::renameAt(const std::string& from, const std::string& to) {
    if (!isSingleName(to)) return win32Error("not a name inside " + display(m_path) + ": " + to, ERROR_INVALID_NAME);
    auto h = openAt(m_h.get(), m_path, from, DELETE | FILE_READ_ATTRIBUTES, kShareAll, false, false);
    if (!h) return h.error();
    return renameHandle(h->get(), m_h.get(), widen(to), m_path / pathFromUtf8(from));
}

Status WindowsDirectory::unlinkAt(const std::string& name, bool folder) {
    // A link the system would only open as its target is refused here: removing through that
    // handle would remove the target.
    auto h = openAt(m_h.get(), m_path, name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, false, false);
    if (!h) return h.error();
    const auto p = m_path / pathFromUtf8(name);
    auto st = statusOf(h->get(), p);
    if (!st) return st.error();
    // A link to a folder is a folder entry here, but removing it removes only the link.
    const bool isFolder = st->type == FileType::Directory;
    if (folder && !isFolder) return win32Error("not a folder: " + display(p), ERROR_DIRECTORY);
    if (!folder && isFolder) return win32Error("a folder, not a file: " + display(p), ERROR_ACCESS_DENIED);
    Status removed = deleteHandle(h->get(), p);
    // Wine hides a POSIX link whose target is gone from every listing and every open, yet the
    // folder holding it is not empty. Its name cannot be learnt here; the folder's failure at
    // least says what keeps it.
    if (!removed && folder && removed.error().code == ERROR_DIR_NOT_EMPTY && listsNothing(h->get()))
        return Error{ERROR_DIR_NOT_EMPTY,
                     "it holds entries this system does not show, such as a link whose target is gone"};
    return removed;
}

Status WindowsDirectory::setWritableAt(const std::string& name) {
    auto h = openAt(m_h.get(), m_path, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, false, false);
    if (!h) return h.error();
    return clearReadOnly(h->get(), m_path / pathFromUtf8(name));
}

Status WindowsDirectory::setWritable() {
    auto h = reopenSelf(m_h.get(), m_path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!h) return h.error();
    return clearReadOnly(h->get(), m_path);
}

Status WindowsDirectory::flush() { return flushFolder(m_h.get(), m_path); }

}  // namespace quenvor::platform::windows
