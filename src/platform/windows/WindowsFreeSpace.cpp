#include "platform/windows/WindowsFreeSpace.h"

#include <windows.h>

#include "platform/windows/FileHandles.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsWritableFile.h"

namespace quenvor::platform::windows {
namespace {

std::filesystem::path inside(IDirectory& folder, const std::string& name) {
    return folder.path() / std::filesystem::path(widen(name));
}

// Small files keep their data inside their MFT record (about 1 KiB, the name and attributes
// included): a few hundred bytes each reach the old contents such a record held.
constexpr std::uint32_t kResidentBytes = 512;

}  // namespace

Result<SpaceFacts> WindowsFreeSpace::space(IDirectory& folder) {
    ULARGE_INTEGER available{}, total{}, free{};
    std::wstring at = folder.path().wstring();
    // A share's folder (\\server\share\...) is refused without the separator at the end.
    if (!at.empty() && at.back() != L'\\' && at.back() != L'/') at += L'\\';
    if (!GetDiskFreeSpaceExW(at.c_str(), &available, &total, &free))
        return lastError("cannot read the free space of " + narrow(at));
    SpaceFacts f;
    f.total = total.QuadPart;
    f.free = free.QuadPart;
    f.available = available.QuadPart;
    f.nameMax = 255;
    wchar_t root[MAX_PATH + 1]{};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    wchar_t fsName[MAX_PATH + 1]{};
    if (GetVolumePathNameW(at.c_str(), root, MAX_PATH)) {
        if (GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
            f.blockSize = static_cast<std::uint32_t>(sectorsPerCluster * bytesPerSector);
        if (GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fsName, MAX_PATH))
            f.filesystem = narrow(fsName);
    }
    return f;
}

Result<NameTable> WindowsFreeSpace::names(IDirectory& folder) {
    NameTable t;
    wchar_t root[MAX_PATH + 1]{};
    wchar_t fsName[MAX_PATH + 1]{};
    const std::wstring at = folder.path().wstring();
    if (GetVolumePathNameW(at.c_str(), root, MAX_PATH) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fsName, MAX_PATH) &&
        std::wstring(fsName) == L"NTFS")
        t.residentBytes = kResidentBytes;
    return t;
}

Result<std::unique_ptr<IWritableFile>> WindowsFreeSpace::createFile(IDirectory& folder, const std::string& name) {
    if (!isSingleName(name))
        return win32Error("not a name inside " + narrow(folder.path().wstring()), ERROR_INVALID_NAME);
    const std::filesystem::path p = inside(folder, name);
    WindowsHandle h(CreateFileW(p.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h) return lastError("cannot create " + narrow(p.wstring()));
    return std::unique_ptr<IWritableFile>(std::make_unique<WindowsWritableFile>(std::move(h), p));
}

Status WindowsFreeSpace::makeFolder(IDirectory& parent, const std::string& name) {
    if (!isSingleName(name))
        return win32Error("not a name inside " + narrow(parent.path().wstring()), ERROR_INVALID_NAME);
    const std::filesystem::path p = inside(parent, name);
    if (!CreateDirectoryW(p.c_str(), nullptr)) return lastError("cannot create folder " + narrow(p.wstring()));
    // Hidden only so it does not show in Explorer meanwhile; a folder left visible works the same.
    (void)SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return {};
}

Result<std::uint64_t> WindowsFreeSpace::discardFree(IDirectory& folder) {
    // Windows sends the discards itself as files are removed (unless an administrator turned
    // delete notifications off); a retrim of the whole volume is the defragmenter's, not ours.
    return win32Error("Windows discards freed space itself; not done for " + narrow(folder.path().wstring()),
                      ERROR_NOT_SUPPORTED);
}

}  // namespace quenvor::platform::windows
