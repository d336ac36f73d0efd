#include "platform/LinkStatus.h"

#ifdef _WIN32
#include "platform/windows/FileHandles.h"
#endif

namespace quenvor::platform {

bool isLink(const std::filesystem::path& p) {
#ifdef _WIN32
    // The name is opened as itself and the handle checked, as every open of the file service
    // is: a link the system followed all the same shows as what it is. A name that cannot be
    // opened at all is no link.
    auto h = windows::openPathEntry(p, FILE_READ_ATTRIBUTES, windows::kShareAll);
    if (!h) return false;
    if (!h->itself) return true;
    const auto st = windows::statusOf(h->handle.get(), p);
    return st && st->type == FileType::Symlink;
#else
    std::error_code ec;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec));
#endif
}

}  // namespace quenvor::platform
