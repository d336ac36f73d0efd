#pragma once
// A regular file open for writing in place. Others may read it meanwhile, and our own rename
// and removal may act on it, but no one else may write to it.
#include <filesystem>

#include "platform/IFileService.h"
#include "platform/windows/WindowsHandle.h"

namespace quenvor::platform::windows {

class WindowsWritableFile : public IWritableFile {
public:
    WindowsWritableFile(WindowsHandle h, std::filesystem::path p) : m_h(std::move(h)), m_path(std::move(p)) {}
    Result<FileStatus> status() override;
    std::intptr_t nativeHandle() const override { return reinterpret_cast<std::intptr_t>(m_h.get()); }
    Result<std::uint64_t> length() override;
    Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override;
    Result<std::vector<ByteRange>> dataRanges() override;
    Result<std::uint64_t> allocatedBytes() override;
    Status releaseRange(std::uint64_t offset, std::uint64_t length) override;
    Status flushToDevice() override;
    Status truncate(std::uint64_t length) override;
    Status close() override;

private:
    WindowsHandle m_h;
    std::filesystem::path m_path;
};

}  // namespace quenvor::platform::windows
