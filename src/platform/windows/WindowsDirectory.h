#pragma once
// An open folder: every name is looked up relative to its handle, so a folder renamed, or
// swapped for a junction, after it was opened sends nothing elsewhere.
#include <filesystem>
#include <vector>

#include "platform/IFileService.h"
#include "platform/windows/WindowsHandle.h"

namespace quenvor::platform::windows {

class WindowsDirectory : public IDirectory {
public:
    // `way`: the folders on the way to this one, held as long as it is (see openFolderWay).
    WindowsDirectory(WindowsHandle h, std::filesystem::path p, std::vector<WindowsHandle> way = {})
        : m_way(std::move(way)), m_h(std::move(h)), m_path(std::move(p)) {}

    const std::filesystem::path& path() const override { return m_path; }
    Result<FileStatus> status() override;
    Result<std::vector<DirectoryEntry>> list() override;
    Result<FileStatus> statAt(const std::string& name) override;
    Result<std::unique_ptr<IWritableFile>> openFile(const std::string& name) override;
    Result<std::unique_ptr<IDirectory>> openDir(const std::string& name) override;
    Status renameAt(const std::string& from, const std::string& to) override;
    Status unlinkAt(const std::string& name, bool folder) override;
    Status setWritableAt(const std::string& name) override;
    Status setWritable() override;
    // NTFS writes folder changes through its own log; where the system lets a user flush a
    // folder at all we do, elsewhere there is nothing more a program can do.
    Status flush() override;
    std::intptr_t nativeHandle() const override { return reinterpret_cast<std::intptr_t>(m_h.get()); }

    // A file opened for writing in place, refused unless it is a plain file on a disk.
    static Result<std::unique_ptr<IWritableFile>> checkedFile(WindowsHandle h, const std::filesystem::path& p);
    // Flushes a folder handle as far as the system allows (see flush()).
    static Status flushFolder(void* handle, const std::filesystem::path& p);

private:
    std::vector<WindowsHandle> m_way;
    WindowsHandle m_h;
    std::filesystem::path m_path;
};

}  // namespace quenvor::platform::windows
