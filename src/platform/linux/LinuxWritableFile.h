#pragma once
// A regular file open for writing by its descriptor: written where each write says, flushed to
// the device, and asked where its data lies, for the shredder and the free-space fill alike.
#include <cerrno>
#include <filesystem>

#include "platform/IFileService.h"

namespace quenvor::platform {

class LinuxWritableFile : public IWritableFile {
public:
    // Takes `fd`. `emptyWrite`: the error a write that takes nothing is reported as.
    LinuxWritableFile(int fd, std::filesystem::path p, int emptyWrite = EIO)
        : m_fd(fd), m_emptyWrite(emptyWrite), m_path(std::move(p)) {}
    ~LinuxWritableFile() override;
    LinuxWritableFile(const LinuxWritableFile&) = delete;
    LinuxWritableFile& operator=(const LinuxWritableFile&) = delete;

    Result<FileStatus> status() override;
    std::intptr_t nativeHandle() const override { return m_fd; }
    Result<std::uint64_t> length() override;
    Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override;
    Result<std::vector<ByteRange>> dataRanges() override;
    Result<std::uint64_t> allocatedBytes() override;
    Status releaseRange(std::uint64_t offset, std::uint64_t length) override;
    Status flushToDevice() override;
    Status startFlush(std::uint64_t offset, std::uint64_t length) override;
    Status truncate(std::uint64_t length) override;
    Status close() override;

private:
    int m_fd;
    int m_emptyWrite;
    std::filesystem::path m_path;
};

}  // namespace quenvor::platform
