#include "platform/AtomicFile.h"
#include "platform/Utf8Path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quenvor::platform {
namespace {

Error fail(const std::string& what, const std::filesystem::path& p, int err) {
    return Error{err, what + " " + utf8Of(p) + ": " + std::strerror(err)};
}

}  // namespace

Status AtomicFile::write(const std::filesystem::path& file, std::string_view contents, Flush flush) {
    std::error_code ec;
    const auto dir = file.parent_path();
    if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    if (ec) return fail("cannot create folder", dir, ec.value());
    std::random_device rd;
    auto tmp = file;
    tmp += ".tmp-" + std::to_string(rd());
#ifdef _WIN32
    (void)flush;  // the stream gives no flush to the device
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.flush();
        if (!out) return fail("cannot write", tmp, EIO);
    }
    std::filesystem::rename(tmp, file, ec);
    if (ec) return fail("cannot replace", file, ec.value());
    return {};
#else
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return fail("cannot create", tmp, errno);
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail("cannot write", tmp, err);
        }
        done += static_cast<std::size_t>(n);
    }
    // The descriptor is closed whether or not the flush worked.
    const int flushed = flush == Flush::ToDevice ? ::fsync(fd) : 0;
    const int flushErr = errno;
    if (::close(fd) != 0 || flushed != 0) {
        const int err = flushed != 0 ? flushErr : errno;
        ::unlink(tmp.c_str());
        return fail("cannot flush", tmp, err);
    }
    if (::rename(tmp.c_str(), file.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return fail("cannot replace", file, err);
    }
    if (flush == Flush::No) return {};
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
#endif
}

}  // namespace quenvor::platform
