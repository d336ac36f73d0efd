#pragma once
// What the file service does with open handles: open by path or by name inside an open folder
// (NtCreateFile with the folder as root, as openat does elsewhere), read what a handle is, and
// rename, delete or change it through the handle itself. Every open passes
// FILE_OPEN_REPARSE_POINT: a symbolic link, junction or other reparse point is opened as
// itself and never followed.
//
// Not every system honours that: Wine 8 opens a POSIX symbolic link to a file as its target and
// lists it as a plain file. So every open of a name is checked on the handle it gave: the
// system's own name of what was opened must be the folder's name plus the name asked for.
// Wine names an open file by its resolved path, so a followed link shows up as another name;
// Windows names it by the path it was opened with, so the check costs nothing there.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/IFileService.h"
#include "platform/windows/WindowsHandle.h"

namespace quenvor::platform::windows {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Shared for everything but removal: no other program can rename, move or remove what is open
// this way. Our own work inside still can: removing a child needs nothing of its folder's
// sharing, and renaming one opens the folder it goes to for writing, which stays shared.
constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// What an open reached.
struct OpenedEntry {
    WindowsHandle handle;
    // False where the system followed a symbolic link it was asked to open as itself: the
    // handle is what the link points to, and nothing may be written, renamed or removed
    // through it.
    bool itself = true;
};

// The error of an open refused because it reached through a link (ERROR_STOPPED_ON_SYMLINK).
constexpr unsigned long kFollowedLink = 681;

// By path; `folder` asks for a folder only, `file` for a non-folder only (neither: either).
// The last component is opened inside the folder holding it, and checked as openEntry does.
Result<OpenedEntry> openPathEntry(const std::filesystem::path& p, DWORD access, DWORD share, bool folder = false,
                                  bool file = false);
// The same, a followed link refused with kFollowedLink.
Result<WindowsHandle> openPath(const std::filesystem::path& p, DWORD access, DWORD share, bool folder = false,
                               bool file = false);
// By a single name inside an open folder. Where the system's name of the handle cannot be
// read, the entry is refused: what cannot be told apart from a link is not touched.
Result<OpenedEntry> openEntry(HANDLE folder, const std::filesystem::path& folderPath, const std::string& name,
                              DWORD access, DWORD share, bool wantFolder, bool wantFile);
// The same, a followed link refused with kFollowedLink.
Result<WindowsHandle> openAt(HANDLE folder, const std::filesystem::path& folderPath, const std::string& name,
                             DWORD access, DWORD share, bool wantFolder, bool wantFile);
// The folder `p` and every folder on the way to it from its root, each opened by its name inside
// the one before and shared as kShareAllButDelete: the first is the root, the last is `p` with
// `access`. A link on the way (a symbolic link, junction or mount point, or a link the system
// followed) is refused with kFollowedLink; reparse points of other kinds, such as folders kept in
// the cloud, are those folders themselves and are passed. A folder on the way the user may not
// traverse is still checked, though it cannot be held.
Result<std::vector<WindowsHandle>> openFolderWay(const std::filesystem::path& p, DWORD access);
// What a link that was opened as its target is to us: a link, with the target's identity (two
// looks at one name compare alike) and nothing else of the target's.
Result<FileStatus> followedLinkStatus(HANDLE target, const std::filesystem::path& p);

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

// True when the open folder's listing holds no entry at all; false also when it cannot be read.
bool listsNothing(HANDLE folder);

// The open file or folder once more, with other access rights.
Result<WindowsHandle> reopenSelf(HANDLE h, const std::filesystem::path& p, DWORD access);

// A path as UTF-8 with native separators only, for messages.
std::string display(const std::filesystem::path& p);

}  // namespace quenvor::platform::windows
