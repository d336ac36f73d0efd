#pragma once
// A cache entry file opened for reading a few pieces of it: never through a link, never
// anything but a plain file, and read at given offsets without reading the rest.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/IFileService.h"

namespace quenvor::cleaning::formats {

class EntryFile {
public:
    // Nothing when the name is a link, not a plain file, or cannot be opened.
    static std::unique_ptr<EntryFile> open(const std::filesystem::path& entry);
    // The same by its name inside an open folder, whatever has happened to the folder's path.
    static std::unique_ptr<EntryFile> openIn(platform::IDirectory& dir, const std::string& name);
    ~EntryFile();
    EntryFile(const EntryFile&) = delete;
    EntryFile& operator=(const EntryFile&) = delete;

    // What a reader may keep of the file besides what it read: its size, and its inode where the
    // system has one (0 elsewhere), the order in which removing many files costs the least.
    struct Facts {
        std::uint64_t size = 0;
        std::uint64_t inode = 0;
    };
    std::uint64_t size() const { return m_size; }
    Facts facts() const { return {m_size, m_inode}; }
    // True only when all `n` bytes at `at` were read.
    [[nodiscard]] bool readAt(std::uint64_t at, void* to, std::size_t n);

private:
    EntryFile() = default;
#ifndef _WIN32
    static std::unique_ptr<EntryFile> fromDescriptor(int fd);
#endif
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::uint64_t m_size = 0;
    std::uint64_t m_inode = 0;
};

}  // namespace quenvor::cleaning::formats
