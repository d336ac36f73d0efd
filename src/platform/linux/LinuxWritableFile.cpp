#include "platform/linux/LinuxWritableFile.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/linux/FdStatus.h"

namespace quenvor::platform {
namespace {

Error sysError(const std::string& what, const std::filesystem::path& p, int err = errno) {
    return Error{err, what + " " + p.string() + ": " + std::strerror(err)};
}

}  // namespace

LinuxWritableFile::~LinuxWritableFile() {
    if (m_fd >= 0) ::close(m_fd);
}

Result<FileStatus> LinuxWritableFile::status() { return statusOfFd(m_fd, m_path); }

Result<std::uint64_t> LinuxWritableFile::length() {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return sysError("cannot read the length of", m_path);
    return static_cast<std::uint64_t>(st.st_size);
}

Status LinuxWritableFile::writeAt(std::uint64_t offset, std::span<const std::byte> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(m_fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return sysError("cannot write to", m_path);
        }
        if (n == 0) return sysError("cannot write to", m_path, m_emptyWrite);
        done += static_cast<std::size_t>(n);
    }
    return {};
}

Result<std::vector<ByteRange>> LinuxWritableFile::dataRanges() {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return sysError("cannot examine", m_path);
    const auto size = static_cast<off_t>(st.st_size);
    std::vector<ByteRange> ranges;
    // Only the file's own offset moves, which nothing else uses: every write says where.
    for (off_t at = 0; at < size;) {
        const off_t data = ::lseek(m_fd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // only a hole from here to the end
        if (data < 0 && errno != EINVAL) return sysError("cannot find the data in", m_path);
        const off_t hole = data < 0 ? size : ::lseek(m_fd, data, SEEK_HOLE);
        if (hole < 0) return sysError("cannot find the data in", m_path);
        // A filesystem that cannot tell (or answers nonsense) gets the rest as data: writing a
        // hole costs space, skipping data would leave it unshredded.
        const off_t from = data < 0 ? at : std::min(data, size);
        const off_t to = hole <= from ? size : std::min(hole, size);
        if (to > from) ranges.push_back({static_cast<std::uint64_t>(from), static_cast<std::uint64_t>(to - from)});
        at = to;
    }
    return ranges;
}

Result<std::uint64_t> LinuxWritableFile::allocatedBytes() {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return sysError("cannot examine", m_path);
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

Status LinuxWritableFile::releaseRange(std::uint64_t offset, std::uint64_t length) {
    if (::fallocate(m_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                    static_cast<off_t>(length)) != 0)
        return sysError("cannot give back the space of", m_path);
    return {};
}

Status LinuxWritableFile::flushToDevice() {
    if (::fdatasync(m_fd) != 0) return sysError("cannot flush", m_path);
    return {};
}

Status LinuxWritableFile::startFlush(std::uint64_t offset, std::uint64_t length) {
    if (::sync_file_range(m_fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE) != 0)
        return sysError("cannot flush", m_path);
    return {};
}

Status LinuxWritableFile::truncate(std::uint64_t length) {
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) return sysError("cannot truncate", m_path);
    return {};
}

Status LinuxWritableFile::close() {
    const int fd = m_fd;
    m_fd = -1;
    if (fd >= 0 && ::close(fd) != 0) return sysError("cannot close", m_path);
    return {};
}

}  // namespace quenvor::platform
