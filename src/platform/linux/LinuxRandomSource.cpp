#include "platform/linux/LinuxRandomSource.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace quenvor::platform {

Status LinuxRandomSource::fill(std::span<std::byte> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = getrandom(out.data() + done, out.size() - done, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Error{errno, std::string("getrandom failed: ") + std::strerror(errno)};
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

}  // namespace quenvor::platform
