#include "platform/windows/WindowsWritableFile.h"

#include <winioctl.h>

#include <algorithm>
#include <vector>

#include "platform/windows/FileHandles.h"
#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {

Result<FileStatus> WindowsWritableFile::status() {
    if (!m_h) return win32Error("already closed: " + display(m_path), ERROR_INVALID_HANDLE);
    return statusOf(m_h.get(), m_path);
}

Result<std::uint64_t> WindowsWritableFile::length() {
    LARGE_INTEGER size{};
    if (!m_h || !GetFileSizeEx(m_h.get(), &size)) return lastError("cannot read the length of " + display(m_path));
    return static_cast<std::uint64_t>(size.QuadPart);
}

Status WindowsWritableFile::writeAt(std::uint64_t offset, std::span<const std::byte> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        // The position goes with each write: no shared file pointer to move first.
        OVERLAPPED at{};
        const std::uint64_t where = offset + done;
        at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(m_h.get(), data.data() + done, chunk, &written, &at))
            return lastError("cannot write to " + display(m_path));
        if (written == 0) return win32Error("cannot write to " + display(m_path), ERROR_WRITE_FAULT);
        done += written;
    }
    return {};
}

Result<std::vector<ByteRange>> WindowsWritableFile::dataRanges() {
    auto size = length();
    if (!size) return size.error();
    std::vector<ByteRange> ranges;
    if (*size == 0) return ranges;
    BY_HANDLE_FILE_INFORMATION info{};
    // Only a sparse file has holes; any other file is data from end to end. Wine reports no
    // holes either way, so there every file is written whole.
    if (!GetFileInformationByHandle(m_h.get(), &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE))
        return std::vector<ByteRange>{{0, *size}};
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = 0;
    query.Length.QuadPart = static_cast<LONGLONG>(*size);
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> found(64);
    for (;;) {
        DWORD bytes = 0;
        const BOOL ok =
            DeviceIoControl(m_h.get(), FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, found.data(),
                            static_cast<DWORD>(found.size() * sizeof(FILE_ALLOCATED_RANGE_BUFFER)), &bytes, nullptr);
        const DWORD err = ok ? ERROR_SUCCESS : GetLastError();
        const std::size_t n = bytes / sizeof(FILE_ALLOCATED_RANGE_BUFFER);
        if (!ok && (err != ERROR_MORE_DATA || n == 0)) {
            // A filesystem or a system that cannot answer: the rest counts as data. Writing a
            // hole costs space (and a full disk stops the passes), skipping data would leave it.
            const auto from = static_cast<std::uint64_t>(query.FileOffset.QuadPart);
            ranges.push_back({from, *size - from});
            return ranges;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const auto from = static_cast<std::uint64_t>(found[i].FileOffset.QuadPart);
            const auto to = std::min<std::uint64_t>(*size, from + static_cast<std::uint64_t>(found[i].Length.QuadPart));
            if (to > from) ranges.push_back({from, to - from});
        }
        if (ok) return ranges;
        // More than fitted: ask again from the end of the last range given.
        const std::uint64_t next = ranges.empty() ? *size : ranges.back().end();
        if (next >= *size) return ranges;
        query.FileOffset.QuadPart = static_cast<LONGLONG>(next);
        query.Length.QuadPart = static_cast<LONGLONG>(*size - next);
    }
}

Result<std::uint64_t> WindowsWritableFile::allocatedBytes() {
    FILE_STANDARD_INFO info{};
    if (!GetFileInformationByHandleEx(m_h.get(), FileStandardInfo, &info, sizeof info))
        return lastError("cannot examine " + display(m_path));
    return static_cast<std::uint64_t>(info.AllocationSize.QuadPart);
}

Status WindowsWritableFile::releaseRange(std::uint64_t offset, std::uint64_t length) {
    // On a sparse file the zeroed range is given back; on any other it takes no more than before.
    FILE_ZERO_DATA_INFORMATION zero{};
    zero.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
    zero.BeyondFinalZero.QuadPart = static_cast<LONGLONG>(offset + length);
    DWORD bytes = 0;
    if (!DeviceIoControl(m_h.get(), FSCTL_SET_ZERO_DATA, &zero, sizeof zero, nullptr, 0, &bytes, nullptr))
        return lastError("cannot give back the space of " + display(m_path));
    return {};
}

Status WindowsWritableFile::flushToDevice() {
    if (!FlushFileBuffers(m_h.get())) return lastError("cannot flush " + display(m_path));
    return {};
}

Status WindowsWritableFile::truncate(std::uint64_t length) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFileInformationByHandle(m_h.get(), FileEndOfFileInfo, &end, sizeof end))
        return lastError("cannot truncate " + display(m_path));
    return {};
}

Status WindowsWritableFile::close() {
    if (!m_h.reset()) return lastError("cannot close " + display(m_path));
    return {};
}

}  // namespace quenvor::platform::windows
