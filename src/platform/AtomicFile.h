#pragma once
#include <filesystem>
#include <string_view>

#include "platform/Result.h"

namespace quenvor::platform {

// Replaces a file so that a crash leaves either the old or the new contents, never a mix:
// write a temporary file beside it, flush it, rename it over the old one, flush the folder.
class AtomicFile {
public:
    static Status write(const std::filesystem::path& file, std::string_view contents);
};

}  // namespace quenvor::platform
