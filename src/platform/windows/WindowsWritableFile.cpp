#include "platform/windows/WindowsWritableFile.h"

#include <algorithm>

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
