#include "cleaning/formats/EntryFile.h"

#ifdef _WIN32
#include <fstream>

#include "platform/LinkStatus.h"
#include "platform/Utf8Path.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenvor::cleaning::formats {

#ifdef _WIN32
// No descriptor-relative opens here: a link is refused by its status, then read as a stream.
struct EntryFile::Impl {
    std::ifstream in;
};

std::unique_ptr<EntryFile> EntryFile::open(const std::filesystem::path& entry) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(entry, ec)) || platform::isLink(entry))
        return nullptr;
    std::unique_ptr<EntryFile> f(new EntryFile);
    f->m_impl = std::make_unique<Impl>();
    f->m_impl->in.open(entry, std::ios::binary);
    if (!f->m_impl->in) return nullptr;
    f->m_size = static_cast<std::uint64_t>(std::filesystem::file_size(entry, ec));
    if (ec) return nullptr;
    return f;
}

std::unique_ptr<EntryFile> EntryFile::openIn(platform::IDirectory& dir, const std::string& name) {
    return open(dir.path() / platform::pathFromUtf8(name));
}

bool EntryFile::readAt(std::uint64_t at, void* to, std::size_t n) {
    auto& in = m_impl->in;
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(static_cast<char*>(to), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(in.gcount()) == n;
}
#else
struct EntryFile::Impl {
    int fd = -1;
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
};

std::unique_ptr<EntryFile> EntryFile::open(const std::filesystem::path& entry) {
    return fromDescriptor(::open(entry.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
}

// Looked up in the folder's own descriptor: no walk of its whole path per entry, and no other
// folder reached through it.
std::unique_ptr<EntryFile> EntryFile::openIn(platform::IDirectory& dir, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return nullptr;
    return fromDescriptor(
        ::openat(static_cast<int>(dir.nativeHandle()), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

std::unique_ptr<EntryFile> EntryFile::fromDescriptor(int fd) {
    if (fd < 0) return nullptr;
    std::unique_ptr<EntryFile> f(new EntryFile);
    f->m_impl = std::make_unique<Impl>();
    f->m_impl->fd = fd;
    struct stat st {};
    if (::fstat(f->m_impl->fd, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    f->m_size = static_cast<std::uint64_t>(st.st_size);
    f->m_inode = static_cast<std::uint64_t>(st.st_ino);
    return f;
}

bool EntryFile::readAt(std::uint64_t at, void* to, std::size_t n) {
    return ::pread(m_impl->fd, to, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
}
#endif

EntryFile::~EntryFile() = default;

}  // namespace quenvor::cleaning::formats
