#pragma once
// What the file service does with open handles: open by path or by name inside an open folder
// (NtCreateFile with the folder as root, as openat does elsewhere), read what a handle is, and
// rename, delete or change it through the handle itself. Every open passes
// FILE_OPEN_REPARSE_POINT: a symbolic link, junction or other reparse point is opened as
// itself and never followed.
#include <filesystem>
#include <string>

#include "platform/IFileService.h"
#include "platform/windows/WindowsHandle.h"

namespace quenvor::platform::windows {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// By path; `folder` asks for a folder only, `file` for a non-folder only (neither: either).
Result<WindowsHandle> openPath(const std::filesystem::path& p, DWORD access, DWORD share, bool folder = false,
                               bool file = false);
// By a single name inside an open folder.
Result<WindowsHandle> openAt(HANDLE folder, const std::filesystem::path& folderPath, const std::string& name,
                             DWORD access, DWORD share, bool wantFolder, bool wantFile);

Result<FileStatus> statusOf(HANDLE h, const std::filesystem::path& p);
FileType typeOfAttributes(DWORD attributes);
bool isNotFound(unsigned long code);

// A single component: no separator, no drive or stream colon, not "." or "..".
bool isSingleName(const std::string& name);

// Rename the open file; `root` null: `to` is a full path. Never replaces an existing name.
Status renameHandle(HANDLE h, HANDLE root, const std::wstring& to, const std::filesystem::path& p);
// Marks the open file deleted; its name goes when the handle is closed.
Status deleteHandle(HANDLE h, const std::filesystem::path& p);
// Clears FILE_ATTRIBUTE_READONLY; a reparse point is refused, not changed.
Status clearReadOnly(HANDLE h, const std::filesystem::path& p);

// The open file or folder once more, with other access rights.
Result<WindowsHandle> reopenSelf(HANDLE h, const std::filesystem::path& p, DWORD access);

// A path as UTF-8, for messages.
std::string display(const std::filesystem::path& p);

}  // namespace quenvor::platform::windows
